#include "platform/container/KxSecurityChecks.h"

#include "platform/base/KxText.h"
#include "platform/container/KxSessionStore.h"

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

bool isLabelCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

}  // namespace

bool isBrowserNavigation(std::string_view secFetchMode, std::string_view secFetchDest,
                         std::string_view upgradeInsecureRequests) {
    const std::string mode = toLowerAscii(trimBlanks(secFetchMode));
    if (mode == "navigate" || toLowerAscii(trimBlanks(secFetchDest)) == "document") {
        return true;
    }
    return mode.empty() && trimBlanks(upgradeInsecureRequests) == "1";
}

std::optional<std::string> ownHostNameProblem(std::string_view name) {
    constexpr std::string_view kSuffix = ".localhost";
    const std::string lower = toLowerAscii(name);
    if (lower == "localhost" || lower.find_first_not_of("0123456789.") == std::string::npos ||
        lower.find(':') != std::string::npos || lower.starts_with("[")) {
        return "every server on this machine is reached by that name, so it would get the "
               "token cookie too";
    }
    if (!lower.ends_with(kSuffix) || lower.size() == kSuffix.size()) {
        return "the name must end in .localhost, which browsers lead to this machine";
    }
    if (lower.size() > 253) {
        return "the name is longer than 253 characters";
    }
    std::string_view labels(lower.data(), lower.size() - kSuffix.size());
    while (true) {
        const auto dot = labels.find('.');
        const std::string_view label = labels.substr(0, dot);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-' ||
            !std::all_of(label.begin(), label.end(), isLabelCharacter)) {
            return "'" + std::string(label) +
                   "' is not a DNS label (1 to 63 letters, digits and inner hyphens)";
        }
        if (dot == std::string_view::npos) {
            return std::nullopt;
        }
        labels.remove_prefix(dot + 1);
    }
}

std::string randomOwnHostName() {
    return "orvo-" + randomHex128().substr(0, 16) + ".localhost";
}

bool isLoopbackAddress(std::string_view address) {
    const std::string lower = toLowerAscii(trimBlanks(address));
    return lower.empty() || lower == "localhost" || lower == "0.0.0.0" || lower == "::" ||
           lower == "::1" || lower == "[::1]" || lower == "[::]" || lower.starts_with("127.");
}

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
                                   std::string token, std::string ownName)
    : hosts_{"localhost", "127.0.0.1", "[::1]"},
      port_(port),
      token_(std::move(token)),
      ownName_(toLowerAscii(ownName)) {
    if (!ownName_.empty()) {
        hosts_.insert(hosts_.begin(), ownName_);
    }
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

bool KxSecurityChecks::isOwnHost(std::string_view host) const {
    if (ownName_.empty()) {
        return true;
    }
    const std::string_view trimmed = trimBlanks(host);
    const auto parts = splitAuthority(trimmed);
    if (!parts) {
        return false;
    }
    const bool portGiven = parts->first.size() != trimmed.size();
    return toLowerAscii(parts->first) == ownName_ && (!portGiven || parts->second == port_);
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

KxTokenCheck KxSecurityChecks::checkToken(const KxTokenRequest& request) const {
    if (token_.empty()) {
        return KxTokenCheck::NotRequired;
    }
    // A kxtoken cookie that comes to another name may have been set by any
    // server on it: it proves nothing.
    const bool ownHost = isOwnHost(request.host);
    if (ownHost && request.cookie && constantTimeEquals(*request.cookie, token_)) {
        return KxTokenCheck::Cookie;
    }
    const std::string_view authorization = trimBlanks(request.authorization);
    if (authorization.size() > 6 && toLowerAscii(authorization.substr(0, 6)) == "token " &&
        constantTimeEquals(trimBlanks(authorization.substr(6)), token_)) {
        return KxTokenCheck::Header;
    }
    if (!request.parameter || !constantTimeEquals(*request.parameter, token_)) {
        return KxTokenCheck::Refused;
    }
    if (ownHost) {
        return KxTokenCheck::Parameter;
    }
    // A browser opening the address on a shared name would keep the cookie
    // there; it is sent to the own name instead. A form sent there (POST)
    // is served as it is: a redirect would drop its body.
    const bool reads = request.method == "GET" || request.method == "HEAD";
    return request.navigation && reads ? KxTokenCheck::RedirectToOwnName
                                       : KxTokenCheck::ParameterOnly;
}

std::string KxSecurityChecks::ownNameLocation(std::string_view target) const {
    return "http://" + ownName_ + ":" + std::to_string(port_) + std::string(target);
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
                         "This server answers only requests addressed to it as " +
                             (ownName_.empty() ? std::string() : ownName_ + ", ") +
                             "localhost, 127.0.0.1 or [::1]."};
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
