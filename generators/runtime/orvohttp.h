// orvohttp.h: the HTTP transport of the clients orvowizard's generators
// write: posts a SOAP envelope and gives back the answer, on libcurl.
// Header only; C++17.
#pragma once

#include <curl/curl.h>

#include <cstddef>
#include <mutex>
#include <stdexcept>
#include <string>

namespace orvo {

// An HTTP exchange that brought no SOAP answer: the connection failed, or
// the server answered with a status that is neither a response nor a fault.
// status() is 0 when no answer came.
class HttpError : public std::runtime_error {
  public:
    HttpError(long status, const std::string& text) : std::runtime_error(text), status_(status) {}
    long status() const { return status_; }

  private:
    long status_;
};

struct HttpOptions {
    long connectTimeoutMs = 10000;  // to open the connection
    long timeoutMs = 60000;         // for the whole exchange
    bool verifyPeer = true;         // check the server's certificate (HTTPS)
};

namespace detail {

inline std::size_t appendBody(char* data, std::size_t size, std::size_t count, void* body) {
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

inline void initCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The start of a body, on one line, for a message.
inline std::string bodyStart(const std::string& body) {
    std::string start = body.substr(0, 200);
    for (char& c : start) {
        if (c == '\n' || c == '\r' || c == '\t') {
            c = ' ';
        }
    }
    return body.size() > start.size() ? start + "..." : start;
}

}  // namespace detail

// Posts the envelope to the endpoint with the content type and, when not
// empty, the SOAPAction header (SOAP 1.1; SOAP 1.2 carries the action in the
// content type). Gives the response envelope for 200 and for a fault (500
// with an XML body), and nothing for 202 and 204 (a one-way operation).
// Anything else is an HttpError with the status and the start of the body.
inline std::string postSoap(const std::string& endpoint, const std::string& contentType,
                            const std::string& soapAction, const std::string& envelope,
                            const HttpOptions& options = HttpOptions()) {
    detail::initCurl();
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        throw HttpError(0, "the HTTP client cannot be started");
    }
    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, ("Content-Type: " + contentType).c_str());
    if (!soapAction.empty()) {
        headers = curl_slist_append(headers, ("SOAPAction: \"" + soapAction + "\"").c_str());
    }
    // No "Expect: 100-continue" round trip before larger envelopes.
    headers = curl_slist_append(headers, "Expect:");
    std::string body;
    char error[CURL_ERROR_SIZE] = {0};
    curl_easy_setopt(curl, CURLOPT_URL, endpoint.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, envelope.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(envelope.size()));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &detail::appendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, options.connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, options.timeoutMs);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, options.verifyPeer ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, options.verifyPeer ? 2L : 0L);
    const CURLcode result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    char* typeText = nullptr;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &typeText);
    const std::string answerType = typeText != nullptr ? typeText : "";
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    if (result != CURLE_OK) {
        throw HttpError(0, "the call to " + endpoint + " failed: " +
                               (*error != 0 ? std::string(error) : curl_easy_strerror(result)));
    }
    if (status == 200 || (status == 500 && answerType.find("xml") != std::string::npos)) {
        return body;
    }
    if (status == 202 || status == 204) {
        return std::string();
    }
    throw HttpError(status, "the call to " + endpoint + " was answered with HTTP " +
                                std::to_string(status) +
                                (body.empty() ? std::string() : ": " + detail::bodyStart(body)));
}

}  // namespace orvo
