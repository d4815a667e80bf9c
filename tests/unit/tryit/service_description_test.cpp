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

TEST(ServiceDescriptionBounds, OccursAreDigitsOrUnboundedElseTheFallback) {
    const std::pair<const char*, std::size_t> cases[] = {
        {"0", 0},  {"12", 12}, {"unbounded", KxSoapItem::kUnbounded}, {"", 7}, {"-1", 7},
        {"3x", 7}, {" 3", 7}};
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(occursOf(text, 7), expected) << text;
    }
}

// The samples fill a test request, so each must be a valid value of its type:
// the fixed value, else the default, else the first enumerated, else one of the type.
TEST(ServiceDescriptionSample, IsAValidValueOfTheType) {
    const struct {
        const char *type, *fixedValue, *defaultValue;
        std::vector<std::string> values;
        const char* expected;
    } cases[] = {{"int", "5", "6", {"7"}, "5"},       {"int", "", "6", {"7"}, "6"},
                 {"string", "", "", {"b", "a"}, "b"}, {"boolean", "", "", {}, "true"},
                 {"unsignedShort", "", "", {}, "1"},  {"positiveInteger", "", "", {}, "1"},
                 {"long", "", "", {}, "1"},           {"negativeInteger", "", "", {}, "-1"},
                 {"string", "", "", {}, "sample"}};
    for (const auto& c : cases) {
        KxSoapItem item;
        item.type = c.type;
        item.fixedValue = c.fixedValue;
        item.defaultValue = c.defaultValue;
        item.values = c.values;
        EXPECT_EQ(sampleValue(item), c.expected) << c.type << " " << c.fixedValue;
    }
}

}  // namespace
