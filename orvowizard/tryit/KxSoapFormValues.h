#pragma once
// The values of a try-it form, as the browser posts them and the session
// keeps them, and what they say about each item of an operation's input.
//
// The form's values are named by the path of the item they fill: the
// indexes of the items from the input down, each with its occurrence
// ("0", "0.2", "1#3.0"). Beside the values "v:PATH", a form holds the number
// of occurrences of a repeated item ("n:PATH"), whether an optional complex
// element is included ("u:PATH"), the alternative chosen for a choice
// ("c:PATH") and whether a nillable element is sent as nil ("x:PATH").
//
// The form rows and the SOAP request both read the values through the
// functions below, so that what the form shows is what the request sends.
#include <cstddef>
#include <map>
#include <optional>
#include <string>

#include "orvowizard/tryit/KxServiceDescription.h"

class KxHttpServletRequest;

using KxFormValues = std::map<std::string, std::string>;

// The form values a request carries: its v:, n:, u:, c: and x: parameters.
KxFormValues formValuesOf(const KxHttpServletRequest& request);

// The session's form of values, and back: length-prefixed pairs.
std::string encodeFormValues(const KxFormValues& values);
KxFormValues decodeFormValues(const std::string& text);

// Applies a form button: "add:PATH" adds an occurrence of the repeated item
// at PATH, "remove:PATH" removes its last one. False for any other action.
bool applyFormAction(const KxSoapOperation& operation, KxFormValues& values,
                     const std::string& action);

namespace kx::tryit {

// The occurrences a form shows of one repeated item at most.
inline constexpr std::size_t kMaxOccurrences = 100;
// The items a form shows, and a request holds, at most: nested repeats
// multiply, and the counts come from the form.
inline constexpr std::size_t kMaxFormItems = 5000;

// The path of a parent's index'th item, and of an item's occurrence.
std::string childPath(const std::string& parent, std::size_t index);
std::string occurrencePath(const std::string& base, std::size_t occurrence);

// The value a simple item has in the form: its fixed value, the one given,
// else its default (a required enumeration its first value, a required
// boolean "false").
std::string simpleValue(const KxSoapItem& item, const KxFormValues& values,
                        const std::string& path);

// How many occurrences of a repeated item at base the form holds, within
// its bounds and kMaxOccurrences.
std::size_t occurrences(const KxSoapItem& item, const KxFormValues& values,
                        const std::string& base);

// Whether the form's checkbox key is on.
bool isOn(const KxFormValues& values, const std::string& key);

// Whether a complex element is included: always unless it is optional and
// single, then when its "u:" box is on.
bool included(const KxSoapItem& item, const KxFormValues& values, const std::string& path);

// The alternative a choice occurrence holds: its index, or nothing.
std::optional<std::size_t> chosen(const KxSoapItem& choice, const KxFormValues& values,
                                  const std::string& path);

// Whether a type's empty text is a value of its own.
bool emptyIsAValue(const std::string& type);

}  // namespace kx::tryit
