#include "orvowizard/runs/KxBuildDiagnostics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "support/Files.h"
#include "support/ScratchDir.h"

namespace {

using Kind = KxBuildDiagnostic::Kind;

struct Compiler {
    std::string name;
    std::string command;
    std::string colour;  // the flag that forces colour codes
    friend void PrintTo(const Compiler& compiler, std::ostream* out) { *out << compiler.name; }
};

bool onPath(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a command in dir and returns what it printed on both streams.
std::string run(const ScratchDir& dir, const std::string& command) {
    const std::string console = dir / "console.txt";
    std::system(("cd '" + dir.str() + "' && " + command + " >'" + console + "' 2>&1").c_str());
    return readFile(console);
}

// "error file:line:column", the place and kind of one entry.
std::string where(const KxBuildDiagnostic& entry) {
    return (entry.kind == Kind::Error ? "error " : "warning ") + entry.file + ":" +
           std::to_string(entry.line) + ":" + std::to_string(entry.column);
}

bool hasLine(const KxBuildDiagnostic& entry, const std::string& part) {
    return std::any_of(entry.context.begin(), entry.context.end(),
                       [&](const std::string& line) { return line.find(part) != line.npos; });
}

class BuildDiagnosticsTest : public testing::TestWithParam<Compiler> {
  protected:
    void SetUp() override {
        if (!onPath(GetParam().name)) {
            GTEST_SKIP() << GetParam().name << " is not installed";
        }
    }
    KxBuildDiagnostics build(const std::string& arguments) {
        console = run(dir, GetParam().command + " " + arguments);
        return readBuildDiagnostics(console);
    }
    bool gcc() const { return GetParam().name == "g++"; }

    ScratchDir dir;
    std::string console;
};

// Errors and warnings of sources with their excerpts, the include chain of a
// header's error and the instantiation chain and notes of a template's.
TEST_P(BuildDiagnosticsTest, CompileErrorsAndWarningsWithWhatExplainsThem) {
    dir.write("plain.cpp", "int f() {\n    int x = \"a\";\n    return x;\n}\n");
    dir.write("unused.cpp", "int g() {\n    int unused = 3;\n    return 0;\n}\n");
    dir.write("bad.h", "inline int g() { return undeclared_name; }\n");
    dir.write("inc.cpp", "#include \"bad.h\"\nint h() { return g(); }\n");
    dir.write("tmpl.cpp",
              "void take(int);\nvoid take(const char*);\ntemplate <typename T>\n"
              "void pass(T t) {\n    take(t);\n}\nstruct Box {};\nvoid use() { pass(Box{}); }\n");
    const std::string arguments = "-Wall -Wextra -c plain.cpp unused.cpp inc.cpp tmpl.cpp";
    const auto plain = build(arguments);
    ASSERT_EQ(plain.entries.size(), 4u) << console;
    const auto& error = plain.entries[0];
    EXPECT_EQ(where(error), gcc() ? "error plain.cpp:2:13" : "error plain.cpp:2:9");
    EXPECT_TRUE(hasLine(error, "int x = \"a\";")) << console;
    EXPECT_TRUE(hasLine(error, "^"));
    const auto& warning = plain.entries[1];
    EXPECT_EQ(where(warning), "warning unused.cpp:2:9");
    EXPECT_NE(warning.message.find("unused variable"), std::string::npos);
    EXPECT_TRUE(warning.message.ends_with("[-Wunused-variable]"));
    EXPECT_TRUE(hasLine(warning, "int unused = 3;"));

    const auto& header = plain.entries[2];
    EXPECT_EQ(where(header), gcc() ? "error bad.h:1:25" : "error ./bad.h:1:25");
    EXPECT_NE(header.message.find("undeclared_name"), std::string::npos);
    ASSERT_FALSE(header.context.empty());
    EXPECT_EQ(header.context[0], "In file included from inc.cpp:1:");
    const auto& tmpl = plain.entries[3];
    EXPECT_EQ(where(tmpl), gcc() ? "error tmpl.cpp:5:9" : "error tmpl.cpp:5:5");
    EXPECT_NE(tmpl.message.find("no matching function"), std::string::npos);
    EXPECT_TRUE(hasLine(tmpl, gcc() ? "tmpl.cpp:8:18:   required from here"
                                    : "tmpl.cpp:8:14: note: in instantiation"))
        << console;
    EXPECT_TRUE(hasLine(tmpl, "tmpl.cpp:2:6: note: candidate"));
    EXPECT_TRUE(hasLine(tmpl, "void take(const char*);"));

    // The same output in colour reads the same.
    const auto coloured = build(arguments + " " + GetParam().colour);
    ASSERT_NE(console.find('\x1b'), std::string::npos);
    ASSERT_EQ(coloured.entries.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(coloured.entries[i].message, plain.entries[i].message);
        EXPECT_EQ(coloured.entries[i].context, plain.entries[i].context);
    }
}

TEST_P(BuildDiagnosticsTest, UndefinedReferenceIsOneLinkError) {
    dir.write("link.cpp", "int missing(int);\nint main() { return missing(1); }\n");
    const auto read = build("link.cpp -o link");
    ASSERT_EQ(read.entries.size(), 1u) << console;
    const auto& error = read.entries[0];
    EXPECT_EQ(where(error), "error link.cpp:-1:-1");
    EXPECT_EQ(error.message, "undefined reference to `missing(int)'");
    EXPECT_TRUE(hasLine(error, "in function `main':"));
    EXPECT_TRUE(hasLine(error, gcc() ? "ld returned 1 exit status" : "linker command failed"));
}

INSTANTIATE_TEST_SUITE_P(
    Compilers, BuildDiagnosticsTest,
    testing::Values(
        Compiler{"g++", "g++ -std=c++20 -fdiagnostics-color=never", "-fdiagnostics-color=always"},
        Compiler{"clang++", "clang++ -std=c++20 -fno-color-diagnostics", "-fcolor-diagnostics"}),
    [](const auto& info) { return info.param.name == "g++" ? "Gcc" : "Clang"; });

TEST(BuildDiagnostics, MakeReportsOnlyFailuresOfItsOwn) {
    if (!onPath("make")) {
        GTEST_SKIP() << "make is not installed";
    }
    ScratchDir dir;
    dir.write("norule.mk", "all: x.o\nx.o: nope.cpp\n\ttrue\n");
    dir.write("separator.mk", "all:\nfoo\n");
    dir.write("failing.mk", "all:\n\tfalse\n");

    const auto noRule = readBuildDiagnostics(run(dir, "make -f norule.mk"));
    ASSERT_EQ(noRule.entries.size(), 1u);
    EXPECT_EQ(noRule.entries[0].message, "No rule to make target 'nope.cpp', needed by 'x.o'.");
    const auto separator = readBuildDiagnostics(run(dir, "make -f separator.mk"));
    ASSERT_EQ(separator.entries.size(), 1u);
    EXPECT_EQ(where(separator.entries[0]), "error separator.mk:2:-1");
    EXPECT_EQ(separator.entries[0].message, "missing separator.");
    EXPECT_TRUE(readBuildDiagnostics(run(dir, "make -f failing.mk")).entries.empty());
}

TEST(BuildDiagnostics, BoundsAndLineEnds) {
    const std::string error = "a.cpp:1:2: error: e\r\n";
    EXPECT_FALSE(readBuildDiagnostics(error + error, 2).truncated);
    const auto cut = readBuildDiagnostics(error + error + error, 2);
    EXPECT_EQ(cut.entries.size(), 2u);
    EXPECT_TRUE(cut.truncated);
    EXPECT_EQ(cut.entries[1].message, "e");

    std::string notes;
    for (int i = 0; i < 30; ++i) {
        notes += "a.cpp:" + std::to_string(i + 1) + ":1: note: n\n";
    }
    const auto read = readBuildDiagnostics(
        "\x1b[01m\x1b[Ka.cpp:7:3:\x1b[m\x1b[K \x1b[01;31m\x1b[Kerror: \x1b[m\x1b[K" +
        std::string(10000, 'x') + "\n" + notes);
    ASSERT_EQ(read.entries.size(), 1u);
    EXPECT_EQ(where(read.entries[0]), "error a.cpp:7:3");
    EXPECT_EQ(read.entries[0].message, std::string(kMaxDiagnosticLineBytes - 18, 'x'));
    EXPECT_EQ(read.entries[0].context.size(), kMaxDiagnosticContextLines);
    EXPECT_EQ(read.entries[0].context.back(), "a.cpp:20:1: note: n");
}

}  // namespace
