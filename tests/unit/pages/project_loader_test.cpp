#include "orvowizard/pages/KxLoadProject.h"

#include <filesystem>

#include "PageFixture.h"
#include "platform/base/KxText.h"
#include "platform/os/KxOs.h"

namespace {

using ProjectLoader = PageFixture<KxLoadProject>;

TEST_F(ProjectLoader, RedirectsToTheWizardThatWroteTheFile) {
    const std::string server =
        harness.home.write("projects/c++ demo/startup.properties", "type=server\n");
    const std::string tavrin = harness.home.write("projects/t/startup.properties", "type=tavrin\n");
    for (const auto& [project, type] : {std::pair{server, "server"}, std::pair{tavrin, "tavrin"}}) {
        EXPECT_FALSE(run({{"project", project}}).isValid());
        EXPECT_EQ(response.getRedirectLocation(),
                  type + ("?oper=load&projectFile=" + kx::urlEncoded(project)));
    }
}

TEST_F(ProjectLoader, SendsTheBrowserNowhereButToAWizard) {
    const std::string untyped =
        harness.home.write("projects/u/startup.properties", "version=1.2\n");
    const std::string foreign =
        harness.home.write("projects/f/startup.properties", "type=https://evil.example/x\n");
    const std::string huge = harness.home / "huge.properties";
    std::filesystem::resize_file(harness.home.write("huge.properties", ""),
                                 kx::os::kWholeFileLimit + 1);
    const std::pair<std::string, std::string> cases[] = {
        {untyped, "names no wizard"},
        {foreign, "is for no wizard: type https://evil.example/x"},
        {"/dev/zero", "Cannot read the project file /dev/zero"},
        {huge, "Cannot read the project file"},
        {harness.home / "missing.properties", "Cannot read the project file"},
    };
    for (const auto& [project, message] : cases) {
        run({{"project", project}});
        EXPECT_EQ(response.getRedirectLocation(), "status?tier=load") << project;
        EXPECT_NE(getSessionString(*harness.session, "errorMessage", "load").find(message),
                  std::string::npos)
            << project;
    }
}

}  // namespace
