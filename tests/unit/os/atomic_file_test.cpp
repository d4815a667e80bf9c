// Replacing a file as a whole: the new content appears at once or not at
// all, the old content survives every failure, and no temporary file is left
// behind.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/os/KxAtomicFile.h"
#include "support/Files.h"
#include "support/ScratchDir.h"

namespace os = kx::os;
namespace fs = std::filesystem;

namespace {

// The names in the folder, so a test can tell that no temporary is left.
std::vector<std::string> folderNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class AtomicFileTest : public testing::Test {
  protected:
    ScratchDir dir;
};

TEST_F(AtomicFileTest, WritesANewFileAndReplacesAnOldOneWithExactlyTheContent) {
    const std::string path = dir / "startup.properties";
    ASSERT_TRUE(os::writeFileAtomically(path, "type=server\n"));
    EXPECT_EQ(readFile(path), "type=server\n");

    const std::string binary("a\0b\r\n\xff", 6);
    ASSERT_TRUE(os::writeFileAtomically(path, binary));
    EXPECT_EQ(readFile(path), binary);

    ASSERT_TRUE(os::writeFileAtomically(path, ""));
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(fs::file_size(path), 0u);
    EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"startup.properties"});
}

TEST_F(AtomicFileTest, TakesTheSystemsBackslashPaths) {
    dir.mkdir("project");
    ASSERT_TRUE(os::writeFileAtomically(dir.str() + "\\project\\web.xml", "<web-app/>"));
    EXPECT_EQ(readFile(dir.path() / "project" / "web.xml"), "<web-app/>");
}

TEST_F(AtomicFileTest, TheTemporaryFileLiesBesideTheTargetUnderANameOfItsOwn) {
    const std::string path = dir.write("a.txt", "old");
    os::AtomicFile first(path);
    os::AtomicFile second(path);
    ASSERT_TRUE(first.isOpen());
    ASSERT_TRUE(second.isOpen());
    EXPECT_NE(first.temporaryPath(), second.temporaryPath());
    EXPECT_EQ(fs::path(first.temporaryPath()).parent_path(), dir.path());
    EXPECT_NE(fs::path(first.temporaryPath()).filename(), "a.txt");
}

TEST_F(AtomicFileTest, ReadersSeeTheOldContentUntilTheCommit) {
    const std::string path = dir.write("a.txt", "old content\n");
    os::AtomicFile file(path);
    ASSERT_TRUE(file.isOpen());
    ASSERT_TRUE(file.write("new "));
    EXPECT_EQ(readFile(path), "old content\n");
    ASSERT_TRUE(file.write("content\n"));
    EXPECT_EQ(readFile(path), "old content\n");
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(readFile(path), "new content\n");
    EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"a.txt"});
}

TEST_F(AtomicFileTest, AnAbandonedWriteLeavesTheOldContentAndNoTemporaryFile) {
    const std::string path = dir.write("a.txt", "old content\n");
    {
        os::AtomicFile file(path);
        ASSERT_TRUE(file.write("half of the new"));
        // No commit: as when the writer fails halfway.
    }
    EXPECT_EQ(readFile(path), "old content\n");
    EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"a.txt"});
}

TEST_F(AtomicFileTest, AWriteErrorMidwayKeepsTheOldContent) {
    const std::string path = dir.write("a.txt", "old content\n");
    // The file-size limit makes the write fail after 1000 bytes (EFBIG) for
    // any user, root included; SIGXFSZ would otherwise end the process.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &previous), 0);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);

    errno = 0;
    const bool written = os::writeFileAtomically(path, std::string(5000, 'x'));
    const int error = errno;

    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_FALSE(written);
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(readFile(path), "old content\n");
    EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"a.txt"});
}

TEST_F(AtomicFileTest, AFailingWriteMakesTheCommitFailToo) {
    const std::string path = dir.write("a.txt", "old");
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &previous), 0);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 10;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool firstWrite = false;
    bool laterWrite = true;
    bool committed = true;
    {
        os::AtomicFile file(path);
        firstWrite = file.write(std::string(100, 'x'));
        setrlimit(RLIMIT_FSIZE, &saved);
        // The limit is gone, but the file already misses bytes.
        laterWrite = file.write("tail");
        committed = file.commit();
    }
    sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_FALSE(firstWrite);
    EXPECT_FALSE(laterWrite);
    EXPECT_FALSE(committed);
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"a.txt"});
}

TEST_F(AtomicFileTest, ARenameThatCannotBeDoneLeavesTheTargetAndNoTemporaryFile) {
    // A folder stands where the file should go: the rename is refused.
    dir.mkdir("web.xml/inner");
    dir.write("web.xml/inner/keep.txt", "kept");
    errno = 0;
    EXPECT_FALSE(os::writeFileAtomically(dir / "web.xml", "<web-app/>"));
    EXPECT_NE(errno, 0);
    EXPECT_TRUE(fs::is_directory(dir.path() / "web.xml"));
    EXPECT_EQ(readFile(dir.path() / "web.xml" / "inner" / "keep.txt"), "kept");
    EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"web.xml"});
}

TEST_F(AtomicFileTest, AFolderThatDoesNotExistChangesNothing) {
    errno = 0;
    EXPECT_FALSE(os::writeFileAtomically(dir / "missing/a.txt", "x"));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(fs::exists(dir.path() / "missing"));
    os::AtomicFile file(dir / "missing/a.txt");
    EXPECT_FALSE(file.isOpen());
    EXPECT_TRUE(file.temporaryPath().empty());
    EXPECT_FALSE(file.write("x"));
    EXPECT_FALSE(file.commit());
}

TEST_F(AtomicFileTest, TheReplacementKeepsThePermissionsOfTheReplacedFile) {
    const std::string path = dir.write("run.sh", "#!/bin/sh\n");
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read);
    ASSERT_TRUE(os::writeFileAtomically(path, "#!/bin/sh\necho new\n"));
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_all | fs::perms::group_read);

    // A new file gets 0666 less the umask, as a file opened for writing.
    const mode_t mask = umask(022);
    ASSERT_TRUE(os::writeFileAtomically(dir / "new.txt", "x"));
    umask(mask);
    EXPECT_EQ(fs::status(dir / "new.txt").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
}

TEST_F(AtomicFileTest, ConcurrentWritersLeaveOneCompleteContent) {
    const std::string path = dir / "shared.txt";
    std::vector<std::thread> writers;
    for (int i = 0; i < 8; ++i) {
        writers.emplace_back([&path, i] {
            const std::string content(10000, static_cast<char>('a' + i));
            for (int round = 0; round < 20; ++round) {
                EXPECT_TRUE(os::writeFileAtomically(path, content));
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    const std::string content = readFile(path);
    ASSERT_EQ(content.size(), 10000u);
    EXPECT_EQ(content, std::string(10000, content.front()));
    EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"shared.txt"});
}

}  // namespace
