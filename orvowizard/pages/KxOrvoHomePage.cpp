#include "orvowizard/pages/KxOrvoHomePage.h"

#include "orvowizard/common/KxFileUtilities.h"

KxTemplate KxOrvoHomePage::processRequest(KxHttpServletRequest& request,
                                          KxHttpServletResponse& response, KxContext& context) {
    const KxCString oper = request.getParameter("oper");
    if (oper == "shutdown") {
        try {
            // The farewell page leaves before the container stops.
            const KxCString farewell = getServletContext().getResourceData("goodbye.html");
            response.setContentType("text/html");
            // The farewell page carries its styles inline, since the server
            // is gone by the time the browser would fetch a stylesheet; it
            // runs no script.
            response.setHeader("Content-Security-Policy",
                               "default-src 'none'; style-src 'unsafe-inline'; "
                               "frame-ancestors 'none'");
            response.setPayload(farewell);
            response.flush();
            getContainer().shutdown();
            return KxTemplate();
        } catch (...) {
            // Whatever failed, the start page is shown instead and the
            // container keeps running.
        }
    }

    context.put("isOrvo", "ORVO");
    const KxCString home = homeDirectory();
    if (isNonEmptyFile(home + "\\" + "docs", "index.html")) {
        context.put("kxhome", home);
    }
    return parseFile("index.tl");
}
