// Build files: the makefile's compiler follows the compiler key, its
// sources are the generated ones, and prjforge writes the makefile and the
// developer-studio files of a servlet project from its project file.
#include "GeneratorProject.h"
#include "generators/common/BuildFiles.h"
#include "support/ScopedEnv.h"

namespace gentest {
namespace {

class BuildFiles : public GeneratorProject {};

// A known key other than the default, an unknown one and none. The schema
// corpus builds bindgen's makefiles, the SOAP peer tests svcgen's.
TEST_F(BuildFiles, MakefileCompilerFollowsTheKey) {
    writeProperties("foundation", {"make=true"});
    for (const auto& [key, cxx] : {std::pair{"sunpro-64", "CC"},
                                   std::pair{"no-such-compiler", "g++"}, std::pair{"", "g++"}}) {
        ASSERT_EQ(run(bindgen(example("purchaseorder.xsd"), key)), 0) << log();
        EXPECT_NE(read("makefile").find("\nCXX = " + std::string(cxx) + "\n"), std::string::npos)
            << key << "\n"
            << read("makefile");
    }
}

// The developer-studio files name libxml2's headers and library, which the
// data classes need.
TEST_F(BuildFiles, DeveloperStudioProjectsOfDataClassesNameLibxml2) {
    writeProperties("foundation", {"msvcproject=true", "sample=true", "projectName=po"});
    ASSERT_EQ(run(bindgen(example("purchaseorder.xsd"))), 0) << log();
    const std::string flags = pkgConfig("--cflags-only-I");
    ASSERT_EQ(flags.rfind("-I", 0), 0u) << flags;
    std::string folder = flags.substr(2, flags.find(' ') - 2);
    std::replace(folder.begin(), folder.end(), '/', '\\');
    EXPECT_NE(read("po.vcproj").find("AdditionalIncludeDirectories=\".;" + folder),
              std::string::npos);
    EXPECT_NE(read("po.dsp").find("kernel32.lib libxml2.lib"), std::string::npos);
}

class Prjforge : public GeneratorProject {
  protected:
    std::string prjforge() const {
        return "\"" + tool("prjforge") + "\" -properties " + propertiesPath() +
               " -projectFile demoProject.xml";
    }
    void writeProject(const std::string& files) {
        write(
            "demoProject.xml",
            "<?xml version='1.0' encoding='UTF-8'?>\n"
            "<tavrin:project xmlns:tavrin='http://example.com/orvo/tavrin' projectName='demo'>\n" +
                files + "</tavrin:project>\n");
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
    const std::string makefile = read("makefile");
    EXPECT_NE(makefile.find("\tPayServlet.cpp"), std::string::npos) << makefile;
    EXPECT_EQ(makefile.find("HelloServlet"), std::string::npos) << makefile;
    EXPECT_NE(makefile.find("LIBRARY = libshop.so"), std::string::npos) << makefile;
    EXPECT_EQ(read("errors.xml"), "");
    ASSERT_EQ(kx::os::runCommand("make -s > make.txt"), 0) << read("make.txt");
    EXPECT_TRUE(exists("libshop.so"));
    const std::string dsp = read("shop.dsp");
    EXPECT_NE(dsp.find("SOURCE=.\\CartServlet.cpp\r\n"), std::string::npos) << dsp;
    EXPECT_NE(dsp.find("SOURCE=.\\PayServlet.cpp\r\n"), std::string::npos) << dsp;
    EXPECT_NE(dsp.find("SOURCE=.\\CartServlet.h\r\n"), std::string::npos) << dsp;
    EXPECT_EQ(dsp.find("PayServlet.h"), std::string::npos) << dsp;
    EXPECT_NE(dsp.find("0x0102"), std::string::npos);  // a DLL
    EXPECT_NE(read("shop.vcproj").find("RelativePath=\".\\PayServlet.cpp\""), std::string::npos);
    EXPECT_TRUE(exists("shop.sln"));
    EXPECT_TRUE(exists("shop.dsw"));
}

// Without a file line the servletName setting is used; without either, a
// warning against the project file.
TEST_F(Prjforge, WithoutAFileLineTheServletNameSettingIsUsedOrItWarns) {
    writeProperties("tavrin", {"make=true", "servletName=StatusServlet"});
    writeProject("");
    ASSERT_EQ(run(prjforge()), 0) << log();
    EXPECT_NE(read("makefile").find("\tStatusServlet.cpp"), std::string::npos) << read("makefile");
    EXPECT_EQ(read("errors.xml"), "");
    writeProperties("tavrin", {"make=true"});
    ASSERT_EQ(run(prjforge()), 0) << log();
    const auto records = errors();
    ASSERT_EQ(records.size(), 1u) << read("errors.xml");
    EXPECT_FALSE(records[0].isError);
    EXPECT_NE(records[0].message.find("no servlet"), std::string::npos);
    EXPECT_EQ(records[0].line, 2);
    EXPECT_EQ(records[0].publicId, "demoProject.xml");
}

TEST_F(Prjforge, UnescapedNameInTheProjectFileIsReportedNotGuessed) {
    writeProperties("tavrin", {"make=true"});
    writeProject("  <tavrin:file name='Fish&Chips'/>\n");
    EXPECT_EQ(run(prjforge()), 1) << log();
    const auto records = errors();
    ASSERT_EQ(records.size(), 1u) << read("errors.xml");
    EXPECT_TRUE(records[0].isError);
    EXPECT_EQ(records[0].line, 3);
    EXPECT_FALSE(exists("makefile"));
}

// Names that would add rules or run commands in a makefile, or name files
// outside the project: each is refused with an Error naming where it came
// from, and no build file is written.
struct HostileNameCase {
    const char* label;
    std::vector<std::string> properties;
    std::string files;      // file elements of the project file
    std::string attribute;  // projectName attribute of the project file
    std::string reported;   // the message names this
};

std::ostream& operator<<(std::ostream& out, const HostileNameCase& c) {
    return out << c.label;
}

class HostileBuildNames : public Prjforge, public ::testing::WithParamInterface<HostileNameCase> {};

TEST_P(HostileBuildNames, AreRefusedAndNoBuildFileIsWritten) {
    const HostileNameCase& c = GetParam();
    std::string properties = "type=tavrin\nmake=true\nmsvcproject=true\n";
    for (const std::string& line : c.properties) {
        properties += line + "\n";
    }
    write("startup.properties", properties);
    write("demoProject.xml", "<tavrin:project xmlns:tavrin='urn:t' projectName='" + c.attribute +
                                 "'>\n" + c.files + "</tavrin:project>\n");
    EXPECT_EQ(run(prjforge()), 1) << log();
    const auto records = recordsAbout(errors(), {c.reported, "cannot be used"});
    ASSERT_EQ(records.size(), 1u) << read("errors.xml");
    EXPECT_TRUE(records[0].isError);
    for (const char* name : {"makefile", "demo.dsp", "demo.vcproj", "MARKER"}) {
        EXPECT_FALSE(exists(name)) << name;
    }
    const std::string errorFile = read("errors.xml");
    EXPECT_EQ(std::count(errorFile.begin(), errorFile.end(), '\n'), 1)
        << "one diagnostic, on one line";
}

INSTANTIATE_TEST_SUITE_P(
    Makefile, HostileBuildNames,
    ::testing::Values(
        HostileNameCase{"servlet_name_with_a_rule",
                        {"projectName=demo", "servletName=Hello\r\tall:\r\ttouch MARKER"},
                        "",
                        "demo",
                        "servletName value \"Hello\\r\\tall:\\r\\ttouch MARKER\""},
        HostileNameCase{"file_name_with_a_rule",
                        {"projectName=demo"},
                        "<tavrin:file name='Hello&#10;all:&#10;&#9;touch MARKER&#10;x'/>",
                        "demo",
                        "the name of the servlet file \"Hello\\nall:\\n\\ttouch MARKER\\nx\""},
        HostileNameCase{"project_name_with_shell",
                        {"projectName=pn$(shell touch MARKER)"},
                        "<tavrin:file name='Hello'/>",
                        "demo",
                        "projectName value \"pn$(shell touch MARKER)\""},
        HostileNameCase{"project_attribute_with_a_command",
                        {},
                        "<tavrin:file name='Hello'/>",
                        "x;touch MARKER",
                        "projectName attribute \"x;touch MARKER\""},
        HostileNameCase{"servlet_name_outside_the_project",
                        {"projectName=demo", "servletName=../../../outside/Evil"},
                        "",
                        "demo",
                        "servletName value \"../../../outside/Evil\""}),
    [](const ::testing::TestParamInfo<HostileNameCase>& info) {
        return std::string(info.param.label);
    });

// The servlet API folder comes from the environment, past every check on
// the settings and the project file: the build files refuse it themselves.
TEST_F(Prjforge, ServletApiFolderThatWouldRunCommandsIsRefused) {
    writeProperties("tavrin", {"make=true", "msvcproject=true"});
    writeProject("  <tavrin:file name='Hello'/>\n");
    {
        ScopedEnv api("KX_INCLUDE_DIR", "/opt/api$(shell touch MARKER)");
        EXPECT_EQ(run(prjforge()), 1) << log();
    }
    EXPECT_EQ(recordsAbout(errors(), {"servlet API folder", "cannot be used"}).size(), 1u)
        << read("errors.xml");
    for (const char* name : {"makefile", "demo.dsp", "MARKER"}) {
        EXPECT_FALSE(exists(name)) << name;
    }
}

TEST_F(BuildFiles, NameTakenFromTheWsdlIsMadeSafeForMake) {
    write("startup.properties", "type=server\nmake=true\n");
    std::string wsdl = readFile(example("calculator.wsdl"));
    wsdl.replace(wsdl.find("name=\"Calculator\""), 17,
                 "name=\"c$(shell touch MARKER)&#10;all:&#10;&#9;touch MARKER\"");
    write("evil.wsdl", wsdl);
    ASSERT_EQ(run(svcgen(path() + "/evil.wsdl")), 0) << log();
    const std::string makefile = read("makefile");
    EXPECT_NE(makefile.find("LIBRARY = libc__shell_touch_MARKER__all___touch_MARKER.so\n"),
              std::string::npos)
        << makefile;
    ASSERT_EQ(kx::os::runCommand("make -n > make.txt"), 0) << read("make.txt");
    EXPECT_FALSE(exists("MARKER")) << read("make.txt");
}

TEST_F(BuildFiles, UnknownCompilerKeysAreNotWrittenIntoTheMakefile) {
    kx::gen::BuildProject project;
    project.name = "demo";
    project.compilerKey = "x\nall:\n\ttouch MARKER";
    const std::string makefile = kx::gen::makefileText(project);
    EXPECT_NE(makefile.find("for the compiler (an unknown key).\n"), std::string::npos) << makefile;
    EXPECT_EQ(makefile.find("MARKER"), std::string::npos) << makefile;
}

}  // namespace
}  // namespace gentest
