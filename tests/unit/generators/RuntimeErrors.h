#pragma once
// What the tests of the runtime headers share: the XmlError a call throws.
#include <gtest/gtest.h>

#include <string>

#include "generators/runtime/orvobase.h"

namespace runtimetest {

// The XmlError a call throws; fails the test when it throws none.
template <class F>
orvo::XmlError errorOf(F call) {
    try {
        call();
    } catch (const orvo::XmlError& error) {
        return error;
    }
    ADD_FAILURE() << "no XmlError";
    return orvo::XmlError("none");
}

}  // namespace runtimetest
