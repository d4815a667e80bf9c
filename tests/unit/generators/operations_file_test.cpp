// operations.xml, written by svcgen beside web.xml: read back with libxml2
// and checked against web.xml, the generated server code and the schemas.
#include <libxml/parser.h>
#include <libxml/xpath.h>

#include <map>
#include <memory>

#include "GeneratorProject.h"

namespace gentest {
namespace {

// operations.xml parsed, queried by XPath.
class OperationsFile {
  public:
    explicit OperationsFile(const std::string& text)
        : doc_(xmlReadMemory(text.data(), static_cast<int>(text.size()), "operations.xml", nullptr,
                             XML_PARSE_NONET),
               xmlFreeDoc) {}
    bool parsed() const { return doc_ != nullptr; }

    std::vector<xmlNode*> all(const std::string& path) const {
        std::vector<xmlNode*> found;
        std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> context(
            xmlXPathNewContext(doc_.get()), xmlXPathFreeContext);
        std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> result(
            xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(path.c_str()), context.get()),
            xmlXPathFreeObject);
        if (result && result->nodesetval != nullptr) {
            for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
                found.push_back(result->nodesetval->nodeTab[i]);
            }
        }
        return found;
    }
    xmlNode* one(const std::string& path) const {
        const std::vector<xmlNode*> found = all(path);
        EXPECT_EQ(found.size(), 1u) << path;
        return found.empty() ? nullptr : found.front();
    }
    // The attribute of the one node at path; "(none)" when it is missing.
    std::string at(const std::string& path, const char* attribute) const {
        return value(one(path), attribute);
    }
    static std::string value(xmlNode* node, const char* attribute) {
        xmlChar* text = node != nullptr
                            ? xmlGetProp(node, reinterpret_cast<const xmlChar*>(attribute))
                            : nullptr;
        std::string result = text != nullptr ? reinterpret_cast<char*>(text) : "(none)";
        xmlFree(text);
        return result;
    }
    static std::string text(xmlNode* node) {
        xmlChar* content = node != nullptr ? xmlNodeGetContent(node) : nullptr;
        std::string result = content != nullptr ? reinterpret_cast<char*>(content) : "";
        xmlFree(content);
        return result;
    }

  private:
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc_;
};

// The element at the end of a path of names below an operation's input.
std::string input(const std::string& operation, const std::vector<std::string>& names) {
    std::string path = "//operation[@name='" + operation + "']/input";
    for (const std::string& name : names) {
        path += "/element[@name='" + name + "']";
    }
    return path;
}

class Operations : public GeneratorProject {
  protected:
    OperationsFile generate(const std::string& wsdl) {
        writeProperties("server", {"server=true", "client=false"});
        EXPECT_EQ(run(svcgen(wsdl)), 0) << log();
        EXPECT_TRUE(exists("operations.xml")) << log();
        EXPECT_NE(log().find("operations.xml"), std::string::npos) << log();
        OperationsFile file(exists("operations.xml") ? read("operations.xml") : "");
        EXPECT_TRUE(file.parsed());
        return file;
    }

    // Every element the file describes, and every rpc wrapper, is one the
    // generated server code reads by that namespace and name.
    void expectReadByServer(const OperationsFile& file) {
        std::string code;
        for (const std::string& source : filesEndingIn(".cpp")) {
            code += read(source);
        }
        const auto literal = [](const std::string& ns, const std::string& name) {
            return "\"" + ns + "\", \"" + name + "\"";
        };
        for (xmlNode* node : file.all("//element")) {
            EXPECT_NE(code.find(literal(OperationsFile::value(node, "ns"),
                                        OperationsFile::value(node, "name"))),
                      std::string::npos)
                << "{" << OperationsFile::value(node, "ns") << "}"
                << OperationsFile::value(node, "name");
        }
        for (xmlNode* node : file.all("//input[@wrapper]")) {
            EXPECT_NE(code.find(literal(OperationsFile::value(node, "wrapper-ns"),
                                        OperationsFile::value(node, "wrapper"))),
                      std::string::npos);
        }
    }
};

