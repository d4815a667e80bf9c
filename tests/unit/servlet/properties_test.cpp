#include "platform/servlet/KxProperties.h"

#include <gtest/gtest.h>

#include "support/ScratchDir.h"

namespace {

struct PropertiesCase {
    const char* text;
    const char* key;
    const char* value;

    friend void PrintTo(const PropertiesCase& c, std::ostream* out) {
        *out << testing::PrintToString(std::string(c.text));
    }
};

class PropertiesLine : public testing::TestWithParam<PropertiesCase> {};

TEST_P(PropertiesLine, ReadsTheValueAsWritten) {
    KxProperties properties;
    properties.loadFromText(GetParam().text);
    EXPECT_EQ(properties.get(GetParam().key), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, PropertiesLine,
    testing::Values(
        PropertiesCase{"type=server\n", "type", "server"},
        PropertiesCase{"type:client\n", "type", "client"},
        PropertiesCase{"  projectName  =  demo\n", "projectName", "demo"},
        PropertiesCase{"key = value with trailing blanks  \n", "key",
                       "value with trailing blanks  "},
        PropertiesCase{"url=http://host:8080/a=b\n", "url", "http://host:8080/a=b"},
        PropertiesCase{"projectDir=C:\\\\work\\\\demo\n", "projectDir", "C:\\\\work\\\\demo"},
        PropertiesCase{"line=ends with a backslash\\\nnext=1\n", "line", "ends with a backslash\\"},
        PropertiesCase{"tab=\\t\\n\\u0041\n", "tab", "\\t\\n\\u0041"},
        PropertiesCase{"crlf=yes\r\nother=no\r\n", "crlf", "yes"},
        PropertiesCase{"lonely\n", "lonely", ""}, PropertiesCase{"empty=\n", "empty", ""},
        PropertiesCase{"# type=comment\n", "type", ""},
        PropertiesCase{"   ! type=comment\n", "type", ""},
        PropertiesCase{"k=first\nk=second\n", "k", "second"},
        PropertiesCase{"no newline at end", "no newline at end", ""}));

TEST(KxProperties, MissingKeyAndMissingFileReadAsEmpty) {
    ScratchDir dir;
    KxProperties properties;
    EXPECT_FALSE(properties.load(dir / "absent.properties"));
    EXPECT_TRUE(properties.empty());
    EXPECT_EQ(properties.get("type"), "");
}

TEST(KxProperties, LoadsAFileNamedWithBackslashes) {
    ScratchDir dir;
    dir.write("proj/startup.properties",
              "# saved\ntype=server\nversion=1.2\nfilename=C:\\\\x\\\\a.wsdl\n");
    KxProperties properties;
    ASSERT_TRUE(properties.load(dir.str() + "\\proj\\startup.properties"));
    EXPECT_EQ(properties.get("type"), "server");
    EXPECT_EQ(properties.get("version"), "1.2");
    EXPECT_EQ(properties.get("filename"), "C:\\\\x\\\\a.wsdl");
    EXPECT_EQ(properties.entries().size(), 3u);
}

}  // namespace
