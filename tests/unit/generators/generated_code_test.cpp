// The C++ the generators write compiles (g++ -std=c++17, warnings as
// errors), and works: a client proxy talks to a servlet through its SOAP
// envelopes, and data classes read back what they write.
#include "GeneratorProject.h"

namespace gentest {
namespace {

// What the examples lack: types that hold each other, a derived type, text content with
// an attribute, a nested anonymous type, a choice, repeated scalars and C++ keywords.
const char* const kTrickySchema = R"(<?xml version="1.0"?>
<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:t="urn:t" targetNamespace="urn:t">
  <xs:complexType name="Node"><xs:sequence><xs:element name="label" type="xs:string"/>
    <xs:element name="next" type="t:Node" minOccurs="0"/>
    <xs:element name="children" type="t:Node" minOccurs="0" maxOccurs="unbounded"/>
    <xs:element name="owner" type="t:Tree" minOccurs="0"/></xs:sequence></xs:complexType>
  <xs:complexType name="Tree"><xs:sequence><xs:element name="root" type="t:Node"/>
    <xs:element name="class" type="xs:int"/><xs:element name="flags" type="xs:boolean" maxOccurs="5"/>
    <xs:element name="size-in-bytes" type="xs:unsignedLong"/>
    <xs:element name="meta"><xs:complexType><xs:sequence><xs:element name="k" type="t:Code"/>
      </xs:sequence></xs:complexType></xs:element>
    <xs:choice><xs:element name="a" type="xs:float"/><xs:element name="b" type="xs:short"/></xs:choice>
  </xs:sequence></xs:complexType>
  <xs:simpleType name="Code"><xs:restriction base="xs:integer"/></xs:simpleType>
  <xs:complexType name="Price"><xs:simpleContent><xs:extension base="xs:decimal">
    <xs:attribute name="currency" type="xs:string" default="EUR"/></xs:extension></xs:simpleContent>
  </xs:complexType>
  <xs:complexType name="SpecialTree"><xs:complexContent><xs:extension base="t:Tree"><xs:sequence>
    <xs:element name="special" type="t:Price"/></xs:sequence></xs:extension></xs:complexContent>
  </xs:complexType>
  <xs:element name="tree" type="t:Tree"/>
</xs:schema>
)";

class WorkingCode : public GeneratorProject {};

// calculator.wsdl with code where a WSDL may hold text: documentation that
// ends a block comment or breaks the line, a documentation line ending in a
// line splice, and a SOAP action that would end its string literal.
std::string hostileCalculator() {
    std::string wsdl = readFile(example("calculator.wsdl"));
    const auto replace = [&](const std::string& from, const std::string& to) {
        const auto at = wsdl.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        wsdl.replace(at, from.size(), to);
    };
    replace("<portType name=\"CalculatorPortType\">",
            "<portType name=\"CalculatorPortType\">\n<documentation>ports */ int injectedPort = 1; "
            "/*\nstatic const int injectedRun = std::system(\"touch MARKER\");\n"
            "splices the next line \\</documentation>");
    replace("<operation name=\"add\">",
            "<operation name=\"add\"><documentation>adds\n#error injected\r"
            "int injectedOperation = 2;&#10;int injectedReference = 3;</documentation>");
    replace("<xsd:element name=\"Result\">",
            "<xsd:element name=\"Result\"><xsd:annotation><xsd:documentation>result \\\n"
            "#error spliced</xsd:documentation></xsd:annotation>");
    replace("soapAction=\"urn:example:calculator#add\"",
            "soapAction=\"add&quot;); std::system(&quot;touch MARKER&quot;); (&quot;\\\"");
    return wsdl;
}

// Every file of the service from the hostile calculator: the text stays text,
// and the client proxy, the in-process binding and the servlet work together,
// telling apart by the SOAP action operations that share their elements.
TEST_F(WorkingCode, HostileCalculatorCompilesInertAndServesItsClients) {
    write("evil.wsdl", hostileCalculator());
    writeProperties("server", {"client=true", "sample=true", "html=true"});
    ASSERT_EQ(run(svcgen(path() + "/evil.wsdl")), 0) << log();
    // Live, the #error lines would stop the compiler.
    ASSERT_EQ(compileSyntax(), 0) << read("compiler.txt");
    const std::string base = read("CalculatorPortTypeBase.h");
    EXPECT_TRUE(has(base, "// ports * / int injectedPort = 1; / *\n")) << base;
    EXPECT_TRUE(has(base, "    // #error injected\n    // int injectedOperation = 2;\n")) << base;
    const std::string output =
        buildAndRun(R"(
#include <iostream>
#include <stdexcept>
#include "CalculatorPortTypeClientProxy.h"
#include "CalculatorPortTypeLocal.h"
#include "CalculatorPortTypeServletBase.h"
extern int injectedPort __attribute__((weak));
extern int injectedOperation __attribute__((weak));
using namespace example_calculator;

class Calculator : public CalculatorPortTypeBase {
    static Result with(double value) { Result r; r.setValue(value); return r; }
  public:
    Result add(const Operands& o) override { return with(o.getA() + o.getB()); }
    Result subtract(const Operands& o) override { return with(o.getA() - o.getB()); }
    Result multiply(const Operands& o) override { return with(o.getA() * o.getB()); }
    Result divide(const Operands& o) override {
        if (o.getB() == 0) throw std::runtime_error("division by <zero>");
        return with(o.getA() / o.getB());
    }
};

int main() {
    Calculator calculator;
    CalculatorPortTypeServletBase server{calculator};
    CalculatorPortTypeClientProxy proxy;
    proxy.setTransport([&](const std::string& endpoint, const std::string& action,
                           const std::string& envelope) {
        std::cout << "to " << endpoint << " [" << action << "]\n";
        return server.handle("text/xml", action, envelope).body;
    });
    Operands operands;
    operands.setA(7.5);
    operands.setB(2.5);
    const double sum = proxy.add(operands).getValue();
    const double difference = proxy.subtract(operands).getValue();
    std::cout << "add " << sum << " subtract " << difference << "\n";
    operands.setB(0);
    try {
        proxy.divide(operands);
        std::cout << "no fault\n";
    } catch (const orvo::Fault& fault) {
        std::cout << "fault " << fault.code() << ": " << fault.what() << "\n";
    }
    operands.setB(4);
    std::cout << "local " << CalculatorPortTypeLocal(calculator).multiply(operands).getValue()
              << "\nsymbols " << (&injectedPort == nullptr) << (&injectedOperation == nullptr) << "\n";
    const auto serve = [&](const std::string& type, const std::string& action, const std::string& body) {
        const orvo::SoapAnswer answer = server.handle(type, action, body +
            "<c:Operands xmlns:c='urn:example:calculator'><a>3</a><b>4</b></c:Operands></s:Body></s:Envelope>");
        std::cout << answer.status << " " << answer.body << "\n";
    };
    serve("text/xml", " \"urn:example:calculator#multiply\" ",
          "<s:Envelope xmlns:s='http://schemas.xmlsoap.org/soap/envelope/'><s:Header/><s:Body>");
    serve("application/soap+xml; action=\"urn:example:calculator#subtract\"", "",
          "<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope'><s:Body>");
}
)",
                    {"main.cpp", "CalculatorPortTypeClient.cpp", "CalculatorPortTypeServlet.cpp",
                     "CalculatorPortTypeImpl.cpp"});
    // The hostile action reaches the servlet as written, and dispatches to add.
    expectHas(
        output,
        {
            "to http://localhost:8090/calculator [add\"); std::system(\"touch MARKER\"); (\"\\]\n"
            "to http://localhost:8090/calculator [urn:example:calculator#subtract]\n"
            "add 10 subtract 5\n",
            "fault Server: division by <zero>\nlocal 30\nsymbols 11\n",
            "200 <soap:Envelope "
            "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>"
            "<ns1:Result xmlns:ns1=\"urn:example:calculator\"><value>12</value></ns1:Result>"
            "</soap:Body></soap:Envelope>\n",
            // SOAP 1.2 is answered in SOAP 1.2; its action rides in the content type.
            "200 <soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Body>"
            "<ns1:Result xmlns:ns1=\"urn:example:calculator\"><value>-1</value>",
        });
    EXPECT_FALSE(exists("MARKER"));
}

