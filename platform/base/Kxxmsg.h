#pragma once
// The base library's exception classes. Kxxmsg carries one message text,
// available as why() and, for code that only knows the standard library, as
// what().
#include <exception>

#include "platform/base/KxCString.h"

class Kxxmsg : public std::exception {
  public:
    explicit Kxxmsg(KxCString message) : message_(std::move(message)) {}
    ~Kxxmsg() override = default;

    const KxCString& why() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

  private:
    KxCString message_;
};

// An operation used outside the range where it is defined, such as asking an
// exhausted enumeration for another element.
class KxBoundsError : public Kxxmsg {
  public:
    using Kxxmsg::Kxxmsg;
};

// A handle asked for the object it refers to while it refers to none.
class KxNullReferenceError : public Kxxmsg {
  public:
    using Kxxmsg::Kxxmsg;
};
