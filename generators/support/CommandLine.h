#pragma once
// The generators' command lines: single-dash options, some of them followed
// by a value, "-Dname=value" definitions, and input file names.
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "platform/base/KxCString.h"
#include "platform/base/Kxxmsg.h"

namespace kx::gen {

// A command line the generator cannot run with; the text says why.
class UsageError : public Kxxmsg {
  public:
    using Kxxmsg::Kxxmsg;
};

struct OptionSpec {
    enum Kind {
        Flag,           // stands alone
        Value,          // must be followed by a value
        OptionalValue,  // followed by a value unless the next word is an option
    };
    KxCString name;  // with its dash, such as "-properties"
    Kind kind = Flag;
};

struct Arguments {
    bool help = false;
    std::set<KxCString> flags;
    std::map<KxCString, KxCString> values;
    // Every -Dname=value in order; "-Dname" alone counts as "true".
    std::vector<std::pair<KxCString, KxCString>> definitions;
    std::vector<KxCString> inputs;
    // Options given without the value they usually carry.
    std::vector<KxCString> missingValues;

    bool has(const KxCString& option) const {
        return flags.count(option) != 0 || values.count(option) != 0;
    }
    KxCString value(const KxCString& option) const {
        auto found = values.find(option);
        return found == values.end() ? KxCString() : found->second;
    }
};

// Reads the words after the program name. "--help", "-help", "-h" and "-?"
// ask for the usage text. Throws UsageError for an unknown option, a missing
// value or a malformed definition.
Arguments parseArguments(const std::vector<KxCString>& words, const std::vector<OptionSpec>& specs);

}  // namespace kx::gen
