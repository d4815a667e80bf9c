// Command lines: the wizards' forms are accepted (with or without the
// compiler option, with user -D words), bad ones end with exit status 2 and a
// message on standard error, and --help prints the usage.
#include "GeneratorProject.h"

namespace gentest {
namespace {

struct BadLine {
    const char* label;
    std::string program;
    std::string words;
    std::string reason;  // expected on standard error
};

std::ostream& operator<<(std::ostream& out, const BadLine& c) {
    return out << c.label;
}

class BadCommandLines : public GeneratorProject, public ::testing::WithParamInterface<BadLine> {};

TEST_P(BadCommandLines, EndWithUsageErrorOnStandardError) {
    const BadLine& c = GetParam();
    writeProperties("server", {});
    write("in.wsdl", readFile(example("calculator.wsdl")));
    write("demoProject.xml", "<project projectName='demo'/>");
    // A shell keeps the two streams apart.
    const int status = kx::os::runCommand("sh -c \"exec '" + tool(c.program) + "' " + c.words +
                                          " 2>stderr.txt >stdout.txt\"");
    EXPECT_EQ(status, 2);
    const std::string error = read("stderr.txt");
    EXPECT_NE(error.find(c.program + ": " + c.reason), std::string::npos) << error;
    EXPECT_NE(error.find("usage: " + c.program), std::string::npos) << error;
    EXPECT_TRUE(filesEndingIn(".h").empty());
    // The status page sees the failure too.
    const auto records = errors();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_NE(records[0].message.find(c.reason), std::string::npos) << records[0];
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadCommandLines,
    ::testing::Values(
        BadLine{"unknown option", "svcgen", "-bogus in.wsdl", "unknown option -bogus"},
        BadLine{"option of another tool", "bindgen", "-noserver in.wsdl",
                "unknown option -noserver"},
        BadLine{"properties without value", "svcgen", "in.wsdl -properties",
                "the option -properties needs a value"},
        BadLine{"no input", "svcgen", "-properties startup.properties", "no input file given"},
        BadLine{"two inputs", "bindgen", "a.xsd in.wsdl", "more than one input file"},
        BadLine{"definition without name", "svcgen", "-D=1 in.wsdl",
                "the definition -D=1 has no name"},
        BadLine{"no project file", "prjforge", "-properties startup.properties",
                "the option -projectFile is missing"},
        BadLine{"stray word", "prjforge", "-projectFile demoProject.xml extra",
                "unexpected words: extra"}));

class CommandLine : public GeneratorProject {};

TEST_F(CommandLine, HelpPrintsTheUsageOfEachTool) {
    for (const char* program : {"svcgen", "bindgen", "prjforge"}) {
        EXPECT_EQ(run("\"" + tool(program) + "\" --help"), 0) << program;
        const std::string text = log();
        EXPECT_NE(text.find(std::string("usage: ") + program), std::string::npos) << text;
        EXPECT_NE(text.find("-properties"), std::string::npos) << text;
    }
    EXPECT_FALSE(exists("errors.xml"));
}

// The wizard's line when the compiler key is empty: the next word is an
// option. User definitions are logged; unknown ones are also a warning.
TEST_F(CommandLine, CompilerOptionWithoutKeyAndUserDefinitionsAreWarnings) {
    writeProperties("foundation", {"make=true"});
    EXPECT_EQ(run("\"" + tool("bindgen") + "\" -properties \"" + propertiesPath() +
                  "\" -compiler -Dcolour=blue -DkeepProject=false \"" +
                  example("purchaseorder.xsd") + "\""),
              0)
        << log();
    EXPECT_NE(log().find("option -Dcolour=blue (unknown, ignored)"), std::string::npos) << log();
    EXPECT_NE(log().find("option -DkeepProject=false\n"), std::string::npos) << log();
    const auto records = errors();
    ASSERT_EQ(records.size(), 2u) << read("errors.xml");
    EXPECT_EQ(recordsAbout(records, {"-compiler has no value"}).size(), 1u);
    EXPECT_EQ(recordsAbout(records, {"unknown option -Dcolour=blue ignored"}).size(), 1u);
    EXPECT_NE(read("makefile").find("CXX = g++\n"), std::string::npos);
}

}  // namespace
}  // namespace gentest
