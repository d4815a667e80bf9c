#include "platform/container/KxRequestMapping.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace kx::container {

namespace {

constexpr std::string_view kStaticPrefix = "/static/";
constexpr std::string_view kIndexServlet = "index";

// "scheme:" followed by "//", the scheme being a letter then letters,
// digits, "+", "-" or ".".
bool isAbsoluteUrl(std::string_view location) {
    const auto colon = location.find("://");
    if (colon == std::string_view::npos || colon == 0 ||
        !std::isalpha(static_cast<unsigned char>(location[0]))) {
        return false;
    }
    return std::all_of(
        location.begin(), location.begin() + static_cast<std::ptrdiff_t>(colon),
        [](unsigned char c) { return std::isalnum(c) || c == '+' || c == '-' || c == '.'; });
}

}  // namespace

std::string normaliseContextPath(std::string_view path) {
    std::string result(path);
    if (result.find_first_of(" \t\r\n?#%\\") != std::string::npos) {
        throw std::invalid_argument("the context path '" + result +
                                    "' holds a character that has no place in a path");
    }
    if (result.empty() || result.front() != '/') {
        result.insert(result.begin(), '/');
    }
    while (!result.empty() && result.back() == '/') {
        result.pop_back();
    }
    return result;
}

bool isSupportedUrlPattern(std::string_view pattern) {
    if (pattern.empty() || pattern.front() != '/') {
        return false;
    }
    const auto star = pattern.find('*');
    return star == std::string_view::npos ||
           (star == pattern.size() - 1 && pattern.size() >= 2 && pattern[star - 1] == '/');
}

KxRequestMapper::KxRequestMapper(std::string contextPath, std::vector<KxUrlPattern> patterns,
                                 std::vector<std::string> servletNames)
    : contextPath_(normaliseContextPath(contextPath)) {
    for (auto& mapping : patterns) {
        if (!isSupportedUrlPattern(mapping.pattern)) {
            continue;
        }
        if (mapping.pattern == "/") {
            if (!rootServlet_) {
                rootServlet_ = mapping.servletName;
            }
        } else if (mapping.pattern.back() == '*') {
            mapping.pattern.resize(mapping.pattern.size() - 2);  // "/server/*" -> "/server"
            prefixes_.push_back(std::move(mapping));
        } else {
            exact_.push_back(std::move(mapping));
        }
    }
    // The longest prefix is tried first; equal lengths keep their order.
    std::stable_sort(prefixes_.begin(), prefixes_.end(), [](const auto& a, const auto& b) {
        return a.pattern.size() > b.pattern.size();
    });
    if (!rootServlet_ &&
        std::find(servletNames.begin(), servletNames.end(), kIndexServlet) != servletNames.end()) {
        rootServlet_ = std::string(kIndexServlet);
    }
}

KxRoute KxRequestMapper::route(std::string_view decodedPath) const {
    if (contextPath_.empty()) {
        return routeInContext(decodedPath);
    }
    if (decodedPath == contextPath_) {
        return routeInContext("");
    }
    if (decodedPath.starts_with(contextPath_) && decodedPath.size() > contextPath_.size() &&
        decodedPath[contextPath_.size()] == '/') {
        return routeInContext(decodedPath.substr(contextPath_.size()));
    }
    KxRoute route;
    route.kind = decodedPath == "/" ? KxRoute::Kind::RedirectToContext : KxRoute::Kind::NotFound;
    return route;
}

KxRoute KxRequestMapper::routeInContext(std::string_view relative) const {
    KxRoute route;
    if (relative.empty() || relative == "/") {
        if (rootServlet_) {
            route.kind = KxRoute::Kind::Servlet;
            route.servletName = *rootServlet_;
            route.servletPath = "/";
        }
        return route;
    }
    if (relative.starts_with(kStaticPrefix)) {
        if (relative.size() > kStaticPrefix.size()) {
            route.kind = KxRoute::Kind::Static;
            route.staticName = std::string(relative.substr(kStaticPrefix.size()));
        }
        return route;
    }
    for (const auto& mapping : exact_) {
        if (mapping.pattern == relative) {
            route.kind = KxRoute::Kind::Servlet;
            route.servletName = mapping.servletName;
            route.servletPath = mapping.pattern;
            return route;
        }
    }
    for (const auto& mapping : prefixes_) {
        const std::string& base = mapping.pattern;
        if (relative == base || (relative.starts_with(base) && relative.size() > base.size() &&
                                 relative[base.size()] == '/')) {
            route.kind = KxRoute::Kind::Servlet;
            route.servletName = mapping.servletName;
            route.servletPath = base;
            route.pathInfo = std::string(relative.substr(base.size()));
            return route;
        }
    }
    return route;
}

std::optional<std::string> resolveRedirectLocation(std::string_view servletAddress,
                                                   std::string_view location) {
    if (location.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
        return std::nullopt;
    }
    if (isAbsoluteUrl(location) || location.starts_with("/")) {
        return std::string(location);
    }
    if (location.starts_with("?") || location.starts_with("#")) {
        return std::string(servletAddress) + std::string(location);
    }
    const auto slash = servletAddress.rfind('/');
    const std::string_view folder = slash == std::string_view::npos
                                        ? std::string_view("/")
                                        : servletAddress.substr(0, slash + 1);
    return std::string(folder) + std::string(location);
}

}  // namespace kx::container
