// Splitting command lines into words and a redirection.
#include <gtest/gtest.h>

#include "platform/os/KxCommand.h"

namespace os = kx::os;

namespace {

struct SplitCase {
    const char* text;
    std::vector<KxCString> arguments;
    std::optional<KxCString> redirectTo;
};

void PrintTo(const SplitCase& c, std::ostream* out) {
    *out << '[' << c.text << ']';
}

class ParseCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(ParseCommandLineTest, SplitsIntoWordsAndRedirection) {
    const SplitCase& c = GetParam();
    os::CommandLine line = os::parseCommandLine(c.text);
    EXPECT_EQ(line.arguments, c.arguments);
    EXPECT_EQ(line.redirectTo, c.redirectTo);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseCommandLineTest,
    ::testing::Values(SplitCase{"echo", {"echo"}, std::nullopt},
                      SplitCase{"  echo \t a   b  ", {"echo", "a", "b"}, std::nullopt},
                      SplitCase{"gen -D\"a b\" x", {"gen", "-Da b", "x"}, std::nullopt},
                      SplitCase{"gen \"\" x", {"gen", "", "x"}, std::nullopt},
                      SplitCase{"gen a\"\"b", {"gen", "ab"}, std::nullopt},
                      SplitCase{"java -jar home\\projects\\demo\\startup.properties",
                                {"java", "-jar", "home\\projects\\demo\\startup.properties"},
                                std::nullopt},
                      SplitCase{"echo $(touch x) `id` * ; | &",
                                {"echo", "$(touch", "x)", "`id`", "*", ";", "|", "&"},
                                std::nullopt},
                      SplitCase{"echo \">\" \"a > b\"", {"echo", ">", "a > b"}, std::nullopt},
                      SplitCase{"gen a > out.txt", {"gen", "a"}, KxCString("out.txt")},
                      SplitCase{"gen a >out.txt", {"gen", "a"}, KxCString("out.txt")},
                      SplitCase{"gen a>b", {"gen", "a"}, KxCString("b")},
                      SplitCase{
                          "gen > \"my out\\file.txt\"  ", {"gen"}, KxCString("my out\\file.txt")}));

class ParseCommandLineErrorTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ParseCommandLineErrorTest, Throws) {
    EXPECT_THROW(os::parseCommandLine(GetParam()), os::KxCommandError);
}

INSTANTIATE_TEST_SUITE_P(Lines, ParseCommandLineErrorTest,
                         ::testing::Values("", "  \t ", "echo a >", "echo a >  ",
                                           "echo a > out.txt extra", "echo > a > b",
                                           "echo >> out.txt", "> out.txt", "echo > \"\"",
                                           "gen \"open to the end", "gen \"a\"b\" > out.txt"));

}  // namespace
