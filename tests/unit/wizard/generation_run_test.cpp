// Generation runs and saving: the project directory, startup.properties, the
// generator's command line, its working directory and the redirect.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "WizardFixture.h"
#include "orvowizard/common/KxFileUtilities.h"
#include "platform/servlet/KxProperties.h"

namespace {

using GenerationRun = WizardFixture<>;

TEST_F(GenerationRun, RunsSvcgenInTheProjectDirectoryAndRedirectsToTheStatusPage) {
    harness.home.write("projects/demo/errors.xml", "<Error><message>old</message></Error>");
    const std::string before = getCurrentDir().c_str();

    const auto response = post(generateForm("demo"));

    const std::string projectPath = projectsDir() + "\\demo";
    EXPECT_EQ(response.getRedirectLocation(),
              "status?dir=" + kx::urlEncoded(projectPath) + "&tier=server");
    EXPECT_EQ(std::string(getCurrentDir().c_str()), before);

    ASSERT_EQ(harness.log.size(), 2u);
    EXPECT_NE(harness.log[1].find("-DkeepProject=true \"" + input + "\" > orvowizard.txt"),
              std::string::npos);

    const auto folder = projectFolder("demo");
    // Empty pieces of the command line give no words, as in a shell.
    EXPECT_EQ(readFile(folder / "invocation.txt"),
              folder.string() + "\n[-properties]\n[" + projectPath +
                  "\\startup.properties]\n[-compiler]\n[redhat-icc]\n[-DkeepProject=true]\n[" +
                  input + "]\n");
    EXPECT_EQ(readFile(folder / "orvowizard.txt"), "svcgen ran\n");
    EXPECT_EQ(readFile(folder / "errors.xml"), "") << "an earlier run's errors are gone";
}

TEST_F(GenerationRun, APlatformOutsideTheTableLeavesTheCompilerOut) {
    auto form = generateForm("demo");
    form.emplace_back("properties", "-Dtrace=on");
    for (auto& [name, value] : form) {
        if (name == "compileros")
            value = "Plan 9/kencc";
    }
    post(form);
    ASSERT_EQ(harness.log.size(), 2u);
    EXPECT_NE(harness.log[1].find("startup.properties\" -Dtrace=on  -DkeepProject=true \""),
              std::string::npos)
        << harness.log[1];
    KxProperties written;
    written.load(projectFolder("demo") / "startup.properties");
    EXPECT_EQ(written.get("compiler"), "");
}

TEST_F(GenerationRun, SavedProjectLoadsBackIntoTheWizard) {
    auto form = generateForm("demo");
    form.emplace_back("type", "Save");
    form.emplace_back("outDir", "out\\gen");
    form.emplace_back("ssl", "on");
    post(form);

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
    const std::string client = harness.home.write("c.properties", "type=client\n");
    get({{"oper", "load"}, {"projectFile", client}});
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
    // Two request threads, each with a directory of its own as the container
    // gives them, generate at the same time into two projects.
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
// generator's arguments or name a file outside the project are refused before
// anything is written, whether typed into the form or found in a loaded file.
TEST_F(GenerationRun, HostileSettingsAreRefusedBeforeAnythingIsWritten) {
    struct Case {
        const char* field;
        std::string value;
        const char* message;
    };
    const Case cases[] = {
        {"projectName", "../../outside", "must be a plain file name"},
        {"projectName", "pn\\evil", "must be a plain file name"},
        {"projectName", "pn\"x", "must not contain a double quote"},
        {"outDir", "out\noutDir=/tmp", "must not contain line breaks"},
        {"filename", "a.wsdl\tx", "control characters"},
        {"properties", "-Dx=\"open", "leaves a double quote open"},
        {"projectDir", std::string(5000, 'd'), "is longer than 4096"},
    };
    testing::internal::CaptureStdout();
    for (const Case& c : cases) {
        get({{"type", "Reset"}, {"tier", "server"}});
        auto form = generateForm("demo");
        for (auto& [name, value] : form) {
            if (name == c.field)
                value = c.value;
        }
        if (std::none_of(form.begin(), form.end(), [&](auto& f) { return f.first == c.field; }))
            form.emplace_back(c.field, c.value);
        const auto response = post(form);
        EXPECT_EQ(response.getRedirectLocation(), "status?tier=server") << c.field;
        EXPECT_NE(setting("errorMessage").find(c.message), std::string::npos)
            << c.field << ": " << setting("errorMessage");
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
    EXPECT_FALSE(std::filesystem::exists(projectFolder("demo")));
    EXPECT_FALSE(std::filesystem::exists(harness.home / "outside"));
}

// A project folder prepared with links in place of the files a run writes:
// the run replaces the links and leaves their targets alone.
TEST_F(GenerationRun, LinksPlantedInTheProjectAreReplacedNotWrittenThrough) {
    const auto folder = projectFolder("demo");
    std::filesystem::create_directories(folder);
    const std::string target = harness.home.write("precious.txt", "keep me");
    for (const char* name : {"errors.xml", "orvowizard.txt", "startup.properties"}) {
        std::filesystem::create_symlink(target, folder / name);
    }
    post(generateForm("demo"));
    EXPECT_EQ(readFile(target), "keep me");
    // Nor may the project folder itself be a link to another place.
    std::filesystem::create_directory_symlink(harness.home.path(), folder.parent_path() / "away");
    testing::internal::CaptureStdout();
    post(generateForm("away"));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(setting("errorMessage"),
              "Couldn't create project directory: the project folder is a symbolic link");
    EXPECT_FALSE(std::filesystem::exists(harness.home / "startup.properties"));
    for (const char* name : {"errors.xml", "orvowizard.txt", "startup.properties"}) {
        EXPECT_TRUE(
            std::filesystem::is_regular_file(std::filesystem::symlink_status(folder / name)))
            << name;
    }
    EXPECT_EQ(readFile(folder / "orvowizard.txt"), "svcgen ran\n");
}

// Save writes startup.properties through the atomic replacement: a second
// name for the old file keeps the old content.
TEST_F(GenerationRun, SaveReplacesStartupPropertiesWhole) {
    harness.home.write("projects/demo/startup.properties", "type=server\nprojectName=old\n");
    const auto folder = projectFolder("demo");
    std::filesystem::create_hard_link(folder / "startup.properties", folder / "old.properties");
    auto form = generateForm("demo");
    form.emplace_back("type", "Save");
    post(form);
    KxProperties written;
    ASSERT_TRUE(written.load(folder / "startup.properties"));
    EXPECT_EQ(written.get("projectName"), "demo");
    EXPECT_EQ(readFile(folder / "old.properties"), "type=server\nprojectName=old\n");
}

// What cannot be written stays as it was, and the run goes on as before.
TEST_F(GenerationRun, AStartupPropertiesThatCannotBeWrittenChangesNothing) {
    harness.home.write("projects/demo/startup.properties/mine.txt", "kept");
    const auto response = post(generateForm("demo"));
    EXPECT_EQ(response.getRedirectLocation(),
              "status?dir=" + kx::urlEncoded(projectsDir() + "\\demo") + "&tier=server");
    EXPECT_EQ(readFile(projectFolder("demo") / "startup.properties" / "mine.txt"), "kept");
    EXPECT_TRUE(std::filesystem::exists(projectFolder("demo") / "invocation.txt"));
}

}  // namespace
