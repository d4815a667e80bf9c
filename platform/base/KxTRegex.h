#pragma once
// Regular-expression search on RE2: linear time whatever pattern a user types,
// so a hostile pattern cannot stall a request thread. Nor can it take the
// server's memory: an expression whose compiled form needs more than
// KxTRegex<char>::kMemoryLimit bytes (such as "\pL{300}") is refused like an
// invalid one.
#include <memory>

#include "platform/base/KxCString.h"
#include "platform/base/Kxxmsg.h"

// Raised when a pattern is not a valid expression; the text is RE2's own.
class KxRegexError : public Kxxmsg {
  public:
    using Kxxmsg::Kxxmsg;
};

template <class CharT>
class KxTRegex;

template <>
class KxTRegex<char> {
  public:
    // What one compiled expression may use: far more than any file pattern
    // needs.
    static constexpr long kMemoryLimit = 1L << 20;

    // Compiles the expression; throws KxRegexError when it is invalid or too
    // big.
    explicit KxTRegex(const KxCString& expression);
    KxTRegex(KxTRegex&&) noexcept;
    KxTRegex& operator=(KxTRegex&&) noexcept;
    ~KxTRegex();

    // True when the expression matches anywhere in text[start, start + length).
    bool search(const KxCString& text, KxCString::size_type start = 0,
                KxCString::size_type length = KxCString::npos) const;

    const KxCString& expression() const noexcept { return expression_; }

  private:
    struct Compiled;
    KxCString expression_;
    std::unique_ptr<Compiled> compiled_;
};
