// The C++ the generators write compiles (g++ -std=c++17, warnings as
// errors), and works: a client proxy talks to a servlet through its SOAP
// envelopes, and data classes read back what they write.
#include "GeneratorProject.h"

namespace gentest {
namespace {

// An empty input stands for the tricky schema below; a schema goes to
// bindgen, a WSDL to svcgen.
struct CompileCase {
    const char* label;
    std::string input;
    std::vector<std::string> properties;
    bool noServer = false;
};

std::ostream& operator<<(std::ostream& out, const CompileCase& c) {
    return out << c.label;
}

// A schema with what the examples lack: types that hold each other, a
// derived type, text content with an attribute, a nested anonymous type, a
// choice, repeated scalars and names that are C++ keywords.
const char* const kTrickySchema = R"(<?xml version="1.0"?>
<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:t="urn:t" targetNamespace="urn:t">
  <xs:complexType name="Node">
    <xs:sequence>
      <xs:element name="label" type="xs:string"/>
      <xs:element name="next" type="t:Node" minOccurs="0"/>
      <xs:element name="children" type="t:Node" minOccurs="0" maxOccurs="unbounded"/>
      <xs:element name="owner" type="t:Tree" minOccurs="0"/>
    </xs:sequence>
  </xs:complexType>
  <xs:complexType name="Tree">
    <xs:sequence>
      <xs:element name="root" type="t:Node"/>
      <xs:element name="class" type="xs:int"/>
      <xs:element name="flags" type="xs:boolean" maxOccurs="5"/>
      <xs:element name="size-in-bytes" type="xs:unsignedLong"/>
      <xs:element name="meta">
        <xs:complexType><xs:sequence><xs:element name="k" type="t:Code"/></xs:sequence></xs:complexType>
      </xs:element>
      <xs:choice><xs:element name="a" type="xs:float"/><xs:element name="b" type="xs:short"/></xs:choice>
    </xs:sequence>
  </xs:complexType>
  <xs:simpleType name="Code"><xs:restriction base="xs:integer"/></xs:simpleType>
  <xs:complexType name="Price">
    <xs:simpleContent>
      <xs:extension base="xs:decimal"><xs:attribute name="currency" type="xs:string" default="EUR"/></xs:extension>
    </xs:simpleContent>
  </xs:complexType>
  <xs:complexType name="SpecialTree">
    <xs:complexContent>
      <xs:extension base="t:Tree"><xs:sequence><xs:element name="special" type="t:Price"/></xs:sequence></xs:extension>
    </xs:complexContent>
  </xs:complexType>
  <xs:element name="tree" type="t:Tree"/>
</xs:schema>
)";

// Two schemas in a WSDL's types, one importing the other by namespace alone,
// and an operation with the name of its input element's class.
const char* const kTwoSchemaWsdl = R"(<?xml version="1.0"?>
<definitions name="Orders" targetNamespace="urn:orders" xmlns:tns="urn:orders"
    xmlns:o="urn:orders:types" xmlns:c="urn:orders:common"
    xmlns:xsd="http://www.w3.org/2001/XMLSchema" xmlns="http://schemas.xmlsoap.org/wsdl/">
  <types>
    <xsd:schema targetNamespace="urn:orders:common">
      <xsd:complexType name="Money"><xsd:simpleContent><xsd:extension base="xsd:decimal">
        <xsd:attribute name="currency" type="xsd:string" use="required"/>
      </xsd:extension></xsd:simpleContent></xsd:complexType>
    </xsd:schema>
    <xsd:schema targetNamespace="urn:orders:types" elementFormDefault="qualified">
      <xsd:import namespace="urn:orders:common"/>
      <xsd:element name="GetOrder"><xsd:complexType><xsd:sequence>
        <xsd:element name="id" type="xsd:long"/></xsd:sequence></xsd:complexType></xsd:element>
      <xsd:element name="Order"><xsd:complexType><xsd:sequence>
        <xsd:element name="total" type="c:Money"/></xsd:sequence></xsd:complexType></xsd:element>
    </xsd:schema>
  </types>
  <message name="In"><part name="parameters" element="o:GetOrder"/></message>
  <message name="Out"><part name="parameters" element="o:Order"/></message>
  <portType name="Orders"><operation name="GetOrder">
    <input message="tns:In"/><output message="tns:Out"/></operation></portType>
</definitions>
)";

