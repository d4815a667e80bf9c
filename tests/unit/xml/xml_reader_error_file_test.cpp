// The reader driven the way the error-file reader drives it: the file's
// records wrapped in <errors>, read with isElementNext / readElementStart /
// readElementValue / readElementEnd, and skipElement for what it does not know.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/xml/KxXmlReader.h"

namespace {

// An optional child holding only text, as "<text>" or "~" when absent.
std::string optionalText(KxXmlReader& reader, const char* name) {
    if (!reader.isElementNext(name)) {
        return "~";
    }
    reader.readElementStart(name);
    std::string value = reader.readElementValue();
    reader.readElementEnd(name);
    return "<" + value + ">";
}

// One record on one line: kind, message, then line, column, publicId and
// systemId when it has a location.
std::string readRecord(KxXmlReader& reader, const char* kind) {
    reader.readElementStart(kind);
    std::string record = std::string(kind) + " " + optionalText(reader, "message");
    if (reader.isElementNext("location")) {
        reader.readElementStart("location");
        for (const char* name : {"line", "column"}) {
            const KxXmlAttribute* attribute = reader.getLastAttributes().find(name);
            record += " " + (attribute == nullptr ? "~" : attribute->getValue());
        }
        record += " " + optionalText(reader, "publicId");
        record += " " + optionalText(reader, "systemId");
        reader.readElementEnd("location");
    }
    reader.readElementEnd(kind);
    return record;
}

// The error-file reader's loop. Records are appended as they are read, so a
// fault part way leaves the ones before it in place.
void readErrorFile(KxXmlReader& reader, std::vector<std::string>& records, int& skipped) {
    reader.setExpandAttributeReference(true);
    reader.readElementStart("errors");
    for (int step = 0;; ++step) {
        if (step > 1000) {
            ADD_FAILURE() << "the reader makes no progress";
            return;
        }
        reader.isElementNext("errors");
        if (reader.getLastNodeType() == KxXmlReader::ElementEnd) {
            break;
        }
        if (reader.isElementNext("Error")) {
            records.push_back(readRecord(reader, "Error"));
        } else if (reader.isElementNext("Warning")) {
            records.push_back(readRecord(reader, "Warning"));
        } else {
            reader.skipElement();
            ++skipped;
        }
        if (reader.eof()) {
            break;
        }
    }
    reader.readElementEnd("errors");
}

class ErrorFile : public testing::Test {
  protected:
    std::vector<std::string> read(const std::string& fileText) {
        KxXmlReader reader("<errors>" + fileText + "</errors>");
        std::vector<std::string> records;
        readErrorFile(reader, records, skipped_);
        EXPECT_TRUE(reader.eof());
        return records;
    }

