// The try-it page's model: the service description, form rows, request and answer.
#include "orvowizard/tryit/KxSoapForm.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "orvowizard/tryit/KxTryItPage.h"
#include "platform/xml/KxXmlTree.h"

namespace {

// A document-style port with every kind of item, an rpc operation and a SOAP 1.2 port.
const char* const kDescription = R"(<?xml version="1.0"?>
<operations wsdl="shop.wsdl">
  <port name="ShopPort" path="/shop" address="http://localhost:8090/shop" soap="1.1">
    <operation name="order" action="urn:shop#order" style="document" one-way="false">
      <documentation>Places an order.</documentation>
      <input>
        <element name="Order" ns="urn:shop" min="1" max="1">
          <attribute name="id" ns="" type="int" required="true"/>
          <attribute name="channel" ns="" type="string" required="false" default="web"/>
          <element name="customer" ns="urn:shop" type="string" min="1" max="1"/>
          <element name="express" ns="urn:shop" type="boolean" min="1" max="1"/>
          <element name="size" ns="urn:shop" type="string" min="0" max="1">
            <value>S</value><value>M</value><value>L</value>
          </element>
          <element name="item" ns="urn:shop" min="1" max="unbounded">
            <element name="sku" ns="urn:shop" type="string" min="1" max="1"/><element
                name="count" ns="urn:shop" type="int" min="1" max="1"/>
          </element>
          <element name="note" ns="urn:shop" min="0" max="1">
            <text type="string"/>
            <attribute name="lang" ns="http://www.w3.org/XML/1998/namespace" type="string" required="false"/>
          </element>
          <choice min="1" max="1">
            <element name="card" ns="urn:shop" type="string" min="1" max="1"/>
            <element name="invoice" ns="urn:pay" min="1" max="1">
              <element name="vat" ns="" type="string" min="1" max="1" nillable="true"/>
            </element>
          </choice>
          <element name="parent" ns="urn:shop" min="0" max="1" recursive="true"/>
        </element>
      </input>
    </operation>
    <operation name="add" action="" style="rpc">
      <input wrapper="add" wrapper-ns="urn:calc">
        <element name="a" ns="" type="int" min="1" max="1"/>
        <element name="b" ns="" type="int" min="1" max="1"/>
      </input>
    </operation>
    <operation name="ping" action="" style="document" one-way="true"><input/></operation>
  </port>
  <port name="Shop12" path="/shop12" address="" soap="1.2"><operation name="ping"
    action="urn:ping"><input/></operation></port>
</operations>)";

class SoapForm : public testing::Test {
  protected:
    void SetUp() override {
        description = parseServiceDescription(kDescription, "operations.xml");
        ASSERT_EQ(description.error, "");
        port = description.port("ShopPort");
        ASSERT_NE(port, nullptr);
        order = port->operation("order");
        ASSERT_NE(order, nullptr);
    }

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

    // A complete order: item 0 given, the card chosen.
    KxFormValues complete() const {
        return {{"v:0.0", "42"},      {"v:0.2", "ann & <bob>"}, {"v:0.3", "true"},
                {"v:0.5#0.0", "A-1"}, {"v:0.5#0.1", "2"},       {"v:0.7.0", "4111"}};
    }

    KxServiceDescription description;
    const KxSoapPort* port = nullptr;
    const KxSoapOperation* order = nullptr;
    std::vector<std::string> problems;
};

// The item kinds, bounds and choices are read as the request and rows tests
// use them; here what only the page shows, and the broken descriptions.
TEST_F(SoapForm, DescriptionIsReadWithWhatThePageShows) {
    EXPECT_EQ(port->path, "/shop");
    EXPECT_EQ(order->action, "urn:shop#order");
    EXPECT_EQ(order->documentation, "Places an order.");
    ASSERT_EQ(order->input.size(), 1u);
    EXPECT_EQ(order->input[0].children.size(), 9u);
    EXPECT_TRUE(port->operation("ping")->oneWay);
    EXPECT_NE(parseServiceDescription("<operations><port>", "x.xml").error, "");
    EXPECT_NE(parseServiceDescription("<other/>", "x.xml").error, "");
}

