// Reading operations.xml: what the page shows of ports and operations, the
// bounds of items, sample values, and the descriptions that cannot be read.
#include "orvowizard/tryit/KxServiceDescription.h"

#include <gtest/gtest.h>

#include "ShopDescription.h"
#include "support/ScratchDir.h"

namespace {

using ServiceDescription = ShopService;

// The item kinds, bounds and choices are read as the request and rows tests
// use them; here what only the page shows, and the broken descriptions.
TEST_F(ServiceDescription, IsReadWithWhatThePageShows) {
    EXPECT_EQ(port->path, "/shop");
    EXPECT_EQ(order->action, "urn:shop#order");
    EXPECT_EQ(order->documentation, "Places an order.");
    ASSERT_EQ(order->input.size(), 1u);
    EXPECT_EQ(order->input[0].children.size(), 9u);
    EXPECT_EQ(order->input[0].children[1].min, 0u) << "an optional attribute";
    EXPECT_TRUE(port->operation("ping")->oneWay);
    EXPECT_EQ(port->operation("nothing"), nullptr);
    EXPECT_EQ(description.port("nothing"), nullptr);
    EXPECT_EQ(description.port("Shop12")->soapVersion, "1.2");
    EXPECT_NE(parseServiceDescription("<operations><port>", "x.xml").error, "");
    EXPECT_NE(parseServiceDescription("<other/>", "x.xml").error, "");
}

TEST(ServiceDescriptionFile, IsReadFromTheProjectFolderOrSaysWhyNot) {
    ScratchDir dir;
    const KxServiceDescription missing = readServiceDescription(dir.str());
    EXPECT_TRUE(missing.ports.empty());
    EXPECT_NE(missing.error.find("no operations.xml"), std::string::npos) << missing.error;

    dir.write("operations.xml", kShopDescription);
    const KxServiceDescription read = readServiceDescription(dir.str());
    EXPECT_EQ(read.error, "");
    EXPECT_EQ(read.ports.size(), 2u);

    dir.write("operations.xml", "<operations>\n<port></operations>");
    EXPECT_NE(readServiceDescription(dir.str()).error.find("operations.xml: line 2"),
              std::string::npos);
}

struct OccursCase {
    const char* text;
    std::size_t expected;
};

class Occurs : public testing::TestWithParam<OccursCase> {};

TEST_P(Occurs, DigitsOrUnboundedElseTheFallback) {
    EXPECT_EQ(occursOf(GetParam().text, 7), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(ServiceDescription, Occurs,
                         testing::Values(OccursCase{"0", 0}, OccursCase{"12", 12},
                                         OccursCase{"unbounded", KxSoapItem::kUnbounded},
                                         OccursCase{"", 7}, OccursCase{"-1", 7},
                                         OccursCase{"3x", 7}, OccursCase{" 3", 7}));

// The samples fill a test request, so each must be a valid value of its type.
struct SampleCase {
    const char* type;
    const char* fixedValue;
    const char* defaultValue;
    std::vector<std::string> values;
    const char* expected;
};

class Sample : public testing::TestWithParam<SampleCase> {};

TEST_P(Sample, IsAValidValueOfTheType) {
    KxSoapItem item;
    item.type = GetParam().type;
    item.fixedValue = GetParam().fixedValue;
    item.defaultValue = GetParam().defaultValue;
    item.values = GetParam().values;
    EXPECT_EQ(sampleValue(item), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(ServiceDescription, Sample,
                         testing::Values(SampleCase{"int", "5", "6", {"7"}, "5"},
                                         SampleCase{"int", "", "6", {"7"}, "6"},
                                         SampleCase{"string", "", "", {"b", "a"}, "b"},
                                         SampleCase{"boolean", "", "", {}, "true"},
                                         SampleCase{"unsignedShort", "", "", {}, "1"},
                                         SampleCase{"positiveInteger", "", "", {}, "1"},
                                         SampleCase{"long", "", "", {}, "1"},
                                         SampleCase{"negativeInteger", "", "", {}, "-1"},
                                         SampleCase{"string", "", "", {}, "sample"}));

}  // namespace