    int skipped_ = 0;
};

TEST_F(ErrorFile, RecordsComeInOrderWithTheirValuesAndAttributes) {
    const std::string file =
        "<?note from the generator?>\n"
        "<Error><message>Part a.wsdl is missing</message><location line=\"12\" column=\"7\">"
        "<publicId>a.wsdl</publicId><systemId>b.wsdl</systemId></location></Error>\n"
        "  <!-- a comment between records -->\n"
        "<Warning>\n  <message>unused &amp; odd &#65;</message>\n"
        "  <location line=\"3\" column=\"1\">\n    <publicId>c.wsdl</publicId>\n"
        "    <systemId></systemId>\n  </location>\n</Warning>\n"
        "<Error><message>second</message>"
        "<location column=\"2\" line=\"40\"><systemId>d.wsdl</systemId></location></Error>\n";
    EXPECT_EQ(read(file), (std::vector<std::string>{
                              "Error <Part a.wsdl is missing> 12 7 <a.wsdl> <b.wsdl>",
                              "Warning <unused & odd A> 3 1 <c.wsdl> <>",
                              "Error <second> 40 2 ~ <d.wsdl>",
                          }));
    EXPECT_EQ(skipped_, 0);
}

TEST_F(ErrorFile, SelfClosingElementsReadLikeEmptyOnes) {
    const std::string file =
        "<Error><message/><location line=\"1\" column=\"2\"/></Error>"
        "<Warning><message></message><location line=\"5\"><publicId/></location></Warning>"
        "<Error/>";
    EXPECT_EQ(read(file), (std::vector<std::string>{
                              "Error <> 1 2 ~ ~",
                              "Warning <> 5 ~ <> ~",
                              "Error ~",
                          }));
}

TEST_F(ErrorFile, UnknownElementsArePassedOverWithEverythingInside) {
    const std::string file =
        "<Info code=\"1\"><detail><x/>text<y><message>not a record</message></y></detail></Info>\n"
        "<Error><message>kept</message></Error>\n<Other/>\n"
        "<Warning><message>also kept</message><extra><message>inner</message></extra></Warning>\n"
        "<Info>  </Info>\n";
    EXPECT_EQ(read(file), (std::vector<std::string>{"Error <kept>", "Warning <also kept>"}));
    EXPECT_EQ(skipped_, 3);
}

TEST_F(ErrorFile, AnEmptyFileHasNoRecords) {
    EXPECT_TRUE(read("").empty());
    EXPECT_TRUE(read("\n  \n<!-- nothing -->\n").empty());
}

TEST(ErrorFileSteps, MissingChildrenConsumeNothingAndTheClosingTagIsAnElementEnd) {
    KxXmlReader reader(
        "<errors><Error>\n  <location line=\"5\" column=\"6\"/>\n</Error>\n</errors>");
    reader.readElementStart("errors");
    reader.readElementStart("Error");
    EXPECT_FALSE(reader.isElementNext("message"));
    EXPECT_FALSE(reader.isElementNext("message"));
    EXPECT_EQ(reader.getLastNodeType(), KxXmlReader::ElementStart);
    EXPECT_EQ(reader.readElementStart("location").size(), 2u);
    EXPECT_FALSE(reader.isElementNext("publicId"));
    EXPECT_EQ(reader.getLastNodeType(), KxXmlReader::ElementEnd);
    reader.readElementEnd("location");
    reader.readElementEnd("Error");

    EXPECT_FALSE(reader.isElementNext("errors"));
    EXPECT_EQ(static_cast<int>(reader.getLastNodeType()), 1);
    EXPECT_FALSE(reader.eof());
    reader.readElementEnd("errors");
    EXPECT_TRUE(reader.eof());
    EXPECT_EQ(reader.getLastNodeType(), KxXmlReader::EndOfDocument);
}

// The second record cut off at various points, the file still wrapped.
struct TruncationCase {
    const char* name;
    const char* cutRecord;
    const char* libxmlMessage;

    friend void PrintTo(const TruncationCase& value, std::ostream* out) { *out << value.name; }
};

class TruncatedErrorFile : public testing::TestWithParam<TruncationCase> {};

std::string faultOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const KxXmlException& fault) {
        return fault.why();
    }
    return "(no fault)";
}

TEST_P(TruncatedErrorFile, TheFirstRecordReadsThenLibxmlReportsTheFault) {
    KxXmlReader reader(
        "<errors><Error><message>first &amp; complete</message>"
        "<location line=\"9\" column=\"4\"><publicId>a.wsdl</publicId><systemId/></location>"
        "</Error>\n" +
        std::string(GetParam().cutRecord) + "</errors>");
    std::vector<std::string> records;
    int skipped = 0;
    const std::string message = faultOf([&] { readErrorFile(reader, records, skipped); });
    EXPECT_EQ(records, std::vector<std::string>{"Error <first & complete> 9 4 <a.wsdl> <>"});
    EXPECT_EQ(message, GetParam().libxmlMessage);

    // Nothing more comes out of a failed reader, and every read repeats the fault.
    EXPECT_TRUE(reader.eof());
    EXPECT_FALSE(reader.isElementNext("Error"));
    EXPECT_EQ(reader.getLastNodeType(), KxXmlReader::EndOfDocument);
    EXPECT_EQ(faultOf([&] { reader.readElementStart("Error"); }), message);
    EXPECT_EQ(faultOf([&] { reader.readElementValue(); }), message);
    EXPECT_EQ(faultOf([&] { reader.readElementEnd("errors"); }), message);
    EXPECT_EQ(faultOf([&] { reader.skipElement(); }), message);
}

INSTANTIATE_TEST_SUITE_P(
    CutPoints, TruncatedErrorFile,
    testing::Values(
        TruncationCase{"InsideText", "<Error><message>cut o",
                       "line 2: Opening and ending tag mismatch: message line 2 and errors"},
        TruncationCase{"AfterAChild", "<Error><message>whole</message>",
                       "line 2: Opening and ending tag mismatch: Error line 2 and errors"},
        TruncationCase{"InsideAStartTag", "<Error><message>x</message><location line=\"3",
                       "line 2: Unescaped '<' not allowed in attributes values"},
        TruncationCase{"InsideAnEndTag", "<Error><message>x</mess", "line 2: expected '>'"}),
    [](const testing::TestParamInfo<TruncationCase>& info) { return info.param.name; });

}  // namespace
