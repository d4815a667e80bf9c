// orvoany.h: elements and attributes kept as they stand, and the text
// pieces of mixed content, read and written back. orvoany.h is included
// first, so that this file also shows it compiles on its own.
#include "generators/runtime/orvoany.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The document's root read as a tree and written back.
std::string roundTrip(const std::string& text) {
    const orvo::Document document = orvo::Document::parse(text);
    orvo::Writer out;
    orvo::writeAny(out, orvo::readAny(document.root()));
    return out.str();
}

TEST(AnyElement, KeepsNamesAttributesTextAndChildrenInDocumentOrder) {
    const orvo::Document document = orvo::Document::parse(
        "<p:a xmlns:p='urn:p' xmlns:q='urn:q' x='1' q:y='2'>one<b/>two<q:c q:z='3'>deep</q:c>"
        "<![CDATA[<three>]]></p:a>");
    const orvo::AnyElement a = orvo::readAny(document.root());
    EXPECT_EQ(a.ns, "urn:p");
    EXPECT_EQ(a.name, "a");
    EXPECT_EQ(a.prefix, "p");
    ASSERT_EQ(a.attributes.size(), 2u);
    EXPECT_EQ(a.attributes[0], (orvo::AnyAttribute{"", "x", "1"}));
    EXPECT_EQ(a.attributes[1], (orvo::AnyAttribute{"urn:q", "y", "2"}));
    ASSERT_EQ(a.children.size(), 2u);
    EXPECT_EQ(a.texts, (std::vector<std::string>{"one", "two", "<three>"}));
    EXPECT_EQ(a.text(), "onetwo<three>");
    EXPECT_EQ(a.children[0].ns, "");
    EXPECT_EQ(a.children[1].ns, "urn:q");
    EXPECT_EQ(a.children[1].attributes[0], (orvo::AnyAttribute{"urn:q", "z", "3"}));
    EXPECT_EQ(a.children[1].text(), "deep");
}

TEST(AnyElement, IsWrittenBackWithTheNamespacesItNeeds) {
    EXPECT_EQ(roundTrip("<p:a xmlns:p='urn:p' xmlns:q='urn:q' q:y='&lt;2&quot;'>one<b/>two"
                        "<q:c xml:lang='de'>x &amp; y</q:c></p:a>"),
              "<p:a xmlns:p=\"urn:p\" xmlns:q=\"urn:q\" q:y=\"&lt;2&quot;\">one<b/>two"
              "<q:c xml:lang=\"de\">x &amp; y</q:c></p:a>");
    // Without a prefix the writer makes one; an element of no namespace
    // inside one of a default namespace stays in no namespace.
    const std::string written = roundTrip("<a xmlns='urn:d'><b xmlns=''><c/></b> </a>");
    EXPECT_EQ(written, "<ns1:a xmlns:ns1=\"urn:d\"><b><c/></b> </ns1:a>");
    EXPECT_EQ(roundTrip(written), written);
}

TEST(AnyElement, ReadingAndWritingAgainGivesTheSameTree) {
    const std::string text =
        "<r xmlns:o='urn:o'><o:e o:a='1' b=''>t<o:f/><g>u</g>v</o:e>\n  <h/>\n</r>";
    const orvo::Document first = orvo::Document::parse(text);
    const orvo::Document second = orvo::Document::parse(roundTrip(text));
    EXPECT_EQ(orvo::readAny(first.root()), orvo::readAny(second.root()));
    orvo::AnyElement changed = orvo::readAny(second.root());
    changed.children[0].texts[1] = "changed";
    EXPECT_NE(orvo::readAny(first.root()), changed);
}

TEST(Writer, PlacesMixedTextPiecesBetweenChildElements) {
    const std::vector<std::string> pieces = {"a", "", "c<", "d", "left over"};
    orvo::Writer out;
    out.start("", "m");
    out.mixedText(pieces);
    for (int i = 0; i < 3; ++i) {
        out.start("", "x");
        out.text("in");  // a child's own text is no piece of its parent
        out.end();
    }
    out.end();
    EXPECT_EQ(out.str(), "<m>a<x>in</x><x>in</x>c&lt;<x>in</x>dleft over</m>");
    orvo::Writer empty;
    const std::vector<std::string> none = {"", ""};
    empty.start("", "m");
    empty.mixedText(none);
    empty.end();
    EXPECT_EQ(empty.str(), "<m/>");
    orvo::Writer late;
    late.start("", "m");
    late.text("x");
    EXPECT_THROW(late.mixedText(none), std::logic_error);
}

}  // namespace
