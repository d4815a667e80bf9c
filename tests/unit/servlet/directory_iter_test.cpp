#include "platform/servlet/KxDirectoryIter.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "platform/base/Kxxmsg.h"
#include "support/ScratchDir.h"

namespace {

// The names yielded, a directory's followed by '/'.
std::vector<std::string> list(const std::string& path, int kind) {
    std::vector<std::string> names;
    for (KxDirectoryIter it(path, kind); it.isValid(); ++it) {
        names.push_back(it.getName() + (it.isDir() ? "/" : ""));
    }
    return names;
}

TEST(KxDirectoryIter, EachKindYieldsItsEntriesInByteOrderWithoutDotsAndAMissingFolderNothing) {
    ScratchDir dir;
    dir.write("b.wsdl", "x");
    dir.write("A.xsd", "x");
    dir.write("empty.txt", "");
    dir.mkdir("zeta");
    dir.write("alpha/inner.txt", "not listed: the walk is not recursive");
    std::filesystem::create_symlink(dir / "alpha", dir / "link-to-dir");
    std::filesystem::create_symlink(dir / "b.wsdl", dir / "link-to-file");
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
    EXPECT_EQ(list(dir.str(), KxDirectoryIter::kAll),
              (std::vector<std::string>{"A.xsd", "alpha/", "b.wsdl", "dangling", "empty.txt",
                                        "link-to-dir/", "link-to-file", "zeta/"}));
    EXPECT_EQ(list(dir.str(), KxDirectoryIter::kDirectories),
              (std::vector<std::string>{"alpha/", "link-to-dir/", "zeta/"}));
    EXPECT_EQ(list(dir.str(), KxDirectoryIter::kFiles),
              (std::vector<std::string>{"A.xsd", "b.wsdl", "empty.txt", "link-to-file"}));
    // A backslash path names the same directory.
    EXPECT_EQ(list(dir.str() + "\\alpha", KxDirectoryIter::kFiles),
              (std::vector<std::string>{"inner.txt"}));

    EXPECT_TRUE(list(dir / "missing", KxDirectoryIter::kAll).empty());
    EXPECT_TRUE(list(dir / "b.wsdl", KxDirectoryIter::kAll).empty());
    if (geteuid() != 0) {  // root reads any directory whatever its mode
        std::filesystem::permissions(dir / "zeta", std::filesystem::perms::none);
        EXPECT_TRUE(list(dir / "zeta", KxDirectoryIter::kAll).empty());
        std::filesystem::permissions(dir / "zeta", std::filesystem::perms::owner_all);
    }
    KxDirectoryIter past(dir / "missing", KxDirectoryIter::kAll);
    EXPECT_THROW(past.getName(), KxBoundsError);
}

}  // namespace
