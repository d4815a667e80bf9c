// orvovalues.h: the lexical forms of the XML Schema simple types that map to
// C++ types: strings, booleans, integers of each width, float and double,
// and base64 and hexadecimal binary data.
#pragma once

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <utility>
#include <vector>

// Floating-point std::from_chars/std::to_chars are missing from older standard
// libraries; streams in the classic locale stand in for them there.
#if !defined(__cpp_lib_to_chars) || defined(ORVO_NO_FLOAT_CHARCONV)
#include <cstdlib>
#include <locale>
#include <sstream>
#define ORVO_STREAM_FLOATS 1
#endif

#include "orvobase.h"

namespace orvo {

// ---- values -----------------------------------------------------------------
// parse() reads a lexical form of an XML Schema simple type and throws
// XmlError (without a location) for text that is not one; format() writes the
// lexical form. Except for strings, surrounding white space is ignored.

inline void parse(const std::string& text, std::string& value) {
    value = text;
}

inline std::string format(const std::string& value) {
    return value;
}

// So that a string literal is not taken for a bool.
inline std::string format(const char* value) {
    return value;
}

inline void parse(const std::string& text, bool& value) {
    const std::string_view word = detail::trim(text);
    if (word == "true" || word == "1") {
        value = true;
    } else if (word == "false" || word == "0") {
        value = false;
    } else {
        throw XmlError(detail::quote(word) + " is not a boolean (true, false, 1 or 0)");
    }
}

inline std::string format(bool value) {
    return value ? "true" : "false";
}

namespace detail {

template <class T>
using IfInteger = std::enable_if_t<std::is_integral<T>::value && !std::is_same<T, bool>::value>;

template <class T>
struct NonDeduced {
    using type = T;
};

template <class T>
std::string integerText(T value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

template <class T>
[[noreturn]] void outOfRange(std::string_view word, T min, T max) {
    throw XmlError(quote(word) + " is out of range (" + integerText(min) + " to " +
                   integerText(max) + ")");
}

}  // namespace detail

// Integers: an optional sign and decimal digits.
template <class T, class = detail::IfInteger<T>>
void parse(const std::string& text, T& value) {
    const std::string_view word = detail::trim(text);
    std::size_t i = 0;
    const bool negative = !word.empty() && word[0] == '-';
    if (!word.empty() && (word[0] == '-' || word[0] == '+')) {
        i = 1;
    }
    if (i == word.size()) {
        throw XmlError(detail::quote(word) + " is not an integer");
    }
    for (std::size_t j = i; j < word.size(); ++j) {
        if (word[j] < '0' || word[j] > '9') {
            throw XmlError(detail::quote(word) + " is not an integer");
        }
    }
    constexpr T kMin = std::numeric_limits<T>::min();
    constexpr T kMax = std::numeric_limits<T>::max();
    std::uint64_t magnitude = 0;
    const auto result = std::from_chars(word.data() + i, word.data() + word.size(), magnitude);
    if (result.ec != std::errc()) {
        detail::outOfRange(word, kMin, kMax);
    }
    if (negative && magnitude != 0) {
        if constexpr (std::is_signed<T>::value) {
            // -magnitude fits when magnitude - 1 <= -(kMin + 1), which is kMax.
            if (magnitude - 1 > static_cast<std::uint64_t>(kMax)) {
                detail::outOfRange(word, kMin, kMax);
            }
            value = static_cast<T>(-static_cast<std::int64_t>(magnitude - 1) - 1);
            return;
        }
        detail::outOfRange(word, kMin, kMax);
    }
    if (magnitude > static_cast<std::uint64_t>(kMax)) {
        detail::outOfRange(word, kMin, kMax);
    }
    value = static_cast<T>(magnitude);
}

template <class T, class = detail::IfInteger<T>>
std::string format(T value) {
    return detail::integerText(value);
}

// An integer that must also lie within [min, max] (a restricted type). The
// bounds are not deduced, so literals of any integer type convert to T.
template <class T, class = detail::IfInteger<T>>
void parseInRange(const std::string& text, T& value, typename detail::NonDeduced<T>::type min,
                  typename detail::NonDeduced<T>::type max) {
    T read{};
    parse(text, read);
    if (read < min || read > max) {
        detail::outOfRange(detail::trim(text), min, max);
    }
    value = read;
}

namespace detail {

// Reads a number already checked against the XML Schema grammar (no '+');
// false when it is too large for T. Too small a number becomes zero.
template <class T>
bool readFloat(std::string_view word, T& value) {
#if defined(ORVO_STREAM_FLOATS)
    std::istringstream in{std::string(word)};
    in.imbue(std::locale::classic());
    T read{};
    in >> read;
    if (in.fail()) {
        if (read == 0) {  // some libraries fail on underflow with zero
            value = word[0] == '-' ? -T(0) : T(0);
            return true;
        }
        return false;
    }
    value = read;
    return true;
#else
    T read{};
    const auto result = std::from_chars(word.data(), word.data() + word.size(), read);
    if (result.ec == std::errc()) {
        value = read;
        return true;
    }
    // Out of range: the decimal exponent of the leading digit tells whether
    // the number is too large or too small.
    // (0.1 <= 10^-exponent * |number| < 1).
    long exponent = 0;
    bool leading = false;  // a digit other than 0 has been seen
    bool point = false;
    std::size_t i = word[0] == '-' ? 1 : 0;
    for (; i < word.size() && word[i] != 'e' && word[i] != 'E'; ++i) {
        if (word[i] == '.') {
            point = true;
        } else if (!leading) {
            if (word[i] != '0') {
                leading = true;
                exponent = point ? exponent : 1;
            } else if (point) {
                --exponent;
            }
        } else if (!point) {
            ++exponent;
        }
    }
    if (i < word.size()) {
        long written = 0;
        const char* first = word.data() + i + 1;
        first += *first == '+' ? 1 : 0;
        const auto parsed = std::from_chars(first, word.data() + word.size(), written);
        if (parsed.ec != std::errc()) {
            written = *first == '-' ? -100000 : 100000;
        }
        exponent += written;
    }
    if (exponent > 0) {
        return false;
    }
    value = word[0] == '-' ? -T(0) : T(0);
    return true;
#endif
}

template <class T>
void parseFloat(const std::string& text, T& value, const char* typeName) {
    const std::string_view word = trim(text);
    if (word == "NaN") {
        value = std::numeric_limits<T>::quiet_NaN();
        return;
    }
    if (word == "INF" || word == "+INF" || word == "-INF") {
        value = word[0] == '-' ? -std::numeric_limits<T>::infinity()
                               : std::numeric_limits<T>::infinity();
        return;
    }
    std::size_t i = 0;
    const auto digits = [&word, &i]() {
        const std::size_t start = i;
        while (i < word.size() && word[i] >= '0' && word[i] <= '9') {
            ++i;
        }
        return i - start;
    };
    if (i < word.size() && (word[i] == '+' || word[i] == '-')) {
        ++i;
    }
    std::size_t mantissa = digits();
    if (i < word.size() && word[i] == '.') {
        ++i;
        mantissa += digits();
    }
    bool valid = mantissa > 0;
    if (valid && i < word.size() && (word[i] == 'e' || word[i] == 'E')) {
        ++i;
        if (i < word.size() && (word[i] == '+' || word[i] == '-')) {
            ++i;
        }
        valid = digits() > 0;
    }
    if (!valid || i != word.size()) {
        throw XmlError(quote(word) + " is not a number");
    }
    if (!readFloat(word[0] == '+' ? word.substr(1) : word, value)) {
        throw XmlError(quote(word) + " is out of range for a " + typeName);
    }
}

template <class T>
std::string formatFloat(T value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "INF" : "-INF";
    }
#if defined(ORVO_STREAM_FLOATS)
    // The fewest significant digits that read back to the same value, then
    // the shorter of the fixed and exponent forms with them.
    const auto write = [value](std::ios_base::fmtflags form, int precision) {
        std::ostringstream out;
        out.imbue(std::locale::classic());
        out.setf(form, std::ios_base::floatfield);
        out.precision(precision);
        out << value;
        return out.str();
    };
    std::string text;
    for (int digits = 1; digits <= std::numeric_limits<T>::max_digits10; ++digits) {
        text = write(std::ios_base::scientific, digits - 1);
        std::istringstream in(text);
        in.imbue(std::locale::classic());
        T back{};
        if ((in >> back) && back == value) {
            const int exponent = std::atoi(text.c_str() + text.find('e') + 1);
            const int decimals = digits - 1 - exponent;
            const std::string fixed = write(std::ios_base::fixed, decimals > 0 ? decimals : 0);
            return fixed.size() <= text.size() ? fixed : text;
        }
    }
    return text;
#else
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
#endif
}

}  // namespace detail

// float and double: decimal or exponent form, INF, +INF, -INF and NaN;
// written with the fewest digits that read back to the same value.
inline void parse(const std::string& text, float& value) {
    detail::parseFloat(text, value, "float");
}
inline void parse(const std::string& text, double& value) {
    detail::parseFloat(text, value, "double");
}
inline std::string format(float value) {
    return detail::formatFloat(value);
}
inline std::string format(double value) {
    return detail::formatFloat(value);
}

// xsd:base64Binary and xsd:hexBinary.
struct Base64Binary {
    std::vector<unsigned char> bytes;
};
struct HexBinary {
    std::vector<unsigned char> bytes;
    // Written in lower case: read so (as KML's colours are), so that what
    // is read comes back as written.
    bool lowerCase = false;
};
inline bool operator==(const Base64Binary& a, const Base64Binary& b) {
    return a.bytes == b.bytes;
}
inline bool operator!=(const Base64Binary& a, const Base64Binary& b) {
    return a.bytes != b.bytes;
}
inline bool operator==(const HexBinary& a, const HexBinary& b) {
    return a.bytes == b.bytes;
}
inline bool operator!=(const HexBinary& a, const HexBinary& b) {
    return a.bytes != b.bytes;
}

// Base64 with white space allowed anywhere and '=' padding to a multiple of
// four characters.
inline void parse(const std::string& text, Base64Binary& value) {
    std::string data;
    data.reserve(text.size());
    for (char c : text) {
        if (!detail::isSpace(c)) {
            data += c;
        }
    }
    const auto refuse = [&text]() {
        throw XmlError(detail::quote(detail::trim(text)) + " is not base64 data");
    };
    std::size_t padding = 0;
    while (padding < data.size() && data[data.size() - 1 - padding] == '=') {
        ++padding;
    }
    if (data.size() % 4 != 0 || padding > 2) {
        refuse();
    }
    std::vector<unsigned char> bytes;
    bytes.reserve(data.size() / 4 * 3);
    unsigned long group = 0;
    const std::size_t symbols = data.size() - padding;
    for (std::size_t i = 0; i < symbols; ++i) {
        const char c = data[i];
        unsigned digit = 0;
        if (c >= 'A' && c <= 'Z') {
            digit = static_cast<unsigned>(c - 'A');
        } else if (c >= 'a' && c <= 'z') {
            digit = static_cast<unsigned>(c - 'a' + 26);
        } else if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0' + 52);
        } else if (c == '+' || c == '/') {
            digit = c == '+' ? 62 : 63;
        } else {
            refuse();
        }
        group = (group << 6) | digit;
        if (i % 4 == 3) {
            bytes.push_back(static_cast<unsigned char>(group >> 16));
            bytes.push_back(static_cast<unsigned char>(group >> 8));
            bytes.push_back(static_cast<unsigned char>(group));
            group = 0;
        }
    }
    if (padding == 2) {
        bytes.push_back(static_cast<unsigned char>(group >> 4));
    } else if (padding == 1) {
        bytes.push_back(static_cast<unsigned char>(group >> 10));
        bytes.push_back(static_cast<unsigned char>(group >> 2));
    }
    value.bytes = std::move(bytes);
}

