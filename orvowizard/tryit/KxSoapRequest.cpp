#include "orvowizard/tryit/KxSoapRequest.h"

#include "orvowizard/tryit/KxSoapFormValues.h"
#include "platform/base/KxCString.h"
#include "platform/base/KxText.h"

namespace {

using kx::tryit::childPath;
using kx::tryit::chosen;
using kx::tryit::emptyIsAValue;
using kx::tryit::included;
using kx::tryit::isOn;
using kx::tryit::kMaxFormItems;
using kx::tryit::occurrencePath;
using kx::tryit::occurrences;
using kx::tryit::simpleValue;

constexpr const char* kSoap11Envelope = "http://schemas.xmlsoap.org/soap/envelope/";
constexpr const char* kSoap12Envelope = "http://www.w3.org/2003/05/soap-envelope";
constexpr const char* kXsiNamespace = "http://www.w3.org/2001/XMLSchema-instance";

class EnvelopeWriter {
  public:
    EnvelopeWriter(const KxSoapOperation& operation, const KxFormValues& values,
                   KxSoapRequest& request)
        : values_(values), request_(request) {
        prefixFor(operation.wrapperNs);
        collect(operation.input);
    }

    const std::vector<std::pair<std::string, std::string>>& declarations() const {
        return declarations_;
    }

    std::string qualified(const std::string& ns, const std::string& name) {
        const std::string prefix = prefixFor(ns);
        return prefix.empty() ? name : prefix + ":" + name;
    }

    void items(const std::vector<KxSoapItem>& list, const std::string& parent, int indent) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            itemAt(list[i], childPath(parent, i), indent);
        }
    }

    // Whether an element is sent as nil, so that the envelope declares xsi.
    bool usesXsi() const { return usesXsi_; }

    std::string text;

  private:
    void collect(const std::vector<KxSoapItem>& list) {
        for (const KxSoapItem& item : list) {
            if (item.kind != KxSoapItem::Kind::Choice && item.kind != KxSoapItem::Kind::Text) {
                prefixFor(item.ns);
            }
            collect(item.children);
        }
    }

    std::string prefixFor(const std::string& ns) {
        if (ns.empty()) {
            return "";
        }
        // The xml prefix is bound already and may not be declared.
        if (ns == "http://www.w3.org/XML/1998/namespace") {
            return "xml";
        }
        for (const auto& [prefix, uri] : declarations_) {
            if (uri == ns) {
                return prefix;
            }
        }
        const std::string prefix = "ns" + std::to_string(declarations_.size() + 1);
        declarations_.emplace_back(prefix, ns);
        return prefix;
    }

    // One item at its path: each of its occurrences.
    void itemAt(const KxSoapItem& item, const std::string& base, int indent) {
        if (item.kind == KxSoapItem::Kind::Attribute || item.kind == KxSoapItem::Kind::Text ||
            item.recursive) {
            return;
        }
        if (!item.repeated()) {
            occurrence(item, base, indent);
            return;
        }
        const std::size_t count = occurrences(item, values_, base);
        for (std::size_t k = 0; k < count; ++k) {
            occurrence(item, occurrencePath(base, k), indent);
        }
    }

    void occurrence(const KxSoapItem& item, const std::string& path, int indent) {
        if (budget_ == 0) {
            if (!cut_) {
                request_.problems.push_back("The request would hold more than " +
                                            std::to_string(kMaxFormItems) + " items.");
                cut_ = true;
            }
            return;
        }
        --budget_;
        if (item.kind == KxSoapItem::Kind::Choice) {
            alternative(item, path, indent);
            return;
        }
        if (item.isComplex() && !included(item, values_, path)) {
            return;
        }
        const std::string name = qualified(item.ns, item.name);
        const std::string pad(static_cast<std::size_t>(indent) * 2, ' ');
        if (item.nillable && isOn(values_, "x:" + path)) {
            text += pad + "<" + name + " xsi:nil=\"true\"/>\n";
            usesXsi_ = true;
        } else if (!item.isComplex()) {
            simpleElement(item, path, name, pad);
        } else {
            complexElement(item, path, indent, name, pad);
        }
    }

    // A choice writes the alternative chosen; its path is below the choice's
    // occurrence.
    void alternative(const KxSoapItem& choice, const std::string& path, int indent) {
        if (const auto index = chosen(choice, values_, path)) {
            itemAt(choice.children[*index], childPath(path, *index), indent);
        } else if (choice.min > 0) {
            request_.problems.push_back(
                "Choose one of the alternatives for " +
                (choice.name.empty() ? std::string("a choice") : choice.name) + ".");
        }
    }

    void simpleElement(const KxSoapItem& item, const std::string& path, const std::string& name,
                       const std::string& pad) {
        const std::string value = simpleValue(item, values_, path);
        if (value.empty() && item.min == 0 && !item.repeated()) {
            return;
        }
        check(item, value);
        text += pad + "<" + name + ">" + escaped(value) + "</" + name + ">\n";
    }

    // Attributes and simple content first, then the child elements.
    void complexElement(const KxSoapItem& item, const std::string& path, int indent,
                        const std::string& name, const std::string& pad) {
        std::string start = "<" + name;
        std::string content;
        bool hasContent = false;
        for (std::size_t i = 0; i < item.children.size(); ++i) {
            const KxSoapItem& child = item.children[i];
            const std::string childAt = childPath(path, i);
            if (child.kind == KxSoapItem::Kind::Attribute) {
                const std::string value = simpleValue(child, values_, childAt);
                if (value.empty() && child.min == 0) {
                    continue;
                }
                check(child, value);
                start += " " + qualified(child.ns, child.name) + "=\"" + escaped(value) + "\"";
            } else if (child.kind == KxSoapItem::Kind::Text) {
                content = simpleValue(child, values_, childAt);
                check(child, content);
                hasContent = true;
            }
        }
        const std::size_t mark = text.size();
        items(item.children, path, indent + 1);
        const std::string inner = text.substr(mark);
        text.resize(mark);
        if (hasContent) {
            text += pad + start + ">" + escaped(content) + "</" + name + ">\n";
        } else if (inner.empty()) {
            text += pad + start + "/>\n";
        } else {
            text += pad + start + ">\n" + inner + pad + "</" + name + ">\n";
        }
    }

    void check(const KxSoapItem& item, const std::string& value) {
        if (value.empty() && !emptyIsAValue(item.type)) {
            request_.problems.push_back((item.kind == KxSoapItem::Kind::Attribute ? "@" : "") +
                                        (item.name.empty() ? std::string("the text") : item.name) +
                                        " needs a value (" + item.type + ").");
        }
    }

    static std::string escaped(const std::string& value) {
        KxCString out;
        kx::appendEscapedMarkup(out, value, false);
        return out;
    }

    const KxFormValues& values_;
    KxSoapRequest& request_;
    std::size_t budget_ = kMaxFormItems;
    bool cut_ = false;
    std::vector<std::pair<std::string, std::string>> declarations_;
    bool usesXsi_ = false;
};

}  // namespace

