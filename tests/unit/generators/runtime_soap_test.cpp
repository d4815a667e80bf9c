// orvosoap.h: SOAP envelopes and faults.
// orvosoap.h is included first, so that this file also shows it compiles on
// its own.
#include "generators/runtime/orvosoap.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A SOAP 1.2 fault as written, and its code read back in the SOAP 1.1 name
// the generated code throws (generated_code_test reads a header fault so).
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

// A block the operation reads may be marked mustUnderstand; any other so
// marked is refused by its name, in either version's spelling, while one
// marked "0" or in another namespace's attribute is let through.
TEST(Soap, OnlyHeaderBlocksTheOperationReadsMayBeMarkedMustUnderstand) {
    const auto envelope = [](const char* ns, const std::string& blocks) {
        return orvo::Document::parse(std::string("<e:Envelope xmlns:e='") + ns +
                                     "' xmlns:h='urn:h'><e:Header>" + blocks +
                                     "</e:Header><e:Body/></e:Envelope>");
    };
    const auto readsAuth = [](const orvo::Element& block) { return block.is("urn:h", "Auth"); };
    struct Case {
        orvo::SoapVersion version;
        std::string blocks;
        const char* refused;  // the block named in the fault, or nullptr
    };
    const Case cases[] = {
        {orvo::SoapVersion::Soap11, "<h:Auth e:mustUnderstand='1'/>", nullptr},
        {orvo::SoapVersion::Soap12, "<h:Auth e:mustUnderstand='true'/>", nullptr},
        {orvo::SoapVersion::Soap11,
         "<h:Auth e:mustUnderstand='1'/><h:Trace e:mustUnderstand=' 1 '/>", "{urn:h}Trace"},
        {orvo::SoapVersion::Soap12, "<h:Trace e:mustUnderstand='true'/>", "{urn:h}Trace"},
        {orvo::SoapVersion::Soap11,
         "<h:Trace e:mustUnderstand='0'/><h:Other h:mustUnderstand='1'/>", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.blocks);
        const orvo::Document request = envelope(orvo::soapNamespace(c.version), c.blocks);
        EXPECT_EQ(orvo::soapHeader(request, c.version).firstChild().localName(),
                  c.blocks.substr(3, c.blocks.find(' ') - 3));
        try {
            orvo::refuseHeadersToUnderstand(request, c.version, readsAuth);
            EXPECT_EQ(c.refused, nullptr);
        } catch (const orvo::Fault& fault) {
            ASSERT_NE(c.refused, nullptr) << fault.what();
            EXPECT_EQ(fault.code(), "MustUnderstand");
            EXPECT_NE(std::string(fault.what()).find(c.refused), std::string::npos) << fault.what();
        }
    }
    // Without a Header there is nothing to refuse, and no Header is found.
    const orvo::Document bare =
        orvo::Document::parse(std::string("<e:Envelope xmlns:e='") + orvo::kSoapEnvelopeNamespace +
                              "'><e:Body/></e:Envelope>");
    EXPECT_FALSE(orvo::soapHeader(bare, orvo::SoapVersion::Soap11));
    EXPECT_NO_THROW(orvo::refuseHeadersToUnderstand(bare, orvo::SoapVersion::Soap11));
}

}  // namespace
