#pragma once
// Decoding of what a browser sends as text: query strings, form bodies
// (application/x-www-form-urlencoded), escaped paths and cookies. The decoder
// is lenient on purpose: the system's pages put raw Windows paths (with
// backslashes) and other unescaped characters into links, and a malformed
// escape is kept as text instead of failing the request.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kx::container {

using KxParameterList = std::vector<std::pair<std::string, std::string>>;

// Replaces each "%XX" (two hex digits) by its byte; a "%" not followed by two
// hex digits stays as it is. With plusIsSpace, "+" becomes a space (query and
// form text); in paths "+" stays.
std::string percentDecode(std::string_view text, bool plusIsSpace);

// Splits query or form text at "&", each piece at its first "=", and decodes
// both halves. A piece without "=" is a name with an empty value; empty
// pieces and pieces with an empty name are passed over. Order and duplicates
// are kept.
KxParameterList decodeFormText(std::string_view text);

// The value of the named cookie in a Cookie header ("a=1; b=2"); nothing when
// the header does not carry it. Values are taken as sent (surrounding double
// quotes removed).
std::optional<std::string> findCookie(std::string_view cookieHeader, std::string_view name);

// Whether a media type (a Content-Type value, parameters allowed) is
// application/x-www-form-urlencoded.
bool isFormContentType(std::string_view contentType);

}  // namespace kx::container
