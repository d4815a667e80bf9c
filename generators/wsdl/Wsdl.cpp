#include "generators/wsdl/Wsdl.h"

#include <algorithm>
#include <string_view>

#include "generators/support/Text.h"
#include "generators/wsdl/WsdlHeaders.h"

namespace kx::gen {

namespace {

constexpr const char* kSoap11BindingNamespace = "http://schemas.xmlsoap.org/wsdl/soap/";
constexpr const char* kSoap12BindingNamespace = "http://schemas.xmlsoap.org/wsdl/soap12/";

template <typename Item>
const Item* findByName(const std::vector<Item>& items, const KxCString& qname) {
    const KxCString local = localName(qname);
    for (const Item& item : items) {
        if (item.name == local) {
            return &item;
        }
    }
    return nullptr;
}

WsdlPortType readPortType(const XmlElement& element) {
    WsdlPortType portType{element.attributeOr("name"), documentationOf(element), {}, element.at};
    for (const XmlElement* child : element.childrenNamed("operation")) {
        WsdlOperation operation;
        operation.name = child->attributeOr("name");
        operation.documentation = documentationOf(*child);
        operation.at = child->at;
        if (const XmlElement* input = child->child("input")) {
            operation.hasInput = true;
            operation.input = input->attributeOr("message");
            operation.inputAt = input->at;
        }
        if (const XmlElement* output = child->child("output")) {
            operation.output = output->attributeOr("message");
            operation.outputAt = output->at;
        }
        for (const XmlElement* fault : child->childrenNamed("fault")) {
            operation.faults.emplace_back(fault->attributeOr("message"), fault->at);
        }
        portType.operations.push_back(std::move(operation));
    }
    return portType;
}

WsdlBinding readBinding(const XmlElement& element) {
    WsdlBinding binding{
        element.attributeOr("name"), element.attributeOr("type"), {}, {}, element.at};
    // <soap:binding> has the same local name as its parent.
    if (const XmlElement* soap = element.child("binding")) {
        binding.style = soap->attributeOr("style");
        binding.soap12 = soap->namespaceUri == kSoap12BindingNamespace;
        binding.soap = binding.soap12 || soap->namespaceUri == kSoap11BindingNamespace;
    }
    for (const XmlElement* child : element.childrenNamed("operation")) {
        WsdlBindingOperation operation{
            child->attributeOr("name"), {}, child->at, {}, {}, {}, {}, {}, {}};
        if (const XmlElement* soap = child->child("operation")) {
            operation.soapAction = soap->attributeOr("soapAction");
            operation.style = soap->attributeOr("style");
        }
        if (const XmlElement* input = child->child("input")) {
            if (const XmlElement* body = input->child("body")) {
                operation.use = body->attributeOr("use", "literal");
                operation.bodyNamespace = body->attributeOr("namespace");
            }
        }
        for (const char* direction : {"input", "output"}) {
            const XmlElement* message = child->child(direction);
            if (message == nullptr) {
                continue;
            }
            if (const XmlElement* body = message->child("body"); body && body->attribute("parts")) {
                operation.unsupported.emplace_back(
                    "soap:body parts (every part not carried in a header is sent)", body->at);
            }
            (std::string_view(direction) == "input" ? operation.inputHeaders
                                                    : operation.outputHeaders) =
                readHeaders(*message);
        }
        binding.operations.push_back(std::move(operation));
    }
    return binding;
}

WsdlService readService(const XmlElement& element) {
    WsdlService service{element.attributeOr("name"), documentationOf(element), {}, element.at};
    for (const XmlElement* child : element.childrenNamed("port")) {
        WsdlPort port{child->attributeOr("name"), child->attributeOr("binding"), {}, child->at};
        if (const XmlElement* address = child->child("address")) {
            port.address = address->attributeOr("location");
        }
        service.ports.push_back(std::move(port));
    }
    return service;
}

}  // namespace

const WsdlMessage* Wsdl::findMessage(const KxCString& qname) const {
    return findByName(messages, qname);
}

const WsdlPortType* Wsdl::findPortType(const KxCString& qname) const {
    return findByName(portTypes, qname);
}

const WsdlBinding* Wsdl::findBinding(const KxCString& qname) const {
    return findByName(bindings, qname);
}

const WsdlBinding* Wsdl::bindingOf(const WsdlPortType& portType) const {
    for (const WsdlBinding& binding : bindings) {
        if (localName(binding.type) == portType.name) {
            return &binding;
        }
    }
    return nullptr;
}

KxCString Wsdl::addressOf(const WsdlPortType& portType) const {
    for (const WsdlService& service : services) {
        for (const WsdlPort& port : service.ports) {
            const WsdlBinding* binding = findBinding(port.binding);
            if (binding != nullptr && localName(binding->type) == portType.name) {
                return port.address;
            }
        }
    }
    return {};
}

Wsdl readWsdl(const XmlElement& definitions, const SourceFile& source, Schema& schema) {
    Wsdl wsdl;
    wsdl.name = definitions.attributeOr("name");
    wsdl.targetNamespace = definitions.attributeOr("targetNamespace");
    for (const XmlElement& child : definitions.children) {
        if (child.name == "types") {
            for (const XmlElement* types : child.childrenNamed("schema")) {
                schema.add(*types, source);
            }
        } else if (child.name == "message") {
            WsdlMessage message{child.attributeOr("name"), {}, child.at};
            for (const XmlElement* part : child.childrenNamed("part")) {
                WsdlPart read{part->attributeOr("name"),
                              part->attributeOr("element"),
                              part->attributeOr("type"),
                              std::nullopt,
                              std::nullopt,
                              part->at};
                if (!read.element.empty()) {
                    read.elementName = schema.resolveName(*part, read.element);
                } else if (!read.type.empty()) {
                    read.typeName = schema.resolveName(*part, read.type);
                }
                message.parts.push_back(std::move(read));
            }
            wsdl.messages.push_back(std::move(message));
        } else if (child.name == "portType") {
            wsdl.portTypes.push_back(readPortType(child));
        } else if (child.name == "binding") {
            wsdl.bindings.push_back(readBinding(child));
        } else if (child.name == "service") {
            wsdl.services.push_back(readService(child));
        }
    }
    schema.resolve();
    return wsdl;
}

namespace {

// Every part names an element or a type that the schemas define.
void checkParts(const Wsdl& wsdl, const Schema& schema, const SourceFile& source,
                Diagnostics& diagnostics) {
    for (const WsdlMessage& message : wsdl.messages) {
        for (const WsdlPart& part : message.parts) {
            const KxCString where = " of the part " + part.name + " of the message " + message.name;
            if (!part.element.empty() &&
                (!part.elementName || schema.element(*part.elementName) == nullptr)) {
                diagnostics.error("the element " + part.element + where + " is not defined", source,
                                  part.at);
            } else if (!part.type.empty() && (!part.typeName || !schema.typeUse(*part.typeName))) {
                diagnostics.error("the type " + part.type + where + " is not defined", source,
                                  part.at);
            } else if (part.element.empty() && part.type.empty()) {
                diagnostics.error("the part " + part.name + " of the message " + message.name +
                                      " names neither an element nor a type",
                                  source, part.at);
            }
        }
    }
}

// The operation has an input, and its input, output and fault messages are
// defined.
void checkOperation(const Wsdl& wsdl, const WsdlPortType& portType, const WsdlOperation& operation,
                    const SourceFile& source, Diagnostics& diagnostics) {
    const KxCString where =
        " of the operation " + operation.name + " (port type " + portType.name + ")";
    if (!operation.hasInput) {
        diagnostics.warning("the operation " + operation.name + " of the port type " +
                                portType.name +
                                " has no input; only request-response and one-way "
                                "operations are supported",
                            source, operation.at);
    }
    if (!operation.input.empty() && wsdl.findMessage(operation.input) == nullptr) {
        diagnostics.error("the input message " + operation.input + where + " is not defined",
                          source, operation.inputAt);
    }
    if (!operation.output.empty() && wsdl.findMessage(operation.output) == nullptr) {
        diagnostics.error("the output message " + operation.output + where + " is not defined",
                          source, operation.outputAt);
    }
    for (const auto& [fault, at] : operation.faults) {
        if (wsdl.findMessage(fault) == nullptr) {
            diagnostics.error("the fault message " + fault + where + " is not defined", source, at);
        }
    }
}

// There is a port type, each has operations, and each operation checks.
void checkPortTypes(const Wsdl& wsdl, const SourceFile& source, Diagnostics& diagnostics) {
    if (wsdl.portTypes.empty()) {
        diagnostics.warning("the document defines no port type; no service classes are written",
                            source);
    }
    for (const WsdlPortType& portType : wsdl.portTypes) {
        if (portType.operations.empty()) {
            diagnostics.warning("the port type " + portType.name + " has no operations", source,
                                portType.at);
        }
        for (const WsdlOperation& operation : portType.operations) {
            checkOperation(wsdl, portType, operation, source, diagnostics);
        }
    }
}

// The binding binds exactly the operations of its port type: a missing or
// an unknown one is a warning.
void checkBoundOperations(const WsdlBinding& binding, const WsdlPortType& portType,
                          const SourceFile& source, Diagnostics& diagnostics) {
    for (const WsdlOperation& operation : portType.operations) {
        const bool bound = std::any_of(binding.operations.begin(), binding.operations.end(),
                                       [&](const WsdlBindingOperation& candidate) {
                                           return candidate.name == operation.name;
                                       });
        if (!bound) {
            diagnostics.warning("the binding " + binding.name + " lacks the operation " +
                                    operation.name + " of the port type " + portType.name,
                                source, binding.at);
        }
    }
    for (const WsdlBindingOperation& candidate : binding.operations) {
        for (const auto& [what, at] : candidate.unsupported) {
            diagnostics.warning("the operation " + candidate.name + " of the binding " +
                                    binding.name + " uses " + what + ", which is not supported",
                                source, at);
        }
        if (candidate.use == "encoded") {
            diagnostics.error("the operation " + candidate.name + " of the binding " +
                                  binding.name +
                                  " uses SOAP encoding (use=\"encoded\"), which is not "
                                  "supported; only literal messages are",
                              source, candidate.at);
        }
        const bool known = std::any_of(
            portType.operations.begin(), portType.operations.end(),
            [&](const WsdlOperation& operation) { return candidate.name == operation.name; });
        if (!known) {
            diagnostics.warning("the binding " + binding.name + " binds the operation " +
                                    candidate.name + ", which the port type " + portType.name +
                                    " does not define",
                                source, candidate.at);
        }
    }
}

// Every binding's port type is defined, and its operations match.
void checkBindings(const Wsdl& wsdl, const SourceFile& source, Diagnostics& diagnostics) {
    for (const WsdlBinding& binding : wsdl.bindings) {
        const WsdlPortType* portType = wsdl.findPortType(binding.type);
        if (!binding.soap) {
            diagnostics.warning("the binding " + binding.name +
                                    " is not a SOAP binding; its operations are served and "
                                    "called as SOAP 1.1 document/literal",
                                source, binding.at);
        }
        if (portType == nullptr) {
            diagnostics.error("the port type " + binding.type + " of the binding " + binding.name +
                                  " is not defined",
                              source, binding.at);
        } else {
            checkBoundOperations(binding, *portType, source, diagnostics);
        }
    }
}

// Every port's binding is defined.
void checkPorts(const Wsdl& wsdl, const SourceFile& source, Diagnostics& diagnostics) {
    for (const WsdlService& service : wsdl.services) {
        for (const WsdlPort& port : service.ports) {
            if (wsdl.findBinding(port.binding) == nullptr) {
                diagnostics.error("the binding " + port.binding + " of the port " + port.name +
                                      " of the service " + service.name + " is not defined",
                                  source, port.at);
            }
        }
    }
}

}  // namespace

void checkWsdl(const Wsdl& wsdl, const Schema& schema, const SourceFile& source,
               Diagnostics& diagnostics) {
    checkParts(wsdl, schema, source, diagnostics);
    checkPortTypes(wsdl, source, diagnostics);
    checkBindings(wsdl, source, diagnostics);
    checkPorts(wsdl, source, diagnostics);
}

}  // namespace kx::gen
