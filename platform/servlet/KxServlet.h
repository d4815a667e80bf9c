#pragma once
// The servlet classes of the container: KxServlet, KxGenericServlet and
// KxHttpServlet. The virtual operations are declared in the order that
// subclasses (the template engine's KxLumericServlet and the system's
// servlets) bind them.
#include "platform/base/KxDateTime.h"
#include "platform/base/Kxxmsg.h"
#include "platform/servlet/KxMutexLock.h"
#include "platform/servlet/KxServletContext.h"
#include "platform/servlet/KxServletInterface.h"
#include "platform/servlet/KxServletRequest.h"
#include "platform/servlet/KxServletResponse.h"

class KxServlet {
  public:
    KxServlet() = default;
    KxServlet(const KxServlet&) = delete;
    KxServlet& operator=(const KxServlet&) = delete;
    virtual ~KxServlet() = default;

    virtual void init(const KxServletConfig& config) = 0;
    virtual KxServletConfig getServletConfig() const = 0;
    virtual void service(KxServletRequest& request, KxServletResponse& response) = 0;
    virtual KxCString getServletInfo() const { return {}; }
    virtual void destroy() {}

    // The servlet's own mutex.
    KxMutexLock& getInternalLock() const { return internalLock_; }

    // The container running this servlet; throws KxServletException when the
    // servlet runs outside one.
    KxServletContainer& getContainer() const;

  protected:
    // Set when the container initialises the servlet.
    void setContextForContainer(KxServletContext* context) { containerContext_ = context; }

  private:
    mutable KxMutexLock internalLock_;
    KxServletContext* containerContext_ = nullptr;
};

class KxGenericServlet : public KxServlet {
  public:
    // Keeps the configuration, then calls init().
    void init(const KxServletConfig& config) override;
    KxServletConfig getServletConfig() const override { return config_; }
    KxCString getServletInfo() const override { return {}; }

    virtual void init() {}
    // Writes message (and the error's text) as one entry of the container log.
    virtual void log(const KxCString& message, const Kxxmsg& error) const;
    virtual void log(const KxCString& message) const;

    // The web application's context; throws KxServletException before init.
    KxServletContext& getServletContext() const;
    const KxCString& getServletName() const { return config_.getServletName(); }

  private:
    KxServletConfig config_;
};

class KxHttpServlet : public KxGenericServlet {
  public:
    using KxGenericServlet::init;
    using KxGenericServlet::log;

    // Hands HTTP requests to service(KxHttpServletRequest&, ...).
    void service(KxServletRequest& request, KxServletResponse& response) override;

    // Calls doGet, doPost ... by the request's method; an unknown method gets
    // 501.
    virtual void service(KxHttpServletRequest& request, KxHttpServletResponse& response);
    virtual void doGet(KxHttpServletRequest& request, KxHttpServletResponse& response);
    virtual void doPost(KxHttpServletRequest& request, KxHttpServletResponse& response);
    virtual void doHead(KxHttpServletRequest& request, KxHttpServletResponse& response);
    virtual void doPut(KxHttpServletRequest& request, KxHttpServletResponse& response);
    virtual void doDelete(KxHttpServletRequest& request, KxHttpServletResponse& response);
    virtual void doOptions(KxHttpServletRequest& request, KxHttpServletResponse& response);
    virtual void doTrace(KxHttpServletRequest& request, KxHttpServletResponse& response);
    virtual KxDateTime getLastModified(KxHttpServletRequest& request) const;
};
