// KxTemplateFactory: files from one folder, parsed once and parsed again
// when they change, refused names, log lines, many threads at once; texts
// from a source of built-in templates.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "platform/template/KxTemplate.h"
#include "support/ScratchDir.h"

namespace {

namespace fs = std::filesystem;

class Factory : public testing::Test {
  protected:
    Factory() {
        factory.setTemplateDirectory(dir.str());
        factory.setRecheckInterval(std::chrono::milliseconds(0));
        factory.setLogSink([this](const KxCString& line) {
            std::lock_guard lock(logMutex);
            log.push_back(line);
        });
        context.put("x", "1");
    }

    KxCString renderFile(const KxCString& name) {
        KxCString out;
        factory.parseFile(name).render(out, context, KxTemplate::Escaping::None);
        return out;
    }

    ScratchDir dir;
    KxTemplateFactory factory;
    KxContext context;
    std::mutex logMutex;
    std::vector<KxCString> log;
};

// A text source stands in for the folder: #parse reads through it, each
// name is asked for once, and a name it does not know logs one line.
TEST_F(Factory, TextSourceServesBuiltInTemplatesParsedOnce) {
    dir.write("page.tl", "from the folder");
    std::map<KxCString, int> asked;
    factory.setTextSource([&](const KxCString& name) -> std::optional<KxCString> {
        ++asked[name];
        if (name == "page.tl") {
            return KxCString("[#parse('parts/head.tl')]");
        }
        if (name == "parts/head.tl") {
            return KxCString("head $x");
        }
        return std::nullopt;
    });
    EXPECT_EQ(renderFile("page.tl"), "[head 1]");
    EXPECT_EQ(renderFile("page.tl"), "[head 1]");
    EXPECT_EQ(asked, (std::map<KxCString, int>{{"page.tl", 1}, {"parts/head.tl", 1}}));
    EXPECT_FALSE(factory.parseFile("other.tl").isValid());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "template error: no template 'other.tl' is built in");
}

// A parsed file is kept while its time and size stay, and within the recheck
// interval the file is not looked at.
TEST_F(Factory, KeepsAParsedFileUntilItsTimeOrSizeChanges) {
    const KxCString path = dir.write("page.tl", "one $x");
    const auto written = fs::last_write_time(path);
    EXPECT_EQ(renderFile("page.tl"), "one 1");
    dir.write("page.tl", "two $x");
    fs::last_write_time(path, written);
    EXPECT_EQ(renderFile("page.tl"), "one 1");
    fs::last_write_time(path, written + std::chrono::seconds(10));
    EXPECT_EQ(renderFile("page.tl"), "two 1");
    dir.write("page.tl", "three, longer $x");
    fs::last_write_time(path, written + std::chrono::seconds(10));
    EXPECT_EQ(renderFile("page.tl"), "three, longer 1");

    factory.setRecheckInterval(std::chrono::hours(1));
    dir.write("page.tl", "four, and longer still $x");
    EXPECT_EQ(renderFile("page.tl"), "three, longer 1");
    factory.setRecheckInterval(std::chrono::milliseconds(0));
    EXPECT_EQ(renderFile("page.tl"), "four, and longer still 1");
}

TEST_F(Factory, NamesLeavingTheFolderAndMissingFilesGiveAnInvalidTemplateAndOneLogLine) {
    dir.mkdir("templates/folder.tl");
    dir.write("secret.tl", "secret");
    factory.setTemplateDirectory(dir / "templates");
    const std::pair<KxCString, KxCString> cases[] = {
        {"../secret.tl", "invalid template name '../secret.tl'"},
        {"sub/../../secret.tl", "invalid template name 'sub/../../secret.tl'"},
        {"..\\secret.tl", "invalid template name '..\\secret.tl'"},
        {"", "invalid template name ''"},
        {"missing.tl", "cannot read template 'missing.tl' in " + dir / "templates"},
        {"folder.tl", "cannot read template 'folder.tl' in " + dir / "templates"}};
    for (const auto& [name, message] : cases) {
        log.clear();
        const KxTemplate page = factory.parseFile(name);
        EXPECT_FALSE(page.isValid()) << name;
        EXPECT_EQ(page.getName(), "");
        EXPECT_EQ(log, std::vector<KxCString>{"template error: " + message});
    }
}

TEST_F(Factory, ABrokenFileIsReportedOnEachUseUntilItIsRepaired) {
    dir.write("broken.tl", "a\n#if($x)");
    EXPECT_FALSE(factory.parseFile("broken.tl").isValid());
    EXPECT_FALSE(factory.parseFile("broken.tl").isValid());
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].rfind("template error: broken.tl:2:8: ", 0), 0u) << log[1];
    dir.write("broken.tl", "a\n#if($x)b#end");
    EXPECT_EQ(renderFile("broken.tl"), "a\nb");
}

TEST_F(Factory, ServesManyThreadsWhileTheFileChanges) {
    const KxCString path = dir.write("page.tl", "A:$n");
    std::atomic<bool> stop = false;
    std::atomic<int> wrong = 0;
    std::vector<std::thread> renderers;
    for (int t = 0; t < 4; ++t) {
        renderers.emplace_back([&, t] {
            KxContext own;
            own.put("n", kxcreateContextObject(t));
            const KxCString a = "A:" + std::to_string(t);
            const KxCString b = "Bb:" + std::to_string(t);
            for (int i = 0; i < 300; ++i) {
                KxCString out;
                factory.parseFile("page.tl").render(out, own, KxTemplate::Escaping::None);
                wrong += out != a && out != b;
            }
        });
    }
    std::thread writer([&] {
        // Each version appears at once (rename), with its own time and size.
        for (int i = 1; !stop; ++i) {
            dir.write("next.tl", i % 2 ? "Bb:$n" : "A:$n");
            fs::last_write_time(dir / "next.tl",
                                fs::file_time_type::clock::now() + std::chrono::seconds(i));
            fs::rename(dir / "next.tl", path);
        }
    });
    for (std::thread& thread : renderers) {
        thread.join();
    }
    stop = true;
    writer.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(log.empty()) << log.front();
}

}  // namespace
