#include "platform/servlet/KxProperties.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "support/ScratchDir.h"

namespace {

TEST(KxProperties, ReadsEachValueAsWritten) {
    // text, key, value
    for (const auto& [text, key, value] : std::vector<std::array<const char*, 3>>{
             {"type=server\n", "type", "server"},
             {"type:client\n", "type", "client"},
             {"  projectName  =  demo\n", "projectName", "demo"},
             {"key = value with trailing blanks  \n", "key", "value with trailing blanks  "},
             {"url=http://host:8080/a=b\n", "url", "http://host:8080/a=b"},
             {"line=ends with a backslash\\\nnext=1\n", "line", "ends with a backslash\\"},
             {"tab=\\t\\n\\u0041\n", "tab", "\\t\\n\\u0041"},
             {"crlf=yes\r\nother=no\r\n", "crlf", "yes"},
             {"lonely\n", "lonely", ""},
             {"# type=comment\n", "type", ""},
             {"   ! type=comment\n", "type", ""},
             {"k=first\nk=second\n", "k", "second"},
             {"no newline at end", "no newline at end", ""}}) {
        KxProperties properties;
        properties.loadFromText(text);
        EXPECT_EQ(properties.get(key), value) << testing::PrintToString(std::string(text));
    }
}

TEST(KxProperties, LoadsAFileNamedWithBackslashesAndAMissingOneAsEmpty) {
    ScratchDir dir;
    dir.write("proj/startup.properties",
              "# saved\ntype=server\nversion=1.2\nfilename=C:\\\\x\\\\a.wsdl\n");
    KxProperties properties;
    EXPECT_FALSE(properties.load(dir / "absent.properties"));
    EXPECT_TRUE(properties.empty());
    ASSERT_TRUE(properties.load(dir.str() + "\\proj\\startup.properties"));
    EXPECT_EQ(properties.get("version"), "1.2");
    EXPECT_EQ(properties.get("filename"), "C:\\\\x\\\\a.wsdl");
    EXPECT_EQ(properties.entries().size(), 3u);
}

}  // namespace
