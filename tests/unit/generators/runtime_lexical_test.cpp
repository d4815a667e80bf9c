// orvolexical.h: decimals, dates, times and durations keep the text they were
// read from, once it is checked.
// orvolexical.h is included first, so that this file also shows it compiles on
// its own.
#include "generators/runtime/orvolexical.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "RuntimeErrors.h"

namespace {

using runtimetest::errorOf;

TEST(Values, DecimalsAndDatesKeepTheirText) {
    EXPECT_EQ(orvo::Decimal(" 1234567890.123456789\n").str(), "1234567890.123456789");
    EXPECT_EQ(orvo::format(orvo::Decimal("-0.50")), "-0.50");
    EXPECT_EQ(orvo::Decimal("+.5").toDouble(), 0.5);
    EXPECT_EQ(orvo::Decimal().str(), "0");
    EXPECT_NE(orvo::Decimal("1.0"), orvo::Decimal("1"));
    for (const char* text : {"1.2.3", "1e5", "", ".", "+", "1,5"}) {
        EXPECT_EQ(errorOf([&] { orvo::Decimal{text}; }).message(),
                  "'" + std::string(text) + "' is not a decimal number");
    }

    // Each text after the letter of the one type that accepts it: T dateTime,
    // D date, t time, P duration, - none.
    std::istringstream cases(
        "T2024-02-29T23:59:59.125Z T-0044-03-15T24:00:00.0+14:00 T12024-01-01T00:00:00-05:30 "
        "-2023-02-29T00:00:00 D2000-02-29 -1900-02-29 -0000-01-01 -02024-01-01 -2024-13-01 "
        "-2024-04-31 -2024-01-01+14:01 t24:00:00 -24:00:00.5 -23:60:00 -12:00:00. "
        "PP1Y2M3DT4H5M6.7S P-PT1S PP1D -P -PT -P1DT -P1M1Y -PT1.S -P1.5D");
    for (std::string c; cases >> c;) {
        const std::string text = c.substr(1);
        const auto accepts = [&](auto make) {
            try {
                make();
                return true;
            } catch (const orvo::XmlError&) {
                return false;
            }
        };
        EXPECT_EQ(accepts([&] { orvo::DateTime{text}; }), c[0] == 'T') << text;
        EXPECT_EQ(accepts([&] { orvo::Date{text}; }), c[0] == 'D') << text;
        EXPECT_EQ(accepts([&] { orvo::Time{text}; }), c[0] == 't') << text;
        EXPECT_EQ(accepts([&] { orvo::Duration{text}; }), c[0] == 'P') << text;
    }
    orvo::Date date;
    EXPECT_EQ(date.str(), "1970-01-01");
    EXPECT_EQ(errorOf([&] { orvo::parse("2024-13-01", date); }).message(),
              "'2024-13-01' is not a date (YYYY-MM-DD)");
    EXPECT_EQ(errorOf([] { orvo::Duration("P"); }).message(),
              "'P' is not a duration (PnYnMnDTnHnMnS)");
    orvo::parse(" 2024-01-02Z ", date);
    EXPECT_EQ(orvo::format(date), "2024-01-02Z");
    EXPECT_EQ(orvo::DateTime().str() + orvo::Time().str() + orvo::Duration().str(),
              "1970-01-01T00:00:0000:00:00PT0S");
}

}  // namespace
