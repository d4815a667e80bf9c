#pragma once
// The service description svcgen writes beside web.xml (operations.xml):
// each served port with its operations, and for each operation the tree of
// its input's elements, attributes, choices and text, with their types and
// bounds. The try-it page builds its forms and requests from it alone.
#include <cstddef>
#include <limits>
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

// A count as operations.xml and the form write it: digits, or "unbounded"
// (kUnbounded); fallback for anything else.
std::size_t occursOf(const std::string& text, std::size_t fallback);

// A valid value of a simple item's type (its fixed or default value, or its
// first enumeration value first), for a placeholder or a test request.
std::string sampleValue(const KxSoapItem& item);