// A SOAP 1.2 binding whose request carries a part of its own message as a
// header block (left out of the Body by soap:body parts), with a header
// fault, and whose response carries a block of another message. The parts
// are named as variables of the generated code are.
const char* const kTallyWsdl = R"(<?xml version="1.0"?>
<definitions name="Tally" targetNamespace="urn:tally" xmlns:tns="urn:tally"
    xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:soap12="http://schemas.xmlsoap.org/wsdl/soap12/"
    xmlns="http://schemas.xmlsoap.org/wsdl/">
  <types><xs:schema targetNamespace="urn:tally" elementFormDefault="qualified">
    <xs:element name="Add"><xs:complexType><xs:sequence><xs:element name="n" type="xs:int"/>
      </xs:sequence></xs:complexType></xs:element>
    <xs:element name="AddResponse"><xs:complexType><xs:sequence><xs:element name="sum" type="xs:int"/>
      </xs:sequence></xs:complexType></xs:element>
    <xs:element name="Ticket" type="xs:string"/>
    <xs:element name="Calls" type="xs:int"/>
    <xs:element name="Refused" type="xs:string"/>
  </xs:schema></types>
  <message name="AddIn"><part name="parameters" element="tns:Add"/><part name="header" element="tns:Ticket"/></message>
  <message name="AddOut"><part name="parameters" element="tns:AddResponse"/></message>
  <message name="CallsHeader"><part name="version" element="tns:Calls"/></message>
  <message name="RefusedTicket"><part name="refused" element="tns:Refused"/></message>
  <portType name="TallyPort"><operation name="Add"><input message="tns:AddIn"/>
    <output message="tns:AddOut"/></operation></portType>
  <binding name="TallyBinding" type="tns:TallyPort"><soap12:binding style="document"/>
    <operation name="Add"><soap12:operation soapAction="urn:tally:Add"/>
      <input><soap12:body parts="parameters" use="literal"/>
        <soap12:header message="tns:AddIn" part="header" use="literal">
          <soap12:headerfault message="tns:RefusedTicket" part="refused" use="literal"/>
        </soap12:header></input>
      <output><soap12:body use="literal"/>
        <soap12:header message="tns:CallsHeader" part="version" use="literal"/></output></operation>
  </binding>
  <service name="TallyService"><port name="TallySoap" binding="tns:TallyBinding">
    <soap12:address location="http://localhost:8090/tally"/></port></service>
