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

const std::string* findIn(const KxHeaderList& headers, std::string_view name) {
    for (const auto& [key, value] : headers) {
        if (key.size() == name.size() && equalsIgnoringCase(key, name)) {
            return &value;
        }
    }
    return nullptr;
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
    if (response.file || response.sharedBody || response.stream || response.status < 200 ||
        response.status == 204 || response.status == 206 || response.status == 304 ||
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

// The value of a header field as it stands in the request; empty when absent.
std::string_view headerText(const KxHttpRequestData& request, std::string_view name) {
    const std::string* value = request.headerValue(name);
    return value ? std::string_view(*value) : std::string_view();
}

// The token check of a request to a servlet, from its cookie, header
// fields and query.
KxTokenCheck checkToken(const KxSecurityChecks& security, const KxHttpRequestData& request,
                        const std::string& query) {
    const auto tokenParameter =
        firstParameter(decodeFormText(query), KxSecurityChecks::kTokenParameter);
    const auto tokenCookie = request.cookie(KxSecurityChecks::kTokenCookie);
    return security.checkToken({
        .method = request.method,
        .host = headerText(request, "Host"),
        .cookie = tokenCookie ? std::optional<std::string_view>(*tokenCookie) : std::nullopt,
        .parameter =
            tokenParameter ? std::optional<std::string_view>(*tokenParameter) : std::nullopt,
        .authorization = headerText(request, "Authorization"),
        .navigation = isBrowserNavigation(headerText(request, "Sec-Fetch-Mode"),
                                          headerText(request, "Sec-Fetch-Dest"),
                                          headerText(request, "Upgrade-Insecure-Requests")),
    });
}

}  // namespace

KxBodyFile::~KxBodyFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

const std::string* KxHttpRequestData::headerValue(std::string_view name) const {
    return findIn(headers, name);
}

std::optional<std::string> KxHttpRequestData::findHeader(std::string_view name) const {
    const std::string* value = findIn(headers, name);
    return value ? std::optional<std::string>(*value) : std::nullopt;
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
    const std::string* value = findIn(headers, name);
    return value ? std::optional<std::string>(*value) : std::nullopt;
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
      submit_(std::move(submit)),
      staticFolder_(kx::os::nativePath(context.getWebAppDirectory() + "/static/")),
      staticFiles_({}, [&context](std::string_view name) {
          std::string type = context.getMimeType(std::string(name));
          return type.empty() ? std::string("application/octet-stream") : type;
      }) {}

void KxRequestHandler::handle(KxHttpRequestData request, KxDeliver deliver) {
    const bool head = request.method == "HEAD";
    // A Range request gets the plain representation, whose bytes the range
    // counts.
    const bool takesGzip = gzip_ && !request.headerValue("Range") &&
                           acceptsGzip(headerText(request, "Accept-Encoding"));
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
    // Most paths have nothing to decode and are used as they are.
    std::string decodedCopy;
    const std::string& decodedPath =
        path.find('%') == std::string::npos ? path : (decodedCopy = percentDecode(path, false));
    if (isUnsafePath(decodedPath)) {
        answer(page(400, "Bad request", "The path holds a \"..\" segment."));
        return;
    }

    const KxRoute route = mapper_.route(decodedPath);
    if (answerWithoutServlet(request, route, path, query, takesGzip, answer)) {
        return;
    }
    // Without a token to require, what the check reads is not looked up.
    const KxTokenCheck check = security_.tokenRequired() ? checkToken(security_, request, query)
                                                         : KxTokenCheck::NotRequired;
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
                                            bool takesGzip, const KxDeliver& answer) const {
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
            serveStatic(request, route.staticName, takesGzip, answer);
            return true;
        case KxRoute::Kind::Servlet:
            break;
    }
    return false;
}

void KxRequestHandler::serveStatic(const KxHttpRequestData& request, const std::string& name,
                                   bool takesGzip, const KxDeliver& deliver) const {
    if (request.method != "GET" && request.method != "HEAD") {
        KxHttpResponseData response =
            page(405, "Method not allowed", "Static files are only read (GET or HEAD).");
        response.setHeader("Allow", "GET, HEAD");
        deliver(std::move(response));
        return;
    }
    // The file's native path, built in a buffer of the thread's own.
    thread_local std::string path;
    path.assign(staticFolder_);
    const std::size_t start = path.size();
    path += name;
    std::replace(path.begin() + static_cast<std::ptrdiff_t>(start), path.end(), '\\', '/');
    // The file is looked at without opening it first; only when the answer
    // needs bytes that are not kept is it opened (and looked at again).
    for (const bool needBytes : {false, true}) {
        const KxStaticLookup found = staticFiles_.lookUp(path, name, needBytes);
        if (found.failed) {
            deliver(page(500, "Internal error", "The file cannot be read."));
            return;
        }
        if (!found.file) {
            deliver(page(404, "Not found", "There is no static file " + name + "."));
            return;
        }
        if (auto response = staticAnswer(request, name, found, takesGzip)) {
            deliver(std::move(*response));
            return;
        }
    }
}

std::optional<KxHttpResponseData> KxRequestHandler::staticAnswer(const KxHttpRequestData& request,
                                                                 const std::string& name,
                                                                 const KxStaticLookup& found,
                                                                 bool takesGzip) const {
    const KxStaticFile& file = *found.file;
    const bool bytesAtHand = file.content || found.descriptor;
    const bool coded = gzip_ && file.compressible && takesGzip;
    KxHttpResponseData response = staticHead(file, coded);

    // If-Modified-Since counts only without If-None-Match; either answered
    // with 304 (no body) while the file is unchanged.
    bool unchanged = false;
    if (const std::string* noneMatch = request.headerValue("If-None-Match")) {
        unchanged = noneMatchHits(*noneMatch, coded ? file.gzipTag : file.plainTag);
    } else if (const std::string* since = request.headerValue("If-Modified-Since")) {
        const auto date = parseHttpDate(*since);
        unchanged = date && file.modified <= *date;
    }
    if (unchanged) {
        response.status = 304;
        return response;
    }

    if (coded) {
        auto body = gzipCache_.find(name, file.gzipTag);
        if (!body && !bytesAtHand) {
            return std::nullopt;
        }
        if (!body) {
            body = gzipStaticFile(name, found);
        }
        if (body) {
            response.sharedBody = std::move(body);
            response.headers.emplace_back("Content-Encoding", "gzip");
            return response;
        }
        response.setHeader("ETag", file.plainTag);  // not coded after all
    }
    return staticBytes(request, found, std::move(response));
}

// The header fields every answer for the file has, in the order they have
// always been sent.
KxHttpResponseData KxRequestHandler::staticHead(const KxStaticFile& file, bool coded) const {
    KxHttpResponseData response;
    response.headers.reserve(8);  // the fields below, without growing the list
    response.headers.emplace_back("Content-Type", file.contentType);
    // Kept by the browser but checked again on every use (cheap: an
    // unchanged file is answered with 304), so a changed style sheet shows
    // at once.
    response.headers.emplace_back("Cache-Control", "no-cache");
    response.headers.emplace_back("Accept-Ranges", "bytes");
    response.headers.emplace_back("Last-Modified", file.lastModified);
    if (gzip_ && file.compressible) {
        response.headers.emplace_back("Vary", "Accept-Encoding");
    }
    response.headers.emplace_back("ETag", coded ? file.gzipTag : file.plainTag);
    return response;
}

// The plain bytes: the whole file or the range asked for, from the kept
// content or the open file; nothing when neither is at hand.
std::optional<KxHttpResponseData> KxRequestHandler::staticBytes(const KxHttpRequestData& request,
                                                                const KxStaticLookup& found,
                                                                KxHttpResponseData response) const {
    const KxStaticFile& file = *found.file;
    const std::uint64_t size = file.version.size;
    KxRangeRequest wanted;
    const std::string* range = request.headerValue("Range");
    const std::string* ifRange = request.headerValue("If-Range");
    if (range && (!ifRange || rangeStillApplies(*ifRange, file.plainTag, file.modified))) {
        wanted = parseRange(*range, size);
        if (wanted.kind == KxRangeRequest::Kind::Unsatisfiable) {
            KxHttpResponseData refused = page(416, "Range not satisfiable",
                                              "The file has " + std::to_string(size) + " bytes.");
            refused.setHeader("Content-Range", "bytes */" + std::to_string(size));
            refused.setHeader("Accept-Ranges", "bytes");
            return refused;
        }
    }
    if (!file.content && !found.descriptor) {
        return std::nullopt;
    }
    std::uint64_t offset = 0;
    std::uint64_t length = size;
    if (wanted.kind == KxRangeRequest::Kind::Partial) {
        response.status = 206;
        response.setHeader("Content-Range", "bytes " + std::to_string(wanted.first) + "-" +
                                                std::to_string(wanted.last) + "/" +
                                                std::to_string(size));
        offset = wanted.first;
        length = wanted.last - wanted.first + 1;
    }
    if (file.content && length == size) {
        response.sharedBody = file.content;
    } else if (file.content) {
        response.body = file.content->substr(static_cast<std::size_t>(offset),
                                             static_cast<std::size_t>(length));
    } else {
        response.file = found.descriptor;
        response.fileOffset = offset;
        response.fileLength = length;
    }
    return response;
}

std::shared_ptr<const std::string> KxRequestHandler::gzipStaticFile(
    const std::string& name, const KxStaticLookup& found) const {
    const KxStaticFile& file = *found.file;
    std::shared_ptr<const std::string> content = file.content;
    if (!content) {
        auto read =
            std::make_shared<std::string>(static_cast<std::size_t>(file.version.size), '\0');
        std::size_t done = 0;
        while (done < read->size()) {
            const ssize_t got = ::pread(found.descriptor->fd(), read->data() + done,
                                        read->size() - done, static_cast<off_t>(done));
            if (got <= 0) {
                return nullptr;  // shorter than it was a moment ago, or unreadable
            }
            done += static_cast<std::size_t>(got);
        }
        content = std::move(read);
    }
    auto coded = gzipCompress(*content);
    if (!coded) {
        return nullptr;
    }
    auto shared = std::make_shared<const std::string>(std::move(*coded));
    gzipCache_.insert(name, file.gzipTag, shared);
    return shared;
}

}  // namespace kx::container
