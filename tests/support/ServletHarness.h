#pragma once
// Runs servlets of the system the way the container does, without HTTP: a
// servlet context on the real web application (its templates), one browser
// session kept across requests, the servlet log captured, and a scratch
// product home in KX_HOME.
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/servlet/KxServlet.h"
#include "support/ScopedEnv.h"
#include "support/ScratchDir.h"

#ifndef KX_SOURCE_DIR
#error "KX_SOURCE_DIR must name the source tree"
#endif

class ServletHarness {
  public:
    using Parameters = std::vector<std::pair<std::string, std::string>>;

    ServletHarness()
        : context_(std::string(KX_SOURCE_DIR) + "/webapp"), homeEnv_("KX_HOME", home.str()) {
        home.mkdir("projects");
        home.mkdir("examples");
        context_.setLogSink([this](const KxCString& line) {
            std::lock_guard lock(logMutex_);
            log.push_back(line);
        });
    }

    // Initialises a servlet as the container does.
    void init(KxServlet& servlet, const std::string& name) {
        servlet.init(KxServletConfig(name, &context_));
    }

    // A request in the harness's browser session (made on first use).
    KxHttpServletRequest makeRequest(const Parameters& parameters,
                                     const std::string& method = "GET",
                                     const std::string& pathInfo = "") {
        KxHttpServletRequest request;
        request.setMethod(method);
        request.setPathInfo(pathInfo);
        for (const auto& [name, value] : parameters) {
            request.addParameter(name, value);
        }
        if (session) {
            session->setNew(false);
            request.setSession(session);
        }
        request.setSessionProvider([this] {
            session = std::make_shared<KxHttpSession>("harness");
            return session;
        });
        return request;
    }

    // One request to the servlet in the harness's browser session.
    KxHttpServletResponse request(KxServlet& servlet, const Parameters& parameters,
                                  const std::string& method = "GET",
                                  const std::string& pathInfo = "") {
        KxHttpServletRequest request = makeRequest(parameters, method, pathInfo);
        KxHttpServletResponse response;
        servlet.service(request, response);
        return response;
    }

    KxServletContext& context() { return context_; }

    ScratchDir home;
    std::shared_ptr<KxHttpSession> session;
    std::vector<KxCString> log;

  private:
    std::mutex logMutex_;
    KxServletContext context_;
    ScopedEnv homeEnv_;
};
