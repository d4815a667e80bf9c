#pragma once
// What the container does with one complete HTTP request, apart from the
// network: the protections, the mapping to a servlet or a static file, and
// the translation between HTTP and the servlet classes (parameters,
// session, redirect, flush). Requests and answers are plain data here; the
// connection code turns them into and out of HTTP messages.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/container/KxContainerLogs.h"
#include "platform/container/KxRequestMapping.h"
#include "platform/container/KxSecurityChecks.h"
#include "platform/container/KxServletRegistry.h"
#include "platform/container/KxSessionStore.h"

namespace kx::container {

using KxHeaderList = std::vector<std::pair<std::string, std::string>>;

struct KxHttpRequestData {
    std::string method = "GET";
    std::string target;  // as sent: path and query
    KxHeaderList headers;
    std::string body;

    // The first value of the header (names compare without regard to case);
    // nothing when absent.
    std::optional<std::string> findHeader(std::string_view name) const;
    std::string header(std::string_view name) const { return findHeader(name).value_or(""); }
};

// An open regular file sent as the body; its descriptor closes with the
// last answer that holds it, unless the connection took it over.
class KxBodyFile {
  public:
    explicit KxBodyFile(int fd) : fd_(fd) {}
    KxBodyFile(const KxBodyFile&) = delete;
    KxBodyFile& operator=(const KxBodyFile&) = delete;
    ~KxBodyFile();

    int fd() const { return fd_; }
    // The descriptor, now the caller's to close.
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

struct KxHttpResponseData {
    int status = 200;
    KxHeaderList headers;
    std::string body;
    // When set, the body is this file's content, read piecewise as it is
    // sent; body is unused then.
    std::shared_ptr<KxBodyFile> file;
    // HEAD: the header fields (with the body's length) are sent, the body not.
    bool omitBody = false;

    std::optional<std::string> findHeader(std::string_view name) const;
    // Replaces every header of that name (compared without regard to case).
    void setHeader(std::string name, std::string value);
};

// Hands the answer to the connection; called exactly once per request, on
// whatever thread has it ready.
using KxDeliver = std::function<void(KxHttpResponseData)>;

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
    static KxHttpResponseData page(int status, std::string_view title, std::string_view text);

  private:
    void serveStatic(const KxHttpRequestData& request, const std::string& name,
                     const KxDeliver& deliver) const;
    void runServlet(KxServlet& servlet, const KxRoute& route, const KxHttpRequestData& request,
                    const std::string& path, const std::string& query,
                    const std::vector<std::string>& cookies, const KxDeliver& deliver);
    // The HTTP answer for what the servlet left in its response; a payload
    // file passes from the response to the answer. Relative redirects
    // resolve against servletAddress (context path and servlet path).
    KxHttpResponseData toHttp(const std::string& servletName, const std::string& servletAddress,
                              KxHttpServletResponse& response) const;

    const KxRequestMapper& mapper_;
    const KxSecurityChecks& security_;
    KxServletRegistry& servlets_;
    KxSessionStore& sessions_;
    const KxServletContext& context_;
    KxContainerLog& log_;
    Submit submit_;
};

// Where a page may load from: its own server only, no inline script or
// style, never inside a frame. Set on every answer that has no policy of
// its own.
inline constexpr std::string_view kContentSecurityPolicy =
    "default-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'self'";

}  // namespace kx::container
