// KxAppendLog: whole lines, rotation into numbered older files, and many threads appending at once.
#include "platform/container/KxAppendLog.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <regex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/container/KxContainerLogs.h"
#include "support/Files.h"
#include "support/ScratchDir.h"

namespace kx::container {
namespace {

TEST(ContainerAppendLog, EachLineIsInTheFileAtOnceAndPastItsSizeTheFileMovesUp) {
    ScratchDir dir;
    const std::string path = dir / "access.log";
    dir.write("access.log", "an earlier line\n");
    {
        KxAppendLog log(path, 1 << 20, 3);
        log.append("GET / 200");
        log.append("");
        // Read while the log is still open: nothing is held back.
        EXPECT_EQ(readFile(path), "an earlier line\nGET / 200\n\n");
    }
    // Every line is 24 + 6 bytes; 100 bytes hold three of them, and two older files are kept.
    std::filesystem::remove(path);
    KxAppendLog log(path, 100, 2);
    for (int i = 0; i < 12; ++i) {
        log.append(std::string(24, 't') + "line" + std::to_string(i % 10) + (i >= 10 ? "!" : " "));
    }
    // Each file holds three lines: the first's last, first and second line.
    for (const auto& [file, texts] : std::vector<std::pair<std::string, std::string>>{
             {path, "line9 \nline0!\nline1!\n"},
             {dir / "access.1.log", "line6 \nline7 \nline8 \n"},
             {dir / "access.2.log", "line3 \nline4 \nline5 \n"}}) {
        std::string text = readFile(file);
        std::erase(text, 't');
        EXPECT_EQ(text, texts) << file;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "access.3.log"));
    EXPECT_EQ(KxAppendLog::olderName("/l.d/access", 2), "/l.d/access.2");
    EXPECT_EQ(KxAppendLog::olderName("/l/.hidden", 3), "/l/.hidden.3");
}

TEST(ContainerAppendLog, ThreadsAppendingAtOnceNeitherMixNorLoseLines) {
    ScratchDir dir;
    constexpr int kThreads = 8, kLines = 2000;
    {
        // Small enough to rotate many times while the threads write, large enough that no line
        // is dropped with the oldest file.
        KxAppendLog log(dir / "access.log", 64 * 1024, 100);
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&log, t] {
                for (int i = 0; i < kLines; ++i) {
                    log.append("thread " + std::to_string(t) + " line " + std::to_string(i) + " " +
                               std::string(40, 'x'));
                }
            });
        }
    }
    std::set<std::string> seen;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        ++files;
        std::istringstream lines(readFile(entry.path()));
        for (std::string line; std::getline(lines, line);) {
            ASSERT_TRUE(std::regex_match(line, std::regex(R"(thread \d line \d+ x{40})"))) << line;
            EXPECT_TRUE(seen.insert(line).second) << "twice: " << line;
        }
        EXPECT_LE(std::filesystem::file_size(entry.path()), 64u * 1024) << entry.path();
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kLines));
    EXPECT_GT(files, 10) << "the log rotated while the threads wrote";
}

TEST(ContainerLogs, FoldersMadeForTheLogsAreTheUsersAloneAndMissingOnesAreNamed) {
    ScratchDir dir;
    const std::string folder = dir / "state/kxcontainer/logs";
    KxContainerLogs(folder).info("hello");
    for (const std::string& made : {dir / "state", dir / "state/kxcontainer", folder}) {
        struct stat status {};
        ASSERT_EQ(::stat(made.c_str(), &status), 0) << made;
        EXPECT_EQ(status.st_mode & 0777, 0700u) << made;
    }
    EXPECT_TRUE(std::filesystem::exists(folder + "/kxcontainer.log"));
    // A file where the folder should be, or a missing folder, is a clear error.
    EXPECT_THROW(KxContainerLogs{dir.write("taken", "x")}, std::runtime_error);
    try {
        KxAppendLog log(dir / "missing/access.log", 100, 1);
        ADD_FAILURE() << "opened a file in a missing folder";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("missing/access.log"), std::string::npos) << e.what();
    }
}

// Neither log writes through a link, a FIFO or a second name planted in its
// place (a project's service/logs/ may carry access.log -> ~/.bashrc): the
// logs are refused with a reason and the target keeps its text.
TEST(ContainerLogs, LogsAreNeverWrittenThroughALinkOrIntoAnotherFile) {
    ScratchDir dir;
    const std::string target = dir.write("bashrc", "export PATH\n");
    std::filesystem::create_directory(dir / "logs");
    for (const char* name : {"access.log", "kxcontainer.log"}) {
        SCOPED_TRACE(name);
        std::filesystem::remove_all(dir / "logs");
        std::filesystem::create_directory(dir / "logs");
        const std::string log = dir / ("logs/" + std::string(name));
        for (const auto& plant : std::vector<std::function<void()>>{
                 [&] { std::filesystem::create_symlink(target, log); },
                 [&] { std::filesystem::create_hard_link(target, log); },
                 [&] { ASSERT_EQ(::mkfifo(log.c_str(), 0600), 0); }}) {
            std::filesystem::remove(log);
            plant();
            try {
                KxContainerLogs logs(dir / "logs");
                logs.info("$(touch pwned)");
                ADD_FAILURE() << "the logs opened over a planted " << name;
            } catch (const std::runtime_error& e) {
                EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
            }
            EXPECT_EQ(readFile(target), "export PATH\n");
        }
    }
    // Rotation moves a planted older file aside rather than write through it.
    std::filesystem::remove_all(dir / "logs");
    std::filesystem::create_directory(dir / "logs");
    std::filesystem::create_symlink(target, dir / "logs/access.1.log");
    KxAppendLog access(dir / "logs/access.log", 10, 1);
    access.append("first line");
    access.append("second line");
    EXPECT_EQ(readFile(target), "export PATH\n");
    EXPECT_EQ(readFile(dir / "logs/access.1.log"), "first line\n");
}

}  // namespace
}  // namespace kx::container
