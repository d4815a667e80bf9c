// Requests with every required field: the sample client fills them with
// values that read back in their types, the data classes name the ones
// still unset, and the client proxy refuses to send those.
#include "GeneratorProject.h"
#include "platform/xml/KxXsdSamples.h"

namespace gentest {
namespace {

// Required repeats (one below its minOccurs of 2), a required choice, a
// repeated choice holding a class, an enumeration, range facets, dates, a
// QName, binary data and a required attribute, nested two levels deep; a
// required field that closes a cycle; a pattern, a length and a union of a
// range and an enumeration, which reading the sample back checks.
const char* const kOrderWsdl = R"(<?xml version="1.0"?>
<definitions name="Orders" targetNamespace="urn:r" xmlns:t="urn:r"
    xmlns:xsd="http://www.w3.org/2001/XMLSchema" xmlns:soap="http://schemas.xmlsoap.org/wsdl/soap/"
    xmlns="http://schemas.xmlsoap.org/wsdl/">
  <types><xsd:schema targetNamespace="urn:r" elementFormDefault="qualified">
    <xsd:simpleType name="Colour"><xsd:restriction base="xsd:string">
      <xsd:enumeration value="red"/><xsd:enumeration value="green"/></xsd:restriction></xsd:simpleType>
    <xsd:simpleType name="Percent"><xsd:restriction base="xsd:int">
      <xsd:minInclusive value="10"/><xsd:maxInclusive value="20"/></xsd:restriction></xsd:simpleType>
    <xsd:simpleType name="Loss"><xsd:restriction base="xsd:decimal">
      <xsd:maxExclusive value="0"/></xsd:restriction></xsd:simpleType>
    <xsd:simpleType name="Code"><xsd:restriction base="xsd:token">
      <xsd:pattern value="[A-Z]{2}-\d{3}"/></xsd:restriction></xsd:simpleType>
    <xsd:simpleType name="Short"><xsd:restriction base="xsd:string">
      <xsd:maxLength value="3"/></xsd:restriction></xsd:simpleType>
    <xsd:complexType name="Line"><xsd:sequence>
      <xsd:element name="sku" type="xsd:string" maxOccurs="unbounded"/>
      <xsd:element name="colour" type="t:Colour"/>
      <xsd:element name="when" type="xsd:dateTime"/><xsd:element name="day" type="xsd:date"/>
      <xsd:element name="at" type="xsd:time"/><xsd:element name="wait" type="xsd:duration"/>
      <xsd:element name="name" type="xsd:QName"/>
      <xsd:element name="blob" type="xsd:base64Binary"/><xsd:element name="hex" type="xsd:hexBinary"/>
      <xsd:element name="share" type="t:Percent"/><xsd:element name="loss" type="t:Loss"/>
      <xsd:element name="count" type="xsd:positiveInteger"/>
      <xsd:element name="code" type="t:Code"/><xsd:element name="abbreviation" type="t:Short"/>
      <xsd:element name="size"><xsd:simpleType><xsd:union memberTypes="t:Percent">
        <xsd:simpleType><xsd:restriction base="xsd:string"><xsd:enumeration value="auto"/>
        </xsd:restriction></xsd:simpleType></xsd:union></xsd:simpleType></xsd:element>
      <xsd:choice><xsd:element name="byCode" type="xsd:int"/>
        <xsd:element name="byName" type="xsd:string"/></xsd:choice>
      <xsd:element name="note" type="xsd:string" minOccurs="0"/>
      <xsd:element name="tags" type="xsd:string" minOccurs="0" maxOccurs="unbounded"/>
    </xsd:sequence><xsd:attribute name="id" type="xsd:positiveInteger" use="required"/>
    </xsd:complexType>
    <xsd:complexType name="Box"><xsd:sequence>
      <xsd:element name="inner" type="t:Wrap" minOccurs="0"/></xsd:sequence></xsd:complexType>
    <xsd:complexType name="Wrap"><xsd:sequence>
      <xsd:element name="box" type="t:Box"/></xsd:sequence></xsd:complexType>
    <xsd:element name="Order"><xsd:complexType><xsd:sequence>
      <xsd:element name="box" type="t:Box"/>
      <xsd:element name="line" type="t:Line" minOccurs="2" maxOccurs="unbounded"/>
      <xsd:choice maxOccurs="unbounded"><xsd:element name="gift" type="t:Line"/>
        <xsd:element name="coupon" type="xsd:string"/></xsd:choice>
    </xsd:sequence></xsd:complexType></xsd:element>
    <xsd:element name="OrderResponse"><xsd:complexType><xsd:sequence>
      <xsd:element name="ok" type="xsd:boolean"/></xsd:sequence></xsd:complexType></xsd:element>
  </xsd:schema></types>
  <message name="In"><part name="parameters" element="t:Order"/></message>
  <message name="Out"><part name="parameters" element="t:OrderResponse"/></message>
  <portType name="Shop"><operation name="Place"><input message="t:In"/><output message="t:Out"/>
  </operation></portType>
  <binding name="B" type="t:Shop"><soap:binding style="document" transport="http://schemas.xmlsoap.org/soap/http"/>
    <operation name="Place"><soap:operation soapAction="urn:r#Place"/>
      <input><soap:body use="literal"/></input><output><soap:body use="literal"/></output></operation>
  </binding>
  <service name="S"><port name="P" binding="t:B"><soap:address location="http://localhost:1/shop"/></port></service>
</definitions>
)";

// Prints missingFields() of default objects, the proxy's refusal, and the
// sample client's request read back into its class.
const char* const kProgram = R"(
#include <iostream>
#include "ShopClientProxy.h"
int runShopClient(ShopClientProxy& proxy);
using namespace r;

void show(const char* what, const std::vector<std::string>& missing) {
    std::cout << what << ":";
    for (const std::string& path : missing) std::cout << " " << path;
    std::cout << "\n";
}

int main() {
    Order order;
    show("empty", order.missingFields());
    order.addLine(Line());
    order.addLine(Line());
    Order::ChoiceItem gift;
    gift.gift.emplace();
    order.addChoice(std::move(gift));
    show("defaults", order.missingFields());

    ShopClientProxy proxy;
    std::string sent;
    proxy.setTransport([&](const std::string&, const std::string&, const std::string& envelope) {
        sent = envelope;
        return std::string("<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\">"
                           "<s:Body><OrderResponse xmlns=\"urn:r\"><ok>true</ok></OrderResponse>"
                           "</s:Body></s:Envelope>");
    });
    try {
        proxy.Place(order);
        std::cout << "refused: no\n";
    } catch (const orvo::IncompleteRequest& refused) {
        std::cout << "refused: " << refused.code() << " " << refused.missing().size() << " sent "
                  << sent.size() << " | " << refused.what() << "\n";
    }
    proxy.setSendIncomplete(true);
    proxy.Place(order);
    std::cout << "sent anyway: " << (sent.empty() ? "no" : "yes") << "\n";

    sent.clear();
    proxy.setSendIncomplete(false);
    const int status = runShopClient(proxy);
    const orvo::Document envelope = orvo::Document::parse(sent);
    Order read;
    read.readXml(orvo::soapBodyContent(envelope));
    show("sample read back", read.missingFields());
    const Line& line = read.getLine().at(0);
    std::cout << "status " << status << " lines " << read.getLine().size() << " items "
              << read.getChoice().size() << " sku " << line.getSku().size() << " colour "
              << orvo::toText(line.getColour()) << " share " << line.getShare() << " loss "
              << orvo::toText(line.getLoss()) << " name " << orvo::toText(line.getName())
              << " byCode " << line.getByCode().has_value() << " note " << line.getNote().has_value()
              << " code " << line.getCode() << " abbreviation " << line.getAbbreviation()
              << " size " << line.getSize() << " of member " << line.getSizeMember() << "\n";

    // Wrap's required box closes the cycle Box, Wrap: held by shared_ptr.
    Box box;
    box.setInner(Wrap());
    show("empty pointer", box.missingFields());
    Wrap wrap;
    wrap.setBox(std::make_shared<Box>());
    show("set pointer", wrap.missingFields());
}
)";

