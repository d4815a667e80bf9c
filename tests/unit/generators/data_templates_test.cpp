// The data templates over a schema whose every free text is hostile (the
// documentation, enumeration values, a default value, the input file's
// name, and as far as a URI can be the target namespace): each file renders (a value written
// without its escaping tool would throw), and the hostile text lands only inside C++ comments and
// string literals, or escaped in HTML.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "SchemaText.h"
#include "generators/emit/DataClassWriter.h"

namespace kx::gen {
namespace {

// In a schema document: a quote, a comment's end, a line break and a
// preprocessor line, markup, and a backslash ending a line.
const KxCString kHostile = "x&quot;*/&#10;#include &lt;evil&gt;&#10;&lt;/b&gt;\\";
const KxCString kHostileDoc = "x\"*/\n#include &lt;evil&gt;\n&lt;/b&gt;\\";

// A namespace must be a URI, but may still end a block comment or, as a
// trigraph, splice a line.
const KxCString kSchema = schemaText("urn:x*/y?\?/", R"(
  <xs:simpleType name="Colour">
    <xs:annotation><xs:documentation>)" + kHostileDoc + R"(</xs:documentation></xs:annotation>
    <xs:restriction base="xs:string">
      <xs:enumeration value=")" + kHostile + R"("/><xs:enumeration value="red"/>
    </xs:restriction>
  </xs:simpleType>
  <xs:complexType name="Item">
    <xs:annotation><xs:documentation>)" + kHostileDoc + R"(</xs:documentation></xs:annotation>
    <xs:sequence>
      <xs:element name="colour" type="t:Colour" minOccurs="0" maxOccurs="unbounded"/>
      <xs:choice minOccurs="0" maxOccurs="unbounded">
        <xs:element name="a" type="xs:int"/><xs:element name="b" type="t:Item"/>
      </xs:choice>
    </xs:sequence>
    <xs:attribute name="label" type="xs:string" default=")" +
                                                         kHostile + R"("/>
  </xs:complexType>
  <xs:element name="item" type="t:Item"/>
)");

// The code of a C++ file with its comments and literals taken out.
KxCString codeOf(const KxCString& text) {
    KxCString code;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text.compare(at, 2, "//") == 0) {
            at = text.find('\n', at);
            EXPECT_NE(text[at - 1], '\\') << "a comment continues on the next line";
            code += '\n';
        } else if (text[at] == '"' || text[at] == '\'') {
            const char quote = text[at];
            for (++at; at < text.size() && text[at] != quote && text[at] != '\n'; ++at) {
                at += text[at] == '\\' ? 1 : 0;
            }
            EXPECT_EQ(text[at], quote) << "a literal runs past its line";
            code += "\"\"";
        } else {
            code += text[at];
        }
    }
    return code;
}

// Every preprocessor line of the code is one the templates write.
void expectOnlyOwnCode(const KxCString& file, const KxCString& name) {
    const KxCString code = codeOf(file);
    // Identifiers made from the text may spell its letters, never its markup.
    EXPECT_EQ(code.find("<evil>"), KxCString::npos) << name << ":\n" << file;
    EXPECT_EQ(code.find("</b>"), KxCString::npos) << name;
    EXPECT_EQ(code.find("*/"), KxCString::npos) << name;
    static const std::regex kOwnLine(R"(#pragma once|#include (<[a-z]+>|""))");
    std::istringstream lines(code);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] == '#') {
            EXPECT_TRUE(std::regex_match(line, kOwnLine)) << name << ": " << line;
        }
    }
}

void expectEscapedHtml(const KxCString& page, const KxCString& name) {
    EXPECT_EQ(page.find("<evil>"), KxCString::npos) << name;
    EXPECT_EQ(page.find("</b>"), KxCString::npos) << name;
    EXPECT_NE(page.find("&lt;evil&gt;"), KxCString::npos) << name << " lost the text:\n" << page;
}

class DataTemplatesTest : public ::testing::TestWithParam<bool> {
  protected:
    DataTemplatesTest() : text_(kSchema), model_(buildDataModel(text_.schema())) {
        options_.origin = {"bindgen", "dir/in\"*/\n#include <evil>.xsd"};
        options_.externalMarshaller = GetParam();
        options_.prefixes = {{"t", text_.schema().targetNamespaces().front()}};
    }

    SchemaText text_;
    DataModel model_;
    DataClassOptions options_;
};

TEST_P(DataTemplatesTest, HostileTextStaysInCommentsAndLiterals) {
    ASSERT_EQ(model_.enums.size(), 1u);
    expectOnlyOwnCode(enumHeader(model_.enums.front(), options_), "enum header");
    ASSERT_FALSE(model_.classes.empty());
    for (const ClassModel& type : model_.classes) {
        expectOnlyOwnCode(dataClassHeader(type, options_), type.name + ".h");
        expectOnlyOwnCode(dataClassSource(text_.schema(), type, options_), type.name + ".cpp");
        if (options_.externalMarshaller) {
            expectOnlyOwnCode(marshallerHeader(type, options_), type.marshaller + ".h");
            expectOnlyOwnCode(marshallerSource(text_.schema(), type, options_),
                              type.marshaller + ".cpp");
        }
    }
    expectOnlyOwnCode(sampleProgram(model_, options_), "main.cpp");
}

TEST_P(DataTemplatesTest, HostileTextIsEscapedInPages) {
    for (const ClassModel& type : model_.classes) {
        expectEscapedHtml(
            dataTypeHtml(type, options_.origin, options_.externalMarshaller, "index.html"),
            type.name + ".html");
    }
    expectEscapedHtml(dataIndexHtml(text_.schema(), "p<evil>", options_.origin), "index.html");
}

INSTANTIATE_TEST_SUITE_P(InClassAndInMarshaller, DataTemplatesTest, ::testing::Bool());

}  // namespace
}  // namespace kx::gen
