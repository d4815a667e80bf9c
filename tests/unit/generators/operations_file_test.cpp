// operations.xml, written by svcgen beside web.xml: read back with libxml2
// and checked against web.xml, the generated server code and the schemas.
#include <libxml/parser.h>
#include <libxml/xpath.h>

#include <memory>

#include "GeneratorProject.h"

namespace gentest {
namespace {

using Doc = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

std::vector<xmlNode*> nodes(const Doc& doc, const std::string& path) {
    std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> context(
        xmlXPathNewContext(doc.get()), xmlXPathFreeContext);
    std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> result(
        xmlXPathEvalExpression(BAD_CAST path.c_str(), context.get()), xmlXPathFreeObject);
    if (!result || result->nodesetval == nullptr) {
        return {};
    }
    return {result->nodesetval->nodeTab, result->nodesetval->nodeTab + result->nodesetval->nodeNr};
}

// An attribute's value, or a node's text when name is null.
std::string text(xmlNode* node, const char* name = nullptr) {
    xmlChar* value = name != nullptr ? xmlGetProp(node, BAD_CAST name) : xmlNodeGetContent(node);
    std::string result = value != nullptr ? reinterpret_cast<char*>(value) : "";
    xmlFree(value);
    return result;
}

// The nodes at path joined by '|': an element as kind[:name], an attribute
// or a text by its value.
std::string shown(const Doc& doc, const std::string& path) {
    std::string joined;
    const std::vector<xmlNode*> found = nodes(doc, path);
    for (xmlNode* node : found) {
        const bool named = xmlHasProp(node, BAD_CAST "name") != nullptr;
        joined += (node == found.front() ? "" : "|") +
                  (node->type != XML_ELEMENT_NODE ? text(node)
                                                  : reinterpret_cast<const char*>(node->name) +
                                                        (named ? ":" + text(node, "name") : ""));
    }
    return joined;
}

// A WSDL around a schema (the rest of its start tag, and its content): one
// document/literal operation taking the element.
std::string wsdlAround(const std::string& schema, const std::string& element,
                       const std::string& documentation = "", const std::string& action = "a") {
    return R"(<definitions targetNamespace="urn:t" xmlns:tns="urn:t"
    xmlns:xsd="http://www.w3.org/2001/XMLSchema"
    xmlns:soap="http://schemas.xmlsoap.org/wsdl/soap/" xmlns="http://schemas.xmlsoap.org/wsdl/">
  <types><xsd:schema targetNamespace="urn:t" xmlns:t="urn:t" )" +
           schema + R"(</xsd:schema></types><message name="In"><part name="p" element=")" +
           element + R"("/></message><portType name="P"><operation name="op"><documentation>)" +
           documentation + R"(</documentation><input message="tns:In"/></operation></portType>
  <binding name="B" type="tns:P"><soap:binding style="document"/><operation name="op">
    <soap:operation soapAction=")" +
           action + R"("/><input><soap:body use="literal"/></input></operation></binding>
  <service name="S"><port name="SP" binding="tns:B">
    <soap:address location="http://localhost:8090/t"/></port></service></definitions>)";
}

// Top holds a chain of types L1 to L15, each holding the next, and then W:
// 45 elements of V, each of 45 elements.
std::string deepAndWide() {
    const auto type = [](const std::string& name, const std::string& elements) {
        return "<xsd:complexType name=\"" + name + "\"><xsd:sequence>" + elements +
               "</xsd:sequence></xsd:complexType>";
    };
    const auto element = [](const std::string& name, const std::string& type) {
        return "<xsd:element name=\"" + name + "\" type=\"" + type + "\"/>";
    };
    std::string types = type("Top", element("deep", "t:L1") + element("wide", "t:W")), w, v;
    for (int i = 1; i <= 45; ++i) {
        w += element("w" + std::to_string(i), "t:V");
        v += element("v" + std::to_string(i), "xsd:int");
        const std::string next = i >= 15 ? "xsd:int" : "t:L" + std::to_string(i + 1);
        types +=
            i > 15 ? "" : type("L" + std::to_string(i), element("e" + std::to_string(i), next));
    }
    return wsdlAround(">" + types + type("W", w) + type("V", v) + element("Top", "t:Top"),
                      "tns:Top");
}

const std::string kNode = "//element[@name='node']";

class Operations : public GeneratorProject {};