class GeneratedCode : public GeneratorProject, public ::testing::WithParamInterface<CompileCase> {};

TEST_P(GeneratedCode, CompilesWithItsHeaders) {
    const CompileCase& c = GetParam();
    std::string input = c.input;
    if (input.empty()) {
        write("tricky.xsd", kTrickySchema);
        input = path() + "/tricky.xsd";
    } else if (input.front() == '<') {
        write("inline.wsdl", input);
        input = path() + "/inline.wsdl";
    }
    const bool service = input.ends_with(".wsdl");
    writeProperties(service ? "server" : "foundation", c.properties);
    ASSERT_EQ(run(service ? svcgen(input, "", c.noServer) : bindgen(input)), 0) << log();
    ASSERT_FALSE(filesEndingIn(".cpp").empty());
    EXPECT_EQ(compileSyntax(), 0) << read("compiler.txt");
}

// The calculator with every file, and the purchase order with marshallers,
// are compiled by the WorkingCode tests below; data classes without
// marshallers by the schema corpus (tests/corpus).
INSTANTIATE_TEST_SUITE_P(
    Examples, GeneratedCode,
    ::testing::Values(CompileCase{"stockquote_everything",
                                  example("stockquote.wsdl"),
                                  {"server=true", "client=true", "sample=true"}},
                      CompileCase{
                          "stockquote_noserver", example("stockquote.wsdl"), {"sample=true"}, true},
                      CompileCase{"tricky_schema_marshallers", "", {"externalmarshaller=1"}},
                      CompileCase{"two_schemas_and_an_operation_named_like_a_class",
                                  kTwoSchemaWsdl,
                                  {"client=true", "sample=true"}}),
    [](const ::testing::TestParamInfo<CompileCase>& info) {
        return std::string(info.param.label);
    });

// The calculator service the programs below serve through its SOAP server
// side.
const char* const kCalculatorService = R"(
#include <stdexcept>
#include "CalculatorPortTypeServletBase.h"

using namespace example_calculator;

class Calculator : public CalculatorPortTypeBase {
  public:
    Result add(const Operands& o) override { return with(o.getA() + o.getB()); }
    Result subtract(const Operands& o) override { return with(o.getA() - o.getB()); }
    Result multiply(const Operands& o) override { return with(o.getA() * o.getB()); }
    Result divide(const Operands& o) override {
        if (o.getB() == 0) throw std::runtime_error("division by <zero>");
        return with(o.getA() / o.getB());
    }
  private:
    static Result with(double value) { Result r; r.setValue(value); return r; }
};

// What a servlet does with a request, without the container.
struct Servlet {
    Calculator calculator;
    CalculatorPortTypeServletBase server{calculator};
    std::string service(const std::string& action, const std::string& envelope) {
        const orvo::SoapAnswer answer = server.handle("text/xml; charset=utf-8", action, envelope);
        return std::to_string(answer.status) + " " + answer.body;
    }
};

)";

class WorkingCode : public GeneratorProject {
  protected:
    // Compiles the program with the generated sources (samples and main.cpp
    // left out), runs it and returns its output.
    std::string buildAndRun(const std::string& program,
                            const std::vector<std::string>& leaveOut = {}) {
        write("check_program.cxx", program);
        std::string line = "g++ -std=c++17 -Wall -Wextra -Werror " + pkgConfig("--cflags") +
                           " -I. -o check_program check_program.cxx";
        for (const std::string& source : filesEndingIn(".cpp")) {
            if (std::find(leaveOut.begin(), leaveOut.end(), source) == leaveOut.end()) {
                line += " " + source;
            }
        }
        EXPECT_EQ(kx::os::runCommand(line + " " + pkgConfig("--libs") + " > compiler.txt"), 0)
            << read("compiler.txt");
        EXPECT_EQ(kx::os::runCommand("./check_program > program.txt"), 0) << read("program.txt");
        return read("program.txt");
    }
};

