// The length limit of a setting, at its edge: a limit one off in either
// direction refuses a value that fits or takes one that does not.
#include "orvowizard/common/KxFieldChecks.h"

#include <gtest/gtest.h>

namespace {

TEST(FieldChecks, ASettingMayBeExactlyAsLongAsTheLimit) {
    EXPECT_EQ(checkSettingText("projectName", KxCString(kMaxSettingLength, 'a')), "");
    EXPECT_EQ(checkSettingText("projectName", KxCString(kMaxSettingLength + 1, 'a')),
              "The setting projectName is longer than 4096 characters");
}

}  // namespace
