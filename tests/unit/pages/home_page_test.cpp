#include "orvowizard/pages/KxOrvoHomePage.h"

#include "PageFixture.h"

namespace {

class RecordingContainer : public KxServletContainer {
  public:
    void shutdown() override { ++stops; }
    int stops = 0;
};

class HomePage : public PageFixture<KxOrvoHomePage> {
  protected:
    HomePage() {
        harness.context().setContainer(&container);
        init();
    }
    const char* name() const override { return "index"; }
    // The start page's value of one name for a request with these parameters.
    KxContextObject shown(const char* name, const ServletHarness::Parameters& parameters = {}) {
        EXPECT_TRUE(run(parameters).isValid());
        return context->get(name);
    }
    RecordingContainer container;
};

TEST_F(HomePage, OffersTheDocumentationOnlyWhenItsStartPageHasContent) {
    EXPECT_EQ(shown("isOrvo").toString(), "ORVO");
    EXPECT_FALSE(shown("kxhome").isValid());
    harness.home.write("docs/index.html", "");
    EXPECT_FALSE(shown("kxhome").isValid());
    harness.home.write("docs/index.html", "<h1>Docs</h1>");
    EXPECT_EQ(shown("kxhome").toString(), harness.home.str());

    EXPECT_NE(harness.request(page, {}).getPayload().find("status/docs/index.html"),
              std::string::npos);
    EXPECT_EQ(container.stops, 0);
}

TEST_F(HomePage, ShutdownFlushesTheFarewellPageBeforeStoppingTheContainer) {
    KxCString sentBeforeStop;
    int stopsAtFlush = -1;
    KxHttpServletRequest request;
    request.addParameter("oper", "shutdown");
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
    EXPECT_TRUE(shown("isOrvo", {{"oper", "Shutdown"}}).isValid());
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
    orphan.service(request, response);
    EXPECT_EQ(container.stops, 0);
    EXPECT_FALSE(response.isCommitted());
    EXPECT_NE(response.getPayload().find("Stop server"), std::string::npos);
}

}  // namespace
