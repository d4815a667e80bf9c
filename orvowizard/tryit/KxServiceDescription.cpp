#include "orvowizard/tryit/KxServiceDescription.h"

#include <charconv>

#include "platform/base/KxCString.h"
#include "platform/base/KxText.h"
#include "platform/os/KxOs.h"
#include "platform/xml/KxXmlTree.h"
#include "platform/xml/KxXsdSamples.h"

namespace {

constexpr std::size_t kDescriptionLimit = 4 * 1024 * 1024;

KxSoapItem readItem(const kx::XmlElement& element) {
    KxSoapItem item;
    if (element.name == "attribute") {
        item.kind = KxSoapItem::Kind::Attribute;
        item.min = element.attributeOr("required") == "true" ? 1 : 0;
    } else if (element.name == "choice") {
        item.kind = KxSoapItem::Kind::Choice;
    } else if (element.name == "text") {
        item.kind = KxSoapItem::Kind::Text;
    }
    item.name = element.attributeOr("name");
    item.ns = element.attributeOr("ns");
    item.type = element.attributeOr("type");
    if (item.kind == KxSoapItem::Kind::Element || item.kind == KxSoapItem::Kind::Choice) {
        item.min = occursOf(element.attributeOr("min"), 1);
        item.max = occursOf(element.attributeOr("max"), 1);
    }
    item.nillable = element.attributeOr("nillable") == "true";
    item.list = element.attributeOr("list") == "true";
    item.recursive = element.attributeOr("recursive") == "true";
    item.defaultValue = element.attributeOr("default");
    item.fixedValue = element.attributeOr("fixed");
    for (const kx::XmlElement& child : element.children) {
        if (child.name == "value") {
            item.values.push_back(child.text);
        } else if (child.name == "element" || child.name == "attribute" || child.name == "choice" ||
                   child.name == "text") {
            item.children.push_back(readItem(child));
        }
    }
    return item;
}

std::string trimmed(const std::string& text) {
    return std::string(kx::trimWhitespace(text));
}

KxSoapOperation readOperation(const kx::XmlElement& operationElement) {
    KxSoapOperation operation;
    operation.name = operationElement.attributeOr("name");
    operation.action = operationElement.attributeOr("action");
    operation.style = operationElement.attributeOr("style", "document");
    operation.oneWay = operationElement.attributeOr("one-way") == "true";
    operation.truncated = operationElement.attributeOr("truncated") == "true";
    if (const kx::XmlElement* documentation = operationElement.child("documentation")) {
        operation.documentation = trimmed(documentation->text);
    }
    if (const kx::XmlElement* input = operationElement.child("input")) {
        operation.wrapper = input->attributeOr("wrapper");
        operation.wrapperNs = input->attributeOr("wrapper-ns");
        for (const kx::XmlElement& child : input->children) {
            operation.input.push_back(readItem(child));
        }
    }
    return operation;
}

}  // namespace

std::size_t occursOf(const std::string& text, std::size_t fallback) {
    if (text == "unbounded") {
        return KxSoapItem::kUnbounded;
    }
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : fallback;
}

std::string sampleValue(const KxSoapItem& item) {
    if (!item.fixedValue.empty()) {
        return item.fixedValue;
    }
    if (!item.defaultValue.empty()) {
        return item.defaultValue;
    }
    if (!item.values.empty()) {
        return item.values.front();
    }
    return kx::xsdSampleText(item.type);
}

const KxSoapOperation* KxSoapPort::operation(const std::string& operationName) const {
    for (const KxSoapOperation& candidate : operations) {
        if (candidate.name == operationName) {
            return &candidate;
        }
    }
    return nullptr;
}

const KxSoapPort* KxServiceDescription::port(const std::string& portName) const {
    for (const KxSoapPort& candidate : ports) {
        if (candidate.name == portName) {
            return &candidate;
        }
    }
    return nullptr;
}

KxServiceDescription parseServiceDescription(const std::string& text, const std::string& name) {
    KxServiceDescription description;
    const kx::XmlDocument document = kx::parseXmlDocument(text, kx::XmlEntityRefusal::All);
    if (document.fault) {
        description.error = name + ": line " + std::to_string(document.fault->at.line) + ": " +
                            document.fault->message;
        return description;
    }
    if (!document.root || document.root->name != "operations") {
        description.error = name + " does not describe operations.";
        return description;
    }
    for (const kx::XmlElement* portElement : document.root->childrenNamed("port")) {
        KxSoapPort port;
        port.name = portElement->attributeOr("name");
        port.path = portElement->attributeOr("path");
        port.address = portElement->attributeOr("address");
        port.soapVersion = portElement->attributeOr("soap", "1.1");
        for (const kx::XmlElement* operationElement : portElement->childrenNamed("operation")) {
            port.operations.push_back(readOperation(*operationElement));
        }
        description.ports.push_back(std::move(port));
    }
    return description;
}

KxServiceDescription readServiceDescription(const std::string& dir) {
    KxCString text;
    const std::string path = dir + "\\" + kServiceDescriptionFile;
    switch (kx::os::readRegularFile(path, text, kDescriptionLimit)) {
        case kx::os::ReadOutcome::Complete:
            return parseServiceDescription(text, kServiceDescriptionFile);
        case kx::os::ReadOutcome::TooLarge:
        case kx::os::ReadOutcome::Truncated:
            return {{}, std::string(kServiceDescriptionFile) + " is larger than 4 MB."};
        default:
            return {{},
                    std::string("The project has no ") + kServiceDescriptionFile +
                        ": generate it again with this version of svcgen."};
    }
}
