// The wizard page: session preparation, form copying and the dispatch of the
// page's buttons and operations.
#include <gtest/gtest.h>

#include "WizardFixture.h"
#include "orvowizard/common/KxFileUtilities.h"

namespace {

using ServerWizardPage = WizardFixture<>;

TEST_F(ServerWizardPage, FirstVisitSetsThisWizardsDefaultsAndPlainGetTakesOnlyAFilename) {
    const auto response = get();
    EXPECT_FALSE(response.isRedirect());
    EXPECT_EQ(harness.session->getMaxInactiveInterval(), -1);
    EXPECT_NE(response.getPayload().find("<option selected>Windows 2000/MSVC 6</option>"),
              std::string::npos);
    EXPECT_NE(response.getPayload().find("<option>Red Hat Linux/icc</option>"), std::string::npos);
    // Stated here, not read from the settings tables, so a wrong default fails.
    for (const char* on : {"make", "sample", "msvcproject", "html", "stl", "server", "client"}) {
        EXPECT_TRUE(flag(on)) << on;
    }
    EXPECT_FALSE(flag("ssl"));
    EXPECT_EQ(setting("projectName"), "");

    get({{"projectName", "ignored"}, {"filename", "C:\\x\\a.wsdl"}, {"html", ""}});
    EXPECT_EQ(setting("projectName"), "");
    EXPECT_EQ(setting("filename"), "C:\\x\\a.wsdl");
    EXPECT_TRUE(flag("html"));
    get({{"filename", ""}});
    EXPECT_EQ(setting("filename"), "C:\\x\\a.wsdl");

    // A session made by another wizard gets these defaults and keeps its own.
    harness.session = std::make_shared<KxHttpSession>("shared");
    setSessionString(*harness.session, "projectDir", "C:\\client", "client", false);
    get();
    EXPECT_EQ(setting("projectDir"), projectsDir());
    EXPECT_TRUE(flag("server"));
    EXPECT_EQ(getSessionString(*harness.session, "projectDir", "client"), "C:\\client");
}

// The page reads the session's settings as it renders: each request shows
// the session as it stands then, and a loaded project shows at once.
TEST_F(ServerWizardPage, EachRequestShowsTheSessionAsItStandsThen) {
    const auto field = [](const char* text) {
        return "id=\"outDir\" name=\"outDir\" value=\"" + std::string(text) + "\"";
    };
    const auto sslBox = std::string("name=\"ssl\" aria-describedby=\"ssl-hint\" checked>");
    EXPECT_NE(get().getPayload().find(field("")), std::string::npos);
    setSessionString(*harness.session, "outDir", "C:\\first <1>", "server", false);
    setSessionBool(*harness.session, "ssl", true, "server");
    auto page = get().getPayload();
    EXPECT_NE(page.find(field("C:\\first &lt;1&gt;")), std::string::npos);
    EXPECT_NE(page.find(sslBox), std::string::npos);
    setSessionString(*harness.session, "outDir", "second", "server", false);
    setSessionBool(*harness.session, "ssl", false, "server");
    page = get().getPayload();
    EXPECT_NE(page.find(field("second")), std::string::npos);
    EXPECT_EQ(page.find(sslBox), std::string::npos);
    EXPECT_EQ(page.find("first"), std::string::npos);

    // Loading a project changes the session within the request; the page
    // shows what was loaded, not what the request found.
    const std::string file =
        harness.home.write("projects/Old/startup.properties",
                           "type=server\nversion=1.2\nprojectName=Old\noutDir=loaded\nssl=true\n");
    page = get({{"oper", "load"}, {"projectFile", file}}).getPayload();
    EXPECT_NE(page.find(field("loaded")), std::string::npos);
    EXPECT_NE(page.find(sslBox), std::string::npos);
}

TEST_F(ServerWizardPage, TheFormIsCopiedAndSanitizedWhenAnOperationIsNamed) {
    get();
    post({{"oper", "update"},
          {"projectName", "a;b|c&d"},
          {"properties", "-Da=1,-Db=2*"},
          {"msvcproject", "on"},
          {"filename", ""},
          {"defaultFile", "\"C:\\x\\a.wsdl\""}});
    EXPECT_EQ(setting("projectName"), "a b c d");
    EXPECT_EQ(setting("properties"), "-Da=1 -Db=2 ");
    EXPECT_TRUE(flag("make")) << "a developer-studio project implies the makefile";
    EXPECT_FALSE(flag("html")) << "an unticked checkbox is not sent";
    EXPECT_EQ(setting("filename"), "C:\\x\\a.wsdl");
    EXPECT_EQ(setting("defaultFile"), "\"C:\\x\\a.wsdl\"");

    post({{"oper", "update"}, {"filename", "\"C:\\y\\b;c.wsdl\""}});
    EXPECT_FALSE(flag("make"));
    EXPECT_FALSE(flag("msvcproject"));
    EXPECT_EQ(setting("filename"), "\"C:\\y\\b c.wsdl\"");
    EXPECT_EQ(setting("defaultFile"), "C:\\y\\b c.wsdl");
}

TEST_F(ServerWizardPage, ButtonsRedirectAndResetRestoresTheDefaults) {
    get();
    EXPECT_EQ(
        post({{"oper", "update"}, {"projectName", "demo"}, {"type", "Browse"}, {"tier", "server"}})
            .getRedirectLocation(),
        "browse?tier=server");
    EXPECT_EQ(get({{"type", "Load project"}}).getRedirectLocation(),
              "viewer?dir=" + kx::urlEncoded(projectsDir()) + "&tier=server");
    EXPECT_EQ(setting("projectName"), "demo");
    EXPECT_EQ(get({{"type", "Reset"}, {"tier", "client"}}).getRedirectLocation(), "client");
    EXPECT_EQ(setting("projectName"), "");
    EXPECT_TRUE(flag("server"));
    // Only a word at the very beginning counts as the button.
    EXPECT_FALSE(get({{"type", "Autosave"}}).isRedirect());

    // Save wins over generate and writes without running.
    EXPECT_EQ(post(generateForm("demo", {{"type", "Save As"}})).getRedirectLocation(),
              "viewer?dir=" + kx::urlEncoded(projectsDir() + "\\demo") + "&tier=server");
    EXPECT_TRUE(std::filesystem::exists(projectFolder("demo") / "startup.properties"));
    EXPECT_FALSE(std::filesystem::exists(projectFolder("demo") / "invocation.txt"));
    EXPECT_TRUE(harness.log.empty());
}

// Each refusal goes to the status page with its message, printed once, and
// the next visit finds the message gone.
TEST_F(ServerWizardPage, TheFormIsCheckedBeforeAnythingIsWritten) {
    get();
    const std::pair<ServletHarness::Parameters, std::string> cases[] = {
        {{{"projectName", ""}}, "Project name must be specified"},
        {{{"filename", ""}}, "Missing filename"},
        {{{"projectDir", ""}}, "Missing project directory"},
        {{{"filename", harness.home / "examples/none.wsdl"}},
         "Filename does not exist or is not accessible"},
        {{{"filename", harness.home.write("examples/empty.wsdl", "")}},
         "Filename does not exist or is not accessible"},
        {{{"filename", harness.home.str() + "\\examples"}},
         "Filename does not exist or is not accessible"},
    };
    for (const auto& [changes, message] : cases) {
        auto form = generateForm("demo", changes);
        form.emplace_back("defaultFile", "");
        testing::internal::CaptureStdout();
        EXPECT_EQ(post(form).getRedirectLocation(), "status?tier=server");
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: " + message + "\n");
        EXPECT_EQ(setting("errorMessage"), message);
    }
    get();
    EXPECT_EQ(setting("errorMessage"), "");
    EXPECT_FALSE(std::filesystem::exists(projectFolder("demo")));
}

// A wizard whose generator fails in the three ways an operation can.
class ThrowingWizard : public KxServerWizard {
  public:
    void generate(const KxCString&, const KxCString&, KxContext&) override {
        if (mode == 0)
            throw Kxxmsg("generator exploded");
        if (mode == 1)
            throw std::runtime_error("out of range");
        throw 42;
    }
    int mode = 0;
};

using FailingWizardPage = WizardFixture<ThrowingWizard>;

TEST_F(FailingWizardPage, ExceptionsOfAnOperationBecomeTheErrorPage) {
    const char* messages[] = {"Exception: generator exploded", "std::exception: out of range",
                              "Unknown exception thrown"};
    const std::string before = getCurrentDir().c_str();
    for (int mode = 0; mode < 3; ++mode) {
        wizard.mode = mode;
        testing::internal::CaptureStdout();
        EXPECT_EQ(post(generateForm("demo")).getRedirectLocation(), "status?tier=server");
        EXPECT_EQ(std::string(getCurrentDir().c_str()), before)
            << "the thread leaves the project folder whatever the generator throws";
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  std::string("Error: ") + messages[mode] + "\n");
        EXPECT_EQ(setting("errorMessage"), messages[mode]);
    }
}

}  // namespace