TEST_F(WorkingCode, ClientProxyReachesTheServiceThroughTheServletAndGetsFaults) {
    writeProperties("server", {"client=true"});
    ASSERT_EQ(run(svcgen(example("calculator.wsdl"))), 0) << log();
    const std::string output = buildAndRun(R"(
#include <iostream>
#include "CalculatorPortTypeClientProxy.h"
#include "CalculatorPortTypeLocal.h"
)" + std::string(kCalculatorService) + R"(
int main() {
    Servlet servlet;
    CalculatorPortTypeClientProxy proxy;
    std::string lastAction;
    proxy.setTransport([&](const std::string& endpoint, const std::string& action,
                           const std::string& envelope) {
        lastAction = endpoint + " " + action;
        return servlet.server.handle("text/xml", action, envelope).body;
    });
    Operands operands;
    operands.setA(7.5);
    operands.setB(2.5);
    std::cout << "add " << proxy.add(operands).getValue() << "\n";
    std::cout << "subtract " << proxy.subtract(operands).getValue() << "\n";
    std::cout << "via " << lastAction << "\n";
    operands.setB(0);
    try {
        proxy.divide(operands);
        std::cout << "no fault\n";
    } catch (const orvo::Fault& fault) {
        std::cout << "fault " << fault.code() << ": " << fault.what() << "\n";
    }
    // The operations share their request element: the SOAP action tells
    // them apart. A SOAP 1.2 envelope is answered in SOAP 1.2.
    std::cout << "reply " << servlet.service("urn:example:calculator#multiply",
        "<s:Envelope xmlns:s='http://schemas.xmlsoap.org/soap/envelope/'><s:Body>"
        "<c:Operands xmlns:c='urn:example:calculator'><a>3</a><b>4</b></c:Operands>"
        "</s:Body></s:Envelope>") << "\n";
    std::cout << "soap12 " << servlet.service("",
        "<e:Envelope xmlns:e='http://www.w3.org/2003/05/soap-envelope'><e:Body>"
        "<c:Operands xmlns:c='urn:example:calculator'><a>3</a><b>0</b></c:Operands>"
        "</e:Body></e:Envelope>") << "\n";
    std::cout << "no envelope " << servlet.service("", "<Operands/>") << "\n";
    std::cout << "must understand " << servlet.service("",
        "<s:Envelope xmlns:s='http://schemas.xmlsoap.org/soap/envelope/'><s:Header>"
        "<t:Trace xmlns:t='urn:t' s:mustUnderstand='1'/></s:Header><s:Body>"
        "<c:Operands xmlns:c='urn:example:calculator'><a>3</a><b>4</b></c:Operands>"
        "</s:Body></s:Envelope>") << "\n";
    Calculator calculator;
    CalculatorPortTypeLocal local(calculator);
    operands.setB(4);
    std::cout << "local " << local.multiply(operands).getValue() << "\n";
}
)");
    EXPECT_NE(output.find("add 10\n"), std::string::npos) << output;
    EXPECT_NE(output.find("subtract 5\n"), std::string::npos) << output;
    EXPECT_NE(output.find("via http://localhost:8090/calculator urn:example:calculator#subtract\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("fault Server: division by <zero>\n"), std::string::npos) << output;
    EXPECT_NE(output.find("reply 200 <soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/"
                          "envelope/\"><soap:Body><ns1:Result xmlns:ns1=\"urn:example:calculator\">"
                          "<value>12</value></ns1:Result></soap:Body></soap:Envelope>\n"),
              std::string::npos)
        << output;
    // Without an action, the first operation that takes Operands: add.
    EXPECT_NE(output.find("soap12 200 <soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/"
                          "soap-envelope\"><soap:Body><ns1:Result xmlns:ns1=\"urn:example:"
                          "calculator\"><value>3</value>"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("must understand 500 <soap:Envelope xmlns:soap=\"http://schemas.xmlsoap."
                          "org/soap/envelope/\"><soap:Body><soap:Fault><faultcode>soap:"
                          "MustUnderstand</faultcode><faultstring>the header block {urn:t}Trace "
                          "is not understood</faultstring>"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("no envelope 500 <soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/"
                          "soap/envelope/\"><soap:Body><soap:Fault><faultcode>soap:VersionMismatch"
                          "</faultcode>"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("local 30\n"), std::string::npos) << output;
}

// A declared fault crosses the envelopes both ways as its own class: the
// service throws it with its detail, the client catches it as such.
TEST_F(WorkingCode, DeclaredFaultsReachTheClientWithTheirDetail) {
    writeProperties("server", {"client=true"});
    ASSERT_EQ(run(svcgen(std::string(KX_SOURCE_DIR) + "/tests/soap/declared_faults/bank.wsdl")), 0)
        << log();
    const std::string output = buildAndRun(R"(
#include <iostream>
#include "BankPortLocal.h"

using namespace kxtest_bank;

class Bank : public BankPortBase {
  public:
    WithdrawResponse Withdraw(const ::kxtest_bank::Withdraw& request) override {
        InsufficientFunds detail;
        detail.setRequested(request.getAmount());
        detail.setAvailable(orvo::Decimal("5.50"));
        throw InsufficientFundsFault(detail, "not enough on " + request.getAccount(), "Client");
    }
    BalanceResponse Balance(const ::kxtest_bank::Balance&) override {
        throw orvo::Fault("Server", "closed");
    }
};

int main() {
    Bank bank;
    BankPortLocal local(bank);
    ::kxtest_bank::Withdraw request;
    request.setAccount("bob");
    request.setAmount(orvo::Decimal("6.00"));
    try {
        local.Withdraw(request);
    } catch (const InsufficientFundsFault& fault) {
        std::cout << "declared " << fault.code() << " " << fault.what() << " "
                  << fault.detail().getRequested().str() << " "
                  << fault.detail().getAvailable().str() << "\n";
    }
    try {
        local.Balance(::kxtest_bank::Balance());
    } catch (const InsufficientFundsFault&) {
        std::cout << "wrongly declared\n";
    } catch (const orvo::Fault& fault) {
        std::cout << "generic " << fault.code() << " " << fault.what() << "\n";
    }
}
)");
    EXPECT_NE(output.find("declared Client not enough on bob 6.00 5.50\ngeneric Server closed\n"),
              std::string::npos)
        << output;
}

// The corpus checks documents against xmllint; this checks the classes as a
// program uses them: built in memory, written, read back, and refused.
TEST_F(WorkingCode, MarshallersWriteAndReadBackWhatTheProgramBuilt) {
    writeProperties("foundation", {"externalmarshaller=true"});
    ASSERT_EQ(run(bindgen(example("purchaseorder.xsd"))), 0) << log();
    const std::string output = buildAndRun(R"(
#include <iostream>
#include "PurchaseOrderTypeMarshaller.h"

using namespace example_purchaseorder;

int main() {
    PurchaseOrderType order;
    order.setOrderDate(orvo::Date("2024-05-01"));
    USAddress to;
    to.setName("Ann & <Bob>");
    to.setZip(orvo::Decimal("90952.000000000000000001"));
    order.setShipTo(to);
    Items items;
    for (int i = 1; i <= 2; ++i) {
        Item item;
        item.setPartNum("p-" + std::to_string(i));
        item.setQuantity(orvo::PositiveInteger(std::to_string(i * 10)));
        if (i == 2) item.setComment(std::string("second \"one\""));
        items.addItem(item);
    }
    order.setItems(items);
    const std::string xml = PurchaseOrderTypeMarshaller::toXml(order);
    std::cout << xml << "\n";
    PurchaseOrderType back;
    PurchaseOrderTypeMarshaller::fromXml(xml, back);
    std::cout << "same " << (PurchaseOrderTypeMarshaller::toXml(back) == xml) << "\n";
    std::cout << "zip " << back.getShipTo().getZip().str() << "\n";
    std::cout << "items " << back.getItems().getItem().size() << " "
              << back.getItems().getItem()[1].getQuantity().str() << " "
              << back.getItems().getItem()[1].getComment().has_value()
              << back.getItems().getItem()[0].getComment().has_value() << "\n";
    std::cout << "country " << back.getShipTo().getCountryOrDefault() << "\n";
    for (const char* bad : {"no element", "<purchaseOrder/>",
                            "<p:purchaseOrder xmlns:p='urn:example:purchaseorder' orderDate='x'/>"}) {
        try {
            PurchaseOrderTypeMarshaller::fromXml(bad, back);
            std::cout << "accepted\n";
        } catch (const orvo::XmlError& error) {
            std::cout << "refused " << error.what() << "\n";
        }
    }
}
)");
    EXPECT_NE(output.find("<po:purchaseOrder xmlns:po=\"urn:example:purchaseorder\" "
                          "orderDate=\"2024-05-01\"><po:shipTo><po:name>Ann &amp; &lt;Bob&gt;"
                          "</po:name>"),
              std::string::npos)
        << output;
    EXPECT_NE(
        output.find("<po:item partNum=\"p-2\"><po:productName></po:productName><po:quantity>20"
                    "</po:quantity><po:USPrice>0</po:USPrice><po:comment>second \"one\""
                    "</po:comment></po:item>"),
        std::string::npos)
        << output;
    EXPECT_NE(output.find("same 1\nzip 90952.000000000000000001\nitems 2 20 10\ncountry US\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("refused line 1, column 1: Start tag expected"), std::string::npos)
        << output;
    EXPECT_NE(output.find("refused line 1: the root element is purchaseOrder; expected "
                          "{urn:example:purchaseorder}purchaseOrder\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("refused line 1: 'x' is not a date (YYYY-MM-DD) in "
                          "{urn:example:purchaseorder}purchaseOrder\n"),
              std::string::npos)
        << output;
}

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

TEST_F(WorkingCode, HostileDocumentationAndActionsNeverBecomeCode) {
    write("evil.wsdl", hostileCalculator());
    writeProperties("server", {"client=true", "sample=true", "html=true"});
    ASSERT_EQ(run(svcgen(path() + "/evil.wsdl")), 0) << log();
    // Live, the #error lines would stop the compiler.
    ASSERT_EQ(compileSyntax(), 0) << read("compiler.txt");
    const std::string base = read("CalculatorPortTypeBase.h");
    EXPECT_NE(base.find("// ports * / int injectedPort = 1; / *\n"), std::string::npos) << base;
    EXPECT_NE(base.find("    // #error injected\n    // int injectedOperation = 2;\n"),
              std::string::npos)
        << base;
    const std::string output = buildAndRun(
        R"(
#include <iostream>
#include "CalculatorPortTypeClientProxy.h"

extern int injectedPort __attribute__((weak));
extern int injectedOperation __attribute__((weak));

)" + std::string(kCalculatorService) +
            R"(
int main() {
    Servlet servlet;
    CalculatorPortTypeClientProxy proxy;
    proxy.setTransport([&](const std::string&, const std::string& action, const std::string& envelope) {
        std::cout << "action [" << action << "]\n";
        return servlet.server.handle("text/xml", action, envelope).body;
    });
    Operands operands;
    operands.setA(2);
    operands.setB(3);
    const double sum = proxy.add(operands).getValue();
    std::cout << "add " << sum << "\n";
    std::cout << "symbols " << (&injectedPort == nullptr) << (&injectedOperation == nullptr) << "\n";
}
)",
        {"main.cpp", "CalculatorPortTypeClient.cpp", "CalculatorPortTypeServlet.cpp",
         "CalculatorPortTypeImpl.cpp"});
    // The action reaches the servlet as written, and dispatches to add.
    EXPECT_NE(output.find("action [add\"); std::system(\"touch MARKER\"); (\"\\]\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("add 5\n"), std::string::npos) << output;
    EXPECT_NE(output.find("symbols 11\n"), std::string::npos) << output;
    EXPECT_FALSE(exists("MARKER"));
}

}  // namespace
}  // namespace gentest
