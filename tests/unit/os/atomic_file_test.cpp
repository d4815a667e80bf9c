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

    dir.mkdir("project");
    ASSERT_TRUE(os::writeFileAtomically(dir.str() + "\\project\\web.xml", "<web-app/>"));
    EXPECT_EQ(readFile(dir.path() / "project" / "web.xml"), "<web-app/>");
}

TEST_F(AtomicFileTest, ReadersSeeTheOldContentUntilTheCommitAndAnAbandonedWriteLeavesIt) {
    const std::string path = dir.write("a.txt", "old content\n");
    {
        os::AtomicFile abandoned(path);
        ASSERT_TRUE(abandoned.write("half of the new"));
    }
    EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"a.txt"});
    os::AtomicFile file(path);
    ASSERT_TRUE(file.write("new "));
    ASSERT_TRUE(file.write("content\n"));
    EXPECT_EQ(readFile(path), "old content\n");
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(readFile(path), "new content\n");
    EXPECT_EQ(folderNames(dir.path()), std::vector<std::string>{"a.txt"});
}

// The file-size limit makes a write fail (EFBIG) for any user, root
// included; SIGXFSZ would otherwise end the process.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, &previous_);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    void lift() { setrlimit(RLIMIT_FSIZE, &saved_); }
    ~FileSizeLimit() {
        lift();
        sigaction(SIGXFSZ, &previous_, nullptr);
    }

  private:
    struct sigaction previous_ {};
    rlimit saved_{};
};

TEST_F(AtomicFileTest, AWriteErrorMidwayKeepsTheOldContentAndFailsTheCommit) {
    const std::string path = dir.write("a.txt", "old content\n");
    {
        FileSizeLimit limit(1000);
        errno = 0;
        EXPECT_FALSE(os::writeFileAtomically(path, std::string(5000, 'x')));
        EXPECT_EQ(errno, EFBIG);
    }
    {
        FileSizeLimit limit(10);
        os::AtomicFile file(path);
        EXPECT_FALSE(file.write(std::string(100, 'x')));
        limit.lift();
        // The limit is gone, but the file already misses bytes.
        EXPECT_FALSE(file.write("tail"));
        EXPECT_FALSE(file.commit());
    }
    EXPECT_EQ(readFile(path), "old content\n");
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
