#include "orvowizard/tryit/KxSoapAnswer.h"

#include <map>

#include "platform/base/KxText.h"
#include "platform/xml/KxXmlTree.h"

namespace {

// The simple values below an element, by path, for the answer's result.
void collectValues(const kx::XmlElement& element, const std::string& path,
                   std::vector<std::pair<std::string, std::string>>& values) {
    for (const auto& [name, value] : element.attributes) {
        values.emplace_back(path + "/@" + name, value);
    }
    if (element.children.empty()) {
        values.emplace_back(path, element.text);
        return;
    }
    std::map<std::string, std::size_t> seen;
    std::map<std::string, std::size_t> total;
    for (const kx::XmlElement& child : element.children) {
        ++total[child.name];
    }
    for (const kx::XmlElement& child : element.children) {
        std::string childAt = path + "/" + child.name;
        if (total[child.name] > 1) {
            childAt += "[" + std::to_string(++seen[child.name]) + "]";
        }
        collectValues(child, childAt, values);
    }
}

std::string trimmed(const std::string& text) {
    return std::string(kx::trimWhitespace(text));
}

// The fault's code, reason and detail, as SOAP 1.1 or SOAP 1.2 writes them.
void readFault(const kx::XmlElement& fault, KxSoapAnswer& answer) {
    answer.isFault = true;
    if (const kx::XmlElement* code = fault.child("faultcode")) {
        answer.faultCode = trimmed(code->text);
    } else if (const kx::XmlElement* code12 = fault.child("Code")) {
        const kx::XmlElement* value = code12->child("Value");
        answer.faultCode = value != nullptr ? trimmed(value->text) : "";
        if (const kx::XmlElement* subcode = code12->child("Subcode")) {
            if (const kx::XmlElement* subvalue = subcode->child("Value")) {
                answer.faultCode += " / " + trimmed(subvalue->text);
            }
        }
    }
    if (const kx::XmlElement* reason = fault.child("faultstring")) {
        answer.faultString = trimmed(reason->text);
    } else if (const kx::XmlElement* reason12 = fault.child("Reason")) {
        const kx::XmlElement* text = reason12->child("Text");
        answer.faultString = text != nullptr ? trimmed(text->text) : "";
    }
    const kx::XmlElement* detail = fault.child("detail");
    if (detail == nullptr) {
        detail = fault.child("Detail");
    }
    if (detail != nullptr) {
        std::vector<std::pair<std::string, std::string>> detailValues;
        for (const kx::XmlElement& child : detail->children) {
            collectValues(child, child.name, detailValues);
        }
        for (const auto& [path, value] : detailValues) {
            answer.faultDetail += path + " = " + value + "\n";
        }
        if (detail->children.empty()) {
            answer.faultDetail = trimmed(detail->text);
        }
    }
}

}  // namespace

KxSoapAnswer readSoapAnswer(const std::string& body) {
    KxSoapAnswer answer;
    const kx::XmlDocument document = kx::parseXmlDocument(body, kx::XmlEntityRefusal::All);
    if (document.fault || !document.root) {
        answer.parseError = document.fault ? "line " + std::to_string(document.fault->at.line) +
                                                 ": " + document.fault->message
                                           : "The answer is empty.";
        return answer;
    }
    const kx::XmlElement& envelope = *document.root;
    const kx::XmlElement* soapBody = envelope.child("Body");
    if (envelope.name != "Envelope" || soapBody == nullptr) {
        answer.parseError = "The answer is not a SOAP envelope.";
        return answer;
    }
    answer.wellFormed = true;
    if (const kx::XmlElement* fault = soapBody->child("Fault")) {
        readFault(*fault, answer);
        return answer;
    }
    for (const kx::XmlElement& child : soapBody->children) {
        collectValues(child, child.name, answer.values);
    }
    return answer;
}
