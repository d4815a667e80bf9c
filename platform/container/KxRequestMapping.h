#pragma once
// Which servlet answers a path, and where a redirect leads. Paths here are
// already percent-decoded; the context path is the web application's prefix
// such as "/orvo" (the empty text for an application at the root).
//
// Under the context path:
//   ""  and "/"        the servlet mapped to "/" (or, without one, the servlet
//                      named "index"); "/" serves the context root only
//   "/static/NAME"     the file NAME of the application's static/ folder
//   "/NAME"            a servlet mapped to the exact pattern "/NAME"
//   "/NAME/REST"       a servlet mapped to the prefix pattern "/NAME/*"; the
//                      longest matching prefix wins
// "/" outside the context path leads to the context root; any other path
// outside it is not found.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx::container {

// One <servlet-mapping>: a url-pattern and the servlet it names.
struct KxUrlPattern {
    std::string pattern;
    std::string servletName;
};

struct KxRoute {
    enum class Kind { Servlet, Static, RedirectToContext, NotFound };

    Kind kind = Kind::NotFound;
    std::string servletName;
    // The part of the path that chose the servlet ("/server"), and the rest
    // after it, beginning with "/" ("/generate"; empty when there is none).
    std::string servletPath;
    std::string pathInfo;
    // For Kind::Static: the file's name relative to the static/ folder.
    std::string staticName;
};

// The context path as the container uses it: "/orvo/" and "orvo" become
// "/orvo", "/" becomes the empty text. Throws std::invalid_argument for a
// path with characters that have no place in it (blanks, "?", "#", "%").
std::string normaliseContextPath(std::string_view path);

// Whether a url-pattern is one the mapper understands: "/", "/NAME...",
// "/NAME.../*" or "/*".
bool isSupportedUrlPattern(std::string_view pattern);

class KxRequestMapper {
  public:
    // servletNames are the servlets the application declares (for the
    // "index" fallback); patterns that are not supported are ignored.
    KxRequestMapper(std::string contextPath, std::vector<KxUrlPattern> patterns,
                    std::vector<std::string> servletNames);

    const std::string& contextPath() const { return contextPath_; }

    KxRoute route(std::string_view decodedPath) const;

  private:
    KxRoute routeInContext(std::string_view relative) const;

    std::string contextPath_;
    std::vector<KxUrlPattern> exact_;
    std::vector<KxUrlPattern> prefixes_;  // pattern stored without "/*"
    std::optional<std::string> rootServlet_;
};

// The Location a redirect is sent with: an absolute URL (scheme://...) and a
// path beginning with "/" as they are; anything else relative to the
// servlet's own address (context path and servlet path, "/orvo/server"),
// whatever path info the request carried: "?query" and "#fragment" after
// that address, other text after its folder (up to its last "/"). No
// escaping is added. Nothing when location holds a CR, LF or NUL, which must
// never reach a header.
std::optional<std::string> resolveRedirectLocation(std::string_view servletAddress,
                                                   std::string_view location);

}  // namespace kx::container
