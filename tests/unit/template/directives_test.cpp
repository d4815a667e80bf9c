// Directives: #if/#elseif/#else, #foreach with $foreach, #set, #parse,
// #macro and its calls, #[[unparsed text]]#, comments and the rule that
// directive-only lines leave no line behind.
#include <gtest/gtest.h>

#include "platform/template/KxTemplate.h"
#include "support/ScratchDir.h"

namespace {

KxContextObject list(std::vector<KxContextObject> items) {
    return kxcreateContextObject(std::move(items));
}
KxContextObject text(const char* value) {
    return kxcreateContextObject(value);
}

class Directives : public testing::Test {
  protected:
    Directives() {
        factory.setLogSink([this](const KxCString& line) { log.push_back(line); });
        context.put("name", "World");
        context.put("flag", kxcreateContextObject(true));
        context.put("list", list({text("a"), text("b"), text("c")}));
        context.put("empty", list({}));
        context.put("rows", list({list({text("1"), text("2")}), list({text("3")})}));
    }

    KxCString render(const KxCString& source, const KxCString& name = "test.tl") {
        KxTemplate page = factory.parseText(source, name);
        EXPECT_TRUE(page.isValid()) << (log.empty() ? KxCString() : log.front());
        KxCString out;
        page.render(out, context, KxTemplate::Escaping::None);
        return out;
    }

    KxTemplateFactory factory;
    KxContext context;
    std::vector<KxCString> log;
};

// #if chains and nesting, #foreach and $foreach (each loop its own), #set,
// hashes that are no directive, and lines of directives only leaving no line.
TEST_F(Directives, RenderAsExpected) {
    const KxCString chain =
        "#if($x == 1)one#elseif($x == 2)two#elseif($x == 2)again#{else}other#end";
    const std::pair<KxCString, KxCString> cases[] = {
        {"#set($x = 1)" + chain, "one"},
        {"#set($x = 2)" + chain, "two"},
        {"#set($x = 3)" + chain, "other"},
        {"#if($flag)#if($nothing)x#{else}inner#end#{else}outer#{end}!", "inner!"},
        {"#foreach($i in $list)$foreach.count:$i#if($foreach.hasNext), #end#end", "1:a, 2:b, 3:c"},
        {"#foreach($i in $list)$foreach.index#if($foreach.first)F#end#if($foreach.last)L#end #end",
         "0F 1 2L "},
        {"[#foreach($i in $empty)x#end#foreach($i in $missing)x#end#foreach($i in $name)x#end]",
         "[]"},
        {"#foreach($row in $rows)[#foreach($c in $row)$foreach.index/$c#if($foreach.hasNext) "
         "#end#end]($foreach.count of $row.entries())#end",
         "[0/1 1/2](1 of 2)[0/3](2 of 1)"},
        {"#set($name = 'new')$name", "new"},
        {"#set($greeting = \"Hi $name\")#set($n = 3)$greeting #if($n == 3)three#end",
         "Hi World three"},
        {"#foreach($i in $list)#set($i = 'x')$i#end $i", "xxx $i"},
        // A name's meaning as the rendering goes: the context's, then #set's,
        // then a loop's while it runs; a name bound again inside gives the
        // outer binding back, and a #set inside a loop outlasts it.
        {"$name #set($name = 'new')$name #foreach($name in $list)$name#end $name",
         "World new abc new"},
        {"#foreach($i in $list)#foreach($i in $rows)#end$i#set($j = $i)#end $j", "abc c"},
        {"#foreach($foreach in $list)$foreach.count#end", "123"},
        // Macro parameters likewise, every argument taken before any is bound.
        {"#macro(pair $a $b)$a$b#end#set($a = 1)#set($b = 2)#pair($b, $a)#pair($name, 'x') $a$b",
         "21Worldx 12"},
        {"color: #fff; #1 # x #include <a.h> #{x", "color: #fff; #1 # x #include <a.h> #{x"},
        {"\\#if(1) \\#end \\## x", "#if(1) #end ## x"},
        {"#if($flag)x#{end}abc#if($nothing)#{else}y#{end}z", "xabcyz"},
        {"<ul>\n  #foreach($i in $list)\n    #if($foreach.count > 1)\n  <li>$i</li>\n    #end\n"
         "  #end\n</ul>\n",
         "<ul>\n  <li>b</li>\n  <li>c</li>\n</ul>\n"},
        {"## generated\n#set($sep = '=')\nname$sep$name\n  #* note *#  \nend", "name=World\nend"},
        {"a #if($flag)b#end c\n  #if($flag)d#end\nx #set($y = 1)\ny", "a b c\n  d\nx \ny"},
        {"  #if($flag) #set($y = 1) #end  \nrest", "rest"},
        {"#if($flag)\r\nyes\r\n#end\r\n", "yes\r\n"},
    };
    for (const auto& [source, expected] : cases) {
        EXPECT_EQ(render(source), expected) << source;
    }
    // #set writes to the rendering, not to the caller's context.
    EXPECT_EQ(context.get("name").toString(), "World");
    EXPECT_FALSE(context.get("x").isValid());
}

// #parse renders another file with the same values; a missing file or a
// recursion past twenty levels logs one line and renders nothing more.
TEST_F(Directives, ParseRendersAnotherTemplateWithTheSameValues) {
    ScratchDir dir;
    factory.setTemplateDirectory(dir.str());
    dir.write("header.tl", "<h1>$name</h1>#set($fromHeader = 'set')");
    dir.write("mail/row.tl", "row:$part");
    dir.write("mail/page.tl", "#parse(\"row.tl\") #parse('/header.tl')");
    dir.write("self.tl", "x#parse('self.tl')");
    context.put("part", "header");
    EXPECT_EQ(render("#parse(\"${part}.tl\")$fromHeader"), "<h1>World</h1>set");
    EXPECT_EQ(render("#parse('mail/page.tl')"), "row:header <h1>World</h1>");
    ASSERT_TRUE(log.empty()) << log.front();

    EXPECT_EQ(render("a\n#parse('missing.tl')b", "page.tl"), "a\nb");
    EXPECT_EQ(render("#parse('self.tl')"), KxCString(20, 'x'));
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "template error: page.tl:2:1: #parse: cannot read template 'missing.tl' in " +
                          dir.str());
    EXPECT_NE(log[1].find("template error: self.tl:1:2: #parse(\"self.tl\") nests deeper than 20"),
              KxCString::npos)
        << log[1];
}

