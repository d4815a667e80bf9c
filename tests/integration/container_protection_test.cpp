// The local server's protections against the real container: the token, the
// Host allow-list, cross-site refusal, size, time and connection limits, and
// clients abusing them. Loops are bounded; the decisions are unit-tested.
#include <gtest/gtest.h>

#include <signal.h>

#include <array>
#include <future>
#include <memory>
#include <regex>
#include <thread>
#include <tuple>

#include "support/KxContainerFixture.h"

namespace kxtest {
namespace {

using Clock = std::chrono::steady_clock;
using ContainerProtection = ContainerTest;

// The token is checked in all three places it may come in, and never logged.
TEST_F(ContainerProtection, OnlyThisRunsTokenIsAcceptedAndNeverLogged) {
    // A given token, or none at all.
    ASSERT_NO_FATAL_FAILURE(start({"--token", "sesame", "--host-name", "Orvo-Given.localhost"}));
    EXPECT_EQ(container.hostName(), "orvo-given.localhost");
    EXPECT_EQ(container.request("GET", "/orvo/echo?token=sesame").status, 200);
    {
        ContainerProcess open;
        ASSERT_TRUE(open.start(scratch.str(), {"--no-token"})) << open.failure();
        EXPECT_EQ(open.url(), "http://127.0.0.1:" + std::to_string(open.port()) + "/orvo/");
        EXPECT_EQ(open.request("GET", "/orvo/echo").status, 200);
    }
    const std::string previous = container.token();
    container.signal(SIGTERM);
    ASSERT_EQ(container.waitForExit(15s), std::optional<int>(0));

    // Otherwise each run makes a new one.
    ASSERT_TRUE(container.start(scratch.str())) << container.failure();
    const std::string token = container.token();
    ASSERT_EQ(token.size(), 32u);
    ASSERT_NE(token, previous);
    // The address names the server by a fresh name of its own.
    const std::string port = std::to_string(container.port());
    EXPECT_TRUE(std::regex_match(container.hostName(), std::regex("orvo-[0-9a-f]{16}\\.localhost")))
        << container.hostName();
    EXPECT_EQ(container.url(),
              "http://" + container.hostName() + ":" + port + "/orvo/?token=" + token);
    const auto without = container.request("GET", "/orvo/echo");
    EXPECT_EQ(without.status, 403);
    EXPECT_TRUE(contains(without.body, "printed when it started")) << without.body;
    for (const auto& [target, headers] : std::vector<std::pair<std::string, Headers>>{
             {"/orvo/echo", {{"Cookie", "kxtoken=" + previous}}},
             {"/orvo/echo?token=" + previous, {}},
             {"/orvo/echo", {{"Authorization", "token " + previous}}},
             {"/orvo/echo?TOK%45N=" + token, {}}}) {
        EXPECT_EQ(container.request("GET", target, headers).status, 403) << target;
    }

    // This run's token works in every form; on the own name the parameter
    // sets the cookie, and only there is the cookie believed.
    const auto own = container.ownHost();
    const auto byParameter = container.request("GET", "/orvo/echo?a=1&tok%65n=" + token, {own});
    ASSERT_EQ(byParameter.status, 200);
    EXPECT_EQ(byParameter.headerValues("Set-Cookie"),
              std::vector<std::string>{"kxtoken=" + token + "; Path=/; HttpOnly; SameSite=Strict"});
    const auto byCookie =
        container.request("GET", "/orvo/echo", {own, {"Cookie", "other=1; kxtoken=" + token}});
    EXPECT_EQ(byCookie.status, 200);
    EXPECT_TRUE(byCookie.headerValues("Set-Cookie").empty());

    // On the names every local server shares, no cookie is set or believed:
    // a program is served through the parameter, a browser is sent to the
    // own name with the same path and query.
    const Headers navigation = {{"Sec-Fetch-Mode", "navigate"}, {"Sec-Fetch-Dest", "document"}};
    const std::string query = "/orvo/echo/page?a=1&token=" + token;
    for (const auto& [host, headers, status, location] :
         std::vector<std::tuple<std::string, Headers, int, std::string>>{
             {"127.0.0.1:" + port, {}, 200, ""},
             {"127.0.0.1:" + port, navigation, 302, "http://" + own.second + query},
             {"localhost:" + port,
              {{"Upgrade-Insecure-Requests", "1"}},
              302,
              "http://" + own.second + query},
             {"[::1]", navigation, 302, "http://" + own.second + query}}) {
        Headers sent = headers;
        sent.emplace_back("Host", host);
        const auto answer = container.request("GET", query, sent);
        EXPECT_EQ(answer.status, status) << host;
        EXPECT_EQ(answer.header("Location"), location) << host;
        EXPECT_TRUE(answer.headerValues("Set-Cookie").empty()) << host;
        EXPECT_EQ(contains(answer.body, "method="), status == 200) << host;
    }
    for (const std::string& host : std::vector<std::string>{"127.0.0.1:" + port, "localhost"}) {
        EXPECT_EQ(container
                      .request("GET", "/orvo/echo",
                               {{"Host", host}, {"Cookie", "kxtoken=" + token}, navigation[0]})
                      .status,
                  403)
            << host;
    }
    const auto form = container.request("POST", "/orvo/echo?last=1",
                                        {{"Authorization", "token " + token},
                                         {"Content-Type", "application/x-www-form-urlencoded"}},
                                        "token=" + token);
    EXPECT_EQ(form.status, 200);

    // Neither the query nor a form body brings the token into a log.
    const std::string access =
        waitForFileText(container.logDirectory() + "/access.log", "POST /orvo/echo?last=1");
    EXPECT_FALSE(contains(access, token)) << access;
    EXPECT_FALSE(contains(containerLog(), token)) << containerLog();
    EXPECT_TRUE(contains(access, "\"GET /orvo/echo?a=1&tok%65n=*** HTTP/1.1\" 200 ")) << access;
}

// Another site's page sends the token cookie along: servlets and static files
// refuse it, and the shutdown servlet is never reached.
TEST_F(ContainerProtection, ForeignHostsAndOriginsAreRefusedEvenWithTheToken) {
    ASSERT_NO_FATAL_FAILURE(start());
    const std::string port = std::to_string(container.port());
    const std::string own = "http://localhost:" + port;
    for (const auto& [name, value] : Headers{{"Host", "localhost:" + port},
                                             container.ownHost(),
                                             {"Sec-Fetch-Site", "same-origin"},
                                             {"Origin", own},
                                             {"Origin", "http://" + container.ownHost().second}}) {
        EXPECT_EQ(container.get("/orvo/echo", {{name, value}}).status, 200) << value;
    }
    const std::string cookie = "kxtoken=" + container.token();
    for (const auto& [target, name, value] : std::vector<std::array<std::string, 3>>{
             {"/orvo/shutdown", "Host", "rebind.attacker.example:" + port},
             {"/orvo/shutdown", "Sec-Fetch-Site", "cross-site"},
             {"/orvo/shutdown", "Origin", "http://attacker.example"},
             {"/orvo/shutdown", "Host", "dev.localhost:" + port},
             {"/orvo/shutdown", "Origin", "http://dev.localhost:" + port},
             {"/orvo/echo?token=" + container.token(), "Origin", "http://evil.example"},
             {"/orvo/static/style.css", "Host", "evil.example"},
             {"/orvo/static/style.css", "Sec-Fetch-Site", "cross-site"}}) {
        const auto refused =
            container.request(target == "/orvo/static/style.css" ? "GET" : "POST", target,
                              {{name, value},
                               {"Cookie", cookie},
                               {"Content-Type", "application/x-www-form-urlencoded"}},
                              "oper=shutdown");
        EXPECT_EQ(refused.status, 403) << target << " " << value;
        EXPECT_FALSE(contains(refused.body, "method=") || contains(refused.body, "farewell") ||
                     contains(refused.body, "teal"))
            << refused.body;
    }
    // No Host header (HTTP/1.0 allows that), and two: no guessing which counts.
    const std::string auth = "Authorization: token " + container.token() + "\r\n";
    for (const auto& [request, status] : std::vector<std::pair<std::string, int>>{
             {"GET /orvo/echo HTTP/1.0\r\n" + auth + "\r\n", 403},
             {"GET /orvo/echo HTTP/1.1\r\nHost: 127.0.0.1:" + port +
                  "\r\nHost: rebind.attacker.example\r\n" + auth + "Connection: close\r\n\r\n",
              400}}) {
        HttpConnection connection(container.port());
        ASSERT_TRUE(connection.sendRaw(request));
        const auto answer = connection.readResponse();
        EXPECT_EQ(answer.status, status);
        EXPECT_FALSE(contains(answer.body, "method="));
    }
    EXPECT_EQ(container.get("/orvo/echo").status, 200);
    EXPECT_FALSE(contains(containerLog(), "stopping"));
}

TEST_F(ContainerProtection, OversizedHeaderGets431AndOversizedBodyGets413) {
    ASSERT_NO_FATAL_FAILURE(
        start({"--client-header-buffer-size", "4k", "--client-max-body-size", "2k"}));
    const Headers form = {{"Authorization", "token " + container.token()},
                          {"Content-Type", "application/x-www-form-urlencoded"}};
    auto filled = [&](std::size_t n) {
        return buildRequest(container.port(), "GET", "/orvo/echo",
                            {form[0], {"X-Filler", std::string(n, 'a')}});
    };
    auto posted = [&](std::size_t n) {
        return buildRequest(container.port(), "POST", "/orvo/echo", form,
                            "a=" + std::string(n, 'b'));
    };
    Headers chunked = form;
    chunked.emplace_back("Transfer-Encoding", "chunked");
    const std::string chunk = "400\r\n" + std::string(1024, 'c') + "\r\n";
    // Chunked: the limit holds without a Content-Length too.
    for (const auto& [request, status] : std::vector<std::pair<std::string, int>>{
             {filled(3000), 200},
             {filled(4500), 431},
             {posted(2046), 200},
             {posted(2047), 413},
             {buildRequest(container.port(), "POST", "/orvo/echo", chunked) + chunk + chunk +
                  chunk + "0\r\n\r\n",
              413}}) {
        HttpConnection connection(container.port());
        ASSERT_TRUE(connection.sendRaw(request));
        const auto answer = connection.readResponse();
        EXPECT_EQ(answer.status, status) << request.substr(0, 60);
        EXPECT_EQ(answer.header("X-Content-Type-Options"), "nosniff");
        EXPECT_EQ(contains(answer.body, "method="), status == 200);
    }
}

// A megabyte header, or a declared 100 MB body sent anyway for three seconds:
// refused at once, and the server keeps none of it.
TEST_F(ContainerProtection, AMegabyteHeaderOrAHundredMegabyteBodyIsRefusedWithoutGrowingTheServer) {
    ASSERT_NO_FATAL_FAILURE(start());
    constexpr std::size_t kBody = 100 * 1024 * 1024;
    const Headers hugeBody = {{"Authorization", "token " + container.token()},
                              {"Content-Type", "application/x-www-form-urlencoded"},
                              {"Content-Length", std::to_string(kBody)}};
    for (const auto& [request, status, body] : std::vector<std::tuple<std::string, int, bool>>{
             {"GET /orvo/echo HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Filler: " +
                  std::string(1024 * 1024, 'a') + "\r\n\r\n",
              431, false},
             {buildRequest(container.port(), "POST", "/orvo/echo", hugeBody), 413, true}}) {
        ASSERT_EQ(container.get("/orvo/echo").status, 200);
        const long before = residentKilobytes(container.processId());
        ASSERT_GT(before, 0);
        const auto started = Clock::now();
        HttpConnection connection(container.port());
        connection.sendRaw(request);  // may be cut short: the answer matters
        EXPECT_EQ(connection.readResponse(false, 5s).status, status);
        EXPECT_LT(since(started), 5s);

        const std::string chunk(256 * 1024, 'b');
        std::size_t sent = 0;
        const auto sendUntil = Clock::now() + 3s;
        while (body && sent < kBody && Clock::now() < sendUntil && connection.sendRaw(chunk)) {
            sent += chunk.size();
        }
        const long after = residentKilobytes(container.processId());
        EXPECT_LT(after - before, kGrowthBoundKb)
            << before << " kB before, " << after << " kB after " << sent << " bytes of body";
        EXPECT_TRUE(connection.waitForClose(35s));
        EXPECT_EQ(container.get("/orvo/echo").status, 200);
    }
}

// Sends head, then drip a byte a second; the status answered, 0 when none.
int trickle(unsigned short port, const std::string& head, const std::string& drip) {
    HttpConnection connection(port);
    connection.sendRaw(head);
    for (const char byte : drip) {
        if (!connection.sendRaw(std::string(1, byte))) {
            break;
        }
        const auto answer = connection.readResponse(false, 1s);
        if (answer.status != 0) {
            return answer.status;
        }
    }
    return connection.readResponse(false, 2s).status;
}

TEST_F(ContainerProtection, ClientsSendingAByteASecondHoldUpNobody) {
    ASSERT_NO_FATAL_FAILURE(
        start({"--threads", "1", "--client-header-timeout", "2s", "--client-body-timeout", "2s"}));
    const std::string header = buildRequest(container.port(), "GET", "/orvo/echo/slow",
                                            {{"Authorization", "token " + container.token()}});
    const std::string body = buildRequest(container.port(), "POST", "/orvo/echo/slow",
                                          {{"Authorization", "token " + container.token()},
                                           {"Content-Type", "application/x-www-form-urlencoded"},
                                           {"Content-Length", "40"}});
    const auto started = Clock::now();
    // A connection that never sends anything is closed at the header limit.
    HttpConnection idle(container.port());
    // Four header tricklers and a body trickler, none finishing in time.
    std::vector<std::future<int>> slow;
    for (int i = 0; i < 5; ++i) {
        slow.push_back(std::async(std::launch::async, [&, i] {
            return i < 4 ? trickle(container.port(), "", header.substr(0, 8))
                         : trickle(container.port(), body, std::string(8, 'a'));
        }));
    }
    // Meanwhile others are served at once by the only servlet thread.
    std::this_thread::sleep_for(300ms);
    for (int i = 0; i < 5; ++i) {
        const auto request = Clock::now();
        EXPECT_EQ(container.get("/orvo/echo/quick").status, 200);
        EXPECT_LT(since(request), 1s) << i;
    }
    // The tricklers are cut off at the limit, not kept alive by each byte.
    for (auto& client : slow) {
        EXPECT_EQ(client.get(), 408);
    }
    EXPECT_TRUE(idle.waitForClose(2s));
    EXPECT_LT(since(started), 8s);
}

TEST_F(ContainerProtection, ConnectionsPastTheCapAreClosedAndServiceResumes) {
    ASSERT_NO_FATAL_FAILURE(start({"--max-connections", "4"}));
    // Connections that send nothing hold their places.
    std::vector<std::unique_ptr<HttpConnection>> held;
    for (int i = 0; i < 4; ++i) {
        held.push_back(std::make_unique<HttpConnection>(container.port()));
    }
    std::this_thread::sleep_for(200ms);
    for (int i = 0; i < 12; ++i) {
        HttpConnection extra(container.port());
        const auto started = Clock::now();
        EXPECT_TRUE(extra.waitForClose(2s)) << i;
        EXPECT_LT(since(started), 2s) << i;
    }
    // The held ones were never closed for the others' sake.
    ASSERT_TRUE(held.front()->sendRaw(buildRequest(
        container.port(), "GET", "/orvo/echo", {{"Authorization", "token " + container.token()}})));
    EXPECT_EQ(held.front()->readResponse().status, 200);

    held.clear();
    int status = 0;
    for (const auto until = Clock::now() + 5s; status != 200 && Clock::now() < until;
         std::this_thread::sleep_for(50ms)) {
        status = container.get("/orvo/echo").status;
    }
    EXPECT_EQ(status, 200);
    const std::string log = containerLog();
    EXPECT_NE(log.find("connection limit of 4 reached"), std::string::npos);
    EXPECT_EQ(log.find("connection limit of 4 reached"), log.rfind("connection limit of 4 reached"))
        << "logged once per time the limit is reached";
}

// Sends count GETs over kept-alive connections (a new one whenever the server
// ends one) until the deadline; the number answered with 200.
int requestMany(unsigned short port, const std::string& target, int count,
                Clock::time_point deadline) {
    int served = 0;
    int attempts = 0;
    while (attempts < count && Clock::now() < deadline) {
        HttpConnection connection(port);
        bool open = connection.isOpen();
        while (open && attempts < count && Clock::now() < deadline) {
            ++attempts;
            if (!connection.sendRaw(
                    buildRequest(port, "GET", target, {{"Connection", "keep-alive"}}))) {
                break;
            }
            const auto response = connection.readResponse(false, 5s);
            served += response.status == 200;
            open = response.status != 0 && response.header("Connection") != "close";
        }
    }
    return served;
}

// The server stays small and keeps the session that came back.
TEST_F(ContainerProtection, TenThousandRequestsWithoutACookieKeepTheServerSmall) {
    ASSERT_NO_FATAL_FAILURE(start({"--no-token", "--max-sessions", "50"}));
    const std::string cookie =
        container.request("GET", "/orvo/session").header("Set-Cookie").substr(0, 43);
    ASSERT_EQ(cookie.rfind("JSESSIONID=", 0), 0u);
    ASSERT_EQ(container.request("GET", "/orvo/session", {{"Cookie", cookie}}).status, 200);

    // 4 clients: 500 requests each warm the server up, 2,000 more must not
    // make it grow.
    const auto deadline = Clock::now() + 90s;
    auto requestFromEachClient = [&](int count) {
        std::vector<std::future<int>> clients;
        for (int i = 0; i < 4; ++i) {
            clients.push_back(std::async(std::launch::async, [&] {
                return requestMany(container.port(), "/orvo/session", count, deadline);
            }));
        }
        int served = 0;
        for (auto& client : clients) {
            served += client.get();
        }
        return served;
    };
    const long before = residentKilobytes(container.processId());
    ASSERT_GT(before, 0);
    EXPECT_EQ(requestFromEachClient(500), 4 * 500);
    const long warm = residentKilobytes(container.processId());
    EXPECT_EQ(requestFromEachClient(2000), 4 * 2000);
    const long after = residentKilobytes(container.processId());
    EXPECT_LT(after - warm, kGrowthBoundKb)
        << before << " kB at start, " << warm << " kB warm, " << after << " kB after";
    EXPECT_LT(after - before, 2 * kGrowthBoundKb)
        << before << " kB at start, " << warm << " kB warm, " << after << " kB after";

    const auto returning = container.request("GET", "/orvo/session", {{"Cookie", cookie}});
    EXPECT_TRUE(contains(returning.body, "new=0\nvisits=3\n")) << returning.body;
}

TEST_F(ContainerProtection, TheLogsKeepEveryLineWhenTheServerIsKilled) {
    ASSERT_NO_FATAL_FAILURE(start());
    const std::string accessLog = container.logDirectory() + "/access.log";
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(container.get("/orvo/logging?note=line" + std::to_string(i)).status, 200);
    }
    // Each line is written once its answer is sent; then a kill, no flush.
    for (int i = 0; i < 20; ++i) {
        waitForFileText(accessLog,
                        "GET /orvo/logging?note=line" + std::to_string(i) + " HTTP/1.1\" 200 ");
    }
    container.signal(SIGKILL);
    EXPECT_EQ(container.waitForExit(5s), std::nullopt);

    const std::string access = readFile(accessLog);
    const std::string log = containerLog();
    for (int i = 0; i < 20; ++i) {
        const std::string note = "line" + std::to_string(i);
        EXPECT_TRUE(contains(access, "GET /orvo/logging?note=" + note + " HTTP/1.1\" 200 "))
            << note;
        EXPECT_TRUE(contains(log, "logging: note " + note + "\n")) << note;
    }
}

}  // namespace
}  // namespace kxtest
