// The start page and the Stop button, through the real container.
#include <csignal>
#include <filesystem>

#include "support/ProductFixture.h"

namespace kxtest {
namespace {

using HomePage = ProductTest;

TEST_F(HomePage, StartPageLinksTheDocumentationWhenTheHomeHasIt) {
    start(true);
    const HttpResponse page = get("/orvo/");
    ASSERT_EQ(page.status, 200) << page.body;
    EXPECT_NE(page.body.find("href=\"server\""), std::string::npos);
    EXPECT_NE(page.body.find("status/docs/index.html"), std::string::npos);
    EXPECT_EQ(page.header("X-Content-Type-Options"), "nosniff");

    const HttpResponse docs = get("/orvo/status/docs/index.html");
    EXPECT_EQ(docs.status, 200);
    EXPECT_NE(docs.body.find("<title>orvowizard documentation</title>"), std::string::npos);
}

TEST_F(HomePage, StartPageWithoutDocumentation) {
    start(false);
    const HttpResponse page = get("/orvo/index");
    ASSERT_EQ(page.status, 200);
    EXPECT_EQ(page.body.find("status/docs/index.html"), std::string::npos);
}

TEST_F(HomePage, OnlyTheExactShutdownStopsTheContainer) {
    start();
    EXPECT_EQ(post("/orvo/index", "oper=Shutdown").status, 200);
    EXPECT_EQ(get("/orvo/").status, 200) << "still serving";

    const HttpResponse farewell = post("/orvo/index", "oper=shutdown");
    EXPECT_EQ(farewell.status, 200);
    EXPECT_NE(farewell.body.find("orvowizard has stopped"), std::string::npos);
    EXPECT_EQ(container.waitForExit(15s), std::optional<int>(0));
}

TEST_F(HomePage, StopsCleanlyAfterWizardsStoredSettingsInTheSession) {
    // Session values are objects of the servlet library, which the container
    // unloads at the end: the sessions must go first.
    start();
    ASSERT_EQ(get("/orvo/server").status, 200);
    ASSERT_EQ(get("/orvo/browse?tier=server").status, 200);
    container.signal(SIGTERM);
    EXPECT_EQ(container.waitForExit(15s), std::optional<int>(0));
}

TEST_F(HomePage, AMissingFarewellPageLeavesTheContainerRunning) {
    start();
    std::filesystem::remove(webapp.path() / "goodbye.html");
    const HttpResponse page = post("/orvo/index", "oper=shutdown");
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("Stop server"), std::string::npos) << "the start page instead";
    EXPECT_EQ(get("/orvo/").status, 200);
}

}  // namespace
}  // namespace kxtest
