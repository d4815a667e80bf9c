#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "orvowizard/common/KxFileUtilities.h"
#include "support/ScratchDir.h"

namespace fs = std::filesystem;

namespace {

class FilesTest : public testing::Test {
  protected:
    ScratchDir dir;
};

TEST_F(FilesTest, NonEmptyFileIsARegularFileWithContent) {
    dir.write("index.html", "<html/>");
    dir.write("empty.html", "");
    dir.mkdir("docs");
    EXPECT_TRUE(isNonEmptyFile(dir.str(), "index.html"));
    EXPECT_FALSE(isNonEmptyFile(dir.str(), "empty.html"));
    EXPECT_FALSE(isNonEmptyFile(dir.str(), "docs"));
    EXPECT_FALSE(isNonEmptyFile(dir.str(), "missing.html"));
}

TEST_F(FilesTest, MakeDirectoriesCreatesMissingParentsWithEitherSeparator) {
    const std::string target = dir.str() + "\\projects/server\\demo";
    EXPECT_EQ(makeDirectories(target), "");
    EXPECT_TRUE(fs::is_directory(dir.path() / "projects" / "server" / "demo"));
    // Again, and with a trailing separator: nothing to do, still success.
    EXPECT_EQ(makeDirectories(target), "");
    EXPECT_EQ(makeDirectories(target + "\\"), "");
    EXPECT_EQ(makeDirectories(dir.str() + "/trailing/"), "");
    EXPECT_TRUE(fs::is_directory(dir.path() / "trailing"));
}

TEST_F(FilesTest, MakeDirectoriesReportsAFileInTheWayAndTheErrnoOfAFailure) {
    dir.write("taken", "x");
    EXPECT_EQ(makeDirectories(dir / "taken"), "Directory is actually a valid file.");
    EXPECT_EQ(makeDirectories(dir / "taken/"), "Directory is actually a valid file.");
    // The parent is a file, so creating below it fails with "Not a directory".
    EXPECT_EQ(makeDirectories(dir.str() + "\\taken\\sub\\deeper"), "Error: Not a directory");
    if (geteuid() != 0) {
        dir.mkdir("locked");
        fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(makeDirectories(dir / "locked/new"), "Error: Permission denied");
        fs::permissions(dir / "locked", fs::perms::owner_all);
    }
}

TEST_F(FilesTest, MakeDirectoriesRefusesPathsNoProjectNeeds) {
    // Tens of thousands of separators once cost gigabytes of copies.
    EXPECT_EQ(makeDirectories(dir.str() + std::string(70000, '/') + "x"),
              "Error: File name too long");
    EXPECT_EQ(makeDirectories(dir.str() + std::string(kMaxPathLength, 'a')),
              "Error: File name too long");
    std::string deep = dir.str();
    for (std::size_t level = 0; level < kMaxPathDepth; ++level) {
        deep += "\\d";
    }
    EXPECT_EQ(makeDirectories(deep), "Error: File name too long");
    EXPECT_FALSE(fs::exists(dir / "d"));
    EXPECT_EQ(makeDirectories(dir.str() + "\\a//b\\c"), "") << "doubled separators still work";
    EXPECT_TRUE(fs::is_directory(dir / "a/b/c"));
}

TEST_F(FilesTest, MakeDirectoriesOfABareNameCreatesItInTheCurrentDirectory) {
    const KxPathBuffer saved = getCurrentDir();
    ASSERT_TRUE(changeDirectory(dir.str()));
    EXPECT_EQ(makeDirectories("single"), "");
    setCurrentDir(saved);
    EXPECT_TRUE(fs::is_directory(dir.path() / "single"));
    EXPECT_EQ(fs::current_path().string(), saved.c_str());
}

TEST_F(FilesTest, DirectoryHasFileEndingWithLooksAtFilesOnly) {
    dir.write("demoProject.xml", "<project/>");
    dir.mkdir("errors.xml");  // a directory with the name does not count
    EXPECT_TRUE(directoryHasFileEndingWith(dir.str(), "Project.xml"));
    EXPECT_FALSE(directoryHasFileEndingWith(dir.str(), "errors.xml"));
    EXPECT_FALSE(directoryHasFileEndingWith(dir / "missing", "Project.xml"));
}

TEST_F(FilesTest, ScanErrorsFileSearchesTheTextForBothTags) {
    bool hasErrors = true, hasWarnings = true;
    scanErrorsFile(dir.str(), hasErrors, hasWarnings);
    EXPECT_FALSE(hasErrors);
    EXPECT_FALSE(hasWarnings);

    // A plain substring search: no parsing, so a broken file still counts,
    // and tags with attributes or in other case do not.
    dir.write("errors.xml", "<Error><message>cut off");
    scanErrorsFile(dir.str(), hasErrors, hasWarnings);
    EXPECT_TRUE(hasErrors);
    EXPECT_FALSE(hasWarnings);
    dir.write("errors.xml", "<Error id=\"1\"/><warning><Warning>");
    scanErrorsFile(dir.str(), hasErrors, hasWarnings);
    EXPECT_FALSE(hasErrors);
    EXPECT_TRUE(hasWarnings);
}

}  // namespace
