#include "orvowizard/pages/KxLoadProject.h"

#include "platform/servlet/KxProperties.h"

KxTemplate KxLoadProject::processRequest(KxHttpServletRequest& request,
                                         KxHttpServletResponse& response, KxContext&) {
    const KxCString project = request.getParameter("project");
    KxProperties properties;
    properties.load(project);
    const KxCString type = properties.get("type");
    // The wizard lives beside the loader under its type word; it checks the
    // file itself and reports what is wrong with it.
    response.sendRedirect(type + "?oper=load&projectFile=" + project);
    return KxTemplate();
}
