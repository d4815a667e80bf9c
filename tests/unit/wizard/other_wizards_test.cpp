// The client, data-binding and servlet-project wizards: what each adds to
// the framework.
#include <gtest/gtest.h>

#include "WizardFixture.h"
#include "orvowizard/wizards/KxClientWizard.h"
#include "orvowizard/wizards/KxFoundationWizard.h"
#include "orvowizard/wizards/KxTavrinWizard.h"
#include "platform/servlet/KxProperties.h"

namespace {

class ClientWizard : public WizardFixture<KxClientWizard> {
  protected:
    ClientWizard() : WizardFixture("client") {}
};

TEST_F(ClientWizard, RunsSvcgenWithoutTheServerSide) {
    EXPECT_EQ(post(generateForm("calc", {{"ssl", "on"}})).getRedirectLocation(),
              "status?dir=" + kx::urlEncoded(projectsDir() + "\\calc") + "&tier=client");
    ASSERT_EQ(harness.log.size(), 2u);
    EXPECT_EQ(harness.log[1].rfind("client: svcgen -noserver -properties \"", 0), 0u);
    KxProperties written;
    written.load(projectFolder("calc") / "startup.properties");
    EXPECT_EQ(written.get("type"), "client");
    EXPECT_EQ(written.get("ssl"), "true");
    EXPECT_EQ(written.get("server"), "") << "the server wizard's switches do not exist here";
}

class FoundationWizard : public WizardFixture<KxFoundationWizard> {
  protected:
    FoundationWizard() : WizardFixture("foundation") {}
};

TEST_F(FoundationWizard, StoresItsFoldersDoubledAndLoadsThemBack) {
    post(generateForm(
        "po", {{"docsDir", "C:\\out\\docs"}, {"incDir", ""}, {"externalmarshaller", "on"}}));
    ASSERT_EQ(harness.log.size(), 2u);
    EXPECT_EQ(harness.log[1].rfind("foundation: bindgen -properties \"", 0), 0u);

    const std::string file = (projectFolder("po") / "startup.properties").string();
    KxProperties written;
    written.load(file);
    EXPECT_EQ(written.get("docsDir"), "C:\\\\out\\\\docs");
    EXPECT_EQ(setting("docsDir"), "C:\\out\\docs") << "the session keeps the plain value";

    get({{"type", "Reset"}, {"tier", "foundation"}});
    EXPECT_FALSE(flag("externalmarshaller"));
    get({{"oper", "load"}, {"projectFile", file}});
    EXPECT_EQ(setting("docsDir"), "C:\\out\\docs");
    EXPECT_TRUE(flag("externalmarshaller"));
}

class TavrinWizard : public WizardFixture<KxTavrinWizard> {
  protected:
    TavrinWizard() : WizardFixture("tavrin") {}

    ServletHarness::Parameters servletForm(const char* name, const char* make) const {
        return {{"oper", "generate"},    {"projectDir", projectsDir()},
                {"projectName", "demo"}, {"servletName", name},
                {"sample", "on"},        {"webxml", "on"},
                {"make", make}};
    }
};

TEST_F(TavrinWizard, NeedsAServletNameButNoInputFile) {
    testing::internal::CaptureStdout();
    post({{"oper", "generate"}, {"projectDir", projectsDir()}, {"projectName", "demo"}});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Missing Servlet Name\n");
    EXPECT_EQ(setting("errorMessage"), "Missing Servlet Name");
    EXPECT_FALSE(std::filesystem::exists(projectFolder("demo")));

    // The name becomes a class and two files: only a C++ name may be one.
    testing::internal::CaptureStdout();
    for (const char* name : {"../../../outside/Evil", "Evil\n\tall: ; touch x", "1st", "a-b"}) {
        post(servletForm(name, "on"));
        EXPECT_NE(setting("errorMessage").find("must be a C++ name"), std::string::npos) << name;
    }
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(std::filesystem::exists(projectFolder("demo")));
    EXPECT_FALSE(std::filesystem::exists(harness.home / "outside"));
    EXPECT_TRUE(harness.log.empty());
}

TEST_F(TavrinWizard, WritesTheServletItsDescriptorAndRunsPrjforge) {
    // The description is replaced whole: a second name keeps the old one.
    harness.home.write("projects/demo/demoProject.xml", "<old/>\n");
    const auto folder = projectFolder("demo");
    std::filesystem::create_hard_link(folder / "demoProject.xml", folder / "keep.xml");
    post(servletForm("Hello", "on"));
    EXPECT_EQ(readFile(folder / "keep.xml"), "<old/>\n");
    EXPECT_NE(readFile(folder / "demoProject.xml").find("<tavrin:file name='Hello'/>"),
              std::string::npos);
    EXPECT_NE(readFile(folder / "Hello.h").find("class Hello "), std::string::npos);
    EXPECT_NE(readFile(folder / "web.xml").find("<servlet-name>Hello</servlet-name>"),
              std::string::npos);
    ASSERT_EQ(harness.log.size(), 2u);
    EXPECT_EQ(harness.log[1], "tavrin: prjforge  -properties " + projectsDir() +
                                  "\\demo\\startup.properties -projectFile demoProject.xml > "
                                  "orvowizard.txt");
    EXPECT_EQ(readFile(folder / "orvowizard.txt"), "prjforge ran\n");
}

TEST_F(TavrinWizard, EditedFilesGetSampleCopiesAndNothingRunsWithoutBuildFiles) {
    harness.home.write("projects/demo/Hello.cpp", "// my own work\n");
    harness.home.write("projects/demo/web.xml", "");
    post(servletForm("Hello", ""));
    const auto folder = projectFolder("demo");
    EXPECT_EQ(readFile(folder / "Hello.cpp"), "// my own work\n");
    EXPECT_NE(readFile(folder / "Hello.cpp.sample").find("Hello::doGet"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder / "Hello.h.sample"));
    EXPECT_FALSE(std::filesystem::exists(folder / "web.xml.sample")) << "an empty file is replaced";
    EXPECT_NE(readFile(folder / "web.xml").find("<web-app>"), std::string::npos);
    EXPECT_TRUE(harness.log.empty());
    EXPECT_FALSE(std::filesystem::exists(folder / "invocation.txt"));
}

}  // namespace
