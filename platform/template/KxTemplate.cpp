#include "platform/template/KxTemplate.h"

#include <sys/stat.h>

#include <iostream>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

#include "platform/base/KxText.h"
#include "platform/os/KxOs.h"
#include "platform/template/parser.h"
#include "platform/template/renderer.h"

// ---- KxTemplate ---------------------------------------------------------------

void KxTemplate::execute(std::ostream& out, KxContext& context) const {
    KxCString text;
    render(text, context, Escaping::None);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void KxTemplate::render(KxCString& out, KxContext& context, Escaping escaping) const {
    if (!tree_) {
        return;
    }
    kx::tl::render(*tree_, context,
                   escaping == Escaping::Html ? kx::tl::Escape::Html : kx::tl::Escape::None, out);
}

const KxCString& KxTemplate::getName() const {
    static const KxCString kNoName;
    return tree_ ? tree_->name : kNoName;
}

// ---- KxTemplateFactory --------------------------------------------------------

namespace {

// A template name stays inside the template folder: it is not empty and no
// segment of it is "..".
bool isValidName(const KxCString& name) {
    if (name.empty() || name.find('\0') != KxCString::npos) {
        return false;
    }
    return !kx::hasParentSegment(name);
}

// What tells a changed file: its modification time and its size.
struct FileStamp {
    long long modified = 0;
    std::uintmax_t size = 0;
    bool operator==(const FileStamp&) const = default;
};

bool stampOf(const KxCString& path, FileStamp& stamp) {
    struct stat info;
    if (::stat(kx::os::nativePath(path).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    stamp.modified =
        static_cast<long long>(info.st_mtim.tv_sec) * 1'000'000'000LL + info.st_mtim.tv_nsec;
    stamp.size = static_cast<std::uintmax_t>(info.st_size);
    return true;
}

KxCString cannotRead(const KxCString& name, const KxCString& folder) {
    return "cannot read template '" + name + "' in " +
           (folder.empty() ? KxCString("the current directory") : folder);
}

}  // namespace

// The parsed templates by name. Trees are never changed once made, so a
// rendering keeps using its tree while a changed file's new tree replaces it
// here. A file that does not parse is remembered too, with its message, and
// parsed again only when it changes.
struct KxTemplateFactory::Cache final : kx::tl::TemplateSource {
    using Clock = std::chrono::steady_clock;

    struct Entry {
        FileStamp stamp;
        std::shared_ptr<const kx::tl::TemplateTree> tree;
        KxCString error;
        Clock::time_point checked;  // when the stamp was last compared
    };

    mutable std::shared_mutex mutex;
    KxCString directory;
    LogSink sink;
    Clock::duration recheck = std::chrono::seconds(1);
    mutable std::unordered_map<KxCString, Entry> entries;
    TextSource textSource;

    std::shared_ptr<const kx::tl::TemplateTree> load(const KxCString& name,
                                                     KxCString& error) const override {
        if (!isValidName(name)) {
            error = "invalid template name '" + name + "'";
            return nullptr;
        }
        if (textSource) {
            return loadFromSource(name, error);
        }
        const Clock::time_point now = Clock::now();
        KxCString folder;
        {
            // A page uses several templates on every request: their files are
            // looked at again only once the recheck interval has passed.
            std::shared_lock lock(mutex);
            auto it = entries.find(name);
            if (it != entries.end() && now - it->second.checked < recheck) {
                error = it->second.error;
                return it->second.tree;
            }
            folder = directory;
        }
        const KxCString path = folder.empty() ? name : folder + "/" + name;
        FileStamp stamp;
        if (!stampOf(path, stamp)) {
            error = cannotRead(name, folder);
            return nullptr;
        }
        {
            std::unique_lock lock(mutex);
            auto it = entries.find(name);
            if (it != entries.end() && it->second.stamp == stamp && directory == folder) {
                it->second.checked = now;
                error = it->second.error;
                return it->second.tree;
            }
        }
        // Read and parsed without holding the lock, so that renderings of
        // other templates go on meanwhile. Two requests may parse the same
        // changed file at once; both trees are right and the later one stays.
        KxCString text;
        if (!kx::os::readWholeFile(path, text)) {
            error = cannotRead(name, folder);
            return nullptr;
        }
        Entry entry{stamp, parse(text, name, error), error, now};
        std::unique_lock lock(mutex);
        if (directory == folder) {
            entries.insert_or_assign(name, entry);
        }
        return entry.tree;
    }

    // A template of the text source: parsed on first use, then kept.
    std::shared_ptr<const kx::tl::TemplateTree> loadFromSource(const KxCString& name,
                                                               KxCString& error) const {
        {
            std::shared_lock lock(mutex);
            auto it = entries.find(name);
            if (it != entries.end()) {
                error = it->second.error;
                return it->second.tree;
            }
        }
        const std::optional<KxCString> text = textSource(name);
        if (!text) {
            error = "no template '" + name + "' is built in";
            return nullptr;
        }
        Entry entry{{}, parse(*text, name, error), error, Clock::now()};
        std::unique_lock lock(mutex);
        entries.insert_or_assign(name, entry);
        return entry.tree;
    }

    std::shared_ptr<const kx::tl::TemplateTree> parse(std::string_view text, const KxCString& name,
                                                      KxCString& error) const {
        try {
            std::shared_ptr<kx::tl::TemplateTree> tree = kx::tl::parseTemplate(text, name);
            tree->source = this;
            return tree;
        } catch (const kx::tl::TemplateError& fault) {
            error = fault.why();
            return nullptr;
        }
    }

    void log(const KxCString& message) const override {
        LogSink target;
        {
            std::shared_lock lock(mutex);
            target = sink;
        }
        if (target) {
            target(message);
        } else {
            std::clog << message << '\n';
        }
    }
};

KxTemplateFactory::KxTemplateFactory() : cache_(std::make_unique<Cache>()) {}

KxTemplateFactory::~KxTemplateFactory() = default;

void KxTemplateFactory::setTemplateDirectory(const KxCString& directory) {
    std::unique_lock lock(cache_->mutex);
    cache_->directory = directory;
    cache_->entries.clear();
}

const KxCString& KxTemplateFactory::getTemplateDirectory() const {
    return cache_->directory;
}

void KxTemplateFactory::setRecheckInterval(std::chrono::milliseconds interval) {
    std::unique_lock lock(cache_->mutex);
    cache_->recheck = interval;
}

void KxTemplateFactory::setTextSource(TextSource source) {
    std::unique_lock lock(cache_->mutex);
    cache_->textSource = std::move(source);
    cache_->entries.clear();
}

void KxTemplateFactory::setLogSink(LogSink sink) {
    std::unique_lock lock(cache_->mutex);
    cache_->sink = std::move(sink);
}

KxTemplate KxTemplateFactory::parseFile(const KxCString& name) const {
    KxCString error;
    std::shared_ptr<const kx::tl::TemplateTree> tree = cache_->load(name, error);
    if (!tree) {
        cache_->log("template error: " + error);
        return {};
    }
    return KxTemplate(std::move(tree), this);
}

KxTemplate KxTemplateFactory::parseText(const KxCString& text, const KxCString& name) const {
    KxCString error;
    std::shared_ptr<const kx::tl::TemplateTree> tree = cache_->parse(text, name, error);
    if (!tree) {
        cache_->log("template error: " + error);
        return {};
    }
    return KxTemplate(std::move(tree), this);
}
