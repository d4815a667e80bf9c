// orvosoap.h: SOAP 1.1 and 1.2 envelopes, faults, content types and
// actions, for the services and clients svcgen writes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "orvobase.h"
#include "orvowriter.h"
#include "orvoxml.h"

namespace orvo {

// SOAP 1.1 and 1.2 envelopes and faults. A fault's code is written as the
// version names it: "Client" and "Server" of SOAP 1.1 are "Sender" and
// "Receiver" in SOAP 1.2, and are read back as "Client" and "Server".

inline constexpr const char* kSoapEnvelopeNamespace = "http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr const char* kSoap12EnvelopeNamespace = "http://www.w3.org/2003/05/soap-envelope";

enum class SoapVersion { Soap11, Soap12 };

inline const char* soapNamespace(SoapVersion version) {
    return version == SoapVersion::Soap12 ? kSoap12EnvelopeNamespace : kSoapEnvelopeNamespace;
}

// The content type of a message: text/xml for SOAP 1.1, application/soap+xml
// (with the action, when there is one) for SOAP 1.2.
inline std::string soapContentType(SoapVersion version, const std::string& action = {}) {
    if (version == SoapVersion::Soap11) {
        return "text/xml; charset=utf-8";
    }
    std::string type = "application/soap+xml; charset=utf-8";
    if (!action.empty()) {
        type += "; action=\"" + action + "\"";
    }
    return type;
}

// What an HTTP answer carries: its status, content type and body.
struct SoapAnswer {
    int status = 200;
    std::string contentType;
    std::string body;
};

namespace detail {

inline std::string lowercase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

inline std::string unquoted(std::string_view text) {
    text = trim(text);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        text = text.substr(1, text.size() - 2);
    }
    return std::string(text);
}

}  // namespace detail

// The action of a request: SOAP 1.2's action parameter of the content type,
// else SOAP 1.1's SOAPAction header; without quotes.
inline std::string soapActionOf(const std::string& contentType, const std::string& soapAction) {
    const std::string lower = detail::lowercase(contentType);
    const std::size_t at = lower.find("action=");
    if (at != std::string::npos && (at == 0 || lower[at - 1] == ';' || lower[at - 1] == ' ')) {
        const std::size_t end = contentType.find(';', at);
        return detail::unquoted(
            std::string_view(contentType)
                .substr(at + 7, end == std::string::npos ? std::string::npos : end - at - 7));
    }
    return detail::unquoted(soapAction);
}

// The Body of an envelope of either version, which version tells. An
// envelope of neither is a VersionMismatch fault; one without a Body a
// Client fault.
inline Element soapBody(const Document& envelope, SoapVersion& version) {
    const Element root = envelope.root();
    if (root.is(kSoapEnvelopeNamespace, "Envelope")) {
        version = SoapVersion::Soap11;
    } else if (root.is(kSoap12EnvelopeNamespace, "Envelope")) {
        version = SoapVersion::Soap12;
    } else {
        version = SoapVersion::Soap11;
        throw Fault("VersionMismatch", "the message is not a SOAP envelope: its root element is " +
                                           root.qualifiedName());
    }
    const char* ns = soapNamespace(version);
    for (Element child = root.firstChild(); child; child = child.nextSibling()) {
        if (child.is(ns, "Body")) {
            return child;
        }
    }
    throw Fault("Client", "the SOAP envelope has no Body");
}

// The Header of an envelope of that version; a null Element when it has none.
inline Element soapHeader(const Document& envelope, SoapVersion version) {
    const char* ns = soapNamespace(version);
    for (Element part = envelope.root().firstChild(); part; part = part.nextSibling()) {
        if (part.is(ns, "Header")) {
            return part;
        }
    }
    return Element();
}

// Refuses a header block the receiver must understand (mustUnderstand "1"
// or "true") unless understood(block) says it is one the operation reads:
// such a block is a MustUnderstand fault.
template <typename Understood>
void refuseHeadersToUnderstand(const Document& envelope, SoapVersion version,
                               const Understood& understood) {
    const char* ns = soapNamespace(version);
    const Element header = soapHeader(envelope, version);
    for (Element block = header.firstChild(); block; block = block.nextSibling()) {
        std::string value;
        if (block.attribute(ns, "mustUnderstand", value)) {
            const std::string_view word = detail::trim(value);
            if ((word == "1" || word == "true") && !understood(block)) {
                throw Fault("MustUnderstand",
                            "the header block " + block.qualifiedName() + " is not understood");
            }
        }
    }
}

// Refuses every header block the receiver must understand.
inline void refuseHeadersToUnderstand(const Document& envelope, SoapVersion version) {
    refuseHeadersToUnderstand(envelope, version, [](const Element&) { return false; });
}

