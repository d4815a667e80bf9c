#pragma once
// A parsed template and the factory that parses and caches template files.
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>

#include "platform/base/KxCString.h"
#include "platform/template/KxContext.h"

class KxTemplateFactory;
namespace kx::tl {
struct TemplateTree;
}

class KxTemplate {
  public:
    enum class Escaping { None, Html };

    // The invalid template: nothing to render.
    KxTemplate() = default;
    KxTemplate(std::shared_ptr<const kx::tl::TemplateTree> tree, const KxTemplateFactory* factory)
        : tree_(std::move(tree)), factory_(factory) {}

    bool isValid() const { return tree_ != nullptr; }

    // Renders with the context into out, without escaping (for files).
    void execute(std::ostream& out, KxContext& context) const;
    // Renders into text, escaping every $ output for HTML when asked (pages).
    void render(KxCString& out, KxContext& context, Escaping escaping) const;

    const KxCString& getName() const;

  private:
    std::shared_ptr<const kx::tl::TemplateTree> tree_;
    const KxTemplateFactory* factory_ = nullptr;
};

// Parses template files from one folder. A template is parsed once and kept;
// a file changed on disk is parsed again on its first use after the recheck
// interval (one second unless set). Safe when many requests ask at once. A file that cannot be read
// or parsed gives an invalid template, and one log line names the file, line, column and the fault.
class KxTemplateFactory {
  public:
    using LogSink = std::function<void(const KxCString& message)>;

    KxTemplateFactory();
    ~KxTemplateFactory();
    KxTemplateFactory(const KxTemplateFactory&) = delete;
    KxTemplateFactory& operator=(const KxTemplateFactory&) = delete;

    void setTemplateDirectory(const KxCString& directory);
    const KxCString& getTemplateDirectory() const;
    void setLogSink(LogSink sink);
    // How long a template is used without looking whether its file changed;
    // zero looks on every use.
    void setRecheckInterval(std::chrono::milliseconds interval);

    // Templates read from this function instead of from files: it gives the
    // text of a name, or nothing when there is no such template. For
    // templates built into a program; their texts never change, so each is
    // parsed once. #parse reads through it too.
    using TextSource = std::function<std::optional<KxCString>(const KxCString& name)>;
    void setTextSource(TextSource source);

    // The template of that file name, relative to the folder.
    KxTemplate parseFile(const KxCString& name) const;
    // A template from text, for tests and generated content; name is used in
    // messages and as the base for #parse.
    KxTemplate parseText(const KxCString& text, const KxCString& name = "<text>") const;

  private:
    struct Cache;
    std::unique_ptr<Cache> cache_;
};
