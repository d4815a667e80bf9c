#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <ranges>
#include <set>

#include "orvowizard/runs/KxProjectZip.h"
#include "support/Files.h"
#include "support/ScratchDir.h"

namespace fs = std::filesystem;

namespace {

struct Entry {
    std::string content;
    unsigned mode = 0;
    time_t mtime = 0;
};

// The archive read back with libarchive's reader; a broken archive fails the test.
std::map<std::string, Entry> readZip(const std::string& zip) {
    // libarchive's reader spells names in the locale's character set.
    const std::string savedLocale = std::setlocale(LC_CTYPE, nullptr);
    EXPECT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    std::map<std::string, Entry> entries;
    archive* reader = archive_read_new();
    archive_read_support_format_zip(reader);
    EXPECT_EQ(archive_read_open_memory(reader, zip.data(), zip.size()), ARCHIVE_OK);
    archive_entry* entry;
    int status;
    while ((status = archive_read_next_header(reader, &entry)) == ARCHIVE_OK) {
        Entry& e = entries[archive_entry_pathname_utf8(entry)];
        e.mode = archive_entry_perm(entry);
        e.mtime = archive_entry_mtime(entry);
        char buffer[65536];
        la_ssize_t got;
        while ((got = archive_read_data(reader, buffer, sizeof buffer)) > 0) {
            e.content.append(buffer, got);
        }
        EXPECT_EQ(got, 0) << archive_error_string(reader);
    }
    EXPECT_EQ(status, ARCHIVE_EOF) << archive_error_string(reader);
    archive_read_free(reader);
    std::setlocale(LC_CTYPE, savedLocale.c_str());
    return entries;
}

struct Drained {
    std::string zip;
    std::size_t pieces = 0;
    std::size_t largest = 0;
};

Drained drain(KxProjectZipStream& stream) {
    Drained out;
    while (auto piece = stream.next()) {
        ++out.pieces;
        out.largest = std::max(out.largest, piece->size());
        out.zip += *piece;
    }
    return out;
}

// Whether the zip command-line tool finds the archive sound.
bool unzipAccepts(const ScratchDir& dir, const std::string& zip) {
    const std::string path = dir.write("check.zip", zip);
    return std::system(("unzip -tqq '" + path + "' >/dev/null 2>&1").c_str()) == 0;
}

std::set<std::string> namesOf(const std::map<std::string, Entry>& entries) {
    const auto names = std::views::keys(entries);
    return {names.begin(), names.end()};
}

class ProjectZipTest : public testing::Test {
  protected:
    ProjectZipTest() {
        dir.write("outside/secret.txt", kSecret);
        project = dir.mkdir("demo");
        dir.write("demo/src/main.cpp", "int main() {}\n");
        dir.write("demo/src/deep/util.h", "#pragma once\n");
        fs::permissions(dir.write("demo/run.sh", "#!/bin/sh\necho hi\n"), fs::perms(0755));
        dir.mkdir("demo/empty");
        dir.write("demo/build.txt", "g++ -c main.cpp\n");
        dir.write("demo/src/main.o", "not really an object");
        dir.write("demo/service/logs/access.log", "GET /\n");
        dir.write("demo/src/service/kept.h", "// only the top-level service folder goes\n");
        fs::copy_file("/bin/true", dir / "demo/app");
        fs::create_symlink(dir / "outside/secret.txt", dir / "demo/secret_link.txt");
        fs::create_symlink(dir / "outside", dir / "demo/outside_link");
        fs::create_symlink("src/main.cpp", dir / "demo/inner_link.cpp");
        ::mkfifo((dir / "demo/pipe").c_str(), 0644);
        fs::last_write_time(dir / "demo/build.txt",
                            fs::file_time_type::clock::from_sys(
                                std::chrono::sys_seconds(std::chrono::seconds(1700000000))));
    }

