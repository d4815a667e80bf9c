#pragma once
// A WSDL 1.1 document as svcgen uses it: messages and their parts, port
// types with their operations, bindings (with SOAP actions) and services
// (with port addresses). The types section goes into a Schema.
#include <optional>
#include <vector>

#include "generators/schema/Schema.h"
#include "generators/support/Diagnostics.h"
#include "platform/xml/KxXmlTree.h"

namespace kx::gen {

struct WsdlPart {
    KxCString name;
    KxCString element;                 // qualified name, when the part names an element
    KxCString type;                    // qualified name, when the part names a type
    std::optional<QName> elementName;  // the element, resolved where the part is
    std::optional<QName> typeName;     // the type, resolved where the part is
    Location at;
};

struct WsdlMessage {
    KxCString name;
    std::vector<WsdlPart> parts;
    Location at;
};

struct WsdlOperation {
    KxCString name;
    KxCString input;   // message qualified name; empty when absent
    KxCString output;  // empty for a one-way operation
    std::vector<std::pair<KxCString, Location>> faults;
    KxCString documentation;
    bool hasInput = false;
    Location at;
    Location inputAt;
    Location outputAt;
};

struct WsdlPortType {
    KxCString name;
    KxCString documentation;
    std::vector<WsdlOperation> operations;
    Location at;
};

// A soap:header (or soap12:header) of a binding operation's input or output:
// the part of a message carried as a header block, and the soap:headerfault
// elements inside it (message and part of each, the same shape).
struct WsdlHeader {
    KxCString message;  // qualified name
    KxCString part;
    KxCString use;  // "literal" or "encoded"
    Location at;
    std::vector<WsdlHeader> faults;  // its soap:headerfault elements
};

struct WsdlBindingOperation {
    KxCString name;
    KxCString soapAction;
    Location at;
    KxCString style;          // the operation's own style; empty for the binding's
    KxCString use;            // of its input's soap:body: "literal" or "encoded"
    KxCString bodyNamespace;  // of its input's soap:body, for rpc wrappers
    // What the binding asks that is not supported: soap:body parts (with
    // where they stand).
    std::vector<std::pair<KxCString, Location>> unsupported;
    std::vector<WsdlHeader> inputHeaders;   // the header blocks of the request
    std::vector<WsdlHeader> outputHeaders;  // and of the response
};

struct WsdlBinding {
    KxCString name;
    KxCString type;  // the port type's qualified name
    KxCString style;
    std::vector<WsdlBindingOperation> operations;
    Location at;
    bool soap12 = false;  // a SOAP 1.2 binding
    bool soap = true;     // a SOAP binding of either version (or one that names none)
};

struct WsdlPort {
    KxCString name;
    KxCString binding;
    KxCString address;
    Location at;
};

struct WsdlService {
    KxCString name;
    KxCString documentation;
    std::vector<WsdlPort> ports;
    Location at;
};

struct Wsdl {
    KxCString name;
    KxCString targetNamespace;
    std::vector<WsdlMessage> messages;
    std::vector<WsdlPortType> portTypes;
    std::vector<WsdlBinding> bindings;
    std::vector<WsdlService> services;

    // Looked up by the local part of a qualified name; nullptr when missing.
    const WsdlMessage* findMessage(const KxCString& qname) const;
    const WsdlPortType* findPortType(const KxCString& qname) const;
    const WsdlBinding* findBinding(const KxCString& qname) const;
    // The first binding of the port type, or nullptr.
    const WsdlBinding* bindingOf(const WsdlPortType& portType) const;
    // The address of the first port whose binding is of the port type.
    KxCString addressOf(const WsdlPortType& portType) const;
};

// Reads the <definitions> element of the file source; the schemas in
// <types> go into schema.
Wsdl readWsdl(const XmlElement& definitions, const SourceFile& source, Schema& schema);

// Reports what the document refers to but does not define: messages of
// operations, elements and types of parts, port types of bindings, bindings
// of ports (errors), and bindings that lack operations of their port type,
// or port types without operations (warnings).
void checkWsdl(const Wsdl& wsdl, const Schema& schema, const SourceFile& source,
               Diagnostics& diagnostics);

}  // namespace kx::gen
