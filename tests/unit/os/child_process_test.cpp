// Long-running child processes: directory and files, stopping the whole group, start failures,
// and the tie to this program's life (a thread that ends does not end the child; a killed parent
// does).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <future>
#include <thread>

#include "platform/os/KxChildProcess.h"
#include "support/Files.h"
#include "support/ScratchDir.h"

namespace os = kx::os;
using namespace std::chrono_literals;

namespace {

// Polls a condition every 10 ms for at most 5 s.
bool eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 500; ++i, std::this_thread::sleep_for(10ms)) {
        if (condition()) {
            return true;
        }
    }
    return false;
}

// The pid written in a file, once it holds a line.
pid_t pidIn(const std::string& path) {
    eventually([&] { return readFile(path).find('\n') != std::string::npos; });
    return std::stoi(readFile(path));
}

// A process that no longer exists, or a zombie that nobody has reaped yet.
bool gone(pid_t pid) {
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const auto state = stat.rfind(") ");
    return state == std::string::npos || stat[state + 2] == 'Z' || stat[state + 2] == 'X';
}
bool ends(pid_t pid) {
    return eventually([pid] { return gone(pid); });
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
    // This program's input, and its descriptors without close-on-exec below and above those of
    // the start, do not reach the child.
    int typed[2];
    ASSERT_EQ(::pipe(typed), 0);
    ASSERT_EQ(::write(typed[1], "typed\n", 6), 6);
    const int input = ::dup(0), high = ::fcntl(typed[0], F_DUPFD, 200);
    ::dup2(typed[0], 0);
    os::ChildProcessSpec job =
        spec("pwd; echo err >&2; test -e /proc/$$/fd/" + std::to_string(typed[0]) +
             " -o -e /proc/$$/fd/" + std::to_string(high) +
             " && echo leaked; read x && echo $x; echo done; exec sleep 30");
    const std::string work = dir_.mkdir("work");
    job.directory = work;
    std::replace(job.directory.begin(), job.directory.end(), '/', '\\');  // the system's form

    // Started from a thread that ends at once: a parent-death signal tied to it would come.
    auto child = std::async(std::launch::async, os::KxChildProcess::start, job).get();
    ::dup2(input, 0);
    for (int fd : {input, high, typed[0], typed[1]}) {
        ::close(fd);
    }
    ASSERT_TRUE(
        eventually([&] { return readFile(dir_ / "out.log").find("done\n") != std::string::npos; }));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(readFile(dir_ / "out.log"), work + "\ndone\n");
    EXPECT_EQ(readFile(dir_ / "err.log"), "err\n");
    EXPECT_TRUE(child->running());
    EXPECT_EQ(child->stop(2s), 128 + SIGTERM);
    EXPECT_EQ(child->stop(2s), 128 + SIGTERM) << "a second stop reports the same";

    auto own = os::KxChildProcess::start(spec("exit 3"));
    ASSERT_TRUE(eventually([&] { return !own->running(); }));
    EXPECT_EQ(own->stop(1s), 3);
}

TEST_F(ChildProcessTest, StopReachesTheWholeGroupAndKillsAfterTheGrace) {
    // A background grandchild gets SIGTERM too, and the rest of the grace to act on it.
    auto child = os::KxChildProcess::start(
        spec("sh -c 'trap \"sleep 0.2; echo bye > bye.txt; exit 0\" TERM; echo $$ > bg.pid; "
             "while :; do sleep 0.05; done' & exec sleep 30"));
    const pid_t grandchild = pidIn(dir_ / "bg.pid");
    EXPECT_EQ(child->stop(5s), 128 + SIGTERM);
    EXPECT_TRUE(ends(grandchild));
    EXPECT_EQ(readFile(dir_ / "bye.txt"), "bye\n");

    // A program deaf to SIGTERM, with a child just as deaf, is killed after the grace.
    auto deaf = os::KxChildProcess::start(
        spec("trap '' TERM; sleep 30 & echo $! > deaf.pid; while :; do sleep 1; done"));
    const pid_t deafChild = pidIn(dir_ / "deaf.pid");
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(deaf->stop(300ms), 128 + SIGKILL);
    EXPECT_GE(std::chrono::steady_clock::now() - before, 300ms);
    EXPECT_TRUE(ends(deafChild));
}

TEST_F(ChildProcessTest, StartFailuresNameTheirCause) {
    const std::string sh = "/bin/sh", missing = dir_ / "no-such-program";
    const struct {
        std::string program, directory, output, why;
    } cases[] = {
        {missing, dir_.str(), dir_ / "out.log",
         "cannot start " + missing + ": No such file or directory"},
        // Found but not executable: the exec's own reason, not a status 127.
        {dir_.write("plain.txt", "text"), dir_.str(), dir_ / "out.log",
         "plain.txt: Permission denied"},
        {sh, dir_ / "absent", dir_ / "out.log", "working directory " + (dir_ / "absent") + ": "},
        {sh, dir_.str(), dir_ / "absent/out.log", "absent/out.log: "},
    };
    for (const auto& c : cases) {
        try {
            os::KxChildProcess::start({{c.program}, c.directory, c.output, dir_ / "err.log"});
            ADD_FAILURE() << "started despite " << c.why;
        } catch (const os::KxChildProcessError& error) {
            EXPECT_NE(error.why().find(c.why), std::string::npos) << error.why();
        }
    }
}

// With KX_CHILD_HELPER_DIR set, this program only starts a child, writes its pid, and waits.
[[maybe_unused]] const bool kRunAsHelper = [] {
    const char* dir = std::getenv("KX_CHILD_HELPER_DIR");
    if (dir == nullptr) {
        return false;
    }
    const std::string folder = dir;
    auto child = os::KxChildProcess::start(
        {{"/bin/sleep", "30"}, folder, folder + "/sleep.out", folder + "/sleep.err"});
    std::ofstream(folder + "/child.pid") << child->pid() << "\n" << std::flush;
    std::this_thread::sleep_for(30s);
    std::_Exit(0);
}();

TEST_F(ChildProcessTest, EndsWhenItsParentIsKilled) {
    ::setenv("KX_CHILD_HELPER_DIR", dir_.str().c_str(), 1);
    auto helper = os::KxChildProcess::start(
        {{"/proc/self/exe"}, dir_.str(), dir_ / "helper.out", dir_ / "helper.err"});
    ::unsetenv("KX_CHILD_HELPER_DIR");
    const pid_t grandchild = pidIn(dir_ / "child.pid");
    EXPECT_FALSE(gone(grandchild));
    ::kill(helper->pid(), SIGKILL);
    if (!ends(grandchild)) {
        ADD_FAILURE() << "the child outlived its killed parent";
        ::kill(grandchild, SIGKILL);
    }
}

}  // namespace
