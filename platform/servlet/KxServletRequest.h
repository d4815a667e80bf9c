#pragma once
// Requests as servlets see them. The container fills a KxHttpServletRequest
// from the HTTP message; tests build one directly.
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "platform/base/KxCString.h"
#include "platform/base/KxEnumeration.h"
#include "platform/servlet/KxHttpSession.h"

class KxServletRequest {
  public:
    virtual ~KxServletRequest() = default;

    // The first value sent for name; the empty text when it is absent.
    KxCString getParameter(const KxCString& name) const;
    // Whether the request carries name at all (an empty value counts).
    bool hasParameter(const KxCString& name) const;
    // The names the request carries, in arrival order, each once; a name sent
    // with an empty value is included.
    KxEnumeration<KxCString> getParameterNames() const;

    // Adds one decoded name/value pair, in arrival order.
    void addParameter(KxCString name, KxCString value);
    const std::vector<std::pair<KxCString, KxCString>>& getParameters() const {
        return parameters_;
    }

  private:
    std::vector<std::pair<KxCString, KxCString>> parameters_;
};

class KxHttpServletRequest : public KxServletRequest {
  public:
    using SessionProvider = std::function<std::shared_ptr<KxHttpSession>()>;

    KxHttpServletRequest() = default;

    const KxCString& getMethod() const { return method_; }
    void setMethod(KxCString method) { method_ = std::move(method); }

    // The path of the request as sent, without the query string.
    const KxCString& getRequestURI() const { return requestUri_; }
    void setRequestURI(KxCString uri) { requestUri_ = std::move(uri); }

    const KxCString& getContextPath() const { return contextPath_; }
    void setContextPath(KxCString path) { contextPath_ = std::move(path); }

    // The part of the path that chose the servlet, such as "/status".
    const KxCString& getServletPath() const { return servletPath_; }
    void setServletPath(KxCString path) { servletPath_ = std::move(path); }

    // The part of the path after the servlet's own name, beginning with "/";
    // empty when there is none.
    const KxCString& getPathInfo() const { return pathInfo_; }
    void setPathInfo(KxCString pathInfo) { pathInfo_ = std::move(pathInfo); }

    const KxCString& getQueryString() const { return queryString_; }
    void setQueryString(KxCString query) { queryString_ = std::move(query); }

    // Header names compare without regard to case; the first value wins.
    KxCString getHeader(const KxCString& name) const;
    void addHeader(KxCString name, KxCString value);
    // Every header as sent, in order (a name may come more than once).
    const std::vector<std::pair<KxCString, KxCString>>& getHeaders() const { return headers_; }

    // The body as sent (within the container's size limit), whatever its
    // content type: a SOAP envelope, JSON, or a form (whose fields are also
    // the parameters).
    const KxCString& getBody() const { return body_; }
    void setBody(KxCString body) { body_ = std::move(body); }
    // The Content-Type header; empty when absent.
    KxCString getContentType() const { return getHeader("Content-Type"); }

    // The browser's session. With create = 1 a session is made when the
    // request has none; with 0, a request without one throws
    // KxServletException.
    KxHttpSession& getSession(int create = 1);
    void setSession(std::shared_ptr<KxHttpSession> session) { session_ = std::move(session); }
    // How getSession makes a new session; the container registers it in its
    // store. Without a provider a free-standing session is made.
    void setSessionProvider(SessionProvider provider) { sessionProvider_ = std::move(provider); }

  private:
    KxCString method_ = "GET";
    KxCString requestUri_;
    KxCString contextPath_;
    KxCString servletPath_;
    KxCString pathInfo_;
    KxCString queryString_;
    std::vector<std::pair<KxCString, KxCString>> headers_;
    KxCString body_;
    std::shared_ptr<KxHttpSession> session_;
    SessionProvider sessionProvider_;
};
