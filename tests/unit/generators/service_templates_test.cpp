// The service templates over a port whose every text from the WSDL file is
// hostile: each template renders (a value written without its escaping
// tool would throw), and what lands in C++ comments, string literals and
// HTML cannot break out of them.
#include <gtest/gtest.h>

#include <sstream>

#include "generators/emit/ServiceRecords.h"
#include "generators/emit/TemplateRendering.h"

namespace kx::gen {
namespace {

const KxCString kHostile = "x\"*/\n#include <evil>\n</b>";

ServiceParam param(const KxCString& name, bool isClass) {
    ServiceParam p;
    p.name = name;
    p.xml = {kHostile, "part" + kHostile};
    p.cppType = isClass ? "::ns::Item" : "int";
    p.isClass = isClass;
    p.isScalar = !isClass;
    p.header = isClass ? "Item" : "";
    return p;
}

// One operation of each shape the templates tell apart: rpc with a result,
// an output and header blocks both ways, document style one-way, and one
// with no parts at all.
ServicePort hostilePort(const WsdlPortType& portType) {
    ServicePort port;
    port.portType = &portType;
    port.prefix = "P";
    port.address = "http://h/" + kHostile;
    ServiceOperation rpc;
    rpc.xmlName = "op" + kHostile;
    rpc.method = "op";
    rpc.soapAction = kHostile;
    rpc.documentation = kHostile;
    rpc.messages = kHostile;
    rpc.inputs = {param("a", false), param("b", true)};
    rpc.result = param("r", true);
    rpc.outputs = {param("o", false)};
    rpc.inputHeaders = {param("h", true)};
    rpc.outputHeaders = {param("s", false)};
    rpc.oneWay = false;
    rpc.rpc = true;
    rpc.wrapperNamespace = kHostile;
    ServiceOperation oneWay;
    oneWay.xmlName = "tell" + kHostile;
    oneWay.method = "tell";
    oneWay.inputs = {param("c", false)};
    ServiceOperation bare;
    bare.xmlName = "bare";
    bare.method = "bare";
    bare.oneWay = false;
    port.operations = {rpc, oneWay, bare};
    port.classes = {"Item"};
    port.faults = {{"BadFault", kHostile, param("detail", true)}};
    return port;
}

// The hostile text's line breaks stay inside comments and literals: no
// line of the output begins with what followed one.
void expectContained(const KxCString& out, const std::string& name) {
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        EXPECT_FALSE(line.starts_with("#include <evil>")) << name;
        EXPECT_FALSE(line.starts_with("</b>")) << name;
    }
}

TEST(ServiceTemplates, EveryTemplateWritesWsdlTextsOnlyEscaped) {
    WsdlPortType portType;
    portType.name = "Port" + kHostile;
    portType.documentation = kHostile;
    const ServicePort port = hostilePort(portType);
    const KxContextObject record = portRecord(port);
    int rendered = 0;
    for (std::string_view name : templateNames()) {
        if (!name.starts_with("service/") || name == "service/operations.tl" ||
            name == "service/web.tl") {
            continue;
        }
        const std::string shown(name);
        KxCString out;
        ASSERT_NO_THROW(
            out = renderTemplate(name, {{"port", record},
                                        {"ports", kxcreateContextObject(std::vector{record})},
                                        {"heading", inputText("F.h: generated from " + kHostile)},
                                        {"targetNamespace", inputText(kHostile)},
                                        {"firstPort", kxcreateContextObject(true)}}))
            << shown;
        expectContained(out, shown);
        // No reference of the template was left unrendered.
        EXPECT_EQ(out.find("$"), std::string::npos) << shown;
        ++rendered;
    }
    EXPECT_GE(rendered, 19);
}

TEST(ServiceTemplates, TheShapesOfAnOperationComeOutAsCode) {
    WsdlPortType portType;
    portType.name = "Port";
    const KxContextObject record = portRecord(hostilePort(portType));
    const KxCString proxy = renderTemplate("service/proxy-base-source.tl",
                                           {{"port", record}, {"heading", inputText("P.cpp")}});
    // The rpc request is wrapped in the operation's element in the body
    // namespace, its values written in order; the result is read back.
    const KxCString wrapper = "out.start(\"x\\\"*/\\n#include <evil>\\n</b>\", \"op";
    EXPECT_NE(proxy.find(wrapper), KxCString::npos);
    EXPECT_LT(proxy.find("out.text(orvo::toText(a));"), proxy.find("b.writeXml(out, "));
    EXPECT_NE(proxy.find("::ns::Item returned;"), KxCString::npos);
    EXPECT_NE(proxy.find("throwPFaults(body.firstChild(), orvo::soapHeader(response, version));"),
              KxCString::npos);
    // The request's header block goes into the Header, before the Body; the
    // response's is read from the Header.
    EXPECT_LT(proxy.find("orvo::startSoapHeader(out, "), proxy.find("h.writeXml(out, "));
    EXPECT_LT(proxy.find("h.writeXml(out, "), proxy.find("orvo::startSoapBody(out, "));
    EXPECT_NE(proxy.find("orvo::readValue(child, child.text(), s);"), KxCString::npos);
    EXPECT_LT(proxy.find("const orvo::Element header = orvo::soapHeader(response, version);"),
              proxy.find("orvo::readValue(child, child.text(), s);"));
    // The one-way call, and only it, returns on an empty answer.
    EXPECT_NE(proxy.find("if (answer.empty())"), KxCString::npos);
    EXPECT_EQ(proxy.find("if (answer.empty())"), proxy.rfind("if (answer.empty())"));

    const KxCString skeleton = renderTemplate("service/skeleton-source.tl",
                                              {{"port", record}, {"heading", inputText("P.cpp")}});
    // Inputs, input headers, outputs, output headers; the response's header
    // block is written before the Body starts.
    EXPECT_NE(skeleton.find("const ::ns::Item returned = service_.op(a, b, h, o, s);"),
              KxCString::npos);
    EXPECT_NE(skeleton.find("h.readXml(child);"), KxCString::npos);
    EXPECT_LT(skeleton.find("orvo::startSoapHeader(out, version_);"),
              skeleton.find("out.text(orvo::toText(s));"));
    EXPECT_LT(skeleton.find("out.text(orvo::toText(s));"),
              skeleton.find("orvo::startSoapBody(out, version_);"));
    EXPECT_NE(skeleton.find("        tell(request, header, out);\n        return false;"),
              KxCString::npos);
    EXPECT_NE(skeleton.find("        bare(request, header, out);\n        return true;"),
              KxCString::npos);

    const KxCString servlet = renderTemplate("service/servlet-base-source.tl",
                                             {{"port", record}, {"heading", inputText("P.cpp")}});
    EXPECT_NE(servlet.find("const bool rpc = operation == \"op"), KxCString::npos);
    EXPECT_NE(servlet.find("candidate(\"bare\", \"\", false);"), KxCString::npos);
    // Only op declares a header block: it alone understands one.
    EXPECT_NE(servlet.find("        return block.is(\"x\\\"*/\\n#include <evil>\\n</b>\", \"partx"),
              KxCString::npos)
        << servlet;
    EXPECT_EQ(servlet.find("return block.is("), servlet.rfind("return block.is("));
    EXPECT_LT(servlet.find("operationFor(orvo::soapActionOf"),
              servlet.find("orvo::refuseHeadersToUnderstand(request, version"));
}

}  // namespace
}  // namespace kx::gen
