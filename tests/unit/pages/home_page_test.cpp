#include "orvowizard/pages/KxOrvoHomePage.h"

#include <gtest/gtest.h>

#include "support/ServletHarness.h"

namespace {

class RecordingContainer : public KxServletContainer {
  public:
    void shutdown() override { ++stops; }
    int stops = 0;
};

class HomePage : public testing::Test {
  protected:
    HomePage() {
        harness.context().setContainer(&container);
        harness.init(page, "index");
    }

    // The start page's context for a request with these parameters.
    std::unique_ptr<KxContext> startPageContext(const ServletHarness::Parameters& parameters) {
        KxHttpServletRequest request;
        for (const auto& [name, value] : parameters) {
            request.addParameter(name, value);
        }
        KxHttpServletResponse response;
        auto context = std::make_unique<KxContext>();
        EXPECT_TRUE(page.processRequest(request, response, *context).isValid());
        return context;
    }

    RecordingContainer container;
    ServletHarness harness;
    KxOrvoHomePage page;
};

TEST_F(HomePage, OffersTheDocumentationOnlyWhenItsStartPageHasContent) {
    EXPECT_EQ(startPageContext({})->get("isOrvo").toString(), "ORVO");
    EXPECT_FALSE(startPageContext({})->get("kxhome").isValid());
    harness.home.write("docs/index.html", "");
    EXPECT_FALSE(startPageContext({})->get("kxhome").isValid());
    harness.home.write("docs/index.html", "<h1>Docs</h1>");
    EXPECT_EQ(startPageContext({})->get("kxhome").toString(), harness.home.str());

    const auto response = harness.request(page, {});
    EXPECT_NE(response.getPayload().find("status/docs/index.html"), std::string::npos);
    EXPECT_EQ(container.stops, 0);
}

TEST_F(HomePage, ShutdownFlushesTheFarewellPageBeforeStoppingTheContainer) {
    KxCString sentBeforeStop;
    int stopsAtFlush = -1;
    KxHttpServletRequest request;
    request.addParameter("oper", "shutdown");
    KxHttpServletResponse response;
    response.setFlushHandler([&](KxServletResponse& flushed) {
        sentBeforeStop = flushed.getPayload();
        stopsAtFlush = container.stops;
    });
    page.service(request, response);

    EXPECT_EQ(container.stops, 1);
    EXPECT_EQ(stopsAtFlush, 0);
    EXPECT_NE(sentBeforeStop.find("orvowizard has stopped"), std::string::npos);
    EXPECT_EQ(response.getContentType(), "text/html");
}

TEST_F(HomePage, AnyOtherOperOrAFailingShutdownShowsTheStartPage) {
    EXPECT_TRUE(startPageContext({{"oper", "Shutdown"}})->get("isOrvo").isValid());
    EXPECT_EQ(container.stops, 0);

    // Without its farewell resource the shutdown is abandoned.
    KxServletContext bare("/nonexistent/webapp");
    bare.setContainer(&container);
    KxOrvoHomePage orphan;
    orphan.init(KxServletConfig("index", &bare));
    orphan.getTemplateFactory().setTemplateDirectory(std::string(KX_SOURCE_DIR) +
                                                     "/webapp/templates");
    KxHttpServletRequest request;
    request.addParameter("oper", "shutdown");
    KxHttpServletResponse response;
    orphan.service(request, response);
    EXPECT_EQ(container.stops, 0);
    EXPECT_FALSE(response.isCommitted());
    EXPECT_NE(response.getPayload().find("Stop server"), std::string::npos);
}

}  // namespace
