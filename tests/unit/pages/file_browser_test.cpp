#include "orvowizard/pages/KxHtmlFileBrowser.h"

#include "PageFixture.h"

namespace {

TEST(PatternList, TranslatesWildcardsInOrder) {
    const std::pair<const char*, Names> cases[] = {
        {"*.wsdl, *.xsd, *.xml", {".*\\.wsdl", ".*\\.xsd", ".*\\.xml"}},
        {"a?c.xml", {"a.c\\.xml"}},
        {";*.wsdl;;*.xsd ,", {".*\\.wsdl", ".*\\.xsd"}},
        {" ,; ", {}},
        {"[ab]+.x$", {"[ab]+\\.x$"}}};
    for (const auto& [patterns, expressions] : cases) {
        const KxRecordList<KxCString> parsed = parsePatternList(patterns);
        EXPECT_EQ(Names(parsed.begin(), parsed.end()), expressions) << patterns;
    }
}

class FileBrowser : public PageFixture<KxHtmlFileBrowser> {
  protected:
    const char* name() const override { return "browse"; }
    void SetUp() override {
        harness.home.write("examples/stock.wsdl", "x");
        harness.home.write("examples/po.xsd", "x");
        harness.home.write("examples/STOCK.WSDL", "x");
        harness.home.write("examples/old.xml.bak", "x");
        harness.home.write("examples/readme.txt", "x");
        harness.home.mkdir("examples/nested.dir");
    }
};

TEST_F(FileBrowser, NewSessionListsTheExamplesWithTheDefaultPatterns) {
    ASSERT_TRUE(run({}).isValid());
    EXPECT_EQ(text("rootDir"), harness.home.str() + "\\examples");
    EXPECT_EQ(column("files", "name"),
              (Names{"nested.dir", "old.xml.bak", "po.xsd", "stock.wsdl"}));
    EXPECT_EQ(column("files", "isDir"), (Names{"true", "false", "false", "false"}));
    EXPECT_EQ(getSessionString(*harness.session, "dir", "browse"), text("rootDir"));
    EXPECT_EQ(context->get("parent").getAttribute("name").toString(), harness.home.str());
}

TEST_F(FileBrowser, EachTierRemembersItsOwnDirectoryAndPatterns) {
    run({{"tier", "server"}, {"dir", harness.home.str()}, {"pattern", "*.wsdl;*.xsd"}});
    EXPECT_EQ(text("escapepattern"), "*.wsdl,*.xsd");
    run({{"tier", "foundation"}, {"pattern", "*.txt"}});
    EXPECT_EQ(column("files", "name"), (Names{"nested.dir", "readme.txt"}));

    run({{"tier", "server"}});
    EXPECT_EQ(text("rootDir"), harness.home.str());
    EXPECT_EQ(text("pattern"), "*.wsdl;*.xsd");
}

TEST_F(FileBrowser, UnusablePatternsAreLoggedAndTheOthersStillApply) {
    run({{"pattern", "[bad *.xsd"}});
    EXPECT_EQ(column("files", "name"), (Names{"nested.dir", "po.xsd"}));
    // Tried on each of the five files, before the pattern that follows.
    ASSERT_EQ(harness.log.size(), 5u);
    EXPECT_EQ(harness.log.front().rfind("browse: Exception thrown: ", 0), 0u)
        << harness.log.front();
    EXPECT_NE(harness.log.front().find("[bad"), std::string::npos);

    // Each of these would take megabytes once compiled.
    harness.log.clear();
    run({{"pattern", "\\pL{300} \\pL{300} *.wsdl"}});
    EXPECT_EQ(column("files", "name"), (Names{"nested.dir", "stock.wsdl"}));
    ASSERT_FALSE(harness.log.empty());
    EXPECT_NE(harness.log.front().find("pattern too large"), std::string::npos)
        << harness.log.front();
}

TEST_F(FileBrowser, OnlyTheFirstThirtyTwoPatternsAreUsed) {
    // Thirty-two patterns that find nothing, then one that would.
    KxCString patterns;
    for (int i = 0; i < 32; ++i) {
        patterns += "none" + std::to_string(i) + ".x ";
    }
    run({{"pattern", patterns + "*.xsd"}});
    EXPECT_EQ(column("files", "name"), (Names{"nested.dir"}));
    ASSERT_EQ(harness.log.size(), 1u);
    EXPECT_NE(harness.log.front().find("Only the first 32 patterns"), std::string::npos);

    run({{"pattern", patterns.substr(0, patterns.rfind("none31")) + "*.xsd"}});
    EXPECT_EQ(column("files", "name"), (Names{"nested.dir", "po.xsd"}));
}

}  // namespace
