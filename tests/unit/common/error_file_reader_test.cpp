#include "orvowizard/common/KxErrorFileReader.h"
#include "orvowizard/common/KxFileUtilities.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/ScratchDir.h"

namespace {

class ErrorFileReaderTest : public testing::Test {
  protected:
    // Reads dir's errors.xml (written first unless null) into a fresh context
    // and returns its "errors" records as "E|message|file|line|column".
    std::vector<std::string> read(const char* content) {
        if (content != nullptr) {
            dir.write("errors.xml", content);
        }
        context = std::make_unique<KxContext>();
        readErrorFile(dir.str(), *context);
        std::vector<std::string> records;
        for (auto e = context->get("errors").getAsEnumeration(); e.hasMoreElements();) {
            const KxContextObject r = e.nextElement();
            records.push_back((r.getAttribute("isError").toString() == "true" ? "E|" : "W|") +
                              r.getAttribute("message").toString() + "|" +
                              r.getAttribute("file").toString() + "|" +
                              std::to_string(r.getAttribute("line").toLong()) + "|" +
                              std::to_string(r.getAttribute("column").toLong()));
        }
        return records;
    }

    ScratchDir dir;
    std::unique_ptr<KxContext> context;
};

using Records = std::vector<std::string>;

TEST_F(ErrorFileReaderTest, MissingOrEmptyFilePutsNoEntryAndWhiteSpaceAnEmptyList) {
    EXPECT_TRUE(read(nullptr).empty());
    EXPECT_FALSE(context->get("errors").isValid());
    read("");
    EXPECT_FALSE(context->get("errors").isValid());
    EXPECT_TRUE(read(" \n\t\n").empty());
    ASSERT_TRUE(context->get("errors").isValid());
    EXPECT_EQ(context->get("errors").invokeMethod("entries", {}).toLong(), 0);
}

// The location's line and column, and the system id before the public id.
TEST_F(ErrorFileReaderTest, LocationGivesLineColumnAndTheBestFileName) {
    EXPECT_EQ(
        read("<Error><message>m1</message><location line=\"12\" column=\"7\">"
             "<publicId>public.wsdl</publicId><systemId>C:\\wsdl\\stock.wsdl</systemId>"
             "</location></Error>"
             "<Warning><message>m2</message><location line=\"3\" column=\"1\">"
             "<publicId>public.wsdl</publicId><systemId></systemId></location></Warning>"
             "<Warning><location line=\"forty\" column=\" 9x\"/></Warning>"
             "<Warning><location column=\"2\"><systemId/></location></Warning>"),
        (Records{"E|m1|C:\\wsdl\\stock.wsdl|12|7", "W|m2|public.wsdl|3|1", "W|||0|9", "W|||-1|2"}));
}

TEST_F(ErrorFileReaderTest, OtherElementsArePassedOverAndReferencesDecoded) {
    EXPECT_EQ(
        read("<!-- svcgen 1.0 -->\n<Summary count=\"2\"><x/></Summary>\n"
             "<Error><message>a &lt; b &amp;&#65;</message><extra/></Error>\n"
             "<Info><detail>text<y><message>not a record</message></y></detail></Info>\n"
             "<Note/>\n<Warning><message>w</message><extra><message>inner</message></extra>"
             "</Warning>\n<Error/><Warning><message/><location line=\"5\"><publicId/></location>"
             "</Warning>"),
        (Records{"E|a < b &A||-1|-1", "W|w||-1|-1", "E|||-1|-1", "W|||5|-1"}));
}

// Only the first kMaxErrorFileBytes are read; one byte more and the list ends
// with a warning that the rest is not shown.
TEST_F(ErrorFileReaderTest, AFileOverTheLimitIsCutWithANotice) {
    const std::string record = "<Error><message>first</message></Error>";
    const std::string atLimit = record + std::string(kMaxErrorFileBytes - record.size(), ' ');
    EXPECT_EQ(read(atLimit.c_str()), (Records{"E|first||-1|-1"}));
    const Records records = read((atLimit + " ").c_str());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], "E|first||-1|-1");
    EXPECT_TRUE(records[1].starts_with("W|")) << records[1];
    EXPECT_NE(records[1].find("larger than 4 MB"), std::string::npos);
    EXPECT_TRUE(records[1].ends_with("|errors.xml|-1|-1")) << records[1];
}

TEST_F(ErrorFileReaderTest, TruncatedFileKeepsTheRecordsBeforeTheFault) {
    testing::internal::CaptureStdout();
    const Records records = read(
        "<Error><message>complete</message><location line=\"1\" column=\"2\"/></Error>\n"
        "<Warning><message>cut off in the mid");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(records, (Records{"E|complete||1|2"}));
    const std::string prefix = "Exception was thrown while reading error file: ";
    ASSERT_EQ(out.rfind(prefix, 0), 0u) << out;
    EXPECT_GT(out.size(), prefix.size() + 1) << "the reader's message follows";
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
}

}  // namespace
