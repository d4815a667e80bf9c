#pragma once
// A project folder as a zip archive, written while it is sent: the status
// page's "Download as zip". The folder is walked in name order and nothing
// but the folder's own files and folders goes in: a symbolic link is never
// followed, devices, FIFOs and sockets are left out, and every file is
// checked after it is opened to lie below the folder, so a tree that changes
// during the walk cannot send anything from elsewhere. Memory stays bounded
// whatever the file sizes: files are read in blocks and the archive leaves in
// pieces of about kZipPieceBytes.
#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/KxCString.h"
#include "platform/servlet/KxPayloadStream.h"

struct archive;
struct stat;

// About how much of the archive one call of next() hands over.
inline constexpr std::size_t kZipPieceBytes = 64 * 1024;
// Folders nested deeper than this below the project folder are left out.
inline constexpr std::size_t kZipMaxDepth = 64;
// The archive ends after this many entries: the central directory, which
// grows with each entry, is kept until the end.
inline constexpr std::size_t kZipMaxEntries = 200000;

class KxProjectZipStream : public KxPayloadStream {
  public:
    // folder: the project folder in the system's form (backslashes allowed).
    // rootName: the name of the one top folder inside the archive (the
    // project name; slashes and backslashes in it, like bytes of any name
    // that are not UTF-8, become underscores).
    // includeBuildOutputs: whether object files, libraries, executables
    // (see isBuildOutput) and the folder of a run service ("service") go in
    // too.
    KxProjectZipStream(const KxCString& folder, std::string rootName, bool includeBuildOutputs);
    ~KxProjectZipStream() override;

    std::optional<std::string> next() override;

    // Whether the folder could be opened as a real folder (not a link, not a
    // file) and the archive begun. When not, next() ends the body at once.
    bool ok() const;

  private:
    // One open folder of the walk: its entries in name order and how far
    // the walk has gone through them.
    struct Folder {
        int fd = -1;
        std::string entryPath;  // rootName/relative/path, no trailing slash
        std::vector<std::string> names;
        std::size_t index = 0;
    };

    // Does one piece of work (one entry header or one block of a file).
    // False when the archive cannot go on.
    bool step();
    // Both are false only when the archive cannot go on; enterFolder takes
    // over fd, whatever it returns.
    bool enterFolder(int fd, std::string entryPath);
    bool addEntry(Folder& parent, const std::string& name);
    // The libarchive status of writing one entry's header.
    int writeHeader(const std::string& entryPath, const struct stat& info);
    bool readFileBlock();
    void closeFile();
    void closeAll();

    static ssize_t appendOutput(struct archive*, void* self, const void* buffer,
                                std::size_t length);

    bool ok_ = false;
    KxCString rootReal_;
    std::string rootName_;
    bool includeBuildOutputs_;

    struct archive* archive_ = nullptr;  // null once closed
    std::vector<Folder> folders_;
    int fileFd_ = -1;
    long long fileLeft_ = 0;  // of the size the file had when opened, the bytes not yet read
    std::string block_;
    std::string pending_;
    std::size_t readThisCall_ = 0;
    std::size_t entries_ = 0;
    bool walkDone_ = false;
    bool ended_ = false;
};

// Whether a file name (and its first bytes) is a build output: object files
// (.o, .obj), libraries (.so, .so.N, .a, .lib, .dll), dependency files (.d),
// precompiled headers (.gch) and executables (ELF files). The archive leaves
// them out unless asked for them.
bool isBuildOutput(std::string_view fileName, std::string_view firstBytes);
