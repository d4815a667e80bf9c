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

class GeneratedCode : public GeneratorProject, public ::testing::WithParamInterface<CompileCase> {};

TEST_P(GeneratedCode, CompilesWithItsHeaders) {
    const CompileCase& c = GetParam();
    std::string input = c.input;
    if (input.empty()) {
        write("tricky.xsd", kTrickySchema);
        input = path() + "/tricky.xsd";
    }
    const bool service = input.ends_with(".wsdl");
    writeProperties(service ? "server" : "foundation", c.properties);
    ASSERT_EQ(run(service ? svcgen(input, "", c.noServer) : bindgen(input)), 0) << log();
    ASSERT_FALSE(filesEndingIn(".cpp").empty());
    EXPECT_EQ(compileSyntax(), 0) << read("compiler.txt");
}

// The calculator with every file, and the purchase order with marshallers,
// are compiled by the WorkingCode tests below.
INSTANTIATE_TEST_SUITE_P(
    Examples, GeneratedCode,
    ::testing::Values(
        CompileCase{"stockquote_everything", example("stockquote.wsdl"),
                    {"server=true", "client=true", "sample=true"}},
        CompileCase{"stockquote_noserver", example("stockquote.wsdl"), {"sample=true"}, true},
        CompileCase{"purchaseorder", example("purchaseorder.xsd"), {}},
        CompileCase{"tricky_schema", "", {}},
        CompileCase{"tricky_schema_marshallers", "", {"externalmarshaller=1"}}),
    [](const ::testing::TestParamInfo<CompileCase>& info) {
        return std::string(info.param.label);
    });

// The calculator service the programs below serve through a servlet.
const char* const kCalculatorService = R"(
#include <stdexcept>
#include "CalculatorPortTypeServletBase.h"

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

class Servlet : public CalculatorPortTypeServletBase {
  protected:
    CalculatorPortTypeBase& implementation() override { return calculator; }
    Calculator calculator;
};

)";

class WorkingCode : public GeneratorProject {
  protected:
    // Compiles the program with the generated sources (samples and main.cpp
    // left out), runs it and returns its output.
    std::string buildAndRun(const std::string& program,
                            const std::vector<std::string>& leaveOut = {}) {
        write("check_program.cxx", program);
        std::string line =
            "g++ -std=c++17 -Wall -Wextra -Werror -I. -o check_program check_program.cxx";
        for (const std::string& source : filesEndingIn(".cpp")) {
            if (std::find(leaveOut.begin(), leaveOut.end(), source) == leaveOut.end()) {
                line += " " + source;
            }
        }
        EXPECT_EQ(kx::os::runCommand(line + " > compiler.txt"), 0) << read("compiler.txt");
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
        return servlet.service(action, envelope);
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
    // Without a SOAP action the body's element names the operation.
    const std::string reply = servlet.service("", orvo::soapEnvelope(
        "<multiply><Operands><a>3</a><b>4</b></Operands></multiply>"));
    std::cout << "reply " << orvo::soapBody(reply) << "\n";
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
    EXPECT_NE(output.find("reply <multiplyResponse><Result><value>12</value></Result>"
                          "</multiplyResponse>\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("local 30\n"), std::string::npos) << output;
}

TEST_F(WorkingCode, MarshallersWriteAndReadBackEveryKindOfField) {
    writeProperties("foundation", {"externalmarshaller=true"});
    ASSERT_EQ(run(bindgen(example("purchaseorder.xsd"))), 0) << log();
    const std::string output = buildAndRun(R"(
#include <iostream>
#include "PurchaseOrderTypeMarshaller.h"

int main() {
    PurchaseOrderType order;
    order.setOrderDate("2024-05-01");
    USAddress to;
    to.setName("Ann & <Bob>");
    to.setZip(90952);
    order.setShipTo(to);
    Items items;
    for (int i = 1; i <= 2; ++i) {
        Item item;
        item.setPartNum("p-" + std::to_string(i));
        item.setQuantity(i * 10);
        item.setUSPrice(1.25 * i);
        if (i == 2) item.setComment("second \"one\"");
        items.addItem(item);
    }
    order.setItems(items);
    const std::string xml = PurchaseOrderTypeMarshaller::toXml(order);
    std::cout << xml << "\n";
    PurchaseOrderType back;
    std::cout << "read " << PurchaseOrderTypeMarshaller::fromXml(xml, back) << "\n";
    std::cout << "same " << (PurchaseOrderTypeMarshaller::toXml(back) == xml) << "\n";
    std::cout << "name " << back.getShipTo().getName() << "\n";
    std::cout << "items " << back.getItems().getItem().size() << " "
              << back.getItems().getItem()[1].getQuantity() << " "
              << back.getItems().getItem()[1].hasComment() << back.getItems().getItem()[0].hasComment()
              << "\n";
    std::cout << "country " << back.getShipTo().getCountry() << "\n";
    std::cout << "garbage " << PurchaseOrderTypeMarshaller::fromXml("no element", back) << "\n";
}
)");
    EXPECT_NE(output.find("<purchaseOrder orderDate=\"2024-05-01\"><shipTo country=\"US\">"
                          "<name>Ann &amp; &lt;Bob&gt;</name>"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("<zip>90952</zip>"), std::string::npos) << output;
    EXPECT_NE(output.find("<item partNum=\"p-2\"><productName></productName><quantity>20</quantity>"
                          "<USPrice>2.5</USPrice><comment>second &quot;one&quot;</comment></item>"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("read 1\nsame 1\nname Ann & <Bob>\nitems 2 20 10\ncountry US\n"
                          "garbage 0\n"),
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
        return servlet.service(action, envelope);
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
