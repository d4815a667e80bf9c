// svcgen on the calculator and stock quote examples: which files it writes
// for the server and client switches, -noserver, samples, HTML, make and
// developer-studio settings, what some of them say, and where it never writes.
#include <map>
#include <regex>

#include "GeneratorProject.h"

namespace gentest {
namespace {

class Svcgen : public GeneratorProject {};

// The calculator's files named by the words: a leading '/' for a name without the port type's.
std::vector<std::string> names(const std::string& words,
                               const std::string& port = "CalculatorPortType") {
    std::istringstream in(words);
    std::vector<std::string> out;
    for (std::string word; in >> word;) {
        out.push_back(word[0] == '/' ? word.substr(1) : port + word);
    }
    return out;
}

TEST_F(Svcgen, WritesTheFilesOfTheChosenSettings) {
    // The server side's in-process binding calls through ProxyBase.
    const std::string server =
        "Base.h Base.cpp ServletBase.h ServletBase.cpp Skeleton.h Skeleton.cpp Local.h Local.cpp "
        "ProxyBase.h ProxyBase.cpp /web.xml ";
    const std::string client = "ClientProxy.h ClientProxy.cpp ProxyBase.h ProxyBase.cpp ";
    const std::string serverOnly = "Base.h ServletBase.h Skeleton.h Local.h /web.xml ";
    std::string data = "/Operands.h /Operands.cpp /Result.h /Result.cpp ";
    for (const std::string& header : runtimeHeaderNames()) {
        data += "/" + header + " ";
    }
    const std::string samples = "Impl.h Impl.cpp Servlet.h Servlet.cpp ";
    const std::string html =
        "/docs/index.html /docs/CalculatorPortTypeClientProxy.html "
        "/docs/CalculatorPortTypeProxyBase.html /docs/datatypes/Operands.html ";
    struct Case {
        std::string properties;
        bool noServer;
        std::string present, absent;
        std::string says = "";  // a file, a space and a text it holds
    } const cases[] = {
        {"server=true client=false", false, server + data,
         "ClientProxy.h ClientProxy.cpp Impl.cpp Servlet.cpp Client.cpp /main.cpp "
         "/docs/index.html /makefile /demo.dsw"},
        {"server=false client=1", false, client + data, serverOnly},
        // -noserver overrides the server switch; the client's documentation; ssl
        // makes the default endpoint https.
        {"server=true client=false html=TRUE ssl=true", true, client + data + html,
         serverOnly + "/docs/CalculatorPortTypeBase.html",
         "ClientProxy.cpp \"https://localhost:8090/calculator\""},
        {"server=true client=true sample=true", false,
         server + client + samples + "Client.cpp /main.cpp", "Impl.cpp.sample /main.cpp.sample"},
        {"server=true client=false sample=1", false, samples, "Client.cpp /main.cpp"},
        // Flags written other than true or 1 are off.
        {"make=yes msvcproject=0 html=on sample=false", false, server,
         "/makefile /demo.dsw /docs/index.html Impl.cpp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.properties);
        clear();
        writeProperties(c.noServer ? "client" : "server", names(c.properties, ""));
        ASSERT_EQ(
            run(svcgen(example("calculator.wsdl"), c.noServer, c.noServer ? "" : "redhat-gcc")), 0)
            << log();
        for (const std::string& name : names(c.present)) {
            EXPECT_TRUE(exists(name)) << name << " missing\n" << log();
        }
        for (const std::string& name : names(c.absent)) {
            EXPECT_FALSE(exists(name)) << name << " written\n" << log();
        }
        EXPECT_EQ(read("errors.xml"), "");
        if (!c.says.empty()) {
            const std::string file = names(c.says.substr(0, c.says.find(' '))).front();
            EXPECT_TRUE(has(read(file), c.says.substr(c.says.find(' ') + 1))) << file;
        }
    }
}

TEST_F(Svcgen, PutsTheFilesIntoOutDirGivenWithDoubledBackslashesAndLogsThem) {
    writeProperties("server", {"outDir=gen\\\\calc", "html=true"});
    ASSERT_EQ(run(svcgen(example("calculator.wsdl"))), 0) << log();
    EXPECT_TRUE(exists("gen/calc/CalculatorPortTypeBase.h"));
    EXPECT_TRUE(exists("gen/calc/docs/index.html"));
    EXPECT_FALSE(exists("CalculatorPortTypeBase.h"));
    // errors.xml stays where the status page looks for it.
    EXPECT_TRUE(exists("errors.xml"));
    EXPECT_FALSE(exists("gen/calc/errors.xml"));
    EXPECT_TRUE(log().starts_with("svcgen 1.0")) << log();
    expectHas(log(),
              {"input: " + example("calculator.wsdl"),
               "wrote gen/calc/CalculatorPortTypeSkeleton.cpp\n", "\n0 errors, 0 warnings\n"});
}

// The stock quote with every setting: one-way operations (whose client side
// only this compiles), SOAP actions, documentation links, build files; a
// second run writes the same.
TEST_F(Svcgen, StockQuoteWithEverySettingCompilesIsCompleteAndRepeatable) {
    writeProperties("server",
                    {"client=true", "sample=true", "html=true", "make=true", "msvcproject=true"});
    ASSERT_EQ(run(svcgen(example("stockquote.wsdl"))), 0) << log();
    EXPECT_EQ(compileSyntax(), 0) << read("compiler.txt");
    const std::string index = read("docs/index.html");
    EXPECT_TRUE(has(index, "Current prices of listed shares"));
    int links = 0;
    for (const auto& entry : fs::recursive_directory_iterator(path() + "/docs")) {
        const std::string relative = fs::relative(entry.path(), path() + "/docs").string();
        if (relative != "index.html" && !entry.is_directory()) {
            EXPECT_TRUE(has(index, "href=\"" + relative + "\"")) << relative;
            ++links;
        }
    }
    EXPECT_EQ(links, 6 + 3);  // six service classes, three data classes

    // Client samples make a program, the server a shared library.
    expectHas(read("makefile"), {"LIBRARY = libdemo.so", "PROGRAM = demo"});
    EXPECT_FALSE(has(read("makefile"), "\tmain.cpp")) << read("makefile");
    // 0x0103: a console program.
    expectHas(read("demo.dsp"),
              {"SOURCE=.\\StockQuotePortTypeSkeleton.cpp\r\n", "SOURCE=.\\main.cpp\r\n", "0x0103"});
    EXPECT_TRUE(has(read("demo.dsw"), "Project: \"demo\"=.\\demo.dsp"));
    const std::string vcproj = read("demo.vcproj");
    EXPECT_TRUE(has(vcproj, "RelativePath=\".\\Quote.h\""));
    // The solution names the project by the GUID the project file carries.
    std::smatch guid;
    ASSERT_TRUE(std::regex_search(
        vcproj, guid,
        std::regex(
            R"(ProjectGUID="(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})\")")));
    EXPECT_TRUE(has(read("demo.sln"), "\"demo.vcproj\", \"" + guid.str(1) + "\"")) << guid.str(1);

    std::map<std::string, std::string> first;
    for (const auto& entry : fs::recursive_directory_iterator(path())) {
        if (entry.is_regular_file() && entry.path().filename() != "orvowizard.txt") {
            first[entry.path().string()] = readFile(entry.path().string());
        }
    }
    ASSERT_GT(first.size(), 30u);
    ASSERT_EQ(run(svcgen(example("stockquote.wsdl"))), 0) << log();
    for (const auto& [file, content] : first) {
        EXPECT_EQ(readFile(file), content) << file;
    }
}

// Folders from the settings that leave the project: an Error, and nothing
// written there (nor anywhere else but errors.xml).
TEST_F(Svcgen, FoldersOutsideTheProjectAreRefused) {
    ScratchDir outside;
    const std::string absolute = doubled(outside.str());
    const std::string climbing = "..\\\\" + outside.path().filename().string();
    for (const auto& [key, folder] : {std::pair{"outDir", absolute},
                                      {"outDir", climbing},
                                      {"docsDir", absolute},
                                      {"docsDir", climbing},
                                      {"incDir", climbing}}) {
        writeProperties("foundation", {std::string(key) + "=" + folder, "html=true", "make=true"});
        EXPECT_EQ(run(bindgen(example("purchaseorder.xsd"))), 1) << log();
        const auto records =
            recordsAbout(errors(), {std::string("the ") + key + " value", "cannot be used"});
        ASSERT_EQ(records.size(), 1u) << read("errors.xml");
        EXPECT_EQ(records[0].publicId, propertiesPath());
        EXPECT_TRUE(fs::is_empty(outside.path())) << key << "=" << folder;
        EXPECT_FALSE(exists("Item.h"));
    }
}

// A folder linked out of the project is not followed; files linked out are
// replaced, not written through.
TEST_F(Svcgen, LinksOutOfTheProjectAreNotFollowed) {
    ScratchDir outside;
    fs::create_symlink(outside.path(), fs::path(path()) / "gen");
    writeProperties("server", {"outDir=gen"});
    EXPECT_EQ(run(svcgen(example("calculator.wsdl"))), 1) << log();
    EXPECT_TRUE(fs::is_empty(outside.path()));
    EXPECT_FALSE(recordsAbout(errors(), {"symbolic link, which is not followed"}).empty())
        << read("errors.xml");

    const std::string target = outside.write("target.txt", "precious");
    for (const char* name : {"makefile", "errors.xml", "CalculatorPortTypeBase.h"}) {
        fs::remove(fs::path(path()) / name);
        fs::create_symlink(target, fs::path(path()) / name);
    }
    writeProperties("server", {"make=true"});
    ASSERT_EQ(run(svcgen(example("calculator.wsdl"))), 0) << log();
    EXPECT_EQ(readFile(target), "precious");
    for (const char* name : {"makefile", "errors.xml", "CalculatorPortTypeBase.h"}) {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(fs::path(path()) / name))) << name;
    }
    EXPECT_TRUE(has(read("makefile"), "LIBRARY = libdemo.so"));
    EXPECT_EQ(read("errors.xml"), "");
}

