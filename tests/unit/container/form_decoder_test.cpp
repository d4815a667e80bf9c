#include "platform/container/KxFormDecoder.h"

#include <gtest/gtest.h>

namespace kx::container {
namespace {

TEST(ContainerFormDecoder, DecodesLeniently) {
    for (const auto& [text, expected] : std::vector<std::pair<const char*, KxParameterList>>{
             {"a=x+y&b+c=1", {{"a", "x y"}, {"b c", "1"}}},
             {"n=%41%62%2b%3D%26", {{"n", "Ab+=&"}}},
             {"n=%c3%a9", {{"n", "\xc3\xa9"}}},
             {"n=%zz&m=%4&k=%", {{"n", "%zz"}, {"m", "%4"}, {"k", "%"}}},
             {"n=%4g1", {{"n", "%4g1"}}},
             {"dir=C:\\work\\demo&x=a|b{c}", {{"dir", "C:\\work\\demo"}, {"x", "a|b{c}"}}},
             {"flag&a=&b=1&other", {{"flag", ""}, {"a", ""}, {"b", "1"}, {"other", ""}}},
             {"z=1&a=2&z=3&a=", {{"z", "1"}, {"a", "2"}, {"z", "3"}, {"a", ""}}},
             {"q=a=b=c", {{"q", "a=b=c"}}},
             {"&&a=1&&=x&", {{"a", "1"}}},
             {"", {}}}) {
        EXPECT_EQ(decodeFormText(text), expected) << text;
    }
    // Paths keep their plus signs and bad escapes.
    EXPECT_EQ(percentDecode("/a%20b+c/%zz%2", false), "/a b+c/%zz%2");
    EXPECT_EQ(percentDecode("a+b", true), "a b");
    EXPECT_EQ(percentDecode("%2e%2E", false), "..");
    EXPECT_EQ(percentDecode("%00x", false), std::string("\0x", 2));
}

TEST(ContainerCookies, FindsTheNamedCookieAndTheFormContentType) {
    EXPECT_EQ(findCookie("a=1; JSESSIONID=abc; b=2", "JSESSIONID"), "abc");
    EXPECT_EQ(findCookie("JSESSIONID=\"q\"", "JSESSIONID"), "q");
    EXPECT_EQ(findCookie("  kxtoken = t1 ;x=y", "kxtoken"), "t1");
    EXPECT_EQ(findCookie("a=1; a=2", "a"), "1");
    for (const char* none : {"a=1; b=2", "XJSESSIONID=1; JSESSIONIDX=2", ""}) {
        EXPECT_EQ(findCookie(none, "JSESSIONID"), std::nullopt) << none;
    }
    EXPECT_TRUE(isFormContentType("application/x-www-form-urlencoded"));
    EXPECT_TRUE(isFormContentType("Application/X-WWW-Form-URLEncoded ; charset=UTF-8"));
    for (const char* other : {"multipart/form-data; boundary=x", "text/plain", ""}) {
        EXPECT_FALSE(isFormContentType(other)) << other;
    }
}

}  // namespace
}  // namespace kx::container
