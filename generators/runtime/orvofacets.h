// orvofacets.h: the facets of XML Schema simple types that reading checks
// beyond the type itself: patterns, lengths, digits and ranges, each on the
// value's text as the document holds it, after the type's white-space rule.
// The generated classes describe each restricted type once, as a static
// Facets, and call checkFacets() after reading a value.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "orvobase.h"
#include "orvoclasses.h"
#include "orvopattern.h"
#include "orvoxml.h"

namespace orvo {

enum class WhiteSpace { Preserve, Replace, Collapse };

class Facets {
  public:
    // How the length of a value is counted, and how its range is compared.
    enum class Kind {
        Text,    // characters
        List,    // items
        Hex,     // octets of hexBinary
        Base64,  // octets of base64Binary
        Number,  // decimal numbers and integers, compared exactly
        Float,   // float and double
        Other    // neither length nor range is checked
    };
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    Facets(Kind kind, WhiteSpace whiteSpace) : kind_(kind), whiteSpace_(whiteSpace) {}

    // Each call adds one restriction's patterns, one of which must match.
    Facets&& pattern(std::string_view expression) && {
        patterns_.emplace_back(expression);
        return std::move(*this);
    }
    Facets&& length(std::size_t least, std::size_t most) && {
        minLength_ = least;
        maxLength_ = most;
        return std::move(*this);
    }
    Facets&& digits(std::size_t total, std::size_t fraction) && {
        totalDigits_ = total;
        fractionDigits_ = fraction;
        return std::move(*this);
    }
    // Bounds as their text; nullptr for none.
    Facets&& range(const char* minInclusive, const char* maxInclusive, const char* minExclusive,
                   const char* maxExclusive) && {
        bounds_[0] = minInclusive;
        bounds_[1] = maxInclusive;
        bounds_[2] = minExclusive;
        bounds_[3] = maxExclusive;
        return std::move(*this);
    }

    // Throws XmlError at `at` when `text`, the element's or its attribute's,
    // breaks a facet.
    void check(const Element& at, const std::string& text, const char* attribute = nullptr) const;

  private:
    std::size_t lengthOf(const std::string& value) const;
    void checkDigits(const Element& at, const std::string& value, const std::string& where) const;
    void checkRange(const Element& at, const std::string& value, const std::string& where) const;

    Kind kind_;
    WhiteSpace whiteSpace_;
    std::vector<Pattern> patterns_;
    std::size_t minLength_ = 0;
    std::size_t maxLength_ = kNone;
    std::size_t totalDigits_ = kNone;
    std::size_t fractionDigits_ = kNone;
    const char* bounds_[4] = {nullptr, nullptr, nullptr, nullptr};
};

namespace detail {

inline std::string withWhiteSpace(const std::string& text, WhiteSpace rule) {
    if (rule == WhiteSpace::Collapse) {
        return collapseWhiteSpace(text);
    }
    std::string out = text;
    if (rule == WhiteSpace::Replace) {
        for (char& c : out) {
            if (c == '\t' || c == '\n' || c == '\r') {
                c = ' ';
            }
        }
    }
    return out;
}

// The sign, integer digits and fraction digits of a decimal number's text,
// without leading zeros of the integer part or trailing zeros of the
// fraction.
struct DecimalParts {
    bool negative = false;
    std::string_view whole;
    std::string_view fraction;
};

inline DecimalParts decimalParts(std::string_view text) {
    DecimalParts parts;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        parts.negative = text[0] == '-';
        text.remove_prefix(1);
    }
    const std::size_t point = text.find('.');
    parts.whole = text.substr(0, point);
    parts.fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    while (!parts.whole.empty() && parts.whole.front() == '0') {
        parts.whole.remove_prefix(1);
    }
    while (!parts.fraction.empty() && parts.fraction.back() == '0') {
        parts.fraction.remove_suffix(1);
    }
    if (parts.whole.empty() && parts.fraction.empty()) {
        parts.negative = false;  // -0 is 0
    }
    return parts;
}

// -1, 0 or 1 as decimal number a is below, equal to or above b, exactly.
inline int compareDecimals(std::string_view a, std::string_view b) {
    const DecimalParts x = decimalParts(a);
    const DecimalParts y = decimalParts(b);
    if (x.negative != y.negative) {
        return x.negative ? -1 : 1;
    }
    int magnitude = 0;
    if (x.whole.size() != y.whole.size()) {
        magnitude = x.whole.size() < y.whole.size() ? -1 : 1;
    } else if (int c = x.whole.compare(y.whole); c != 0) {
        magnitude = c < 0 ? -1 : 1;
    } else if (int f = x.fraction.compare(y.fraction); f != 0) {
        magnitude = f < 0 ? -1 : 1;  // equal lengths aside, a prefix is smaller
    }
    return x.negative ? -magnitude : magnitude;
}

inline std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

}  // namespace detail