// Macros: recursion, parameters bound for the body alone (arguments taken
// before any is bound), calls ahead of the definition, lines holding only a
// call leaving just its output; unparsed text kept as written; a macro
// calling itself without end stops with one log line.
TEST_F(Directives, MacrosAndUnparsedText) {
    const std::pair<KxCString, KxCString> cases[] = {
        {"#macro(walk $node)[#foreach($c in $node)#if($c.entries())#walk($c)#{else}$c#end#end]"
         "#end#walk($rows)",
         "[[12][3]]"},
        {"#set($x = 'outer')#macro(m $x)($x)#end#m('in')$x", "(in)outer"},
        {"#macro(pair $a, $b)$a$b#end#set($a = '1')#set($b = '2')#pair($b, $a)", "21"},
        {"#later()#macro(later)ok#end", "ok"},
        {"#macro(field $v)\n  int $v;\n#end\nstruct S {\n#foreach($i in $list)\n    #field($i)\n"
         "#end\n};\n",
         "struct S {\n  int a;\n  int b;\n  int c;\n};\n"},
        {"#macro(ok)ok#end##\nx = #ok(); #ok()\n", "x = ok; ok\n"},
        {"#[[#if($x) $name #include <a.h>]]# $name", "#if($x) $name #include <a.h> World"},
        {"#[[#pragma once\n#if defined(A) && B]]#\n\\#[[x",
         "#pragma once\n#if defined(A) && B\n#[[x"},
    };
    for (const auto& [source, expected] : cases) {
        EXPECT_EQ(render(source), expected) << source;
    }
    ASSERT_TRUE(log.empty()) << log.front();

    EXPECT_EQ(render("#macro(again)x#again()#end#again()", "loop.tl"), KxCString(200, 'x'));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("template error: loop.tl:1:15: #again nests deeper than 200"),
              KxCString::npos)
        << log[0];
}

}  // namespace