TEST_F(SoapForm, RequestQualifiesEscapesAndLeavesOutWhatIsNotGiven) {
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

TEST_F(SoapForm, RepeatsChoicesIncludesAndNilFollowTheirKeys) {
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

TEST_F(SoapForm, MissingRequiredValuesAreProblemsButStringsMayBeEmpty) {
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

TEST_F(SoapForm, RpcWrapsThePartsAndSoap12UsesItsEnvelope) {
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

TEST_F(SoapForm, RowsShowTheFormAndButtonsChangeTheRepeats) {
    KxFormValues values = complete();
    auto rows = formRows(*order, values);
    const auto find = [&](const std::string& path, const std::string& control = "") {
        for (const KxFormRow& row : rows) {
            if (row.path == path && (control.empty() || row.control == control)) {
                return &row;
            }
        }
        return static_cast<const KxFormRow*>(nullptr);
    };
    ASSERT_NE(find("0.3"), nullptr);
    EXPECT_EQ(find("0.3")->control, "checkbox");
    EXPECT_TRUE(find("0.3")->checked);
    EXPECT_EQ(find("0.4")->control, "select");
    EXPECT_EQ(find("0.4")->options, (std::vector<std::string>{"", "S", "M", "L"}));
    EXPECT_EQ(find("0.1")->value, "web");
    EXPECT_EQ(find("0.5#0.1")->sample, "1");
    EXPECT_EQ(find("0.2")->sample, "sample");
    EXPECT_EQ(find("0.6", "include")->checked, false);
    // The chosen alternative's fields only; the recursive part as a note.
    EXPECT_NE(find("0.7.0"), nullptr);
    EXPECT_EQ(find("0.7.1"), nullptr);
    EXPECT_EQ(rows.back().kind, KxFormRow::Kind::Close);
    int opens = 0;
    for (const KxFormRow& row : rows) {
        opens += row.kind == KxFormRow::Kind::Open    ? 1
                 : row.kind == KxFormRow::Kind::Close ? -1
                                                      : 0;
        ASSERT_GE(opens, 0);
    }
    EXPECT_EQ(opens, 0);

    // One item, its minimum: nothing to remove; add makes two, and the
    // second can be removed again.
    EXPECT_FALSE(find("0.5#0", "")->removable);
    EXPECT_TRUE(applyFormAction(*order, values, "add:0.5"));
    EXPECT_EQ(values["n:0.5"], "2");
    rows = formRows(*order, values);
    ASSERT_NE(find("0.5#1"), nullptr);
    EXPECT_TRUE(find("0.5#1")->removable);
    EXPECT_TRUE(applyFormAction(*order, values, "remove:0.5#1"));
    EXPECT_TRUE(applyFormAction(*order, values, "remove:0.5#0"));
    EXPECT_EQ(values["n:0.5"], "1");
    // Only repeated items have buttons; a path out of the tree is refused.
    EXPECT_FALSE(applyFormAction(*order, values, "add:0.2"));
    EXPECT_FALSE(applyFormAction(*order, values, "add:0.99"));
    EXPECT_FALSE(applyFormAction(*order, values, "send"));
}

TEST(SoapFormBounds, NestedRepeatsFromTheFormAreCut) {
    const KxServiceDescription nested = parseServiceDescription(
        R"(<operations><port name="P" path="/p"><operation name="o"><input>
           <element name="outer" ns="" min="1" max="unbounded">
             <element name="inner" ns="" type="int" min="1" max="unbounded"/>
           </element></input></operation></port></operations>)",
        "operations.xml");
    const KxSoapPort& port = nested.ports.at(0);
    KxFormValues values{{"n:0", "100"}};
    for (int k = 0; k < 100; ++k) {
        values["n:0#" + std::to_string(k) + ".0"] = "100";
    }
    const std::vector<KxFormRow> rows = formRows(port.operations[0], values);
    EXPECT_LT(rows.size(), 5300u);
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                            [](const KxFormRow& row) { return row.kind == KxFormRow::Kind::Note; }),
              1);
    const KxSoapRequest request = buildSoapRequest(port, port.operations[0], values);
    EXPECT_LT(request.envelope.size(), 1024u * 1024);
    ASSERT_FALSE(request.problems.empty());
    EXPECT_NE(request.problems.back().find("more than 5000"), std::string::npos);
}

TEST(SoapFormBounds, SessionFormOfValuesKeepsAnyTextAndRefusesGarbage) {
    const KxFormValues values{{"v:0", "12:ab3:"}, {"v:1", ""}, {"n:0", "3"}};
    EXPECT_EQ(decodeFormValues(encodeFormValues(values)), values);
    EXPECT_TRUE(decodeFormValues("ab:cd").empty());
    EXPECT_TRUE(decodeFormValues("99:short").empty());
}

TEST(SoapAnswer, ResultsAndFaultsOfBothVersions) {
    const KxSoapAnswer result = readSoapAnswer(
        R"(<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/"><s:Body>)"
        R"(<r:Result xmlns:r="urn:r" unit="m"><value>3</value><list><i>1</i><i>2</i></list>)"
        R"(</r:Result></s:Body></s:Envelope>)");
    ASSERT_TRUE(result.wellFormed);
    EXPECT_FALSE(result.isFault);
    EXPECT_EQ(result.values,
              (std::vector<std::pair<std::string, std::string>>{{"Result/@unit", "m"},
                                                                {"Result/value", "3"},
                                                                {"Result/list/i[1]", "1"},
                                                                {"Result/list/i[2]", "2"}}));

    const KxSoapAnswer fault11 = readSoapAnswer(
        R"(<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/"><s:Body><s:Fault>)"
        R"(<faultcode>s:Client</faultcode><faultstring>division by zero</faultstring>)"
        R"(<detail><d:DivideFault xmlns:d="urn:d"><divisor>0</divisor></d:DivideFault></detail>)"
        R"(</s:Fault></s:Body></s:Envelope>)");
    EXPECT_TRUE(fault11.isFault);
    EXPECT_EQ(fault11.faultCode, "s:Client");
    EXPECT_EQ(fault11.faultString, "division by zero");
    EXPECT_EQ(fault11.faultDetail, "DivideFault/divisor = 0\n");

    const KxSoapAnswer fault12 = readSoapAnswer(
        R"(<e:Envelope xmlns:e="http://www.w3.org/2003/05/soap-envelope"><e:Body><e:Fault>)"
        R"(<e:Code><e:Value>e:Sender</e:Value><e:Subcode><e:Value>x:Bad</e:Value></e:Subcode>)"
        R"(</e:Code><e:Reason><e:Text xml:lang="en">bad input</e:Text></e:Reason>)"
        R"(</e:Fault></e:Body></e:Envelope>)");
    EXPECT_TRUE(fault12.isFault);
    EXPECT_EQ(fault12.faultCode, "e:Sender / x:Bad");
    EXPECT_EQ(fault12.faultString, "bad input");

    EXPECT_FALSE(readSoapAnswer("<html>oops").wellFormed);
    EXPECT_FALSE(readSoapAnswer("<a/>").wellFormed);
    EXPECT_FALSE(readSoapAnswer("").wellFormed);
}

}  // namespace
