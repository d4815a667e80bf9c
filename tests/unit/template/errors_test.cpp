// Faults in templates: each gives an invalid template and one log line that
// names the file, line, column, the fault and the directive left open.
#include <gtest/gtest.h>

#include "platform/template/KxTemplate.h"

namespace {

using Case = std::pair<const char*, const char*>;

class Errors : public testing::TestWithParam<Case> {};

TEST_P(Errors, AreReportedForTheTemplatesAuthor) {
    KxTemplateFactory factory;
    std::vector<KxCString> log;
    factory.setLogSink([&](const KxCString& line) { log.push_back(line); });
    EXPECT_FALSE(factory.parseText(GetParam().first, "server.tl").isValid());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], KxCString("template error: server.tl:") + GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    DirectivesExpressionsAndReferences, Errors,
    testing::Values(
        Case{"line one\n    #fro($x in $list)", "2:5: unknown directive '#fro'"},
        Case{"a\n#foreach($x in $list)\nrow\n",
             "4:1: unexpected end of file: the #foreach opened at 2:1 needs an #end"},
        Case{"#if($a)\n  #foreach($b in $c)\n  #end\n",
             "4:1: unexpected end of file: the #if opened at 1:1 needs an #end"},
        Case{"text\n#else\n", "2:1: #else without #if"},
        Case{"#if($a)#end#{end}", "1:12: #end without #if, #foreach or #macro"},
        Case{"#if($a)x#else y#else z#end", "1:16: #else after #else in the #if opened at 1:1"},
        Case{"#foreach($i in $l)#else#end",
             "1:19: #else without #if inside the #foreach opened at 1:1"},
        Case{"#if$a", "1:4: expected '(' after #if"},
        Case{"#foreach(x in $list)#end", "1:10: #foreach needs a loop variable such as $item"},
        Case{"#foreach($a.b in $list)#end",
             "1:10: '$a.b' cannot be assigned; write a plain name such as $a"},
        Case{"#parse('a.tl' 'b.tl')", "1:15: expected ')' in #parse"},
        Case{"#* open", "1:8: unexpected end of file: the comment #* opened at 1:1 needs a *#"},
        Case{"#if($a == )x#end", "1:11: expected a value in #if expression"},
        Case{"#if($a = 1)x#end", "1:8: '=' assigns; write '==' to compare in #if expression"},
        Case{"#if (($a)\nx",
             "2:2: unexpected end of file in #if expression: the '(' at 1:5 needs a ')'"},
        Case{"#if($a & $b)#end", "1:8: unexpected '&' in #if expression; write '&&'"},
        Case{"#if(foo)#end", "1:5: unexpected word 'foo' in #if expression"},
        Case{"#if($)#end", "1:5: expected a name after '$'"},
        Case{"#if(99999999999999999999)#end", "1:5: the number 99999999999999999999 is too large"},
        Case{"#set($x = \"abc)",
             "1:16: unexpected end of file: the string opened at 1:11 needs a closing \""},
        Case{"#if($x == \"a ${b\")#end", "1:17: expected '}' to close '${b'"},
        Case{"x ${name", "1:9: expected '}' to close '${name'"},
        Case{"$a.b($c",
             "1:8: unexpected end of file in the arguments of 'b': the '(' at 1:5 needs a ')'"},
        Case{"$a.b(,)", "1:6: expected a value in the arguments of 'b'"},
        Case{"#macro(row $a)x#end\n#row(1, 2)", "2:1: #row takes 1 argument, given 2"},
        Case{"#macro(row $a)#end#row($a &)",
             "1:27: unexpected '&' in the arguments of #row; write '&&'"},
        Case{"#macro(if $a)#end", "1:8: #if is a directive and cannot name a macro"},
        Case{"#macro(a $x $x)#end", "1:8: the macro #a names $x twice"},
        Case{"#macro(a)x#end #macro(a)y#end", "1:23: the macro #a is defined twice; first at 1:1"},
        Case{"#macro(a)\nx", "2:2: unexpected end of file: the #macro opened at 1:1 needs an #end"},
        Case{"#macro($a)#end", "1:8: #macro needs a name, such as #macro(row $item)"},
        Case{"a #[[ b", "1:3: unexpected end of file: the text #[[ opened at 1:3 needs a ]]#"}));

}  // namespace
