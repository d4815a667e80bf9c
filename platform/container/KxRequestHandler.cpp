#include "platform/container/KxRequestHandler.h"

#include "platform/base/KxText.h"

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

std::optional<std::string> firstParameter(const KxParameterList& parameters,
                                          std::string_view name) {
    for (const auto& [key, value] : parameters) {
        if (key == name) {
            return value;
        }
    }
    return std::nullopt;
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

std::optional<std::string> KxHttpRequestData::cookie(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (equalsIgnoringCase(key, "Cookie")) {
            if (auto found = findCookie(value, name)) {
                return found;
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> KxHttpResponseData::findHeader(std::string_view name) const {
    return findIn(headers, name);
}

void KxHttpResponseData::setHeader(std::string name, std::string value) {
    std::erase_if(headers,
                  [&](const auto& header) { return equalsIgnoringCase(header.first, name); });
    headers.emplace_back(std::move(name), std::move(value));
}

KxHttpResponseData containerPage(int status, std::string_view title, std::string_view text) {
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
      context_(context),
      call_(mapper, sessions, log),
      submit_(std::move(submit)) {}

void KxRequestHandler::handle(KxHttpRequestData request, KxDeliver deliver) {
    const bool head = request.method == "HEAD";
    KxDeliver answer = [deliver = std::move(deliver), head](KxHttpResponseData response) {
        response.omitBody = head;
        deliver(std::move(response));
    };
    auto refuse = [&](const KxRefusal& refusal) {
        answer(page(refusal.status, refusal.title, refusal.text));
    };

    if (request.target.empty() || request.target.front() != '/') {
        answer(page(400, "Bad request", "The request target is not a path."));
        return;
    }
    if (auto refusal = security_.refuseBeforeRouting(request.headers)) {
        refuse(*refusal);
        return;
    }
    const auto question = request.target.find('?');
    const std::string path = request.target.substr(0, question);
    const std::string query =
        question == std::string::npos ? std::string() : request.target.substr(question + 1);
    const std::string decodedPath = percentDecode(path, false);
    if (isUnsafePath(decodedPath)) {
        answer(page(400, "Bad request", "The path holds a \"..\" segment."));
        return;
    }

    const KxRoute route = mapper_.route(decodedPath);
    if (answerWithoutServlet(request, route, path, query, answer)) {
        return;
    }
    const auto tokenParameter =
        firstParameter(decodeFormText(query), KxSecurityChecks::kTokenParameter);
    const auto tokenCookie = request.cookie(KxSecurityChecks::kTokenCookie);
    const KxTokenCheck check = security_.checkToken(
        tokenCookie ? std::optional<std::string_view>(*tokenCookie) : std::nullopt,
        tokenParameter ? std::optional<std::string_view>(*tokenParameter) : std::nullopt,
        request.header("Authorization"));
    if (check == KxTokenCheck::Refused) {
        refuse(KxSecurityChecks::missingToken());
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
        call_.run(*servlet, route, request, path, query, cookies, answer);
    });
}

bool KxRequestHandler::answerWithoutServlet(const KxHttpRequestData& request, const KxRoute& route,
                                            const std::string& path, const std::string& query,
                                            const KxDeliver& answer) const {
    switch (route.kind) {
        case KxRoute::Kind::RedirectToContext: {
            KxHttpResponseData response;
            response.status = 302;
            response.setHeader("Location",
                               mapper_.contextPath() + "/" + (query.empty() ? "" : "?" + query));
            answer(std::move(response));
            return true;
        }
        case KxRoute::Kind::NotFound:
            answer(page(404, "Not found", "There is nothing at " + path + "."));
            return true;
        case KxRoute::Kind::Static:
            // Static files (style sheets, images) are served without the
            // token: they are the same for everyone and change nothing.
            serveStatic(request, route.staticName, answer);
            return true;
        case KxRoute::Kind::Servlet:
            break;
    }
    return false;
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
    // A regular file opened without following a final symlink, and read as
    // it is sent.
    const int fd = kx::os::openRegularFile(context_.getWebAppDirectory() + "/static/" + name,
                                           /*followLinks=*/false);
    if (fd < 0) {
        deliver(page(404, "Not found", "There is no static file " + name + "."));
        return;
    }
    auto file = std::make_shared<KxBodyFile>(fd);
    KxHttpResponseData response;
    KxCString type = context_.getMimeType(name);
    response.setHeader("Content-Type", type.empty() ? "application/octet-stream" : type);
    // Checked again on every use, so a changed style sheet shows at once.
    response.setHeader("Cache-Control", "no-cache");
    response.file = std::move(file);
    deliver(std::move(response));
}

}  // namespace kx::container
