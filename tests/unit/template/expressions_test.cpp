// #if expressions: truth of values, comparisons, logic and precedence.
#include <gtest/gtest.h>

#include "platform/template/KxTemplate.h"

namespace {

struct Case {
    const char* expression;
    bool expected;

    friend void PrintTo(const Case& c, std::ostream* out) {
        *out << testing::PrintToString(std::string(c.expression));
    }
};

class Expressions : public testing::TestWithParam<Case> {};

TEST_P(Expressions, DecideTheIf) {
    KxContext context;
    context.put("n", kxcreateContextObject(5));
    context.put("big", kxcreateContextObject(9223372036854775808ull));
    context.put("d", kxcreateContextObject(2.5));
    context.put("s", "5");
    context.put("word", "abc");
    context.put("empty", "");
    context.put("t", kxcreateContextObject(true));
    context.put("f", kxcreateContextObject(false));
    context.put("list", kxcreateContextObject(std::vector{kxcreateContextObject("a")}));
    context.put("none", kxcreateContextObject(std::vector<KxContextObject>{}));

    KxTemplateFactory factory;
    KxCString log;
    factory.setLogSink([&](const KxCString& line) { log += line; });
    KxTemplate page =
        factory.parseText(KxCString("#if(") + GetParam().expression + ")T#{else}F#end");
    ASSERT_TRUE(page.isValid()) << log;
    KxCString out;
    page.render(out, context, KxTemplate::Escaping::None);
    EXPECT_EQ(out, GetParam().expected ? "T" : "F");
}

INSTANTIATE_TEST_SUITE_P(Truth, Expressions,
                         testing::Values(Case{"$t", true}, Case{"$f", false},
                                         Case{"$missing", false}, Case{"$empty", false},
                                         Case{"$word", true}, Case{"$n", true}, Case{"$list", true},
                                         Case{"$none", false}, Case{"true", true},
                                         Case{"false", false}, Case{"'x'", true}, Case{"''", false},
                                         Case{"!$t", false}, Case{"!$missing", true},
                                         Case{"not $f", true}, Case{"!!$word", true}));

INSTANTIATE_TEST_SUITE_P(
    Equality, Expressions,
    testing::Values(Case{"$n == 5", true}, Case{"$n == 5.0", true}, Case{"$n == 4", false},
                    Case{"$n != 4", true}, Case{"$n == $s", true}, Case{"$s == 5", true},
                    Case{"$d == 2.5", true}, Case{"$word == 'abc'", true},
                    Case{"$word == \"abc\"", true}, Case{"$word == \"a${empty}bc\"", true},
                    Case{"$word == 'abd'", false}, Case{"$t == true", true},
                    Case{"$t == 'true'", true}, Case{"$missing == $alsoMissing", true},
                    Case{"$missing == ''", false}, Case{"$empty == $missing", false},
                    Case{"$missing != 'x'", true}, Case{"$list.entries() == 1", true},
                    Case{"$n eq 5", true}, Case{"$n ne 5", false}, Case{"1 == 1", true},
                    Case{"-1 == -1", true}));

INSTANTIATE_TEST_SUITE_P(
    Order, Expressions,
    testing::Values(Case{"$n < 10", true}, Case{"$n < 5", false}, Case{"$n <= 5", true},
                    Case{"$n > $d", true}, Case{"$n >= 6", false}, Case{"$d > 2", true},
                    Case{"$s > 4", true}, Case{"$big > $n", true},
                    Case{"$big > 9223372036854775807", true}, Case{"-1 < $big", true},
                    Case{"$big < -1", false}, Case{"$word > 1", false}, Case{"$word < 1", false},
                    Case{"$missing < 1", false}, Case{"$missing >= 0", false},
                    Case{"$n lt 6 and $n gt 4", true}, Case{"$n le 4 or $n ge 6", false}));

INSTANTIATE_TEST_SUITE_P(Logic, Expressions,
                         testing::Values(Case{"$t && $f", false}, Case{"$t && !$f", true},
                                         Case{"$t || $f", true}, Case{"$f || $missing", false},
                                         Case{"$t || $f && $f", true},
                                         Case{"($t || $f) && $f", false}, Case{"!($t && $f)", true},
                                         Case{"$n > 1 && $n < 9 && $word == 'abc'", true},
                                         Case{"$n == 1 || $n == 5", true}));

}  // namespace
