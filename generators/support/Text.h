#pragma once
// Small text helpers shared by the generators: escaping for XML, HTML and
// C++ literals, C++ identifiers made from XML names, qualified names, flags
// and paths as the wizards write them.
#include <optional>
#include <string_view>
#include <vector>

#include "platform/base/KxCString.h"

namespace kx::gen {

// ---- Escaping: one function per place a value lands ----------------------
// Every value that comes from an input document, the properties file, the
// project file or the command line reaches generated text through one of
// these.

// XML and HTML element content and attribute values (in double quotes): &,
// <, > and " as entity references, tab and line breaks as character
// references (so that a value keeps to one line and survives attribute
// normalisation), and characters XML cannot hold (other control characters,
// broken UTF-8) as U+FFFD.
KxCString xmlEscape(std::string_view text);

// The inside of an XML comment (<!-- ... -->): escaped as above, and "--"
// broken up, which a comment cannot hold.
KxCString xmlCommentText(std::string_view text);

// A C++ string literal (with its quotes) holding the text. Everything but
// printable ASCII is an escape sequence, and '?' is escaped so that no
// trigraph-like sequence forms.
KxCString cppLiteral(std::string_view text);

// C++ line comments holding the text: one "// " line per line of the text
// (LF, CR LF or CR ending a line), each starting with indent. Within a line,
// control characters and bidirectional-override characters become spaces,
// "*" "/" pairs are broken up, and a line never ends in a backslash (or
// "??/"), so that no line splice pulls the next line into the comment or
// code out of it.
KxCString cppComment(std::string_view text, std::string_view indent = {});

// A C++ identifier made from an XML name: characters other than ASCII
// letters, digits and '_' become '_', a leading digit gets an "x_" in front,
// and a C++ keyword gets a trailing '_'. The result always matches
// [A-Za-z_][A-Za-z0-9_]* and is never a keyword.
KxCString identifier(std::string_view name);
bool isCppKeyword(std::string_view word);

// A value quoted in a diagnostic or the log: line breaks, tabs and other
// control characters written as \n, \r, \t and \xNN, so that the message
// stays on one line and shows what the value holds.
KxCString shownValue(std::string_view text);

// Why the name cannot stand as a word of a makefile, a file name in the
// project or a name in the developer-studio files; nothing when it can.
// Allowed are ASCII letters and digits, '_', '.', '+', '-' (not first) and
// non-ASCII characters; the reason names the first character refused.
std::optional<KxCString> buildNameProblem(std::string_view name);

// Why a directory from the settings does not stay inside the project (it is
// absolute or climbs out with ".."); nothing when it does. Empty is the
// project directory itself.
std::optional<KxCString> projectDirectoryProblem(std::string_view path);

// The part of a qualified name after its prefix ("tns:Ping" -> "Ping").
KxCString localName(std::string_view qname);
// The prefix of a qualified name ("tns:Ping" -> "tns"); empty without one.
KxCString prefixOf(std::string_view qname);

// The text with its first letter in upper case.
KxCString upperFirst(std::string_view text);

// True for the flag values the wizards write: "true" (any case) or "1".
bool isTrue(std::string_view flag);

// A path value as startup.properties stores it, with each doubled
// backslash made single again.
KxCString undoubleBackslashes(std::string_view value);

// dir and name joined with a backslash (the system's separator; the OS layer
// maps it). '/' in name becomes '\'. An empty dir gives name alone.
KxCString joinPath(std::string_view dir, std::string_view name);

// Whether the path starts at a root: '/', '\' or a drive letter and colon.
bool isAbsolutePath(std::string_view path);

// The last component of a path, either separator counting.
KxCString baseName(std::string_view path);

// The file that a location written in a document (an include's or import's)
// names: taken from the folder of the document's file name unless it is
// absolute, with '/' for either separator.
KxCString locationBeside(std::string_view documentName, std::string_view location);

// The name without its last extension ("a.b.wsdl" gives "a.b"); a name
// whose only dot leads it is kept whole.
KxCString withoutExtension(const KxCString& name);

// The full path of a file name as given on a command line, in the operating
// system's spelling: relative names are taken from the current directory.
KxCString fullPath(std::string_view path);

// Creates the directory and any missing parents. False when one of them
// cannot be made (errno set).
bool makeDirectories(std::string_view path);

// The system's text for errno, or "error N".
KxCString errnoText(int errorNumber);

}  // namespace kx::gen
