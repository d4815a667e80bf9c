// The Stop button of the start page, through the real container. Which
// opers stop it is pinned by tests/unit/pages/home_page_test.cpp.
#include "support/ProductFixture.h"

namespace kxtest {
namespace {

using HomePage = ProductTest;

// Session values are objects of the servlet library, which the container
// unloads at the end: the sessions must go first.
TEST_F(HomePage, StopsCleanlyAfterWizardsStoredSettingsInTheSession) {
    start();
    ASSERT_EQ(get("/orvo/server").status, 200);
    ASSERT_EQ(get("/orvo/browse?tier=server").status, 200);
    const HttpResponse farewell = post("/orvo/index", "oper=shutdown");
    EXPECT_EQ(farewell.status, 200);
    EXPECT_NE(farewell.body.find("orvowizard has stopped"), std::string::npos);
    EXPECT_EQ(container.waitForExit(15s), std::optional<int>(0));
}

}  // namespace
}  // namespace kxtest
