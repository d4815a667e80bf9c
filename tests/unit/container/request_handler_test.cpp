// The request handler without a network: servlets added in process, jobs run
// at once on the calling thread, answers collected.
#include "platform/container/KxRequestHandler.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <ctime>

#include <array>
#include <functional>

#include "platform/servlet/KxServletException.h"
#include "support/ScopedEnv.h"
#include "support/ScratchDir.h"

namespace kx::container {
namespace {

class RecordingLog : public KxContainerLog {
  public:
    void info(std::string_view) override {}
    void error(std::string_view message) override { errors.emplace_back(message); }
    void access(const KxAccessRecord&) override {}
    std::vector<std::string> errors;
};

// A servlet whose doGet is given by the test.
class ScriptedServlet : public KxHttpServlet {
  public:
    using Script = std::function<void(KxHttpServletRequest&, KxHttpServletResponse&)>;
    explicit ScriptedServlet(Script script) : script_(std::move(script)) {}
    void doGet(KxHttpServletRequest& request, KxHttpServletResponse& response) override {
        script_(request, response);
    }

  private:
    Script script_;
};

class ContainerRequestHandler : public ::testing::Test {
  protected:
    ContainerRequestHandler()
        : mapper_("/orvo", {{"/s/*", "s"}, {"/gone", "gone"}}, {"s", "gone"}),
          security_("127.0.0.1", 8080, "tok"),
          registry_("", context_),
          sessions_(100),
          handler_(mapper_, security_, registry_, sessions_, context_, log_,
                   [this](std::function<void()> job) {
                       ++jobs_;
                       job();
                   }) {}

    void servlet(ScriptedServlet::Script script) {
        registry_.add("s", std::make_unique<ScriptedServlet>(std::move(script)));
    }

    // Every answer a GET got (there must be exactly one).
    std::vector<KxHttpResponseData> send(const std::string& target, KxHeaderList headers = {}) {
        KxHttpRequestData request;
        request.method = "GET";
        request.target = target;
        request.headers = {{"Host", "127.0.0.1:8080"}};  // the server's own
        request.headers.insert(request.headers.end(), headers.begin(), headers.end());
        std::vector<KxHttpResponseData> answers;
        handler_.handle(request, [&answers](KxHttpResponseData response) {
            answers.push_back(std::move(response));
        });
        return answers;
    }

    KxHttpResponseData sendOne(const std::string& target, KxHeaderList headers = {}) {
        auto answers = send(target, std::move(headers));
        EXPECT_EQ(answers.size(), 1u) << target;
        return answers.empty() ? KxHttpResponseData{} : answers.front();
    }

    KxServletContext context_{"/nowhere"};
    KxRequestMapper mapper_;
    KxSecurityChecks security_;
    KxServletRegistry registry_;
    KxSessionStore sessions_;
    RecordingLog log_;
    KxRequestHandler handler_;
    int jobs_ = 0;
    const KxHeaderList auth_ = {{"Authorization", "token tok"}};
};

TEST_F(ContainerRequestHandler, AnswersCarryStatusTypeAndOnlySafeHeaders) {
    servlet([](KxHttpServletRequest&, KxHttpServletResponse& response) {
        response.setStatus(201);
        response.setContentType("application/json");
        response.setHeader("X-One", "1");
        response.addHeader("Content-Length", "999");      // framing stays the container's
        response.addHeader("X-Bad", "a\r\nInjected: 1");  // dropped
        response.setPayload("{}");
    });
    const auto answer = sendOne("/orvo/s", auth_);
    EXPECT_EQ(answer.status, 201);
    EXPECT_EQ(answer.body, "{}");
    EXPECT_EQ(answer.findHeader("Content-Type"), "application/json");
    EXPECT_EQ(answer.findHeader("X-One"), "1");
    EXPECT_EQ(answer.findHeader("Content-Length"), std::nullopt);
    EXPECT_EQ(answer.findHeader("X-Bad"), std::nullopt);
    EXPECT_EQ(answer.findHeader("Injected"), std::nullopt);
    ASSERT_EQ(log_.errors.size(), 1u);
    EXPECT_NE(log_.errors[0].find("header 'X-Bad'"), std::string::npos);
}

TEST_F(ContainerRequestHandler, FlushSendsOnceAndLaterChangesStayUnsent) {
    servlet([](KxHttpServletRequest& request, KxHttpServletResponse& response) {
        request.getSession();
        response.setPayload("farewell");
        response.flush();
        response.setPayload("changed");
        response.flush();
        throw KxServletException("after the flush");
    });
    const auto answers = send("/orvo/s?token=tok");
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].status, 200);
    EXPECT_EQ(answers[0].body, "farewell");
    // Both cookies travel with the flushed answer.
    std::vector<std::string> cookies;
    for (const auto& [key, value] : answers[0].headers) {
        if (key == "Set-Cookie") {
            cookies.push_back(value);
        }
    }
    ASSERT_EQ(cookies.size(), 2u);
    EXPECT_EQ(cookies[0], "kxtoken=tok; Path=/; HttpOnly; SameSite=Strict");
    EXPECT_EQ(cookies[1].rfind("JSESSIONID=", 0), 0u);
    ASSERT_EQ(log_.errors.size(), 1u);
    EXPECT_NE(log_.errors[0].find("after the flush"), std::string::npos);
}

