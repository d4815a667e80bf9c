#pragma once
// Writes generated files below the output directory and logs each one.
// Names use '/' or '\' between directory levels; missing directories are
// made. Samples are the files a user is meant to edit: a sample that already
// exists with other content is left alone, and the new one goes beside it as
// "<name>.sample".
//
// Every file is written inside the project (the current directory) without
// following a symbolic link: each directory level is opened refusing links,
// and the content goes to a temporary file in the same directory that is
// then renamed over the name, which replaces a link planted there rather
// than writing through it.
#include <ostream>
#include <vector>

#include "generators/support/Diagnostics.h"
#include "platform/base/KxCString.h"

namespace kx::gen {

// Writes content to the file at path, relative to the current directory, as
// described above. Components "." and ".." and absolute paths are refused
// (EINVAL), and so is a directory level that is a symbolic link (ELOOP). False
// with errno set when the file cannot be written.
bool writeProjectFile(const KxCString& path, const KxCString& content);

class OutputWriter {
  public:
    // outDir empty means the current directory.
    OutputWriter(KxCString outDir, std::ostream& log, Diagnostics& diagnostics);

    // Creates or replaces the file. False (with an error recorded) when it
    // cannot be written.
    bool write(const KxCString& name, const KxCString& content);

    // Writes a sample, keeping an edited copy as described above.
    bool writeSample(const KxCString& name, const KxCString& content);

    // Writes a copy of a file into another directory of the project (made
    // when missing), such as the headers into a project's include directory.
    bool writeCopy(const KxCString& directory, const KxCString& name, const KxCString& content);

    // The names written below the output directory, in order (a sample kept
    // because it was edited is listed under its own name).
    const std::vector<KxCString>& written() const { return written_; }

  private:
    // The path of a file below the output directory, as the log shows it.
    KxCString shown(const KxCString& name) const;
    bool writeFile(const KxCString& path, const KxCString& shownName, const KxCString& content);

    KxCString outDir_;
    std::ostream& log_;
    Diagnostics& diagnostics_;
    std::vector<KxCString> written_;
};

}  // namespace kx::gen
