#pragma once
// The protections of a container that serves one user on the local machine.
// A web page from anywhere can make the user's browser send requests to
// 127.0.0.1, so a request is only served when:
//   - its Host header names this server (localhost, 127.0.0.1, [::1] or the
//     bind address, with or without the port), which defeats DNS rebinding;
//   - it is not sent from another site: "Sec-Fetch-Site: cross-site" and
//     "same-site" (another port of this host) are refused, and so is an
//     Origin header that is not this server's own origin;
//   - it proves it knows the access token printed at start: the kxtoken
//     cookie, an "Authorization: token <t>" header or a "token" query
//     parameter (which then sets the cookie).
// Tokens are compared in constant time.
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
    NotRequired,  // the container runs without a token
    Cookie,       // the kxtoken cookie is right
    Header,       // the Authorization header is right
    Parameter,    // the token parameter is right: set the cookie
    Refused,      // none of them is right
};

class KxSecurityChecks {
  public:
    static constexpr const char* kTokenCookie = "kxtoken";
    static constexpr const char* kTokenParameter = "token";

    // token empty: no token is required.
    KxSecurityChecks(const std::string& bindAddress, unsigned short port, std::string token);

    // Host header value as sent.
    bool isHostAllowed(std::string_view host) const;
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

    KxTokenCheck checkToken(std::optional<std::string_view> cookie,
                            std::optional<std::string_view> parameter,
                            std::string_view authorization) const;

    bool tokenRequired() const { return !token_.empty(); }
    const std::string& token() const { return token_; }
    // The Set-Cookie value that hands the token to the browser.
    std::string tokenCookieHeader() const;

    const std::vector<std::string>& allowedHosts() const { return hosts_; }

  private:
    bool isAllowedHostName(std::string_view name) const;

    std::vector<std::string> hosts_;  // lowercase, IPv6 in brackets
    unsigned short port_;
    std::string token_;
};

}  // namespace kx::container
