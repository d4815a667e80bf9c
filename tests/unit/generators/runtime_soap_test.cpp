// orvosoap.h: SOAP envelopes and faults.
// orvosoap.h is included first, so that this file also shows it compiles on
// its own.
#include "generators/runtime/orvosoap.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The servlets and clients of SOAP 1.1 are run by the generated-code and
// SOAP peer tests; the client side of SOAP 1.2 faults only here.
TEST(Soap, Soap12FaultsAreReadBackWithTheSoap11NamesOfTheirCodes) {
    const std::string soap12 =
        orvo::faultEnvelope(orvo::Fault("Client", "no <such> thing"), orvo::SoapVersion::Soap12);
    EXPECT_NE(soap12.find("<soap:Code><soap:Value>soap:Sender</soap:Value></soap:Code>"),
              std::string::npos)
        << soap12;
    try {
        orvo::throwIfFault(orvo::soapBodyContent(orvo::Document::parse(soap12)));
        ADD_FAILURE() << soap12;
    } catch (const orvo::Fault& fault) {
        EXPECT_EQ(fault.code(), "Client");
        EXPECT_STREQ(fault.what(), "no <such> thing");
    }
}

// SOAP 1.2 names the action in the content type, SOAP 1.1 in its own header;
// a parameter whose name merely ends in "action" is not it.
TEST(Soap, TheActionIsTheContentTypesParameterOrElseTheSoapActionHeader) {
    struct Case {
        std::string contentType;
        const char* soapAction;
        const char* action;
    };
    const Case cases[] = {
        {"text/xml; charset=utf-8", "\"urn:add\"", "urn:add"},
        {"text/xml", " urn:add ", "urn:add"},
        {"text/xml", "", ""},
        {"application/soap+xml; charset=utf-8; action=\"urn:add\"", "\"urn:other\"", "urn:add"},
        {"application/soap+xml;Action=urn:add;charset=utf-8", "", "urn:add"},
        {"application/soap+xml; transaction=urn:no", "urn:yes", "urn:yes"},
        {orvo::soapContentType(orvo::SoapVersion::Soap12, "urn:add"), "", "urn:add"},
        {orvo::soapContentType(orvo::SoapVersion::Soap11, "urn:add"), "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(orvo::soapActionOf(c.contentType, c.soapAction), c.action) << c.contentType;
    }
}

}  // namespace
