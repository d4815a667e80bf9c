// The generators' support stage on its own: names made into C++
// identifiers, escaping for each destination, build names and project
// folders, command-line words and errors.xml.
#include <gtest/gtest.h>

#include <sstream>

#include "generators/support/CommandLine.h"
#include "generators/support/Diagnostics.h"
#include "generators/support/Text.h"
#include "platform/xml/KxXmlTree.h"

namespace {

using namespace kx;
using namespace kx::gen;

TEST(Text, IdentifiersAreValidCppNames) {
    // Each name before '>', the identifier after it.
    std::istringstream cases(
        "Operands>Operands size-in-bytes>size_in_bytes a.b:c>a_b_c 1st>x_1st _Hidden>x_Hidden "
        "class>class_ delete>delete_ main>main_ caf\xc3\xa9>caf__ >x_");
    for (std::string c; cases >> c;) {
        EXPECT_EQ(identifier(c.substr(0, c.find('>'))), c.substr(c.find('>') + 1));
    }
}

TEST(Text, PropertyPathsLoseTheirDoubledBackslashesOnly) {
    EXPECT_EQ(undoubleBackslashes("C:\\\\work\\\\demo"), "C:\\work\\demo");
    EXPECT_EQ(undoubleBackslashes("a\\b"), "a\\b");
    EXPECT_EQ(undoubleBackslashes("a\\\\\\b"), "a\\\\b");
    EXPECT_EQ(undoubleBackslashes("/plain/path"), "/plain/path");
}

// Hostile text bound for each destination: nothing in it may end a comment,
// splice a line or leave the literal.
TEST(Text, EscapingKeepsTheTextInertWhereItLands) {
    struct Case {
        const char* label;
        std::string input;
        std::string comment;  // cppComment with the indent "  "
        std::string xml;
        std::string literal;
    } const cases[] = {
        {"line_breaks", "a\nint x;\r\n#error y\rz", "  // a\n  // int x;\n  // #error y\n  // z\n",
         "a&#10;int x;&#13;&#10;#error y&#13;z", "\"a\\nint x;\\015\\n#error y\\015z\""},
        {"comment_ends", "*/ code(); /* //", "  // * / code(); / * //\n", "*/ code(); /* //",
         "\"*/ code(); /* //\""},
        {"line_splices", "one \\\ntwo\\  \nthree?\?/",
         "  // one \\.\n  // two\\.\n  // three?\?/.\n", "one \\&#10;two\\  &#10;three?\?/",
         "\"one \\\\\\ntwo\\\\  \\nthree\\?\\?/\""},
        {"controls_digits_and_bidi",
         std::string("a\x01"
                     "7\x0b\x7f") +
             "\xE2\x80\xAE" + "b\t",
         "  // a 7   b\n",
         "a\xEF\xBF\xBD"
         "7\xEF\xBF\xBD\x7f\xE2\x80\xAE"
         "b&#9;",
         "\"a\\0017\\013\\177\\342\\200\\256b\\011\""},
        {"broken_utf8_and_quotes", "\"q\" \xff<>&", "  // \"q\" \xff<>&\n",
         "&quot;q&quot; \xEF\xBF\xBD&lt;&gt;&amp;", "\"\\\"q\\\" \\377<>&\""},
        {"empty", "", "  //\n", "", "\"\""}};
    for (const Case& c : cases) {
        EXPECT_EQ(cppComment(c.input, "  "), c.comment) << c.label;
        EXPECT_EQ(xmlEscape(c.input), c.xml) << c.label;
        EXPECT_EQ(cppLiteral(c.input), c.literal) << c.label;
    }
}

TEST(Text, XmlCommentsNeverHoldTwoDashes) {
    EXPECT_EQ(xmlCommentText("a--b-->c-"), "a- -b- -&gt;c- ");
    EXPECT_EQ(shownValue("a\n\tb\r\x01"), "a\\n\\tb\\r\\x01");
}

// Names for build files are refused with the first unsafe character.
TEST(Text, BuildNameProblems) {
    for (const auto& [name, problem] :
         {std::pair{"HelloServlet", ""},
          {"my-lib_2.0+x", ""},
          {"Caf\xC3\xA9", ""},
          {"", "it is empty"},
          {"..", "it names a directory, not a file"},
          {"-rf", "it starts with '-'"},
          {"pn$(shell touch X)", "it holds the character '$'"},
          {"a\n\tall:", "it holds a line break"},
          {"a b", "it holds white space"},
          {"a\x1b", "it holds the control character \\x1b"},
          {"../../../outside/Evil", "it holds the path separator '/'"},
          {"a\\b", "it holds the path separator '\\'"}}) {
        EXPECT_EQ(buildNameProblem(name).value_or(""), problem) << name;
    }
    for (const char c : std::string(";&#=%:'`")) {
        EXPECT_EQ(buildNameProblem(std::string("x") + c + "y").value_or(""),
                  std::string("it holds the character '") + c + "'");
    }
}

TEST(Text, ProjectDirectoriesStayInsideTheProject) {
    for (const char* inside : {"", "gen", "gen/src", "gen\\src", "a..b", "./gen"}) {
        EXPECT_FALSE(projectDirectoryProblem(inside)) << inside;
    }
    for (const char* outside : {"/tmp/x", "\\\\server\\share", "C:\\work", "..", "../x",
                                "gen/../../x", "gen\\..\\..\\x"}) {
        EXPECT_TRUE(projectDirectoryProblem(outside)) << outside;
    }
}

TEST(CommandWords, DefinitionsOptionsAndInputsAreSeparated) {
    const std::vector<OptionSpec> specs = {{"-properties", OptionSpec::Value},
                                           {"-noserver", OptionSpec::Flag},
                                           {"-compiler", OptionSpec::OptionalValue}};
    const Arguments arguments =
        parseArguments({"-noserver", "-properties", "C:\\p\\startup.properties", "-Da=1", "-Dflag",
                        "-compiler", "-Db=x=y", "in.wsdl"},
                       specs);
    EXPECT_TRUE(arguments.has("-noserver"));
    EXPECT_EQ(arguments.value("-properties"), "C:\\p\\startup.properties");
    EXPECT_EQ(arguments.value("-compiler"), "");
    EXPECT_EQ(arguments.missingValues, std::vector<KxCString>{"-compiler"});
    using Definition = std::pair<KxCString, KxCString>;
    EXPECT_EQ(arguments.definitions,
              (std::vector<Definition>{{"a", "1"}, {"flag", "true"}, {"b", "x=y"}}));
    EXPECT_EQ(arguments.inputs, std::vector<KxCString>{"in.wsdl"});
    // A value that is an option is a missing value.
    EXPECT_THROW(parseArguments({"-properties", "-noserver"}, specs), UsageError);
}

// Read back in full by the generator tests; here, what is left out.
TEST(ErrorXml, LeavesOutWhatIsUnknown) {
    Diagnostics diagnostics;
    diagnostics.warning("plain");
    diagnostics.error("at a line", SourceFile{"in.xsd", "/p/in.xsd"}, Location{4, 0});
    const std::string text = toErrorFile(diagnostics);
    EXPECT_EQ(text.substr(0, text.find('\n')), "<Warning><message>plain</message></Warning>");
    EXPECT_NE(text.find("<location line=\"4\"><publicId>"), std::string::npos) << text;
    EXPECT_EQ(diagnostics.errorCount(), 1u);
    EXPECT_EQ(toLogLine(diagnostics.all()[1]), "error: in.xsd:4: at a line");
}

// What is read before a fault is kept (the generators report from it) is
// covered end to end; these documents have no usable root at all.
TEST(ElementTree, EmptyAndTwoRootedDocumentsAreFaults) {
    EXPECT_TRUE(parseXmlDocument("").fault);
    EXPECT_TRUE(parseXmlDocument("<a/><b/>").fault);
}

}  // namespace
