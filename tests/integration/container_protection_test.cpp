// The protections of the local server, seen over HTTP against the real
// container: the access token, the Host allow-list (DNS rebinding), cross-site
// refusal, the size, time and connection limits, and clients that abuse them
// (tricklers, floods, a kill in the middle). Every loop is bounded in count
// and time, and every address is 127.0.0.1. The decision tables of the checks
// themselves are in tests/unit/container/security_checks_test.cpp.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <sstream>
#include <thread>

#include "support/KxContainerFixture.h"

namespace kxtest {
namespace {

using Clock = std::chrono::steady_clock;
using ContainerProtection = ContainerTest;

std::chrono::milliseconds since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

std::size_t countLines(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (contains(line, part)) {
            ++count;
        }
    }
    return count;
}

TEST_F(ContainerProtection, OnlyThisRunsTokenIsAcceptedAndHandedOverAsACookie) {
    ASSERT_NO_FATAL_FAILURE(start());
    const std::string previous = container.token();
    container.signal(SIGTERM);
    ASSERT_EQ(container.waitForExit(std::chrono::seconds(15)), std::optional<int>(0));

    // A new run on the same application makes a new token.
    ASSERT_TRUE(container.start(scratch.str())) << container.failure();
    const std::string token = container.token();
    ASSERT_EQ(token.size(), 32u);
    ASSERT_NE(token, previous);
    EXPECT_EQ(container.url(),
              "http://127.0.0.1:" + std::to_string(container.port()) + "/orvo/?token=" + token);

    const auto without = container.request("GET", "/orvo/echo");
    EXPECT_EQ(without.status, 403);
    EXPECT_TRUE(contains(without.body, "printed when it started")) << without.body;
    EXPECT_EQ(without.header("X-Content-Type-Options"), "nosniff");

    std::string upper = token;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    const std::string different = (token.front() == 'a' ? "b" : "a") + token.substr(1);
    for (const std::string& stale :
         std::vector<std::string>{previous, "", token.substr(0, 31), token + "0", different,
                                  upper == token ? token + token : upper}) {
        EXPECT_EQ(container.request("GET", "/orvo/echo", {{"Cookie", "kxtoken=" + stale}}).status,
                  403)
            << stale;
        EXPECT_EQ(container.request("GET", "/orvo/echo?token=" + stale).status, 403) << stale;
        EXPECT_EQ(
            container.request("GET", "/orvo/echo", {{"Authorization", "token " + stale}}).status,
            403)
            << stale;
    }
    EXPECT_EQ(container.request("GET", "/orvo/echo", {{"Authorization", "Bearer " + token}}).status,
              403);

    // This run's token works in every form; the parameter sets the cookie.
    const auto byParameter = container.request("GET", "/orvo/echo?token=" + token);
    ASSERT_EQ(byParameter.status, 200);
    EXPECT_EQ(byParameter.headerValues("Set-Cookie"),
              std::vector<std::string>{"kxtoken=" + token + "; Path=/; HttpOnly; SameSite=Strict"});
    const auto byCookie =
        container.request("GET", "/orvo/echo", {{"Cookie", "other=1; kxtoken=" + token}});
    EXPECT_EQ(byCookie.status, 200);
    EXPECT_TRUE(byCookie.headerValues("Set-Cookie").empty());
    EXPECT_EQ(container.request("GET", "/orvo/echo", {{"Authorization", "token " + token}}).status,
              200);

    // However its name is escaped, the token is the token, and it never
    // reaches a log: not in the query, not in a form body.
    for (const std::string& name :
         std::vector<std::string>{"%74oken", "tok%65n", "%74%6F%6b%65%6E", "TOK%45N"}) {
        EXPECT_EQ(container.request("GET", "/orvo/echo?a=1&" + name + "=" + token).status,
                  name == "TOK%45N" ? 403 : 200)
            << name;
        EXPECT_EQ(container
                      .request("POST", "/orvo/echo?last=" + name,
                               {{"Authorization", "token " + token},
                                {"Content-Type", "application/x-www-form-urlencoded"}},
                               name + "=" + token)
                      .status,
                  200)
            << name;
    }
    const std::string access =
        waitForFileText(container.logDirectory() + "/access.log", "POST /orvo/echo?last=TOK%45N");
    EXPECT_FALSE(contains(access, token)) << access;
    EXPECT_FALSE(contains(containerLog(), token)) << containerLog();
    EXPECT_TRUE(contains(access, "GET /orvo/echo?a=1&tok%65n=*** 200")) << access;
}

TEST_F(ContainerProtection, GivenTokenOrNoTokenAtAll) {
    ASSERT_NO_FATAL_FAILURE(start({"--token", "sesame"}));
    EXPECT_EQ(container.token(), "sesame");
    EXPECT_EQ(container.request("GET", "/orvo/echo?token=sesame").status, 200);
    EXPECT_EQ(container.request("GET", "/orvo/echo").status, 403);

    ContainerProcess open;
    ASSERT_TRUE(open.start(scratch.str(), {"--no-token"})) << open.failure();
    EXPECT_EQ(open.url(), "http://127.0.0.1:" + std::to_string(open.port()) + "/orvo/");
    EXPECT_EQ(open.request("GET", "/orvo/echo").status, 200);
}

TEST_F(ContainerProtection, OnlyRequestsAddressedToThisServerAreServedEvenWithTheToken) {
    ASSERT_NO_FATAL_FAILURE(start());
    const std::string port = std::to_string(container.port());
    for (const std::string& host :
         std::vector<std::string>{"127.0.0.1:" + port, "localhost:" + port, "LocalHost:" + port,
                                  "[::1]:" + port, "127.0.0.1", "localhost"}) {
        EXPECT_EQ(container.get("/orvo/echo", {{"Host", host}}).status, 200) << host;
    }
    // Names an attacker's DNS may point at 127.0.0.1, and spellings that
    // only look like ours.
    for (const std::string& host : std::vector<std::string>{
             "rebind.attacker.example:" + port, "evil.example", "127.0.0.2:" + port,
             "127.0.0.1:1" + port, "localhost.evil.example:" + port, "127.0.0.1.nip.io:" + port,
             "localhost.:" + port, "evil@127.0.0.1:" + port, "127.0.0.1:" + port + "@evil",
             "127.1:" + port, "0x7f000001:" + port, "[::ffff:127.0.0.1]:" + port, "", " "}) {
        const auto refused = container.get("/orvo/echo", {{"Host", host}});
        EXPECT_EQ(refused.status, 403) << "'" << host << "'";
        EXPECT_FALSE(contains(refused.body, "method=")) << host;
    }
    // Static files too.
    EXPECT_EQ(container.request("GET", "/orvo/static/style.css", {{"Host", "evil.example"}}).status,
              403);
    // A request without any Host header (HTTP/1.0 allows that).
    HttpConnection bare(container.port());
    ASSERT_TRUE(bare.sendRaw("GET /orvo/echo HTTP/1.0\r\nAuthorization: token " +
                             container.token() + "\r\n\r\n"));
    EXPECT_EQ(bare.readResponse().status, 403);
    // Two Host headers: no guessing which one counts.
    HttpConnection twice(container.port());
    ASSERT_TRUE(twice.sendRaw("GET /orvo/echo HTTP/1.1\r\nHost: 127.0.0.1:" + port +
                              "\r\nHost: rebind.attacker.example\r\nAuthorization: token " +
                              container.token() + "\r\nConnection: close\r\n\r\n"));
    const auto doubled = twice.readResponse();
    EXPECT_EQ(doubled.status, 400);
    EXPECT_FALSE(contains(doubled.body, "method="));

    // The rebinding page asks the server to stop: it keeps running.
    const auto stop = container.request(
        "POST", "/orvo/shutdown",
        {{"Host", "rebind.attacker.example:" + port}, {"Cookie", "kxtoken=" + container.token()}});
    EXPECT_EQ(stop.status, 403);
    EXPECT_EQ(container.get("/orvo/echo").status, 200);
}

TEST_F(ContainerProtection, CrossSiteRequestsChangeNothingEvenWithTheTokenCookie) {
    ASSERT_NO_FATAL_FAILURE(start());
    const std::string port = std::to_string(container.port());
    const std::string own = "http://127.0.0.1:" + port;
    for (const Headers& same : std::vector<Headers>{{{"Sec-Fetch-Site", "same-origin"}},
                                                    {{"Sec-Fetch-Site", "none"}},
                                                    {{"Origin", own}}}) {
        EXPECT_EQ(container.get("/orvo/echo", same).status, 200) << same.front().second;
    }
    const std::string cookie = "kxtoken=" + container.token();
    for (const Headers& foreign : std::vector<Headers>{
             {{"Sec-Fetch-Site", "cross-site"}},
             {{"Sec-Fetch-Site", "same-site"}},
             {{"Origin", "http://attacker.example"}},
             {{"Origin", "http://127.0.0.1:1"}},
             {{"Origin", own + ".attacker.example"}},
             {{"Origin", own + "@attacker.example"}},
             {{"Origin", "http://localhost:" + std::to_string(container.port() + 1)}},
             {{"Origin", "file://"}},
             {{"Origin", "null"}}}) {
        Headers headers = foreign;
        headers.emplace_back("Cookie", cookie);
        const auto refused = container.request("POST", "/orvo/shutdown", headers);
        EXPECT_EQ(refused.status, 403) << foreign.front().second;
        EXPECT_FALSE(contains(refused.body, "farewell"));
    }
    // A form posted from another site does not reach the servlet even with
    // the token as a parameter.
    const auto post = container.request(
        "POST", "/orvo/echo?token=" + container.token(),
        {{"Origin", "http://evil.example"}, {"Content-Type", "application/x-www-form-urlencoded"}},
        "oper=shutdown");
    EXPECT_EQ(post.status, 403);
    EXPECT_FALSE(contains(post.body, "oper"));
    // Static files too: another site cannot even read the style sheet.
    EXPECT_EQ(container.request("GET", "/orvo/static/style.css", {{"Sec-Fetch-Site", "cross-site"}})
                  .status,
              403);
    // Still running: none of the requests reached the shutdown servlet.
    EXPECT_EQ(container.get("/orvo/echo").status, 200);
    EXPECT_FALSE(contains(containerLog(), "stopping"));
}

TEST_F(ContainerProtection, OversizedHeaderGets431AndOversizedBodyGets413) {
    ASSERT_NO_FATAL_FAILURE(start({"--client-max-body-size", "2k"}));
    const auto small = container.get("/orvo/echo", {{"X-Filler", std::string(8000, 'a')}});
    EXPECT_EQ(small.status, 200);
    const auto large = container.get("/orvo/echo", {{"X-Filler", std::string(20000, 'a')}});
    EXPECT_EQ(large.status, 431);
    EXPECT_EQ(large.header("X-Content-Type-Options"), "nosniff");

    const Headers form = {{"Authorization", "token " + container.token()},
                          {"Content-Type", "application/x-www-form-urlencoded"}};
    EXPECT_EQ(container.request("POST", "/orvo/echo", form, "a=" + std::string(2000, 'b')).status,
              200);
    const auto tooLarge =
        container.request("POST", "/orvo/echo", form, "a=" + std::string(3000, 'b'));
    EXPECT_EQ(tooLarge.status, 413);
    EXPECT_FALSE(contains(tooLarge.body, "param a="));

    // Chunked: the limit holds without a Content-Length too.
    HttpConnection chunked(container.port());
    Headers chunkedForm = form;
    chunkedForm.emplace_back("Transfer-Encoding", "chunked");
    std::string request = buildRequest(container.port(), "POST", "/orvo/echo", chunkedForm);
    for (int i = 0; i < 3; ++i) {
        request += "400\r\n" + std::string(1024, 'c') + "\r\n";
    }
    request += "0\r\n\r\n";
    ASSERT_TRUE(chunked.sendRaw(request));
    EXPECT_EQ(chunked.readResponse().status, 413);
}

TEST_F(ContainerProtection, AMegabyteHeaderIsRefusedQuicklyWithoutGrowingTheServer) {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_EQ(container.get("/orvo/echo").status, 200);
    const long before = residentKilobytes(container.processId());
    ASSERT_GT(before, 0);

    const auto started = Clock::now();
    HttpConnection connection(container.port());
    std::string request = "GET /orvo/echo HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Filler: ";
    request += std::string(1024 * 1024, 'a');
    request += "\r\n\r\n";
    // The server may stop reading long before the end; the send result does
    // not matter, the answer does.
    connection.sendRaw(request);
    const auto answer = connection.readResponse(false, std::chrono::seconds(5));
    EXPECT_EQ(answer.status, 431);
    EXPECT_LT(since(started), std::chrono::seconds(5));
    EXPECT_TRUE(connection.waitForClose(std::chrono::seconds(5)));

    const long after = residentKilobytes(container.processId());
    EXPECT_LT(after - before, kGrowthBoundKb) << before << " kB before, " << after << " kB after";
    EXPECT_EQ(container.get("/orvo/echo").status, 200);
}

TEST_F(ContainerProtection, AHundredMegabyteBodyIsRefusedWithoutReadingIt) {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_EQ(container.get("/orvo/echo").status, 200);
    const long before = residentKilobytes(container.processId());
    ASSERT_GT(before, 0);

    constexpr std::size_t kBody = 100 * 1024 * 1024;
    const auto started = Clock::now();
    HttpConnection connection(container.port());
    ASSERT_TRUE(
        connection.sendRaw(buildRequest(container.port(), "POST", "/orvo/echo",
                                        {{"Authorization", "token " + container.token()},
                                         {"Content-Type", "application/x-www-form-urlencoded"},
                                         {"Content-Length", std::to_string(kBody)}})));
    // The answer comes on the header alone: the declared length is too big.
    const auto answer = connection.readResponse(false, std::chrono::seconds(5));
    EXPECT_EQ(answer.status, 413);
    EXPECT_LT(since(started), std::chrono::seconds(5));

    // A client that sends the body all the same, for at most three seconds:
    // the server drops it or closes, and keeps nothing.
    const std::string chunk(256 * 1024, 'b');
    std::size_t sent = 0;
    const auto sendUntil = Clock::now() + std::chrono::seconds(3);
    while (sent < kBody && Clock::now() < sendUntil && connection.sendRaw(chunk)) {
        sent += chunk.size();
    }
    const long after = residentKilobytes(container.processId());
    EXPECT_LT(after - before, kGrowthBoundKb)
        << before << " kB before, " << after << " kB after " << sent << " bytes of body";
    EXPECT_TRUE(connection.waitForClose(std::chrono::seconds(35)));
    EXPECT_EQ(container.get("/orvo/echo").status, 200);
}

// Sends the request one byte a second until the server answers or closes;
// the status it answered with, 0 when none came in maxBytes seconds.
int trickle(unsigned short port, const std::string& request, std::size_t maxBytes) {
    HttpConnection connection(port);
    for (std::size_t i = 0; i < std::min(maxBytes, request.size()); ++i) {
        if (!connection.sendRaw(request.substr(i, 1))) {
            break;
        }
        const auto answer = connection.readResponse(false, std::chrono::seconds(1));
        if (answer.status != 0) {
            return answer.status;
        }
    }
    return connection.readResponse(false, std::chrono::seconds(2)).status;
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
    std::vector<std::future<int>> slow;
    for (int i = 0; i < 4; ++i) {
        // Header tricklers: never finish the header in the time allowed.
        slow.push_back(
            std::async(std::launch::async, [&] { return trickle(container.port(), header, 8); }));
    }
    // A body trickler: the header comes at once, the body a byte a second.
    slow.push_back(std::async(std::launch::async, [&] {
        HttpConnection connection(container.port());
        if (!connection.sendRaw(body)) {
            return 0;
        }
        for (int i = 0; i < 8; ++i) {
            if (!connection.sendRaw("a")) {
                break;
            }
            const auto answer = connection.readResponse(false, std::chrono::seconds(1));
            if (answer.status != 0) {
                return answer.status;
            }
        }
        return connection.readResponse(false, std::chrono::seconds(2)).status;
    }));

    // Meanwhile others are served at once by the only servlet thread.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (int i = 0; i < 5; ++i) {
        const auto request = Clock::now();
        const auto response = container.get("/orvo/echo/quick" + std::to_string(i));
        EXPECT_EQ(response.status, 200);
        EXPECT_LT(since(request), std::chrono::seconds(1)) << i;
    }
    // The tricklers are cut off at the limit, not kept alive by each byte.
    for (auto& client : slow) {
        EXPECT_EQ(client.get(), 408);
    }
    EXPECT_TRUE(idle.waitForClose(std::chrono::seconds(2)));
    EXPECT_LT(since(started), std::chrono::seconds(8));
}

