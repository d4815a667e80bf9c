#pragma once
// Reopens a saved project in the wizard that wrote it: reads the type of a
// startup.properties and sends the browser to that wizard with oper=load.
#include "platform/template/KxLumericServlet.h"

class KxLoadProject : public KxLumericServlet {
  public:
    KxLoadProject() = default;
    ~KxLoadProject() override = default;

    KxTemplate processRequest(KxHttpServletRequest& request, KxHttpServletResponse& response,
                              KxContext& context) override;

    // The tier under which the loader keeps its error message for the status
    // page.
    static constexpr const char* kErrorTier = "load";
};
