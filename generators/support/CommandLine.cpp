#include "generators/support/CommandLine.h"

namespace kx::gen {

namespace {

const OptionSpec* findSpec(const std::vector<OptionSpec>& specs, const KxCString& word) {
    for (const OptionSpec& spec : specs) {
        if (spec.name == word) {
            return &spec;
        }
    }
    return nullptr;
}

bool isOptionWord(const KxCString& word) {
    return word.size() > 1 && word.front() == '-';
}

}  // namespace

Arguments parseArguments(const std::vector<KxCString>& words,
                         const std::vector<OptionSpec>& specs) {
    Arguments arguments;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const KxCString& word = words[i];
        if (word == "--help" || word == "-help" || word == "-h" || word == "-?") {
            arguments.help = true;
            continue;
        }
        if (word.rfind("-D", 0) == 0) {
            const KxCString definition = word.substr(2);
            const auto equals = definition.find('=');
            const KxCString name = definition.substr(0, equals);
            if (name.empty()) {
                throw UsageError("the definition " + word + " has no name; write -Dname=value");
            }
            arguments.definitions.emplace_back(name, equals == KxCString::npos
                                                         ? KxCString("true")
                                                         : definition.substr(equals + 1));
            continue;
        }
        if (!isOptionWord(word)) {
            arguments.inputs.push_back(word);
            continue;
        }
        const OptionSpec* spec = findSpec(specs, word);
        if (spec == nullptr) {
            throw UsageError("unknown option " + word);
        }
        if (spec->kind == OptionSpec::Flag) {
            arguments.flags.insert(word);
            continue;
        }
        const bool valueFollows = i + 1 < words.size() && !isOptionWord(words[i + 1]);
        if (valueFollows) {
            arguments.values[word] = words[++i];
        } else if (spec->kind == OptionSpec::OptionalValue) {
            arguments.values[word] = KxCString();
            arguments.missingValues.push_back(word);
        } else {
            throw UsageError("the option " + word + " needs a value");
        }
    }
    return arguments;
}

}  // namespace kx::gen
