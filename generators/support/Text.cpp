#include "generators/support/Text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <set>

#include "platform/base/KxText.h"
#include "platform/os/KxOs.h"

namespace kx::gen {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

// Characters that reorder how a line is shown (U+061C, U+200E, U+200F,
// U+202A to U+202E, U+2066 to U+2069): in a comment they could make code
// look like commentary or the other way round.
bool isBidiControl(std::string_view sequence) {
    if (sequence == "\xD8\x9C") {
        return true;
    }
    if (sequence.size() != 3 || sequence[0] != '\xE2') {
        return false;
    }
    const auto second = static_cast<unsigned char>(sequence[1]);
    const auto third = static_cast<unsigned char>(sequence[2]);
    return (second == 0x80 &&
            (third == 0x8E || third == 0x8F || (third >= 0xAA && third <= 0xAE))) ||
           (second == 0x81 && third >= 0xA6 && third <= 0xA9);
}

bool isControl(unsigned char byte) {
    return byte < 0x20 || byte == 0x7f;
}

// One line of a C++ comment, made inert as cppComment describes.
KxCString commentLine(std::string_view line) {
    KxCString out;
    for (std::size_t i = 0; i < line.size();) {
        const auto byte = static_cast<unsigned char>(line[i]);
        const std::size_t length = std::max<std::size_t>(kx::utf8SequenceLength(line.substr(i)), 1);
        const std::string_view sequence = line.substr(i, length);
        if ((isControl(byte) && byte != '\t') || isBidiControl(sequence)) {
            out += ' ';
        } else if ((byte == '*' || byte == '/') && !out.empty() &&
                   (out.back() == '*' || out.back() == '/') && out.back() != line[i]) {
            out += ' ';  // "*/" and "/*" become "* /" and "/ *"
            out += line[i];
        } else {
            out += sequence;
        }
        i += length;
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) {
        out.pop_back();
    }
    if (out.ends_with('\\') || out.ends_with("?\?/")) {
        out += '.';
    }
    return out;
}

}  // namespace

KxCString xmlEscape(std::string_view text) {
    KxCString out;
    out.reserve(text.size());
    std::size_t plain = 0;  // where the run not yet written starts
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = kx::utf8SequenceLength(text.substr(i));
        const std::string_view sequence = text.substr(i, std::max<std::size_t>(length, 1));
        std::string_view replacement;
        if (sequence == "\t" || sequence == "\n" || sequence == "\r") {
            replacement = sequence == "\t" ? "&#9;" : sequence == "\n" ? "&#10;" : "&#13;";
        } else if (length == 0 || static_cast<unsigned char>(sequence[0]) < 0x20 ||
                   sequence == "\xEF\xBF\xBE" || sequence == "\xEF\xBF\xBF") {
            // Broken UTF-8, and characters XML 1.0 cannot hold.
            replacement = kReplacementCharacter;
        }
        i += sequence.size();
        if (!replacement.empty()) {
            kx::appendEscapedMarkup(out, text.substr(plain, i - sequence.size() - plain), false);
            out += replacement;
            plain = i;
        }
    }
    kx::appendEscapedMarkup(out, text.substr(plain), false);
    return out;
}

KxCString xmlCommentText(std::string_view text) {
    KxCString out;
    for (char c : xmlEscape(text)) {
        if (c == '-' && !out.empty() && out.back() == '-') {
            out += ' ';
        }
        out += c;
    }
    if (out.ends_with('-')) {
        out += ' ';
    }
    return out;
}

