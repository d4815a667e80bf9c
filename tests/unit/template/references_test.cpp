// $references: plain, quiet and formal forms, absent values, escapes,
// attributes and methods, the $esc tool and HTML escaping of the output.
#include <gtest/gtest.h>

#include <map>

#include "platform/template/KxTemplate.h"

namespace {

// A record like the system's views: named attributes and a method "join"
// that joins its arguments' texts with '|' ("?" for an absent argument).
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
        KxCString joined;
        for (const KxContextObject& argument : arguments) {
            joined +=
                (joined.empty() ? "" : "|") + (argument.isValid() ? argument.toString() : "?");
        }
        return name == "join" ? kxcreateContextObject(joined) : KxContextObject();
    }

  private:
    std::map<KxCString, KxContextObject> attributes_;
};

KxCString render(const KxCString& text, KxTemplate::Escaping escaping) {
    KxTemplateFactory factory;
    std::vector<KxCString> log;
    factory.setLogSink([&](const KxCString& line) { log.push_back(line); });
    KxTemplate page = factory.parseText(text, "test.tl");
    EXPECT_TRUE(page.isValid()) << (log.empty() ? KxCString() : log.front());
    KxContext context;
    context.put("name", "World");
    context.put("count", kxcreateContextObject(3));
    context.put("flag", kxcreateContextObject(true));
    context.put("markup", "<b>&\"'</b>");
    context.put("list", kxcreateContextObject(std::vector<KxContextObject>{
                            kxcreateContextObject("a"), kxcreateContextObject("b")}));
    const auto boss = std::make_shared<Record>(
        std::map<KxCString, KxContextObject>{{"name", kxcreateContextObject("Bob")}});
    context.put("user",
                KxContextObject(std::make_shared<Record>(std::map<KxCString, KxContextObject>{
                    {"name", kxcreateContextObject("Ann")}, {"boss", KxContextObject(boss)}})));
    KxCString out;
    page.render(out, context, escaping);
    return out;
}

class References : public testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(References, RenderAsExpected) {
    EXPECT_EQ(render(GetParam().first, KxTemplate::Escaping::None), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    FormsAttributesMethodsAndEsc, References,
    testing::Values(std::pair{"${name}s $!name $count $flag", "Worlds World 3 true"},
                    std::pair{"$name.", "World."},
                    std::pair{"costs $5, a $ b, $, $!", "costs $5, a $ b, $, $!"},
                    std::pair{"$$name", "$World"},
                    std::pair{"[$missing][${missing}]", "[$missing][${missing}]"},
                    std::pair{"[$!missing][$!{missing}]", "[][]"},
                    std::pair{"$user.nobody.name", "$user.nobody.name"},
                    std::pair{"[$!user.nobody.name]", "[]"},
                    std::pair{"$user.name.txt", "$user.name.txt"},
                    std::pair{"$user.unknown()", "$user.unknown()"},
                    std::pair{"\\$name \\${name} \\$!name.x", "$name ${name} $!name.x"},
                    std::pair{"a\\b \\5", "a\\b \\5"}, std::pair{"$user.boss.name", "Bob"},
                    std::pair{"${user.name}.txt", "Ann.txt"}, std::pair{"$list.entries()", "2"},
                    std::pair{"$user.join( $user.boss.name ,\"text\", 3, 'lit')", "Bob|text|3|lit"},
                    std::pair{"$user.join(\"a $name b\", '$name')", "a World b|$name"},
                    std::pair{"$user.join(\"$missing $!missing.x\")", "$missing "},
                    std::pair{"$user.join($missing, $user.join('x', 'y'))", "?|x|y"},
                    std::pair{"[$user.join()]", "[]"},
                    std::pair{"$esc.url(\"a b/c?d=1&e=\xC3\xA4~-._\")",
                              "a%20b%2Fc%3Fd%3D1%26e%3D%C3%A4~-._"},
                    std::pair{"$esc.url($missing)", "$esc.url($missing)"},
                    std::pair{"[$!esc.url($missing)]", "[]"},
                    std::pair{"$user.join(\"q=$esc.url('a&b')&r=$esc.html($markup)$esc.url($no)\")",
                              "q=a%26b&r=&lt;b&gt;&amp;&quot;&#39;&lt;/b&gt;$esc.url($no)"},
                    // A value named esc stands in for the built-in tool.
                    std::pair{"#set($esc = $user)$esc.url('a b') $esc.join(\"$esc.html('<')\")",
                              "$esc.url('a b') $esc.html('<')"}));

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

// A value that guards its text: written, it shows in brackets; a string
// interpolating it is guarded too, the whole joined text in brackets.
class Guarded : public KxContextObjectImpl {
  public:
    explicit Guarded(KxCString text)
        : KxContextObjectImpl(KxContextObject::kString), text_(std::move(text)) {}
    KxCString toString() override { return text_; }
    void appendTo(KxCString& out) override { out += "[" + text_ + "]"; }
    bool guardsText() const override { return true; }
    KxContextObject guarded(KxCString text) override {
        return KxContextObject(std::make_shared<Guarded>(std::move(text)));
    }

  private:
    KxCString text_;
};

TEST(GuardedValues, PassTheirGuardToTheStringsBuiltFromThem) {
    KxTemplateFactory factory;
    KxTemplate page =
        factory.parseText("$g #set($s = \"<$g|$plain>\")$s #set($t = \"<$plain>\")$t", "test.tl");
    ASSERT_TRUE(page.isValid());
    KxContext context;
    context.put("g", KxContextObject(std::make_shared<Guarded>("v")));
    context.put("plain", "p");
    KxCString out;
    page.render(out, context, KxTemplate::Escaping::None);
    EXPECT_EQ(out, "[v] [<v|p>] <p>");
}

}  // namespace
