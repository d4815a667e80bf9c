#pragma once
// The comparison operators of template expressions, and the text of a value
// as they read it.
#include <string_view>

#include "platform/base/KxCString.h"
#include "platform/template/KxContextObject.h"
#include "platform/template/nodes.h"
#include "platform/template/workspace.h"

namespace kx::tl {

// A valid value's text as toString gives it, read in place when the value
// holds its text and else made into buffer.
std::string_view textOf(const KxContextObject& value, KxCString& buffer);

// == compares numbers as numbers and anything else by its text; an absent
// value equals only another absent value.
bool equal(const KxContextObject& a, const KxContextObject& b, Workspace& work);

// < > <= >= (op) hold only between numbers (or texts spelling numbers).
bool ordered(Op op, const KxContextObject& a, const KxContextObject& b, Workspace& work);

}  // namespace kx::tl