TEST_F(ContainerRequestHandler, FailuresBecome500Pages) {
    int mode = 0;
    servlet([&mode](KxHttpServletRequest&, KxHttpServletResponse& response) {
        switch (mode) {
            case 0:
                throw std::runtime_error("plain failure");
            case 1:
                throw 42;
            case 2:
                return;  // nothing produced
            case 3:
                response.sendRedirect("x\r\nSet-Cookie: a=1");
                return;
            case 4:
                response.setStatus(99);
                response.setPayload("x");
                return;
            case 5:
                response.setStatus(404);
                return;  // a status alone is an answer
        }
    });
    for (mode = 0; mode < 6; ++mode) {
        const auto answer = sendOne("/orvo/s", auth_);
        EXPECT_EQ(answer.status, mode == 5 ? 404 : 500) << mode;
        EXPECT_EQ(answer.body.find("could not be produced") != std::string::npos, mode == 2)
            << mode;
        EXPECT_EQ(answer.findHeader("Location"), std::nullopt) << mode;
    }
    ASSERT_EQ(log_.errors.size(), 5u);
    EXPECT_NE(log_.errors[0].find("servlet 's': GET /orvo/s failed: plain failure"),
              std::string::npos);
    EXPECT_NE(log_.errors[2].find("produced no page"), std::string::npos);
}

TEST_F(ContainerRequestHandler, RefusalsNeedNoServletCall) {
    // Bad paths, static or not, however escaped, and routes never become a
    // servlet job (what segments count as "..": text_test.cpp).
    servlet([](KxHttpServletRequest&, KxHttpServletResponse&) {});
    for (const char* bad :
         {"/orvo/s/..", "/orvo/s/%2e%2E/x", "/orvo/s/.%2e/x", "/orvo/s/..%2fx", "/orvo/s/..%5cx",
          "/orvo/s/..\\x", "/orvo/s/%00", "/orvo/s/x%00.txt", "/orvo/static/../secret.txt",
          "/orvo/static/img/..%2F..%2Fsecret.txt", "http://127.0.0.1/orvo/s"}) {
        EXPECT_EQ(sendOne(bad, auth_).status, 400) << bad;
    }
    EXPECT_EQ(sendOne("/nowhere", auth_).status, 404);
    EXPECT_NE(sendOne("/orvo/gone", auth_).body.find("'gone' is not available"), std::string::npos);
    EXPECT_EQ(sendOne("/?token=tok").findHeader("Location"), "/orvo/?token=tok");
    EXPECT_EQ(jobs_, 0);
}

TEST_F(ContainerRequestHandler, RelativeRedirectsResolveAgainstTheServletAddress) {
    std::string location;
    servlet([&location](KxHttpServletRequest&, KxHttpServletResponse& response) {
        response.sendRedirect(location);
    });
    // Mapped to /s/*: whatever path info follows, a relative one lands beside /orvo/s.
    for (const auto& [target, given, expected] : std::vector<std::array<const char*, 3>>{
             {"/orvo/s/a/b/c?q=1", "status", "/orvo/status"},
             {"/orvo/s/generate", "?page=2", "/orvo/s?page=2"}}) {
        location = given;
        const auto answer = sendOne(target, auth_);
        EXPECT_EQ(answer.status, 302) << target;
        EXPECT_EQ(answer.findHeader("Location"), expected) << target;
    }
}

