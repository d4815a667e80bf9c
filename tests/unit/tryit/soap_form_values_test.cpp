// The form's values: which parameters are form values, their session form,
// what they say about an item, and the buttons that change the repeats.
#include "orvowizard/tryit/KxSoapFormValues.h"

#include <gtest/gtest.h>

#include "ShopDescription.h"
#include "platform/servlet/KxServletRequest.h"

namespace {

using SoapFormValues = ShopService;

TEST(SoapFormValuesOfRequest, KeepOnlyTheFormKeys) {
    KxHttpServletRequest request;
    for (const char* name :
         {"v:0", "n:0.5", "u:0.6", "c:0.7", "x:0.7.1.0", "action", "dir", "z:0", "v:", "vv0"}) {
        request.addParameter(name, std::string("value of ") + name);
    }
    EXPECT_EQ(formValuesOf(request), (KxFormValues{{"v:0", "value of v:0"},
                                                   {"n:0.5", "value of n:0.5"},
                                                   {"u:0.6", "value of u:0.6"},
                                                   {"c:0.7", "value of c:0.7"},
                                                   {"x:0.7.1.0", "value of x:0.7.1.0"}}));
}

TEST(SoapFormValuesInTheSession, KeepAnyTextAndRefuseGarbage) {
    const KxFormValues values{{"v:0", "12:ab3:"}, {"v:1", ""}, {"n:0", "3"}};
    EXPECT_EQ(decodeFormValues(encodeFormValues(values)), values);
    EXPECT_TRUE(decodeFormValues("ab:cd").empty());
    EXPECT_TRUE(decodeFormValues("99:short").empty());
    // What was whole before the garbage is kept.
    EXPECT_EQ(decodeFormValues("3:v:01:a3:v:1"), (KxFormValues{{"v:0", "a"}}));
}

// The fixed value wins over what is given; what is given over the default;
// a required enumeration starts at its first value and a required boolean
// as false, so that what the form shows is what the request sends.
TEST_F(SoapFormValues, SimpleValuesFallBackInOrder) {
    using kx::tryit::simpleValue;
    KxSoapItem item;
    item.type = "int";
    EXPECT_EQ(simpleValue(item, {}, "0"), "");
    EXPECT_EQ(simpleValue(item, {{"v:0", "3"}}, "0"), "3");
    item.defaultValue = "4";
    EXPECT_EQ(simpleValue(item, {}, "0"), "4");
    EXPECT_EQ(simpleValue(item, {{"v:0", ""}}, "0"), "") << "an emptied field stays empty";
    item.fixedValue = "5";
    EXPECT_EQ(simpleValue(item, {{"v:0", "3"}}, "0"), "5");

    const KxSoapItem& size = order->input[0].children[4];  // optional S, M, L
    EXPECT_EQ(simpleValue(size, {}, "0.4"), "");
    KxSoapItem requiredSize = size;
    requiredSize.min = 1;
    EXPECT_EQ(simpleValue(requiredSize, {}, "0.4"), "S");
    const KxSoapItem& express = order->input[0].children[3];  // a required boolean
    EXPECT_EQ(simpleValue(express, {}, "0.3"), "false");
}

TEST_F(SoapFormValues, RepeatsIncludesAndChoicesReadTheirKeys) {
    using kx::tryit::chosen;
    using kx::tryit::included;
    using kx::tryit::occurrences;
    const KxSoapItem& item = order->input[0].children[5];  // 1 to unbounded
    EXPECT_EQ(occurrences(item, {}, "0.5"), 1u);
    EXPECT_EQ(occurrences(item, {{"n:0.5", "3"}}, "0.5"), 3u);
    EXPECT_EQ(occurrences(item, {{"n:0.5", "0"}}, "0.5"), 1u) << "never below the minimum";
    EXPECT_EQ(occurrences(item, {{"n:0.5", "100000"}}, "0.5"), kx::tryit::kMaxOccurrences);
    EXPECT_EQ(occurrences(item, {{"n:0.5", "many"}}, "0.5"), 1u);

    const KxSoapItem& note = order->input[0].children[6];  // optional, single
    EXPECT_FALSE(included(note, {}, "0.6"));
    EXPECT_FALSE(included(note, {{"u:0.6", "off"}}, "0.6"));
    EXPECT_TRUE(included(note, {{"u:0.6", "on"}}, "0.6"));
    EXPECT_TRUE(included(item, {}, "0.5")) << "a repeated element has no include box";

    const KxSoapItem& choice = order->input[0].children[7];  // required: card or invoice
    EXPECT_EQ(chosen(choice, {}, "0.7"), 0u);
    EXPECT_EQ(chosen(choice, {{"c:0.7", "invoice"}}, "0.7"), 1u);
    EXPECT_EQ(chosen(choice, {{"c:0.7", "cash"}}, "0.7"), std::nullopt);
    KxSoapItem optionalChoice = choice;
    optionalChoice.min = 0;
    EXPECT_EQ(chosen(optionalChoice, {}, "0.7"), std::nullopt);
}

TEST_F(SoapFormValues, ButtonsChangeTheRepeatsWithinTheirBounds) {
    KxFormValues values;
    EXPECT_TRUE(applyFormAction(*order, values, "add:0.5"));
    EXPECT_EQ(values["n:0.5"], "2");
    EXPECT_TRUE(applyFormAction(*order, values, "remove:0.5#1"));
    EXPECT_EQ(values["n:0.5"], "1");
    // At its minimum the button is taken but changes nothing.
    EXPECT_TRUE(applyFormAction(*order, values, "remove:0.5#0"));
    EXPECT_EQ(values["n:0.5"], "1");
    values["n:0.5"] = std::to_string(kx::tryit::kMaxOccurrences);
    EXPECT_TRUE(applyFormAction(*order, values, "add:0.5"));
    EXPECT_EQ(values["n:0.5"], std::to_string(kx::tryit::kMaxOccurrences));
    // Only repeated items have buttons; a path out of the tree is refused.
    EXPECT_FALSE(applyFormAction(*order, values, "add:0.2"));
    EXPECT_FALSE(applyFormAction(*order, values, "add:0.99"));
    EXPECT_FALSE(applyFormAction(*order, values, "add:"));
    EXPECT_FALSE(applyFormAction(*order, values, "add:x"));
    EXPECT_FALSE(applyFormAction(*order, values, "send"));
}

}  // namespace
