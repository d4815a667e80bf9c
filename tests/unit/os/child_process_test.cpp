// Long-running child processes: directory and files, stopping the whole
// process group, the SIGKILL after the grace, an exit on its own, start
// failures, and the tie to this program's life (a thread that ends does not
// end the child; a killed parent does).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "platform/os/KxChildProcess.h"
#include "support/ScratchDir.h"

namespace os = kx::os;
using namespace std::chrono_literals;

extern char** environ;

namespace {

std::string contents(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Polls a condition every 10 ms for at most limit.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5s) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// Waits until a file holds a complete line and returns it without the line end.
std::string lineOf(const std::string& path) {
    std::string text;
    eventually([&] {
        text = contents(path);
        return text.find('\n') != std::string::npos;
    });
    return text.substr(0, text.find('\n'));
}

// A process that no longer exists, or a zombie that nobody has reaped yet.
bool gone(pid_t pid) {
    std::string stat = contents("/proc/" + std::to_string(pid) + "/stat");
    auto close = stat.rfind(')');
    return stat.empty() || (close != std::string::npos && close + 2 < stat.size() &&
                            (stat[close + 2] == 'Z' || stat[close + 2] == 'X'));
}

class ChildProcessTest : public ::testing::Test {
  protected:
    os::ChildProcessSpec spec(std::string script) const {
        return {
            {"/bin/sh", "-c", std::move(script)}, dir_.str(), dir_ / "out.log", dir_ / "err.log"};
    }

