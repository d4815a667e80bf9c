// The request handler without a network: servlets added in process, jobs run at once.
#include "platform/container/KxRequestHandler.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <ctime>

#include <functional>

#include "platform/servlet/KxServletException.h"
#include "support/ScopedEnv.h"
#include "support/ScratchDir.h"

namespace kx::container {
namespace {

struct RecordingLog : KxContainerLog {
    void info(std::string_view) override {}
    void error(std::string_view message) override { errors.emplace_back(message); }
    void access(const KxAccessRecord&) override {}
    std::vector<std::string> errors;
};

using Script = std::function<void(KxHttpServletRequest&, KxHttpServletResponse&)>;
struct ScriptedServlet : KxHttpServlet {
    explicit ScriptedServlet(Script s) : script(std::move(s)) {}
    void doGet(KxHttpServletRequest& q, KxHttpServletResponse& r) override { script(q, r); }
    Script script;
};

class ContainerRequestHandler : public ::testing::Test {
  protected:
    void servlet(Script script) {
        registry_.add("s", std::make_unique<ScriptedServlet>(std::move(script)));
    }

    // The one answer a GET got, sent to 127.0.0.1 unless headers name a Host,
    // with the token by default.
    KxHttpResponseData send(const std::string& target, KxHeaderList headers = auth_) {
        KxHttpRequestData request;
        request.target = target;
        request.headers = std::move(headers);
        if (!request.findHeader("Host")) {
            request.headers.emplace_back("Host", "127.0.0.1:8080");
        }
        std::vector<KxHttpResponseData> answers;
        handler_.handle(request, [&](KxHttpResponseData r) { answers.push_back(std::move(r)); });
        EXPECT_EQ(answers.size(), 1u) << target;
        return answers.empty() ? KxHttpResponseData{} : answers.front();
    }
    bool logged(std::size_t i, std::string_view part) const {
        return i < log_.errors.size() && log_.errors[i].find(part) != std::string::npos;
    }

