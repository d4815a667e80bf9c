#pragma once
// Small text helpers the platform shares: ASCII case, blanks, and escaping
// for markup.
#include <string_view>

#include "platform/base/KxCString.h"

namespace kx {

// Compares without regard to ASCII case (header names, media types).
bool equalsIgnoringCase(std::string_view a, std::string_view b);
KxCString toLowerAscii(std::string_view text);

// Whether a path, with / or \ as separator, holds a ".." segment (the
// system's paths use backslashes, so both separators count).
bool hasParentSegment(std::string_view path);

// The text without leading and trailing spaces and tabs.
std::string_view trimBlanks(std::string_view text);

// The text without leading and trailing spaces, tabs, CRs and LFs (the
// white space around XML text).
std::string_view trimWhitespace(std::string_view text);

// Appends text with &, <, > and " written as entities, and ' as well when
// escapeApostrophe is set (HTML attribute values may be quoted either way).
void appendEscapedMarkup(KxCString& out, std::string_view text, bool escapeApostrophe);

// The position of the first character appendEscapedMarkup would replace, at
// or after from; npos when there is none.
std::size_t findMarkupSpecial(std::string_view text, std::size_t from, bool escapeApostrophe);

// Appends text percent-encoded for a URL: every byte but RFC 3986's
// unreserved characters (letters, digits, - . _ ~) becomes %XX.
void appendUrlEncoded(KxCString& out, std::string_view text);
KxCString urlEncoded(std::string_view text);

// The length of the well-formed UTF-8 sequence at the start of text, 0 when
// there is none (a stray byte, an overlong form, a surrogate, past
// U+10FFFF).
std::size_t utf8SequenceLength(std::string_view text);

}  // namespace kx
