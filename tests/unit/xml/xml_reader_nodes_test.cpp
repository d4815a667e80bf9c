// The reader's single operations: values, attributes, references, passing
// over content, and what it says when the document holds something else.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/xml/KxXmlReader.h"
#include "support/ScratchDir.h"

namespace {

std::string messageOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const KxXmlException& fault) {
        return fault.why();
    }
    return "(no exception)";
}

TEST(KxXmlReaderValue, JoinsTextCdataAndReferencesUpToTheFirstChildAndIsEmptyForEmptyElements) {
    KxXmlReader reader(
        "<?xml version=\"1.0\"?>\n<!DOCTYPE m [<!ELEMENT m ANY>]>\n<!-- head -->\n"
        "<m>  a &amp; <![CDATA[<b>&amp;]]> &#65;&#x42;<!-- note --><?pi x?> Kx and Co"
        "<child>inner</child>tail<a/><b></b><c>\n kept\n</c></m>\n<!-- tail -->");
    EXPECT_EQ(reader.getLastNodeType(), KxXmlReader::None);
    reader.readElementStart("m");
    EXPECT_EQ(reader.readElementValue(), "  a & <b>&amp; AB Kx and Co");
    EXPECT_EQ(reader.getLastNodeType(), KxXmlReader::Text);
    EXPECT_TRUE(reader.isElementNext("child"));  // left before the child
    reader.skipElement();
    for (const char* name : {"a", "b"}) {  // empty elements have an empty value
        reader.readElementStart(name);
        EXPECT_EQ(reader.readElementValue(), "") << name;
        reader.readElementEnd(name);
    }
    reader.readElementStart("c");
    EXPECT_FALSE(reader.isElementNext("child"));  // looking ahead keeps the text
    EXPECT_EQ(reader.readElementValue(), "\n kept\n");
    reader.readElementEnd("c");
    reader.readElementEnd("m");
    EXPECT_TRUE(reader.eof());
}

// External entities are refused, never loaded; internal ones are put in
// place in text and attribute values, as in the W3C signature schema, whose
// external DTD subset is not read.
TEST(KxXmlReaderValue, ExternalEntitiesAreRefusedAndInternalOnesExpanded) {
    ScratchDir dir;
    const std::string secret = dir.write("secret.txt", "SECRET-MARKER");
    KxXmlReader reader("<!DOCTYPE r [<!ENTITY ext SYSTEM \"file://" + secret +
                       "\">]>\n<r>before&ext;after</r>");
    try {
        reader.readElementStart("r");
        ADD_FAILURE() << "read " << reader.readElementValue();
    } catch (const KxXmlException& fault) {
        EXPECT_EQ(fault.why(),
                  "line 1, column 14: the document declares the external entity ext; "
                  "external entities are not read");
    }

    KxXmlReader signature(
        "<?xml version='1.0'?>\n<!DOCTYPE schema\n"
        "  PUBLIC \"-//W3C//DTD XMLSchema 200102//EN\" \"http://www.w3.org/2001/XMLSchema.dtd\"\n"
        " [\n   <!ATTLIST schema\n     xmlns:ds CDATA #FIXED "
        "\"http://www.w3.org/2000/09/xmldsig#\">\n"
        "   <!ENTITY dsig 'http://www.w3.org/2000/09/xmldsig#'>\n"
        "   <!ENTITY % p ''>\n   <!ENTITY % s ''>\n  ]>\n"
        "<schema targetNamespace='&dsig;'><note>in &dsig; &amp; <b>x</b></note></schema>");
    EXPECT_EQ(signature.readElementStart("schema").find("targetNamespace")->getValue(),
              "http://www.w3.org/2000/09/xmldsig#");
    signature.readElementStart("note");
    EXPECT_EQ(signature.readElementValue(), "in http://www.w3.org/2000/09/xmldsig# & ");
}

