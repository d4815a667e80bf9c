// The SOAP request made from a form's values: what it writes, qualifies and
// leaves out, its envelope and headers, and what keeps it from being sent.
#include "orvowizard/tryit/KxSoapRequest.h"

#include <gtest/gtest.h>

#include "ShopDescription.h"
#include "platform/xml/KxXmlTree.h"

namespace {

class SoapRequest : public ShopService {
  protected:
    // The request's Body for the values, read back (not well-formed fails the
    // test), its problems kept.
    kx::XmlElement requestBody(const KxSoapOperation& operation, const KxFormValues& values) {
        const KxSoapRequest request = buildSoapRequest(*port, operation, values);
        problems = request.problems;
        const kx::XmlDocument document = kx::parseXmlDocument(request.envelope);
        EXPECT_FALSE(document.fault) << request.envelope;
        if (!document.root || document.root->child("Body") == nullptr) {
            ADD_FAILURE() << "no Body in\n" << request.envelope;
            return {};
        }
        EXPECT_EQ(document.root->namespaceUri, "http://schemas.xmlsoap.org/soap/envelope/");
        return *document.root->child("Body");
    }

    std::vector<std::string> problems;
};

TEST_F(SoapRequest, RequestQualifiesEscapesAndLeavesOutWhatIsNotGiven) {
    const kx::XmlElement body = requestBody(*order, complete());
    EXPECT_TRUE(problems.empty()) << problems.front();
    ASSERT_EQ(body.children.size(), 1u);
    const kx::XmlElement& root = body.children[0];
    EXPECT_EQ(root.name, "Order");
    EXPECT_EQ(root.namespaceUri, "urn:shop");
    EXPECT_EQ(root.attributeOr("id"), "42");
    // An optional attribute with a default is written with it.
    EXPECT_EQ(root.attributeOr("channel"), "web");
    std::vector<std::string> names;
    for (const kx::XmlElement& child : root.children) {
        names.push_back(child.name);
    }
    // No size (optional, empty), no note (not included), no parent (recursive).
    EXPECT_EQ(names, (std::vector<std::string>{"customer", "express", "item", "card"}));
    EXPECT_EQ(root.child("customer")->text, "ann & <bob>");
    EXPECT_EQ(root.child("express")->text, "true");
    const kx::XmlElement* item = root.child("item");
    EXPECT_EQ(item->child("sku")->text, "A-1");
    EXPECT_EQ(item->child("sku")->namespaceUri, "urn:shop");
}

TEST_F(SoapRequest, RepeatsChoicesIncludesAndNilFollowTheirKeys) {
    KxFormValues values{{"n:0.5", "2"},       {"v:0.5#1.0", "B-2"},   {"v:0.5#1.1", "5"},
                        {"u:0.6", "on"},      {"v:0.6.0", "fragile"}, {"v:0.6.1", "en"},
                        {"c:0.7", "invoice"}, {"x:0.7.1.0", "on"},    {"v:0.4", "M"},
                        {"u:0.8", "on"}};
    values.merge(complete());
    const kx::XmlElement body = requestBody(*order, values);
    const kx::XmlElement& root = body.children.at(0);
    const auto items = root.childrenNamed("item");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1]->child("sku")->text, "B-2");
    EXPECT_EQ(root.child("size")->text, "M");
    ASSERT_NE(root.child("note"), nullptr);
    EXPECT_EQ(root.child("note")->text, "fragile");
    EXPECT_EQ(root.child("note")->attributeOr("lang"), "en");
    EXPECT_EQ(root.child("card"), nullptr);
    EXPECT_EQ(root.child("parent"), nullptr) << "a recursive part is never written";
    const kx::XmlElement* invoice = root.child("invoice");
    ASSERT_NE(invoice, nullptr);
    EXPECT_EQ(invoice->namespaceUri, "urn:pay");
    const kx::XmlElement* vat = invoice->child("vat");
    ASSERT_NE(vat, nullptr);
    EXPECT_EQ(vat->namespaceUri, "");
    EXPECT_EQ(vat->attributeOr("nil"), "true");
}

TEST_F(SoapRequest, MissingRequiredValuesAreProblemsButStringsMayBeEmpty) {
    KxFormValues values = complete();
    values["v:0.0"] = "";      // the required int attribute
    values["v:0.5#0.1"] = "";  // an int
    values["v:0.2"] = "";      // a string: empty is a value
    values["c:0.7"] = "";      // a required choice left open
    const kx::XmlElement body = requestBody(*order, values);
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_NE(problems[0].find("@id"), std::string::npos);
    EXPECT_NE(problems[1].find("count"), std::string::npos);
    EXPECT_NE(problems[2].find("Choose one"), std::string::npos);
    EXPECT_NE(body.children.at(0).child("customer"), nullptr);
}

TEST_F(SoapRequest, RpcWrapsThePartsAndSoap12UsesItsEnvelope) {
    const kx::XmlElement body = requestBody(*port->operation("add"), {{"v:0", "7"}, {"v:1", "-3"}});
    ASSERT_EQ(body.children.size(), 1u);
    const kx::XmlElement& wrapper = body.children[0];
    EXPECT_EQ(wrapper.name, "add");
    EXPECT_EQ(wrapper.namespaceUri, "urn:calc");
    EXPECT_EQ(wrapper.child("a")->text, "7");
    EXPECT_EQ(wrapper.child("a")->namespaceUri, "");
    EXPECT_EQ(wrapper.child("b")->text, "-3");

    const KxSoapPort* soap12 = description.port("Shop12");
    const KxSoapRequest request = buildSoapRequest(*soap12, soap12->operations[0], {});
    EXPECT_NE(request.envelope.find("\"http://www.w3.org/2003/05/soap-envelope\""),
              std::string::npos);
}

// SOAP 1.1 names the action in a header of its own, SOAP 1.2 in the
// content type; an empty 1.2 action is left out.
TEST_F(SoapRequest, HeadersFollowTheSoapVersion) {
    const KxSoapRequest soap11 = buildSoapRequest(*port, *order, complete());
    EXPECT_EQ(soap11.headers, (std::vector<std::pair<std::string, std::string>>{
                                  {"Content-Type", "text/xml; charset=utf-8"},
                                  {"SOAPAction", "\"urn:shop#order\""}}));

    const KxSoapPort* soap12 = description.port("Shop12");
    KxSoapOperation ping = soap12->operations[0];
    EXPECT_EQ(buildSoapRequest(*soap12, ping, {}).headers,
              (std::vector<std::pair<std::string, std::string>>{
                  {"Content-Type", "application/soap+xml; charset=utf-8; action=\"urn:ping\""}}));
    ping.action.clear();
    EXPECT_EQ(buildSoapRequest(*soap12, ping, {}).headers,
              (std::vector<std::pair<std::string, std::string>>{
                  {"Content-Type", "application/soap+xml; charset=utf-8"}}));
}

TEST(SoapRequestBounds, NestedRepeatsFromTheFormAreCut) {
    const KxServiceDescription nested = parseServiceDescription(kNestedRepeats, "operations.xml");
    const KxSoapPort& port = nested.ports.at(0);
    const KxSoapRequest request = buildSoapRequest(port, port.operations[0], hundredByHundred());
    EXPECT_LT(request.envelope.size(), 1024u * 1024);
    ASSERT_FALSE(request.problems.empty());
    EXPECT_NE(request.problems.back().find("more than 5000"), std::string::npos);
}

}  // namespace
