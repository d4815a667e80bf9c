#include "orvowizard/pages/KxLoadProject.h"

#include "PageFixture.h"

namespace {

using ProjectLoader = PageFixture<KxLoadProject>;

TEST_F(ProjectLoader, RedirectsToTheWizardThatWroteTheFile) {
    const std::string server =
        harness.home.write("projects/my demo/startup.properties", "type=server\n");
    const std::string tavrin = harness.home.write("projects/t/startup.properties", "type=tavrin\n");
    const std::string untyped =
        harness.home.write("projects/u/startup.properties", "version=1.2\n");
    const std::pair<std::string, std::string> cases[] = {
        {server, "server?oper=load&projectFile=" + server},
        {tavrin, "tavrin?oper=load&projectFile=" + tavrin},
        {untyped, "?oper=load&projectFile=" + untyped},
        {"C:\\work\\demo\\startup.properties",
         "?oper=load&projectFile=C:\\work\\demo\\startup.properties"},
    };
    for (const auto& [project, target] : cases) {
        EXPECT_FALSE(run({{"project", project}}).isValid());
        EXPECT_EQ(response.getRedirectLocation(), target);
    }
}

}  // namespace