TEST_F(Operations, CalculatorPortMatchesWebXmlAndTheServerReadsItsElements) {
    const OperationsFile file = generate(example("calculator.wsdl"));
    const OperationsFile web(read("web.xml"));
    const std::string port = "/operations/port";
    EXPECT_EQ(file.all(port).size(), 1u);
    EXPECT_EQ(file.at(port, "name"),
              OperationsFile::text(web.one("//servlet-mapping/servlet-name")));
    EXPECT_EQ(file.at(port, "path") + "/*",
              OperationsFile::text(web.one("//servlet-mapping/url-pattern")));
    EXPECT_EQ(file.at(port, "address"), "http://localhost:8090/calculator");
    EXPECT_EQ(file.at(port, "soap"), "1.1");
    EXPECT_EQ(file.at("/operations", "wsdl"), "calculator.wsdl");

    std::vector<std::string> names;
    for (xmlNode* operation : file.all(port + "/operation")) {
        const std::string name = OperationsFile::value(operation, "name");
        names.push_back(name);
        EXPECT_EQ(OperationsFile::value(operation, "action"), "urn:example:calculator#" + name);
        EXPECT_EQ(OperationsFile::value(operation, "style"), "document");
        EXPECT_EQ(OperationsFile::value(operation, "one-way"), "false");
    }
    EXPECT_EQ(names, (std::vector<std::string>{"add", "subtract", "multiply", "divide"}));
    EXPECT_EQ(file.at(input("add", {"Operands"}), "ns"), "urn:example:calculator");
    EXPECT_EQ(file.at(input("add", {"Operands"}), "type"), "(none)");
    EXPECT_EQ(file.at(input("add", {"Operands", "b"}), "ns"), "");  // unqualified locals
    EXPECT_EQ(file.at(input("add", {"Operands", "b"}), "type"), "double");
    EXPECT_EQ(file.all(input("add", {"Operands"}) + "/*").size(), 2u);
    expectReadByServer(file);
}

struct SoapCase {
    const char* wsdl;
    std::vector<std::pair<std::string, std::string>> expected;  // XPath -> value
};

class OperationsOfSoapTests : public Operations, public ::testing::WithParamInterface<SoapCase> {};

TEST_P(OperationsOfSoapTests, DescribeWhatTheServerReads) {
    const OperationsFile file =
        generate(std::string(KX_SOURCE_DIR) + "/tests/soap/" + GetParam().wsdl);
    for (const auto& [path, expected] : GetParam().expected) {
        const std::vector<xmlNode*> found = file.all(path);
        std::string values;
        for (std::size_t i = 0; i < found.size(); ++i) {
            values += (i == 0 ? "" : "|") + OperationsFile::text(found[i]);
        }
        EXPECT_EQ(values, expected) << path;
    }
    expectReadByServer(file);
}

INSTANTIATE_TEST_SUITE_P(
    Wsdls, OperationsOfSoapTests,
    ::testing::Values(
        SoapCase{"rpc_literal/geometry.wsdl",
                 {{"//operation[@name='scale']/@style", "rpc"},
                  {"//operation[@name='scale']/input/@wrapper", "scale"},
                  {"//operation[@name='scale']/input/@wrapper-ns", "urn:kxtest:geometry:rpc"},
                  {"//operation[@name='repeat']/input/element/@name", "word|times|separator"},
                  {"//operation[@name='repeat']/input/element/@type", "string|int|string"},
                  {"//operation[@name='scale']/input/element/@ns", "|"},
                  {"//operation[@name='scale']/input/element[@name='size']/element/@name",
                   "width|height"}}},
        SoapCase{"arrays_optional/stats.wsdl",
                 {{input("Summarize", {"Summarize", "value"}) + "/@min", "0"},
                  {input("Summarize", {"Summarize", "value"}) + "/@max", "unbounded"},
                  {input("Summarize", {"Summarize", "label"}) + "/@max", "1"},
                  {input("Index", {"Index", "entry"}) + "/@min", "1"},
                  {input("Index", {"Index", "entry", "note"}) + "/@min", "0"}}},
        SoapCase{
            "schema_import/shapes.wsdl",
            {{input("Midpoint", {"Midpoint", "from", "x"}) + "/@ns", "urn:kxtest:shapes:types"},
             {input("Convert", {"Convert", "from"}) + "/value", "mm|cm|m"}}},
        SoapCase{
            "one_way/journal.wsdl",
            {{"//operation/@one-way", "true|false"}, {input("Report", {"Report"}) + "/*", ""}}},
        SoapCase{"soap12_binding/greeter.wsdl",
                 {{"//port/@soap", "1.2"}, {"//port/@path", "/greeter/v12"}}}),
    [](const ::testing::TestParamInfo<SoapCase>& info) {
        std::string name = info.param.wsdl;
        return name.substr(0, name.find('/'));
    });

// A WSDL around a schema: one document/literal operation taking the element.
std::string wsdlAround(const std::string& schema, const std::string& element,
                       const std::string& documentation = "", const std::string& action = "a") {
    return R"(<?xml version="1.0"?>
<definitions name="T" targetNamespace="urn:t" xmlns:tns="urn:t"
    xmlns:po="urn:example:purchaseorder"
    xmlns:xsd="http://www.w3.org/2001/XMLSchema"
    xmlns:soap="http://schemas.xmlsoap.org/wsdl/soap/" xmlns="http://schemas.xmlsoap.org/wsdl/">
  <types>)" +
           schema +
           R"(</types>
  <message name="In"><part name="p" element=")" +
           element + R"("/></message>
  <portType name="P"><operation name="op"><documentation>)" +
           documentation + R"(</documentation><input message="tns:In"/></operation></portType>
  <binding name="B" type="tns:P"><soap:binding style="document"/>
    <operation name="op"><soap:operation soapAction=")" +
           action + R"("/><input><soap:body use="literal"/></input></operation></binding>
  <service name="S"><port name="SP" binding="tns:B">
    <soap:address location="http://localhost:8090/t"/></port></service>
