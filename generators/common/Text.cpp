#include "generators/common/Text.h"

#include "platform/base/KxText.h"

#include <cctype>
#include <cerrno>
#include <set>

#include "platform/os/KxOs.h"

namespace kx::gen {

KxCString xmlEscape(std::string_view text) {
    KxCString out;
    out.reserve(text.size());
    kx::appendEscapedMarkup(out, text, false);
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
        } else if (byte < 0x20 || byte == 0x7f) {
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
