#include "platform/base/KxTRegex.h"

#include <gtest/gtest.h>

namespace {

TEST(KxTRegex, SearchFindsTheExpressionAnywhereInTheGivenRange) {
    const KxTRegex<char> wsdl(".*\\.wsdl");
    EXPECT_TRUE(wsdl.search("stock.wsdl"));
    EXPECT_TRUE(wsdl.search("stock.wsdl.bak"));  // no anchors
    EXPECT_FALSE(wsdl.search("stock.WSDL"));     // case-sensitive
    EXPECT_FALSE(wsdl.search("stockxwsdl"));
    // Only the range given is searched.
    const KxTRegex<char> digits("[0-9]+");
    EXPECT_TRUE(digits.search("ab12"));
    EXPECT_FALSE(digits.search("ab12", 0, 2));
    EXPECT_TRUE(digits.search("ab12", 3));
    EXPECT_FALSE(digits.search("ab12", 9));
    // Nested repetition, exponential for a backtracking engine, runs in linear time.
    EXPECT_FALSE(KxTRegex<char>("(a+)+$").search(KxCString(5000, 'a') + "!"));
}

TEST(KxTRegex, AnInvalidExpressionThrowsWithTheEnginesMessageAndPrintsNothing) {
    testing::internal::CaptureStderr();
    try {
        KxTRegex<char> broken("a[b");
        FAIL() << "an unbalanced bracket must be refused";
    } catch (const Kxxmsg& error) {
        EXPECT_NE(error.why().find("a[b"), KxCString::npos) << error.why();
        EXPECT_NE(error.why().find("missing ]"), KxCString::npos) << error.why();
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(KxTRegex, AnExpressionTooBigToCompileIsRefusedLikeAnInvalidOne) {
    // Hundreds of Unicode letter classes would take megabytes each time typed.
    EXPECT_THROW(KxTRegex<char>("\\pL{300}"), KxRegexError);
    EXPECT_THROW(KxTRegex<char>("(\\pL{30}){30}"), KxRegexError);
    const KxTRegex<char> wide(".{1000}");
    EXPECT_TRUE(wide.search(KxCString(1000, 'x')));
    EXPECT_FALSE(wide.search(KxCString(999, 'x')));
    EXPECT_TRUE(KxTRegex<char>("\\pL{20}").search("abcdefghijklmnopqrst"));
}

}  // namespace