TEST_F(ContainerProtection, ConnectionsPastTheCapAreClosedAndServiceResumes) {
    constexpr int kCap = 4;
    ASSERT_NO_FATAL_FAILURE(start({"--max-connections", std::to_string(kCap)}));
    // Connections that send nothing hold their places.
    std::vector<std::unique_ptr<HttpConnection>> held;
    for (int i = 0; i < kCap; ++i) {
        held.push_back(std::make_unique<HttpConnection>(container.port()));
        ASSERT_TRUE(held.back()->isOpen());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (int i = 0; i < 3 * kCap; ++i) {
        HttpConnection extra(container.port());
        const auto started = Clock::now();
        EXPECT_TRUE(extra.waitForClose(std::chrono::seconds(2))) << i;
        EXPECT_LT(since(started), std::chrono::seconds(2)) << i;
    }
    // The held ones were never closed for the others' sake.
    ASSERT_TRUE(held.front()->sendRaw(buildRequest(
        container.port(), "GET", "/orvo/echo", {{"Authorization", "token " + container.token()}})));
    EXPECT_EQ(held.front()->readResponse().status, 200);

    held.clear();
    int status = 0;
    for (const auto until = Clock::now() + std::chrono::seconds(5);
         status != 200 && Clock::now() < until;
         std::this_thread::sleep_for(std::chrono::milliseconds(50))) {
        status = container.get("/orvo/echo").status;
    }
    EXPECT_EQ(status, 200);
    EXPECT_EQ(containerLog().find("connection limit of 4 reached"),
              containerLog().rfind("connection limit of 4 reached"))
        << "logged once per time the limit is reached";
    EXPECT_TRUE(contains(containerLog(), "connection limit of 4 reached"));
}

// Sends count GET requests for target over kept-alive connections (a new
// one whenever the server ends one), each read before the next; the number
// answered with 200. Stops at the deadline.
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
            const auto response = connection.readResponse(false, std::chrono::seconds(5));
            if (response.status == 200) {
                ++served;
            }
            open = response.status != 0 && response.header("Connection") != "close";
        }
    }
    return served;
}

