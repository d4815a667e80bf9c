// Running command lines: redirection, exit statuses, missing programs, the
// time limit and per-thread current directories.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/os/KxCommand.h"
#include "platform/os/KxOs.h"
#include "support/ScratchDir.h"

namespace os = kx::os;
namespace fs = std::filesystem;

namespace {

class RunCommandTest : public ::testing::Test {
  protected:
    static KxCString contents(const KxCString& path) {
        KxCString text;
        EXPECT_TRUE(os::readWholeFile(path, text)) << path;
        return text;
    }

    ScratchCwd cwd_;
};

// Restores the process-wide time limit when a test ends.
class TimeLimitGuard {
  public:
    explicit TimeLimitGuard(std::chrono::milliseconds limit) : saved_(os::commandTimeLimit()) {
        os::setCommandTimeLimit(limit);
    }
    ~TimeLimitGuard() { os::setCommandTimeLimit(saved_); }

  private:
    std::chrono::milliseconds saved_;
};

TEST_F(RunCommandTest, RedirectionReceivesStandardOutputAndError) {
    EXPECT_EQ(os::runCommand("echo hello   \"big world\" > out.txt"), 0);
    EXPECT_EQ(contents("out.txt"), "hello big world\n");

    EXPECT_EQ(os::runCommand("sh -c \"echo out; echo err 1>&2; exit 3\" >both.txt"), 3);
    EXPECT_EQ(contents("both.txt"), "out\nerr\n");

    // The file is truncated, not appended to.
    EXPECT_EQ(os::runCommand("echo x > out.txt"), 0);
    EXPECT_EQ(contents("out.txt"), "x\n");
}

TEST_F(RunCommandTest, BackslashesAndShellSyntaxReachTheProgramLiterally) {
    ASSERT_TRUE(os::makeDirectory("sub"));
    EXPECT_EQ(os::runCommand("printf %s home\\demo\\x $(touch x) `touch y` * ; | & > sub\\out.txt"),
              0);
    EXPECT_EQ(contents("sub/out.txt"), "home\\demo\\x$(touchx)`touchy`*;|&");
    EXPECT_FALSE(fs::exists("x"));
    EXPECT_FALSE(fs::exists("y"));
    EXPECT_EQ(os::runCommand("cat > out.txt"), 0) << "standard input is empty";
    EXPECT_EQ(contents("out.txt"), "");
}

struct StatusCase {
    const char* command;
    int status;
};

class RunCommandStatusTest : public RunCommandTest,
                             public ::testing::WithParamInterface<StatusCase> {};

TEST_P(RunCommandStatusTest, ReportsExitStatus) {
    EXPECT_EQ(os::runCommand(GetParam().command), GetParam().status) << GetParam().command;
}

INSTANTIATE_TEST_SUITE_P(Statuses, RunCommandStatusTest,
                         ::testing::Values(StatusCase{"true", 0}, StatusCase{"false", 1},
                                           StatusCase{"sh -c \"exit 7\"", 7},
                                           StatusCase{"sh -c \"kill -TERM $$\"", 128 + SIGTERM},
                                           StatusCase{"sh -c \"kill -KILL $$\"", 128 + SIGKILL}));

TEST_F(RunCommandTest, MissingOrUnstartableProgramsAreReportedInTheRedirectionFile) {
    EXPECT_EQ(os::runCommand("kx-no-such-program --flag > out.txt"), os::kCommandNotFound);
    EXPECT_EQ(contents("out.txt"), "kx-no-such-program: command not found\n");
    { os::openForWriting("script") << "#!/bin/sh\necho never\n"; }
    ASSERT_EQ(chmod("script", 0644), 0);
    EXPECT_EQ(os::runCommand("./script > out.txt"), 126);
    EXPECT_EQ(contents("out.txt").rfind("./script: ", 0), 0u);
}

TEST_F(RunCommandTest, UnreadableLinesRunNothingAndGiveStatus2WithTheReason) {
    // A stray quote in a field would carry "> out.txt" into the arguments.
    EXPECT_EQ(os::runCommand("touch made \"dir\"x\" name > out.txt"), 2);
    EXPECT_NE(contents("out.txt").find("a double quote is not closed"), KxCString::npos);
    // Without a plain file name at the end, the reason goes to standard error;
    // ">>" is not understood and the file it names is left untouched.
    { os::openForWriting("kept.txt") << "keep"; }
    testing::internal::CaptureStderr();
    EXPECT_EQ(os::runCommand("touch made \"x > \"my out\""), 2);
    EXPECT_EQ(os::runCommand("touch made >> kept.txt"), 2);
    const KxCString errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("not closed"), KxCString::npos) << errors;
    EXPECT_NE(errors.find("more than one"), KxCString::npos) << errors;
    EXPECT_EQ(contents("kept.txt"), "keep");
    EXPECT_FALSE(fs::exists("made"));
}

TEST_F(RunCommandTest, TimeLimitEndsTheProgramAndEverythingItStarted) {
    TimeLimitGuard guard(std::chrono::milliseconds(300));

    auto start = std::chrono::steady_clock::now();
    // The shell ignores SIGTERM, so only the follow-up SIGKILL ends it; the
    // background sleep is a grandchild that must be ended as well.
    int status =
        os::runCommand("sh -c \"trap '' TERM; sleep 30 & echo $! > pid.txt; wait\" > out.txt");
    auto elapsed = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(status, os::kCommandTimedOut);
    EXPECT_LT(elapsed, std::chrono::seconds(10));
    KxCString text = contents("out.txt");
    EXPECT_NE(text.find("sh: ended after the time limit of 0.3 s\n"), KxCString::npos) << text;

    const pid_t grandchild = std::atoi(contents("pid.txt").c_str());
    ASSERT_GT(grandchild, 0);
    // Once killed it may linger as a zombie until its new parent reaps it.
    bool gone = false;
    for (int i = 0; i < 200 && !gone; ++i) {
        KxCString stat;
        gone = !os::readWholeFile("/proc/" + std::to_string(grandchild) + "/stat", stat) ||
               stat.find(") Z") != KxCString::npos || stat.find(") X") != KxCString::npos;
        if (!gone) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    EXPECT_TRUE(gone) << "the background sleep " << grandchild << " is still running";
}

}  // namespace
