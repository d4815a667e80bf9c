// $references: plain, quiet and formal forms, absent values, escapes,
// attributes and methods, the $esc tool and HTML escaping of the output.
#include <gtest/gtest.h>

#include <map>

#include "platform/template/KxTemplate.h"

namespace {

// A record like the system's views: named attributes and a method that
// joins its arguments' texts with '|' ("?" for an absent argument).
class Record : public KxContextObjectImpl {
  public:
    explicit Record(std::map<KxCString, KxContextObject> attributes)
        : KxContextObjectImpl(KxContextObject::kRecord), attributes_(std::move(attributes)) {}

    KxContextObject getAttribute(const KxCString& name) override {
        auto it = attributes_.find(name);
        return it == attributes_.end() ? KxContextObject() : it->second;
    }
    KxContextObject invokeMethod(const KxCString& name,
                                 const std::vector<KxContextObject>& arguments) override {
        if (name != "join") {
            return {};
        }
        KxCString joined;
        for (const KxContextObject& argument : arguments) {
            joined +=
                (joined.empty() ? "" : "|") + (argument.isValid() ? argument.toString() : "?");
        }
        return kxcreateContextObject(joined);
    }

  private:
    std::map<KxCString, KxContextObject> attributes_;
};

KxContextObject record(std::map<KxCString, KxContextObject> attributes) {
    return KxContextObject(std::make_shared<Record>(std::move(attributes)));
}

void fill(KxContext& context) {
    context.put("name", "World");
    context.put("count", kxcreateContextObject(3));
    context.put("flag", kxcreateContextObject(true));
    context.put("markup", "<b>&\"'</b>");
    context.put("list", kxcreateContextObject(std::vector<KxContextObject>{
                            kxcreateContextObject("a"), kxcreateContextObject("b")}));
    context.put("user", record({{"name", kxcreateContextObject("Ann")},
                                {"boss", record({{"name", kxcreateContextObject("Bob")}})}}));
}

KxCString render(const KxCString& text, KxTemplate::Escaping escaping) {
    KxTemplateFactory factory;
    std::vector<KxCString> log;
    factory.setLogSink([&](const KxCString& line) { log.push_back(line); });
    KxTemplate page = factory.parseText(text, "test.tl");
    EXPECT_TRUE(page.isValid()) << (log.empty() ? KxCString() : log.front());
    KxContext context;
    fill(context);
    KxCString out;
    page.render(out, context, escaping);
    return out;
}

struct Case {
    const char* text;
    const char* expected;

    friend void PrintTo(const Case& c, std::ostream* out) {
        *out << testing::PrintToString(std::string(c.text));
    }
};

class References : public testing::TestWithParam<Case> {};

TEST_P(References, RenderAsExpected) {
    EXPECT_EQ(render(GetParam().text, KxTemplate::Escaping::None), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, References,
    testing::Values(
        Case{"${name}s $!name $count $flag", "Worlds World 3 true"}, Case{"$name.", "World."},
        Case{"costs $5, a $ b, $, $!", "costs $5, a $ b, $, $!"}, Case{"$$name", "$World"},
        Case{"[$missing][${missing}]", "[$missing][${missing}]"},
        Case{"[$!missing][$!{missing}]", "[][]"}, Case{"$user.nobody.name", "$user.nobody.name"},
        Case{"[$!user.nobody.name]", "[]"}, Case{"$user.name.txt", "$user.name.txt"},
        Case{"$user.unknown()", "$user.unknown()"},
        Case{"\\$name \\${name} \\$!name.x", "$name ${name} $!name.x"},
        Case{"a\\b \\5", "a\\b \\5"}));

INSTANTIATE_TEST_SUITE_P(
    AttributesAndMethods, References,
    testing::Values(Case{"$user.boss.name", "Bob"}, Case{"${user.name}.txt", "Ann.txt"},
                    Case{"$list.entries()", "2"},
                    Case{"$user.join( $user.boss.name ,\"text\", 3, 'lit')", "Bob|text|3|lit"},
                    Case{"$user.join(\"a $name b\", '$name')", "a World b|$name"},
                    Case{"$user.join(\"$missing $!missing.x\")", "$missing "},
                    Case{"$user.join($missing, $user.join('x', 'y'))", "?|x|y"},
                    Case{"[$user.join()]", "[]"}));

INSTANTIATE_TEST_SUITE_P(EscapeTool, References,
                         testing::Values(Case{"$esc.url(\"a b/c?d=1&e=\xC3\xA4~-._\")",
                                              "a%20b%2Fc%3Fd%3D1%26e%3D%C3%A4~-._"},
                                         Case{"$esc.url($missing)", "$esc.url($missing)"},
                                         Case{"[$!esc.url($missing)]", "[]"}));

TEST(HtmlEscaping, EscapesEveryValueButNeverTheTemplateText) {
    const KxCString text =
        "<p title=\"$markup\">$user.join($markup)</p><a href=\"?q=$esc.url('a&b')\">"
        "$esc.html('<')</a>$missing";
    EXPECT_EQ(
        render(text, KxTemplate::Escaping::Html),
        "<p title=\"&lt;b&gt;&amp;&quot;&#39;&lt;/b&gt;\">&lt;b&gt;&amp;&quot;&#39;&lt;/b&gt;</p>"
        "<a href=\"?q=a%26b\">&amp;lt;</a>$missing");
    EXPECT_EQ(render(text, KxTemplate::Escaping::None),
              "<p title=\"<b>&\"'</b>\"><b>&\"'</b></p><a href=\"?q=a%26b\">&lt;</a>$missing");
}

}  // namespace
