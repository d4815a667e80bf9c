// Malformed documents: the reader raises libxml2's own message where it meets
// it, yields nothing afterwards, and never writes to standard error.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/xml/KxXmlReader.h"

namespace {

// Walks the whole document and returns the fault met on the way.
std::string faultWhileReading(KxXmlReader& reader) {
    try {
        for (int step = 0; step < 1000 && !reader.eof(); ++step) {
            reader.skipElement();
        }
        reader.skipElement();  // raises a fault that eof() met
    } catch (const KxXmlException& fault) {
        return fault.why();
    }
    return "(no fault)";
}

// One entity of 40 KB referenced 4000 times: 160 MB of text from 160 KB.
std::string quadraticBlowup() {
    std::string refs;
    for (int i = 0; i < 4000; ++i) {
        refs += "&big;";
    }
    return "<!DOCTYPE r [\n  <!ENTITY big \"" + std::string(40000, 'x') + "\">\n]>\n<r>" + refs +
           "</r>";
}

// Ten entities, each ten references to the one before.
std::string billionLaughs() {
    std::string declarations = "  <!ENTITY l0 'lol'>\n";
    for (int level = 1; level < 10; ++level) {
        std::string text;
        for (int i = 0; i < 10; ++i) {
            text += "&l" + std::to_string(level - 1) + ";";
        }
        declarations += "<!ENTITY l" + std::to_string(level) + " '" + text + "'>";
        declarations += level == 5 ? "\n" : "";
    }
    return "<!DOCTYPE r [\n" + declarations + "\n]>\n<r>\n&l1;&l2;&l3;&l4;\n\n\n&l5;&l9;</r>";
}

struct MalformedCase {
    const char* name;
    std::string document;
    std::string libxmlMessage;

    friend void PrintTo(const MalformedCase& value, std::ostream* out) { *out << value.name; }
};

class MalformedDocument : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedDocument, RaisesTheFirstLibxmlMessageAndThenYieldsNothing) {
    KxXmlReader reader(GetParam().document);
    EXPECT_EQ(faultWhileReading(reader), GetParam().libxmlMessage);
    EXPECT_TRUE(reader.eof());
    EXPECT_FALSE(reader.isElementNext("r"));
    EXPECT_EQ(reader.getLastNodeType(), KxXmlReader::EndOfDocument);
    EXPECT_EQ(faultWhileReading(reader), GetParam().libxmlMessage);
}

const std::vector<MalformedCase> kMalformed = {
    MalformedCase{"MismatchedTag", "<r>\n<a>\n</b>\n</r>",
                  "line 3: Opening and ending tag mismatch: a line 2 and b"},
    // libxml2 reports three errors here; the first one is kept.
    MalformedCase{"UnquotedAttribute", "<r a=1/>", "line 1: AttValue: \" or ' expected"},
    MalformedCase{"DuplicateAttribute", "<r a='1' a='2'/>", "line 1: Attribute a redefined"},
    MalformedCase{"UndefinedEntity", "<r>&undefined;</r>",
                  "line 1: Entity 'undefined' not defined"},
    MalformedCase{"InvalidCharacterReference", "<r>&#0;</r>",
                  "line 1: xmlParseCharRef: invalid xmlChar value 0"},
    MalformedCase{"NotUtf8", "<r>\xff\xfe</r>",
                  "line 1: Input is not proper UTF-8, indicate encoding ! "
                  "Bytes: 0xFF 0xFE 0x3C 0x2F"},
    MalformedCase{"UnsupportedEncoding", "<?xml version=\"1.0\" encoding=\"bogus-enc\"?><r/>",
                  "line 1: Unsupported encoding bogus-enc"},
    // Faults of the encoding layer reach the reader, not standard error.
    // UTF-16LE with a byte-order mark: <r>, a lone high surrogate, </r>.
    MalformedCase{"Utf16LoneSurrogate", std::string("\xFF\xFE<\0r\0>\0\0\xD8<\0/\0r\0>\0", 18),
                  "line 1: input conversion failed due to input error, bytes 0x00 0xD8 0x3C "
                  "0x00"},
    MalformedCase{"ShiftJisBadByte", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><r>\x81</r>",
                  "line 1: input conversion failed due to input error, bytes 0x81 0x3C 0x2F "
                  "0x72"},
    MalformedCase{"UndeclaredPrefix", "<p:r/>", "line 1: Namespace prefix p on r is not defined"},
    // Entity text past the bound is refused at the reference that passes
    // it, before any is expanded: one large entity used often, nested ones
    // (a billion laughs), and one that refers to itself.
    MalformedCase{"QuadraticBlowup", quadraticBlowup(),
                  "line 4, column 79: the reference to the entity big takes the document's "
                  "entity text past 600430 bytes (10 times the document, at most 1048576 "
                  "bytes); the document is refused"},
    MalformedCase{"BillionLaughs", billionLaughs(),
                  "line 7, column 9: the reference to the entity l3 takes the document's "
                  "entity text past 5700 bytes (10 times the document, at most 1048576 "
                  "bytes); the document is refused"},
    MalformedCase{"SelfReference",
                  "<!DOCTYPE r [\n  <!ENTITY a 'x&b;'>\n  <!ENTITY b '&a;'>\n]>\n<r>&a;</r>",
                  "line 2, column 3: the entity a refers to itself"},
    // External entities would read files: refused at the declaration.
    MalformedCase{"ExternalEntity",
                  "<!DOCTYPE r [\n  <!ENTITY  ext SYSTEM 'file:///etc/passwd'>\n]>\n<r>&ext;</r>",
                  "line 2, column 3: the document declares the external entity ext; external "
                  "entities are not read"},
    MalformedCase{"ExternalParameterEntity",
                  "<!DOCTYPE r [\n<!ENTITY % p SYSTEM 'file:///etc/passwd'> %p;\n]><r/>",
                  "line 2, column 1: the document declares the external entity p; external "
                  "entities are not read"},
    // The external subset is not read, so what it would declare is not there.
    MalformedCase{"DeclaredOnlyOutside", "<!DOCTYPE r SYSTEM 'r.dtd'>\n<r>&outside;</r>",
                  "line 2: Entity 'outside' not defined"},
    MalformedCase{"Truncated", "<r><a>text", "line 1: Extra content at the end of the document"},
    MalformedCase{"Empty", "", "line 1: Extra content at the end of the document"},
    MalformedCase{"TextOnly", "just text", "line 1: Document is empty"}};

