#include "orvowizard/common/KxErrorFileReader.h"
#include "orvowizard/common/KxFileUtilities.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/ScratchDir.h"

namespace {

class ErrorFileReaderTest : public testing::Test {
  protected:
    // Reads dir's errors.xml into a fresh context and returns the records it
    // put as "errors", as a template would see them.
    std::vector<KxContextObject> read(const std::string& content) {
        dir.write("errors.xml", content);
        return readIntoContext();
    }

    std::vector<KxContextObject> readIntoContext() {
        context = std::make_unique<KxContext>();
        readErrorFile(dir.str(), *context);
        std::vector<KxContextObject> records;
        for (auto e = context->get("errors").getAsEnumeration(); e.hasMoreElements();) {
            records.push_back(e.nextElement());
        }
        return records;
    }

    static KxCString text(const KxContextObject& record, const char* name) {
        return record.getAttribute(name).toString();
    }

    ScratchDir dir;
    std::unique_ptr<KxContext> context;
};

TEST_F(ErrorFileReaderTest, MissingOrEmptyFilePutsNoEntryAndWhiteSpaceAnEmptyList) {
    EXPECT_TRUE(readIntoContext().empty());
    EXPECT_FALSE(context->get("errors").isValid());
    read("");
    EXPECT_FALSE(context->get("errors").isValid());
    EXPECT_TRUE(read(" \n\t\n").empty());
    ASSERT_TRUE(context->get("errors").isValid());
    EXPECT_EQ(context->get("errors").invokeMethod("entries", {}).toLong(), 0);
}

TEST_F(ErrorFileReaderTest, LocationGivesLineColumnAndTheBestFileName) {
    const auto records = read(
        "<Error><message>m1</message><location line=\"12\" column=\"7\">"
        "<publicId>public.wsdl</publicId><systemId>C:\\wsdl\\stock.wsdl</systemId>"
        "</location></Error>"
        "<Warning><message>m2</message><location line=\"3\" column=\"1\">"
        "<publicId>public.wsdl</publicId><systemId></systemId></location></Warning>"
        "<Warning><location line=\"forty\" column=\" 9x\"/></Warning>"
        "<Warning><location column=\"2\"><systemId/></location></Warning>");
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].getAttribute("line").toLong(), 12);
    EXPECT_EQ(records[0].getAttribute("column").toLong(), 7);
    EXPECT_EQ(text(records[0], "file"), "C:\\wsdl\\stock.wsdl");
    EXPECT_EQ(text(records[1], "file"), "public.wsdl");
    EXPECT_EQ(records[2].getAttribute("line").toLong(), 0);  // a word has no digits
    EXPECT_EQ(records[2].getAttribute("column").toLong(), 9);
    EXPECT_EQ(text(records[2], "message"), "");
    EXPECT_EQ(records[3].getAttribute("line").toLong(), -1);  // no line attribute
    EXPECT_EQ(records[3].getAttribute("column").toLong(), 2);
}

TEST_F(ErrorFileReaderTest, OtherElementsArePassedOverAndReferencesDecoded) {
    const auto records = read(
        "<!-- svcgen 1.0 -->\n<Summary count=\"2\"><x/></Summary>\n"
        "<Error><message>a &lt; b &amp;&#65;</message><extra/></Error>\n"
        "<Info><detail>text<y><message>not a record</message></y></detail></Info>\n"
        "<Note/>\n<Warning><message>w</message><extra><message>inner</message></extra></Warning>\n"
        "<Error/><Warning><message/><location line=\"5\"><publicId/></location></Warning>");
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(text(records[0], "message"), "a < b &A");
    EXPECT_EQ(text(records[0], "isError"), "true");
    EXPECT_EQ(text(records[1], "message"), "w");
    EXPECT_EQ(text(records[1], "isError"), "false");
    EXPECT_EQ(text(records[2], "isError"), "true");
    EXPECT_EQ(text(records[3], "message"), "");
    EXPECT_EQ(records[3].getAttribute("line").toLong(), 5);
}

// Only the first kMaxErrorFileBytes are read; one byte more and the list ends
// with a warning that the rest is not shown.
TEST_F(ErrorFileReaderTest, AFileOverTheLimitIsCutWithANotice) {
    const std::string record = "<Error><message>first</message></Error>";
    const std::string atLimit = record + std::string(kMaxErrorFileBytes - record.size(), ' ');
    auto records = read(atLimit);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(text(records[0], "message"), "first");

    records = read(atLimit + " ");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(text(records[0], "message"), "first");
    EXPECT_EQ(text(records[1], "isError"), "false");
    EXPECT_EQ(text(records[1], "file"), "errors.xml");
    EXPECT_NE(text(records[1], "message").find("larger than 4 MB"), std::string::npos);
}

TEST_F(ErrorFileReaderTest, TruncatedFileKeepsTheRecordsBeforeTheFault) {
    testing::internal::CaptureStdout();
    const auto records = read(
        "<Error><message>complete</message><location line=\"1\" column=\"2\"/></Error>\n"
        "<Warning><message>cut off in the mid");
    const std::string out = testing::internal::GetCapturedStdout();

    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(text(records[0], "message"), "complete");
    const std::string prefix = "Exception was thrown while reading error file: ";
    ASSERT_EQ(out.rfind(prefix, 0), 0u) << out;
    EXPECT_GT(out.size(), prefix.size() + 1) << "the reader's message follows";
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
}

}  // namespace
