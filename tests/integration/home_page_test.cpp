// The Stop button of the start page, through the real container.
#include <csignal>
#include <filesystem>

#include "support/ProductFixture.h"

namespace kxtest {
namespace {

using HomePage = ProductTest;

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

}  // namespace
}  // namespace kxtest