INSTANTIATE_TEST_SUITE_P(Faults, MalformedDocument, testing::ValuesIn(kMalformed),
                         [](const testing::TestParamInfo<MalformedCase>& info) {
                             return info.param.name;
                         });

// Records ahead of the broken one, far more than libxml2 is handed at once,
// read normally.
TEST(KxXmlReaderFault, IsRaisedWhereTheReaderMeetsItNotBefore) {
    const std::string longText(20000, 'w');
    std::string document = "<errors>\n<Error><message>" + longText + "</message></Error>\n";
    for (int i = 1; i < 300; ++i) {
        document += "<Error><message>record " + std::to_string(i) + "</message></Error>\n";
    }
    document += "<Error><message>broken</Error>\n</errors>";

    KxXmlReader reader(document);
    reader.readElementStart("errors");
    int read = 0;
    std::string fault = "(no fault)";
    try {
        while (reader.isElementNext("Error")) {
            reader.readElementStart("Error");
            reader.readElementStart("message");
            ASSERT_EQ(reader.readElementValue(),
                      read == 0 ? longText : "record " + std::to_string(read));
            reader.readElementEnd("message");
            reader.readElementEnd("Error");
            ++read;
        }
    } catch (const KxXmlException& exception) {
        fault = exception.why();
    }
    EXPECT_EQ(read, 300);
    EXPECT_EQ(fault, "line 302: Opening and ending tag mismatch: message line 302 and Error");
}

std::string tagWithAttributes(const std::string& name, int count) {
    std::string tag = "<" + name;
    for (int i = 0; i < count; ++i) {
        tag += " a" + std::to_string(i) + "='v'";
    }
    return tag + "/>";
}

// A start tag with more attributes than any real document has is refused
// before libxml2 parses it (its check of them is quadratic), where the reader
// meets it; the records before it read normally. Equals signs in comments,
// CDATA, declarations and quoted values are no attributes.
TEST(KxXmlReaderFault, AStartTagWithTooManyAttributesIsRefusedWhereItIsMet) {
    const std::string noise = "<!-- " + std::string(3000, '=') + " -->" + "<![CDATA[" +
                              std::string(3000, '=') + "]]><?pi " + std::string(3000, '=') + "?>";
    const std::string document = "<?xml version='1.0'?>\n<!DOCTYPE errors [<!ATTLIST x y CDATA '" +
                                 std::string(3000, '=') + "'>]>\n<errors>" + noise + "\n" +
                                 tagWithAttributes("Error", 1000) + "\n  " +
                                 tagWithAttributes("Error", 200000) + "\n</errors>";
    KxXmlReader reader(document);
    reader.readElementStart("errors");
    reader.readElementStart("Error");
    EXPECT_EQ(reader.getLastAttributes().size(), 1000u);
    reader.readElementEnd("Error");
    EXPECT_EQ(faultWhileReading(reader),
              "line 5, column 3: the element <Error> has more than 1000 attributes");
}

// Consuming <a/> reads nothing from libxml2: only the look ahead meets the entity.
TEST(KxXmlReaderFault, MetByIsElementNextIsRaisedThereAndMetByEofByTheNextRead) {
    KxXmlReader reader("<r><a/><a/><a/><a/>&nope;</r>");
    reader.readElementStart("r");
    int read = 0;
    try {
        while (reader.isElementNext("a")) {
            reader.readElementStart("a");
            reader.readElementEnd("a");
            ++read;
        }
        ADD_FAILURE() << "no fault";
    } catch (const KxXmlException& exception) {
        EXPECT_EQ(exception.why(), "line 1: Entity 'nope' not defined");
    }
    EXPECT_GE(read, 3);
    EXPECT_FALSE(reader.isElementNext("a"));

    KxXmlReader other("<r></x>");
    EXPECT_TRUE(other.eof());
    EXPECT_THROW(other.readElementStart("r"), KxXmlException);
}

// Documents libxml2 reports errors for, and a warning (a relative namespace) that must not stop.
void readFaultyDocuments() {
    for (const MalformedCase& malformed : kMalformed) {
        KxXmlReader reader(malformed.document);
        EXPECT_NE(faultWhileReading(reader), "(no fault)");
    }
    KxXmlReader warned("<r xmlns=\"relative\"><a>v</a></r>");
    EXPECT_EQ(faultWhileReading(warned), "(no fault)");
}

// On this thread, on another thread for a reader made here, and on several at once.
TEST(KxXmlReaderSilence, NothingIsWrittenToStandardErrorFromAnyThread) {
    KxXmlReader handedOver("<r><a></b></r>");
    testing::internal::CaptureStderr();
    readFaultyDocuments();
    std::string handedOverFault;
    std::thread([&] { handedOverFault = faultWhileReading(handedOver); }).join();
    std::thread threads[] = {std::thread(readFaultyDocuments), std::thread(readFaultyDocuments),
                             std::thread(readFaultyDocuments), std::thread(readFaultyDocuments)};
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(handedOverFault, "line 1: Opening and ending tag mismatch: a line 1 and b");
}

}  // namespace