</definitions>
)";

// The header blocks go both ways through the in-process binding, in SOAP
// 1.2; the request's block may be marked mustUnderstand, another may not.
TEST_F(WorkingCode, HeaderBlocksTravelBothWaysAndOnlyDeclaredOnesAreUnderstood) {
    write("tally.wsdl", kTallyWsdl);
    writeProperties("server", {"client=true"});
    ASSERT_EQ(run(svcgen(path() + "/tally.wsdl")), 0) << log();
    const std::string output = buildAndRun(R"(
#include <iostream>
#include "TallyPortClientProxy.h"
#include "TallyPortLocal.h"
#include "TallyPortServletBase.h"

class Tally : public TallyPortBase {
    int sum_ = 0, calls_ = 0;
  public:
    ::tally::AddResponse Add(const ::tally::Add& parameters, const std::string& ticket,
                             int& calls) override {
        if (ticket != "ok") throw RefusedTicketFault(ticket, "ticket refused", "Client");
        sum_ += parameters.getN();
        calls = ++calls_;
        ::tally::AddResponse response;
        response.setSum(sum_);
        return response;
    }
};

int main() {
    Tally tally;
    TallyPortLocal local(tally);
    ::tally::Add add;
    add.setN(5);
    int calls = -1;
    std::cout << "sum " << local.Add(add, "ok", calls).getSum() << " calls " << calls << "\n";
    std::cout << "sum " << local.Add(add, "ok", calls).getSum() << " calls " << calls << "\n";
    // The header fault's class comes back with its detail: from the fault's
    // detail as this server sends it, and from the fault envelope's Header.
    try {
        local.Add(add, "bad", calls);
    } catch (const RefusedTicketFault& fault) {
        std::cout << "refused " << fault.code() << ": " << fault.what() << " [" << fault.detail() << "]\n";
    }
    TallyPortClientProxy proxy;
    proxy.setTransport([](const std::string&, const std::string&, const std::string&) {
        return std::string("<e:Envelope xmlns:e='http://www.w3.org/2003/05/soap-envelope' "
                           "xmlns:t='urn:tally'><e:Header><t:Refused>late</t:Refused></e:Header>"
                           "<e:Body><e:Fault><e:Code><e:Value>e:Sender</e:Value></e:Code>"
                           "<e:Reason><e:Text>too late</e:Text></e:Reason></e:Fault></e:Body></e:Envelope>");
    });
    try {
        proxy.Add(add, "ok", calls);
    } catch (const RefusedTicketFault& fault) {
        std::cout << "refused " << fault.code() << ": " << fault.what() << " [" << fault.detail() << "]\n";
    }
    TallyPortServletBase server(tally);
    for (const char* blocks : {"<t:Ticket e:mustUnderstand='true'>ok</t:Ticket>",
                               "<t:Ticket>ok</t:Ticket><t:Trace e:mustUnderstand='1'/>"}) {
        const orvo::SoapAnswer answer = server.handle("application/soap+xml", "",
            std::string("<e:Envelope xmlns:e='http://www.w3.org/2003/05/soap-envelope' "
                        "xmlns:t='urn:tally'><e:Header>") + blocks +
            "</e:Header><e:Body><t:Add><t:n>1</t:n></t:Add></e:Body></e:Envelope>");
        std::cout << answer.status << " " << answer.body << "\n";
    }
}
)");
    expectHas(
        output,
        {
            "sum 5 calls 1\nsum 10 calls 2\nrefused Client: ticket refused [bad]\n"
            "refused Client: too late [late]\n",
            // The answer's block stands in the Header, before the Body.
            "200 <soap:Envelope "
            "xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Header>"
            "<ns1:Calls xmlns:ns1=\"urn:tally\">3</ns1:Calls></soap:Header><soap:Body>"
            "<ns1:AddResponse xmlns:ns1=\"urn:tally\"><ns1:sum>11</ns1:sum></ns1:AddResponse>",
            "500 ",
            "soap:MustUnderstand",
            "the header block {urn:tally}Trace is not understood",
        });
    // The ticket is a header block of the request, not a part of its Body.
    const std::string proxy = read("TallyPortProxyBase.cpp");
    EXPECT_LT(proxy.find("\"Ticket\""), proxy.find("orvo::startSoapBody"));
}

