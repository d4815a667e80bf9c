#pragma once
// Files, directories, paths and text: the helpers every servlet of the
// library shares. Paths are joined with a single backslash; when a path is
// split, slash and backslash both count as separators.
#include "platform/base/KxCString.h"
#include "platform/os/KxOs.h"

using KxPathBuffer = kx::os::KxPathBuffer;

// ---- files and directories ---------------------------------------------------

// The current directory, kept by the caller to hand back to setCurrentDir.
KxPathBuffer getCurrentDir();
// Changes back to a directory kept with getCurrentDir; a failure is ignored.
void setCurrentDir(const KxPathBuffer& directory);
// True unless the change of directory fails.
bool changeDirectory(const KxCString& path);

// Brings the thread back to the directory it was in when the guard was made,
// however the scope is left: a run that throws must not leave the servlet
// thread inside a project folder that may be removed.
class CurrentDirectoryGuard {
  public:
    CurrentDirectoryGuard() : previous_(getCurrentDir()) {}
    ~CurrentDirectoryGuard() { setCurrentDir(previous_); }
    CurrentDirectoryGuard(const CurrentDirectoryGuard&) = delete;
    CurrentDirectoryGuard& operator=(const CurrentDirectoryGuard&) = delete;

  private:
    KxPathBuffer previous_;
};

// True only for a regular file whose size is above 0.
bool isNonEmptyFile(const KxCString& path);
bool isNonEmptyFile(const KxCString& dir, const KxCString& name);

// The longest path, and the most levels, makeDirectories accepts.
inline constexpr KxCString::size_type kMaxPathLength = 4096;
inline constexpr std::size_t kMaxPathDepth = 256;

// How much of a generator's errors.xml the pages read: beyond it the file is
// read up to the limit and the status page says so.
inline constexpr std::size_t kMaxErrorFileBytes = 4 * 1024 * 1024;

// Creates the directory and any missing parents. "" on success, else the
// message to show.
KxCString makeDirectories(const KxCString& path);

// True when a file of dir has a name ending with suffix.
bool directoryHasFileEndingWith(const KxCString& dir, const KxCString& suffix);

// Whether dir's errors.xml mentions an <Error> or a <Warning> at all: a quick
// text search, not a reading of the records.
void scanErrorsFile(const KxCString& dir, bool& hasErrors, bool& hasWarnings);

// ---- paths and text ------------------------------------------------------------

// "text/xml" for the extensions wsdl, xsd and xslt, else "text/plain".
KxCString mimeTypeOf(const KxCString& fileName);
// The text before the last slash or backslash; "" when there is neither.
KxCString parentDirectory(const KxCString& path);
bool endsWith(const KxCString& text, const KxCString& suffix);
// A copy without any double-quote character.
KxCString stripQuotes(const KxCString& text);
// Two backslashes in a row become one; any other backslash stays as it is.
KxCString unescapeBackslashes(const KxCString& text);

// The product's home directory: KX_HOME without quotes, "" when unset.
KxCString homeDirectory();
// "Error: " and the platform's text for an errno value (or its number).
KxCString errnoMessage(int errorNumber);