// A payload file is passed on unread (pinned over HTTP); only a regular file
// has a length to announce.
TEST_F(ContainerRequestHandler, APayloadFileThatIsNoRegularFileIsAFailure) {
    ScratchDir scratch;
    servlet([&](KxHttpServletRequest&, KxHttpServletResponse& response) {
        response.setPayloadFile(::open(scratch.str().c_str(), O_RDONLY | O_CLOEXEC));
    });
    const auto answer = sendOne("/orvo/s", auth_);
    EXPECT_EQ(answer.status, 500);
    EXPECT_FALSE(answer.file);
    ASSERT_EQ(log_.errors.size(), 1u);
    EXPECT_NE(log_.errors[0].find("not a regular file"), std::string::npos);
}

TEST(ContainerPages, TextIsEscaped) {
    const auto page = KxRequestHandler::page(404, "Not <found>", "a & \"b\"");
    EXPECT_EQ(page.status, 404);
    EXPECT_NE(page.body.find("404 Not &lt;found&gt;"), std::string::npos);
    EXPECT_NE(page.body.find("a &amp; &quot;b&quot;"), std::string::npos);
    EXPECT_EQ(page.findHeader("content-type"), "text/html; charset=utf-8");
}

TEST(ContainerAccessLog, TokenNeverReachesTheLog) {
    for (const auto& [target, logged] : std::vector<std::pair<const char*, const char*>>{
             {"/orvo/?token=abc", "/orvo/?token=***"},
             {"/orvo/x?a=1&token=abc&b=2", "/orvo/x?a=1&token=***&b=2"},
             {"/orvo/x?%74oken=abc", "/orvo/x?%74oken=***"},
             {"/orvo/x?tok%65n=abc", "/orvo/x?tok%65n=***"},
             {"/orvo/x?%74%6F%6b%65%6E=abc", "/orvo/x?%74%6F%6b%65%6E=***"},
             {"/orvo/x?TOKEN=abc&Tok%45n=abc", "/orvo/x?TOKEN=***&Tok%45n=***"},
             {"/orvo/x?token=abc&token=abc", "/orvo/x?token=***&token=***"},
             {"/orvo/x?token", "/orvo/x?token=***"},
             {"/orvo/x?mytoken=abc", "/orvo/x?mytoken=abc"},
             {"/orvo/x?tok+en=abc", "/orvo/x?tok+en=abc"},
             {"/orvo/x", "/orvo/x"},
         }) {
        EXPECT_EQ(redactToken(target), logged) << target;
    }
}

TEST(ContainerAccessLog, CombinedLogFormatThatNoRequestCanBreak) {
    ScopedEnv zone("TZ", "UTC");
    ::tzset();
    KxAccessRecord record;
    record.client = "127.0.0.1";
    record.request = "GET /orvo/?token=t&a=1 HTTP/1.1";
    record.status = 200;
    record.bytes = 5120;
    record.referer = "http://127.0.0.1:8080/orvo/?token=t";
    record.userAgent = "Mozilla/5.0 (X11)";
    record.time = std::chrono::system_clock::from_time_t(784111777);
    record.duration = std::chrono::milliseconds(1234);
    EXPECT_EQ(formatAccessRecord(record),
              "127.0.0.1 - - [06/Nov/1994:08:49:37 +0000] \"GET /orvo/?token=***&a=1 HTTP/1.1\" "
              "200 5120 \"http://127.0.0.1:8080/orvo/?token=***\" \"Mozilla/5.0 (X11)\" 1.234");

    // A hostile request line: quotes, a backslash, control bytes and bytes
    // past ASCII are escaped, so the line keeps its fields.
    record.request = "GET /a\"b\\c\x01\x7f\xc3\xa9 ?token=x\" 200 HTTP/1.1";
    record.referer.clear();
    record.userAgent = "x\"\n";
    record.duration = std::chrono::milliseconds(3);
    EXPECT_EQ(formatAccessRecord(record),
              "127.0.0.1 - - [06/Nov/1994:08:49:37 +0000] "
              "\"GET /a\\x22b\\x5Cc\\x01\\x7F\\xC3\\xA9 ?token=*** HTTP/1.1\" 200 5120 \"-\" "
              "\"x\\x22\\x0A\" 0.003");
    record.request.clear();  // nothing of a request line arrived
    EXPECT_NE(formatAccessRecord(record).find("] \"-\" 200 "), std::string::npos);
}

}  // namespace
}  // namespace kx::container
