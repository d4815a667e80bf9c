#include "platform/servlet/KxServlet.h"

#include <iostream>

#include "platform/servlet/KxServletException.h"

KxServletContainer& KxServlet::getContainer() const {
    if (!containerContext_ || !containerContext_->getContainer()) {
        throw KxServletException("The servlet is not running in a container");
    }
    return *containerContext_->getContainer();
}

void KxGenericServlet::init(const KxServletConfig& config) {
    config_ = config;
    setContextForContainer(config.getServletContext());
    init();
}

void KxGenericServlet::log(const KxCString& message, const Kxxmsg& error) const {
    log(message + ": " + error.why());
}

void KxGenericServlet::log(const KxCString& message) const {
    if (KxServletContext* context = config_.getServletContext()) {
        context->log(config_.getServletName() + ": " + message);
    } else {
        std::clog << message << '\n';
    }
}

KxServletContext& KxGenericServlet::getServletContext() const {
    if (!config_.getServletContext()) {
        throw KxServletException("The servlet has no context before init");
    }
    return *config_.getServletContext();
}

void KxHttpServlet::service(KxServletRequest& request, KxServletResponse& response) {
    auto* httpRequest = dynamic_cast<KxHttpServletRequest*>(&request);
    auto* httpResponse = dynamic_cast<KxHttpServletResponse*>(&response);
    if (!httpRequest || !httpResponse) {
        throw KxServletException("KxHttpServlet serves HTTP requests only");
    }
    service(*httpRequest, *httpResponse);
}

void KxHttpServlet::service(KxHttpServletRequest& request, KxHttpServletResponse& response) {
    const KxCString& method = request.getMethod();
    if (method == "GET") {
        doGet(request, response);
    } else if (method == "POST") {
        doPost(request, response);
    } else if (method == "HEAD") {
        doHead(request, response);
    } else if (method == "PUT") {
        doPut(request, response);
    } else if (method == "DELETE") {
        doDelete(request, response);
    } else if (method == "OPTIONS") {
        doOptions(request, response);
    } else if (method == "TRACE") {
        doTrace(request, response);
    } else {
        response.setStatus(501);
        response.setContentType("text/plain");
        response.setPayload("Method not implemented: " + method + "\n");
    }
}

namespace {

void methodNotAllowed(const KxHttpServletRequest& request, KxHttpServletResponse& response) {
    response.setStatus(405);
    response.setContentType("text/plain");
    response.setPayload("Method not allowed: " + request.getMethod() + "\n");
}

}  // namespace

void KxHttpServlet::doGet(KxHttpServletRequest& request, KxHttpServletResponse& response) {
    methodNotAllowed(request, response);
}

void KxHttpServlet::doPost(KxHttpServletRequest& request, KxHttpServletResponse& response) {
    methodNotAllowed(request, response);
}

// HEAD answers like GET; the container sends the headers without the body.
void KxHttpServlet::doHead(KxHttpServletRequest& request, KxHttpServletResponse& response) {
    doGet(request, response);
}

void KxHttpServlet::doPut(KxHttpServletRequest& request, KxHttpServletResponse& response) {
    methodNotAllowed(request, response);
}

void KxHttpServlet::doDelete(KxHttpServletRequest& request, KxHttpServletResponse& response) {
    methodNotAllowed(request, response);
}

void KxHttpServlet::doOptions(KxHttpServletRequest&, KxHttpServletResponse& response) {
    response.setHeader("Allow", "GET, HEAD, POST, OPTIONS");
    response.markPayloadSet();
}

void KxHttpServlet::doTrace(KxHttpServletRequest& request, KxHttpServletResponse& response) {
    methodNotAllowed(request, response);
}

KxDateTime KxHttpServlet::getLastModified(KxHttpServletRequest&) const {
    return KxDateTime();
}
