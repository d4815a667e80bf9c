#include "platform/container/KxRequestHandler.h"

#include "platform/base/KxText.h"

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

std::optional<std::string> firstParameter(const KxParameterList& parameters,
                                          std::string_view name) {
    for (const auto& [key, value] : parameters) {
        if (key == name) {
            return value;
        }
    }
    return std::nullopt;
}

// Adds Accept-Encoding to the Vary field: the answer differs by it, so a
// cache must keep the coded and the plain one apart.
void varyByEncoding(KxHttpResponseData& response) {
    const auto vary = response.findHeader("Vary");
    if (!vary) {
        response.setHeader("Vary", "Accept-Encoding");
    } else if (toLowerAscii(*vary).find("accept-encoding") == std::string::npos) {
        response.setHeader("Vary", *vary + ", Accept-Encoding");
    }
}

// Gzip-codes a buffered text answer (a page, a SOAP reply) when the client
// accepts it and it is large enough. Files and streams are sent as they
// are; an answer coded already (a static file) is left alone.
void applyContentCoding(KxHttpResponseData& response, bool clientTakesGzip) {
    if (response.file || response.stream || response.status < 200 || response.status == 204 ||
        response.status == 206 || response.status == 304 ||
        response.findHeader("Content-Encoding")) {
        return;
    }
    const auto type = response.findHeader("Content-Type");
    if (!type || !isCompressibleType(*type)) {
        return;
    }
    varyByEncoding(response);
    if (!clientTakesGzip || response.body.size() < kGzipMinimumSize) {
        return;
    }
    auto coded = gzipCompress(response.body);
    if (!coded) {
        return;
    }
    response.body = std::move(*coded);
    response.setHeader("Content-Encoding", "gzip");
    if (const auto tag = response.findHeader("ETag")) {
        response.setHeader("ETag", gzipEntityTag(*tag));
    }
}

