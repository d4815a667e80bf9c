// The checks of a WSDL description: what it refers to is defined, and what
// it asks for is supported.
#include <algorithm>

#include "generators/support/Text.h"
#include "generators/wsdl/Wsdl.h"
#include "generators/wsdl/WsdlHeaders.h"

namespace kx::gen {

namespace {

// Every part names an element or a type that the schemas define.
void checkParts(const Wsdl& wsdl, const Schema& schema, Diagnostics& diagnostics) {
    for (const WsdlMessage& message : wsdl.messages) {
        const SourceFile& source = wsdl.files[message.file];
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
    if (!operation.input.empty() && wsdl.findMessage(operation.inputName) == nullptr) {
        diagnostics.error("the input message " + operation.input + where + " is not defined",
                          source, operation.inputAt);
    }
    if (!operation.output.empty() && wsdl.findMessage(operation.outputName) == nullptr) {
        diagnostics.error("the output message " + operation.output + where + " is not defined",
                          source, operation.outputAt);
    }
    for (const WsdlOperation::Fault& fault : operation.faults) {
        if (wsdl.findMessage(fault.messageName) == nullptr) {
            diagnostics.error("the fault message " + fault.message + where + " is not defined",
                              source, fault.at);
        }
    }
}

// There is a port type, each has operations, and each operation checks.
void checkPortTypes(const Wsdl& wsdl, Diagnostics& diagnostics) {
    if (wsdl.portTypes.empty()) {
        diagnostics.warning(wsdl.files.size() > 1
                                ? "neither the document nor the WSDL files it imports define a "
                                  "port type; no service classes are written"
                                : "the document defines no port type; no service classes are "
                                  "written",
                            wsdl.files.front());
    }
    for (const WsdlPortType& portType : wsdl.portTypes) {
        const SourceFile& source = wsdl.files[portType.file];
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
void checkBindings(const Wsdl& wsdl, Diagnostics& diagnostics) {
    for (const WsdlBinding& binding : wsdl.bindings) {
        const SourceFile& source = wsdl.files[binding.file];
        const WsdlPortType* portType = wsdl.findPortType(binding.typeName);
        if (portType == nullptr) {
            diagnostics.error("the port type " + binding.type + " of the binding " + binding.name +
                                  " is not defined",
                              source, binding.at);
        } else if (!binding.soap) {
            // An HTTP GET or POST binding beside the SOAP ones, as services
            // often publish.
            diagnostics.warning("the binding " + binding.name +
                                    " is not a SOAP binding and is passed over" +
                                    (wsdl.soapBindingsOf(*portType).empty()
                                         ? "; the operations of its port type " + portType->name +
                                               " are served and called as SOAP 1.1 document/literal"
                                         : KxCString()),
                                source, binding.at);
        } else {
            checkBoundOperations(binding, *portType, source, diagnostics);
        }
    }
}

// Every port's binding is defined.
void checkPorts(const Wsdl& wsdl, Diagnostics& diagnostics) {
    for (const WsdlService& service : wsdl.services) {
        const SourceFile& source = wsdl.files[service.file];
        for (const WsdlPort& port : service.ports) {
            if (wsdl.findBinding(port.bindingName) == nullptr) {
                diagnostics.error("the binding " + port.binding + " of the port " + port.name +
                                      " of the service " + service.name + " is not defined",
                                  source, port.at);
            }
        }
    }
}

}  // namespace

void checkWsdl(const Wsdl& wsdl, const Schema& schema, Diagnostics& diagnostics) {
    checkParts(wsdl, schema, diagnostics);
    checkPortTypes(wsdl, diagnostics);
    checkBindings(wsdl, diagnostics);
    checkPorts(wsdl, diagnostics);
    checkHeaders(wsdl, schema, diagnostics);
}

}  // namespace kx::gen
