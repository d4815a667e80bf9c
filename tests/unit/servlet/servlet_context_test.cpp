#include "platform/servlet/KxServletContext.h"

#include <gtest/gtest.h>

#include "platform/servlet/KxServlet.h"
#include "platform/servlet/KxServletException.h"
#include "support/ScratchDir.h"

namespace {

TEST(KxServletContext, MimeTypesByExtensionAndResourcesFromTheApplicationFolderOnly) {
    KxServletContext context;
    EXPECT_EQ(context.getMimeType("/docs/index.html"), "text/html");
    EXPECT_EQ(context.getMimeType("style.CSS"), "text/css");
    EXPECT_EQ(context.getMimeType("logo.svg"), "image/svg+xml");
    EXPECT_EQ(context.getMimeType("Stock.cpp"), "");
    EXPECT_EQ(context.getMimeType("dir.d/makefile"), "");
    EXPECT_EQ(context.getMimeType("no-extension"), "");

    // Resources are read from the application folder only.
    ScratchDir webapp;
    webapp.write("goodbye.html", "<p>Goodbye</p>");
    webapp.write("../outside.txt", "secret");
    KxServletContext app(webapp.str());
    EXPECT_EQ(app.getResourceData("goodbye.html"), "<p>Goodbye</p>");
    EXPECT_THROW(app.getResourceData("missing.html"), KxServletException);
    EXPECT_THROW(app.getResourceData("../outside.txt"), KxServletException);
    EXPECT_THROW(app.getResourceData("a\\..\\..\\outside.txt"), KxServletException);
}

class EchoServlet : public KxHttpServlet {
  public:
    void doGet(KxHttpServletRequest&, KxHttpServletResponse& response) override {
        response.setPayload("get");
    }
};

class FakeContainer : public KxServletContainer {
  public:
    void shutdown() override { ++stops; }
    int stops = 0;
};

TEST(KxHttpServlet, DispatchesByMethodAndReachesItsContainerAndLog) {
    EchoServlet servlet;
    EXPECT_THROW(servlet.getContainer(), KxServletException);

    KxServletContext context;
    FakeContainer container;
    std::vector<KxCString> logged;
    context.setContainer(&container);
    context.setLogSink([&](const KxCString& line) { logged.push_back(line); });
    servlet.init(KxServletConfig("echo", &context));

    KxHttpServletRequest request;
    KxHttpServletResponse response;
    static_cast<KxServlet&>(servlet).service(request, response);
    EXPECT_EQ(response.getPayload(), "get");

    KxHttpServletRequest post;
    post.setMethod("POST");
    KxHttpServletResponse refused;
    servlet.service(post, refused);
    EXPECT_EQ(refused.getStatus(), 405);

    servlet.getContainer().shutdown();
    EXPECT_EQ(container.stops, 1);
    servlet.log("svcgen command line:");
    EXPECT_EQ(logged, std::vector<KxCString>{"echo: svcgen command line:"});
}

}  // namespace