inline std::size_t Facets::lengthOf(const std::string& value) const {
    switch (kind_) {
        case Kind::List: {
            std::size_t items = 0;
            for (std::size_t i = 0; i < value.size(); ++i) {
                items += value[i] != ' ' && (i == 0 || value[i - 1] == ' ') ? 1 : 0;
            }
            return items;
        }
        case Kind::Hex:
            return value.size() / 2;
        case Kind::Base64: {
            std::size_t symbols = 0;
            std::size_t padding = 0;
            for (char c : value) {
                symbols += c != ' ' && c != '=' ? 1 : 0;
                padding += c == '=' ? 1 : 0;
            }
            return (symbols + padding) / 4 * 3 - padding;
        }
        default:
            return detail::characterCount(value);
    }
}

inline void Facets::checkDigits(const Element& at, const std::string& value,
                                const std::string& where) const {
    const detail::DecimalParts parts = detail::decimalParts(value);
    const std::size_t total = std::max<std::size_t>(parts.whole.size() + parts.fraction.size(), 1);
    if (totalDigits_ != kNone && total > totalDigits_) {
        at.fail(detail::quote(value) + " in " + where + " has more than " +
                std::to_string(totalDigits_) + " digits");
    }
    if (fractionDigits_ != kNone && parts.fraction.size() > fractionDigits_) {
        at.fail(detail::quote(value) + " in " + where + " has more than " +
                std::to_string(fractionDigits_) + " digits after the point");
    }
}

inline void Facets::checkRange(const Element& at, const std::string& value,
                               const std::string& where) const {
    static const char* const kWhat[4] = {"below the least value", "above the greatest value",
                                         "not above", "not below"};
    for (int i = 0; i < 4; ++i) {
        if (bounds_[i] == nullptr) {
            continue;
        }
        int order = 0;
        if (kind_ == Kind::Float) {
            const double a = std::strtod(value.c_str(), nullptr);
            const double b = std::strtod(bounds_[i], nullptr);
            order = a < b ? -1 : a > b ? 1 : a == b ? 0 : 2;  // 2: NaN
        } else {
            order = detail::compareDecimals(value, bounds_[i]);
        }
        const bool broken = order == 2 || (i == 0 && order < 0) || (i == 1 && order > 0) ||
                            (i == 2 && order <= 0) || (i == 3 && order >= 0);
        if (broken) {
            at.fail(detail::quote(value) + " in " + where + " is " + kWhat[i] + " " + bounds_[i]);
        }
    }
}

inline void Facets::check(const Element& at, const std::string& text, const char* attribute) const {
    const std::string value = detail::withWhiteSpace(text, whiteSpace_);
    const std::string where = attribute == nullptr ? at.qualifiedName()
                                                   : "the attribute " + std::string(attribute) +
                                                         " of " + at.qualifiedName();
    for (const Pattern& pattern : patterns_) {
        if (pattern.match(value) == Pattern::Result::Differs) {
            at.fail(detail::quote(value) + " in " + where + " does not match the pattern " +
                    pattern.expression());
        }
    }
    if (kind_ != Kind::Number && kind_ != Kind::Float && kind_ != Kind::Other &&
        (minLength_ > 0 || maxLength_ != kNone)) {
        const std::size_t length = lengthOf(value);
        if (length < minLength_ || length > maxLength_) {
            const std::string bound =
                minLength_ == maxLength_ ? "exactly " + std::to_string(minLength_)
                : length < minLength_    ? "at least " + std::to_string(minLength_)
                                         : "at most " + std::to_string(maxLength_);
            at.fail(detail::quote(value) + " in " + where + " has the length " +
                    std::to_string(length) + ", not " + bound);
        }
    }
    if (kind_ == Kind::Number && (totalDigits_ != kNone || fractionDigits_ != kNone)) {
        checkDigits(at, value, where);
    }
    if (kind_ == Kind::Number || kind_ == Kind::Float) {
        checkRange(at, value, where);
    }
}

}  // namespace orvo
