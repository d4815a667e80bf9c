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
#include <utility>
#include <vector>

#include "generators/support/Diagnostics.h"
#include "platform/base/KxCString.h"

namespace kx::gen {

// Writes content to the file at path, relative to the current directory, as
// described above. Components "." and ".." and absolute paths are refused
// (EINVAL), and so is a directory level that is a symbolic link (ELOOP). False
// with errno set when the file cannot be written.
bool writeProjectFile(const KxCString& path, const KxCString& content);

// Sources the makefile compiles as one translation unit: unit, a file in a
// folder of its own (so that a build of every *.cpp of the project does not
// define the classes twice), includes each of parts, which the makefile
// then leaves out. The developer-studio files list the parts.
struct SourceGroup {
    KxCString unit;
    std::vector<KxCString> parts;
};

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

    // Records a group of sources written (the unit among them) for the build
    // files.
    void addGroup(SourceGroup group) { groups_.push_back(std::move(group)); }
    const std::vector<SourceGroup>& groups() const { return groups_; }

  private:
    // The path of a file below the output directory, as the log shows it.
    KxCString shown(const KxCString& name) const;
    bool writeFile(const KxCString& path, const KxCString& shownName, const KxCString& content);

    KxCString outDir_;
    std::ostream& log_;
    Diagnostics& diagnostics_;
    std::vector<KxCString> written_;
    std::vector<SourceGroup> groups_;
};

}  // namespace kx::gen
