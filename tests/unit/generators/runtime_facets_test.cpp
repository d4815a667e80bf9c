// orvopattern.h and orvofacets.h: pattern facets in the schema's regular
// expression dialect, and the length, digit and range facets checked on a
// value's text.
#include "generators/runtime/orvopattern.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "generators/runtime/orvofacets.h"

namespace {

using Result = orvo::Pattern::Result;

Result matchOf(const std::string& expression, const std::string& text) {
    return orvo::Pattern(expression).match(text);
}

TEST(RuntimePattern, MatchesTheWholeTextInTheSchemaDialect) {
    struct Case {
        const char* pattern;
        const char* text;
        Result expected;
    };
    const Case cases[] = {
        // Anchored at both ends, without ^ and $, which are plain characters.
        {"[0-9]{3}-[A-Z]{2}", "926-AA", Result::Matches},
        {"[0-9]{3}-[A-Z]{2}", "x926-AA", Result::Differs},
        {"[0-9]{3}-[A-Z]{2}", "926-AAx", Result::Differs},
        {"^a$", "^a$", Result::Matches},
        {"^a$", "a", Result::Differs},
        // Quantifiers, counted and open, on groups and classes.
        {"(ab){2,3}", "ababab", Result::Matches},
        {"(ab){2,3}", "ab", Result::Differs},
        {"(ab){2,3}", "abababab", Result::Differs},
        {"a{2,}b?", "aaaa", Result::Matches},
        {"a{0}b", "b", Result::Matches},
        {"a{0,2}", "", Result::Matches},
        {"(x|yz)+", "xyzyzx", Result::Matches},
        {"(x|yz)+", "", Result::Differs},
        {"a|", "", Result::Matches},
        // Classes: ranges, negation, escapes inside, subtraction.
        {"[^0-9]+", "abc", Result::Matches},
        {"[^0-9]+", "ab1", Result::Differs},
        {"[a-z-[aeiou]]+", "bcd", Result::Matches},
        {"[a-z-[aeiou]]+", "bad", Result::Differs},
        {"[\\-+.]*", "-+.", Result::Matches},
        {"[a-]+", "a-a", Result::Matches},
        {"\\d+\\.\\d*", "12.5", Result::Matches},
        {"\\s\\S", "\tx", Result::Matches},
        {".", "\n", Result::Differs},
        {"\\i\\c*", "_x.1-y", Result::Matches},
        {"\\i\\c*", "1x", Result::Differs},
        {"\\w+", "a$b", Result::Matches},
        {"\\w+", "a_b", Result::Differs},  // _ is punctuation, not a word character
        {"\\p{Lu}\\p{Ll}+\\P{N}", "Abc!", Result::Matches},
        {"\\p{Lu}", "a", Result::Differs},
        {"[\\p{IsBasicLatin}]+", "a~", Result::Matches},
        // Characters beyond ASCII: exact for literal classes, not decided
        // for categories, which are known for ASCII only.
        {"[a-zé]{3}", "été", Result::Matches},
        {".{2}", "日本", Result::Matches},
        {"\\p{L}+", "日本", Result::NotChecked},
        {"[^\\d]+", "日本", Result::NotChecked},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(matchOf(c.pattern, c.text), c.expected) << c.pattern << " on " << c.text;
    }
}

TEST(RuntimePattern, RefusesWhatIsNotARegularExpressionOfTheDialect) {
    for (const char* bad :
         {"(a", "a)", "[a", "a{2,1}", "a{,2}", "*a", "\\q", "[z-a]", "\\p{Unknown}", "a{100000}"}) {
        EXPECT_THROW(orvo::Pattern{bad}, orvo::PatternError) << bad;
    }
}

TEST(RuntimePattern, TimeAndStackStayLinearInLongTexts) {
    // A backtracking matcher recurses once per character here; the automaton
    // keeps a set of states instead.
    const std::string text(1 << 20, 'a');
    EXPECT_EQ(matchOf("(a|aa)*b", text), Result::Differs);
    EXPECT_EQ(matchOf("(a|aa)*", text), Result::Matches);
    EXPECT_EQ(matchOf("((a*)*)*", text + "a"), Result::Matches);
}

TEST(RuntimePattern, ExamplesMatchTheirPatterns) {
    // Samples of requests are made from these: each must be taken.
    for (const char* expression :
         {"[0-9]{3}-[A-Z]{2}", "(ab){2,3}|c+d", "[^a-z]\\d*", "[a-z-[a-y]]{2}", "\\i\\c*",
          "\\p{Lu}\\P{L}", "x?", "[\\-+]+\\.", "é{2}"}) {
        const orvo::Pattern pattern(expression);
        std::string example;
        ASSERT_TRUE(pattern.example(example)) << expression;
        EXPECT_EQ(pattern.match(example), Result::Matches) << expression << " gave " << example;
    }
    std::string none;
    EXPECT_FALSE(orvo::Pattern("[a-[a]]").example(none));
}

// The XmlError message of checking `text` in an element <v>; empty when it passes.
std::string failureOf(const orvo::Facets& facets, const std::string& text) {
    const orvo::Document document = orvo::Document::parse("<v/>");
    try {
        facets.check(document.root(), text);
        return "";
    } catch (const orvo::XmlError& error) {
        return error.message();
    }
}

bool passes(const orvo::Facets& facets, const std::string& text) {
    return failureOf(facets, text).empty();
}

TEST(RuntimeFacets, LengthsCountCharactersItemsOrOctets) {
    using Kind = orvo::Facets::Kind;
    using orvo::WhiteSpace;
    const auto text = orvo::Facets(Kind::Text, WhiteSpace::Preserve).length(2, 3);
    EXPECT_TRUE(passes(text, "été"));  // three characters, five bytes
    EXPECT_FALSE(passes(text, "abcd"));
    EXPECT_FALSE(passes(text, "a"));
    const auto token = orvo::Facets(Kind::Text, WhiteSpace::Collapse).length(3, 3);
    EXPECT_TRUE(passes(token, "  a b \n"));  // collapsed to "a b"
    const auto list = orvo::Facets(Kind::List, WhiteSpace::Collapse).length(1, 2);
    EXPECT_TRUE(passes(list, " 1   2 "));
    EXPECT_FALSE(passes(list, "1 2 3"));
    EXPECT_FALSE(passes(list, "   "));
    const auto hex = orvo::Facets(Kind::Hex, WhiteSpace::Collapse).length(2, 2);
    EXPECT_TRUE(passes(hex, "0aFF"));
    EXPECT_FALSE(passes(hex, "0aFF00"));
    const auto base64 = orvo::Facets(Kind::Base64, WhiteSpace::Collapse).length(4, 4);
    EXPECT_TRUE(passes(base64, "AAEC Aw=="));  // 1, 2, 3 and 4 as four octets
    EXPECT_FALSE(passes(base64, "AAECAwQ="));
    EXPECT_EQ(failureOf(text, "abcd"), "'abcd' in v has the length 4, not at most 3");
    EXPECT_EQ(failureOf(token, "ab"), "'ab' in v has the length 2, not exactly 3");
}

TEST(RuntimeFacets, DigitsAndRangesCompareNumbersExactly) {
    using Kind = orvo::Facets::Kind;
    const auto money = orvo::Facets(Kind::Number, orvo::WhiteSpace::Collapse)
                           .digits(5, 2)
                           .range("-100.5", nullptr, nullptr, "1000");
    EXPECT_TRUE(passes(money, "999.99"));
    EXPECT_TRUE(passes(money, "+00999.990"));  // leading and trailing zeros do not count
    EXPECT_TRUE(passes(money, "-100.50"));
    EXPECT_FALSE(passes(money, "-100.51"));
    EXPECT_FALSE(passes(money, "1000"));
    EXPECT_FALSE(passes(money, "1.234"));
    EXPECT_EQ(failureOf(money, "1.234"), "'1.234' in v has more than 2 digits after the point");
    EXPECT_EQ(failureOf(money, "1000"), "'1000' in v is not below 1000");
    // Beyond what a double holds exactly.
    const auto big = orvo::Facets(Kind::Number, orvo::WhiteSpace::Collapse)
                         .range(nullptr, "18446744073709551616", nullptr, nullptr);
    EXPECT_TRUE(passes(big, "18446744073709551616"));
    EXPECT_FALSE(passes(big, "18446744073709551617"));
    EXPECT_TRUE(passes(big, "-99999999999999999999999"));
    const auto ratio =
        orvo::Facets(Kind::Float, orvo::WhiteSpace::Collapse).range("0", "1", nullptr, nullptr);
    EXPECT_TRUE(passes(ratio, "1E0"));
    EXPECT_FALSE(passes(ratio, "1.5"));
    EXPECT_FALSE(passes(ratio, "NaN"));
}

TEST(RuntimeFacets, EveryRestrictionsPatternHoldsAfterTheWhiteSpaceRule) {
    // Two restrictions, one on top of the other: both patterns must match.
    const auto code = orvo::Facets(orvo::Facets::Kind::Text, orvo::WhiteSpace::Collapse)
                          .pattern("[A-Z0-9]+")
                          .pattern("[A-Z]{2}.*");
    EXPECT_TRUE(passes(code, " AB12 "));
    EXPECT_FALSE(passes(code, "A123"));
    EXPECT_FALSE(passes(code, "ABc"));
    EXPECT_EQ(failureOf(code, "A123"), "'A123' in v does not match the pattern [A-Z]{2}.*");
    const auto kept =
        orvo::Facets(orvo::Facets::Kind::Text, orvo::WhiteSpace::Preserve).pattern("[A-Z]+");
    EXPECT_FALSE(passes(kept, " AB "));
}

}  // namespace
