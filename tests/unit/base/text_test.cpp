#include "platform/base/KxText.h"

#include <gtest/gtest.h>

namespace {

TEST(KxText, MarkupEscapingReplacesTheSpecialCharactersOnly) {
    KxCString html;
    kx::appendEscapedMarkup(html, "a<b> & \"c\" 'd' \xC3\xA9", true);
    EXPECT_EQ(html, "a&lt;b&gt; &amp; &quot;c&quot; &#39;d&#39; \xC3\xA9");
    KxCString xml = "prefix:";
    kx::appendEscapedMarkup(xml, "'it' & <x/>", false);
    EXPECT_EQ(xml, "prefix:'it' &amp; &lt;x/&gt;");
    EXPECT_EQ(kx::findMarkupSpecial("plain'", 0, false), std::string_view::npos);
    EXPECT_EQ(kx::findMarkupSpecial("plain'", 0, true), 5u);
}

TEST(KxText, CaseAndBlanks) {
    EXPECT_TRUE(kx::equalsIgnoringCase("Content-Type", "content-type"));
    EXPECT_FALSE(kx::equalsIgnoringCase("Content-Type", "content-typ"));
    EXPECT_EQ(kx::toLowerAscii("Sec-Fetch-SITE \xC3\x89"), "sec-fetch-site \xC3\x89");
    EXPECT_EQ(kx::trimBlanks(" \t token 1 \t"), "token 1");
    EXPECT_EQ(kx::trimBlanks(" \t "), "");
}

TEST(KxText, ParentSegmentIsFoundAsAWholeSegmentUnderEitherSeparator) {
    for (const char* path : {"..", "../a", "a/..", "a/../b", "a\\..\\b", "a/..\\b", "/.."}) {
        EXPECT_TRUE(kx::hasParentSegment(path)) << path;
    }
    for (const char* path : {"", ".", "...", "a..b/c", "..a/b..", "a//b\\"}) {
        EXPECT_FALSE(kx::hasParentSegment(path)) << path;
    }
}

}  // namespace
