#pragma once
// Sample values of the XML Schema built-in types: a text each type reads,
// for requests made without a user's values (the generated sample clients,
// the try-it page's placeholders and test requests). Both share these rules
// so that what one sends, the other would too.
#include <string>
#include <string_view>

namespace kx {

// The range facets of a numeric type, as written in the schema; empty when
// not given.
struct XsdRange {
    std::string minInclusive;
    std::string maxInclusive;
    std::string minExclusive;
    std::string maxExclusive;

    bool empty() const {
        return minInclusive.empty() && maxInclusive.empty() && minExclusive.empty() &&
               maxExclusive.empty();
    }
};

// A valid value of the built-in type named by its local name ("int",
// "dateTime", "QName"): "1" for an integer type of positive values, "-1"
// and "0" for the negative and non-positive ones, "1.5" for decimal, float
// and double, "true", a date and time that parse, base64 and hex of the
// same bytes, and "sample" for the string types and anything unknown.
std::string xsdSampleText(std::string_view type);

// The sample of a numeric type kept within its range: xsdSampleText's
// when inside, else the inclusive bound, or a value just inside an
// exclusive one. A bound that is no number leaves the sample as it is.
std::string xsdSampleInRange(std::string_view type, const XsdRange& range);

// Whether the built-in type is one of the integer types.
bool isXsdIntegerType(std::string_view type);

}  // namespace kx
