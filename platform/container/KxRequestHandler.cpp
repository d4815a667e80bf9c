#include "platform/container/KxRequestHandler.h"

#include "platform/base/KxText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <exception>
#include <memory>

#include "platform/container/KxFormDecoder.h"
#include "platform/os/KxOs.h"

namespace kx::container {

namespace {

std::optional<std::string> findIn(const KxHeaderList& headers, std::string_view name) {
    for (const auto& [key, value] : headers) {
        if (equalsIgnoringCase(key, name)) {
            return value;
        }
    }
    return std::nullopt;
}

// A path segment ".." (either separator counts: the system's paths use
// backslashes) or a NUL byte has no business in a request path.
bool isUnsafePath(std::string_view path) {
    if (path.find('\0') != std::string_view::npos) {
        return true;
    }
    return kx::hasParentSegment(path);
}

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

// Every value of the named cookie across the request's Cookie headers; the
// first wins.
std::optional<std::string> requestCookie(const KxHttpRequestData& request, std::string_view name) {
    for (const auto& [key, value] : request.headers) {
        if (equalsIgnoringCase(key, "Cookie")) {
            if (auto cookie = findCookie(value, name)) {
                return cookie;
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> firstParameter(const KxParameterList& parameters,
                                          std::string_view name) {
    for (const auto& [key, value] : parameters) {
        if (key == name) {
            return value;
        }
    }
    return std::nullopt;
}

KxHttpResponseData servletError(std::string_view text) {
    return KxRequestHandler::page(500, "Internal error", text);
}

}  // namespace

KxBodyFile::~KxBodyFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::optional<std::string> KxHttpRequestData::findHeader(std::string_view name) const {
    return findIn(headers, name);
}

std::optional<std::string> KxHttpResponseData::findHeader(std::string_view name) const {
    return findIn(headers, name);
}

void KxHttpResponseData::setHeader(std::string name, std::string value) {
    std::erase_if(headers,
                  [&](const auto& header) { return equalsIgnoringCase(header.first, name); });
    headers.emplace_back(std::move(name), std::move(value));
}

KxHttpResponseData KxRequestHandler::page(int status, std::string_view title,
                                          std::string_view text) {
    KxHttpResponseData response;
    response.status = status;
    response.setHeader("Content-Type", "text/html; charset=utf-8");
    response.setHeader("Cache-Control", "no-store");
    std::string heading = std::to_string(status) + " ";
    appendEscapedMarkup(heading, title, false);
    std::string paragraph;
    appendEscapedMarkup(paragraph, text, false);
    response.body = "<!DOCTYPE html>\n<html><head><title>" + heading + "</title></head><body><h1>" +
                    heading + "</h1><p>" + paragraph + "</p></body></html>\n";
    return response;
}

KxRequestHandler::KxRequestHandler(const KxRequestMapper& mapper, const KxSecurityChecks& security,
                                   KxServletRegistry& servlets, KxSessionStore& sessions,
                                   const KxServletContext& context, KxContainerLog& log,
                                   Submit submit)
    : mapper_(mapper),
      security_(security),
      servlets_(servlets),
      sessions_(sessions),
      context_(context),
      log_(log),
      submit_(std::move(submit)) {}

void KxRequestHandler::handle(KxHttpRequestData request, KxDeliver deliver) {
    const bool head = request.method == "HEAD";
    KxDeliver answer = [deliver = std::move(deliver), head](KxHttpResponseData response) {
        response.omitBody = head;
        deliver(std::move(response));
    };

    if (request.target.empty() || request.target.front() != '/') {
        answer(page(400, "Bad request", "The request target is not a path."));
        return;
    }
    const auto question = request.target.find('?');
    const std::string path = request.target.substr(0, question);
    const std::string query =
        question == std::string::npos ? std::string() : request.target.substr(question + 1);

    // Two Host headers leave it open which one names the server; neither is
    // trusted.
    const auto hosts =
        std::count_if(request.headers.begin(), request.headers.end(),
                      [](const auto& header) { return equalsIgnoringCase(header.first, "Host"); });
    if (hosts > 1) {
        answer(page(400, "Bad request", "The request names more than one host."));
        return;
    }
    const auto host = request.findHeader("Host");
    if (!host || !security_.isHostAllowed(*host)) {
        answer(page(403, "Forbidden",
                    "This server answers only requests addressed to it as localhost, "
                    "127.0.0.1 or [::1]."));
        return;
    }
    const auto origin = request.findHeader("Origin");
    if (auto refusal = security_.crossSiteRefusal(
            request.header("Sec-Fetch-Site"),
            origin ? std::optional<std::string_view>(*origin) : std::nullopt)) {
        answer(page(403, "Forbidden",
                    "This server refuses requests from other sites: " + *refusal + "."));
        return;
    }

    const std::string decodedPath = percentDecode(path, false);
    if (isUnsafePath(decodedPath)) {
        answer(page(400, "Bad request", "The path holds a \"..\" segment."));
        return;
    }

    const KxRoute route = mapper_.route(decodedPath);
    switch (route.kind) {
        case KxRoute::Kind::RedirectToContext: {
            KxHttpResponseData response;
            response.status = 302;
            response.setHeader("Location",
                               mapper_.contextPath() + "/" + (query.empty() ? "" : "?" + query));
            answer(std::move(response));
            return;
        }
        case KxRoute::Kind::NotFound:
            answer(page(404, "Not found", "There is nothing at " + path + "."));
            return;
        case KxRoute::Kind::Static:
            // Static files (style sheets, images) are served without the
            // token: they are the same for everyone and change nothing.
            serveStatic(request, route.staticName, answer);
            return;
        case KxRoute::Kind::Servlet:
            break;
    }

    const KxParameterList queryParameters = decodeFormText(query);
    const auto tokenParameter = firstParameter(queryParameters, KxSecurityChecks::kTokenParameter);
    const auto tokenCookie = requestCookie(request, KxSecurityChecks::kTokenCookie);
    const KxTokenCheck check = security_.checkToken(
        tokenCookie ? std::optional<std::string_view>(*tokenCookie) : std::nullopt,
        tokenParameter ? std::optional<std::string_view>(*tokenParameter) : std::nullopt,
        request.header("Authorization"));
    if (check == KxTokenCheck::Refused) {
        answer(page(403, "Forbidden",
                    "This server needs its access token. Open the address that kxcontainer "
                    "printed when it started (it ends in ?token=...)."));
        return;
    }
    std::vector<std::string> cookies;
    if (check == KxTokenCheck::Parameter) {
        cookies.push_back(security_.tokenCookieHeader());
    }

    KxServlet* servlet = servlets_.find(route.servletName);
    if (!servlet) {
        answer(page(404, "Not found",
                    "The servlet '" + route.servletName +
                        "' is not available; the container log tells why."));
        return;
    }
    submit_([this, servlet, route, request = std::move(request), path, query,
             cookies = std::move(cookies), answer = std::move(answer)] {
        runServlet(*servlet, route, request, path, query, cookies, answer);
    });
}

void KxRequestHandler::serveStatic(const KxHttpRequestData& request, const std::string& name,
                                   const KxDeliver& deliver) const {
    if (request.method != "GET" && request.method != "HEAD") {
        KxHttpResponseData response =
            page(405, "Method not allowed", "Static files are only read (GET or HEAD).");
        response.setHeader("Allow", "GET, HEAD");
        deliver(std::move(response));
        return;
    }
    // Opened without following a final symlink, and read as it is sent.
    const std::string path = context_.getWebAppDirectory() + "/static/" + name;
    auto file = std::make_shared<KxBodyFile>(
        ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat status {};
    if (file->fd() < 0 || ::fstat(file->fd(), &status) != 0 || !S_ISREG(status.st_mode)) {
        deliver(page(404, "Not found", "There is no static file " + name + "."));
        return;
    }
    KxHttpResponseData response;
    KxCString type = context_.getMimeType(name);
    response.setHeader("Content-Type", type.empty() ? "application/octet-stream" : type);
    // Checked again on every use, so a changed style sheet shows at once.
    response.setHeader("Cache-Control", "no-cache");
    response.file = std::move(file);
    deliver(std::move(response));
}

void KxRequestHandler::runServlet(KxServlet& servlet, const KxRoute& route,
                                  const KxHttpRequestData& data, const std::string& path,
                                  const std::string& query, const std::vector<std::string>& cookies,
                                  const KxDeliver& deliver) {
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
    if (!data.body.empty() && isFormContentType(data.header("Content-Type"))) {
        for (auto& [name, value] : decodeFormText(data.body)) {
            request.addParameter(std::move(name), std::move(value));
        }
    }

    if (auto id = requestCookie(data, KxSessionStore::kCookieName)) {
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
    answer(toHttp(name, servletAddress, response));
}

KxHttpResponseData KxRequestHandler::toHttp(const std::string& servletName,
                                            const std::string& servletAddress,
                                            KxHttpServletResponse& response) const {
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
    } else if (response.getPayloadFile() >= 0 && !http.findHeader("Content-Type")) {
        http.setHeader("Content-Type", "application/octet-stream");
    } else if (!response.getPayload().empty() && !http.findHeader("Content-Type")) {
        http.setHeader("Content-Type", "text/html");
    }
    if (!http.findHeader("Cache-Control")) {
        http.setHeader("Cache-Control", "no-store");
    }
    if (response.getPayloadFile() >= 0) {
        // Only a regular file has a length to announce before it is sent.
        http.file = std::make_shared<KxBodyFile>(response.releasePayloadFile());
        struct stat status {};
        if (::fstat(http.file->fd(), &status) != 0 || !S_ISREG(status.st_mode)) {
            log_.error("servlet '" + servletName + "': the payload file is not a regular file");
            return servletError("Internal error; see the container log.");
        }
    } else {
        http.body = response.getPayload();
    }
    return http;
}

}  // namespace kx::container
