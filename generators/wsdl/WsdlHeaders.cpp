#include "generators/wsdl/WsdlHeaders.h"

#include "generators/support/Text.h"

namespace kx::gen {

namespace {

bool isSoapBindingElement(const XmlElement& element) {
    return element.namespaceUri == kSoap11BindingNamespace ||
           element.namespaceUri == kSoap12BindingNamespace;
}

WsdlHeader readHeader(const XmlElement& element) {
    const KxCString message = element.attributeOr("message");
    return WsdlHeader{message,
                      wsdlReference(element, message),
                      element.attributeOr("part"),
                      element.attributeOr("use", "literal"),
                      element.at,
                      {}};
}

// Where a header stands, for messages: "the soap:header of the input of the
// operation a of the binding B".
KxCString placeOf(const char* what, const char* direction, const WsdlBindingOperation& operation,
                  const WsdlBinding& binding) {
    return KxCString("the ") + what + " of the " + direction + " of the operation " +
           operation.name + " of the binding " + binding.name;
}

void checkHeader(const Wsdl& wsdl, const Schema& schema, const WsdlHeader& header,
                 const KxCString& place, const SourceFile& source, Diagnostics& diagnostics) {
    const WsdlMessage* message = wsdl.findMessage(header.messageName);
    if (header.message.empty() || message == nullptr) {
        diagnostics.error("the message " + (header.message.empty() ? "(none)" : header.message) +
                              " of " + place + " is not defined",
                          source, header.at);
        return;
    }
    const WsdlPart* part = headerPart(wsdl, header);
    if (part == nullptr) {
        diagnostics.error("the message " + message->name + " has no part " +
                              (header.part.empty() ? "(none)" : header.part) + ", which " + place +
                              " names",
                          source, header.at);
        return;
    }
    if (header.use == "encoded") {
        diagnostics.error(place + " uses SOAP encoding (use=\"encoded\"), which is not supported",
                          source, header.at);
    }
    if (!part->elementName && part->typeName) {
        const std::optional<TypeUse> use = schema.typeUse(*part->typeName);
        if (use && use->isClass) {
            diagnostics.error("the part " + part->name + " of the message " + message->name +
                                  ", which " + place + " names, has the complex type " +
                                  part->type + "; a header part must name an element",
                              source, header.at);
        } else if (use) {
            diagnostics.warning("the part " + part->name + " of the message " + message->name +
                                    ", which " + place +
                                    " names, has a type, not an element: "
                                    "its header block is an unqualified element " +
                                    part->name,
                                source, header.at);
        }
    }
}

}  // namespace

std::vector<WsdlHeader> readHeaders(const XmlElement& message) {
    std::vector<WsdlHeader> headers;
    for (const XmlElement* element : message.childrenNamed("header")) {
        if (!isSoapBindingElement(*element)) {
            continue;
        }
        WsdlHeader header = readHeader(*element);
        for (const XmlElement* fault : element->childrenNamed("headerfault")) {
            if (isSoapBindingElement(*fault)) {
                header.faults.push_back(readHeader(*fault));
            }
        }
        headers.push_back(std::move(header));
    }
    return headers;
}

const WsdlPart* headerPart(const Wsdl& wsdl, const WsdlHeader& header) {
    const WsdlMessage* message = wsdl.findMessage(header.messageName);
    if (message == nullptr) {
        return nullptr;
    }
    for (const WsdlPart& part : message->parts) {
        if (part.name == header.part) {
            return &part;
        }
    }
    return nullptr;
}

void checkHeaders(const Wsdl& wsdl, const Schema& schema, Diagnostics& diagnostics) {
    for (const WsdlBinding& binding : wsdl.bindings) {
        const SourceFile& source = wsdl.files[binding.file];
        for (const WsdlBindingOperation& operation : binding.operations) {
            for (const auto& [direction, headers] :
                 {std::pair{"input", &operation.inputHeaders},
                  std::pair{"output", &operation.outputHeaders}}) {
                for (const WsdlHeader& header : *headers) {
                    const KxCString place = placeOf("soap:header", direction, operation, binding);
                    checkHeader(wsdl, schema, header, place, source, diagnostics);
                    for (const WsdlHeader& fault : header.faults) {
                        checkHeader(wsdl, schema, fault,
                                    placeOf("soap:headerfault", direction, operation, binding),
                                    source, diagnostics);
                    }
                }
            }
        }
    }
}

}  // namespace kx::gen
