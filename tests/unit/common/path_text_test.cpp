#include <gtest/gtest.h>

#include <cerrno>

#include "orvowizard/common/KxFileUtilities.h"
#include "support/ScopedEnv.h"

namespace {

// Each helper's answer for one input, beside the answer it should give.
TEST(TextHelpers, ParentDirectoryMimeTypeUnescapeAndQuotes) {
    const std::pair<KxCString, const char*> cases[] = {
        // The text before the later separator, of either kind.
        {parentDirectory("C:\\work/proj\\x"), "C:\\work/proj"},
        {parentDirectory("C:\\work\\proj/x"), "C:\\work\\proj"},
        {parentDirectory("/tmp"), ""},
        {parentDirectory(""), ""},
        // The last extension, exactly.
        {mimeTypeOf("/stock.wsdl"), "text/xml"},
        {mimeTypeOf("po.xsd"), "text/xml"},
        {mimeTypeOf("a.b.xslt"), "text/xml"},
        {mimeTypeOf("STOCK.WSDL"), "text/plain"},
        {mimeTypeOf("data.xml"), "text/plain"},
        {mimeTypeOf("old.wsdl.bak"), "text/plain"},
        // Doubled backslashes made single, the rest kept.
        {unescapeBackslashes("C:\\\\work\\\\proj"), "C:\\work\\proj"},
        {unescapeBackslashes("a\\nb"), "a\\nb"},
        {unescapeBackslashes("end\\"), "end\\"},
        {unescapeBackslashes("three\\\\\\x"), "three\\\\x"},
        {unescapeBackslashes("\\\\\\\\"), "\\\\"},
        {stripQuotes("\"C:\\My \"Work\"\""), "C:\\My Work"},
        {stripQuotes(""), ""},
        {errnoMessage(ENOENT), "Error: No such file or directory"},
        {errnoMessage(987654), "Error: 987654"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(cases[i].first, cases[i].second) << "case " << i;
    }
    EXPECT_TRUE(endsWith("demoProject.xml", "Project.xml"));
    EXPECT_TRUE(endsWith("x", ""));
    EXPECT_FALSE(endsWith("demoproject.xml", "Project.xml"));
    EXPECT_FALSE(endsWith("xml", "Project.xml"));
}

TEST(HomeDirectory, IsKxHomeWithoutQuotesOrEmpty) {
    {
        ScopedEnv home("KX_HOME", "\"/opt/kx home\"");
        EXPECT_EQ(homeDirectory(), "/opt/kx home");
    }
    ScopedEnv none("KX_HOME", std::nullopt);
    EXPECT_EQ(homeDirectory(), "");
}

}  // namespace