class RequiredFields : public GeneratorProject {};

TEST_F(RequiredFields, SampleRequestsAreCompleteAndIncompleteOnesAreRefused) {
    write("orders.wsdl", kOrderWsdl);
    writeProperties("client", {"client=true", "server=false", "sample=true"});
    ASSERT_EQ(run(svcgen(path() + "/orders.wsdl", true)), 0) << log();
    const std::vector<std::string> lines = split(buildAndRun(kProgram, {"main.cpp"}), '\n');
    ASSERT_GE(lines.size(), 9u) << read("program.txt");
    // What can be told unset: a repeat below minOccurs, a required choice
    // with nothing chosen, a QName without a name; held classes walked into.
    EXPECT_EQ(lines[0], "empty: line (gift|coupon)");
    EXPECT_EQ(lines[1],
              "defaults: line[0]/sku line[0]/name line[0]/(byCode|byName) line[1]/sku "
              "line[1]/name line[1]/(byCode|byName) (gift|coupon)[0]/gift/sku "
              "(gift|coupon)[0]/gift/name (gift|coupon)[0]/gift/(byCode|byName)");
    EXPECT_TRUE(
        lines[2].starts_with("refused: Client 9 sent 0 | the request of Place is not "
                             "sent: required fields unset: Order/line[0]/sku, "
                             "Order/line[0]/name, Order/line[0]/(byCode|byName) and 6 more"))
        << lines[2];
    EXPECT_EQ(lines[3], "sent anyway: yes");
    // The sample read back in its types: every required field there, the
    // repeats at their minOccurs, the first alternative, the facets kept.
    EXPECT_EQ(lines[5], "sample read back:") << read("program.txt");
    EXPECT_EQ(lines[6],
              "status 0 lines 2 items 1 sku 1 colour red share 10 loss -1.000000 name sample "
              "byCode 1 note 0 code AA-000 abbreviation sam size 10 of member 0");
    EXPECT_EQ(lines[7], "empty pointer: inner/box");
    EXPECT_EQ(lines[8], "set pointer:");
}

// A sample of the type within the range facets (min and max inclusive, then
// exclusive); the plain sample where a bound or the type is no number.
TEST(SampleValues, KeepWithinTheirRanges) {
    const std::tuple<const char*, kx::XsdRange, const char*> cases[] = {
        {"int", {}, "1"},
        {"int", {"10", "20", "", ""}, "10"},
        {"int", {"", "-5", "", ""}, "-5"},
        {"long", {"", "", "7", ""}, "8"},
        {"short", {"", "", "", "-3"}, "-4"},
        {"decimal", {"", "", "0", "1"}, "0.500000"},
        {"double", {"0", "2", "", ""}, "1.5"},
        {"int", {"x", "", "", ""}, "1"},
        {"dateTime", {"2030-01-01T00:00:00Z", "", "", ""}, "2026-12-06T10:00:00Z"}};
    for (const auto& [type, range, expected] : cases) {
        EXPECT_EQ(kx::xsdSampleInRange(type, range), expected) << type << " " << expected;
    }
}

}  // namespace
}  // namespace gentest
