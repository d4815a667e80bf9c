#pragma once
// The form the try-it page makes from an operation's input: one row per
// field, group, button or note, filled with the form's values (see
// KxSoapFormValues.h for how they are named).
#include <cstddef>
#include <string>
#include <vector>

#include "orvowizard/tryit/KxServiceDescription.h"
#include "orvowizard/tryit/KxSoapFormValues.h"

// One row of an operation's form, in page order. Groups (complex elements,
// choices) open and close around their rows.
struct KxFormRow {
    enum class Kind { Open, Close, Field, Add, Note };
    Kind kind = Kind::Field;
    std::size_t depth = 0;
    std::string label;                 // the item's name, with its occurrence when repeated
    std::string path;                  // the path of what the row fills
    std::string control;               // text, checkbox, select, include, choice, nil
    std::string value;                 // the current value
    std::vector<std::string> options;  // a select's, in order ("" first when it may be empty)
    bool checked = false;              // a checkbox, an include or a nil that is on
    bool optional = false;
    bool readOnly = false;   // a fixed value
    bool removable = false;  // the last occurrence of a repeated item above its minimum
    std::string hint;        // the type, and how an empty value is treated
    std::string sample;      // a valid value of the type, for a placeholder
};

// The rows of an operation's form filled with values (missing values take
// the items' defaults). A form shows at most kx::tryit::kMaxFormItems items;
// a note marks where it is cut.
std::vector<KxFormRow> formRows(const KxSoapOperation& operation, const KxFormValues& values);