</definitions>
)";
}

TEST_F(Operations, ComplexContentBasesChoicesRecursionAndHostileText) {
    write("t.wsdl",
          wsdlAround(R"(<xsd:schema targetNamespace="urn:t" xmlns:t="urn:t"
        elementFormDefault="qualified">
      <xsd:complexType name="Base"><xsd:sequence><xsd:element name="id" type="xsd:long"/>
        </xsd:sequence><xsd:attribute name="v" type="xsd:int" fixed="2"/></xsd:complexType>
      <xsd:complexType name="Node"><xsd:complexContent><xsd:extension base="t:Base">
        <xsd:sequence>
          <xsd:element name="tag" type="t:Tag" nillable="true"/>
          <xsd:choice minOccurs="0"><xsd:element name="n" type="xsd:int"/>
            <xsd:element name="s" type="xsd:string"/></xsd:choice>
          <xsd:element name="child" type="t:Node" minOccurs="0" maxOccurs="unbounded"/>
          <xsd:any namespace="##other" processContents="skip" minOccurs="0"/>
        </xsd:sequence>
        <xsd:attribute name="kind" type="xsd:string" use="required" default="a&amp;b"/>
      </xsd:extension></xsd:complexContent></xsd:complexType>
      <xsd:simpleType name="Tag"><xsd:restriction base="xsd:string">
        <xsd:enumeration value="&lt;&amp;&quot;"/><xsd:enumeration value="x"/>
      </xsd:restriction></xsd:simpleType>
      <xsd:complexType name="Price"><xsd:simpleContent><xsd:extension base="xsd:decimal">
        <xsd:attribute name="currency" type="xsd:string"/></xsd:extension></xsd:simpleContent>
      </xsd:complexType>
      <xsd:element name="Root"><xsd:complexType><xsd:sequence>
        <xsd:element name="node" type="t:Node"/><xsd:element name="price" type="t:Price"/>
        <xsd:element name="ids"><xsd:simpleType><xsd:list itemType="xsd:int"/></xsd:simpleType>
        </xsd:element></xsd:sequence></xsd:complexType></xsd:element>
    </xsd:schema>)",
                     "tns:Root", "Adds &lt;&amp;\"]]&gt; --", "urn:t?a=1&amp;b=&quot;2&quot;"));
    const OperationsFile file = generate("t.wsdl");
    EXPECT_EQ(OperationsFile::text(file.one("//operation/documentation")), "Adds <&\"]]> --");
    EXPECT_EQ(file.at("//operation", "action"), "urn:t?a=1&b=\"2\"");
    EXPECT_EQ(file.at("//operation", "truncated"), "(none)");

    const std::string node = input("op", {"Root", "node"});
    std::string order;  // the base's content first, attributes before elements
    for (xmlNode* item : file.all(node + "/*")) {
        order += std::string(reinterpret_cast<const char*>(item->name)) + ":" +
                 OperationsFile::value(item, "name") + " ";
    }
    EXPECT_EQ(order,
              "attribute:v attribute:kind element:id element:tag choice:(none) element:child ");
    EXPECT_EQ(file.at(node + "/attribute[@name='v']", "fixed"), "2");
    EXPECT_EQ(file.at(node + "/attribute[@name='v']", "required"), "false");
    EXPECT_EQ(file.at(node + "/attribute[@name='kind']", "default"), "a&b");
    EXPECT_EQ(file.at(node + "/attribute[@name='kind']", "required"), "true");
    EXPECT_EQ(file.at(node + "/element[@name='tag']", "nillable"), "true");
    EXPECT_EQ(OperationsFile::text(file.one(node + "/element[@name='tag']/value[1]")), "<&\"");
    EXPECT_EQ(file.at(node + "/choice", "min"), "0");
    EXPECT_EQ(file.all(node + "/choice/element").size(), 2u);
    // The node inside itself is not expanded again.
    EXPECT_EQ(file.at(node + "/element[@name='child']", "recursive"), "true");
    EXPECT_EQ(file.at(node + "/element[@name='child']", "max"), "unbounded");
    EXPECT_TRUE(file.all(node + "/element[@name='child']/*").empty());
    EXPECT_EQ(file.at(input("op", {"Root", "price"}) + "/text", "type"), "decimal");
    EXPECT_EQ(file.at(input("op", {"Root", "price"}) + "/attribute", "name"), "currency");
    EXPECT_EQ(file.at(input("op", {"Root", "ids"}), "list"), "true");
    EXPECT_EQ(file.at(input("op", {"Root", "ids"}), "type"), "int");
    expectReadByServer(file);
}