KxSoapRequest buildSoapRequest(const KxSoapPort& port, const KxSoapOperation& operation,
                               const KxFormValues& values) {
    KxSoapRequest request;
    EnvelopeWriter writer(operation, values, request);
    const bool rpc = operation.style == "rpc" && !operation.wrapper.empty();
    const int indent = rpc ? 3 : 2;
    writer.items(operation.input, "", indent);
    std::string body = writer.text;
    if (rpc) {
        const std::string wrapper = writer.qualified(operation.wrapperNs, operation.wrapper);
        body = body.empty() ? "    <" + wrapper + "/>\n"
                            : "    <" + wrapper + ">\n" + body + "    </" + wrapper + ">\n";
    }
    std::string envelope =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<soap:Envelope xmlns:soap=\"";
    envelope += port.soapVersion == "1.2" ? kSoap12Envelope : kSoap11Envelope;
    envelope += "\"";
    for (const auto& [prefix, ns] : writer.declarations()) {
        KxCString uri;
        kx::appendEscapedMarkup(uri, ns, false);
        envelope += "\n    xmlns:" + prefix + "=\"" + uri + "\"";
    }
    if (writer.usesXsi()) {
        envelope += "\n    xmlns:xsi=\"" + std::string(kXsiNamespace) + "\"";
    }
    envelope += ">\n  <soap:Body>\n" + body + "  </soap:Body>\n</soap:Envelope>\n";
    request.envelope = std::move(envelope);
    if (port.soapVersion == "1.2") {
        std::string type = "application/soap+xml; charset=utf-8";
        if (!operation.action.empty()) {
            type += "; action=\"" + operation.action + "\"";
        }
        request.headers.emplace_back("Content-Type", type);
    } else {
        request.headers.emplace_back("Content-Type", "text/xml; charset=utf-8");
        request.headers.emplace_back("SOAPAction", "\"" + operation.action + "\"");
    }
    return request;
}
