// orvoxml.h: documents read through libxml2, their errors, and what is refused.
// orvoxml.h is included first, so that this file also shows it compiles on
// its own.
#include "generators/runtime/orvoxml.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "RuntimeErrors.h"

namespace {

using runtimetest::errorOf;

TEST(Document, MalformedTextGivesLibxmlMessageAndLocation) {
    struct Case {
        const char* text;
        long line;
        const char* message;  // part of it
    };
    const Case cases[] = {
        {"<a><b></a>", 1, "mismatch"},
        {"<a>\n\n<b x='1' x='2'/></a>", 3, "redefined"},
        {"<a>\n<p:b/></a>", 2, "prefix"},
        {"<a>\x01</a>", 1, "Char"},
        {"<a>", 1, ""},
        {"", 1, ""},
    };
    for (const Case& c : cases) {
        const orvo::XmlError error = errorOf([&] { orvo::Document::parse(c.text); });
        EXPECT_EQ(error.line(), c.line) << c.text;
        EXPECT_NE(error.message().find(c.message), std::string::npos) << error.message();
        EXPECT_NE(error.message().back(), '\n');
        EXPECT_EQ(std::string(error.what()), "line " + std::to_string(error.line()) + ", column " +
                                                 std::to_string(error.column()) + ": " +
                                                 error.message());
    }
    std::string deep;
    for (int i = 0; i < 300; ++i) {
        deep += "<a>";
    }
    EXPECT_THROW(orvo::Document::parse(deep), orvo::XmlError);
}

TEST(Document, RefusesDeclaredEntitiesAndReadsReferences) {
    const char* const declarations[] = {
        "<!ENTITY e 'x'>",
        "<!ENTITY % e 'x'>",
        "<!ENTITY e SYSTEM 'file:///etc/passwd'>",
        "<!NOTATION n SYSTEM 'n'><!ENTITY e SYSTEM 'x' NDATA n>",
    };
    for (const char* declaration : declarations) {
        const orvo::XmlError error = errorOf([&] {
            orvo::Document::parse(std::string("<?xml version='1.0'?>\n<!DOCTYPE a [") +
                                  declaration + "]>\n<a>&amp;</a>");
        });
        EXPECT_EQ(error.what(), std::string("line 2: the document declares the entity e; "
                                            "documents that declare entities are refused"));
    }
    const orvo::Document doc = orvo::Document::parse(
        "<!DOCTYPE a [<!ELEMENT a ANY>]><a>&lt;&#65;&#x42;&gt;&amp;&quot;&apos;</a>");
    EXPECT_EQ(doc.root().text(), "<AB>&\"'");
}

// A start tag past the attribute bound is refused before libxml2's quadratic
// check of it; at the bound, and with '=' in quoted values, comments and
// CDATA, the document reads.
TEST(Document, RefusesAStartTagWithTooManyAttributes) {
    std::string attributes;
    for (int i = 0; i < 1000; ++i) {
        attributes += " a" + std::to_string(i) + "='x=y'";
    }
    const std::string noise = "<!-- = = = --><![CDATA[ = = ]]>";
    const orvo::Document doc = orvo::Document::parse("<r>" + noise + "<e" + attributes + "/></r>");
    EXPECT_EQ(doc.root().localName(), "r");
    const orvo::XmlError error =
        errorOf([&] { orvo::Document::parse("<r>\n  <e" + attributes + " extra='1'/></r>"); });
    EXPECT_EQ(error.message(), "the element <e> has more than 1000 attributes");
    EXPECT_EQ(std::pair(error.line(), error.column()), std::pair(2L, 3L));
}

}  // namespace
