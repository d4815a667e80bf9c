#include <gtest/gtest.h>

#include <cerrno>

#include "orvowizard/common/KxFileUtilities.h"
#include "support/ScopedEnv.h"

namespace {

struct TextCase {
    const char* input;
    const char* expected;

    friend void PrintTo(const TextCase& c, std::ostream* out) {
        *out << testing::PrintToString(std::string(c.input));
    }
};

class ParentDirectory : public testing::TestWithParam<TextCase> {};
TEST_P(ParentDirectory, IsTheTextBeforeTheLaterSeparator) {
    EXPECT_EQ(parentDirectory(GetParam().input), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Paths, ParentDirectory,
                         testing::Values(TextCase{"C:\\work/proj\\x", "C:\\work/proj"},
                                         TextCase{"C:\\work\\proj/x", "C:\\work\\proj"},
                                         TextCase{"/tmp", ""}, TextCase{"", ""}));

class MimeTypeOf : public testing::TestWithParam<TextCase> {};
TEST_P(MimeTypeOf, DependsOnTheLastExtensionExactly) {
    EXPECT_EQ(mimeTypeOf(GetParam().input), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Names, MimeTypeOf,
    testing::Values(TextCase{"/stock.wsdl", "text/xml"}, TextCase{"po.xsd", "text/xml"},
                    TextCase{"a.b.xslt", "text/xml"}, TextCase{"STOCK.WSDL", "text/plain"},
                    TextCase{"data.xml", "text/plain"}, TextCase{"old.wsdl.bak", "text/plain"}));

class UnescapeBackslashes : public testing::TestWithParam<TextCase> {};
TEST_P(UnescapeBackslashes, MakesDoubledBackslashesSingleAndKeepsTheRest) {
    EXPECT_EQ(unescapeBackslashes(GetParam().input), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Texts, UnescapeBackslashes,
                         testing::Values(TextCase{"C:\\\\work\\\\proj", "C:\\work\\proj"},
                                         TextCase{"a\\nb", "a\\nb"}, TextCase{"end\\", "end\\"},
                                         TextCase{"three\\\\\\x", "three\\\\x"},
                                         TextCase{"\\\\\\\\", "\\\\"}, TextCase{"plain", "plain"}));

TEST(TextHelpers, EndsWithAndStripQuotes) {
    EXPECT_TRUE(endsWith("demoProject.xml", "Project.xml"));
    EXPECT_TRUE(endsWith("x", ""));
    EXPECT_FALSE(endsWith("demoproject.xml", "Project.xml"));
    EXPECT_FALSE(endsWith("xml", "Project.xml"));
    EXPECT_EQ(stripQuotes("\"C:\\My \"Work\"\""), "C:\\My Work");
    EXPECT_EQ(stripQuotes(""), "");
}

TEST(HomeDirectory, IsKxHomeWithoutQuotesOrEmpty) {
    {
        ScopedEnv home("KX_HOME", "\"/opt/kx home\"");
        EXPECT_EQ(homeDirectory(), "/opt/kx home");
    }
    ScopedEnv none("KX_HOME", std::nullopt);
    EXPECT_EQ(homeDirectory(), "");
}

TEST(ErrnoMessage, UsesThePlatformTextOrTheNumber) {
    EXPECT_EQ(errnoMessage(ENOENT), "Error: No such file or directory");
    EXPECT_EQ(errnoMessage(987654), "Error: 987654");
}

}  // namespace
