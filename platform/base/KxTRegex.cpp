#include "platform/base/KxTRegex.h"

#include <re2/re2.h>

#include <algorithm>

struct KxTRegex<char>::Compiled {
    explicit Compiled(const KxCString& expression, const RE2::Options& options)
        : re(expression, options) {}
    RE2 re;
};

namespace {

RE2::Options regexOptions() {
    RE2::Options options;
    options.set_log_errors(false);  // report through the exception, never on stderr
    options.set_max_mem(KxTRegex<char>::kMemoryLimit);
    return options;
}

}  // namespace

KxTRegex<char>::KxTRegex(const KxCString& expression)
    : expression_(expression), compiled_(std::make_unique<Compiled>(expression, regexOptions())) {
    if (!compiled_->re.ok()) {
        throw KxRegexError("invalid regular expression '" + expression +
                           "': " + compiled_->re.error());
    }
}

KxTRegex<char>::KxTRegex(KxTRegex&&) noexcept = default;
KxTRegex<char>& KxTRegex<char>::operator=(KxTRegex&&) noexcept = default;
KxTRegex<char>::~KxTRegex() = default;

bool KxTRegex<char>::search(const KxCString& text, KxCString::size_type start,
                            KxCString::size_type length) const {
    if (start > text.size()) {
        return false;
    }
    const auto count = std::min(length, text.size() - start);
    return RE2::PartialMatch(re2::StringPiece(text.data() + start, count), compiled_->re);
}
