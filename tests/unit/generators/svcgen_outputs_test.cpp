// svcgen on the calculator and stock quote examples: which files it writes
// for the server and client switches, -noserver, samples, HTML, make and
// developer-studio settings, and what some of them say.
#include <map>
#include <regex>

#include "GeneratorProject.h"

namespace gentest {
namespace {

const std::string kPort = "CalculatorPortType";

struct SidesCase {
    const char* label;
    std::vector<std::string> properties;
    bool noServer;
    std::vector<std::string> present;
    std::vector<std::string> absent;
};

std::ostream& operator<<(std::ostream& out, const SidesCase& c) {
    return out << c.label;
}

std::vector<std::string> names(std::initializer_list<const char*> suffixes) {
    std::vector<std::string> out;
    for (const char* suffix : suffixes) {
        out.push_back(suffix[0] == '/' ? std::string(suffix + 1) : kPort + suffix);
    }
    return out;
}

class SvcgenSides : public GeneratorProject, public ::testing::WithParamInterface<SidesCase> {};

TEST_P(SvcgenSides, WritesTheFilesOfTheChosenSettings) {
    const SidesCase& c = GetParam();
    writeProperties(c.noServer ? "client" : "server", c.properties);
    ASSERT_EQ(run(svcgen(example("calculator.wsdl"), c.noServer, c.noServer ? "" : "redhat-gcc")),
              0)
        << log();
    for (const std::string& name : c.present) {
        EXPECT_TRUE(exists(name)) << name << " missing\n" << log();
    }
    for (const std::string& name : c.absent) {
        EXPECT_FALSE(exists(name)) << name << " written\n" << log();
    }
    EXPECT_EQ(read("errors.xml"), "");
}

// The server side's in-process binding calls through ProxyBase.
const std::vector<std::string> kServerFiles =
    names({"Base.h", "Base.cpp", "ServletBase.h", "ServletBase.cpp", "Skeleton.h", "Skeleton.cpp",
           "Local.h", "Local.cpp", "ProxyBase.h", "ProxyBase.cpp", "/web.xml"});
const std::vector<std::string> kClientFiles =
    names({"ClientProxy.h", "ClientProxy.cpp", "ProxyBase.h", "ProxyBase.cpp"});
const std::vector<std::string> kClientOnlyFiles = names({"ClientProxy.h", "ClientProxy.cpp"});
const std::vector<std::string> kServerOnlyFiles =
    names({"Base.h", "ServletBase.h", "Skeleton.h", "Local.h", "/web.xml"});
const std::vector<std::string> kDataFiles =
    names({"/Operands.h", "/Operands.cpp", "/Result.h", "/Result.cpp", "/orvoruntime.h"});

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SvcgenSides,
    ::testing::Values(
        SidesCase{"server only",
                  {"server=true", "client=false"},
                  false,
                  kServerFiles + kDataFiles,
                  kClientOnlyFiles + names({"Impl.cpp", "Servlet.cpp", "Client.cpp", "/main.cpp",
                                            "/docs/index.html", "/makefile", "/demo.dsw"})},
        SidesCase{"client switch",
                  {"server=false", "client=1"},
                  false,
                  kClientFiles + kDataFiles,
                  kServerOnlyFiles},
        SidesCase{
            "noserver overrides the server switch, client documentation",
            {"server=true", "client=false", "html=TRUE"},
            true,
            kClientFiles + kDataFiles +
                names({"/docs/index.html", "/docs/CalculatorPortTypeClientProxy.html",
                       "/docs/CalculatorPortTypeProxyBase.html", "/docs/datatypes/Operands.html"}),
            kServerOnlyFiles + names({"/docs/CalculatorPortTypeBase.html"})},
        SidesCase{"samples of both sides",
                  {"server=true", "client=true", "sample=true"},
                  false,
                  kServerFiles + kClientFiles +
                      names({"Impl.h", "Impl.cpp", "Servlet.h", "Servlet.cpp", "Client.cpp",
                             "/main.cpp"}),
                  names({"Impl.cpp.sample", "/main.cpp.sample"})},
        SidesCase{"server samples only",
                  {"server=true", "client=false", "sample=1"},
                  false,
                  names({"Impl.h", "Impl.cpp", "Servlet.h", "Servlet.cpp"}),
                  names({"Client.cpp", "/main.cpp"})},
        SidesCase{"flags written other than true or 1 are off",
                  {"make=yes", "msvcproject=0", "html=on", "sample=false"},
                  false,
                  kServerFiles,
                  names({"/makefile", "/demo.dsw", "/docs/index.html", "Impl.cpp"})}));

class Svcgen : public GeneratorProject {};

TEST_F(Svcgen, PutsTheFilesIntoOutDirGivenWithDoubledBackslashesAndLogsThem) {
    writeProperties("server", {"outDir=gen\\\\calc", "html=true"});
    ASSERT_EQ(run(svcgen(example("calculator.wsdl"))), 0) << log();
    EXPECT_TRUE(exists("gen/calc/CalculatorPortTypeBase.h"));
    EXPECT_TRUE(exists("gen/calc/docs/index.html"));
    EXPECT_FALSE(exists("CalculatorPortTypeBase.h"));
    // errors.xml stays where the status page looks for it.
    EXPECT_TRUE(exists("errors.xml"));
    EXPECT_FALSE(exists("gen/calc/errors.xml"));
    const std::string text = log();
    EXPECT_EQ(text.rfind("svcgen 1.0", 0), 0u) << text;
    EXPECT_NE(text.find("input: " + example("calculator.wsdl")), std::string::npos) << text;
    EXPECT_NE(text.find("wrote gen/calc/CalculatorPortTypeSkeleton.cpp\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\n0 errors, 0 warnings\n"), std::string::npos) << text;
}

TEST_F(Svcgen, SslMakesTheDefaultEndpointHttps) {
    writeProperties("client", {"ssl=true"});
    ASSERT_EQ(run(svcgen(example("calculator.wsdl"), true, "")), 0) << log();
    EXPECT_NE(
        read("CalculatorPortTypeClientProxy.cpp").find("\"https://localhost:8090/calculator\""),
        std::string::npos);
}

// One run on the stock quote with every setting: one-way operations, SOAP
// actions, documentation links, build files; a second run writes the same.
TEST_F(Svcgen, StockQuoteWithEverySettingIsCompleteAndRepeatable) {
    writeProperties("server",
                    {"client=true", "sample=true", "html=true", "make=true", "msvcproject=true"});
    ASSERT_EQ(run(svcgen(example("stockquote.wsdl"))), 0) << log();
    // What the classes say and do is checked by compiling them and by the SOAP
    // peer tests; here, the files, links and build files around them.
    const std::string index = read("docs/index.html");
    EXPECT_NE(index.find("Current prices of listed shares"), std::string::npos);
    int links = 0;
    for (const auto& entry : fs::recursive_directory_iterator(path() + "/docs")) {
        const std::string relative = fs::relative(entry.path(), path() + "/docs").string();
        if (relative != "index.html" && !entry.is_directory()) {
            EXPECT_NE(index.find("href=\"" + relative + "\""), std::string::npos) << relative;
            ++links;
        }
    }
    EXPECT_EQ(links, 6 + 3);  // six service classes, three data classes

    // Client samples make a program, the server a shared library.
    const std::string makefile = read("makefile");
    EXPECT_NE(makefile.find("LIBRARY = libdemo.so"), std::string::npos) << makefile;
    EXPECT_NE(makefile.find("PROGRAM = demo"), std::string::npos) << makefile;
    EXPECT_EQ(makefile.find("\tmain.cpp"), std::string::npos) << makefile;
    const std::string dsp = read("demo.dsp");
    EXPECT_NE(dsp.find("SOURCE=.\\StockQuotePortTypeSkeleton.cpp\r\n"), std::string::npos);
    EXPECT_NE(dsp.find("SOURCE=.\\main.cpp\r\n"), std::string::npos);
    EXPECT_NE(dsp.find("0x0103"), std::string::npos);  // a console program
    EXPECT_NE(read("demo.dsw").find("Project: \"demo\"=.\\demo.dsp"), std::string::npos);
    const std::string vcproj = read("demo.vcproj");
    EXPECT_NE(vcproj.find("RelativePath=\".\\Quote.h\""), std::string::npos);
    // The solution names the project by the GUID the project file carries.
    const auto at = vcproj.find("ProjectGUID=\"");
    ASSERT_NE(at, std::string::npos);
    const std::string guid = vcproj.substr(at + 13, 38);
    EXPECT_TRUE(std::regex_match(
        guid, std::regex(R"(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})")))
        << guid;
    EXPECT_NE(read("demo.sln").find("\"demo.vcproj\", \"" + guid + "\""), std::string::npos)
        << guid;

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
class OutsideFolders : public GeneratorProject,
                       public ::testing::WithParamInterface<std::pair<const char*, bool>> {
  protected:
    ScratchDir outside_;
};

TEST_P(OutsideFolders, AreRefused) {
    const auto& [key, absolute] = GetParam();
    const std::string folder =
        absolute ? doubled(outside_.str()) : "..\\\\" + outside_.path().filename().string();
    writeProperties("foundation", {std::string(key) + "=" + folder, "html=true", "make=true"});
    EXPECT_EQ(run(bindgen(example("purchaseorder.xsd"))), 1) << log();
    const auto records =
        recordsAbout(errors(), {std::string("the ") + key + " value", "cannot be used"});
    ASSERT_EQ(records.size(), 1u) << read("errors.xml");
    EXPECT_EQ(records[0].publicId, propertiesPath());
    EXPECT_TRUE(fs::is_empty(outside_.path()));
    EXPECT_FALSE(exists("Item.h"));
}

INSTANTIATE_TEST_SUITE_P(Settings, OutsideFolders,
                         ::testing::Values(std::pair{"outDir", true}, std::pair{"outDir", false},
                                           std::pair{"docsDir", true}, std::pair{"docsDir", false},
                                           std::pair{"incDir", false}),
                         [](const auto& info) {
                             return std::string(info.param.first) +
                                    (info.param.second ? "_absolute" : "_climbing");
                         });

TEST_F(Svcgen, LinksPlantedInTheProjectAreReplacedNotWrittenThrough) {
    ScratchDir outside;
    const std::string target = outside.write("target.txt", "precious");
    for (const char* name : {"makefile", "errors.xml", "CalculatorPortTypeBase.h"}) {
        fs::create_symlink(target, fs::path(path()) / name);
    }
    writeProperties("server", {"make=true"});
    ASSERT_EQ(run(svcgen(example("calculator.wsdl"))), 0) << log();
    EXPECT_EQ(readFile(target), "precious");
    for (const char* name : {"makefile", "errors.xml", "CalculatorPortTypeBase.h"}) {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(fs::path(path()) / name))) << name;
    }
    EXPECT_NE(read("makefile").find("LIBRARY = libdemo.so"), std::string::npos);
    EXPECT_EQ(read("errors.xml"), "");
}

TEST_F(Svcgen, FolderLinkedOutOfTheProjectIsNotFollowed) {
    ScratchDir outside;
    fs::create_symlink(outside.path(), fs::path(path()) / "gen");
    writeProperties("server", {"outDir=gen"});
    EXPECT_EQ(run(svcgen(example("calculator.wsdl"))), 1) << log();
    EXPECT_TRUE(fs::is_empty(outside.path()));
    EXPECT_FALSE(recordsAbout(errors(), {"symbolic link, which is not followed"}).empty())
        << read("errors.xml");
}

}  // namespace
}  // namespace gentest
