#include "platform/container/KxSecurityChecks.h"

#include "platform/base/KxText.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace kx::container {

namespace {

// Splits "host[:port]" ("[::1]:8080" for IPv6); port 0 when absent, nothing
// when the port is not a number.
std::optional<std::pair<std::string_view, unsigned>> splitAuthority(std::string_view authority) {
    std::string_view host = authority;
    std::string_view port;
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        host = authority.substr(0, close + 1);
        const std::string_view rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') {
                return std::nullopt;
            }
            port = rest.substr(1);
        }
    } else if (const auto colon = authority.rfind(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    unsigned number = 0;
    if (!port.empty()) {
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
        if (error != std::errc() || end != port.data() + port.size() || number > 65535) {
            return std::nullopt;
        }
    } else if (authority.size() != host.size()) {
        return std::nullopt;  // "host:" with nothing after the colon
    }
    return std::make_pair(host, number);
}

}  // namespace

bool constantTimeEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return difference == 0;
}

KxSecurityChecks::KxSecurityChecks(const std::string& bindAddress, unsigned short port,
                                   std::string token)
    : hosts_{"localhost", "127.0.0.1", "[::1]"}, port_(port), token_(std::move(token)) {
    std::string bind = toLowerAscii(bindAddress);
    if (bind.find(':') != std::string::npos && bind.front() != '[') {
        bind = "[" + bind + "]";
    }
    if (!bind.empty() && std::find(hosts_.begin(), hosts_.end(), bind) == hosts_.end()) {
        hosts_.push_back(bind);
    }
}

bool KxSecurityChecks::isAllowedHostName(std::string_view name) const {
    const std::string lower = toLowerAscii(name);
    return std::find(hosts_.begin(), hosts_.end(), lower) != hosts_.end();
}

bool KxSecurityChecks::isHostAllowed(std::string_view host) const {
    const auto parts = splitAuthority(trimBlanks(host));
    if (!parts) {
        return false;
    }
    const auto [name, port] = *parts;
    const bool portGiven = name.size() != trimBlanks(host).size();
    return isAllowedHostName(name) && (!portGiven || port == port_);
}

bool KxSecurityChecks::isOriginAllowed(std::string_view origin) const {
    origin = trimBlanks(origin);
    const auto separator = origin.find("://");
    if (separator == std::string_view::npos) {
        return false;  // includes "null"
    }
    const std::string scheme = toLowerAscii(origin.substr(0, separator));
    std::string_view authority = origin.substr(separator + 3);
    authority = authority.substr(0, authority.find('/'));
    const auto parts = splitAuthority(authority);
    if (!parts || (scheme != "http" && scheme != "https")) {
        return false;
    }
    const auto [name, port] = *parts;
    const unsigned effectivePort = port != 0 ? port : (scheme == "https" ? 443 : 80);
    return isAllowedHostName(name) && effectivePort == port_;
}

std::optional<std::string> KxSecurityChecks::crossSiteRefusal(
    std::string_view secFetchSite, std::optional<std::string_view> origin) const {
    const std::string site = toLowerAscii(trimBlanks(secFetchSite));
    if (site == "cross-site" || site == "same-site") {
        return "the request comes from another site (Sec-Fetch-Site: " + site + ")";
    }
    if (origin && !isOriginAllowed(*origin)) {
        return "the request comes from another origin (" + std::string(*origin) + ")";
    }
    return std::nullopt;
}

KxTokenCheck KxSecurityChecks::checkToken(std::optional<std::string_view> cookie,
                                          std::optional<std::string_view> parameter,
                                          std::string_view authorization) const {
    if (token_.empty()) {
        return KxTokenCheck::NotRequired;
    }
    if (cookie && constantTimeEquals(*cookie, token_)) {
        return KxTokenCheck::Cookie;
    }
    authorization = trimBlanks(authorization);
    if (authorization.size() > 6 && toLowerAscii(authorization.substr(0, 6)) == "token " &&
        constantTimeEquals(trimBlanks(authorization.substr(6)), token_)) {
        return KxTokenCheck::Header;
    }
    if (parameter && constantTimeEquals(*parameter, token_)) {
        return KxTokenCheck::Parameter;
    }
    return KxTokenCheck::Refused;
}

std::string KxSecurityChecks::tokenCookieHeader() const {
    return std::string(kTokenCookie) + "=" + token_ + "; Path=/; HttpOnly; SameSite=Strict";
}

std::optional<KxRefusal> KxSecurityChecks::refuseBeforeRouting(const KxHeaderList& headers) const {
    std::optional<std::string_view> host;
    std::optional<std::string_view> origin;
    std::optional<std::string_view> secFetchSite;
    for (const auto& [name, value] : headers) {
        if (equalsIgnoringCase(name, "Host")) {
            // Two Host headers leave it open which one names the server;
            // neither is trusted.
            if (host) {
                return KxRefusal{400, "Bad request", "The request names more than one host."};
            }
            host = value;
        } else if (equalsIgnoringCase(name, "Origin") && !origin) {
            origin = value;
        } else if (equalsIgnoringCase(name, "Sec-Fetch-Site") && !secFetchSite) {
            secFetchSite = value;
        }
    }
    if (!host || !isHostAllowed(*host)) {
        return KxRefusal{403, "Forbidden",
                         "This server answers only requests addressed to it as localhost, "
                         "127.0.0.1 or [::1]."};
    }
    if (auto refusal = crossSiteRefusal(secFetchSite.value_or(""), origin)) {
        return KxRefusal{403, "Forbidden",
                         "This server refuses requests from other sites: " + *refusal + "."};
    }
    return std::nullopt;
}

KxRefusal KxSecurityChecks::missingToken() {
    return {403, "Forbidden",
            "This server needs its access token. Open the address that kxcontainer printed "
            "when it started (it ends in ?token=...)."};
}

}  // namespace kx::container