    static inline const KxHeaderList auth_ = {{"Authorization", "token tok"}};
    KxServletContext context_{"/nowhere"};
    KxRequestMapper mapper_{"/orvo", {{"/s/*", "s"}, {"/gone", "gone"}}, {"s", "gone"}};
    KxSecurityChecks security_{"127.0.0.1", 8080, "tok", "orvo-t.localhost"};
    KxServletRegistry registry_{"", context_};
    KxSessionStore sessions_{100};
    RecordingLog log_;
    int jobs_ = 0;
    KxRequestHandler handler_{mapper_,
                              security_,
                              registry_,
                              sessions_,
                              context_,
                              log_,
                              [this](std::function<void()> job) {
                                  ++jobs_;
                                  job();
                              }};
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
    const auto answer = send("/orvo/s");
    EXPECT_EQ(answer.status, 201);
    EXPECT_EQ(answer.body, "{}");
    EXPECT_EQ(answer.findHeader("Content-Type"), "application/json");
    EXPECT_EQ(answer.findHeader("X-One"), "1");
    for (const char* dropped : {"Content-Length", "X-Bad", "Injected"}) {
        EXPECT_EQ(answer.findHeader(dropped), std::nullopt) << dropped;
    }
    EXPECT_EQ(log_.errors.size(), 1u);
    EXPECT_TRUE(logged(0, "header 'X-Bad'"));
}

TEST_F(ContainerRequestHandler, FlushSendsOnceWithBothCookiesAndLaterChangesStayUnsent) {
    servlet([](KxHttpServletRequest& request, KxHttpServletResponse& response) {
        request.getSession();
        response.setPayload("farewell");
        response.flush();
        response.setPayload("changed");
        response.flush();
        throw KxServletException("after the flush");
    });
    const auto answer = send("/orvo/s?token=tok", {{"Host", "orvo-t.localhost:8080"}});
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "farewell");
    std::vector<std::string> cookies;
    for (const auto& [key, value] : answer.headers) {
        if (key == "Set-Cookie") {
            cookies.push_back(value);
        }
    }
    ASSERT_EQ(cookies.size(), 2u);
    EXPECT_EQ(cookies[0], "kxtoken=tok; Path=/; HttpOnly; SameSite=Strict");
    EXPECT_EQ(cookies[1].rfind("JSESSIONID=", 0), 0u);
    EXPECT_EQ(log_.errors.size(), 1u);
    EXPECT_TRUE(logged(0, "after the flush"));
}

TEST_F(ContainerRequestHandler, FailuresBecome500Pages) {
    ScratchDir scratch;
    using Response = KxHttpServletResponse;
    Script script;
    servlet([&](KxHttpServletRequest& q, Response& r) { script(q, r); });
    const std::vector<Script> scripts = {
        [](auto&, Response&) { throw std::runtime_error("plain failure"); },
        [](auto&, Response&) { throw 42; },
        // Nothing produced; a redirect with a line break; a status out of range.
        [](auto&, Response&) {}, [](auto&, Response& r) { r.sendRedirect("x\r\nSet-Cookie: a=1"); },
        [](auto&, Response& r) { r.setStatus(99), r.setPayload("x"); },
        // A payload file is passed on unread: only a regular file has a length to announce.
        [&](auto&, Response& r) { r.setPayloadFile(::open(scratch.str().c_str(), O_RDONLY)); },
        [](auto&, Response& r) { r.setStatus(404); },  // a status alone is an answer
    };
    for (std::size_t i = 0; i < scripts.size(); ++i) {
        script = scripts[i];
        const auto answer = send("/orvo/s");
        EXPECT_EQ(answer.status, i == 6 ? 404 : 500) << i;
        EXPECT_EQ(answer.body.find("could not be produced") != std::string::npos, i == 2) << i;
        EXPECT_EQ(answer.findHeader("Location"), std::nullopt) << i;
        EXPECT_FALSE(answer.file) << i;
    }
    EXPECT_EQ(log_.errors.size(), 6u);
    EXPECT_TRUE(logged(0, "servlet 's': GET /orvo/s failed: plain failure"));
    EXPECT_TRUE(logged(2, "produced no page"));
    EXPECT_TRUE(logged(5, "not a regular file"));
}

TEST_F(ContainerRequestHandler, RefusalsNeedNoServletCall) {
    // Bad paths, static or not, however escaped, never become a servlet job.
    servlet([](KxHttpServletRequest&, KxHttpServletResponse&) {});
    for (const char* bad :
         {"/orvo/s/..", "/orvo/s/%2e%2E/x", "/orvo/s/.%2e/x", "/orvo/s/..%2fx", "/orvo/s/..%5cx",
          "/orvo/s/..\\x", "/orvo/s/%00", "/orvo/s/x%00.txt", "/orvo/static/../secret.txt",
          "/orvo/static/img/..%2F..%2Fsecret.txt", "http://127.0.0.1/orvo/s"}) {
        EXPECT_EQ(send(bad).status, 400) << bad;
    }
    EXPECT_EQ(send("/nowhere").status, 404);
    EXPECT_NE(send("/orvo/gone").body.find("'gone' is not available"), std::string::npos);
    EXPECT_EQ(send("/?token=tok", {}).findHeader("Location"), "/orvo/?token=tok");
    // A browser opening the address on 127.0.0.1 is sent to the own name,
    // without a cookie; a program is served there without one.
    const auto navigated = send("/orvo/s/x?a=1&token=tok", {{"Sec-Fetch-Mode", "navigate"}});
    EXPECT_EQ(navigated.status, 302);
    EXPECT_EQ(navigated.findHeader("Location"),
              "http://orvo-t.localhost:8080/orvo/s/x?a=1&token=tok");
    EXPECT_EQ(navigated.findHeader("Set-Cookie"), std::nullopt);
    EXPECT_EQ(jobs_, 0);
    const auto program = send("/orvo/s/x?token=tok", {});
    EXPECT_EQ(program.status, 500);  // the servlet ran (and produced nothing)
    EXPECT_EQ(program.findHeader("Set-Cookie"), std::nullopt);
    EXPECT_EQ(send("/orvo/s/x", {{"Cookie", "kxtoken=tok"}}).status, 403);
}

TEST_F(ContainerRequestHandler, RelativeRedirectsResolveAgainstTheServletAddress) {
    std::string location;
    servlet([&](KxHttpServletRequest&, KxHttpServletResponse& r) { r.sendRedirect(location); });
    // Mapped to /s/*: whatever path info follows, a relative one lands beside /orvo/s.
    for (const auto& [target, given, expected] :
         {std::tuple{"/orvo/s/a/b/c?q=1", "status", "/orvo/status"},
          {"/orvo/s/generate", "?page=2", "/orvo/s?page=2"}}) {
        location = given;
        const auto answer = send(target);
        EXPECT_EQ(answer.status, 302) << target;
        EXPECT_EQ(answer.findHeader("Location"), expected) << target;
    }
}

TEST(ContainerPages, TextIsEscaped) {
    const auto page = KxRequestHandler::page(404, "Not <found>", "a & \"b\"");
    EXPECT_EQ(page.status, 404);
    EXPECT_NE(page.body.find("404 Not &lt;found&gt;"), std::string::npos);
    EXPECT_NE(page.body.find("a &amp; &quot;b&quot;"), std::string::npos);
    EXPECT_EQ(page.findHeader("content-type"), "text/html; charset=utf-8");
}

TEST(ContainerAccessLog, TokenNeverReachesTheLog) {
    for (const auto& [target, logged] :
         {std::pair{"/orvo/?token=abc", "/orvo/?token=***"},
          {"/orvo/x?a=1&token=abc&b=2", "/orvo/x?a=1&token=***&b=2"},
          {"/orvo/x?%74oken=abc", "/orvo/x?%74oken=***"},
          {"/orvo/x?tok%65n=abc", "/orvo/x?tok%65n=***"},
          {"/orvo/x?%74%6F%6b%65%6E=abc", "/orvo/x?%74%6F%6b%65%6E=***"},
          {"/orvo/x?TOKEN=abc&Tok%45n=abc", "/orvo/x?TOKEN=***&Tok%45n=***"},
          {"/orvo/x?token=abc&token=abc", "/orvo/x?token=***&token=***"},
          {"/orvo/x?token", "/orvo/x?token=***"},
          {"/orvo/x?mytoken=abc", "/orvo/x?mytoken=abc"},
          {"/orvo/x?tok+en=abc", "/orvo/x?tok+en=abc"},
          {"/orvo/x", "/orvo/x"}}) {
        EXPECT_EQ(redactToken(target), logged) << target;
    }
}

TEST(ContainerAccessLog, CombinedLogFormatThatNoRequestCanBreak) {
    ScopedEnv zone("TZ", "UTC");
    ::tzset();
    KxAccessRecord record{.client = "127.0.0.1",
                          .request = "GET /orvo/?token=t&a=1 HTTP/1.1",
                          .status = 200,
                          .bytes = 5120,
                          .referer = "http://127.0.0.1:8080/orvo/?token=t",
                          .userAgent = "Mozilla/5.0 (X11)",
                          .time = std::chrono::system_clock::from_time_t(784111777),
                          .duration = std::chrono::milliseconds(1234)};
    EXPECT_EQ(formatAccessRecord(record),
              "127.0.0.1 - - [06/Nov/1994:08:49:37 +0000] \"GET /orvo/?token=***&a=1 HTTP/1.1\" "
              "200 5120 \"http://127.0.0.1:8080/orvo/?token=***\" \"Mozilla/5.0 (X11)\" 1.234");
    // Quotes, a backslash, control bytes and bytes past ASCII are escaped: the fields stay.
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

TEST(ContainerAccessLog, EachLineCarriesItsOwnSecondAndAppendsToWhatIsThere) {
    ScopedEnv zone("TZ", "UTC");
    ::tzset();
    KxAccessRecord record;
    record.client = "::1";
    record.request = "GET / HTTP/1.1";
    record.status = 304;
    std::string lines = "kept|";
    // Lines one after the other, a second apart and back again: none shows
    // the time of the line before it.
    for (const auto& [seconds, stamp] : {std::pair{784111777, "[06/Nov/1994:08:49:37 +0000]"},
                                         {784111778, "[06/Nov/1994:08:49:38 +0000]"},
                                         {784111777, "[06/Nov/1994:08:49:37 +0000]"},
                                         {784198177, "[07/Nov/1994:08:49:37 +0000]"}}) {
        record.time =
            std::chrono::system_clock::from_time_t(seconds) + std::chrono::milliseconds(999);
        EXPECT_NE(formatAccessRecord(record).find(stamp), std::string::npos) << stamp;
    }
    record.duration = std::chrono::milliseconds(61'005);
    appendAccessRecord(lines, record);
    EXPECT_EQ(lines,
              "kept|::1 - - [07/Nov/1994:08:49:37 +0000] \"GET / HTTP/1.1\" 304 0 \"-\" "
              "\"-\" 61.005");
}

}  // namespace
}  // namespace kx::container
