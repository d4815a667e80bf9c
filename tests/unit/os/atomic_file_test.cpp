// Replacing a file as a whole: the new content appears at once or not at all, the old content
// survives every failure, and no temporary file is left behind.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <set>
#include <thread>
#include <vector>

#include "platform/os/KxAtomicFile.h"
#include "support/Files.h"
#include "support/ScratchDir.h"

namespace os = kx::os;
namespace fs = std::filesystem;

namespace {

using namespace std::string_literals;

class AtomicFileTest : public testing::Test {
  protected:
    // The names in the folder, so a test can tell that no temporary is left.
    std::set<std::string> names() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }
    ScratchDir dir;
};

TEST_F(AtomicFileTest, ReplacesWithExactlyTheContentAtTheCommitAndAnAbandonedWriteLeavesIt) {
    const std::string path = dir / "startup.properties";
    for (const std::string& content : {""s, "a\0b\r\n\xff"s, "old content\n"s}) {
        ASSERT_TRUE(os::writeFileAtomically(path, content));
        EXPECT_TRUE(fs::is_regular_file(path));
        EXPECT_EQ(readFile(path), content);
    }
    {
        os::AtomicFile abandoned(path);
        ASSERT_TRUE(abandoned.write("half of the new"));
    }
    os::AtomicFile file(path);
    ASSERT_TRUE(file.write("new "));
    ASSERT_TRUE(file.write("content\n"));
    EXPECT_EQ(readFile(path), "old content\n");
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(readFile(path), "new content\n");
    EXPECT_EQ(names(), std::set<std::string>{"startup.properties"});

    dir.mkdir("project");
    ASSERT_TRUE(os::writeFileAtomically(dir.str() + "\\project\\web.xml", "<web-app/>"));
    EXPECT_EQ(readFile(dir.path() / "project" / "web.xml"), "<web-app/>");
}

// The file-size limit makes a write fail (EFBIG) for any user, root included; SIGXFSZ is ignored
// so that it does not end the process.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) : previous_(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    void lift() { setrlimit(RLIMIT_FSIZE, &saved_); }
    ~FileSizeLimit() {
        lift();
        std::signal(SIGXFSZ, previous_);
    }

  private:
    void (*previous_)(int);
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
        EXPECT_FALSE(file.write("tail")) << "the limit is gone, but the file misses bytes";
        EXPECT_FALSE(file.commit());
    }
    EXPECT_EQ(readFile(path), "old content\n");
    EXPECT_EQ(names(), std::set<std::string>{"a.txt"});
}

TEST_F(AtomicFileTest, ARefusedRenameOrAMissingFolderChangesNothing) {
    // A folder stands where the file should go: the rename is refused.
    dir.write("web.xml/inner/keep.txt", "kept");
    errno = 0;
    EXPECT_FALSE(os::writeFileAtomically(dir / "web.xml", "<web-app/>"));
    EXPECT_NE(errno, 0);
    EXPECT_EQ(readFile(dir.path() / "web.xml" / "inner" / "keep.txt"), "kept");
    EXPECT_EQ(names(), std::set<std::string>{"web.xml"});

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
    EXPECT_EQ(fs::status(dir / "new.txt").permissions(), fs::perms(0644));
}

TEST_F(AtomicFileTest, ConcurrentWritersLeaveOneCompleteContent) {
    const std::string path = dir / "shared.txt";
    {
        std::vector<std::jthread> writers;
        for (int i = 0; i < 8; ++i) {
            writers.emplace_back([&path, i] {
                for (int round = 0; round < 20; ++round) {
                    EXPECT_TRUE(os::writeFileAtomically(path, std::string(10000, 'a' + i)));
                }
            });
        }
    }
    const std::string content = readFile(path);
    ASSERT_EQ(content.size(), 10000u);
    EXPECT_EQ(content, std::string(10000, content.front()));
    EXPECT_EQ(names(), std::set<std::string>{"shared.txt"});
}

}  // namespace