KxCString cppLiteral(std::string_view text) {
    KxCString out = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (isControl(byte) || byte >= 0x80) {
            // Octal, three digits, so that a following digit cannot extend it.
            out += '\\';
            out += static_cast<char>('0' + (byte >> 6));
            out += static_cast<char>('0' + ((byte >> 3) & 7));
            out += static_cast<char>('0' + (byte & 7));
        } else if (c == '?') {
            out += "\\?";  // keeps trigraph-like sequences inert
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

KxCString cppComment(std::string_view text, std::string_view indent) {
    KxCString out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find_first_of("\r\n", start);
        const KxCString line = commentLine(text.substr(start, end - start));
        out += indent;
        out += line.empty() ? "//\n" : "// " + line + "\n";
        if (end == std::string_view::npos) {
            return out;
        }
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
}

KxCString shownValue(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    KxCString out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (isControl(byte)) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<KxCString> buildNameProblem(std::string_view name) {
    if (name.empty()) {
        return KxCString("it is empty");
    }
    if (name == "." || name == "..") {
        return KxCString("it names a directory, not a file");
    }
    if (name.front() == '-') {
        return KxCString("it starts with '-'");
    }
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 || std::isalnum(byte) != 0 || c == '_' || c == '.' || c == '+' ||
            c == '-') {
            continue;
        }
        if (c == '\n' || c == '\r') {
            return KxCString("it holds a line break");
        }
        if (c == ' ' || c == '\t') {
            return KxCString("it holds white space");
        }
        if (isControl(byte)) {
            return "it holds the control character " + shownValue(std::string_view(&c, 1));
        }
        if (c == '/' || c == '\\') {
            return "it holds the path separator '" + KxCString(1, c) + "'";
        }
        return "it holds the character '" + KxCString(1, c) + "'";
    }
    return std::nullopt;
}

std::optional<KxCString> projectDirectoryProblem(std::string_view path) {
    if (isAbsolutePath(path)) {
        return KxCString("it is an absolute path; it must name a folder inside the project");
    }
    if (kx::hasParentSegment(path)) {
        return KxCString("it climbs out of the project with '..'");
    }
    return std::nullopt;
}

KxCString localName(std::string_view qname) {
    const auto colon = qname.rfind(':');
    return KxCString(colon == std::string_view::npos ? qname : qname.substr(colon + 1));
}

KxCString prefixOf(std::string_view qname) {
    const auto colon = qname.rfind(':');
    return colon == std::string_view::npos ? KxCString() : KxCString(qname.substr(0, colon));
}

bool isCppKeyword(std::string_view word) {
    static const std::set<std::string_view> kKeywords = {
        "alignas",       "alignof",     "and",
        "and_eq",        "asm",         "auto",
        "bitand",        "bitor",       "bool",
        "break",         "case",        "catch",
        "char",          "char8_t",     "char16_t",
        "char32_t",      "class",       "compl",
        "concept",       "const",       "consteval",
        "constexpr",     "constinit",   "const_cast",
        "continue",      "co_await",    "co_return",
        "co_yield",      "decltype",    "default",
        "delete",        "do",          "double",
        "dynamic_cast",  "else",        "enum",
        "explicit",      "export",      "extern",
        "false",         "float",       "for",
        "friend",        "goto",        "if",
        "inline",        "int",         "long",
        "mutable",       "namespace",   "new",
        "noexcept",      "not",         "not_eq",
        "nullptr",       "operator",    "or",
        "or_eq",         "private",     "protected",
        "public",        "register",    "reinterpret_cast",
        "requires",      "return",      "short",
        "signed",        "sizeof",      "static",
        "static_assert", "static_cast", "struct",
        "switch",        "template",    "this",
        "thread_local",  "throw",       "true",
        "try",           "typedef",     "typeid",
        "typename",      "union",       "unsigned",
        "using",         "virtual",     "void",
        "volatile",      "wchar_t",     "while",
        "xor",           "xor_eq",      "main",
        "std",           "orvo",        "NULL",
        "errno",         "assert"};
    return kKeywords.count(word) != 0;
}

KxCString identifier(std::string_view name) {
    KxCString out;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        out += (std::isalnum(byte) != 0 && byte < 0x80) || c == '_' ? c : '_';
    }
    if (out.empty()) {
        return "x_";
    }
    if (std::isdigit(static_cast<unsigned char>(out.front())) != 0) {
        out = "x_" + out;
    }
    // A leading underscore before a capital, or a double one, is reserved.
    if (out.front() == '_') {
        out = "x" + out;
    }
    if (isCppKeyword(out)) {
        out += '_';
    }
    return out;
}

KxCString upperFirst(std::string_view text) {
    KxCString out(text);
    if (!out.empty()) {
        out.front() = static_cast<char>(std::toupper(static_cast<unsigned char>(out.front())));
    }
    return out;
}

bool isTrue(std::string_view flag) {
    if (flag == "1") {
        return true;
    }
    if (flag.size() != 4) {
        return false;
    }
    KxCString lower;
    for (char c : flag) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower == "true";
}

KxCString undoubleBackslashes(std::string_view value) {
    KxCString out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        out += value[i];
        if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == '\\') {
            ++i;
        }
    }
    return out;
}

KxCString joinPath(std::string_view dir, std::string_view name) {
    KxCString joined(dir);
    if (!joined.empty() && joined.back() != '\\' && joined.back() != '/') {
        joined += '\\';
    }
    for (char c : name) {
        joined += c == '/' ? '\\' : c;
    }
    return joined;
}

bool isAbsolutePath(std::string_view path) {
    if (!path.empty() && (path.front() == '/' || path.front() == '\\')) {
        return true;
    }
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) != 0 &&
           path[1] == ':';
}

KxCString baseName(std::string_view path) {
    const auto separator = path.find_last_of("/\\");
    return KxCString(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

KxCString locationBeside(std::string_view documentName, std::string_view location) {
    KxCString named(location);
    std::replace(named.begin(), named.end(), '\\', '/');
    if (isAbsolutePath(named)) {
        return named;
    }
    const auto slash = documentName.find_last_of("/\\");
    KxCString folder(slash == std::string_view::npos ? std::string_view()
                                                     : documentName.substr(0, slash + 1));
    std::replace(folder.begin(), folder.end(), '\\', '/');
    return folder + named;
}

KxCString withoutExtension(const KxCString& name) {
    const auto dot = name.rfind('.');
    return dot == KxCString::npos || dot == 0 ? name : name.substr(0, dot);
}

KxCString fullPath(std::string_view path) {
    if (isAbsolutePath(path)) {
        return kx::os::nativePath(KxCString(path));
    }
    const kx::os::KxPathBuffer current = kx::os::getCurrentDirectory();
    return kx::os::nativePath(joinPath(current.c_str(), path));
}

bool makeDirectories(std::string_view path) {
    const KxCString native = kx::os::nativePath(KxCString(path));
    std::size_t position = 0;
    for (;;) {
        position = native.find('/', position + 1);
        const KxCString prefix = native.substr(0, position);
        kx::os::FileStatus status;
        if (!prefix.empty() && !(kx::os::fileStatus(prefix, status) && status.isDirectory())) {
            if (!kx::os::makeDirectory(prefix) &&
                !(kx::os::fileStatus(prefix, status) && status.isDirectory())) {
                return false;
            }
        }
        if (position == KxCString::npos) {
            return true;
        }
    }
}

KxCString errnoText(int errorNumber) {
    return kx::os::errorText(errorNumber).value_or("error " + std::to_string(errorNumber));
}

}  // namespace kx::gen
