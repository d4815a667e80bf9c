// Build files: the makefile's compiler follows the compiler key, its
// sources are the generated ones, and prjforge writes the makefile and the
// developer-studio files of a servlet project from its project file.
#include <algorithm>
#include <map>

#include "GeneratorProject.h"
#include "generators/emit/BuildFiles.h"
#include "support/ScopedEnv.h"

namespace gentest {
namespace {

class BuildFiles : public GeneratorProject {};

// The makefile's compiler for a known key other than the default, an unknown
// one and none; the developer-studio files name libxml2, which data classes need.
TEST_F(BuildFiles, DataClassBuildFilesFollowTheCompilerKeyAndNameLibxml2) {
    writeProperties("foundation",
                    {"make=true", "msvcproject=true", "sample=true", "projectName=po"});
    for (const auto& [key, cxx] : {std::pair{"sunpro-64", "CC"},
                                   std::pair{"no-such-compiler", "g++"}, std::pair{"", "g++"}}) {
        ASSERT_EQ(run(bindgen(example("purchaseorder.xsd"), key)), 0) << log();
        EXPECT_TRUE(has(read("makefile"), "\nCXX = " + std::string(cxx) + "\n")) << key;
    }
    const std::string flags = pkgConfig("--cflags-only-I");
    ASSERT_TRUE(flags.starts_with("-I")) << flags;
    std::string folder = flags.substr(2, flags.find(' ') - 2);
    std::replace(folder.begin(), folder.end(), '/', '\\');
    EXPECT_TRUE(has(read("po.vcproj"), "AdditionalIncludeDirectories=\".;" + folder));
    EXPECT_TRUE(has(read("po.dsp"), "kernel32.lib libxml2.lib"));
    // The parts of orvoruntime.h are headers of the project like the classes'.
    for (const std::string& header : runtimeHeaderNames()) {
        EXPECT_TRUE(has(read("po.vcproj"), "RelativePath=\".\\" + header + "\"")) << header;
        EXPECT_TRUE(has(read("po.dsp"), "SOURCE=.\\" + header + "\r\n")) << header;
    }
}

TEST_F(BuildFiles, NameTakenFromTheWsdlIsMadeSafeForMake) {
    write("startup.properties", "type=server\nmake=true\n");
    std::string wsdl = readFile(example("calculator.wsdl"));
    wsdl.replace(wsdl.find("name=\"Calculator\""), 17,
                 "name=\"c$(shell touch MARKER)&#10;all:&#10;&#9;touch MARKER\"");
    write("evil.wsdl", wsdl);
    ASSERT_EQ(run(svcgen(path() + "/evil.wsdl")), 0) << log();
    EXPECT_TRUE(
        has(read("makefile"), "LIBRARY = libc__shell_touch_MARKER__all___touch_MARKER.so\n"))
        << read("makefile");
    ASSERT_EQ(kx::os::runCommand("make -n > make.txt"), 0) << read("make.txt");
    EXPECT_FALSE(exists("MARKER")) << read("make.txt");
}

TEST_F(BuildFiles, UnknownCompilerKeysAreNotWrittenIntoTheMakefile) {
    kx::gen::BuildProject project;
    project.name = "demo";
    project.compilerKey = "x\nall:\n\ttouch MARKER";
    const std::string makefile = kx::gen::makefileText(project);
    EXPECT_TRUE(has(makefile, "for the compiler (an unknown key).\n")) << makefile;
    EXPECT_FALSE(has(makefile, "MARKER")) << makefile;
}

// A schema of many classes: its sources are split into groups of about the
// same size, each class source in exactly one. The makefile compiles the
// units (each rebuilt when a part changes), not the parts; the
// developer-studio files list the parts, not the units, which would define
// each class twice.
TEST_F(BuildFiles, ManyClassesAreGroupedIntoUnitsOfAboutTheSameSize) {
    std::string types;
    for (int i = 0; i < 400; ++i) {
        types += "<xs:complexType name='T" + std::to_string(i) + "'><xs:sequence>";
        for (int f = 0; f < 12; ++f) {
            types += "<xs:element name='f" + std::to_string(f) +
                     "' type='xs:string' minOccurs='0' maxOccurs='unbounded'/>";
        }
        types += "</xs:sequence><xs:attribute name='a' type='xs:int'/></xs:complexType>\n";
    }
    write("many.xsd",
          "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema' targetNamespace='urn:m'>\n" +
              types + "</xs:schema>\n");
    writeProperties("foundation", {"make=true", "msvcproject=true", "projectName=many"});
    ASSERT_EQ(run(bindgen(path() + "/many.xsd")), 0) << log();
    const std::string makefile = read("makefile");
    std::map<std::string, int> included;
    std::vector<std::size_t> sizes;
    for (int unit = 1; exists("units/classes-" + std::to_string(unit) + ".cpp"); ++unit) {
        const std::string name = "units/classes-" + std::to_string(unit);
        std::size_t size = 0;
        std::string rule = "\n" + name + ".o:";
        for (const std::string& line : split(read(name + ".cpp"), '\n')) {
            if (line.starts_with("#include \"../")) {
                const std::string part = line.substr(13, line.size() - 14);
                ++included[part];
                size += read(part).size();
                rule += " \\\n\t" + part;
            }
        }
        EXPECT_TRUE(has(makefile, rule + "\n")) << rule;
        sizes.push_back(size);
    }
    ASSERT_GE(sizes.size(), 2u);
    ASSERT_EQ(included.size(), 400u);
    for (const auto& [part, count] : included) {
        EXPECT_EQ(count, 1) << part;
    }
    const auto [smallest, largest] = std::minmax_element(sizes.begin(), sizes.end());
    EXPECT_LT(*largest, *smallest * 2) << *smallest << " " << *largest;
    EXPECT_TRUE(has(makefile, "\tunits/classes-2.cpp")) << makefile;
    EXPECT_FALSE(has(makefile.substr(0, makefile.find("OBJECTS")), "T7.cpp")) << makefile;
    for (const std::string& studio : {read("many.dsp"), read("many.vcproj")}) {
        for (const auto& [part, count] : included) {
            EXPECT_TRUE(has(studio, ".\\" + part)) << part;
        }
        EXPECT_FALSE(has(studio, "classes-1")) << studio.substr(0, 2000);
    }
}

class Prjforge : public GeneratorProject {
  protected:
    std::string prjforge() const {
        return "\"" + tool("prjforge") + "\" -properties " + propertiesPath() +
               " -projectFile demoProject.xml";
    }
    void writeProject(const std::string& files, const std::string& name = "demo") {
        write("demoProject.xml",
              "<?xml version='1.0' encoding='UTF-8'?>\n<tavrin:project "
              "xmlns:tavrin='http://example.com/orvo/tavrin' projectName='" +
                  name + "'>\n" + files + "</tavrin:project>\n");
    }
};

// Every servlet source is built and named; a header only where one exists.
TEST_F(Prjforge, BuildFilesNameEveryServletSourceAndBuildASharedLibrary) {
    writeProperties("tavrin", {"make=true", "msvcproject=true", "projectName=shop",
                               "webxml=web.xml", "servletName=HelloServlet"});
    writeProject("  <tavrin:file name='CartServlet'/>\n  <tavrin:file name='PayServlet'/>\n");
    write("CartServlet.h", "#pragma once\n");
    write("CartServlet.cpp", "extern \"C\" int cart() { return 7; }\n");
    write("PayServlet.cpp", "extern \"C\" int pay() { return 8; }\n");
    ASSERT_EQ(run(prjforge()), 0) << log();
    expectHas(read("makefile"), {"\tPayServlet.cpp", "LIBRARY = libshop.so"});
    EXPECT_FALSE(has(read("makefile"), "HelloServlet")) << read("makefile");
    EXPECT_EQ(read("errors.xml"), "");
    ASSERT_EQ(kx::os::runCommand("make -s > make.txt"), 0) << read("make.txt");
    EXPECT_TRUE(exists("libshop.so"));
    const std::string dsp = read("shop.dsp");
    for (const char* source : {"CartServlet.cpp", "PayServlet.cpp", "CartServlet.h"}) {
        EXPECT_TRUE(has(dsp, std::string("SOURCE=.\\") + source + "\r\n")) << source << dsp;
    }
    EXPECT_FALSE(has(dsp, "PayServlet.h")) << dsp;
    EXPECT_TRUE(has(dsp, "0x0102"));  // a DLL
    EXPECT_TRUE(has(read("shop.vcproj"), "RelativePath=\".\\PayServlet.cpp\""));
    EXPECT_TRUE(exists("shop.sln"));
    EXPECT_TRUE(exists("shop.dsw"));
}

// Without a file line the servletName setting is used; without either, a
// warning against the project file. An unescaped name is reported, not guessed.
TEST_F(Prjforge, ServletNameSettingStandsInForAFileLineAndBadProjectFilesAreReported) {
    writeProperties("tavrin", {"make=true", "servletName=StatusServlet"});
    writeProject("");
    ASSERT_EQ(run(prjforge()), 0) << log();
    EXPECT_TRUE(has(read("makefile"), "\tStatusServlet.cpp")) << read("makefile");
    EXPECT_EQ(read("errors.xml"), "");

    writeProperties("tavrin", {"make=true"});
    ASSERT_EQ(run(prjforge()), 0) << log();
    auto records = errors();
    ASSERT_EQ(records.size(), 1u) << read("errors.xml");
    EXPECT_FALSE(records[0].isError);
    EXPECT_TRUE(has(records[0].message, "no servlet"));
    EXPECT_EQ(records[0].line, 2);
    EXPECT_EQ(records[0].publicId, "demoProject.xml");

    fs::remove("makefile");
    writeProject("  <tavrin:file name='Fish&Chips'/>\n");
    EXPECT_EQ(run(prjforge()), 1) << log();
    records = errors();
    ASSERT_EQ(records.size(), 1u) << read("errors.xml");
    EXPECT_TRUE(records[0].isError);
    EXPECT_EQ(records[0].line, 3);
    EXPECT_FALSE(exists("makefile"));
}

// Names that would add rules or run commands in a makefile, or name files
// outside the project, and a servlet API folder from the environment that
// would run commands: each is refused with an Error naming where it came
// from, and no build file is written.
TEST_F(Prjforge, HostileBuildNamesAreRefusedAndNoBuildFileIsWritten) {
    const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
        // extra settings, file elements, projectName attribute, what the message names
        {"projectName=demo\nservletName=Hello\r\tall:\r\ttouch MARKER", "", "demo",
         "servletName value \"Hello\\r\\tall:\\r\\ttouch MARKER\""},
        {"projectName=demo", "<tavrin:file name='Hello&#10;all:&#10;&#9;touch MARKER&#10;x'/>",
         "demo", "the name of the servlet file \"Hello\\nall:\\n\\ttouch MARKER\\nx\""},
        {"projectName=pn$(shell touch MARKER)", "<tavrin:file name='Hello'/>", "demo",
         "projectName value \"pn$(shell touch MARKER)\""},
        {"", "<tavrin:file name='Hello'/>", "x;touch MARKER",
         "projectName attribute \"x;touch MARKER\""},
        {"projectName=demo\nservletName=../../../outside/Evil", "", "demo",
         "servletName value \"../../../outside/Evil\""},
        {"projectName=demo", "<tavrin:file name='Hello'/>", "demo", "servlet API folder"}};
    for (const auto& [setting, files, attribute, reported] : cases) {
        write("startup.properties", "type=tavrin\nmake=true\nmsvcproject=true\n" + setting + "\n");
        writeProject(files, attribute);
        std::optional<ScopedEnv> api;  // the folder comes past every check on the settings
        if (reported == "servlet API folder") {
            api.emplace("KX_INCLUDE_DIR", "/opt/api$(shell touch MARKER)");
        }
        EXPECT_EQ(run(prjforge()), 1) << log();
        api.reset();
        const auto records = recordsAbout(errors(), {reported, "cannot be used"});
        ASSERT_EQ(records.size(), 1u) << read("errors.xml");
        EXPECT_TRUE(records[0].isError);
        for (const char* name : {"makefile", "demo.dsp", "demo.vcproj", "MARKER"}) {
            EXPECT_FALSE(exists(name)) << name;
        }
        const std::string errorFile = read("errors.xml");
        EXPECT_EQ(std::count(errorFile.begin(), errorFile.end(), '\n'), 1)
            << "one diagnostic, on one line";
    }
}

}  // namespace
}  // namespace gentest
