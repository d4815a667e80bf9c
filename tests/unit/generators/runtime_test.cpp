// orvoruntime.h, the header the generated classes include: what the schema
// corpus and the SOAP peer tests do not reach through generated classes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <sstream>
#include <string>

#include "generators/runtime/orvoruntime.h"

namespace {

// The XmlError a call throws; fails the test when it throws none.
template <class F>
orvo::XmlError errorOf(F call) {
    try {
        call();
    } catch (const orvo::XmlError& error) {
        return error;
    }
    ADD_FAILURE() << "no XmlError";
    return orvo::XmlError("none");
}

// The value the text stands for, written back, and a space.
template <class T>
std::string reformatted(const std::string& text) {
    T value{};
    orvo::parse(text, value);
    return orvo::format(value) + " ";
}

TEST(Document, MalformedTextGivesLibxmlMessageAndLocation) {
    struct Case {
        const char* text;
        long line;
        const char* message;  // part of it
    };
    const Case cases[] = {
        {"<a><b></a>", 1, "mismatch"},
        {"<a>\n\n<b x='1' x='2'/></a>", 3, "redefined"},
        {"<a>\n<p:b/></a>", 2, "prefix"},
        {"<a>\x01</a>", 1, "Char"},
        {"<a>", 1, ""},
        {"", 1, ""},
    };
    for (const Case& c : cases) {
        const orvo::XmlError error = errorOf([&] { orvo::Document::parse(c.text); });
        EXPECT_EQ(error.line(), c.line) << c.text;
        EXPECT_NE(error.message().find(c.message), std::string::npos) << error.message();
        EXPECT_NE(error.message().back(), '\n');
        EXPECT_EQ(std::string(error.what()), "line " + std::to_string(error.line()) + ", column " +
                                                 std::to_string(error.column()) + ": " +
                                                 error.message());
    }
    std::string deep;
    for (int i = 0; i < 300; ++i) {
        deep += "<a>";
    }
    EXPECT_THROW(orvo::Document::parse(deep), orvo::XmlError);
}

TEST(Document, RefusesDeclaredEntitiesAndReadsReferences) {
    const char* const declarations[] = {
        "<!ENTITY e 'x'>",
        "<!ENTITY % e 'x'>",
        "<!ENTITY e SYSTEM 'file:///etc/passwd'>",
        "<!NOTATION n SYSTEM 'n'><!ENTITY e SYSTEM 'x' NDATA n>",
    };
    for (const char* declaration : declarations) {
        const orvo::XmlError error = errorOf([&] {
            orvo::Document::parse(std::string("<?xml version='1.0'?>\n<!DOCTYPE a [") +
                                  declaration + "]>\n<a>&amp;</a>");
        });
        EXPECT_EQ(error.what(), std::string("line 2: the document declares the entity e; "
                                            "documents that declare entities are refused"));
    }
    const orvo::Document doc = orvo::Document::parse(
        "<!DOCTYPE a [<!ELEMENT a ANY>]><a>&lt;&#65;&#x42;&gt;&amp;&quot;&apos;</a>");
    EXPECT_EQ(doc.root().text(), "<AB>&\"'");
}

// A start tag past the attribute bound is refused before libxml2's quadratic
// check of it; at the bound, and with '=' in quoted values, comments and
// CDATA, the document reads.
TEST(Document, RefusesAStartTagWithTooManyAttributes) {
    std::string attributes;
    for (int i = 0; i < 1000; ++i) {
        attributes += " a" + std::to_string(i) + "='x=y'";
    }
    const std::string noise = "<!-- = = = --><![CDATA[ = = ]]>";
    const orvo::Document doc = orvo::Document::parse("<r>" + noise + "<e" + attributes + "/></r>");
    EXPECT_EQ(doc.root().localName(), "r");
    const orvo::XmlError error =
        errorOf([&] { orvo::Document::parse("<r>\n  <e" + attributes + " extra='1'/></r>"); });
    EXPECT_EQ(error.message(), "the element <e> has more than 1000 attributes");
    EXPECT_EQ(std::pair(error.line(), error.column()), std::pair(2L, 3L));
}

TEST(Writer, RefusesCharactersXmlCannotHoldAndMisuse) {
    const char* const refused[] = {
        "\x01",    "a\x1f", "\xc3", "\xc0\x80", "\xed\xa0\x80", "\xef\xbf\xbf", "\xf4\x90\x80\x80",
        "\xe2\x82"};
    for (const char* value : refused) {
        orvo::Writer writer;
        writer.start("", "a");
        EXPECT_THROW(writer.attribute("urn:v", "v", value), orvo::XmlError) << value;
        EXPECT_THROW(writer.text(value), orvo::XmlError) << value;
        writer.end();
        EXPECT_EQ(writer.str(), "<a></a>") << "a refused value leaves nothing behind";
    }
    EXPECT_EQ(errorOf([] {
                  orvo::Writer writer;
                  writer.start("", "a");
                  writer.text("\x01");
              }).message(),
              "the value holds the character U+0001, which XML cannot hold");
    orvo::Writer writer;
    writer.start("", "a");
    EXPECT_THROW(writer.str(), std::logic_error);
    writer.text("x");
    EXPECT_THROW(writer.attribute("", "late", "1"), std::logic_error);
    writer.end();
    EXPECT_THROW(writer.end(), std::logic_error);
    EXPECT_EQ(writer.str(), "<a>x</a>");
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

    EXPECT_EQ(orvo::format(0.1), "0.1");
    EXPECT_EQ(orvo::format(0.1f), "0.1");
    EXPECT_EQ(orvo::format(100.0), "100");
    EXPECT_EQ(orvo::format(-HUGE_VAL), "-INF");
    EXPECT_EQ(orvo::format(std::nan("")), "NaN");
    for (double number : {1.0 / 3, 6.02214076e23, -4.9e-324, 1.7976931348623157e308}) {
        orvo::parse(orvo::format(number), value);
        EXPECT_EQ(value, number);
    }
}

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
    for (const char* text : {"abc", "0g"}) {
        EXPECT_THROW(orvo::parse(text, hex), orvo::XmlError) << text;
    }
}

// The servlets and clients of SOAP 1.1 are run by the generated-code and
// SOAP peer tests; the client side of SOAP 1.2 faults only here.
TEST(Soap, Soap12FaultsAreReadBackWithTheSoap11NamesOfTheirCodes) {
    const std::string soap12 =
        orvo::faultEnvelope(orvo::Fault("Client", "no <such> thing"), orvo::SoapVersion::Soap12);
    EXPECT_NE(soap12.find("<soap:Code><soap:Value>soap:Sender</soap:Value></soap:Code>"),
              std::string::npos)
        << soap12;
    try {
        orvo::throwIfFault(orvo::soapBodyContent(orvo::Document::parse(soap12)));
        ADD_FAILURE() << soap12;
    } catch (const orvo::Fault& fault) {
        EXPECT_EQ(fault.code(), "Client");
        EXPECT_STREQ(fault.what(), "no <such> thing");
    }
}

}  // namespace