    ScratchDir dir_;
};

TEST_F(ChildProcessTest, RunsInItsDirectoryWithItsFilesUntilStopped) {
    const std::string work = dir_.mkdir("work");
    // A descriptor of this process without close-on-exec must not reach the child.
    const int stray = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(stray, 3);
    os::ChildProcessSpec job =
        spec("pwd; echo err >&2; test -e /proc/$$/fd/" + std::to_string(stray) +
             " && echo leaked; read x && echo stdin; echo done; exec sleep 30");
    std::string systemForm = work;
    std::replace(systemForm.begin(), systemForm.end(), '/', '\\');
    job.directory = systemForm;

    auto child = os::KxChildProcess::start(job);
    ::close(stray);
    ASSERT_TRUE(
        eventually([&] { return contents(dir_ / "out.log").find("done\n") != std::string::npos; }));
    EXPECT_EQ(contents(dir_ / "out.log"), work + "\ndone\n");
    EXPECT_EQ(contents(dir_ / "err.log"), "err\n");
    EXPECT_TRUE(child->running());
    EXPECT_FALSE(child->exitStatus());

    EXPECT_EQ(child->stop(2s), 128 + SIGTERM);
    EXPECT_FALSE(child->running());
    EXPECT_EQ(child->exitStatus(), 128 + SIGTERM);
    EXPECT_EQ(child->stop(2s), 128 + SIGTERM) << "a second stop reports the same";
}

TEST_F(ChildProcessTest, StopReachesTheWholeGroupAndKillsAfterTheGrace) {
    // A background grandchild gets SIGTERM too, and the rest of the grace to act on it.
    auto child = os::KxChildProcess::start(
        spec("sh -c 'trap \"sleep 0.2; echo bye > bye.txt; exit 0\" TERM; echo $$ > bg.pid; "
             "while :; do sleep 0.05; done' & exec sleep 30"));
    const pid_t grandchild = std::stoi(lineOf(dir_ / "bg.pid"));
    EXPECT_EQ(child->stop(5s), 128 + SIGTERM);
    EXPECT_TRUE(eventually([&] { return gone(grandchild); }));
    EXPECT_EQ(contents(dir_ / "bye.txt"), "bye\n");

    // A program deaf to SIGTERM, with a child just as deaf, is killed after the grace.
    auto deaf = os::KxChildProcess::start(
        spec("trap '' TERM; sleep 30 & echo $! > deaf.pid; while :; do sleep 1; done"));
    const pid_t deafChild = std::stoi(lineOf(dir_ / "deaf.pid"));
    auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(deaf->stop(300ms), 128 + SIGKILL);
    EXPECT_GE(std::chrono::steady_clock::now() - before, 300ms);
    EXPECT_TRUE(eventually([&] { return gone(deafChild); }));
}

TEST_F(ChildProcessTest, ReportsAnExitOfItsOwn) {
    auto child = os::KxChildProcess::start(spec("exit 3"));
    ASSERT_TRUE(eventually([&] { return !child->running(); }));
    EXPECT_EQ(child->exitStatus(), 3);
    EXPECT_EQ(child->stop(1s), 3);
}

TEST_F(ChildProcessTest, StartFailuresNameTheirCause) {
    auto failure = [](const os::ChildProcessSpec& job) -> std::string {
        try {
            os::KxChildProcess::start(job);
        } catch (const os::KxChildProcessError& error) {
            return error.why();
        }
        return "started";
    };
    os::ChildProcessSpec missing = spec("");
    missing.arguments = {dir_ / "no-such-program"};
    EXPECT_EQ(failure(missing),
              "cannot start " + (dir_ / "no-such-program") + ": No such file or directory");

    // Found but not executable: the exec's own reason, not a status 127.
    missing.arguments = {dir_.write("plain.txt", "text")};
    EXPECT_NE(failure(missing).find("plain.txt: Permission denied"), std::string::npos);

    os::ChildProcessSpec nowhere = spec("exit 0");
    nowhere.directory = dir_ / "absent";
    EXPECT_NE(failure(nowhere).find("working directory " + (dir_ / "absent")), std::string::npos);

    os::ChildProcessSpec unwritable = spec("exit 0");
    unwritable.outputFile = dir_ / "absent/out.log";
    EXPECT_NE(failure(unwritable).find("absent/out.log"), std::string::npos);
}

TEST_F(ChildProcessTest, OutlivesTheThreadThatStartedIt) {
    std::unique_ptr<os::KxChildProcess> child;
    std::thread([&] { child = os::KxChildProcess::start(spec("echo up; exec sleep 30")); }).join();
    ASSERT_EQ(lineOf(dir_ / "out.log"), "up");
    // A parent-death signal tied to the ended thread would arrive at once.
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(child->running());
    EXPECT_EQ(child->stop(2s), 128 + SIGTERM);
}

// When EndsWhenItsParentIsKilled starts this program again as its helper,
// the program only starts a child, writes its pid, and waits to be killed.
[[maybe_unused]] const bool kRunAsHelper = [] {
    const char* folder = std::getenv("KX_CHILD_HELPER_DIR");
    if (folder == nullptr) {
        return false;
    }
    const std::string dir = folder;
    auto child = os::KxChildProcess::start(
        {{"/bin/sleep", "30"}, dir, dir + "/sleep.out", dir + "/sleep.err"});
    std::ofstream(dir + "/child.tmp") << child->pid() << "\n";
    std::rename((dir + "/child.tmp").c_str(), (dir + "/child.pid").c_str());
    std::this_thread::sleep_for(30s);
    std::_Exit(0);
}();

TEST_F(ChildProcessTest, EndsWhenItsParentIsKilled) {
    std::vector<std::string> environment = {"KX_CHILD_HELPER_DIR=" + dir_.str()};
    for (char** entry = environ; *entry != nullptr; ++entry) {
        environment.emplace_back(*entry);
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::string self = "/proc/self/exe";
    char* argv[] = {self.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t helper = -1;
    ASSERT_EQ(::posix_spawn(&helper, self.c_str(), &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);

    const std::string line = lineOf(dir_ / "child.pid");
    ASSERT_FALSE(line.empty()) << "the helper started no child";
    const pid_t grandchild = std::stoi(line);
    EXPECT_FALSE(gone(grandchild));
    ::kill(helper, SIGKILL);
    int status = 0;
    ::waitpid(helper, &status, 0);
    EXPECT_TRUE(eventually([&] { return gone(grandchild); }))
        << "the child outlived its killed parent";
    if (!gone(grandchild)) {
        ::kill(grandchild, SIGKILL);
    }
}

}  // namespace
