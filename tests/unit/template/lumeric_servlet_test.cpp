// KxLumericServlet: templates from the application's "templates" folder,
// rendered as escaped HTML into the response, or not at all.
#include "platform/template/KxLumericServlet.h"

#include <gtest/gtest.h>

#include "support/ScratchDir.h"

namespace {

// Answers with the template named by the "page" parameter; "redirect" and
// "flush" make it redirect or send the response first.
class PageServlet : public KxLumericServlet {
  public:
    KxTemplate processRequest(KxHttpServletRequest& request, KxHttpServletResponse& response,
                              KxContext& context) override {
        context.put("who", request.getParameter("who"));
        if (request.hasParameter("redirect")) {
            response.sendRedirect("elsewhere");
        }
        if (request.hasParameter("flush")) {
            response.flush();
        }
        return parseFile(request.getParameter("page"));
    }
};

class LumericServlet : public testing::Test {
  protected:
    LumericServlet() : context(webapp.str()) {
        webapp.write("templates/hello.tl", "<p title=\"$who\">Hello $who</p>\n");
        context.setLogSink([this](const KxCString& line) { log.push_back(line); });
        servlet.init(KxServletConfig("pages", &context));
    }

    KxHttpServletResponse serve(const char* method,
                                std::vector<std::pair<KxCString, KxCString>> parameters) {
        KxHttpServletRequest request;
        request.setMethod(method);
        for (auto& [name, value] : parameters) {
            request.addParameter(name, value);
        }
        KxHttpServletResponse response;
        servlet.service(request, response);
        return response;
    }

    ScratchDir webapp;
    KxServletContext context;
    PageServlet servlet;
    std::vector<KxCString> log;
};

TEST_F(LumericServlet, RendersTheTemplateAsEscapedHtmlForGetAndPost) {
    EXPECT_EQ(servlet.getTemplateFactory().getTemplateDirectory(), webapp.str() + "/templates");
    for (const char* method : {"GET", "POST"}) {
        const KxHttpServletResponse response =
            serve(method, {{"page", "hello.tl"}, {"who", "<Tom & \"Jerry\">"}});
        EXPECT_EQ(response.getPayload(),
                  "<p title=\"&lt;Tom &amp; &quot;Jerry&quot;&gt;\">Hello &lt;Tom &amp; "
                  "&quot;Jerry&quot;&gt;</p>\n")
            << method;
        EXPECT_EQ(response.getContentType(), "text/html; charset=utf-8");
    }
    EXPECT_TRUE(log.empty());
}

TEST_F(LumericServlet, WritesNothingAfterARedirectOrAFlushOrForAMissingTemplate) {
    const KxHttpServletResponse redirected =
        serve("GET", {{"page", "hello.tl"}, {"redirect", "1"}});
    EXPECT_TRUE(redirected.isRedirect());
    EXPECT_FALSE(redirected.hasPayload());
    EXPECT_EQ(redirected.getContentType(), "");
    EXPECT_FALSE(serve("POST", {{"page", "hello.tl"}, {"flush", "1"}}).hasPayload());
    EXPECT_FALSE(serve("GET", {{"page", "nope.tl"}}).hasPayload());
    EXPECT_EQ(log,
              std::vector<KxCString>{"pages: template error: cannot read template 'nope.tl' in " +
                                     webapp.str() + "/templates"});
}

}  // namespace
