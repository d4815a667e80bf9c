#pragma once
// Replacing a file as a whole. The new content goes into a temporary file
// beside the target (same folder, a name of its own), which is flushed to
// the disk and then renamed over the target. A reader, or a crash at any
// moment, sees either the old file or the complete new one, never a part.
// Paths are the system's (backslashes allowed), as everywhere in kx::os.
#include <string_view>

#include "platform/base/KxCString.h"

namespace kx::os {

class AtomicFile {
  public:
    // Creates the temporary file beside path. isOpen() tells whether that
    // worked (errno set when not); the target is not touched either way.
    explicit AtomicFile(const KxCString& path);
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    // Without a commit the temporary file is removed and the target keeps
    // its old content.
    ~AtomicFile();

    bool isOpen() const { return fd_ >= 0; }
    // Appends to the new content. False (errno set) when the bytes cannot
    // all be written; the commit then fails too.
    bool write(std::string_view bytes);
    // Flushes the new content and renames it over the target, which keeps
    // the permissions of the file it replaces (a new file gets the usual
    // ones, 0666 less the umask). False (errno set) when anything failed:
    // the temporary file is then gone and the target is as it was.
    bool commit();

    // The temporary file's path; empty when it could not be made.
    const KxCString& temporaryPath() const { return temporary_; }

  private:
    void discard();

    KxCString target_;
    KxCString temporary_;
    int fd_ = -1;
    bool failed_ = false;
};

// Replaces the file at path with content through an AtomicFile. False (errno
// set) when it could not; the file at path is then unchanged.
bool writeFileAtomically(const KxCString& path, std::string_view content);

}  // namespace kx::os
