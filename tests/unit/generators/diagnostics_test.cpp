// errors.xml and the exit status: the faults of broken.wsdl with their lines,
// the other errors and warnings the generators report, the file's exact
// shape and escaping, and an empty file after a clean run.
#include <sys/stat.h>

#include <functional>

#include "GeneratorProject.h"

namespace gentest {
namespace {

class Diagnostics : public GeneratorProject {};

TEST_F(Diagnostics, BrokenWsdlReportsUndefinedMessageMissingBindingOperationAndTheFault) {
    const std::string input = example("broken.wsdl");
    writeProperties("server", {"client=true"});
    EXPECT_EQ(run(svcgen(input)), 1) << log();
    const std::vector<ErrorRecord> records = errors();

    const auto message = recordsAbout(records, {"tns:PingOutput", "not defined"});
    ASSERT_EQ(message.size(), 1u) << read("errors.xml");
    EXPECT_TRUE(message[0].isError);
    EXPECT_EQ(std::pair(message[0].line, message[0].column),
              positionOf(input, "<output message=\"tns:PingOutput\""));
    EXPECT_EQ(message[0].publicId, input);
    EXPECT_EQ(message[0].systemId, input);

    const auto binding = recordsAbout(records, {"BrokenBinding", "echo"});
    ASSERT_EQ(binding.size(), 1u) << read("errors.xml");
    EXPECT_FALSE(binding[0].isError);
    EXPECT_EQ(binding[0].line, lineOf(input, "<binding name=\"BrokenBinding\""));

    // libxml2's own words, with the line of the end tag that does not match.
    const auto fault = recordsAbout(records, {"Opening and ending tag mismatch", "port"});
    ASSERT_EQ(fault.size(), 1u) << read("errors.xml");
    EXPECT_TRUE(fault[0].isError);
    EXPECT_EQ(fault[0].line, lineOf(input, "</service>"));
    EXPECT_EQ(fault[0].message.rfind("line ", 0), std::string::npos) << fault[0].message;

    EXPECT_EQ(records.size(), 3u) << read("errors.xml");
    // Nothing is generated from an input with errors.
    EXPECT_TRUE(filesEndingIn(".h").empty());
    EXPECT_NE(log().find("2 errors, 1 warnings"), std::string::npos) << log();
}

TEST_F(Diagnostics, MissingInputIsEscapedAndReadsBackWhole) {
    const std::string input = path() + "/in <&> x.wsdl";
    writeProperties("server", {});
    EXPECT_EQ(run(svcgen(input)), 1);
    const auto records = errors();  // the reader throws on unescaped markup
    ASSERT_EQ(records.size(), 1u) << read("errors.xml");
    EXPECT_EQ(records[0].message,
              "cannot read the input file " + input + ": No such file or directory");
    EXPECT_EQ(records[0].publicId, input);
    EXPECT_EQ(records[0].systemId, input);
    EXPECT_EQ(records[0].line, -1);
}

// A clean run afterwards empties the error file.
TEST_F(Diagnostics, RelativeInputKeepsItsNameAndGetsAFullSystemIdUntilACleanRun) {
    write("in.xsd",
          "<xsd:schema xmlns:xsd='http://www.w3.org/2001/XMLSchema'>\n"
          "  <xsd:element name='x' type='xsd:string'>\n"
          "</xsd:schema>\n");
    writeProperties("foundation", {});
    EXPECT_EQ(run(bindgen("in.xsd")), 1);
    const auto records = errors();
    ASSERT_EQ(records.size(), 1u) << read("errors.xml");
    EXPECT_EQ(records[0].publicId, "in.xsd");
    EXPECT_EQ(records[0].systemId, path() + "/in.xsd");
    EXPECT_EQ(records[0].line, 3);
    EXPECT_NE(records[0].message.find("mismatch"), std::string::npos) << records[0].message;
    ASSERT_EQ(run(bindgen(example("purchaseorder.xsd"))), 0) << log();
    EXPECT_TRUE(exists("errors.xml"));
    EXPECT_EQ(read("errors.xml"), "");
}

// One report from one input; a warning does not stop generation, an error
// stops it with the exit status 1.
struct ReportCase {
    const char* label;
    bool service;  // svcgen, else bindgen
    std::string input;
    bool isError;
    std::vector<std::string> about;
    long line;                   // -1 for none
    long column = -2;            // -2: not checked
    const char* type = nullptr;  // the project type, when not the tool's own
    std::vector<std::string> properties = {};
};

std::ostream& operator<<(std::ostream& out, const ReportCase& c) {
    return out << c.label;
}

class Reports : public GeneratorProject, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(Reports, AreWrittenWithTheirLineAndStopGenerationOnlyWhenErrors) {
    const ReportCase& c = GetParam();
    write("input.xml", c.input);
    writeProperties(c.type ? c.type : c.service ? "server" : "foundation", c.properties);
    EXPECT_EQ(run(c.service ? svcgen("input.xml") : bindgen("input.xml")), c.isError ? 1 : 0)
        << log();
    const auto records = errors();
    ASSERT_EQ(records.size(), 1u) << read("errors.xml");
    EXPECT_EQ(records[0].isError, c.isError);
    for (const std::string& text : c.about) {
        EXPECT_NE(records[0].message.find(text), std::string::npos) << records[0];
    }
    EXPECT_EQ(records[0].line, c.line);
    if (c.column != -2) {
        EXPECT_EQ(records[0].column, c.column);
    }
    EXPECT_NE(log().find(c.isError ? "1 errors, 0 warnings" : "0 errors, 1 warnings"),
              std::string::npos)
        << log();
    EXPECT_EQ(exists("orvoruntime.h"), !c.isError);
}

const std::string kWsdlHead =
    "<definitions name='W' targetNamespace='urn:w' xmlns:tns='urn:w'"
    " xmlns='http://schemas.xmlsoap.org/wsdl/'>\n";
const std::string kSchemaHead = "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'>\n";

INSTANTIATE_TEST_SUITE_P(
    Kinds, Reports,
    ::testing::Values(
        ReportCase{
            "port type without operations",
            true,
            kWsdlHead + "  <message name='M'/>\n  <portType name='Empty'/>\n</definitions>\n",
            false,
            {"port type Empty", "no operations"},
            3},
        ReportCase{"schema without types",
                   false,
                   kSchemaHead + "  <xs:element name='note' type='xs:string'/>\n</xs:schema>\n",
                   false,
                   {"no complex types"},
                   1},
        ReportCase{"properties of another project type",
                   false,
                   kSchemaHead + "  <xs:complexType name='T'><xs:sequence><xs:element name='a' "
                                 "type='xs:int'/></xs:sequence></xs:complexType>\n</xs:schema>\n",
                   false,
                   {"server project", "bindgen", "foundation"},
                   -1,
                   -2,
                   "server"},
        ReportCase{"binding operation the port type lacks",
                   true,
                   kWsdlHead +
                       "  <message name='M'/>\n"
                       "  <portType name='P'><operation name='a'><input message='tns:M'/>"
                       "</operation></portType>\n"
                       "  <binding name='B' type='tns:P'>\n"
                       "    <operation name='a'/>\n    <operation name='zz'/>\n  </binding>\n"
                       "</definitions>\n",
                   false,
                   {"binding B", "zz", "port type P"},
                   6},
        // Where the start tag begins, though it ends a line later.
        ReportCase{"undefined element type",
                   false,
                   "<?xml version='1.0'?>\n"
                   "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema' xmlns:p='urn:p'>\n"
                   "  <xs:complexType name='Order'>\n    <xs:sequence>\n"
                   "      <xs:element name='id' type='xs:int'/>\n      <xs:element\n"
                   "          name='customer' type='p:Customer'/>\n"
                   "    </xs:sequence>\n  </xs:complexType>\n</xs:schema>\n",
                   true,
                   {"p:Customer", "customer", "not defined"},
                   6,
                   7},
        // Reported at the include that names the file, in the file that names it.
        ReportCase{"included file missing",
                   false,
                   kSchemaHead + "  <xs:include schemaLocation='parts\\missing.xsd'/>\n"
                                 "  <xs:complexType name='T'/>\n</xs:schema>\n",
                   true,
                   {"cannot read the schema file parts/missing.xsd"},
                   2,
                   3},
        ReportCase{"prefix not declared",
                   false,
                   kSchemaHead + "  <xs:complexType name='T'><xs:sequence>\n"
                                 "    <xs:element name='a' type='q:A'/>\n"
                                 "  </xs:sequence></xs:complexType>\n</xs:schema>\n",
                   true,
                   {"the prefix q of q:A is not declared"},
                   3},
        ReportCase{"construct not supported",
                   false,
                   kSchemaHead + "  <xs:complexType name='T' mixed='true'><xs:sequence>\n"
                                 "    <xs:element name='a' type='xs:int'/>\n"
                                 "  </xs:sequence></xs:complexType>\n</xs:schema>\n",
                   false,
                   {"mixed content", "not kept"},
                   2},
        ReportCase{"binding that asks for header blocks",
                   true,
                   kWsdlHead + "  <message name='M'/>\n"
                               "  <portType name='P'><operation name='a'><input message='tns:M'/>"
                               "</operation></portType>\n"
                               "  <binding name='B' type='tns:P' "
                               "xmlns:soap='http://schemas.xmlsoap.org/wsdl/soap/'>\n"
                               "    <operation name='a'><input><soap:body use='literal'/>\n"
                               "      <soap:header message='tns:M' part='h' use='literal'/></input>"
                               "</operation>\n  </binding>\n</definitions>\n",
                   false,
                   {"soap:header", "not supported"},
                   6},
        ReportCase{"neither side chosen",
                   true,
                   kWsdlHead + "  <message name='M'/>\n"
                               "  <portType name='P'><operation name='a'><input message='tns:M'/>"
                               "</operation></portType>\n</definitions>\n",
                   false,
                   {"neither the server nor the client side", "only data classes"},
                   -1,
                   -2,
                   nullptr,
                   {"server=false", "client=false"}},
        ReportCase{"schema given to svcgen",
                   true,
                   kSchemaHead + "</xs:schema>\n",
                   true,
                   {"not a WSDL file"},
                   1}));

TEST_F(Diagnostics, UnreadablePropertiesFileIsAnError) {
    EXPECT_EQ(run(svcgen(example("calculator.wsdl"))), 1);
    const auto records = errors();
    ASSERT_EQ(records.size(), 1u) << read("errors.xml");
    EXPECT_NE(records[0].message.find("cannot read the properties file"), std::string::npos);
    EXPECT_EQ(records[0].systemId, path() + "/startup.properties");
    EXPECT_FALSE(exists("CalculatorPortTypeBase.h"));
}

TEST_F(Diagnostics, WsdlReferencesToUndefinedThingsAreErrors) {
    write("refs.wsdl", kWsdlHead +
                           "  <message name='In'><part name='p' element='tns:Nowhere'/></message>\n"
                           "  <portType name='P'><operation name='a'><input message='tns:In'/>"
                           "</operation></portType>\n"
                           "  <binding name='B' type='tns:Q'/>\n"
                           "  <service name='S'><port name='X' binding='tns:C'/></service>\n"
                           "</definitions>\n");
    writeProperties("server", {});
    EXPECT_EQ(run(svcgen("refs.wsdl")), 1);
    const auto records = errors();
    EXPECT_EQ(records.size(), 3u) << read("errors.xml");
    for (const auto& [about, line] : {std::pair{std::string("element tns:Nowhere"), 2},
                                      std::pair{std::string("port type tns:Q"), 4},
                                      std::pair{std::string("binding tns:C"), 5}}) {
        const auto found = recordsAbout(records, {about});
        ASSERT_EQ(found.size(), 1u) << about << "\n" << read("errors.xml");
        EXPECT_TRUE(found[0].isError) << found[0];
        EXPECT_EQ(found[0].line, line) << found[0];
    }
}

// Inputs refused before any of them is taken in: each is an Error against
// the input, found quickly whatever the input would have cost.
struct RefusedInputCase {
    const char* label;
    std::function<void(const std::string& input)> make;
    std::string message;
    long line;  // -1 when the error has no line
    long column;
};

std::ostream& operator<<(std::ostream& out, const RefusedInputCase& c) {
    return out << c.label;
}

class RefusedInputs : public GeneratorProject,
                      public ::testing::WithParamInterface<RefusedInputCase> {};

TEST_P(RefusedInputs, AreAnErrorAgainstTheInput) {
    const std::string input = path() + "/input.wsdl";
    GetParam().make(input);
    writeProperties("server", {});
    EXPECT_EQ(run(svcgen(input)), 1) << log();
    const auto records = errors();
    const auto refused = recordsAbout(records, {GetParam().message});
    ASSERT_EQ(refused.size(), 1u) << read("errors.xml");
    EXPECT_TRUE(refused[0].isError);
    EXPECT_EQ(refused[0].line, GetParam().line);
    EXPECT_EQ(refused[0].column, GetParam().column);
    EXPECT_EQ(refused[0].publicId, input);
    EXPECT_EQ(filesEndingIn(".h"), std::vector<std::string>{});
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// One entity of 50 KB referenced 3000 times: 150 MB of text from 150 KB.
std::string quadraticWsdl() {
    std::string text = "<?xml version=\"1.0\"?>\n<!DOCTYPE definitions [\n  <!ENTITY a \"" +
                       std::string(50000, 'a') + "\">\n]>\n<definitions name=\"&a;\">";
    for (int i = 0; i < 3000; ++i) {
        text += "<documentation>&a;</documentation>";
    }
    return text + "</definitions>\n";
}

std::string deeplyNested() {
    std::string text = "<definitions>\n" + std::string(900, ' ') + "\n";
    for (int i = 0; i < 300; ++i) {
        text += "<a>";
    }
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, RefusedInputs,
    ::testing::Values(
        RefusedInputCase{"quadratic_entity_expansion",
                         [](const std::string& input) { writeText(input, quadraticWsdl()); },
                         "the document declares the entity a; documents that declare entities "
                         "are refused",
                         3, 3},
        RefusedInputCase{"deep_nesting",
                         [](const std::string& input) { writeText(input, deeplyNested()); },
                         "elements are nested more than 128 levels deep", 3, -1},
        RefusedInputCase{"larger_than_the_limit",
                         [](const std::string& input) {
                             writeText(input, "<definitions/>");
                             fs::resize_file(input, 16 * 1024 * 1024 + 1);
                         },
                         "it is larger than 16 MB, the limit for the files a generator reads", -1,
                         -1},
        RefusedInputCase{
            "not_a_regular_file",
            [](const std::string& input) { ASSERT_EQ(::mkfifo(input.c_str(), 0600), 0); },
            "it is not a regular file", -1, -1}),
    [](const ::testing::TestParamInfo<RefusedInputCase>& info) {
        return std::string(info.param.label);
    });

}  // namespace
}  // namespace gentest
