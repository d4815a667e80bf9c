// orvolexical.h: the value types kept as the text they were read from,
// checked against their lexical form: Decimal, DateTime, Date, Time,
// Duration and the integers without a bound in bits.
#pragma once

#include <cstddef>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "orvobase.h"
#include "orvovalues.h"

namespace orvo {

namespace detail {

// Reads the lexical forms of dates, times and durations.
struct Scanner {
    std::string_view text;
    std::size_t at = 0;

    bool done() const { return at == text.size(); }
    bool peek(char c) const { return at < text.size() && text[at] == c; }
    bool eat(char c) {
        if (!peek(c)) {
            return false;
        }
        ++at;
        return true;
    }
    std::size_t digitRun() {
        const std::size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            ++at;
        }
        return at - start;
    }
    // Exactly count digits, as a number.
    bool number(std::size_t count, int& value) {
        const std::size_t start = at;
        if (digitRun() != count) {
            return false;
        }
        value = 0;
        for (std::size_t i = start; i < at; ++i) {
            value = value * 10 + (text[i] - '0');
        }
        return true;
    }
};

// -?YYYY-MM-DD: a year of four digits or more (not 0000, no leading zero
// beyond four digits), a month, and a day that the month has in that year.
inline bool readDate(Scanner& in) {
    in.eat('-');
    const std::size_t start = in.at;
    const std::size_t length = in.digitRun();
    if (length < 4 || (length > 4 && in.text[start] == '0')) {
        return false;
    }
    if (in.text.substr(start, length).find_first_not_of('0') == std::string_view::npos) {
        return false;
    }
    int lastFour = 0;  // 10000 is a multiple of 400, so these decide leap years
    for (std::size_t i = in.at - 4; i < in.at; ++i) {
        lastFour = lastFour * 10 + (in.text[i] - '0');
    }
    const bool leap = lastFour % 4 == 0 && (lastFour % 100 != 0 || lastFour % 400 == 0);
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int month = 0;
    int day = 0;
    if (!in.eat('-') || !in.number(2, month) || !in.eat('-') || !in.number(2, day) || month < 1 ||
        month > 12) {
        return false;
    }
    return day >= 1 && day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

// hh:mm:ss(.f+)?, or 24:00:00 with a zero fraction.
inline bool readTime(Scanner& in) {
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (!in.number(2, hour) || !in.eat(':') || !in.number(2, minute) || !in.eat(':') ||
        !in.number(2, second) || minute > 59 || second > 59) {
        return false;
    }
    bool zeroFraction = true;
    if (in.eat('.')) {
        const std::size_t start = in.at;
        if (in.digitRun() == 0) {
            return false;
        }
        zeroFraction =
            in.text.substr(start, in.at - start).find_first_not_of('0') == std::string_view::npos;
    }
    return hour < 24 || (hour == 24 && minute == 0 && second == 0 && zeroFraction);
}

// An optional time zone: Z or (+|-)hh:mm, at most 14:00 away.
inline bool readZone(Scanner& in) {
    if (in.eat('Z') || in.done()) {
        return true;
    }
    int hours = 0;
    int minutes = 0;
    if (!(in.eat('+') || in.eat('-')) || !in.number(2, hours) || !in.eat(':') ||
        !in.number(2, minutes)) {
        return false;
    }
    return minutes <= 59 && (hours < 14 || (hours == 14 && minutes == 0));
}

inline bool isDateTime(std::string_view text) {
    Scanner in{text};
    return readDate(in) && in.eat('T') && readTime(in) && readZone(in) && in.done();
}

inline bool isDate(std::string_view text) {
    Scanner in{text};
    return readDate(in) && readZone(in) && in.done();
}

inline bool isTime(std::string_view text) {
    Scanner in{text};
    return readTime(in) && readZone(in) && in.done();
}

// -?P(nY)?(nM)?(nD)?(T(nH)?(nM)?(n(.n)?S)?)? with at least one component,
// and at least one after a T.
inline bool isDuration(std::string_view text) {
    Scanner in{text};
    in.eat('-');
    if (!in.eat('P')) {
        return false;
    }
    // Numbers with their designators, in the order given, up to a T or the end.
    const auto components = [&in](const char* designators, bool seconds) {
        std::size_t next = 0;
        bool any = false;
        while (!in.done() && !in.peek('T')) {
            if (in.digitRun() == 0) {
                return false;
            }
            if (seconds && in.eat('.')) {
                if (in.digitRun() == 0 || !in.eat('S')) {
                    return false;
                }
                return in.done();
            }
            const char* found = std::strchr(designators + next, in.text[in.at]);
            if (found == nullptr || *found == 0) {
                return false;
            }
            next = static_cast<std::size_t>(found - designators) + 1;
            ++in.at;
            any = true;
        }
        return any;
    };
    if (!in.peek('T') && !components("YMD", false)) {
        return false;
    }
    if (in.eat('T')) {
        return components("HMS", true) && in.done();
    }
    return in.done();
}

// The text of a value type checked by isValid; message names the lexical
// form for errors.
template <class Tag>
class Lexical {
  public:
    Lexical() : text_(Tag::kDefault) {}
    explicit Lexical(const std::string& text) : text_(trim(text)) {
        if (!Tag::isValid(text_)) {
            throw XmlError(quote(text_) + " is not " + Tag::kWhat);
        }
    }
    const std::string& str() const { return text_; }
    friend bool operator==(const Lexical& a, const Lexical& b) { return a.text_ == b.text_; }
    friend bool operator!=(const Lexical& a, const Lexical& b) { return a.text_ != b.text_; }

  private:
    std::string text_;
};

inline bool isDecimal(std::string_view text) {
    std::size_t i = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    std::size_t digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (text[i] == '.' && !point) {
            point = true;
        } else if (text[i] >= '0' && text[i] <= '9') {
            ++digits;
        } else {
            return false;
        }
    }
    return digits > 0;
}

struct DecimalTag {
    static constexpr const char* kDefault = "0";
    static constexpr const char* kWhat = "a decimal number";
    static bool isValid(std::string_view text) { return isDecimal(text); }
};
struct DateTimeTag {
    static constexpr const char* kDefault = "1970-01-01T00:00:00";
    static constexpr const char* kWhat = "a date and time (YYYY-MM-DDThh:mm:ss)";
    static bool isValid(std::string_view text) { return isDateTime(text); }
};
struct DateTag {
    static constexpr const char* kDefault = "1970-01-01";
    static constexpr const char* kWhat = "a date (YYYY-MM-DD)";
    static bool isValid(std::string_view text) { return isDate(text); }
};
struct TimeTag {
    static constexpr const char* kDefault = "00:00:00";
    static constexpr const char* kWhat = "a time (hh:mm:ss)";
    static bool isValid(std::string_view text) { return isTime(text); }
};
struct DurationTag {
    static constexpr const char* kDefault = "PT0S";
    static constexpr const char* kWhat = "a duration (PnYnMnDTnHnMnS)";
    static bool isValid(std::string_view text) { return isDuration(text); }
};

}  // namespace detail

