// Directives: #if/#elseif/#else, #foreach with $foreach, #set, #parse,
// comments and the rule that directive-only lines leave no line behind.
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

TEST_F(Directives, IfChoosesTheFirstBranchThatHolds) {
    const KxCString chain =
        "#if($x == 1)one#elseif($x == 2)two#elseif($x == 2)again#{else}other#end";
    const std::pair<int, const char*> cases[] = {{1, "one"}, {2, "two"}, {3, "other"}};
    for (const auto& [x, expected] : cases) {
        context.put("x", kxcreateContextObject(x));
        EXPECT_EQ(render(chain), expected) << "x = " << x;
    }
    EXPECT_EQ(render("#if($flag)#if($nothing)x#{else}inner#end#{else}outer#{end}!"), "inner!");
}

TEST_F(Directives, ForeachCountsAndTellsWhetherMoreFollowEachLoopOnItsOwn) {
    EXPECT_EQ(render("#foreach($i in $list)$foreach.count:$i#if($foreach.hasNext), #end#end"),
              "1:a, 2:b, 3:c");
    EXPECT_EQ(render("#foreach($i in $list)$foreach.index#if($foreach.first)F#end"
                     "#if($foreach.last)L#end #end"),
              "0F 1 2L ");
    EXPECT_EQ(render("[#foreach($i in $empty)x#end#foreach($i in $missing)x#end"
                     "#foreach($i in $name)x#end]"),
              "[]");
    EXPECT_EQ(render("#foreach($row in $rows)[#foreach($c in $row)$foreach.index/$c"
                     "#if($foreach.hasNext) #end#end]($foreach.count of $row.entries())#end"),
              "[0/1 1/2](1 of 2)[0/3](2 of 1)");
}

TEST_F(Directives, SetWritesToTheRenderingAndNotToTheCallersContext) {
    EXPECT_EQ(render("#set($name = 'new')$name"), "new");
    EXPECT_EQ(context.get("name").toString(), "World");
    EXPECT_EQ(render("#set($greeting = \"Hi $name\")#set($n = 3)$greeting #if($n == 3)three#end"),
              "Hi World three");
    EXPECT_EQ(render("#foreach($i in $list)#set($i = 'x')$i#end $i"), "xxx $i");
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

TEST_F(Directives, HashesThatAreNoDirectivesStayText) {
    EXPECT_EQ(render("color: #fff; #1 # x #include <a.h> #{x"),
              "color: #fff; #1 # x #include <a.h> #{x");
    EXPECT_EQ(render("\\#if(1) \\#end \\## x"), "#if(1) #end ## x");
    EXPECT_EQ(render("#if($flag)x#{end}abc#if($nothing)#{else}y#{end}z"), "xabcyz");
}

TEST_F(Directives, LinesHoldingOnlyDirectivesLeaveNoLine) {
    EXPECT_EQ(render("<ul>\n"
                     "  #foreach($i in $list)\n"
                     "    #if($foreach.count > 1)\n"
                     "  <li>$i</li>\n"
                     "    #end\n"
                     "  #end\n"
                     "</ul>\n"),
              "<ul>\n  <li>b</li>\n  <li>c</li>\n</ul>\n");
    EXPECT_EQ(render("## generated\n#set($sep = '=')\nname$sep$name\n  #* note *#  \nend"),
              "name=World\nend");
    EXPECT_EQ(render("a #if($flag)b#end c\n  #if($flag)d#end\nx #set($y = 1)\ny"),
              "a b c\n  d\nx \ny");
    EXPECT_EQ(render("  #if($flag) #set($y = 1) #end  \nrest"), "rest");
    EXPECT_EQ(render("#if($flag)\r\nyes\r\n#end\r\n"), "yes\r\n");
}

}  // namespace
