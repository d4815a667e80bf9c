#include "platform/servlet/KxDirectoryIter.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "platform/base/Kxxmsg.h"
#include "support/ScratchDir.h"

namespace {

struct Listed {
    std::vector<std::string> names;
    std::vector<bool> dirs;
};

Listed list(const std::string& path, int kind) {
    Listed listed;
    for (KxDirectoryIter it(path, kind); it.isValid(); ++it) {
        listed.names.push_back(it.getName());
        listed.dirs.push_back(it.isDir());
    }
    return listed;
}

class DirectoryIterTest : public testing::Test {
  protected:
    void SetUp() override {
        dir.write("b.wsdl", "x");
        dir.write("A.xsd", "x");
        dir.write("empty.txt", "");
        dir.mkdir("zeta");
        dir.mkdir("alpha");
        dir.write("alpha/inner.txt", "not listed: the walk is not recursive");
        std::filesystem::create_symlink(dir / "alpha", dir / "link-to-dir");
        std::filesystem::create_symlink(dir / "b.wsdl", dir / "link-to-file");
        std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
    }
    ScratchDir dir;
};

TEST_F(DirectoryIterTest, EachKindYieldsItsEntriesInByteOrderWithoutDots) {
    const Listed all = list(dir.str(), KxDirectoryIter::kAll);
    EXPECT_EQ(all.names,
              (std::vector<std::string>{"A.xsd", "alpha", "b.wsdl", "dangling", "empty.txt",
                                        "link-to-dir", "link-to-file", "zeta"}));
    EXPECT_EQ(all.dirs, (std::vector<bool>{false, true, false, false, false, true, false, true}));
    EXPECT_EQ(list(dir.str(), KxDirectoryIter::kDirectories).names,
              (std::vector<std::string>{"alpha", "link-to-dir", "zeta"}));
    EXPECT_EQ(list(dir.str(), KxDirectoryIter::kFiles).names,
              (std::vector<std::string>{"A.xsd", "b.wsdl", "empty.txt", "link-to-file"}));
    // A backslash path names the same directory.
    EXPECT_EQ(list(dir.str() + "\\alpha", KxDirectoryIter::kFiles).names,
              (std::vector<std::string>{"inner.txt"}));
}

TEST_F(DirectoryIterTest, MissingOrUnreadableDirectoryYieldsNothing) {
    EXPECT_TRUE(list(dir / "missing", KxDirectoryIter::kAll).names.empty());
    EXPECT_TRUE(list(dir / "b.wsdl", KxDirectoryIter::kAll).names.empty());
    if (geteuid() != 0) {  // root reads any directory whatever its mode
        std::filesystem::permissions(dir / "zeta", std::filesystem::perms::none);
        EXPECT_TRUE(list(dir / "zeta", KxDirectoryIter::kAll).names.empty());
        std::filesystem::permissions(dir / "zeta", std::filesystem::perms::owner_all);
    }
    KxDirectoryIter past(dir / "missing", KxDirectoryIter::kAll);
    EXPECT_THROW(past.getName(), KxBoundsError);
}

}  // namespace