// Whether an If-Range value still describes the file, so the range may be
// sent: only a strong tag equal to the file's, or its exact date.
bool rangeStillApplies(std::string_view ifRange, std::string_view entityTag, std::time_t modified) {
    const std::string_view value = trimBlanks(ifRange);
    if (value.starts_with("\"")) {
        return value == entityTag;
    }
    if (value.starts_with("W/")) {
        return false;
    }
    const auto date = parseHttpDate(value);
    return date && *date == modified;
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
    // A Range request gets the plain representation, whose bytes the range
    // counts.
    const bool takesGzip =
        gzip_ && !request.findHeader("Range") && acceptsGzip(request.header("Accept-Encoding"));
    KxDeliver answer = [deliver = std::move(deliver), head,
                        takesGzip](KxHttpResponseData response) {
        applyContentCoding(response, takesGzip);
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
    const std::string host = request.header("Host");
    const std::string authorization = request.header("Authorization");
    const KxTokenCheck check = security_.checkToken({
        .method = request.method,
        .host = host,
        .cookie = tokenCookie ? std::optional<std::string_view>(*tokenCookie) : std::nullopt,
        .parameter =
            tokenParameter ? std::optional<std::string_view>(*tokenParameter) : std::nullopt,
        .authorization = authorization,
        .navigation =
            isBrowserNavigation(request.header("Sec-Fetch-Mode"), request.header("Sec-Fetch-Dest"),
                                request.header("Upgrade-Insecure-Requests")),
    });
    if (check == KxTokenCheck::Refused) {
        refuse(KxSecurityChecks::missingToken());
        return;
    }
    if (check == KxTokenCheck::RedirectToOwnName) {
        KxHttpResponseData response;
        response.status = 302;
        response.setHeader("Location", security_.ownNameLocation(request.target));
        response.setHeader("Cache-Control", "no-store");  // the location holds the token
        answer(std::move(response));
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
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        deliver(page(500, "Internal error", "The file cannot be read."));
        return;
    }
    const auto size = static_cast<std::uint64_t>(status.st_size);
    const std::time_t modified = status.st_mtim.tv_sec;
    const std::string plainTag =
        makeEntityTag(size, static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 +
                                status.st_mtim.tv_nsec);

    KxHttpResponseData response;
    response.headers.reserve(8);  // the fields below, without growing the list
    KxCString type = context_.getMimeType(name);
    if (type.empty()) {
        type = "application/octet-stream";
    }
    response.setHeader("Content-Type", type);
    // Kept by the browser but checked again on every use (cheap: an
    // unchanged file is answered with 304), so a changed style sheet shows
    // at once.
    response.setHeader("Cache-Control", "no-cache");
    response.setHeader("Accept-Ranges", "bytes");
    response.setHeader("Last-Modified", formatHttpDate(modified));

    const auto range = request.findHeader("Range");
    const bool codable = gzip_ && isCompressibleType(type) && size >= kGzipMinimumSize &&
                         size <= kGzipMaximumStaticSize;
    bool coded = false;
    if (codable) {
        varyByEncoding(response);
        coded = !range && acceptsGzip(request.header("Accept-Encoding"));
    }
    const std::string tag = coded ? gzipEntityTag(plainTag) : plainTag;
    response.setHeader("ETag", tag);

    // If-Modified-Since counts only without If-None-Match; either answered
    // with 304 (no body) while the file is unchanged.
    bool unchanged = false;
    if (const auto noneMatch = request.findHeader("If-None-Match")) {
        unchanged = noneMatchHits(*noneMatch, tag);
    } else if (const auto since = request.findHeader("If-Modified-Since")) {
        const auto date = parseHttpDate(*since);
        unchanged = date && modified <= *date;
    }
    if (unchanged) {
        response.status = 304;
        deliver(std::move(response));
        return;
    }

    if (coded) {
        if (auto body = gzipStaticFile(name, fd, size, tag)) {
            response.body = *body;
            response.setHeader("Content-Encoding", "gzip");
            deliver(std::move(response));
            return;
        }
        response.setHeader("ETag", plainTag);  // not coded after all
    }

    const auto ifRange = request.findHeader("If-Range");
    if (range && (!ifRange || rangeStillApplies(*ifRange, plainTag, modified))) {
        const KxRangeRequest wanted = parseRange(*range, size);
        if (wanted.kind == KxRangeRequest::Kind::Unsatisfiable) {
            KxHttpResponseData refused = page(416, "Range not satisfiable",
                                              "The file has " + std::to_string(size) + " bytes.");
            refused.setHeader("Content-Range", "bytes */" + std::to_string(size));
            refused.setHeader("Accept-Ranges", "bytes");
            deliver(std::move(refused));
            return;
        }
        if (wanted.kind == KxRangeRequest::Kind::Partial) {
            response.status = 206;
            response.setHeader("Content-Range", "bytes " + std::to_string(wanted.first) + "-" +
                                                    std::to_string(wanted.last) + "/" +
                                                    std::to_string(size));
            response.fileOffset = wanted.first;
            response.fileLength = wanted.last - wanted.first + 1;
        }
    }
    response.file = std::move(file);
    deliver(std::move(response));
}

std::shared_ptr<const std::string> KxRequestHandler::gzipStaticFile(
    const std::string& name, int fd, std::uint64_t size, const std::string& version) const {
    if (auto kept = gzipCache_.find(name, version)) {
        return kept;
    }
    std::string content(static_cast<std::size_t>(size), '\0');
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t got =
            ::pread(fd, content.data() + done, content.size() - done, static_cast<off_t>(done));
        if (got <= 0) {
            return nullptr;  // shorter than it was a moment ago, or unreadable
        }
        done += static_cast<std::size_t>(got);
    }
    auto coded = gzipCompress(content);
    if (!coded) {
        return nullptr;
    }
    auto shared = std::make_shared<const std::string>(std::move(*coded));
    gzipCache_.insert(name, version, shared);
    return shared;
}

}  // namespace kx::container