TEST_F(Operations, DeepNestingStopsAtTwelveLevelsAndMarksTheOperation) {
    std::string types;
    for (int level = 1; level <= 15; ++level) {
        types += "<xsd:complexType name=\"L" + std::to_string(level) +
                 "\"><xsd:sequence><xsd:element name=\"e" + std::to_string(level) + "\" type=\"" +
                 (level == 15 ? std::string("xsd:int") : "t:L" + std::to_string(level + 1)) +
                 "\"/></xsd:sequence></xsd:complexType>";
    }
    write("deep.wsdl",
          wsdlAround("<xsd:schema targetNamespace=\"urn:t\" xmlns:t=\"urn:t\">" + types +
                         "<xsd:element name=\"Top\" type=\"t:L1\"/></xsd:schema>",
                     "tns:Top"));
    const OperationsFile file = generate("deep.wsdl");
    EXPECT_EQ(file.at("//operation", "truncated"), "true");
    std::string path = "//input/element";  // level 1
    for (int level = 2; level <= 12; ++level) {
        path += "/element";
    }
    EXPECT_EQ(file.at(path, "name"), "e11");
    EXPECT_EQ(file.at(path, "recursive"), "true");
    EXPECT_TRUE(file.all(path + "/*").empty());
}

// A sample request built from operations.xml alone: each element written
// once (at least min times), required attributes, the first enumeration
// value or a valid value of the built-in type.
std::string sampleOf(xmlNode* element, std::map<std::string, std::string>& prefixes) {
    static const std::map<std::string, std::string> kValues = {
        {"decimal", "1.5"}, {"positiveInteger", "1"}, {"date", "2024-02-29"}, {"NMTOKEN", "US"},
        {"int", "1"},       {"double", "2.5"}};
    const std::string ns = OperationsFile::value(element, "ns");
    std::string name = OperationsFile::value(element, "name");
    std::string declaration;
    if (!ns.empty()) {
        auto [found, added] = prefixes.emplace(ns, "n" + std::to_string(prefixes.size()));
        name = found->second + ":" + name;
        declaration = added ? " xmlns:" + found->second + "=\"" + ns + "\"" : "";
    }
    std::string attributes;
    std::string content;
    for (xmlNode* child = element->children; child != nullptr; child = child->next) {
        const std::string kind =
            child->type == XML_ELEMENT_NODE ? reinterpret_cast<const char*>(child->name) : "";
        if (kind == "attribute" && OperationsFile::value(child, "required") == "true") {
            attributes += " " + OperationsFile::value(child, "name") + "=\"x\"";
        } else if (kind == "element" && OperationsFile::value(child, "recursive") == "(none)") {
            const int min = std::atoi(OperationsFile::value(child, "min").c_str());
            for (int i = 0; i < std::max(min, 1); ++i) {
                content += sampleOf(child, prefixes);
            }
        }
    }
    const std::string type = OperationsFile::value(element, "type");
    if (type != "(none)") {
        content = kValues.count(type) != 0 ? kValues.at(type) : "x";
    }
    return "<" + name + declaration + attributes + ">" + content + "</" + name + ">";
}

TEST_F(Operations, SampleBuiltFromTheFileIsValidAgainstTheSchema) {
    write("purchaseorder.xsd", readFile(example("purchaseorder.xsd")));
    write("po.wsdl", wsdlAround(R"(<xsd:schema targetNamespace="urn:t"><xsd:import
            namespace="urn:example:purchaseorder" schemaLocation="purchaseorder.xsd"/>
            </xsd:schema>)",
                                "po:purchaseOrder"));
    const OperationsFile file = generate("po.wsdl");
    const std::vector<xmlNode*> top = file.all("//input/element");
    ASSERT_EQ(top.size(), 1u);
    // The optional comment, item and shipDate are written too, and the item's
    // required partNum attribute.
    std::map<std::string, std::string> prefixes;
    write("sample.xml", sampleOf(top.front(), prefixes));
    EXPECT_NE(read("sample.xml").find(":shipDate>"), std::string::npos) << read("sample.xml");
    EXPECT_EQ(std::system("xmllint --noout --schema purchaseorder.xsd sample.xml "
                          "> xmllint.txt 2>&1"),
              0)
        << read("xmllint.txt") << "\n"
        << read("sample.xml");
    expectReadByServer(file);
}

}  // namespace
}  // namespace gentest
