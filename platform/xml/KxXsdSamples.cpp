#include "platform/xml/KxXsdSamples.h"

#include <charconv>
#include <cstdio>
#include <map>
#include <optional>
#include <set>

namespace kx {

namespace {

std::optional<long double> numberOf(const std::string& text) {
    if (text.empty() || text.size() > 64) {
        return std::nullopt;
    }
    long double value = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), " %Lf%n", &value, &used) != 1 ||
        text.find_first_not_of(" \t\r\n", static_cast<std::size_t>(used)) != std::string::npos) {
        return std::nullopt;
    }
    return value;
}

// A number written as an integer, or with six decimals: no exponent, which
// xsd:decimal does not read.
std::string numberText(long double value, bool integer) {
    char text[80];
    std::snprintf(text, sizeof text, integer ? "%.0Lf" : "%.6Lf", value);
    return text;
}

// Whether value lies within the bounds that are numbers.
bool inside(long double value, const XsdRange& range) {
    const auto below = [&](const std::string& bound, bool strict) {
        const std::optional<long double> limit = numberOf(bound);
        return limit && (strict ? value <= *limit : value < *limit);
    };
    const auto above = [&](const std::string& bound, bool strict) {
        const std::optional<long double> limit = numberOf(bound);
        return limit && (strict ? value >= *limit : value > *limit);
    };
    return !below(range.minInclusive, false) && !below(range.minExclusive, true) &&
           !above(range.maxInclusive, false) && !above(range.maxExclusive, true);
}

}  // namespace

bool isXsdIntegerType(std::string_view type) {
    static const std::set<std::string_view> kIntegers = {"integer",
                                                         "nonNegativeInteger",
                                                         "positiveInteger",
                                                         "nonPositiveInteger",
                                                         "negativeInteger",
                                                         "long",
                                                         "int",
                                                         "short",
                                                         "byte",
                                                         "unsignedLong",
                                                         "unsignedInt",
                                                         "unsignedShort",
                                                         "unsignedByte"};
    return kIntegers.contains(type);
}

std::string xsdSampleText(std::string_view type) {
    static const std::map<std::string_view, std::string_view> kSamples = {
        {"boolean", "true"},
        {"decimal", "1.5"},
        {"float", "1.5"},
        {"double", "1.5"},
        {"negativeInteger", "-1"},
        {"nonPositiveInteger", "0"},
        {"dateTime", "2026-12-06T10:00:00Z"},
        {"date", "2026-12-06"},
        {"time", "10:00:00"},
        {"duration", "P1DT2H"},
        {"gYear", "2026"},
        {"gYearMonth", "2026-12"},
        {"gMonth", "--12"},
        {"gDay", "---06"},
        {"gMonthDay", "--12-06"},
        {"base64Binary", "aGVsbG8="},
        {"hexBinary", "68656C6C6F"},
        {"anyURI", "http://example.com/"},
        {"language", "en"},
    };
    if (const auto found = kSamples.find(type); found != kSamples.end()) {
        return std::string(found->second);
    }
    return isXsdIntegerType(type) ? "1" : "sample";
}

std::string xsdSampleInRange(std::string_view type, const XsdRange& range) {
    const std::string sample = xsdSampleText(type);
    const std::optional<long double> value = numberOf(sample);
    if (range.empty() || !value || inside(*value, range)) {
        return sample;
    }
    const bool integer = isXsdIntegerType(type);
    for (const std::string* bound : {&range.minInclusive, &range.maxInclusive}) {
        if (const std::optional<long double> limit = numberOf(*bound);
            limit && inside(*limit, range)) {
            return *bound;
        }
    }
    const std::optional<long double> low = numberOf(range.minExclusive);
    const std::optional<long double> high = numberOf(range.maxExclusive);
    std::optional<long double> candidate;
    if (low && high) {
        candidate = integer ? *low + 1 : (*low + *high) / 2;
    } else if (low) {
        candidate = *low + 1;
    } else if (high) {
        candidate = *high - 1;
    }
    return candidate && inside(*candidate, range) ? numberText(*candidate, integer) : sample;
}

}  // namespace kx
