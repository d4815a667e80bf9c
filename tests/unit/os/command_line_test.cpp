// Splitting command lines into words and a redirection.
#include <gtest/gtest.h>

#include "platform/os/KxCommand.h"

namespace os = kx::os;

namespace {

TEST(ParseCommandLine, SplitsIntoWordsAndRedirection) {
    const struct {
        const char* text;
        std::vector<KxCString> arguments;
        std::optional<KxCString> redirectTo;
    } cases[] = {
        {"echo", {"echo"}, std::nullopt},
        {"  echo \t a   b  ", {"echo", "a", "b"}, std::nullopt},
        {"gen -D\"a b\" x", {"gen", "-Da b", "x"}, std::nullopt},
        {"gen \"\" x", {"gen", "", "x"}, std::nullopt},
        {"gen a\"\"b", {"gen", "ab"}, std::nullopt},
        {"java -jar home\\projects\\demo\\startup.properties",
         {"java", "-jar", "home\\projects\\demo\\startup.properties"},
         std::nullopt},
        {"echo $(touch x) `id` * ; | &",
         {"echo", "$(touch", "x)", "`id`", "*", ";", "|", "&"},
         std::nullopt},
        {"echo \">\" \"a > b\"", {"echo", ">", "a > b"}, std::nullopt},
        {"gen a > out.txt", {"gen", "a"}, "out.txt"},
        {"gen a >out.txt", {"gen", "a"}, "out.txt"},
        {"gen a>b", {"gen", "a"}, "b"},
        {"gen > \"my out\\file.txt\"  ", {"gen"}, "my out\\file.txt"},
    };
    for (const auto& c : cases) {
        const os::CommandLine line = os::parseCommandLine(c.text);
        EXPECT_EQ(line.arguments, c.arguments) << c.text;
        EXPECT_EQ(line.redirectTo, c.redirectTo) << c.text;
    }
    for (const char* bad : {"", "  \t ", "echo a >", "echo a >  ", "echo a > out.txt extra",
                            "echo > a > b", "echo >> out.txt", "> out.txt", "echo > \"\"",
                            "gen \"open to the end", "gen \"a\"b\" > out.txt"}) {
        EXPECT_THROW(os::parseCommandLine(bad), os::KxCommandError) << bad;
    }
}

}  // namespace
