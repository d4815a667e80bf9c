// The form made from an operation's input: its controls, values, groups and
// buttons, and where it is cut.
#include "orvowizard/tryit/KxSoapForm.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "ShopDescription.h"

namespace {

class SoapForm : public ShopService {
  protected:
    // The first row of the path (of the control, when one is named).
    const KxFormRow* find(const std::string& path, const std::string& control = "") const {
        const auto found = std::find_if(rows.begin(), rows.end(), [&](const KxFormRow& row) {
            return row.path == path && (control.empty() || row.control == control);
        });
        return found == rows.end() ? nullptr : &*found;
    }
    std::vector<KxFormRow> rows;
};

TEST_F(SoapForm, RowsShowTheFormAndButtonsChangeTheRepeats) {
    KxFormValues values = complete();
    rows = formRows(*order, values);
    ASSERT_NE(find("0.3"), nullptr);
    EXPECT_EQ(find("0.3")->control, "checkbox");
    EXPECT_TRUE(find("0.3")->checked);
    EXPECT_EQ(find("0.4")->control, "select");
    EXPECT_EQ(find("0.4")->options, (std::vector<std::string>{"", "S", "M", "L"}));
    EXPECT_EQ(find("0.1")->value, "web");
    EXPECT_EQ(find("0.5#0.1")->sample, "1");
    EXPECT_EQ(find("0.2")->sample, "sample");
    EXPECT_EQ(find("0.6", "include")->checked, false);
    // The chosen alternative's fields only; the recursive part as a note.
    EXPECT_NE(find("0.7.0"), nullptr);
    EXPECT_EQ(find("0.7.1"), nullptr);
    EXPECT_EQ(rows.back().kind, KxFormRow::Kind::Close);
    int opens = 0;
    for (const KxFormRow& row : rows) {
        opens += row.kind == KxFormRow::Kind::Open    ? 1
                 : row.kind == KxFormRow::Kind::Close ? -1
                                                      : 0;
        ASSERT_GE(opens, 0);
    }
    EXPECT_EQ(opens, 0);

    // One item, its minimum: nothing to remove; add makes two, and the
    // second can be removed again.
    EXPECT_FALSE(find("0.5#0")->removable);
    EXPECT_TRUE(applyFormAction(*order, values, "add:0.5"));
    EXPECT_EQ(values["n:0.5"], "2");
    rows = formRows(*order, values);
    ASSERT_NE(find("0.5#1"), nullptr);
    EXPECT_TRUE(find("0.5#1")->removable);
}

// The rows of a choice, of the group its chosen alternative opens, and of
// the add button below a repeated item.
TEST_F(SoapForm, ChoicesGroupsAndAddButtonsHaveRowsOfTheirOwn) {
    KxFormValues values = complete();
    values["c:0.7"] = "invoice";
    values["x:0.7.1.0"] = "on";
    values["n:0.5"] = "3";
    rows = formRows(*order, values);
    const KxFormRow* choice = find("0.7", "choice");
    ASSERT_NE(choice, nullptr);
    EXPECT_EQ(choice->kind, KxFormRow::Kind::Open);
    EXPECT_EQ(choice->label, "one of");
    EXPECT_EQ(choice->options, (std::vector<std::string>{"card", "invoice"})) << "required";
    EXPECT_EQ(choice->value, "invoice");
    EXPECT_EQ(find("0.7.0", "text"), nullptr) << "the card is not chosen";
    const KxFormRow* vat = find("0.7.1.0", "text");
    ASSERT_NE(vat, nullptr);
    EXPECT_EQ(vat->depth, 3u);
    const KxFormRow* nil = find("0.7.1.0", "nil");
    ASSERT_NE(nil, nullptr);
    EXPECT_TRUE(nil->checked);

    const auto add = std::find_if(rows.begin(), rows.end(), [](const KxFormRow& row) {
        return row.kind == KxFormRow::Kind::Add;
    });
    ASSERT_NE(add, rows.end());
    EXPECT_EQ(add->path, "0.5");
    EXPECT_EQ(add->value, "3");
    EXPECT_TRUE(add->optional) << "more items may be added";
    EXPECT_EQ(find("0.5#2")->label, "item [3]");
    EXPECT_TRUE(find("0.5#2")->removable);
    EXPECT_FALSE(find("0.5#1")->removable);
}

TEST(SoapFormBounds, NestedRepeatsFromTheFormAreCut) {
    const KxServiceDescription nested = parseServiceDescription(kNestedRepeats, "operations.xml");
    const std::vector<KxFormRow> rows =
        formRows(nested.ports.at(0).operations[0], hundredByHundred());
    EXPECT_LT(rows.size(), 5300u);
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                            [](const KxFormRow& row) { return row.kind == KxFormRow::Kind::Note; }),
              1);
}

}  // namespace
