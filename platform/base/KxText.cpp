#include "platform/base/KxText.h"

#include <algorithm>
#include <array>

namespace kx {

namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Which bytes markup escaping replaces, without and with the apostrophe: a
// table look-up per byte keeps page rendering fast.
using ByteSet = std::array<bool, 256>;

constexpr ByteSet markupSpecials(bool apostrophe) {
    ByteSet set{};
    set[static_cast<unsigned char>('&')] = true;
    set[static_cast<unsigned char>('<')] = true;
    set[static_cast<unsigned char>('>')] = true;
    set[static_cast<unsigned char>('"')] = true;
    set[static_cast<unsigned char>('\'')] = apostrophe;
    return set;
}

constexpr ByteSet kMarkup = markupSpecials(false);
constexpr ByteSet kHtml = markupSpecials(true);

std::string_view trimmed(std::string_view text, std::string_view characters) {
    const auto first = text.find_first_not_of(characters);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(characters);
    return text.substr(first, last - first + 1);
}

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

KxCString toLowerAscii(std::string_view text) {
    KxCString result(text);
    std::transform(result.begin(), result.end(), result.begin(), lowerAscii);
    return result;
}

bool hasParentSegment(std::string_view path) {
    // Each ".." in the text is a segment when a separator (or the text's
    // start and end) stands on both sides of it; most paths hold none.
    for (auto at = path.find(".."); at != std::string_view::npos; at = path.find("..", at + 1)) {
        const bool startsSegment = at == 0 || path[at - 1] == '/' || path[at - 1] == '\\';
        const bool endsSegment =
            at + 2 == path.size() || path[at + 2] == '/' || path[at + 2] == '\\';
        if (startsSegment && endsSegment) {
            return true;
        }
    }
    return false;
}

std::string_view trimBlanks(std::string_view text) {
    return trimmed(text, " \t");
}

std::string_view trimWhitespace(std::string_view text) {
    return trimmed(text, " \t\r\n");
}

std::size_t findMarkupSpecial(std::string_view text, std::size_t from, bool escapeApostrophe) {
    const ByteSet& specials = escapeApostrophe ? kHtml : kMarkup;
    for (std::size_t i = from; i < text.size(); ++i) {
        if (specials[static_cast<unsigned char>(text[i])]) {
            return i;
        }
    }
    return std::string_view::npos;
}

void appendEscapedMarkup(KxCString& out, std::string_view text, bool escapeApostrophe) {
    // One pass: the plain runs between specials are appended whole.
    const ByteSet& specials = escapeApostrophe ? kHtml : kMarkup;
    const char* run = text.data();
    const char* const end = run + text.size();
    for (const char* at = run; at != end; ++at) {
        if (!specials[static_cast<unsigned char>(*at)]) {
            continue;
        }
        out.append(run, static_cast<std::size_t>(at - run));
        switch (*at) {
            case '&':
                out.append("&amp;", 5);
                break;
            case '<':
                out.append("&lt;", 4);
                break;
            case '>':
                out.append("&gt;", 4);
                break;
            case '"':
                out.append("&quot;", 6);
                break;
            default:
                out.append("&#39;", 5);
                break;
        }
        run = at + 1;
    }
    out.append(run, static_cast<std::size_t>(end - run));
}

void appendUrlEncoded(KxCString& out, std::string_view text) {
    static constexpr std::array<bool, 256> kUnreserved = [] {
        std::array<bool, 256> unreserved{};
        for (int c = 0; c < 256; ++c) {
            unreserved[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                            (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
        }
        return unreserved;
    }();
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!kUnreserved[byte]) {
            out.append(text.data() + start, i - start);
            const char encoded[] = {'%', kHex[byte >> 4], kHex[byte & 0xF]};
            out.append(encoded, 3);
            start = i + 1;
        }
    }
    out.append(text.data() + start, text.size() - start);
}

KxCString urlEncoded(std::string_view text) {
    KxCString out;
    appendUrlEncoded(out, text);
    return out;
}

std::size_t utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

}  // namespace kx
