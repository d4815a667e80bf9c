#pragma once
// What the container does with one complete HTTP request, apart from the
// network: the protections, the mapping to a servlet or a static file, and
// the translation between HTTP and the servlet classes (parameters,
// session, redirect, flush). Requests and answers are plain data here; the
// connection code turns them into and out of HTTP messages.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/container/KxContainerLogs.h"
#include "platform/container/KxHttpConventions.h"
#include "platform/container/KxHttpData.h"
#include "platform/container/KxRequestMapping.h"
#include "platform/container/KxSecurityChecks.h"
#include "platform/container/KxServletCall.h"
#include "platform/container/KxServletRegistry.h"
#include "platform/container/KxSessionStore.h"
#include "platform/container/KxStaticFileCache.h"

namespace kx::container {

// Compressed static files kept in memory at most (style sheets and scripts
// are compressed once per version, not once per request).
inline constexpr std::size_t kGzipCacheSize = 16 * 1024 * 1024;

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

    // Whether text answers may be gzip-coded for clients that accept it
    // (on unless --gzip off). Set before the first request.
    void setGzip(bool on) { gzip_ = on; }

    // An answer of the container's own: a short HTML page.
    static KxHttpResponseData page(int status, std::string_view title, std::string_view text) {
        return containerPage(status, title, text);
    }

  private:
    // Answers what needs no servlet: the redirect to the context, not found
    // and static files. False when the route names a servlet.
    // takesGzip: the client accepts gzip and asks for no range.
    bool answerWithoutServlet(const KxHttpRequestData& request, const KxRoute& route,
                              const std::string& path, const std::string& query, bool takesGzip,
                              const KxDeliver& answer) const;
    void serveStatic(const KxHttpRequestData& request, const std::string& name, bool takesGzip,
                     const KxDeliver& deliver) const;
    // The answer for the version of the file found; nothing when it needs
    // the file's bytes and found holds neither its content nor the open file.
    std::optional<KxHttpResponseData> staticAnswer(const KxHttpRequestData& request,
                                                   const std::string& name,
                                                   const KxStaticLookup& found,
                                                   bool takesGzip) const;
    KxHttpResponseData staticHead(const KxStaticFile& file, bool coded) const;
    std::optional<KxHttpResponseData> staticBytes(const KxHttpRequestData& request,
                                                  const KxStaticLookup& found,
                                                  KxHttpResponseData response) const;
    // The gzip representation of a static file (cached per version); null
    // when it cannot be made. found holds the content or the open file.
    std::shared_ptr<const std::string> gzipStaticFile(const std::string& name,
                                                      const KxStaticLookup& found) const;

    const KxRequestMapper& mapper_;
    const KxSecurityChecks& security_;
    KxServletRegistry& servlets_;
    const KxServletContext& context_;
    KxServletCall call_;
    Submit submit_;
    bool gzip_ = true;
    mutable KxGzipCache gzipCache_{kGzipCacheSize};
    std::string staticFolder_;  // the native path of the static folder, with a final slash
    mutable KxStaticFileCache staticFiles_;
};

// Where a page may load from: its own server only, no inline script or
// style, never inside a frame. Set on every answer that has no policy of
// its own.
inline constexpr std::string_view kContentSecurityPolicy =
    "default-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'self'";

}  // namespace kx::container
