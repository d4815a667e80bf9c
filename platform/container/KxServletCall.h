#pragma once
// One servlet call: the HTTP request becomes a servlet request (parameters,
// headers, session), the servlet runs, and what it left in its response (or
// flushed early) becomes the HTTP answer, with the container's session and
// token cookies. Exceptions and empty answers become the container's error
// page; the container goes on serving.
#include <string>
#include <vector>

#include "platform/container/KxContainerLogs.h"
#include "platform/container/KxHttpData.h"
#include "platform/container/KxRequestMapping.h"
#include "platform/container/KxSessionStore.h"
#include "platform/servlet/KxServlet.h"

namespace kx::container {

class KxServletCall {
  public:
    // Every reference must outlive the call.
    KxServletCall(const KxRequestMapper& mapper, KxSessionStore& sessions, KxContainerLog& log)
        : mapper_(mapper), sessions_(sessions), log_(log) {}

    // Runs the servlet for the request and delivers the answer, with the
    // Set-Cookie values in cookies added.
    void run(KxServlet& servlet, const KxRoute& route, const KxHttpRequestData& request,
             const std::string& path, const std::string& query,
             const std::vector<std::string>& cookies, const KxDeliver& deliver);

    // The HTTP answer for what the servlet left in its response; a payload
    // file passes from the response to the answer, and so does the text
    // payload when the response is done with (takePayload), else it is
    // copied. Relative redirects resolve against servletAddress (context
    // path and servlet path).
    KxHttpResponseData toHttp(const std::string& servletName, const std::string& servletAddress,
                              KxHttpServletResponse& response, bool takePayload = false) const;

  private:
    KxHttpServletRequest servletRequest(const KxRoute& route, const KxHttpRequestData& data,
                                        const std::string& path, const std::string& query) const;

    const KxRequestMapper& mapper_;
    KxSessionStore& sessions_;
    KxContainerLog& log_;
};

}  // namespace kx::container