// The tricky schema through marshallers, which call each other for the
// derived type's base, the nodes and the meta; the derived type where its
// base is declared, named with xsi:type.
TEST_F(WorkingCode, MarshallersWriteAndReadBackWhatTheProgramBuilt) {
    write("tricky.xsd", kTrickySchema);
    writeProperties("foundation", {"externalmarshaller=1"});
    ASSERT_EQ(run(bindgen("tricky.xsd")), 0) << log();
    const std::string output = buildAndRun(R"(
#include <iostream>
#include <memory>
#include "Node.h"
#include "NodeMarshaller.h"
#include "SpecialTreeMarshaller.h"
using namespace t;

int main() {
    auto leaf = std::make_shared<Node>();
    leaf->setLabel("leaf & <1>");
    auto root = std::make_shared<Node>();
    root->setLabel("root");
    root->setNext(leaf);
    root->addChildren(leaf);
    root->addChildren(leaf);
    SpecialTree tree;
    tree.setRoot(root);
    tree.setClass_(-7);
    tree.addFlags(true);
    tree.addFlags(false);
    tree.setSize_in_bytes(18446744073709551615u);
    TreeMeta meta;
    meta.setK(orvo::Integer("-123456789012345678901234567890"));
    tree.setMeta(meta);
    tree.setB(std::int16_t(-32768));
    Price price;
    price.setValue(orvo::Decimal("9.90"));
    price.setCurrency(std::string("U\"S"));
    tree.setSpecial(price);
    const std::string xml = SpecialTreeMarshaller::toXml(tree);
    SpecialTree back;
    SpecialTreeMarshaller::fromXml(xml, back);
    std::cout << xml << "\nsame " << (SpecialTreeMarshaller::toXml(back) == xml) << " "
              << back.getRoot()->getChildren().size() << back.getA().has_value() << "\n";
    // A special tree where a tree is declared: written with its type
    // named, read back as it, and written with the tree's own fields.
    Node owned;
    owned.setLabel("owned");
    Tree declared = tree;
    declared.holdDerived(orvo::Derived::of<Tree, SpecialTree, SpecialTreeMarshaller>(tree));
    owned.setOwner(declared);
    const std::string typed = NodeMarshaller::toXml(owned);
    Node read;
    NodeMarshaller::fromXml(typed, read);
    const SpecialTree* special = read.getOwner()->derived().as<SpecialTree>();
    std::cout << "typed " << typed.substr(typed.find("<owner")).substr(0, 100) << "\n"
              << "special " << (special ? special->getSpecial().getCurrency().value() : "none");
    Tree owner = *read.getOwner();
    owner.setClass_(42);
    read.setOwner(owner);
    const std::string changed = NodeMarshaller::toXml(read);
    std::cout << " changed " << (changed.find("<class>42</class>") != std::string::npos)
              << (changed.find("<special") != std::string::npos) << "\n";
    try {
        SpecialTreeMarshaller::fromXml(
            xml.substr(0, xml.find("<class>")) + "<class>x</class></t:SpecialTree>", back);
        std::cout << "accepted\n";
    } catch (const orvo::XmlError& error) {
        std::cout << "refused " << error.what() << "\n";
    }
}
)");
    expectHas(output,
              {"<t:SpecialTree xmlns:t=\"urn:t\"><root><label>root</label><next><label>leaf &amp; "
               "&lt;1&gt;</label></next><children><label>leaf &amp; &lt;1&gt;</label></children>"
               "<children>",
               "</root><class>-7</class><flags>true</flags><flags>false</flags><size-in-bytes>"
               "18446744073709551615</size-in-bytes><meta><k>-123456789012345678901234567890</k>"
               "</meta><b>-32768</b><special currency=\"U&quot;S\">9.90</special></t:SpecialTree>"
               "\nsame 1 20\n",
               "typed <owner xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
               "xsi:type=\"t:SpecialTree\"><root>",
               "special U\"S changed 11\n", "refused line 1: 'x' is not an integer in class"});
}

