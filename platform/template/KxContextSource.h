#pragma once
// Where a context finds the values it was not given: a source answers a
// name when a template first asks for it, instead of the servlet copying
// every value it might need into the context before rendering. A source
// keeps what it answered when its values are costly to make; a context asks
// it again for every look-up the context itself does not hold.
#include "platform/template/KxContextKey.h"
#include "platform/template/KxContextObject.h"

class KxContextSource {
  public:
    KxContextSource() = default;
    KxContextSource(const KxContextSource&) = delete;
    KxContextSource& operator=(const KxContextSource&) = delete;
    virtual ~KxContextSource() = default;

    // The value of the name, or the empty value when the source has none.
    virtual KxContextObject find(const KxContextKey& key) = 0;
};