// The first element inside a SOAP 1.1 or 1.2 envelope's Body; a null
// Element when the Body is empty.
inline Element soapBodyContent(const Document& envelope) {
    SoapVersion version = SoapVersion::Soap11;
    return soapBody(envelope, version).firstChild();
}

// Starts <soap:Envelope><soap:Body>; the caller writes the content and then
// ends both elements.
inline void startSoapEnvelope(Writer& out, SoapVersion version = SoapVersion::Soap11) {
    const char* ns = soapNamespace(version);
    out.prefer("soap", ns);
    out.start(ns, "Envelope");
    out.start(ns, "Body");
}

// The parts of an envelope with header blocks: startSoapEnvelopeOnly starts
// <soap:Envelope>, startSoapHeader <soap:Header> (the caller writes the
// blocks and ends it), startSoapBody <soap:Body>; the caller ends the Body
// and the Envelope.
inline void startSoapEnvelopeOnly(Writer& out, SoapVersion version) {
    const char* ns = soapNamespace(version);
    out.prefer("soap", ns);
    out.start(ns, "Envelope");
}

inline void startSoapHeader(Writer& out, SoapVersion version) {
    out.start(soapNamespace(version), "Header");
}

inline void startSoapBody(Writer& out, SoapVersion version) {
    out.start(soapNamespace(version), "Body");
}

// A Fault element with the fault's code (as a QName in the envelope
// namespace) and text, in the shape of the version.
inline void writeFault(Writer& out, const Fault& fault, SoapVersion version = SoapVersion::Soap11) {
    const char* ns = soapNamespace(version);
    out.start(ns, "Fault");
    const std::string prefix = out.prefix(ns);
    if (version == SoapVersion::Soap11) {
        out.start("", "faultcode");
        out.text(prefix + ":" + fault.code());
        out.end();
        out.start("", "faultstring");
        out.text(fault.what());
        out.end();
        if (fault.hasDetail()) {
            out.start("", "detail");
            fault.writeDetail(out);
            out.end();
        }
    } else {
        const std::string code = fault.code() == "Client"   ? "Sender"
                                 : fault.code() == "Server" ? "Receiver"
                                                            : fault.code();
        out.start(ns, "Code");
        out.start(ns, "Value");
        out.text(prefix + ":" + code);
        out.end();
        out.end();
        out.start(ns, "Reason");
        out.start(ns, "Text");
        out.attribute("http://www.w3.org/XML/1998/namespace", "lang", "en");
        out.text(fault.what());
        out.end();
        out.end();
        if (fault.hasDetail()) {
            out.start(ns, "Detail");
            fault.writeDetail(out);
            out.end();
        }
    }
    out.end();
}

// A whole envelope holding the fault.
inline std::string faultEnvelope(const Fault& fault, SoapVersion version) {
    Writer out;
    startSoapEnvelope(out, version);
    writeFault(out, fault, version);
    out.end();
    out.end();
    return out.str();
}

// Whether a Body's content is a fault (either version).
inline bool isFault(const Element& bodyContent) {
    return bodyContent.is(kSoapEnvelopeNamespace, "Fault") ||
           bodyContent.is(kSoap12EnvelopeNamespace, "Fault");
}

// The first element in a fault's detail (SOAP 1.1 detail, SOAP 1.2 Detail);
// a null Element when it has none.
inline Element faultDetail(const Element& fault) {
    for (Element child = fault.firstChild(); child; child = child.nextSibling()) {
        if (child.is("", "detail") || child.is(kSoap12EnvelopeNamespace, "Detail")) {
            return child.firstChild();
        }
    }
    return Element();
}

// The code (with the SOAP 1.1 names) and text of a fault element.
inline Fault faultOf(const Element& fault) {
    std::string code = "Server";
    std::string text = "the service reported a fault";
    const auto localCode = [](const std::string& written) {
        const std::string_view qname = detail::trim(written);
        const std::size_t colon = qname.rfind(':');
        const std::string local(colon == std::string_view::npos ? qname : qname.substr(colon + 1));
        return local == "Sender"     ? std::string("Client")
               : local == "Receiver" ? std::string("Server")
                                     : local;
    };
    for (Element child = fault.firstChild(); child; child = child.nextSibling()) {
        const std::string name = child.localName();
        if (name == "faultcode") {
            code = localCode(child.text());
        } else if (name == "faultstring") {
            text = child.text();
        } else if (name == "Code" && child.firstChild().localName() == "Value") {
            code = localCode(child.firstChild().text());
        } else if (name == "Reason" && child.firstChild().localName() == "Text") {
            text = child.firstChild().text();
        }
    }
    return Fault(code, text);
}

// Throws the fault a response's body content carries (either version), if
// it is one.
inline void throwIfFault(const Element& bodyContent) {
    if (isFault(bodyContent)) {
        throw faultOf(bodyContent);
    }
}

}  // namespace orvo
