#pragma once
// Small text helpers shared by the generators: escaping for XML, HTML and
// C++ literals, C++ identifiers made from XML names, qualified names, flags
// and paths as the wizards write them.
#include <string_view>
#include <vector>

#include "platform/base/KxCString.h"

namespace kx::gen {

// The text with &, <, > and " replaced by their entity references; good for
// XML and HTML element content and attribute values alike.
KxCString xmlEscape(std::string_view text);

// A C++ string literal (with its quotes) holding the text.
KxCString cppLiteral(std::string_view text);

// The part of a qualified name after its prefix ("tns:Ping" -> "Ping").
KxCString localName(std::string_view qname);
// The prefix of a qualified name ("tns:Ping" -> "tns"); empty without one.
KxCString prefixOf(std::string_view qname);

// A C++ identifier made from an XML name: characters other than letters,
// digits and '_' become '_', a leading digit gets an "x_" in front, and a
// C++ keyword gets a trailing '_'.
KxCString identifier(std::string_view name);
bool isCppKeyword(std::string_view word);

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

// The full path of a file name as given on a command line, in the operating
// system's spelling: relative names are taken from the current directory.
KxCString fullPath(std::string_view path);

// Creates the directory and any missing parents. False when one of them
// cannot be made (errno set).
bool makeDirectories(std::string_view path);

// The system's text for errno, or "error N".
KxCString errnoText(int errorNumber);

}  // namespace kx::gen