TEST_F(Operations, DescribeWhatTheServerReads) {
    struct Case {
        std::string wsdl;  // a path below the source tree, or a WSDL's text
        std::vector<std::pair<std::string, std::string>> checks;  // XPath -> shown()
    } const cases[] = {
        {"home/examples/calculator.wsdl",
         {{"/operations/@wsdl | //port/@address | //port/@soap",
           "calculator.wsdl|http://localhost:8090/calculator|1.1"},
          {"//operation[4]/@*", "divide|urn:example:calculator#divide|document|false"},
          // Unqualified locals have no namespace.
          {"//operation[1]//element/@*",
           "Operands|urn:example:calculator|1|1|a||double|1|1|b||double|1|1"}}},
        {"tests/soap/rpc_literal/geometry.wsdl",
         {{"//operation/@style | //input/@*",
           "rpc|repeat|urn:kxtest:geometry:rpc|rpc|scale|urn:kxtest:geometry:rpc"},
          {"//input/* | //input/*/@type",
           "element:word|string|element:times|int|element:separator|string|element:size|"
           "element:factor|double"}}},
        {"tests/soap/arrays_optional/stats.wsdl",
         {{"//element[@name='Summarize']/*/@*[name()='min' or name()='max'] | "
           "//element[@name='entry' or @name='note']/@min",
           "0|unbounded|0|1|1|0"}}},
        {"tests/soap/schema_import/shapes.wsdl",
         {{"//element[@name='x']/@ns | //element[@name='Convert']/*[2]/value/text()",
           "urn:kxtest:shapes:types|urn:kxtest:shapes:types|mm|cm|m"}}},
        {"tests/soap/one_way/journal.wsdl",
         {{"//operation/@one-way | //element[@name='Report']/*", "true|false"}}},
        {"tests/soap/soap12_binding/greeter.wsdl",
         {{"//port/@path | //port/@soap", "/greeter/v12|1.2"}}},
        {wsdlAround(R"(elementFormDefault="qualified">
  <xsd:complexType name="Base"><xsd:sequence><xsd:element name="id" type="xsd:long"/>
    </xsd:sequence><xsd:attribute name="v" type="xsd:int" fixed="2"/></xsd:complexType>
  <xsd:complexType name="Node"><xsd:complexContent><xsd:extension base="t:Base"><xsd:sequence>
    <xsd:element name="tag" type="t:Tag" nillable="true"/>
    <xsd:choice minOccurs="0"><xsd:element name="n" type="xsd:int"/>
      <xsd:element name="s" type="xsd:string"/></xsd:choice>
    <xsd:element name="child" type="t:Node" minOccurs="0" maxOccurs="unbounded"/>
    <xsd:any namespace="##other" processContents="skip" minOccurs="0"/></xsd:sequence>
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
    </xsd:element></xsd:sequence></xsd:complexType></xsd:element>)",
                    "tns:Root", "Adds &lt;&amp;\"]]&gt; --", "urn:t?a=1&amp;b=&quot;2&quot;"),
         {{"//operation/@action | //operation/@truncated | //documentation/text()",
           "urn:t?a=1&b=\"2\"|Adds <&\"]]> --"},
          // The base's content first, attributes before elements.
          {kNode + "/*", "attribute:v|attribute:kind|element:id|element:tag|choice|element:child"},
          {kNode + "/attribute/@*", "v||int|false|2|kind||string|true|a&b"},
          {kNode + "/*[@name='tag']/@nillable | " + kNode + "/*[@name='tag']/value/text()",
           "true|<&\"|x"},
          {kNode + "/choice/@min | " + kNode + "/choice/*", "0|element:n|element:s"},
          // The node inside itself is not expanded again.
          {kNode + "/*[@name='child']/@* | " + kNode + "/*[@name='child']/*",
           "child|urn:t|0|unbounded|true"},
          {"//*[@name='price']/* | //*[@name='price']/text/@type | //*[@name='ids']/@*",
           "attribute:currency|text|decimal|ids|urn:t|int|true|1|1"}}},
        // Expansion stops at 12 levels and at 2,000 nodes; the operation is marked.
        {deepAndWide(),
         {{"//operation/@truncated | //element[@recursive]/@name | //element[@recursive]/*",
           "true|e10|w45"}}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wsdl.substr(0, c.wsdl.find('\n')));
        for (const auto& entry : fs::directory_iterator(path())) {
            fs::remove_all(entry.path());
        }
        std::string wsdl = std::string(KX_SOURCE_DIR) + "/" + c.wsdl;
        if (c.wsdl.front() == '<') {
            write(wsdl = "t.wsdl", c.wsdl);
        }
        writeProperties("server", {"server=true", "client=false"});
        ASSERT_EQ(run(svcgen(wsdl)), 0) << log();
        const auto parse = [this](const char* name) {
            const std::string xml = exists(name) ? read(name) : "";
            return Doc(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), name, nullptr, 0),
                       xmlFreeDoc);
        };
        const Doc file = parse("operations.xml"), web = parse("web.xml");
        ASSERT_TRUE(file && web);
        for (const auto& [path, expected] : c.checks) {
            EXPECT_EQ(shown(file, path), expected) << path;
        }
        // The port is the servlet web.xml maps at its path, and the generated
        // server reads every element and rpc wrapper by that namespace and name.
        EXPECT_EQ(shown(web, "//servlet-mapping/servlet-name/text()"), shown(file, "//port/@name"));
        EXPECT_EQ(shown(web, "//url-pattern/text()"), shown(file, "//port/@path") + "/*");
        std::string code;
        for (const std::string& source : filesEndingIn(".cpp")) {
            code += read(source);
        }
        for (xmlNode* node : nodes(file, "//element | //input[@wrapper]")) {
            const bool wrapper = xmlStrEqual(node->name, BAD_CAST "input");
            const std::string literal = "\"" + text(node, wrapper ? "wrapper-ns" : "ns") +
                                        "\", \"" + text(node, wrapper ? "wrapper" : "name") + "\"";
            EXPECT_TRUE(has(code, literal)) << literal;
        }
    }
}

}  // namespace
}  // namespace gentest
