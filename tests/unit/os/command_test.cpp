// Command lines: splitting into words and a redirection, and running them with exit statuses,
// missing programs and the time limit.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/os/KxCommand.h"
#include "platform/os/KxOs.h"
#include "support/Files.h"
#include "support/ScratchDir.h"

namespace os = kx::os;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

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

class RunCommandTest : public ::testing::Test {
  protected:
    ScratchCwd cwd_;
};

TEST_F(RunCommandTest, RedirectionTruncatesAndReceivesStandardOutputAndError) {
    EXPECT_EQ(os::runCommand("echo hello   \"big world\" > out.txt"), 0);
    EXPECT_EQ(readFile("out.txt"), "hello big world\n");
    EXPECT_EQ(os::runCommand("sh -c \"echo out; echo err 1>&2; exit 3\" >out.txt"), 3);
    EXPECT_EQ(readFile("out.txt"), "out\nerr\n");
}

TEST_F(RunCommandTest, BackslashesAndShellSyntaxReachTheProgramLiterally) {
    ASSERT_TRUE(os::makeDirectory("sub"));
    EXPECT_EQ(os::runCommand("printf %s home\\demo\\x $(touch x) `touch y` * ; | & > sub\\out.txt"),
              0);
    EXPECT_EQ(readFile("sub/out.txt"), "home\\demo\\x$(touchx)`touchy`*;|&");
    EXPECT_FALSE(fs::exists("x"));
    EXPECT_FALSE(fs::exists("y"));
    EXPECT_EQ(os::runCommand("cat > out.txt"), 0) << "standard input is empty";
    EXPECT_EQ(readFile("out.txt"), "");
}

TEST_F(RunCommandTest, ExitStatusesAndProgramsThatCannotRun) {
    for (const auto& [command, status] : {std::pair{"true", 0},
                                          {"false", 1},
                                          {"sh -c \"exit 7\"", 7},
                                          {"sh -c \"kill -TERM $$\"", 128 + SIGTERM},
                                          {"sh -c \"kill -KILL $$\"", 128 + SIGKILL}}) {
        EXPECT_EQ(os::runCommand(command), status) << command;
    }
    // Missing or unstartable programs are reported in the redirection file.
    EXPECT_EQ(os::runCommand("kx-no-such-program --flag > out.txt"), os::kCommandNotFound);
    EXPECT_EQ(readFile("out.txt"), "kx-no-such-program: command not found\n");
    { os::openForWriting("script") << "#!/bin/sh\necho never\n"; }
    ASSERT_EQ(chmod("script", 0644), 0);
    EXPECT_EQ(os::runCommand("./script > out.txt"), 126);
    EXPECT_EQ(readFile("out.txt").rfind("./script: ", 0), 0u);
}

TEST_F(RunCommandTest, UnreadableLinesRunNothingAndGiveStatus2WithTheReason) {
    // A stray quote in a field would carry "> out.txt" into the arguments.
    EXPECT_EQ(os::runCommand("touch made \"dir\"x\" name > out.txt"), 2);
    EXPECT_NE(readFile("out.txt").find("a double quote is not closed"), KxCString::npos);
    // Without a plain file name at the end, the reason goes to standard error; ">>" is not
    // understood and the file it names is left untouched.
    { os::openForWriting("kept.txt") << "keep"; }
    testing::internal::CaptureStderr();
    EXPECT_EQ(os::runCommand("touch made \"x > \"my out\""), 2);
    EXPECT_EQ(os::runCommand("touch made >> kept.txt"), 2);
    const KxCString errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("not closed"), KxCString::npos) << errors;
    EXPECT_NE(errors.find("more than one"), KxCString::npos) << errors;
    EXPECT_EQ(readFile("kept.txt"), "keep");
    EXPECT_FALSE(fs::exists("made"));
}

TEST_F(RunCommandTest, TimeLimitEndsTheProgramAndEverythingItStarted) {
    const auto saved = os::commandTimeLimit();
    os::setCommandTimeLimit(300ms);
    const auto start = std::chrono::steady_clock::now();
    // The shell ignores SIGTERM, so only the follow-up SIGKILL ends it; the background sleep is
    // a grandchild that must be ended as well.
    const int status =
        os::runCommand("sh -c \"trap '' TERM; sleep 30 & echo $! > pid.txt; wait\" > out.txt");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    os::setCommandTimeLimit(saved);
    EXPECT_EQ(status, os::kCommandTimedOut);
    EXPECT_NE(readFile("out.txt").find("sh: ended after the time limit of 0.3 s\n"),
              KxCString::npos);
    // Once killed it may linger as a zombie until its new parent reaps it.
    const int grandchild = std::atoi(readFile("pid.txt").c_str());
    ASSERT_GT(grandchild, 0);
    const std::string stat = "/proc/" + std::to_string(grandchild) + "/stat";
    bool gone = false;
    for (int i = 0; i < 200 && !gone; ++i, std::this_thread::sleep_for(10ms)) {
        const std::string state = readFile(stat);
        gone = state.empty() || state.find(") Z") != std::string::npos ||
               state.find(") X") != std::string::npos;
    }
    EXPECT_TRUE(gone) << "the background sleep is still running: " << stat;
}

}  // namespace
