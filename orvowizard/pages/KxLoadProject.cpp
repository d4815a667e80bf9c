#include "orvowizard/pages/KxLoadProject.h"

#include <algorithm>
#include <array>
#include <iostream>
#include <string_view>

#include "orvowizard/common/KxSessionAccessors.h"
#include "platform/base/KxText.h"
#include "platform/os/KxOs.h"
#include "platform/servlet/KxProperties.h"

namespace {

// The wizards beside the loader, by the type word their files carry.
constexpr std::array<std::string_view, 4> kWizardTypes = {"server", "client", "foundation",
                                                          "tavrin"};

}  // namespace

KxTemplate KxLoadProject::processRequest(KxHttpServletRequest& request,
                                         KxHttpServletResponse& response, KxContext&) {
    const KxCString project = request.getParameter("project");
    KxProperties properties;
    const bool loaded = properties.load(project);
    const KxCString type = properties.get("type");
    // The wizard lives beside the loader under its type word and checks the
    // file itself. Any other type would send the browser wherever the file
    // says (another site, or the loader itself in a loop), so the loader
    // sends it only to a wizard and otherwise explains on the error page.
    if (std::find(kWizardTypes.begin(), kWizardTypes.end(), type) == kWizardTypes.end()) {
        const KxCString message =
            !loaded ? "Cannot read the project file " + project +
                          " (it must be a readable regular file of at most " +
                          std::to_string(kx::os::kWholeFileLimit / (1024 * 1024)) + " MB)"
            : type.empty() ? "The project file " + project + " names no wizard (no type)"
                           : "The project file " + project + " is for no wizard: type " + type;
        std::cout << "Error: " << message << std::endl;
        setSessionString(request.getSession(1), "errorMessage", message, kErrorTier, false);
        response.sendRedirect(KxCString("status?tier=") + kErrorTier);
        return KxTemplate();
    }
    response.sendRedirect(type + "?oper=load&projectFile=" + kx::urlEncoded(project));
    return KxTemplate();
}