// Elements a lax wildcard takes that the schema declares: read into their
// classes as well as kept as trees, in a sequence and in a repeated choice;
// one that does not fit its class, and one the schema does not know, keep
// their trees alone; a skip wildcard reads no classes. All is written back
// as read.
TEST_F(WorkingCode, LaxWildcardsReadTheElementsTheSchemaDeclaresIntoTheirClasses) {
    write("open.xsd", R"(<?xml version="1.0"?>
<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:t="urn:t" targetNamespace="urn:t"
           elementFormDefault="qualified">
  <xs:element name="note"><xs:complexType><xs:sequence>
    <xs:element name="to" type="xs:string"/><xs:element name="size" type="xs:int"/>
  </xs:sequence></xs:complexType></xs:element>
  <xs:element name="box"><xs:complexType><xs:sequence>
    <xs:any namespace="##any" processContents="lax" maxOccurs="unbounded"/>
  </xs:sequence></xs:complexType></xs:element>
  <xs:element name="mix"><xs:complexType><xs:choice maxOccurs="unbounded">
    <xs:element name="label" type="xs:string"/><xs:any namespace="##any" processContents="lax"/>
  </xs:choice></xs:complexType></xs:element>
  <xs:element name="raw"><xs:complexType><xs:sequence>
    <xs:any namespace="##any" processContents="skip"/>
  </xs:sequence></xs:complexType></xs:element>
</xs:schema>
)");
    writeProperties("foundation", {});
    ASSERT_EQ(run(bindgen("open.xsd")), 0) << log();
    const std::string output = buildAndRun(R"(
#include <iostream>
#include "Box.h"
#include "Mix.h"
#include "Note.h"
#include "Raw.h"
using namespace t;

int main() {
    const std::string box = "<t:box xmlns:t=\"urn:t\"><t:note><t:to>Ann</t:to><t:size>3</t:size>"
        "</t:note><t:note><t:to>Bob</t:to><t:size>many</t:size></t:note><t:other/></t:box>";
    Box read;
    read.fromXml(box);
    for (const orvo::AnyElement& any : read.getAny()) {
        const Note* note = any.as<Note>();
        std::cout << any.name << ":" << (note ? note->getTo() + "/" + std::to_string(note->getSize()) : "tree") << " ";
    }
    std::cout << "\nsame " << (read.toXml() == box) << "\n";
    Mix mix;
    mix.fromXml("<mix xmlns=\"urn:t\"><label>x</label><note><to>Cy</to><size>1</size></note></mix>");
    const Note* chosen = mix.getChoice()[1].anyElement->as<Note>();
    std::cout << "choice " << (chosen ? chosen->getTo() : "tree") << "\n";
    Raw raw;
    raw.fromXml("<raw xmlns=\"urn:t\"><note><to>Di</to><size>2</size></note></raw>");
    std::cout << "skip " << (raw.getAnyElement().as<Note>() ? "class" : "tree") << "\n";
    Note made;
    made.setTo("Ed");
    made.setSize(5);
    const orvo::AnyElement any = orvo::anyOf(made);
    std::cout << "made " << any.name << " " << any.children.size() << " " << (any.as<Note>() != nullptr) << "\n";
}
)");
    expectHas(output,
              {"note:Ann/3 note:tree other:tree \nsame 1\nchoice Cy\nskip tree\nmade note 2 1\n"});
}

}  // namespace
}  // namespace gentest
