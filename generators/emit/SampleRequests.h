#pragma once
// The requests the sample client sends: every required element and
// attribute of each input filled with a value of its type, through the
// classes it holds. One occurrence of a required repeat (minOccurs of them
// when more), a required choice's first alternative, an enumeration's first
// value, a fixed or default value where the schema gives one, and otherwise
// the built-in type's sample (kx::xsdSampleInRange, which the try-it page's
// samples share) within the type's range facets. Optional fields stay unset.
#include <cstddef>
#include <vector>

#include "generators/model/DataModel.h"
#include "generators/model/ServiceModel.h"

namespace kx::gen {

// The statements that fill the parameter's variable (declared by the
// caller, default constructed), one line each, indented from column 0.
std::vector<KxCString> sampleStatements(const Schema& schema, const DataModel& model,
                                        const ServiceParam& param);

// The text of a simple value the sample sends: the fixed value, the
// default, an enumeration's first value, one item for a list, or the
// built-in type's sample within its range.
KxCString sampleText(const Schema& schema, const SimpleKind& kind, const KxCString& fixedValue = {},
                     const KxCString& defaultValue = {});

// How far the sample fills nested classes; a required class deeper, or one
// already being filled (a cycle), is left as it is.
inline constexpr int kMaxSampleDepth = 24;
// The occurrences the sample writes of a repeat at most: a schema asking
// for more (minOccurs) gets this many, and a request the server refuses.
inline constexpr std::size_t kMaxSampleOccurrences = 1000;

}  // namespace kx::gen
