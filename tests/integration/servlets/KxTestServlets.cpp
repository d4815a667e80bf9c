// Servlets that exercise the container from the outside: each one does one
// thing a real servlet may do (echo what it was given, keep a session,
// fail, stop the container ...) and reports it as plain text.
#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <new>
#include <thread>

#include "platform/servlet/KxServlet.h"
#include "platform/servlet/KxServletException.h"

#define KX_TEST_EXPORT extern "C" __attribute__((visibility("default")))

KX_SERVLET_LIBRARY();

namespace {

void plain(KxHttpServletResponse& response, const KxCString& text) {
    response.setContentType("text/plain");
    response.setPayload(text);
}

// Everything the container filled into the request.
class EchoServlet : public KxHttpServlet {
  public:
    void service(KxHttpServletRequest& request, KxHttpServletResponse& response) override {
        KxCString text;
        text += "method=" + request.getMethod() + "\n";
        text += "uri=" + request.getRequestURI() + "\n";
        text += "context=" + request.getContextPath() + "\n";
        text += "servletPath=" + request.getServletPath() + "\n";
        text += "pathInfo=" + request.getPathInfo() + "\n";
        text += "query=" + request.getQueryString() + "\n";
        text += "init.greeting=" + getServletConfig().getInitParameter("greeting") + "\n";
        const char* home = std::getenv("KX_HOME");
        text += "home=" + KxCString(home ? home : "") + "\n";
        text += "header.x-probe=" + request.getHeader("X-Probe") + "\n";
        for (const auto& [name, value] : request.getParameters()) {
            text += "param " + name + "=" + value + "\n";
        }
        for (const auto& [name, value] : request.getHeaders()) {
            if (name.rfind("X-", 0) == 0) {
                text += "header " + name + "=" + value + "\n";
            }
        }
        if (request.getContentType().rfind("application/x-www-form-urlencoded", 0) != 0) {
            text += "body=" + request.getBody() + "\n";
        }
        response.setHeader("X-Echo", "yes");
        plain(response, text);
    }
};

struct Visits : KxServletAttributeImpl {
    explicit Visits(int count) : count(count) {}
    int count;
};

// Counts the visits of one browser in its session.
class SessionServlet : public KxHttpServlet {
  public:
    void doGet(KxHttpServletRequest& request, KxHttpServletResponse& response) override {
        KxHttpSession& session = request.getSession();
        const auto* visits = dynamic_cast<const Visits*>(session.getAttribute("visits").getImpl());
        const int count = visits ? visits->count + 1 : 1;
        KxServletAttribute attribute;
        attribute.setImpl(new Visits(count));
        session.setAttribute("visits", attribute);
        plain(response, "id=" + session.getId() + "\nnew=" + (session.isNew() ? "1" : "0") +
                            "\nvisits=" + std::to_string(count) + "\n");
    }
};

// The home page's way out: the farewell leaves first, then the container
// stops.
class ShutdownServlet : public KxHttpServlet {
  public:
    void doGet(KxHttpServletRequest&, KxHttpServletResponse& response) override {
        plain(response, "farewell from the test servlet\n");
        response.flush();
        getContainer().shutdown();
        response.setPayload("this must never be sent");
    }
};

// Takes its time, as a generator run does.
class SlowServlet : public KxHttpServlet {
  public:
    void doGet(KxHttpServletRequest& request, KxHttpServletResponse& response) override {
        const int ms = std::clamp(std::atoi(request.getParameter("ms").c_str()), 0, 5000);
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        plain(response, "slept " + std::to_string(ms) + "\n");
    }
};

class LoggingServlet : public KxHttpServlet {
  public:
    void doGet(KxHttpServletRequest& request, KxHttpServletResponse& response) override {
        log("note " + request.getParameter("note"));
        plain(response, "logged\n");
    }
};

// Sends the file named by the path parameter as it is, under a policy of
// its own, as the status page sends project files.
class FileServlet : public KxHttpServlet {
  public:
    void doGet(KxHttpServletRequest& request, KxHttpServletResponse& response) override {
        const int fd = ::open(request.getParameter("path").c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            throw KxServletException("cannot open " + request.getParameter("path"));
        }
        response.setHeader("Content-Security-Policy", "sandbox");
        response.setPayloadFile(fd);
    }
};

class FailingInitServlet : public KxHttpServlet {
  public:
    void init() override { throw KxServletException("deliberate failure in init"); }
};

}  // namespace

#define KX_TEST_FACTORY(Servlet)                  \
    KX_TEST_EXPORT KxServlet* create##Servlet() { \
        return new (std::nothrow) Servlet();      \
    }
KX_TEST_FACTORY(EchoServlet)
KX_TEST_FACTORY(SessionServlet)
KX_TEST_FACTORY(ShutdownServlet)
KX_TEST_FACTORY(SlowServlet)
KX_TEST_FACTORY(LoggingServlet)
KX_TEST_FACTORY(FileServlet)
KX_TEST_FACTORY(FailingInitServlet)
KX_TEST_EXPORT KxServlet* createNoServlet() {
    return nullptr;
}
