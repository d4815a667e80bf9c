#pragma once
// operations.xml: what the server side of each port type reads, written
// beside web.xml for pages that build requests to a running service without
// reading the WSDL or its schemas. Per servlet (port type) it gives the path
// web.xml maps, the address and SOAP version; per operation its SOAP action,
// style and the tree of its input's elements, with namespaces resolved,
// occurrences, simple types and enumeration values. docs/generators.md
// describes the format.
#include <vector>

#include "generators/schema/Schema.h"

namespace kx::gen {

// One input part: the element the server reads it from, and its type.
struct ServedPart {
    QName xml;
    TypeUse use;
    bool nillable = false;
};

struct ServedOperation {
    KxCString name;
    KxCString soapAction;
    KxCString documentation;
    bool rpc = false;
    bool oneWay = true;
    QName wrapper;  // the request's rpc wrapper
    std::vector<ServedPart> inputs;
};

struct ServedPort {
    KxCString servlet;  // the servlet name in web.xml
    KxCString path;     // the path web.xml maps it to, without "/*"
    KxCString address;  // the soap:address as written
    bool soap12 = false;
    std::vector<ServedOperation> operations;
};

// How far an operation's input is expanded: element levels and nodes
// written. A complex element past either is written without its content.
inline constexpr int kMaxInputDepth = 12;
inline constexpr int kMaxInputNodes = 2000;

// The built-in type a simple value rests on, as XML Schema names it ("int",
// "dateTime"): a union is read as its text ("string"); a list's items are
// named by the type they are checked against ("string" when none is).
struct SimpleShape {
    KxCString type;
    bool list = false;
};
SimpleShape shapeOf(const SimpleKind& kind);

// The text of operations.xml for the ports, written by the tool from the
// WSDL file named wsdlFile (a base name).
KxCString operationsXml(const KxCString& tool, const KxCString& wsdlFile, const Schema& schema,
                        const std::vector<ServedPort>& ports);

}  // namespace kx::gen