inline std::string format(const Base64Binary& value) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::vector<unsigned char>& bytes = value.bytes;
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned long group = (static_cast<unsigned long>(bytes[i]) << 16) |
                                    (static_cast<unsigned long>(bytes[i + 1]) << 8) | bytes[i + 2];
        out += kAlphabet[(group >> 18) & 63];
        out += kAlphabet[(group >> 12) & 63];
        out += kAlphabet[(group >> 6) & 63];
        out += kAlphabet[group & 63];
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const unsigned long group = (static_cast<unsigned long>(bytes[i]) << 16) |
                                    (two ? static_cast<unsigned long>(bytes[i + 1]) << 8 : 0);
        out += kAlphabet[(group >> 18) & 63];
        out += kAlphabet[(group >> 12) & 63];
        out += two ? kAlphabet[(group >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

// Hexadecimal digits in pairs; either case is read, and written in the case
// read (upper case for a value made in code).
inline void parse(const std::string& text, HexBinary& value) {
    const std::string_view word = detail::trim(text);
    const auto digit = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : -1;
    };
    std::vector<unsigned char> bytes;
    bytes.reserve(word.size() / 2);
    for (std::size_t i = 0; i < word.size(); i += 2) {
        const int high = digit(word[i]);
        const int low = i + 1 < word.size() ? digit(word[i + 1]) : -1;
        if (high < 0 || low < 0) {
            throw XmlError(detail::quote(word) + " is not hexadecimal data");
        }
        bytes.push_back(static_cast<unsigned char>(high * 16 + low));
    }
    value.bytes = std::move(bytes);
    value.lowerCase = word.find_first_of("abcdef") != std::string_view::npos &&
                      word.find_first_of("ABCDEF") == std::string_view::npos;
}

inline std::string format(const HexBinary& value) {
    const char* kDigits = value.lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    std::string out;
    out.reserve(value.bytes.size() * 2);
    for (unsigned char byte : value.bytes) {
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
    }
    return out;
}

}  // namespace orvo
