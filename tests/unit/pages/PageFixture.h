#pragma once
// A page servlet, initialised as the container does, with its context
// captured for each request.
#include <gtest/gtest.h>

#include <vector>

#include "orvowizard/common/KxSessionAccessors.h"
#include "support/Files.h"
#include "support/ServletHarness.h"

template <class Page>
class PageFixture : public testing::Test {
  protected:
    // The servlet's name in the log.
    virtual const char* name() const { return "page"; }

    // Runs processRequest for these parameters in the harness's session and
    // keeps the context it filled.
    KxTemplate run(const ServletHarness::Parameters& parameters, const std::string& pathInfo = "") {
        init();
        KxHttpServletRequest request = harness.makeRequest(parameters, "GET", pathInfo);
        response = KxHttpServletResponse();
        context = std::make_unique<KxContext>();
        return page.processRequest(request, response, *context);
    }

    // Initialises the page as the container does, once.
    void init() {
        if (!initialised_) {
            harness.init(page, name());
            initialised_ = true;
        }
    }

    std::string text(const char* name) const { return context->get(name).toString(); }

    // The body of the last answer, whether given as text or as a file.
    std::string body() const {
        if (response.getPayloadFile() < 0) {
            return response.getPayload();
        }
        return readFile("/proc/self/fd/" + std::to_string(response.getPayloadFile()));
    }

    // The values of one attribute over a list in the context.
    std::vector<std::string> column(const char* list, const char* attribute) const {
        std::vector<std::string> values;
        for (auto e = context->get(list).getAsEnumeration(); e.hasMoreElements();) {
            const KxContextObject element = e.nextElement();
            values.push_back(attribute ? element.getAttribute(attribute).toString()
                                       : element.toString());
        }
        return values;
    }

    ServletHarness harness;
    Page page;
    KxHttpServletResponse response;
    std::unique_ptr<KxContext> context;

  private:
    bool initialised_ = false;
};

using Names = std::vector<std::string>;
