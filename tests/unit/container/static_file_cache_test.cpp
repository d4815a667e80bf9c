// The static files' cache: it answers from what it keeps only while the file
// on disk is that version, decides what is a file as strictly as opening it
// without following a final link, and stays within its bounds.
#include "platform/container/KxStaticFileCache.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/ScratchDir.h"

namespace kx::container {
namespace {

std::string typeOf(std::string_view name) {
    return name.ends_with(".css") ? "text/css" : "application/octet-stream";
}

KxStaticCacheLimits settled() {
    KxStaticCacheLimits limits;
    limits.settleTime = std::chrono::milliseconds(0);
    return limits;
}

std::string contentOf(const KxStaticLookup& found) {
    return found.file && found.file->content ? *found.file->content : "<none>";
}

TEST(StaticFileCache, AnswersFromMemoryOnlyWhileTheFileIsTheVersionKept) {
    ScratchDir dir;
    const std::string path = dir.write("a.css", "AAAA");
    KxStaticFileCache cache(settled(), typeOf);
    const auto first = cache.lookUp(path, "a.css", false);
    ASSERT_TRUE(first.file);
    EXPECT_TRUE(first.descriptor);  // opened to be read and kept
    EXPECT_EQ(contentOf(first), "AAAA");
    EXPECT_EQ(first.file->contentType, "text/css");
    const auto again = cache.lookUp(path, "a.css", true);
    EXPECT_FALSE(again.descriptor);  // kept: not opened again
    EXPECT_EQ(again.file, first.file);

    // Rewritten in place with the same size and modification time: the
    // status change time still tells.
    const auto modified = std::filesystem::last_write_time(path);
    dir.write("a.css", "BBBB");
    std::filesystem::last_write_time(path, modified);
    const auto rewritten = cache.lookUp(path, "a.css", false);
    EXPECT_EQ(contentOf(rewritten), "BBBB");

    // Replaced by another file (a rename over it): a new inode.
    const std::string other = dir.write("new.css", "CCCC");
    std::filesystem::last_write_time(other, modified);
    std::filesystem::rename(other, path);
    EXPECT_EQ(contentOf(cache.lookUp(path, "a.css", false)), "CCCC");
    EXPECT_EQ(cache.entries(), 1u);
    EXPECT_EQ(cache.keptBytes(), 4u);
}

TEST(StaticFileCache, OnlyRegularFilesWhoseLastPartIsNoLink) {
    ScratchDir dir;
    const std::string target = dir.write("real/a.css", "body{}");
    std::filesystem::create_symlink(target, dir / "link.css");
    std::filesystem::create_directory_symlink(dir / "real", dir / "linked");
    KxStaticFileCache cache(settled(), typeOf);
    EXPECT_FALSE(cache.lookUp(dir / "link.css", "link.css", false).file);
    EXPECT_FALSE(cache.lookUp(dir / "real", "real", false).file);
    EXPECT_FALSE(cache.lookUp(dir / "missing.css", "missing.css", true).file);
    // A link before the last part is followed, as it always was.
    EXPECT_EQ(contentOf(cache.lookUp(dir / "linked/a.css", "linked/a.css", false)), "body{}");

    // A kept file that becomes a link is no file any more.
    const std::string path = dir.write("b.css", "b");
    ASSERT_TRUE(cache.lookUp(path, "b.css", false).file);
    std::filesystem::remove(path);
    std::filesystem::create_symlink(target, path);
    EXPECT_FALSE(cache.lookUp(path, "b.css", false).file);
}

TEST(StaticFileCache, StaysWithinItsBounds) {
    ScratchDir dir;
    KxStaticCacheLimits limits = settled();
    limits.maxEntries = 2;
    limits.maxBytes = 10;
    limits.maxFileBytes = 5;
    KxStaticFileCache cache(limits, typeOf);
    for (const char* name : {"1.css", "2.css", "3.css"}) {
        cache.lookUp(dir.write(name, "1234"), name, false);
    }
    EXPECT_EQ(cache.entries(), 2u);
    EXPECT_EQ(cache.keptBytes(), 8u);
    EXPECT_TRUE(cache.lookUp(dir / "1.css", "1.css", false).descriptor);  // the oldest went

    // Larger than a file may be: its validators are kept, its bytes read.
    const std::string large = dir.write("large.css", "123456");
    const auto first = cache.lookUp(large, "large.css", true);
    ASSERT_TRUE(first.file);
    EXPECT_FALSE(first.file->content);
    EXPECT_TRUE(first.descriptor);
    const auto validators = cache.lookUp(large, "large.css", false);
    EXPECT_EQ(validators.file, first.file);
    EXPECT_FALSE(validators.descriptor);
    EXPECT_TRUE(cache.lookUp(large, "large.css", true).descriptor);
    EXPECT_LE(cache.keptBytes(), 10u);
    EXPECT_LE(cache.entries(), 2u);
}

TEST(StaticFileCache, AFileJustChangedIsReadAgainUntilItSettles) {
    ScratchDir dir;
    const std::string path = dir.write("a.css", "AAAA");
    KxStaticFileCache cache({}, typeOf);  // the default settle time
    for (int i = 0; i < 2; ++i) {
        const auto found = cache.lookUp(path, "a.css", false);
        ASSERT_TRUE(found.file);
        EXPECT_TRUE(found.descriptor) << i;
        EXPECT_FALSE(found.file->content) << i;
    }
    EXPECT_EQ(cache.entries(), 0u);
}

}  // namespace
}  // namespace kx::container
