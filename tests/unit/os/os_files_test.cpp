// Files, directories and the current directory at the operating-system boundary.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "platform/os/KxOs.h"
#include "support/ScratchDir.h"

namespace os = kx::os;
namespace fs = std::filesystem;

namespace {

class OsFilesTest : public ::testing::Test {
  protected:
    ScratchCwd cwd_;
    const fs::path& scratch_ = cwd_.path();
};

// A path from a request may name a device, a FIFO or a huge file: none of them may block the
// thread or fill the memory; a file within the bound is read to its last byte.
TEST_F(OsFilesTest, OnlyBoundedRegularFilesAreReadWhole) {
    ASSERT_TRUE(os::makeDirectory("sub"));
    KxCString bytes(20000, 'x');
    bytes[7] = '\0';
    bytes[19999] = '\n';
    os::openForWriting("sub\\data.bin", os::OpenMode::Binary) << bytes;
    KxCString content = "stale";
    ASSERT_TRUE(os::readWholeFile("sub\\data.bin", content));
    EXPECT_EQ(content, bytes);

    ASSERT_EQ(::mkfifo("fifo", 0600), 0);
    std::ofstream("big").close();
    fs::resize_file("big", os::kWholeFileLimit + 1);
    std::ofstream("ten") << "0123456789";
    EXPECT_EQ(os::readRegularFile("fifo", content, 100), os::ReadOutcome::NotRegular);
    EXPECT_EQ(os::readRegularFile("/dev/zero", content, 100), os::ReadOutcome::NotRegular);
    EXPECT_FALSE(os::readWholeFile("big", content));
    EXPECT_TRUE(content.empty());
    EXPECT_EQ(os::readRegularFile("ten", content, 10), os::ReadOutcome::Complete);
    EXPECT_EQ(content, "0123456789");
    EXPECT_EQ(os::readRegularFile("ten", content, 4), os::ReadOutcome::TooLarge);
    EXPECT_TRUE(content.empty());
    EXPECT_EQ(os::readRegularFile("ten", content, 4, os::Overflow::KeepPrefix),
              os::ReadOutcome::Truncated);
    EXPECT_EQ(content, "0123");
    content = "stale";
    EXPECT_FALSE(os::readWholeFile("missing.txt", content));
    EXPECT_TRUE(content.empty());
    EXPECT_FALSE(os::readWholeFile(".", content));
}

TEST_F(OsFilesTest, CreateForWritingReplacesALinkInsteadOfWritingThroughIt) {
    std::ofstream("precious") << "keep";
    fs::create_symlink(scratch_ / "precious", "out.txt");
    const int fd = os::createForWriting("out.txt");
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(os::writeAll(fd, "new"));
    ::close(fd);
    KxCString content;
    ASSERT_TRUE(os::readWholeFile("precious", content));
    EXPECT_EQ(content, "keep");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status("out.txt")));
    ASSERT_TRUE(os::readWholeFile("out.txt", content));
    EXPECT_EQ(content, "new");
}

TEST_F(OsFilesTest, RealPathsTellWhatLiesBelowAFolder) {
    fs::create_directories("project/sub");
    std::ofstream("project/sub/a.h") << "x";
    fs::create_directory_symlink(scratch_, "project/up");
    const KxCString project = os::realPathOf("project");
    EXPECT_TRUE(os::isBelow(os::realPathOf("project\\sub\\a.h"), project));
    EXPECT_FALSE(os::isBelow(os::realPathOf("project/up"), project));
    EXPECT_FALSE(os::isBelow(project, project));
    EXPECT_FALSE(os::isBelow(project + "-sibling/a.h", project));
    const int fd = os::openRegularFile("project/sub/a.h");
    ASSERT_GE(fd, 0);
    EXPECT_EQ(os::realPathOf(fd), os::realPathOf("project/sub/a.h"));
    ::close(fd);
}

TEST_F(OsFilesTest, CurrentDirectoryThroughBackslashPathsAndWhenTooLong) {
    ASSERT_TRUE(os::makeDirectory("one"));
    ASSERT_TRUE(os::makeDirectory("one\\two"));
    ASSERT_TRUE(os::setCurrentDirectory("one\\two"));
    EXPECT_EQ(KxCString(os::getCurrentDirectory().c_str()), (scratch_ / "one" / "two").string());
    errno = 0;
    EXPECT_FALSE(os::setCurrentDirectory("no\\such\\dir"));
    EXPECT_EQ(errno, ENOENT);
    // Too long a current directory gives an empty buffer, and that is refused.
    const KxCString level(100, 'd');
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(os::makeDirectory(level));
        ASSERT_TRUE(os::setCurrentDirectory(level));
    }
    os::KxPathBuffer buffer = os::getCurrentDirectory();
    EXPECT_STREQ(buffer.c_str(), "");
    EXPECT_FALSE(os::setCurrentDirectory(buffer.c_str()));
}

}  // namespace