// xsd:decimal, every digit kept exactly as written.
class Decimal : public detail::Lexical<detail::DecimalTag> {
  public:
    using Lexical::Lexical;
    double toDouble() const {
        std::string_view text = str();
        if (text[0] == '+') {
            text.remove_prefix(1);
        }
        double value = 0;
        if (!detail::readFloat(text, value)) {
            value = text[0] == '-' ? -std::numeric_limits<double>::infinity()
                                   : std::numeric_limits<double>::infinity();
        }
        return value;
    }
};

// xsd:dateTime, xsd:date, xsd:time and xsd:duration, kept as written.
class DateTime : public detail::Lexical<detail::DateTimeTag> {
  public:
    using Lexical::Lexical;
};
class Date : public detail::Lexical<detail::DateTag> {
  public:
    using Lexical::Lexical;
};
class Time : public detail::Lexical<detail::TimeTag> {
  public:
    using Lexical::Lexical;
};
class Duration : public detail::Lexical<detail::DurationTag> {
  public:
    using Lexical::Lexical;
};

// Decimal, DateTime, Date, Time, Duration and the unbounded integers: the
// text is checked as the type's constructor checks it.
template <class Tag>
void parse(const std::string& text, detail::Lexical<Tag>& value) {
    value = detail::Lexical<Tag>(text);
}
template <class Tag>
std::string format(const detail::Lexical<Tag>& value) {
    return value.str();
}

namespace detail {

// An integer of any size: an optional sign and digits. Sign says which
// values the type allows: 0 all, 1 at least 0, 2 at least 1, -1 at most 0,
// -2 at most -1.
inline bool isIntegerOf(std::string_view text, int sign) {
    std::size_t i = 0;
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size()) {
        return false;
    }
    bool zero = true;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        zero = zero && text[i] == '0';
    }
    switch (sign) {
        case 1:
            return !negative || zero;
        case 2:
            return !negative && !zero;
        case -1:
            return negative || zero;
        case -2:
            return negative && !zero;
        default:
            return true;
    }
}

struct IntegerTag {
    static constexpr const char* kDefault = "0";
    static constexpr const char* kWhat = "an integer";
    static bool isValid(std::string_view text) { return isIntegerOf(text, 0); }
};
struct NonNegativeIntegerTag {
    static constexpr const char* kDefault = "0";
    static constexpr const char* kWhat = "a non-negative integer";
    static bool isValid(std::string_view text) { return isIntegerOf(text, 1); }
};
struct PositiveIntegerTag {
    static constexpr const char* kDefault = "1";
    static constexpr const char* kWhat = "a positive integer";
    static bool isValid(std::string_view text) { return isIntegerOf(text, 2); }
};
struct NonPositiveIntegerTag {
    static constexpr const char* kDefault = "0";
    static constexpr const char* kWhat = "a non-positive integer";
    static bool isValid(std::string_view text) { return isIntegerOf(text, -1); }
};
struct NegativeIntegerTag {
    static constexpr const char* kDefault = "-1";
    static constexpr const char* kWhat = "a negative integer";
    static bool isValid(std::string_view text) { return isIntegerOf(text, -2); }
};

}  // namespace detail

// xsd:integer and the integer types derived from it without a bound in
// bits, every digit kept as written.
class Integer : public detail::Lexical<detail::IntegerTag> {
  public:
    using Lexical::Lexical;
};
class NonNegativeInteger : public detail::Lexical<detail::NonNegativeIntegerTag> {
  public:
    using Lexical::Lexical;
};
class PositiveInteger : public detail::Lexical<detail::PositiveIntegerTag> {
  public:
    using Lexical::Lexical;
};
class NonPositiveInteger : public detail::Lexical<detail::NonPositiveIntegerTag> {
  public:
    using Lexical::Lexical;
};
class NegativeInteger : public detail::Lexical<detail::NegativeIntegerTag> {
  public:
    using Lexical::Lexical;
};

}  // namespace orvo
