// Command lines: the wizards' forms are accepted (with or without the
// compiler option, with user -D words), bad ones end with exit status 2 and a
// message on standard error, and --help prints the usage.
#include "GeneratorProject.h"

namespace gentest {
namespace {

class CommandLine : public GeneratorProject {};

TEST_F(CommandLine, BadLinesEndWithUsageErrorOnStandardErrorAndInErrorsXml) {
    writeProperties("server", {});
    write("in.wsdl", readFile(example("calculator.wsdl")));
    write("demoProject.xml", "<project projectName='demo'/>");
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"svcgen", "-bogus in.wsdl", "unknown option -bogus"},
        {"bindgen", "-noserver in.wsdl", "unknown option -noserver"},
        {"svcgen", "in.wsdl -properties", "the option -properties needs a value"},
        {"svcgen", "-properties startup.properties", "no input file given"},
        {"bindgen", "a.xsd in.wsdl", "more than one input file"},
        {"svcgen", "-D=1 in.wsdl", "the definition -D=1 has no name"},
        {"prjforge", "-properties startup.properties", "the option -projectFile is missing"},
        {"prjforge", "-projectFile demoProject.xml extra", "unexpected words: extra"}};
    for (const auto& [program, words, reason] : cases) {
        fs::remove("errors.xml");  // a shell keeps the two streams apart
        EXPECT_EQ(kx::os::runCommand("sh -c \"exec '" + tool(program) + "' " + words +
                                     " 2>stderr.txt >stdout.txt\""),
                  2);
        expectHas(read("stderr.txt"), {program + ": " + reason, "usage: " + program});
        EXPECT_TRUE(filesEndingIn(".h").empty());
        const auto records = errors();  // the status page sees the failure too
        ASSERT_EQ(records.size(), 1u);
        EXPECT_TRUE(has(records[0].message, reason)) << records[0];
    }
}

TEST_F(CommandLine, HelpPrintsTheUsageOfEachTool) {
    for (const char* program : {"svcgen", "bindgen", "prjforge"}) {
        EXPECT_EQ(run("\"" + tool(program) + "\" --help"), 0) << program;
        expectHas(log(), {std::string("usage: ") + program, "-properties"});
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
    expectHas(log(), {"option -Dcolour=blue (unknown, ignored)", "option -DkeepProject=false\n"});
    const auto records = errors();
    ASSERT_EQ(records.size(), 2u) << read("errors.xml");
    EXPECT_EQ(recordsAbout(records, {"-compiler has no value"}).size(), 1u);
    EXPECT_EQ(recordsAbout(records, {"unknown option -Dcolour=blue ignored"}).size(), 1u);
    EXPECT_TRUE(has(read("makefile"), "CXX = g++\n"));
}

}  // namespace
}  // namespace gentest
