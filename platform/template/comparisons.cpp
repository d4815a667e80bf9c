#include "platform/template/comparisons.h"

#include <charconv>
#include <compare>
#include <optional>

namespace kx::tl {

// A valid value's text as toString gives it: the value's own when it holds
// its text, which comparisons then read without a copy. (Not appendTo: a
// value may refuse to be written and still be compared.)
std::string_view textOf(const KxContextObject& value, KxCString& buffer) {
    if (const KxCString* text = value.getImpl()->heldText()) {
        return *text;
    }
    buffer = value.toString();
    return buffer;
}

namespace {

struct Number {
    enum Kind { Signed, Unsigned, Real } kind = Signed;
    long long s = 0;
    unsigned long long u = 0;
    double d = 0;
};

// The number a value is: its own for the number kinds; for text, when
// asked, the number the whole text spells.
std::optional<Number> numberOf(const KxContextObject& value, bool fromText, KxCString& buffer) {
    switch (value.getType()) {
        case KxContextObject::kLong:
            return Number{Number::Signed, value.toLong()};
        case KxContextObject::kUnsignedLong:
            // toLong keeps every bit; the cast back restores values above LONG_MAX.
            return Number{Number::Unsigned, 0, static_cast<unsigned long>(value.toLong())};
        case KxContextObject::kDouble:
            return Number{Number::Real, 0, 0, value.toDouble()};
        case KxContextObject::kString: {
            if (!fromText) {
                return std::nullopt;
            }
            const std::string_view text = textOf(value, buffer);
            const char* last = text.data() + text.size();
            Number number;
            if (std::from_chars(text.data(), last, number.s).ptr == last && !text.empty()) {
                return number;
            }
            number.kind = Number::Real;
            if (std::from_chars(text.data(), last, number.d).ptr == last && !text.empty()) {
                return number;
            }
            return std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

double asDouble(const Number& n) {
    return n.kind == Number::Real     ? n.d
           : n.kind == Number::Signed ? static_cast<double>(n.s)
                                      : static_cast<double>(n.u);
}

std::partial_ordering compare(const Number& a, const Number& b) {
    if (a.kind == Number::Real || b.kind == Number::Real) {
        return asDouble(a) <=> asDouble(b);
    }
    if (a.kind == Number::Signed && b.kind == Number::Signed) {
        return a.s <=> b.s;
    }
    if (a.kind == Number::Unsigned && b.kind == Number::Unsigned) {
        return a.u <=> b.u;
    }
    if (a.kind == Number::Signed) {
        return a.s < 0 ? std::partial_ordering::less : static_cast<unsigned long long>(a.s) <=> b.u;
    }
    return b.s < 0 ? std::partial_ordering::greater : a.u <=> static_cast<unsigned long long>(b.s);
}

}  // namespace

// == compares numbers as numbers and anything else by its text; an absent
// value equals only another absent value.
bool equal(const KxContextObject& a, const KxContextObject& b, Workspace& work) {
    if (!a.isValid() || !b.isValid()) {
        return a.isValid() == b.isValid();
    }
    auto x = numberOf(a, false, work.left);
    auto y = numberOf(b, false, work.right);
    if (x && y) {
        return compare(*x, *y) == 0;
    }
    return textOf(a, work.left) == textOf(b, work.right);
}

// < > <= >= hold only between numbers (or texts spelling numbers).
bool ordered(Op op, const KxContextObject& a, const KxContextObject& b, Workspace& work) {
    auto x = a.isValid() ? numberOf(a, true, work.left) : std::nullopt;
    auto y = b.isValid() ? numberOf(b, true, work.right) : std::nullopt;
    if (!x || !y) {
        return false;
    }
    const std::partial_ordering order = compare(*x, *y);
    switch (op) {
        case Op::Lt:
            return order < 0;
        case Op::Gt:
            return order > 0;
        case Op::Le:
            return order <= 0;
        default:
            return order >= 0;
    }
}

}  // namespace kx::tl
