#pragma once
// What the container does with one complete HTTP request, apart from the
// network: the protections, the mapping to a servlet or a static file, and
// the translation between HTTP and the servlet classes (parameters,
// session, redirect, flush). Requests and answers are plain data here; the
// connection code turns them into and out of HTTP messages.
#include <functional>
#include <string>
#include <string_view>

#include "platform/container/KxContainerLogs.h"
#include "platform/container/KxHttpData.h"
#include "platform/container/KxRequestMapping.h"
#include "platform/container/KxSecurityChecks.h"
#include "platform/container/KxServletCall.h"
#include "platform/container/KxServletRegistry.h"
#include "platform/container/KxSessionStore.h"

namespace kx::container {

class KxRequestHandler {
  public:
    // Runs a servlet call (at once, or later when too many are running).
    using Submit = std::function<void(std::function<void()>)>;

    // Every reference must outlive the handler.
    KxRequestHandler(const KxRequestMapper& mapper, const KxSecurityChecks& security,
                     KxServletRegistry& servlets, KxSessionStore& sessions,
                     const KxServletContext& context, KxContainerLog& log, Submit submit);

    // Answers the request through deliver: at once when no servlet is
    // needed (refusals, redirect to the context, static files, not found),
    // else once the servlet ran.
    void handle(KxHttpRequestData request, KxDeliver deliver);

    // An answer of the container's own: a short HTML page.
    static KxHttpResponseData page(int status, std::string_view title, std::string_view text) {
        return containerPage(status, title, text);
    }

  private:
    // Answers what needs no servlet: the redirect to the context, not found
    // and static files. False when the route names a servlet.
    bool answerWithoutServlet(const KxHttpRequestData& request, const KxRoute& route,
                              const std::string& path, const std::string& query,
                              const KxDeliver& answer) const;
    void serveStatic(const KxHttpRequestData& request, const std::string& name,
                     const KxDeliver& deliver) const;

    const KxRequestMapper& mapper_;
    const KxSecurityChecks& security_;
    KxServletRegistry& servlets_;
    const KxServletContext& context_;
    KxServletCall call_;
    Submit submit_;
};

// Where a page may load from: its own server only, no inline script or
// style, never inside a frame. Set on every answer that has no policy of
// its own.
inline constexpr std::string_view kContentSecurityPolicy =
    "default-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'self'";

}  // namespace kx::container
