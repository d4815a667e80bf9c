#pragma once
// A WSDL 1.1 description as svcgen uses it: messages and their parts, port
// types with their operations, bindings (with SOAP actions) and services
// (with port addresses), gathered from the main file and the WSDL files it
// imports. The types sections go into a Schema.
//
// Each definition keeps the target namespace of the file that declares it
// and that file's index in Wsdl::files; each reference keeps the text as
// written (for messages) and the name it resolves to where it is written.
#include <optional>
#include <vector>

#include "generators/schema/Schema.h"
#include "generators/support/Diagnostics.h"
#include "platform/xml/KxXmlTree.h"

namespace kx::gen {

// The namespaces of the SOAP 1.1 and SOAP 1.2 binding extensions.
inline constexpr const char* kSoap11BindingNamespace = "http://schemas.xmlsoap.org/wsdl/soap/";
inline constexpr const char* kSoap12BindingNamespace = "http://schemas.xmlsoap.org/wsdl/soap12/";

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
    KxCString ns;
    std::size_t file = 0;
    std::vector<WsdlPart> parts;
    Location at;
};

struct WsdlOperation {
    KxCString name;
    KxCString input;   // message qualified name; empty when absent
    KxCString output;  // empty for a one-way operation
    QName inputName;
    QName outputName;
    struct Fault {
        KxCString message;
        QName messageName;
        Location at;
    };
    std::vector<Fault> faults;
    KxCString documentation;
    bool hasInput = false;
    Location at;
    Location inputAt;
    Location outputAt;
};

struct WsdlPortType {
    KxCString name;
    KxCString ns;
    std::size_t file = 0;
    KxCString documentation;
    std::vector<WsdlOperation> operations;
    Location at;
};

// A soap:header (or soap12:header) of a binding operation's input or output:
// the part of a message carried as a header block, and the soap:headerfault
// elements inside it (message and part of each, the same shape).
struct WsdlHeader {
    KxCString message;  // qualified name
    QName messageName;
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
    KxCString ns;
    std::size_t file = 0;
    KxCString type;  // the port type's qualified name
    QName typeName;
    KxCString style;
    std::vector<WsdlBindingOperation> operations;
    Location at;
    bool soap12 = false;  // a SOAP 1.2 binding
    bool soap = true;     // a SOAP binding of either version (or one that names none)
};

struct WsdlPort {
    KxCString name;
    KxCString binding;
    QName bindingName;
    KxCString address;
    Location at;
};

struct WsdlService {
    KxCString name;
    std::size_t file = 0;
    KxCString documentation;
    std::vector<WsdlPort> ports;
    Location at;
};

struct Wsdl {
    KxCString name;                 // of the main file's definitions
    KxCString targetNamespace;      // of the main file's definitions
    std::vector<SourceFile> files;  // the main file first, then those imported
    std::vector<WsdlMessage> messages;
    std::vector<WsdlPortType> portTypes;
    std::vector<WsdlBinding> bindings;
    std::vector<WsdlService> services;

    // The definition a reference names: the one of that namespace and local
    // name, else the only one of that local name (WSDL files often refer
    // with the wrong prefix or none); nullptr when missing.
    const WsdlMessage* findMessage(const QName& name) const;
    const WsdlPortType* findPortType(const QName& name) const;
    const WsdlBinding* findBinding(const QName& name) const;
    // The first binding of the port type, or nullptr.
    const WsdlBinding* bindingOf(const WsdlPortType& portType) const;
    // The SOAP bindings of the port type (of either version), in document order.
    std::vector<const WsdlBinding*> soapBindingsOf(const WsdlPortType& portType) const;
    // The address of the first port whose binding is of the port type, a
    // SOAP binding before any other.
    KxCString addressOf(const WsdlPortType& portType) const;
    // The addresses of the ports of the binding, in document order.
    std::vector<KxCString> addressesOf(const WsdlBinding& binding) const;
};

// The name a reference (a QName in an attribute) stands for where it is
// written; an undeclared prefix leaves the namespace empty, which only a
// lone local name matches.
QName wsdlReference(const XmlElement& at, const KxCString& text);

// Reads the <definitions> element of the file source and, through
// wsdl:import, the WSDL files it names (each once, by device and inode, so
// that cycles end) and the schema files imported that way; the schemas in
// every <types> go into schema, which keeps the documents read. A file that
// cannot be read is an error naming the import's file, line and column.
Wsdl readWsdl(const XmlElement& definitions, const SourceFile& source, Schema& schema,
              Diagnostics& diagnostics);

// Reports what the document refers to but does not define: messages of
// operations, elements and types of parts, port types of bindings, bindings
// of ports, messages and parts of header blocks (errors), and bindings that
// lack operations of their port type, or port types without operations
// (warnings).
void checkWsdl(const Wsdl& wsdl, const Schema& schema, Diagnostics& diagnostics);

}  // namespace kx::gen
