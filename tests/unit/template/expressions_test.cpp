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
                                         Case{"$word", true}, Case{"$list", true},
                                         Case{"$none", false}, Case{"''", false},
                                         Case{"!$missing", true}, Case{"not $f", true}));

INSTANTIATE_TEST_SUITE_P(
    Comparisons, Expressions,
    testing::Values(Case{"$n == 5.0", true}, Case{"$n != 4", true}, Case{"$n == $s", true},
                    Case{"$d == 2.5", true}, Case{"$word == \"a${empty}bc\"", true},
                    Case{"$t == 'true'", true}, Case{"$missing == $alsoMissing", true},
                    Case{"$missing == ''", false}, Case{"$list.entries() == 1", true},
                    Case{"$n ne 5", false}, Case{"-1 == -1", true}, Case{"$n <= 5", true},
                    Case{"$n > $d", true}, Case{"$n >= 6", false}, Case{"$s > 4", true},
                    Case{"$big > 9223372036854775807", true}, Case{"$big < -1", false},
                    Case{"$word > 1", false}, Case{"$word < 1", false},
                    Case{"$missing >= 0", false}, Case{"$n le 4 or $n ge 6", false}));

INSTANTIATE_TEST_SUITE_P(Logic, Expressions,
                         testing::Values(Case{"$t && $f", false}, Case{"$f || $missing", false},
                                         Case{"$t || $f && $f", true},
                                         Case{"($t || $f) && $f", false},
                                         Case{"!($t && $f)", true}));

}  // namespace