// A main WSDL file whose port type, messages and types come from an
// imported file of another namespace: the import is found with either
// separator, a second spelling of its path and the import back to the main
// file read nothing twice, and a message is told from one of the same local
// name in the other namespace.
TEST_F(Svcgen, ImportedWsdlFilesAreMergedOnceAndTheirProblemsNameTheImport) {
    const std::string wsdl = "http://schemas.xmlsoap.org/wsdl/";
    fs::create_directories(path() + "/parts");
    write("main.wsdl",
          "<definitions name='Main' targetNamespace='urn:main' xmlns:tns='urn:main'"
          " xmlns:p='urn:parts' xmlns:soap='http://schemas.xmlsoap.org/wsdl/soap/'"
          " xmlns='" +
              wsdl +
              "'>\n"
              "  <import namespace='urn:parts' location='parts\\types.wsdl'/>\n"
              "  <import namespace='urn:parts' location='./parts/../parts/types.wsdl'/>\n"
              "  <message name='In'/>\n"
              "  <binding name='B' type='p:Port'><soap:binding style='document'/>\n"
              "    <operation name='Look'><input><soap:body use='literal'/></input>"
              "<output><soap:body use='literal'/></output></operation></binding>\n"
              "  <service name='S'><port name='X' binding='tns:B'>"
              "<soap:address location='http://localhost:8093/look'/></port></service>\n"
              "</definitions>\n");
    const std::string parts =
        "<definitions targetNamespace='urn:parts' xmlns:tns='urn:parts'"
        " xmlns:xs='http://www.w3.org/2001/XMLSchema' xmlns='" +
        wsdl +
        "'>\n"
        "  <import namespace='urn:main' location='../main.wsdl'/>\n"
        "  <types><xs:schema targetNamespace='urn:parts' elementFormDefault='qualified'>\n"
        "    <xs:element name='fromParts' type='xs:int'/>\n"
        "    <xs:element name='answer' type='xs:string'/></xs:schema></types>\n"
        "  <message name='In'><part name='fromParts' element='tns:fromParts'/></message>\n"
        "  <message name='Out'><part name='answer' element='tns:answer'/></message>\n"
        "  <portType name='Port'><operation name='Look'><input message='tns:In'/>"
        "<output message='tns:Out'/></operation></portType>\n";
    write("parts/types.wsdl", parts + "</definitions>\n");
    writeProperties("server", {"client=true"});
    EXPECT_EQ(run(svcgen("main.wsdl")), 0) << log();
    EXPECT_EQ(read("errors.xml"), "");
    // The part of the imported message In, not the empty In of the main file.
    EXPECT_TRUE(has(read("PortBase.h"), "fromParts")) << read("PortBase.h");
    EXPECT_TRUE(has(read("web.xml"), "/look"));

    // A file the imported one imports in turn is missing: reported in the
    // file that names it, at its import.
    write("parts/types.wsdl",
          parts + "  <import namespace='urn:gone' location='gone.wsdl'/>\n</definitions>\n");
    EXPECT_EQ(run(svcgen("main.wsdl")), 1) << log();
    const auto records = errors();
    ASSERT_EQ(records.size(), 1u) << read("errors.xml");
    EXPECT_TRUE(has(records[0].message, "parts/gone.wsdl")) << records[0];
    EXPECT_EQ(std::pair(records[0].line, records[0].column), std::pair(9L, 3L)) << records[0];
    EXPECT_TRUE(records[0].systemId.ends_with("parts/types.wsdl")) << records[0];
}

}  // namespace
}  // namespace gentest
