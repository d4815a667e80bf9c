#pragma once
// The start page: links every wizard and page, and carries the one operation
// that stops the whole container.
#include "platform/template/KxLumericServlet.h"

class KxOrvoHomePage : public KxLumericServlet {
  public:
    KxOrvoHomePage() = default;
    ~KxOrvoHomePage() override = default;

    KxTemplate processRequest(KxHttpServletRequest& request, KxHttpServletResponse& response,
                              KxContext& context) override;
};
