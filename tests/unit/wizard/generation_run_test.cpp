// Generation runs and saving: the project directory, startup.properties, the
// generator's command line, its working directory and the redirect.
#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "WizardFixture.h"
#include "orvowizard/common/KxFileUtilities.h"
#include "platform/servlet/KxProperties.h"

namespace {

namespace fs = std::filesystem;
using GenerationRun = WizardFixture<>;

TEST_F(GenerationRun, RunsSvcgenInTheProjectDirectoryAndRedirectsToTheStatusPage) {
    harness.home.write("projects/demo/errors.xml", "<Error><message>old</message></Error>");
    const std::string before = getCurrentDir().c_str();
    EXPECT_EQ(post(generateForm("demo")).getRedirectLocation(), statusOf("demo"));
    EXPECT_EQ(std::string(getCurrentDir().c_str()), before);
    ASSERT_EQ(harness.log.size(), 2u);
    EXPECT_NE(harness.log[1].find("-DkeepProject=true \"" + input + "\" > orvowizard.txt"),
              std::string::npos);
    const auto folder = projectFolder("demo");
    // Empty pieces of the command line give no words, as in a shell.
    EXPECT_EQ(
        readFile(folder / "invocation.txt"),
        folder.string() + "\n[-properties]\n[" + projectsDir() +
            "\\demo\\startup.properties]\n[-compiler]\n[redhat-icc]\n[-DkeepProject=true]\n[" +
            input + "]\n");
    EXPECT_EQ(readFile(folder / "orvowizard.txt"), "svcgen ran\n");
    EXPECT_EQ(readFile(folder / "errors.xml"), "") << "an earlier run's errors are gone";
}

TEST_F(GenerationRun, APlatformOutsideTheTableLeavesTheCompilerOut) {
    post(generateForm("demo", {{"compileros", "Plan 9/kencc"}, {"properties", "-Dtrace=on"}}));
    ASSERT_EQ(harness.log.size(), 2u);
    EXPECT_NE(harness.log[1].find("startup.properties\" -Dtrace=on  -DkeepProject=true \""),
              std::string::npos)
        << harness.log[1];
    KxProperties written;
    written.load(projectFolder("demo") / "startup.properties");
    EXPECT_EQ(written.get("compiler"), "");
}

TEST_F(GenerationRun, SavedProjectLoadsBackIntoTheWizard) {
    post(generateForm("demo", {{"type", "Save"}, {"outDir", "out\\gen"}, {"ssl", "on"}}));
    const std::string file = (projectFolder("demo") / "startup.properties").string();
    KxProperties written;
    ASSERT_TRUE(written.load(file));
    EXPECT_EQ(written.get("outDir"), "out\\\\gen") << "backslashes are doubled";
    EXPECT_EQ(written.get("compiler"), "redhat-icc");
    EXPECT_EQ(written.get("unix"), "true");

    get({{"type", "Reset"}, {"tier", "server"}});
    ASSERT_EQ(setting("projectName"), "");
    const auto page = get({{"oper", "load"}, {"projectFile", file}});
    EXPECT_FALSE(page.isRedirect());
    EXPECT_EQ(setting("projectDir"), projectsDir());
    EXPECT_EQ(setting("defaultFile"), input);
    EXPECT_EQ(setting("outDir"), "out\\gen");
    EXPECT_TRUE(flag("ssl"));
    EXPECT_FALSE(flag("client"));
    EXPECT_NE(page.getPayload().find("value=\"demo\""), std::string::npos);
}

TEST_F(GenerationRun, LoadRefusesFilesOfOtherWizardsAndSplitsOlderOnes) {
    get();
    testing::internal::CaptureStdout();
    get({{"oper", "load"}, {"projectFile", ""}});
    EXPECT_EQ(setting("errorMessage"), "Invalid file name");
    get({{"oper", "load"}, {"projectFile", harness.home.write("c.properties", "type=client\n")}});
    EXPECT_EQ(setting("errorMessage"), "Properties file is not for this Wizard");
    testing::internal::GetCapturedStdout();

    const std::string older = harness.home.write(
        "old.properties",
        "type=server\nprojectDir=C:\\\\work\\\\proj\nfilename=C:\\\\w\\\\a.wsdl\n");
    get({{"oper", "load"}, {"projectFile", older}});
    EXPECT_EQ(setting("projectDir"), "C:\\work");
    EXPECT_EQ(setting("projectName"), "proj");
    EXPECT_EQ(setting("filename"), "C:\\w\\a.wsdl");
    const std::string bare =
        harness.home.write("bare.properties", "type=server\nversion=1.1\nprojectDir=xproj\n");
    get({{"oper", "load"}, {"projectFile", bare}});
    EXPECT_EQ(setting("projectDir"), "");
    EXPECT_EQ(setting("projectName"), "proj") << "without a separator the first character goes";
}

TEST_F(GenerationRun, ConcurrentRunsEachHappenInTheirOwnProjectDirectory) {
    // Two request threads, each with its own directory as the container gives them.
    auto run = [this](const std::string& name) {
        kx::os::giveThreadOwnCurrentDirectory();
        KxHttpServletRequest request;
        request.setMethod("POST");
        for (const auto& [key, value] : generateForm(name)) {
            request.addParameter(key, value);
        }
        KxHttpServletResponse response;
        wizard.service(request, response);
    };
    std::thread first(run, "one"), second(run, "two");
    first.join();
    second.join();
    for (const char* name : {"one", "two"}) {
        const std::string invocation = readFile(projectFolder(name) / "invocation.txt");
        EXPECT_EQ(invocation.substr(0, invocation.find('\n')), projectFolder(name).string());
    }
}

// Values that would start a new key in startup.properties, split the
// generator's arguments or leave the project are refused before anything is
// written, whether typed into the form or found in a loaded file.
TEST_F(GenerationRun, HostileSettingsAreRefusedBeforeAnythingIsWritten) {
    const std::array<std::string, 3> cases[] = {
        {"projectName", "../../outside", "must be a plain file name"},
        {"projectName", "pn\\evil", "must be a plain file name"},
        {"projectName", "pn\"x", "must not contain a double quote"},
        {"outDir", "out\noutDir=/tmp", "must not contain line breaks"},
        {"filename", "a.wsdl\tx", "control characters"},
        {"properties", "-Dx=\"open", "leaves a double quote open"},
        {"projectDir", std::string(5000, 'd'), "is longer than 4096"},
    };
    testing::internal::CaptureStdout();
    for (const auto& [field, value, message] : cases) {
        get({{"type", "Reset"}, {"tier", "server"}});
        EXPECT_EQ(post(generateForm("demo", {{field, value}})).getRedirectLocation(),
                  "status?tier=server")
            << field;
        EXPECT_NE(setting("errorMessage").find(message), std::string::npos)
            << field << ": " << setting("errorMessage");
    }
    // A file edited by hand is checked when it is used, not when it is read.
    const std::string loaded = harness.home.write(
        "evil.properties", "type=server\nversion=1.2\nprojectDir=" + projectsDir() +
                               "\nprojectName=..\nfilename=" + input + "\n");
    get({{"oper", "load"}, {"projectFile", loaded}});
    EXPECT_EQ(setting("projectName"), "..");
    post({{"type", "Save"}});
    EXPECT_NE(setting("errorMessage").find("must be a plain file name"), std::string::npos);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(harness.log.empty()) << "no generator ran";
    EXPECT_FALSE(fs::exists(projectFolder("demo")));
    EXPECT_FALSE(fs::exists(harness.home / "outside"));
}

// Links planted in place of the files a run writes are replaced, their
// targets left alone; a project folder that is a link is refused.
TEST_F(GenerationRun, LinksPlantedInTheProjectAreReplacedNotWrittenThrough) {
    const auto folder = projectFolder("demo");
    fs::create_directories(folder);
    const std::string target = harness.home.write("precious.txt", "keep me");
    const char* written[] = {"errors.xml", "orvowizard.txt", "startup.properties"};
    for (const char* name : written) {
        fs::create_symlink(target, folder / name);
    }
    post(generateForm("demo"));
    EXPECT_EQ(readFile(target), "keep me");
    for (const char* name : written) {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / name))) << name;
    }
    EXPECT_EQ(readFile(folder / "orvowizard.txt"), "svcgen ran\n");

    fs::create_directory_symlink(harness.home.path(), folder.parent_path() / "away");
    testing::internal::CaptureStdout();
    post(generateForm("away"));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(setting("errorMessage"),
              "Couldn't create project directory: the project folder is a symbolic link");
    EXPECT_FALSE(fs::exists(harness.home / "startup.properties"));
}

// startup.properties is replaced whole (a second name keeps the old content);
// one that cannot be written stays as it was and the run goes on.
TEST_F(GenerationRun, StartupPropertiesIsReplacedWholeOrLeftAsItWas) {
    harness.home.write("projects/demo/startup.properties", "type=server\nprojectName=old\n");
    const auto folder = projectFolder("demo");
    fs::create_hard_link(folder / "startup.properties", folder / "old.properties");
    post(generateForm("demo", {{"type", "Save"}}));
    KxProperties written;
    ASSERT_TRUE(written.load(folder / "startup.properties"));
    EXPECT_EQ(written.get("projectName"), "demo");
    EXPECT_EQ(readFile(folder / "old.properties"), "type=server\nprojectName=old\n");

    harness.home.write("projects/dir/startup.properties/mine.txt", "kept");
    EXPECT_EQ(post(generateForm("dir")).getRedirectLocation(), statusOf("dir"));
    EXPECT_EQ(readFile(projectFolder("dir") / "startup.properties" / "mine.txt"), "kept");
    EXPECT_TRUE(fs::exists(projectFolder("dir") / "invocation.txt"));
}

}  // namespace
