// orvovalues.h: booleans, integers, floating point and binary data read from
// their lexical forms and written back.
// orvovalues.h is included first, so that this file also shows it compiles on
// its own.
#include "generators/runtime/orvovalues.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "RuntimeErrors.h"

namespace {

using runtimetest::errorOf;

// The value the text stands for, written back, and a space.
template <class T>
std::string reformatted(const std::string& text) {
    T value{};
    orvo::parse(text, value);
    return orvo::format(value) + " ";
}

TEST(Values, BooleansAndIntegers) {
    bool flag = false;
    orvo::parse(" 1\n", flag);
    EXPECT_TRUE(flag);
    orvo::parse("false", flag);
    EXPECT_FALSE(flag);
    EXPECT_EQ(errorOf([&] { orvo::parse("yes", flag); }).message(),
              "'yes' is not a boolean (true, false, 1 or 0)");
    EXPECT_EQ(orvo::format(true), "true");

    // The edges of each width, read with white space, a sign and leading
    // zeros, and written plainly.
    EXPECT_EQ(reformatted<std::int8_t>("-128") + reformatted<std::uint8_t>(" +200 ") +
                  reformatted<std::uint8_t>("-0") + reformatted<std::int16_t>("-32768") +
                  reformatted<std::uint16_t>("65535") + reformatted<std::int32_t>("2147483647") +
                  reformatted<std::uint32_t>("4294967295"),
              "-128 200 0 -32768 65535 2147483647 4294967295 ");
    EXPECT_EQ(reformatted<std::int64_t>("-9223372036854775808") +
                  reformatted<std::uint64_t>("018446744073709551615"),
              "-9223372036854775808 18446744073709551615 ");
    std::int8_t i8 = 0;
    std::uint8_t u8 = 0;
    std::int32_t i32 = 0;
    std::int64_t i64 = 0;
    std::uint64_t u64 = 0;
    const std::pair<std::function<void()>, const char*> refused[] = {
        {[&] { orvo::parse("300", u8); }, "'300' is out of range (0 to 255)"},
        {[&] { orvo::parse("-1", u8); }, "'-1' is out of range (0 to 255)"},
        {[&] { orvo::parse("-129", i8); }, "'-129' is out of range (-128 to 127)"},
        {[&] { orvo::parse("9223372036854775808", i64); },
         "'9223372036854775808' is out of range (-9223372036854775808 to 9223372036854775807)"},
        {[&] { orvo::parse("18446744073709551616", u64); },
         "'18446744073709551616' is out of range (0 to 18446744073709551615)"},
        {[&] { orvo::parseInRange("0", u64, 1, UINT64_MAX); },
         "'0' is out of range (1 to 18446744073709551615)"},
        {[&] { orvo::parseInRange(" 11 ", i8, -10, 10); }, "'11' is out of range (-10 to 10)"},
    };
    for (const auto& [call, message] : refused) {
        EXPECT_EQ(errorOf(call).message(), message);
    }
    for (const char* text : {"abc", "1.0", "+", "", "1 2"}) {
        EXPECT_EQ(errorOf([&] { orvo::parse(text, i32); }).message(),
                  "'" + std::string(text) + "' is not an integer");
    }
    orvo::parseInRange("10", i8, -10, 10);
    EXPECT_EQ(i8, 10);
}

TEST(Values, FloatingPoint) {
    const std::pair<const char*, double> accepted[] = {
        {"1", 1},           {" -1.5 ", -1.5},    {".5", 0.5},   {"5.", 5},
        {"+1E3", 1000},     {"1e-3", 1e-3},      {"1e-400", 0}, {"INF", HUGE_VAL},
        {"+INF", HUGE_VAL}, {"-INF", -HUGE_VAL},
    };
    for (const auto& [text, expected] : accepted) {
        double value = 7;
        orvo::parse(text, value);
        EXPECT_EQ(value, expected) << text;
    }
    double value = 0;
    orvo::parse("NaN", value);
    EXPECT_TRUE(std::isnan(value));
    for (const char* text :
         {"inf", "nan", "Infinity", "0x1p3", "1e", "e3", ".", "", "1.2.3", "1 e3"}) {
        EXPECT_EQ(errorOf([&] { orvo::parse(text, value); }).message(),
                  "'" + std::string(text) + "' is not a number");
    }
    float single = 0;
    EXPECT_EQ(errorOf([&] { orvo::parse("1e39", single); }).message(),
              "'1e39' is out of range for a float");
    EXPECT_THROW(orvo::parse("-1e400", value), orvo::XmlError);

    EXPECT_EQ(orvo::format(0.1) + " " + orvo::format(0.1f) + " " + orvo::format(100.0) + " " +
                  orvo::format(-HUGE_VAL) + " " + orvo::format(std::nan("")),
              "0.1 0.1 100 -INF NaN");
    for (double number : {1.0 / 3, 6.02214076e23, -4.9e-324, 1.7976931348623157e308}) {
        orvo::parse(orvo::format(number), value);
        EXPECT_EQ(value, number);
    }
}

TEST(Values, BinaryData) {
    const std::pair<const char*, const char*> base64[] = {
        {"", ""}, {"Zg==", "f"}, {" Zm\n9v ", "foo"}, {"Zm9vYg==", "foob"}, {"Zm9vYmE=", "fooba"}};
    for (const auto& [text, bytes] : base64) {
        orvo::Base64Binary value;
        orvo::parse(text, value);
        EXPECT_EQ(std::string(value.bytes.begin(), value.bytes.end()), bytes) << text;
        std::string trimmed(text);
        trimmed.erase(std::remove_if(trimmed.begin(), trimmed.end(), ::isspace), trimmed.end());
        EXPECT_EQ(orvo::format(value), trimmed);
    }
    orvo::Base64Binary data;
    for (const char* text : {"Zg=", "Z===", "Zg=a", "Zm9v!A==", "=Zg="}) {
        EXPECT_EQ(errorOf([&] { orvo::parse(text, data); }).message(),
                  "'" + std::string(text) + "' is not base64 data");
    }
    const std::string longText(50, '*');
    EXPECT_EQ(errorOf([&] { orvo::parse(longText, data); }).message(),
              "'" + longText.substr(0, 40) + "...' is not base64 data");

    orvo::HexBinary hex;
    orvo::parse(" 00ffA1 ", hex);
    EXPECT_EQ(hex.bytes, (std::vector<unsigned char>{0x00, 0xff, 0xa1}));
    EXPECT_EQ(orvo::format(hex), "00FFA1");
    EXPECT_EQ(hex, (orvo::HexBinary{{0x00, 0xff, 0xa1}}));
    // Written in the case it was read in; mixed case and made in code: upper.
    orvo::parse("7fa7ce9e", hex);
    EXPECT_EQ(orvo::format(hex), "7fa7ce9e");
    EXPECT_EQ(hex, (orvo::HexBinary{{0x7f, 0xa7, 0xce, 0x9e}}))
        << "the case is no part of the value";
    EXPECT_EQ(orvo::format(orvo::HexBinary{{0xab}}), "AB");
    for (const char* text : {"abc", "0g"}) {
        EXPECT_THROW(orvo::parse(text, hex), orvo::XmlError) << text;
    }
}

}  // namespace