// A refused start, end or skip names what was found and consumes nothing;
// an end passes over unread content after checking the name.
TEST(KxXmlReaderStructure, WrongStartEndOrSkipThrowsAndEndPassesOverUnreadContent) {
    KxXmlReader reader("<r>\n<a>text<b><c/><d>t<e/></d></b><b/>more</a><z/>\n  <first/>\n</r>");
    EXPECT_EQ(messageOf([&] { reader.readElementEnd("r"); }),
              "expected </r> but no element is open");
    reader.readElementStart("r");
    EXPECT_EQ(messageOf([&] { reader.readElementStart("second"); }),
              "expected <second> but found <a> at line 2");
    reader.readElementStart("a");
    EXPECT_EQ(messageOf([&] { reader.readElementEnd("r"); }),
              "expected </r> but the open element is <a>, begun at line 2");
    EXPECT_EQ(reader.readElementValue(), "text");  // nothing consumed by the refusals
    reader.readElementEnd("a");
    EXPECT_EQ(reader.getLastNodeType(), KxXmlReader::ElementEnd);
    EXPECT_TRUE(reader.isElementNext("z"));
    reader.skipElement();
    reader.readElementStart("first");
    EXPECT_EQ(messageOf([&] { reader.readElementStart("second"); }),
              "expected <second> but found </first>, the end of the element begun at line 3");
    EXPECT_EQ(reader.getLastNodeType(), KxXmlReader::ElementEnd);
    reader.readElementEnd("first");
    reader.readElementEnd("r");
    EXPECT_EQ(messageOf([&] { reader.readElementStart("r"); }),
              "expected <r> but found the end of the document");

    // Skip passes over one element and refuses an end tag.
    KxXmlReader skipping("<r><a><b>x</b><b/></a>text<c/></r>");
    skipping.readElementStart("r");
    skipping.skipElement();
    EXPECT_TRUE(skipping.isElementNext("c"));
    skipping.skipElement();
    EXPECT_EQ(messageOf([&] { skipping.skipElement(); }),
              "expected an element to pass over but found </r>, the end of the element begun "
              "at line 1");
    skipping.readElementEnd("r");
    skipping.skipElement();  // at the end of the document: nothing to do
    EXPECT_TRUE(skipping.eof());
}

TEST(KxXmlReaderAttributes, ComeInDocumentOrderWithoutNamespaceDeclarations) {
    KxXmlReader reader(
        "<p:r xmlns:p=\"urn:x\" xmlns=\"urn:d\"><p:item z=\"1\" p:id=\"7\" a=\"\"/><plain/></p:r>");
    EXPECT_TRUE(reader.readElementStart("r").empty());
    KxXmlAttributeSet item = reader.readElementStart("item");
    std::vector<std::string> names;
    for (const KxXmlAttribute& attribute : item) {
        names.push_back(attribute.getName().getName() + "=" + attribute.getValue());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"z=1", "id=7", "a="}));
    EXPECT_EQ(item.find("missing"), nullptr);
    reader.readElementEnd("item");
    EXPECT_EQ(reader.getLastAttributes().size(), 3u);  // until the next start
    EXPECT_TRUE(reader.readElementStart("plain").empty());
    EXPECT_TRUE(reader.getLastAttributes().empty());
}

// Each attribute value: in the document, with references replaced, and as
// written; the setting applies to a start already looked at.
TEST(KxXmlReaderAttributes, ReferencesAreReplacedByDefaultAndKeptAsWrittenOnRequest) {
    const char* const cases[][3] = {
        {"a&amp;b&lt;c&gt;d", "a&b<c>d", "a&amp;b&lt;c>d"},
        {"&#65;&#x42;&quot;q&apos;", "AB\"q'", "AB\"q'"},
        {"l1&#10;l2&#9;", "l1\nl2\t", "l1&#10;l2&#9;"},
        {"l1\nl2", "l1 l2", "l1 l2"},
        {"&amp; &#38;", "& &", "&amp; &amp;"},
    };
    for (const auto& [inDocument, expanded, asWritten] : cases) {
        for (const bool expand : {true, false}) {
            KxXmlReader reader("<!DOCTYPE r>\n<r><v v=\"" + std::string(inDocument) + "\"/></r>");
            reader.setExpandAttributeReference(!expand);
            reader.readElementStart("r");
            ASSERT_TRUE(reader.isElementNext("v"));
            reader.setExpandAttributeReference(expand);
            // The set is kept: find() points into it.
            const KxXmlAttributeSet attributes = reader.readElementStart("v");
            const KxXmlAttribute* value = attributes.find("v");
            ASSERT_NE(value, nullptr) << inDocument;
            EXPECT_EQ(value->getValue(), expand ? expanded : asWritten) << inDocument;
        }
    }
}

}  // namespace
