#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "orvowizard/common/KxFileUtilities.h"
#include "platform/os/KxOs.h"
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

// Missing parents are made with either separator; what is there already is
// success; a file in the way, a failure's errno and paths no project needs are
// refused.
TEST_F(FilesTest, MakeDirectoriesMakesWhatIsMissingAndReportsWhatStopsIt) {
    dir.write("taken", "x");
    std::string deep = dir.str();  // as many separators as a path may have
    while (std::ranges::count_if(deep, [](char c) { return c == '/' || c == '\\'; }) <
           static_cast<long>(kMaxPathDepth)) {
        deep += "\\d";
    }
    const std::string target = dir.str() + "\\projects/server\\demo";
    const std::pair<std::string, const char*> cases[] = {
        {target, ""},
        {target, ""},
        {target + "\\", ""},
        {dir.str() + "/trailing/", ""},
        {dir.str() + "\\a//b\\c", ""},
        {dir / "taken", "Directory is actually a valid file."},
        {dir / "taken/", "Directory is actually a valid file."},
        {dir.str() + "\\taken\\sub\\deeper", "Error: Not a directory"},
        // Tens of thousands of separators once cost gigabytes of copies.
        {dir.str() + std::string(70000, '/') + "x", "Error: File name too long"},
        {dir.str() + std::string(kMaxPathLength, 'a'), "Error: File name too long"},
        {deep + "\\d", "Error: File name too long"},
        {deep, ""},
    };
    for (const auto& [path, expected] : cases) {
        EXPECT_EQ(makeDirectories(path), expected) << path.substr(0, 200);
    }
    for (const char* made : {"projects/server/demo", "trailing", "a/b/c"}) {
        EXPECT_TRUE(fs::is_directory(dir / made)) << made;
    }
    EXPECT_FALSE(fs::exists(kx::os::nativePath(deep) + "/d"));
    if (geteuid() != 0) {
        dir.mkdir("locked");
        fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(makeDirectories(dir / "locked/new"), "Error: Permission denied");
        fs::permissions(dir / "locked", fs::perms::owner_all);
    }
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
