#include "platform/template/KxLumericServlet.h"

void KxLumericServlet::init() {
    const KxServletContext* context = getServletConfig().getServletContext();
    if (context && !context->getWebAppDirectory().empty()) {
        templateFactory_.setTemplateDirectory(context->getWebAppDirectory() + "/templates");
    }
    templateFactory_.setLogSink([this](const KxCString& message) { log(message); });
}

void KxLumericServlet::doGet(KxHttpServletRequest& request, KxHttpServletResponse& response) {
    handle(request, response);
}

void KxLumericServlet::doPost(KxHttpServletRequest& request, KxHttpServletResponse& response) {
    handle(request, response);
}

// A redirected or already sent response keeps what it has; an invalid
// template writes nothing and leaves the empty answer to the container.
void KxLumericServlet::handle(KxHttpServletRequest& request, KxHttpServletResponse& response) {
    KxContext context;
    const KxTemplate page = processRequest(request, response, context);
    if (!page.isValid() || response.isRedirect() || response.isCommitted()) {
        return;
    }
    KxCString text;
    page.render(text, context, KxTemplate::Escaping::Html);
    if (response.getContentType().empty()) {
        response.setContentType("text/html; charset=utf-8");
    }
    response.setPayload(std::move(text));
}
