// Following a run's output as it is written, and building a project in its folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "orvowizard/runs/KxProjectBuild.h"
#include "orvowizard/runs/KxRunFollower.h"
#include "orvowizard/runs/KxRunRegistry.h"
#include "platform/os/KxOs.h"
#include "support/ScratchDir.h"

namespace {

using namespace std::chrono_literals;

const KxRunOutputStream::Timing kQuick{500ms, 10ms, 10s};

// Everything the stream sends until it ends.
std::string drain(KxRunOutputStream& stream) {
    std::string all;
    while (auto piece = stream.next()) {
        all += *piece;
    }
    return all;
}

// The console lines an event stream carries, one per data line.
std::vector<std::string> dataLines(const std::string& events) {
    std::vector<std::string> lines;
    std::istringstream in(events);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("data: ")) {
            lines.push_back(line.substr(6));
        }
    }
    return lines;
}

TEST(RunOutput, FollowsTheRunLineByLineUntilItEnds) {
    ScratchDir dir;
    const std::string file = dir.write("out.txt", "output of an earlier run\n");
    KxRunOutputStream stream("run-0000-follow", kQuick);
    std::thread run([&] {
        std::this_thread::sleep_for(50ms);  // the stream is asked for first
        // As the wizard does: the old output goes, then the run begins.
        dir.write("out.txt", "");
        auto started = KxRunRegistry::shared().begin("run-0000-follow", file);
        std::ofstream out(file, std::ios::app);
        // Pieces that split a line and a CR LF.
        out << "zero\r\nfirst line\r" << std::flush;
        std::this_thread::sleep_for(50ms);
        out << "\nsecond " << std::flush;
        std::this_thread::sleep_for(50ms);
        out << "half\nlast without a line end" << std::flush;
        std::this_thread::sleep_for(50ms);
    });
    const std::string events = drain(stream);
    run.join();
    EXPECT_EQ(dataLines(events), (std::vector<std::string>{"zero", "first line", "second half",
                                                           "last without a line end", ""}))
        << events;
    EXPECT_TRUE(events.starts_with("event: output\n")) << events;
    EXPECT_TRUE(events.ends_with("event: end\ndata: \n\n")) << events;
}

TEST(RunOutput, ARunThatNeverStartsIsUnknownAndBadIdsAreRefused) {
    KxRunOutputStream stream("never-started-0", kQuick);
    EXPECT_EQ(drain(stream), "event: unknown\ndata: \n\n");
    EXPECT_FALSE(KxRunRegistry::isRunId("short"));
    EXPECT_FALSE(KxRunRegistry::isRunId("abcdefgh/../x"));
    EXPECT_TRUE(KxRunRegistry::isRunId("0123456789abcdef"));
}

TEST(RunOutput, OutputPastTheLimitEndsWithWhereTheRestIs) {
    ScratchDir dir;
    const std::string line(1000, 'x');
    std::string text;
    while (text.size() < KxRunOutputStream::kMaxOutput + 200 * 1024) {
        text += line + "\n";
    }
    const std::string file = dir.write("build.txt", text);
    { auto run = KxRunRegistry::shared().begin("run-0000-large", file); }
    KxRunOutputStream stream("run-0000-large", kQuick);
    const std::string events = drain(stream);
    EXPECT_LT(events.size(), KxRunOutputStream::kMaxOutput + 128 * 1024);
    EXPECT_NE(events.find("data: … the rest is in build.txt in the project.\n"), std::string::npos);
    EXPECT_TRUE(events.ends_with("event: end\ndata: \n\n"));
}

// A project whose makefile prints a compiler's error and warning, builds a
// program and a library, and fails when asked to.
class ProjectBuild : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::copy_file("/bin/true", dir / "tool");
        std::filesystem::copy_file("/bin/true", dir / "libtool.so");
        dir.write("main.cpp", "int main() {}\n");
    }
    void writeMakefile(int exitStatus) {
        dir.write("makefile",
                  "all:\n"
                  "\t@echo 'main.cpp:1:5: warning: unused variable ‘x’ [-Wunused-variable]'\n"
                  "\t@echo 'main.cpp: In function ‘int main()’:' >&2\n"
                  "\t@echo 'main.cpp:1:12: error: ‘y’ was not declared in this scope' >&2\n"
                  "\t@exit " +
                      std::to_string(exitStatus) + "\n");
    }
    ScratchDir dir;
};

TEST_F(ProjectBuild, RunsMakeAndReadsTheOutcomeDiagnosticsAndProducts) {
    writeMakefile(2);
    const KxBuildRun run = buildProject(dir.str(), "");
    ASSERT_EQ(run.outcome, KxBuildRun::Outcome::Ran);
    EXPECT_EQ(run.status, 2);
    const KxBuildReport report = readBuildReport(dir.str());
    EXPECT_TRUE(report.ran);
    EXPECT_EQ(report.status, 2);
    ASSERT_EQ(report.diagnostics.entries.size(), 2u);
    EXPECT_EQ(report.diagnostics.entries[0].kind, KxBuildDiagnostic::Kind::Warning);
    EXPECT_EQ(report.libraries, std::vector<KxCString>{"libtool.so"});
    EXPECT_EQ(report.programs, std::vector<KxCString>{"tool"});

    writeMakefile(0);
    buildProject(dir.str(), "");
    EXPECT_EQ(readBuildReport(dir.str()).status, 0);
}

TEST_F(ProjectBuild, OneBuildPerFolderAndOnlyWithAMakefileOfItsOwn) {
    EXPECT_EQ(buildProject(dir.str(), "").outcome, KxBuildRun::Outcome::NoMakefile);
    // A makefile that is a link to one elsewhere is not the project's.
    ScratchDir elsewhere;
    std::filesystem::create_symlink(elsewhere.write("makefile", "all:\n\ttouch ran\n"),
                                    dir / "makefile");
    EXPECT_EQ(buildProject(dir.str(), "").outcome, KxBuildRun::Outcome::NoMakefile);
    EXPECT_FALSE(readBuildReport(dir.str()).ran);

    std::filesystem::remove(dir / "makefile");
    writeMakefile(0);
    const auto going =
        KxRunRegistry::shared().begin("", dir / "build.txt", kx::os::realPathOf(dir.str()));
    EXPECT_EQ(buildProject(dir.str(), "").outcome, KxBuildRun::Outcome::Busy);
    EXPECT_FALSE(std::filesystem::exists(dir / "build.status"));
}

}  // namespace
