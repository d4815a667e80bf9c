#pragma once
// The protections of a container that serves one user on the local machine.
// A web page from anywhere can make the user's browser send requests to
// 127.0.0.1, so a request is only served when:
//   - its Host header names this server (its own name, localhost, 127.0.0.1,
//     [::1] or the bind address, with or without the port), which defeats
//     DNS rebinding;
//   - it is not sent from another site: "Sec-Fetch-Site: cross-site" and
//     "same-site" (another port of this host) are refused, and so is an
//     Origin header that is not this server's own origin;
//   - it proves it knows the access token printed at start: the kxtoken
//     cookie, an "Authorization: token <t>" header or a "token" query
//     parameter (which then sets the cookie).
// Tokens are compared in constant time.
//
// Browsers do not keep cookies apart by port: a cookie of 127.0.0.1 goes to
// every server on 127.0.0.1. So the server has a host name of its own under
// .localhost (which browsers resolve to loopback themselves), the address it
// prints uses it, and the token cookie is set and believed only on requests
// addressed to that name. A browser that brings the token parameter to one
// of the shared loopback names is sent on to the own name; other clients
// (whose resolver may not know .localhost names) are served on 127.0.0.1
// through the header or the parameter, without a cookie.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/container/KxHttpData.h"

namespace kx::container {

// Why a request is not served, as the answer says it.
struct KxRefusal {
    int status;
    std::string title;
    std::string text;
};

// Compares two texts in time that depends on their lengths only.
bool constantTimeEquals(std::string_view a, std::string_view b);

enum class KxTokenCheck {
    NotRequired,        // the container runs without a token
    Cookie,             // the kxtoken cookie is right, on the own name
    Header,             // the Authorization header is right
    Parameter,          // the token parameter is right, on the own name: set the cookie
    ParameterOnly,      // the token parameter is right, on another name: no cookie
    RedirectToOwnName,  // a browser brings the right parameter to another name
    Refused,            // none of them is right
};

// What of a request the token decision reads; absent header fields empty.
struct KxTokenRequest {
    std::string_view method = {};
    std::string_view host = {};  // the Host header as sent
    std::optional<std::string_view> cookie = {};
    std::optional<std::string_view> parameter = {};
    std::string_view authorization = {};
    bool navigation = false;  // see isBrowserNavigation
};

// Whether the request is a browser loading a page into a window: fetch
// metadata says so (Sec-Fetch-Mode: navigate, Sec-Fetch-Dest: document), or,
// from a browser too old to send it, Upgrade-Insecure-Requests: 1. Programs
// (curl, SOAP clients) send none of these.
bool isBrowserNavigation(std::string_view secFetchMode, std::string_view secFetchDest,
                         std::string_view upgradeInsecureRequests);

// Why name cannot be a server's own host name; nothing when it can: DNS
// labels (letters, digits, inner hyphens; 63 at most each, 253 in all)
// ending in ".localhost". "localhost" itself and addresses are refused: every
// server on this machine shares them, and so would get the cookie.
std::optional<std::string> ownHostNameProblem(std::string_view name);

// A fresh own host name: "orvo-" and 16 random hex digits under .localhost.
std::string randomOwnHostName();

// Whether an address to listen on is reached through loopback (127.0.0.0/8,
// ::1, localhost, or a wildcard address), where a .localhost name leads.
bool isLoopbackAddress(std::string_view address);

class KxSecurityChecks {
  public:
    static constexpr const char* kTokenCookie = "kxtoken";
    static constexpr const char* kTokenParameter = "token";

    // token empty: no token is required. ownName (lowercase, see
    // ownHostNameProblem) empty: the server has no name of its own, and the
    // cookie counts on every allowed host name.
    KxSecurityChecks(const std::string& bindAddress, unsigned short port, std::string token,
                     std::string ownName = {});

    // Host header value as sent.
    bool isHostAllowed(std::string_view host) const;
    // Whether the Host header names the server by its own name (with its
    // port or none); always true when it has none.
    bool isOwnHost(std::string_view host) const;
    // Origin header value as sent ("http://127.0.0.1:8080").
    bool isOriginAllowed(std::string_view origin) const;
    // Why a request with these headers (empty when absent) is refused as sent
    // from another site; nothing when it is not.
    std::optional<std::string> crossSiteRefusal(std::string_view secFetchSite,
                                                std::optional<std::string_view> origin) const;

    // The first refusal that needs no route, in the order the checks run:
    // exactly one Host header, naming this server; then not sent from
    // another site. Nothing when the request passes.
    std::optional<KxRefusal> refuseBeforeRouting(const KxHeaderList& headers) const;
    // The refusal of a request to a servlet without the access token.
    static KxRefusal missingToken();

    // The cookie (believed on the own name only), then the header, then the
    // parameter. A navigation by GET or HEAD with the right parameter on a
    // name other than the own one is redirected (RedirectToOwnName).
    KxTokenCheck checkToken(const KxTokenRequest& request) const;
    // Where RedirectToOwnName sends a request for target (path and query as
    // sent): the same target at http://<own name>:<port>.
    std::string ownNameLocation(std::string_view target) const;

    bool tokenRequired() const { return !token_.empty(); }
    const std::string& token() const { return token_; }
    // The Set-Cookie value that hands the token to the browser.
    std::string tokenCookieHeader() const;

    const std::vector<std::string>& allowedHosts() const { return hosts_; }
    const std::string& ownName() const { return ownName_; }

  private:
    bool isAllowedHostName(std::string_view name) const;

    std::vector<std::string> hosts_;  // lowercase, IPv6 in brackets
    unsigned short port_;
    std::string token_;
    std::string ownName_;
};

}  // namespace kx::container
