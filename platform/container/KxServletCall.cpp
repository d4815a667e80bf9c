#include "platform/container/KxServletCall.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <exception>
#include <memory>

#include "platform/base/KxText.h"
#include "platform/container/KxFormDecoder.h"

namespace kx::container {

namespace {

// A header field name is a token; names and values never hold CR, LF or NUL.
bool isValidHeader(std::string_view name, std::string_view value) {
    const bool nameOk = !name.empty() && std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isalnum(c) || std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) !=
                                      std::string_view::npos;
    });
    return nameOk && value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

// Header fields that frame the message belong to the container.
bool isFramingHeader(std::string_view name) {
    return equalsIgnoringCase(name, "Content-Length") ||
           equalsIgnoringCase(name, "Transfer-Encoding") || equalsIgnoringCase(name, "Connection");
}

KxHttpResponseData servletError(std::string_view text) {
    return containerPage(500, "Internal error", text);
}

}  // namespace

KxHttpServletRequest KxServletCall::servletRequest(const KxRoute& route,
                                                   const KxHttpRequestData& data,
                                                   const std::string& path,
                                                   const std::string& query) const {
    KxHttpServletRequest request;
    request.setMethod(data.method);
    request.setRequestURI(path);
    request.setContextPath(mapper_.contextPath());
    request.setServletPath(route.servletPath);
    request.setPathInfo(route.pathInfo);
    request.setQueryString(query);
    for (const auto& [name, value] : data.headers) {
        request.addHeader(name, value);
    }
    for (auto& [name, value] : decodeFormText(query)) {
        request.addParameter(std::move(name), std::move(value));
    }
    request.setBody(data.body);
    if (!data.body.empty() && isFormContentType(data.header("Content-Type"))) {
        for (auto& [name, value] : decodeFormText(data.body)) {
            request.addParameter(std::move(name), std::move(value));
        }
    }
    return request;
}

void KxServletCall::run(KxServlet& servlet, const KxRoute& route, const KxHttpRequestData& data,
                        const std::string& path, const std::string& query,
                        const std::vector<std::string>& cookies, const KxDeliver& deliver) {
    KxHttpServletRequest request = servletRequest(route, data, path, query);
    if (auto id = data.cookie(KxSessionStore::kCookieName)) {
        if (auto session = sessions_.resume(*id)) {
            request.setSession(std::move(session));
        }
    }
    std::string newSession;
    request.setSessionProvider([this, &newSession] {
        auto session = sessions_.create();
        newSession = session->getId();
        return session;
    });

    const std::string& name = route.servletName;
    const std::string servletAddress = mapper_.contextPath() + route.servletPath;
    bool answered = false;
    auto answer = [&](KxHttpResponseData response) {
        answered = true;
        for (const auto& cookie : cookies) {
            response.headers.emplace_back("Set-Cookie", cookie);
        }
        if (!newSession.empty()) {
            response.headers.emplace_back(
                "Set-Cookie",
                std::string(KxSessionStore::kCookieName) + "=" + newSession +
                    "; Path=" + (mapper_.contextPath().empty() ? "/" : mapper_.contextPath()) +
                    "; HttpOnly; SameSite=Lax");
        }
        deliver(std::move(response));
    };

    KxHttpServletResponse response;
    response.setFlushHandler(
        [&](KxServletResponse&) { answer(toHttp(name, servletAddress, response)); });
    try {
        servlet.service(request, response);
    } catch (const std::exception& e) {
        log_.error("servlet '" + name + "': " + data.method + " " + path + " failed: " + e.what());
        if (!answered) {
            answer(servletError("Internal error; see the container log."));
        }
        return;
    } catch (...) {
        log_.error("servlet '" + name + "': " + data.method + " " + path +
                   " failed with an unknown exception");
        if (!answered) {
            answer(servletError("Internal error; see the container log."));
        }
        return;
    }
    if (answered) {
        return;  // flushed: what changed afterwards stays unsent
    }
    if (!response.isRedirect() && !response.hasPayload() &&
        response.getStatus() == KxHttpServletResponse::kOk) {
        log_.error("servlet '" + name + "': " + data.method + " " + path +
                   " produced no page (no content, no redirect, no status)");
        answer(servletError("The page could not be produced; the container log tells why."));
        return;
    }
    answer(toHttp(name, servletAddress, response, /*takePayload=*/true));
}

KxHttpResponseData KxServletCall::toHttp(const std::string& servletName,
                                         const std::string& servletAddress,
                                         KxHttpServletResponse& response, bool takePayload) const {
    KxHttpResponseData http;
    http.status = response.getStatus();
    if (http.status < 100 || http.status > 599) {
        log_.error("servlet '" + servletName + "': status " + std::to_string(http.status) +
                   " is not an HTTP status");
        return servletError("Internal error; see the container log.");
    }
    if (response.isRedirect()) {
        const auto location =
            resolveRedirectLocation(servletAddress, response.getRedirectLocation());
        if (!location) {
            log_.error("servlet '" + servletName +
                       "': a redirect holding a line break was refused");
            return servletError("Internal error; see the container log.");
        }
        http.status = KxHttpServletResponse::kFound;
        http.setHeader("Location", *location);
    }
    for (const auto& [name, value] : response.getHeaders()) {
        if (!isValidHeader(name, value)) {
            log_.error("servlet '" + servletName + "': header '" + name +
                       "' with a line break or an invalid name was dropped");
            continue;
        }
        if (isFramingHeader(name) ||
            (response.isRedirect() && equalsIgnoringCase(name, "Location"))) {
            continue;
        }
        http.headers.emplace_back(name, value);
    }
    if (!response.getContentType().empty()) {
        if (!isValidHeader("Content-Type", response.getContentType())) {
            log_.error("servlet '" + servletName +
                       "': a content type with a line break was refused");
            return servletError("Internal error; see the container log.");
        }
        http.setHeader("Content-Type", response.getContentType());
    } else if ((response.getPayloadFile() >= 0 || response.getPayloadStream()) &&
               !http.findHeader("Content-Type")) {
        http.setHeader("Content-Type", "application/octet-stream");
    } else if (!response.getPayload().empty() && !http.findHeader("Content-Type")) {
        http.setHeader("Content-Type", "text/html");
    }
    if (!http.findHeader("Cache-Control")) {
        http.setHeader("Cache-Control", "no-store");
    }
    if (response.getPayloadStream()) {
        http.stream = response.getPayloadStream();
    } else if (response.getPayloadFile() >= 0) {
        // Only a regular file has a length to announce before it is sent.
        http.file = std::make_shared<KxBodyFile>(response.releasePayloadFile());
        struct stat status {};
        if (::fstat(http.file->fd(), &status) != 0 || !S_ISREG(status.st_mode)) {
            log_.error("servlet '" + servletName + "': the payload file is not a regular file");
            return servletError("Internal error; see the container log.");
        }
    } else if (takePayload) {
        http.body = response.takePayload();
    } else {
        http.body = response.getPayload();
    }
    return http;
}

}  // namespace kx::container
