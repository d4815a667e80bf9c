#pragma once
// What a servlet knows of the web application and the container around it:
// the application's folder (resources, MIME types), the container log and
// the container itself.
#include <functional>
#include <map>

#include "platform/base/KxCString.h"

class KxServletContainer {
  public:
    virtual ~KxServletContainer() = default;
    // Asks the container to stop: requests in flight finish, then it exits.
    virtual void shutdown() = 0;
};

class KxServletContext {
  public:
    using LogSink = std::function<void(const KxCString& message)>;

    KxServletContext() = default;
    explicit KxServletContext(KxCString webAppDirectory)
        : webAppDirectory_(std::move(webAppDirectory)) {}

    const KxCString& getWebAppDirectory() const { return webAppDirectory_; }

    // The MIME type the container serves a file name with, judged by its
    // extension (case-insensitive); the empty text for one it does not know.
    KxCString getMimeType(const KxCString& fileName) const;

    // The bytes of a file of the web application, name relative to its
    // folder. Throws KxServletException when the name leaves the folder or the
    // file cannot be read.
    KxCString getResourceData(const KxCString& name) const;

    // One entry in the container log.
    void log(const KxCString& message) const;
    void setLogSink(LogSink sink) { logSink_ = std::move(sink); }

    KxServletContainer* getContainer() const { return container_; }
    void setContainer(KxServletContainer* container) { container_ = container; }

  private:
    KxCString webAppDirectory_;
    LogSink logSink_;
    KxServletContainer* container_ = nullptr;
};

class KxServletConfig {
  public:
    KxServletConfig() = default;
    KxServletConfig(KxCString servletName, KxServletContext* context)
        : servletName_(std::move(servletName)), context_(context) {}

    const KxCString& getServletName() const { return servletName_; }
    KxServletContext* getServletContext() const { return context_; }

    // The servlet's <init-param> values; the empty text for a missing one.
    KxCString getInitParameter(const KxCString& name) const;
    void setInitParameter(const KxCString& name, KxCString value);

  private:
    KxCString servletName_;
    KxServletContext* context_ = nullptr;
    std::map<KxCString, KxCString> initParameters_;
};
