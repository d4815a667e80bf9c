#pragma once
// The try-it page of a running service: tryit?dir=<project>&port=<name>
// lists the port's operations; with &op=<name> it shows a form made from
// the operation's input (from the project's operations.xml). Sending the
// form (a POST with action=send) makes the SOAP request, posts it to the
// service this container started for the project, and shows the request and
// the answer side by side, the answer's result or fault, and the time it
// took. The requests go only to the services the status page started, at
// the address this container gave them; nothing in the request names an
// address. The last request of each operation is kept in the session and
// fills the form when the operation is shown again; action=reset forgets it.
#include <chrono>
#include <cstddef>

#include "platform/template/KxLumericServlet.h"

class KxTryItPage : public KxLumericServlet {
  public:
    KxTryItPage() = default;
    ~KxTryItPage() override = default;

    KxTemplate processRequest(KxHttpServletRequest& request, KxHttpServletResponse& response,
                              KxContext& context) override;

    // How long a service may take to answer, and how much of its answer is
    // read.
    static constexpr std::chrono::seconds kAnswerTimeout{30};
    static constexpr std::size_t kMaxAnswer = 1024 * 1024;
};
