// A rendering borrows its thread's workspace: a rendering inside another
// (a value that renders a template) gets one of its own, and a rendering that
// ends with an exception leaves nothing behind for the next.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/template/KxTemplate.h"

namespace {

// A value that writes by rendering a template of its own, with a loop and
// #set names like the outer template's.
class RenderingValue : public KxContextObjectImpl {
  public:
    explicit RenderingValue(KxTemplate inner)
        : KxContextObjectImpl(KxContextObject::kString), inner_(std::move(inner)) {}

    void appendTo(KxCString& out) override {
        KxContext context;
        context.put("list", kxcreateContextObject(std::vector<KxContextObject>{
                                kxcreateContextObject("p"), kxcreateContextObject("q")}));
        inner_.render(out, context, KxTemplate::Escaping::None);
    }

  private:
    KxTemplate inner_;
};

class ThrowingValue : public KxContextObjectImpl {
  public:
    ThrowingValue() : KxContextObjectImpl(KxContextObject::kString) {}
    void appendTo(KxCString&) override { throw std::runtime_error("no text"); }
};

KxContextObject listOf(std::initializer_list<const char*> texts) {
    std::vector<KxContextObject> values;
    for (const char* text : texts) {
        values.push_back(kxcreateContextObject(text));
    }
    return kxcreateContextObject(std::move(values));
}

TEST(Workspace, ARenderingInsideAnotherKeepsTheOutersNamesApart) {
    KxTemplateFactory factory;
    const KxTemplate inner = factory.parseText("#set($x = 'in')(#foreach($i in $list)$i$x#end)");
    const KxTemplate outer = factory.parseText(
        "#set($x = 'out')#foreach($i in $list)$i:$value:$i$x$foreach.count #end$x");
    KxContext context;
    context.put("list", listOf({"a", "b"}));
    context.put("value", KxContextObject(std::make_shared<RenderingValue>(inner)));
    KxCString out;
    outer.render(out, context, KxTemplate::Escaping::None);
    EXPECT_EQ(out, "a:(pinqin):aout1 b:(pinqin):bout2 out");
}

TEST(Workspace, ARenderingEndedByAnExceptionLeavesNoNamesForTheNext) {
    KxTemplateFactory factory;
    KxContext context;
    context.put("list", listOf({"a"}));
    context.put("fails", KxContextObject(std::make_shared<ThrowingValue>()));
    KxCString out;
    EXPECT_THROW(factory.parseText("#set($x = 1)#foreach($i in $list)$esc.html($i)$fails#end")
                     .render(out, context, KxTemplate::Escaping::Html),
                 std::runtime_error);
    out.clear();
    factory.parseText("[$x][$i][$!foreach]#foreach($j in $list)$j#end")
        .render(out, context, KxTemplate::Escaping::Html);
    EXPECT_EQ(out, "[$x][$i][]a");
}

// Names a template brings after the thread's table of names was made take
// slots past its end; a comparison reads both of its sides from that table
// in place, so the table must have room before the walk (the sanitizer run
// sees a side read from a table that moved).
TEST(Workspace, NamesNewToTheThreadAreComparedInPlace) {
    KxTemplateFactory factory;
    KxContext context;
    context.put("list", listOf({"a"}));
    KxCString out;
    factory.parseText("#foreach($i in $list)$i#end")
        .render(out, context, KxTemplate::Escaping::None);
    KxCString source = "#set($first = 'x')";
    for (int i = 0; i < 300; ++i) {
        const std::string name = "$fresh" + std::to_string(i);
        source += "#if($first == " + name + ")same#end#if(" + name + " != $first)" +
                  std::to_string(i % 10) + "#end";
    }
    out.clear();
    factory.parseText(source).render(out, context, KxTemplate::Escaping::None);
    KxCString expected;
    for (int i = 0; i < 300; ++i) {
        expected += std::to_string(i % 10);
    }
    EXPECT_EQ(out, expected);
}

}  // namespace
