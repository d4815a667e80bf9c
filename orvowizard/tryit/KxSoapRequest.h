#pragma once
// The SOAP request the try-it page sends for a form's values: the envelope
// of the port's SOAP version, the operation's input in it (wrapped for rpc),
// every namespace declared once on the envelope.
#include <string>
#include <utility>
#include <vector>

#include "orvowizard/tryit/KxServiceDescription.h"
#include "orvowizard/tryit/KxSoapFormValues.h"

// The SOAP request for the form's values, indented, with its HTTP headers,
// and the problems that keep it from being sent (a required value missing);
// the request is made anyway so the page can show it.
struct KxSoapRequest {
    std::string envelope;
    // Content-Type and, for SOAP 1.1, SOAPAction, as the port's version wants.
    std::vector<std::pair<std::string, std::string>> headers;
    std::vector<std::string> problems;
};
KxSoapRequest buildSoapRequest(const KxSoapPort& port, const KxSoapOperation& operation,
                               const KxFormValues& values);