TEST_F(ContainerProtection, TenThousandRequestsWithoutACookieKeepTheServerSmall) {
    ASSERT_NO_FATAL_FAILURE(start({"--no-token", "--max-sessions", "50"}));
    // A browser that comes back with its cookie, and a client that never does.
    auto sessionCookie = [this] {
        const auto first = container.request("GET", "/orvo/session");
        EXPECT_EQ(first.status, 200);
        return first.header("Set-Cookie").substr(0, 43);
    };
    const std::string cookie = sessionCookie();
    ASSERT_EQ(cookie.rfind("JSESSIONID=", 0), 0u);
    const std::string forgotten = sessionCookie();
    ASSERT_EQ(forgotten.rfind("JSESSIONID=", 0), 0u);
    ASSERT_EQ(container.request("GET", "/orvo/session", {{"Cookie", cookie}}).status, 200);

    // 4 clients at once, 2,500 requests each: the first 500 of each warm
    // the server up (thread caches, buffers, the full session store), the
    // other 2,000 must not make it grow any further worth speaking of.
    constexpr int kClients = 4;
    constexpr int kWarmUp = 500;
    constexpr int kEach = 2500;
    const auto deadline = Clock::now() + std::chrono::seconds(90);
    auto requestFromEachClient = [&](int count) {
        std::vector<std::future<int>> clients;
        for (int i = 0; i < kClients; ++i) {
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
    EXPECT_EQ(requestFromEachClient(kWarmUp), kClients * kWarmUp);
    const long warm = residentKilobytes(container.processId());
    EXPECT_EQ(requestFromEachClient(kEach - kWarmUp), kClients * (kEach - kWarmUp));
    const long after = residentKilobytes(container.processId());
    ASSERT_GT(before, 0);
    EXPECT_LT(after - warm, kGrowthBoundKb)
        << before << " kB at start, " << warm << " kB warm, " << after << " kB after";
    EXPECT_LT(after - before, 2 * kGrowthBoundKb)
        << before << " kB at start, " << warm << " kB warm, " << after << " kB after";

    // The flood pushed out the session that never came back, but not the
    // one in use.
    const auto returning = container.request("GET", "/orvo/session", {{"Cookie", cookie}});
    ASSERT_EQ(returning.status, 200);
    EXPECT_TRUE(contains(returning.body, "new=0\nvisits=3\n")) << returning.body;
    const auto lost = container.request("GET", "/orvo/session", {{"Cookie", forgotten}});
    ASSERT_EQ(lost.status, 200);
    EXPECT_TRUE(contains(lost.body, "new=1\nvisits=1\n")) << lost.body;

    // Every request is in the access log, once its answer was sent.
    const std::string accessLog = container.logDirectory() + "/access.log";
    const std::size_t sent = kClients * kEach + 5;  // the flood, three before, two after
    std::size_t logged = 0;
    for (int i = 0; i < 100 && logged < sent; ++i) {
        logged = countLines(readFile(accessLog), "GET /orvo/session 200 ");
        if (logged < sent) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    EXPECT_EQ(logged, sent);
}

TEST_F(ContainerProtection, TheLogsKeepEveryLineWhenTheServerIsKilled) {
    ASSERT_NO_FATAL_FAILURE(start());
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(container.get("/orvo/logging?note=line" + std::to_string(i)).status, 200);
    }
    // Each answer's line is written once the answer is sent (lines of
    // different connections may come in either order); then the process dies
    // without any chance to flush.
    const std::string accessLog = container.logDirectory() + "/access.log";
    for (int i = 0; i < 20; ++i) {
        waitForFileText(accessLog, "GET /orvo/logging?note=line" + std::to_string(i) + " 200");
    }
    container.signal(SIGKILL);
    EXPECT_EQ(container.waitForExit(std::chrono::seconds(5)), std::nullopt);

    const std::string access = readFile(accessLog);
    const std::string log = containerLog();
    for (int i = 0; i < 20; ++i) {
        const std::string note = "line" + std::to_string(i);
        EXPECT_TRUE(contains(access, "GET /orvo/logging?note=" + note + " 200 ")) << note;
        EXPECT_TRUE(contains(log, "logging: note " + note + "\n")) << note;
    }
}

}  // namespace
}  // namespace kxtest