    static constexpr const char* kSecret = "secret outside the project";
    ScratchDir dir;
    std::string project;
};

TEST_F(ProjectZipTest, HoldsTheFolderButNoLinksDevicesOrBuildOutputs) {
    const std::set<std::string> sources = {"demo/",
                                           "demo/build.txt",
                                           "demo/empty/",
                                           "demo/run.sh",
                                           "demo/src/",
                                           "demo/src/deep/",
                                           "demo/src/deep/util.h",
                                           "demo/src/main.cpp",
                                           "demo/src/service/",
                                           "demo/src/service/kept.h"};
    for (const bool withOutputs : {false, true}) {
        // Given with backslashes, as the system joins paths.
        std::string folder = project;
        std::replace(folder.begin(), folder.end(), '/', '\\');
        KxProjectZipStream stream(folder, "demo", withOutputs);
        ASSERT_TRUE(stream.ok());
        const Drained drained = drain(stream);
        EXPECT_FALSE(stream.next().has_value());
        const auto entries = readZip(drained.zip);

        std::set<std::string> expected = sources;
        if (withOutputs) {
            expected.insert({"demo/app", "demo/src/main.o", "demo/service/", "demo/service/logs/",
                             "demo/service/logs/access.log"});
        }
        EXPECT_EQ(namesOf(entries), expected);
        for (const auto& [name, entry] : entries) {
            if (!name.ends_with('/')) {
                EXPECT_EQ(entry.content, readFile(dir / name)) << name;
            }
            EXPECT_EQ(entry.content.find(kSecret), std::string::npos) << name;
        }
        EXPECT_EQ(entries.at("demo/run.sh").mode, 0755u);
        EXPECT_EQ(entries.at("demo/build.txt").mtime, 1700000000);
        EXPECT_TRUE(unzipAccepts(dir, drained.zip));
    }
}

TEST_F(ProjectZipTest, EndsAtOnceForAFolderThatIsALinkAFileOrMissingOrWhenCancelled) {
    fs::create_symlink(project, dir / "linked");
    for (const std::string& refused :
         {dir / "linked", dir / "linked/", dir / "demo/build.txt", dir / "missing"}) {
        KxProjectZipStream stream(refused, "demo", false);
        EXPECT_FALSE(stream.ok()) << refused;
        EXPECT_FALSE(stream.next().has_value()) << refused;
    }
    KxProjectZipStream cancelled(project, "demo", false);
    cancelled.cancel();
    EXPECT_FALSE(cancelled.next().has_value());
}

TEST(ProjectZipNames, NamesAreUtf8AndStayInsideTheTopFolder) {
    ScratchDir dir;
    dir.write("p/caf\xc3\xa9.txt", "a");
    dir.write("p/bad\xff\xc0\xaf.txt", "b");
    // Extractors that split at backslashes, and terminals that obey escapes.
    dir.write("p/..\\..\\..\\evil.txt", "c");
    dir.write("p/C:\\Users\\Public\\evil.bat", "d");
    dir.write("p/esc\x1b[2Jnew\nline\x7f.txt", "e");
    KxProjectZipStream stream(dir / "p", "../up\\and/away", false);
    const std::string zip = drain(stream).zip;
    EXPECT_EQ(namesOf(readZip(zip)),
              (std::set<std::string>{
                  ".._up_and_away/", ".._up_and_away/caf\xc3\xa9.txt", ".._up_and_away/bad___.txt",
                  ".._up_and_away/.._.._.._evil.txt", ".._up_and_away/C:_Users_Public_evil.bat",
                  ".._up_and_away/esc_[2Jnew_line_.txt"}));
    // Python's reader insists on valid UTF-8 where the archive says it is.
    const std::string path = dir.write("names.zip", zip);
    EXPECT_EQ(std::system(("/usr/bin/python3 -m zipfile -t '" + path + "' >/dev/null").c_str()), 0);
}

// A large file goes in bounded pieces; one that shrinks while read leaves
// the archive sound, with what it still held.
TEST(ProjectZipLarge, LargeFileStreamsInBoundedPiecesAndMayShrinkWhileRead) {
    ScratchDir dir;
    std::independent_bits_engine<std::mt19937, 8, unsigned> random(42);
    std::string big(20 * 1024 * 1024, '\0');  // bytes that do not compress
    std::generate(big.begin(), big.end(), [&] { return static_cast<char>(random()); });
    const std::string path = dir.write("big/data.bin", big);
    dir.write("big/later.txt", "after the large file");
    KxProjectZipStream whole(dir / "big", "big", false);
    const Drained drained = drain(whole);
    EXPECT_GT(drained.pieces, 100u);
    EXPECT_LE(drained.largest, 1024u * 1024);
    EXPECT_EQ(readZip(drained.zip).at("big/data.bin").content, big);

    KxProjectZipStream stream(dir / "big", "big", false);
    std::string zip = *stream.next();  // the file is open and partly read
    ASSERT_EQ(::truncate(path.c_str(), 1024 * 1024), 0);
    zip += drain(stream).zip;
    const auto entries = readZip(zip);
    EXPECT_EQ(entries.at("big/data.bin").content, big.substr(0, 1024 * 1024));
    EXPECT_EQ(entries.at("big/later.txt").content, "after the large file");
    EXPECT_TRUE(unzipAccepts(dir, zip));
}

TEST(ProjectZipOutputs, BuildOutputsAreKnownByNameOrElfHeader) {
    for (const char* name : {"main.o", "MAIN.OBJ", "libx.so", "libx.so.1.2", "libx.a", "x.lib",
                             "x.dll", "main.d", "pch.h.gch"}) {
        EXPECT_TRUE(isBuildOutput(name, "")) << name;
    }
    EXPECT_TRUE(isBuildOutput("server",
                              "\x7f"
                              "ELF"));
    for (const char* name : {"build.txt", "main.cpp", "readme", ".d", "x.so.txt", "docs.dir"}) {
        EXPECT_FALSE(isBuildOutput(name, "#!/bin/sh")) << name;
    }
}

}  // namespace
