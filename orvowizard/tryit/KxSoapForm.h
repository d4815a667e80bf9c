#pragma once
// What the try-it page knows of a service and does with it: the service
// description svcgen writes beside web.xml (operations.xml: each served
// port's operations with the tree of their input's elements), the form made
// from an operation's input, the SOAP request made from the form's values,
// and what a SOAP answer says (a fault, or the values of its result).
//
// The form's values are named by the path of the item they fill: the
// indexes of the items from the input down, each with its occurrence
// ("0", "0.2", "1#3.0"). Beside the values "v:PATH", a form holds the number
// of occurrences of a repeated item ("n:PATH"), whether an optional complex
// element is included ("u:PATH"), the alternative chosen for a choice
// ("c:PATH") and whether a nillable element is sent as nil ("x:PATH").
#include <cstddef>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

// One item of an input's content.
struct KxSoapItem {
    enum class Kind { Element, Attribute, Choice, Text };
    static constexpr std::size_t kUnbounded = std::numeric_limits<std::size_t>::max();

    Kind kind = Kind::Element;
    std::string name;
    std::string ns;    // the namespace it is written in; empty when unqualified
    std::string type;  // the built-in type of a simple value; empty for a complex element
    std::size_t min = 1;
    std::size_t max = 1;
    bool nillable = false;
    bool list = false;       // space-separated items of type
    bool recursive = false;  // not expanded (a cycle or past the bound): never sent
    std::string defaultValue;
    std::string fixedValue;
    std::vector<std::string> values;  // an enumeration's
    std::vector<KxSoapItem> children;

    bool isComplex() const { return kind == Kind::Element && type.empty() && !recursive; }
    bool repeated() const { return max > 1; }
};

struct KxSoapOperation {
    std::string name;
    std::string action;
    std::string style = "document";
    bool oneWay = false;
    bool truncated = false;
    std::string documentation;
    std::string wrapper;  // the rpc wrapper element: local name and namespace
    std::string wrapperNs;
    std::vector<KxSoapItem> input;
};

struct KxSoapPort {
    std::string name;
    std::string path;  // where the service's container serves it, e.g. "/calculator"
    std::string address;
    std::string soapVersion = "1.1";
    std::vector<KxSoapOperation> operations;

    const KxSoapOperation* operation(const std::string& operationName) const;
};

struct KxServiceDescription {
    std::vector<KxSoapPort> ports;
    std::string error;  // why it could not be read; empty when it was

    const KxSoapPort* port(const std::string& portName) const;
};

inline constexpr const char* kServiceDescriptionFile = "operations.xml";

// Reads dir's operations.xml (dir in the system's form).
KxServiceDescription readServiceDescription(const std::string& dir);
// Reads a description from its text; name is the file's name for messages.
KxServiceDescription parseServiceDescription(const std::string& text, const std::string& name);

using KxFormValues = std::map<std::string, std::string>;

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

// A valid value of a simple item's type (its fixed or default value, or its
// first enumeration value first), for a placeholder or a test request.
std::string sampleValue(const KxSoapItem& item);

// The rows of an operation's form filled with values (missing values take
// the items' defaults).
std::vector<KxFormRow> formRows(const KxSoapOperation& operation, const KxFormValues& values);

// Applies a form button: "add:PATH" adds an occurrence of the repeated item
// at PATH, "remove:PATH" removes its last one. False for any other action.
bool applyFormAction(const KxSoapOperation& operation, KxFormValues& values,
                     const std::string& action);

// The SOAP request for the form's values, indented, with its HTTP headers,
// and the problems that keep it from being sent (a required value missing);
// the request is made anyway so the page can show it.
struct KxSoapRequest {
    std::string envelope;
    // Content-Type and, for SOAP 1.1, SOAPAction, as the port's version wants.
    std::vector<std::pair<std::string, std::string>> headers;
    std::vector<std::string> problems;
};
KxSoapRequest buildSoapRequest(const KxSoapPort& port, const KxSoapOperation& operation,
                               const KxFormValues& values);

// What an answer says.
struct KxSoapAnswer {
    bool wellFormed = false;
    std::string parseError;
    bool isFault = false;
    std::string faultCode;
    std::string faultString;
    std::string faultDetail;
    // The result: each simple value by its path below the Body's child
    // ("Result/value", "item[2]/name", "@id" for attributes).
    std::vector<std::pair<std::string, std::string>> values;
};
KxSoapAnswer readSoapAnswer(const std::string& body);
