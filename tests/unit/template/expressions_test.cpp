// #if expressions: truth of values, comparisons, logic and precedence.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/template/KxTemplate.h"

namespace {

class Expressions : public testing::TestWithParam<std::pair<const char*, bool>> {};

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
    KxTemplate page = factory.parseText(KxCString("#if(") + GetParam().first + ")T#{else}F#end");
    ASSERT_TRUE(page.isValid()) << log;
    KxCString out;
    page.render(out, context, KxTemplate::Escaping::None);
    EXPECT_EQ(out, GetParam().second ? "T" : "F");
}

INSTANTIATE_TEST_SUITE_P(
    TruthComparisonsAndLogic, Expressions,
    testing::Values(std::pair{"$t", true}, std::pair{"$f", false}, std::pair{"$missing", false},
                    std::pair{"$empty", false}, std::pair{"$word", true}, std::pair{"$list", true},
                    std::pair{"$none", false}, std::pair{"''", false}, std::pair{"!$missing", true},
                    std::pair{"not $f", true}, std::pair{"$n == 5.0", true},
                    std::pair{"$n != 4", true}, std::pair{"$n == $s", true},
                    std::pair{"$d == 2.5", true}, std::pair{"$word == \"a${empty}bc\"", true},
                    std::pair{"$t == 'true'", true}, std::pair{"$t == $f", false},
                    std::pair{"$f != $t", true}, std::pair{"'true' == $t", true},
                    std::pair{"$missing == $alsoMissing", true}, std::pair{"$missing == ''", false},
                    std::pair{"$list.entries() == 1", true}, std::pair{"$n ne 5", false},
                    std::pair{"-1 == -1", true}, std::pair{"$n <= 5", true},
                    std::pair{"$n > $d", true}, std::pair{"$n >= 6", false},
                    std::pair{"$s > 4", true}, std::pair{"$big > 9223372036854775807", true},
                    std::pair{"$big < -1", false}, std::pair{"$word > 1", false},
                    std::pair{"$word < 1", false}, std::pair{"$missing >= 0", false},
                    std::pair{"$n le 4 or $n ge 6", false}, std::pair{"$t && $f", false},
                    std::pair{"$f || $missing", false}, std::pair{"$t || $f && $f", true},
                    std::pair{"($t || $f) && $f", false}, std::pair{"!($t && $f)", true}));

// A value that may be compared but never written: comparisons read its
// text as toString gives it, not by writing it.
class UnwritableText : public KxContextObjectImpl {
  public:
    UnwritableText() : KxContextObjectImpl(KxContextObject::kString) {}
    KxCString toString() override { return "secret"; }
    bool toBoolean() override { return true; }
    void appendTo(KxCString&) override { throw std::logic_error("written"); }
};

TEST(Comparisons, ReadAValuesTextWithoutWritingIt) {
    KxContext context;
    context.put("v", KxContextObject(std::make_shared<UnwritableText>()));
    KxTemplateFactory factory;
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"#if($v == 'secret')T#end", "T"},
        {"#if('other' != $v)T#end", "T"},
        {"#if($v == $v && !($v > 1))T#end", "T"},
    };
    for (const auto& c : cases) {
        KxCString out;
        factory.parseText(c.text).render(out, context, KxTemplate::Escaping::None);
        EXPECT_EQ(out, c.expected) << c.text;
    }
    KxCString out;
    EXPECT_THROW(factory.parseText("$v").render(out, context, KxTemplate::Escaping::None),
                 std::logic_error);
}

}  // namespace
