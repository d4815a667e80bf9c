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

// The shapes no generated project of the other tests has: an rpc request
// with an output part besides its result, a one-way call and an operation
// without parts. (Header blocks both ways and faults read from the Header
// run in generated_code_test; per-operation header blocks, rpc dispatch and
// one-way answers in the SOAP peer tests.)
TEST(ServiceTemplates, TheShapesOfAnOperationComeOutAsCode) {
    WsdlPortType portType;
    portType.name = "Port";
    const KxContextObject record = portRecord(hostilePort(portType));
    const auto render = [&](const char* name) {
        return renderTemplate(name, {{"port", record}, {"heading", inputText("P.cpp")}});
    };
    const KxCString proxy = render("service/proxy-base-source.tl");
    // The rpc request is wrapped in the operation's element in the body
    // namespace, its values written in order; the result is read back.
    const KxCString wrapper = "out.start(\"x\\\"*/\\n#include <evil>\\n</b>\", \"op";
    EXPECT_NE(proxy.find(wrapper), KxCString::npos);
    EXPECT_LT(proxy.find("out.text(orvo::toText(a));"), proxy.find("b.writeXml(out, "));
    EXPECT_NE(proxy.find("::ns::Item returned;"), KxCString::npos);
    // The one-way call, and only it, returns on an empty answer.
    EXPECT_NE(proxy.find("if (answer.empty())"), KxCString::npos);
    EXPECT_EQ(proxy.find("if (answer.empty())"), proxy.rfind("if (answer.empty())"));

    // Inputs, input headers, outputs, output headers; a one-way operation
    // answers nothing, one without parts an empty response.
    const KxCString skeleton = render("service/skeleton-source.tl");
    EXPECT_NE(skeleton.find("const ::ns::Item returned = service_.op(a, b, h, o, s);"),
              KxCString::npos);
    EXPECT_NE(skeleton.find("        tell(request, header, out);\n        return false;"),
              KxCString::npos);
    EXPECT_NE(skeleton.find("        bare(request, header, out);\n        return true;"),
              KxCString::npos);
    EXPECT_NE(render("service/servlet-base-source.tl").find("candidate(\"bare\", \"\", false);"),
              KxCString::npos);
}

}  // namespace
}  // namespace kx::gen
