// errors.xml and the exit status: the faults of broken.wsdl with their lines,
// the other errors and warnings the generators report, the file's shape and
// escaping, the inputs refused unread, and an empty file after a clean run.
#include <sys/stat.h>

#include <functional>

#include "GeneratorProject.h"

namespace gentest {
namespace {

class Diagnostics : public GeneratorProject {
  protected:
    struct Expected {
        std::vector<std::string> about;  // texts the message holds
        long line;
        bool isError = true;
    };
    // errors.xml holds exactly the records expected, one about each.
    void expectRecords(std::initializer_list<Expected> expected) {
        const std::vector<ErrorRecord> records = errors();
        EXPECT_EQ(records.size(), expected.size()) << read("errors.xml");
        for (const Expected& e : expected) {
            const auto found = recordsAbout(records, e.about);
            ASSERT_EQ(found.size(), 1u) << e.about.front() << "\n" << read("errors.xml");
            EXPECT_EQ(found[0].isError, e.isError) << found[0];
            EXPECT_EQ(found[0].line, e.line) << found[0];
        }
    }
};

TEST_F(Diagnostics, BrokenWsdlReportsUndefinedMessageMissingBindingOperationAndTheFault) {
    const std::string input = example("broken.wsdl");
    writeProperties("server", {"client=true"});
    EXPECT_EQ(run(svcgen(input)), 1) << log();
    // The last is libxml2's own words, with the line of the end tag that does not match.
    const auto [line, column] = positionOf(input, "<output message=\"tns:PingOutput\"");
    expectRecords(
        {{{"tns:PingOutput", "not defined"}, line},
         {{"BrokenBinding", "echo"},
          positionOf(input, "<binding name=\"BrokenBinding\"").first,
          false},
         {{"Opening and ending tag mismatch", "port"}, positionOf(input, "</service>").first}});
    const ErrorRecord message = recordsAbout(errors(), {"tns:PingOutput"}).at(0);
    EXPECT_EQ(message.column, column);
    EXPECT_EQ(message.publicId + "|" + message.systemId, input + "|" + input);
    const ErrorRecord fault = recordsAbout(errors(), {"tag mismatch"}).at(0);
    EXPECT_FALSE(fault.message.starts_with("line ")) << fault;
    EXPECT_TRUE(filesEndingIn(".h").empty());  // nothing is generated from an input with errors
    EXPECT_TRUE(has(log(), "2 errors, 1 warnings")) << log();
}

// Without startup.properties, then with a missing input whose name needs escaping.
TEST_F(Diagnostics, UnreadablePropertiesAndMissingInputAreEscapedErrors) {
    EXPECT_EQ(run(svcgen(example("calculator.wsdl"))), 1);
    auto records = errors();
    ASSERT_EQ(records.size(), 1u) << read("errors.xml");
    EXPECT_TRUE(has(records[0].message, "cannot read the properties file"));
    EXPECT_EQ(records[0].systemId, path() + "/startup.properties");
    EXPECT_FALSE(exists("CalculatorPortTypeBase.h"));

    const std::string input = path() + "/in <&> x.wsdl";
    writeProperties("server", {});
    EXPECT_EQ(run(svcgen(input)), 1);
    records = errors();  // the reader throws on unescaped markup
    ASSERT_EQ(records.size(), 1u) << read("errors.xml");
    EXPECT_EQ(records[0].message,
              "cannot read the input file " + input + ": No such file or directory");
    EXPECT_EQ(records[0].publicId + "|" + records[0].systemId, input + "|" + input);
    EXPECT_EQ(records[0].line, -1);
}

const std::string kWsdlHead =
    "<definitions name='W' targetNamespace='urn:w' xmlns:tns='urn:w'"
    " xmlns='http://schemas.xmlsoap.org/wsdl/'>\n  <message name='M'/>\n";
const std::string kPortType =
    "  <portType name='P'><operation name='a'><input message='tns:M'/></operation></portType>\n";
const std::string kSchemaHead = "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'>\n";
const std::string kTypeT =
    "  <xs:complexType name='T'><xs:sequence>\n    <xs:element name='a' type='";

// The inputs that each give one report.
struct ReportCase {
    bool service;  // svcgen, else bindgen
    std::string input;
    bool isError;
    std::string about;            // texts the message holds, between bars
    long line;                    // -1 for none
    long column = -2;             // -2: not checked
    std::string properties = "";  // one more line, or a project type of its own
};
const ReportCase kReportCases[] = {
    {true, kWsdlHead + "  <portType name='Empty'/>\n</definitions>\n", false,
     "port type Empty|no operations", 3},
    {false, kSchemaHead + "  <xs:element name='note' type='xs:string'/>\n</xs:schema>\n", false,
     "no complex types", 1},
    {false, kSchemaHead + kTypeT + "xs:int'/></xs:sequence></xs:complexType>\n</xs:schema>\n",
     false, "server project|bindgen|foundation", -1, -2, "type=server"},
    {true,
     kWsdlHead + kPortType +
         "  <binding name='B' type='tns:P'>\n    <operation name='a'/>\n"
         "    <operation name='zz'/>\n  </binding>\n</definitions>\n",
     false, "binding B|zz|port type P", 6},
    // Where the start tag begins, though it ends a line later.
    {false,
     "<?xml version='1.0'?>\n"
     "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema' xmlns:p='urn:p'>\n"
     "  <xs:complexType name='Order'>\n    <xs:sequence>\n"
     "      <xs:element name='id' type='xs:int'/>\n      <xs:element\n"
     "          name='customer' type='p:Customer'/>\n"
     "    </xs:sequence>\n  </xs:complexType>\n</xs:schema>\n",
     true, "p:Customer|customer|not defined", 6, 7},
    // At the include that names the file, in the file that names it.
    {false,
     kSchemaHead + "  <xs:include schemaLocation='parts\\missing.xsd'/>\n  <xs:complexType "
                   "name='T'/>\n</xs:schema>\n",
     true, "cannot read the schema file parts/missing.xsd", 2, 3},
    {false, kSchemaHead + kTypeT + "q:A'/>\n  </xs:sequence></xs:complexType>\n</xs:schema>\n",
     true, "the prefix q of q:A is not declared", 3},
    // A pattern of another dialect is not checked rather than refusing
    // what the schema allows.
    {false,
     kSchemaHead + kTypeT + "C'/></xs:sequence></xs:complexType>\n" +
         "  <xs:simpleType name='C'><xs:restriction base='xs:string'>\n" +
         "    <xs:pattern value='^(?:[a-z]+)$'/>\n  </xs:restriction></xs:simpleType>\n" +
         "</xs:schema>\n",
     false, "the pattern ^(?:[a-z]+)$ is not checked|a misplaced '?'", 5},
    {true,
     kWsdlHead + kPortType +
         "  <binding name='B' type='tns:P' "
         "xmlns:soap='http://schemas.xmlsoap.org/wsdl/soap/'>\n"
         "    <operation name='a'><input><soap:body use='literal'/>\n"
         "      <soap:header message='tns:M' part='h' use='literal'/></input>"
         "</operation>\n  </binding>\n</definitions>\n",
     true, "message M has no part h|soap:header of the input of the operation a of the binding B",
     6, 7},
    {true, kWsdlHead + kPortType + "</definitions>\n", false,
     "neither the server nor the client side|only data classes", -1, -2,
     "server=false\nclient=false"},
    {true, kSchemaHead + "</xs:schema>\n", true, "not a WSDL file", 1},
    {false, kSchemaHead + "  <xs:element name='x' type='xs:string'>\n</xs:schema>\n", true,
     "mismatch", 3},
};

// One report from one input, with its line and the input's names; a warning
// does not stop generation, an error stops it with the exit status 1.
TEST_F(Diagnostics, ReportsCarryTheirLineAndStopGenerationOnlyWhenErrors) {
    for (const ReportCase& c : kReportCases) {
        SCOPED_TRACE(c.about);
        fs::remove(path() + "/orvoruntime.h");
        write("input.xml", c.input);
        const bool ownType = c.properties.starts_with("type=");
        writeProperties(ownType     ? c.properties.substr(5)
                        : c.service ? "server"
                                    : "foundation",
                        {ownType ? "" : c.properties});
        EXPECT_EQ(run(c.service ? svcgen("input.xml") : bindgen("input.xml")), c.isError ? 1 : 0)
            << log();
        const auto records = errors();
        ASSERT_EQ(records.size(), 1u) << read("errors.xml");
        EXPECT_EQ(records[0].isError, c.isError);
        for (const std::string& text : split(c.about, '|')) {
            EXPECT_TRUE(has(records[0].message, text)) << records[0];
        }
        EXPECT_EQ(records[0].line, c.line);
        EXPECT_TRUE(c.column == -2 || records[0].column == c.column) << records[0].column;
        EXPECT_TRUE(has(log(), c.isError ? "1 errors, 0 warnings" : "0 errors, 1 warnings"))
            << log();
        EXPECT_EQ(exists("orvoruntime.h"), !c.isError);
        if (c.line != -1) {  // the relative input keeps its name and gets a full systemId
            EXPECT_EQ(records[0].publicId + "|" + records[0].systemId,
                      "input.xml|" + path() + "/input.xml");
        }
    }
    // A clean run empties the file.
    ASSERT_EQ(run(bindgen(example("purchaseorder.xsd"))), 0) << log();
    EXPECT_EQ(read("errors.xml"), "");
}

TEST_F(Diagnostics, WsdlReferencesToUndefinedThingsAreErrors) {
    write("refs.wsdl", kWsdlHead +
                           "  <message name='In'><part name='p' element='tns:Nowhere'/></message>\n"
                           "  <portType name='P'><operation name='a'><input message='tns:In'/>"
                           "</operation></portType>\n  <binding name='B' type='tns:Q'/>\n"
                           "  <service name='S'><port name='X' binding='tns:C'/></service>\n"
                           "</definitions>\n");
    writeProperties("server", {});
    EXPECT_EQ(run(svcgen("refs.wsdl")), 1);
    expectRecords({{{"element tns:Nowhere"}, 3}, {{"port type tns:Q"}, 5}, {{"binding tns:C"}, 6}});
}

// Each soap:header and soap:headerfault is checked where it stands: its
// message and part must exist, and the part must name an element (or a
// simple type, which is warned about); a header that is right says nothing.
TEST_F(Diagnostics, HeaderReferencesAreCheckedWhereTheyStand) {
    write("headers.wsdl",
          "<definitions name='W' targetNamespace='urn:w' xmlns:tns='urn:w'"
          " xmlns:xs='http://www.w3.org/2001/XMLSchema'"
          " xmlns:soap='http://schemas.xmlsoap.org/wsdl/soap12/'"
          " xmlns='http://schemas.xmlsoap.org/wsdl/'>\n"
          "  <types><xs:schema targetNamespace='urn:w'><xs:element name='E' type='xs:int'/>\n"
          "    <xs:complexType name='C'><xs:sequence/></xs:complexType></xs:schema></types>\n"
          "  <message name='M'><part name='p' element='tns:E'/></message>\n"
          "  <message name='H'><part name='e' element='tns:E'/><part name='c' type='tns:C'/>"
          "<part name='s' type='xs:string'/></message>\n"
          "  <portType name='P'><operation name='a'><input message='tns:M'/>"
          "<output message='tns:M'/></operation></portType>\n"
          "  <binding name='B' type='tns:P'><soap:binding style='document'/>\n"
          "    <operation name='a'><input><soap:body use='literal'/>\n"
          "      <soap:header message='tns:H' part='e'/>\n"
          "      <soap:header message='tns:Nowhere' part='e'/>\n"
          "      <soap:header message='tns:H' part='nope'/>\n"
          "      <soap:header message='tns:H' part='s'>\n"
          "        <soap:headerfault message='tns:Lost' part='f'/></soap:header></input>\n"
          "      <output><soap:body use='literal'/>\n"
          "        <soap:header message='tns:H' part='c'/></output></operation>\n"
          "  </binding>\n</definitions>\n");
    writeProperties("server", {});
    EXPECT_EQ(run(svcgen("headers.wsdl")), 1) << log();
    const std::string input = "soap:header of the input";
    expectRecords(
        {{{"message tns:Nowhere", input, "not defined"}, 10},
         {{"message H has no part nope", input}, 11},
         {{"part s of the message H", input, "unqualified element s"}, 12, false},
         {{"message tns:Lost", "soap:headerfault of the input", "not defined"}, 13},
         {{"part c of the message H", "soap:header of the output", "complex type tns:C"}, 15}});
}

// Inputs refused before any of them is taken in: an Error against the input,
// found quickly whatever the input would have cost.
TEST_F(Diagnostics, CostlyInputsAreRefusedUnread) {
    const std::string input = path() + "/input.wsdl";
    // One entity of 50 KB referenced 3000 times: 150 MB of text from 150 KB.
    std::string quadratic = "<?xml version=\"1.0\"?>\n<!DOCTYPE definitions [\n  <!ENTITY a \"" +
                            std::string(50000, 'a') + "\">\n]>\n<definitions name=\"&a;\">";
    for (int i = 0; i < 3000; ++i) {
        quadratic += "<documentation>&a;</documentation>";
    }
    std::string deep = "<definitions>\n" + std::string(900, ' ') + "\n";
    for (int i = 0; i < 300; ++i) {
        deep += "<a>";
    }
    const std::tuple<std::function<void()>, std::string, long, long> cases[] = {
        {[&] { write("input.wsdl", quadratic + "</definitions>\n"); },
         "the reference to the entity a takes the document's entity text past 1048576 bytes", 5,
         686},
        {[&] { write("input.wsdl", deep); }, "elements are nested more than 128 levels deep", 3,
         -1},
        {[&] {
             write("input.wsdl", "<definitions/>");
             fs::resize_file(input, 16 * 1024 * 1024 + 1);
         },
         "it is larger than 16 MB, the limit for the files a generator reads", -1, -1},
        {[&] { ASSERT_EQ(::mkfifo(input.c_str(), 0600), 0); }, "it is not a regular file", -1, -1},
    };
    writeProperties("server", {});
    for (const auto& [make, message, line, column] : cases) {
        fs::remove(input);
        make();
        EXPECT_EQ(run(svcgen(input)), 1) << log();
        const auto refused = recordsAbout(errors(), {message});
        ASSERT_EQ(refused.size(), 1u) << read("errors.xml");
        EXPECT_TRUE(refused[0].isError);
        EXPECT_EQ(std::pair(refused[0].line, refused[0].column), std::pair(line, column))
            << message;
        EXPECT_EQ(refused[0].publicId, input);
        EXPECT_EQ(filesEndingIn(".h"), std::vector<std::string>{});
    }
}

// A schema set reached through folder aliases is read once per file, and the
// text of all files read stays within one budget: a few large files named
// again and again through links cannot make the generator hold gigabytes.
TEST_F(Diagnostics, IncludedFilesAreReadOncePerFileAndWithinOneBudget) {
    fs::create_directory_symlink(".", path() + "/a");
    fs::create_directory_symlink(".", path() + "/b");
    write("s.xsd", kSchemaHead +
                       "  <xs:include schemaLocation='a/s.xsd'/>\n"
                       "  <xs:include schemaLocation='b\\a/s.xsd'/>\n" +
                       kTypeT + "xs:int'/></xs:sequence></xs:complexType>\n</xs:schema>\n");
    writeProperties("foundation", {});
    EXPECT_EQ(run(bindgen("s.xsd")), 0) << log();
    EXPECT_EQ(errors().size(), 0u) << read("errors.xml");
    EXPECT_TRUE(exists("T.h"));

    // Five distinct files of 14 MB each: the fifth passes 64 MB and is not
    // read, reported at the include that names it.
    std::string parts = kSchemaHead;
    std::string padding;
    for (int i = 0; i < 14; ++i) {
        padding += "<!--" + std::string(1024 * 1024, 'x') + "-->\n";
    }
    for (int i = 1; i <= 5; ++i) {
        const std::string name = "part" + std::to_string(i) + ".xsd";
        write(name, kSchemaHead + padding + "</xs:schema>\n");
        parts += "  <xs:include schemaLocation='" + name + "'/>\n";
    }
    write("big.xsd", parts + kTypeT + "xs:int'/></xs:sequence></xs:complexType>\n</xs:schema>\n");
    EXPECT_EQ(run(bindgen("big.xsd")), 1) << log();
    const auto records = errors();
    ASSERT_EQ(records.size(), 1u) << read("errors.xml");
    EXPECT_TRUE(has(records[0].message, "come to more than 64 MB; part5.xsd is not read"))
        << records[0];
    EXPECT_EQ(std::pair(records[0].line, records[0].column), std::pair(6L, 3L));
    EXPECT_EQ(records[0].publicId, "big.xsd");
}

}  // namespace
}  // namespace gentest
