// The protections of the local server: access token, Host allow-list,
// cross-site refusal and the request size and time limits.
#include <gtest/gtest.h>

#include <thread>

#include "support/KxContainerFixture.h"

namespace kxtest {
namespace {

using ContainerProtection = ContainerTest;

TEST_F(ContainerProtection, TokenIsRequiredAndHandedOverAsACookie) {
    ASSERT_NO_FATAL_FAILURE(start());
    const std::string token = container.token();
    ASSERT_EQ(token.size(), 32u) << container.url();
    EXPECT_EQ(container.url(),
              "http://127.0.0.1:" + std::to_string(container.port()) + "/orvo/?token=" + token);

    const auto without = container.request("GET", "/orvo/echo");
    EXPECT_EQ(without.status, 403);
    EXPECT_TRUE(contains(without.body, "printed when it started")) << without.body;
    EXPECT_EQ(without.header("X-Content-Type-Options"), "nosniff");

    EXPECT_EQ(container.request("GET", "/orvo/echo?token=" + token + "x").status, 403);
    EXPECT_EQ(container.request("GET", "/orvo/echo", {{"Cookie", "kxtoken=wrong"}}).status, 403);

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
    EXPECT_EQ(container.request("GET", "/orvo/echo", {{"Authorization", "Bearer " + token}}).status,
              403);
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

TEST_F(ContainerProtection, OnlyRequestsAddressedToThisServerAreServed) {
    ASSERT_NO_FATAL_FAILURE(start());
    const std::string port = std::to_string(container.port());
    for (const std::string& host :
         std::vector<std::string>{"127.0.0.1:" + port, "localhost:" + port, "LocalHost:" + port,
                                  "[::1]:" + port, "127.0.0.1", "localhost"}) {
        EXPECT_EQ(container.get("/orvo/echo", {{"Host", host}}).status, 200) << host;
    }
    for (const std::string& host :
         std::vector<std::string>{"evil.example:" + port, "evil.example", "127.0.0.2:" + port,
                                  "127.0.0.1:1" + port, "localhost.evil.example:" + port}) {
        const auto refused = container.get("/orvo/echo", {{"Host", host}});
        EXPECT_EQ(refused.status, 403) << host;
        EXPECT_FALSE(contains(refused.body, "method=")) << host;
    }
    // Static files too.
    EXPECT_EQ(container.request("GET", "/orvo/static/style.css", {{"Host", "evil.example"}}).status,
              403);
}

TEST_F(ContainerProtection, RequestsFromOtherSitesAreRefused) {
    ASSERT_NO_FATAL_FAILURE(start());
    const std::string own = "http://127.0.0.1:" + std::to_string(container.port());
    EXPECT_EQ(container.get("/orvo/echo", {{"Sec-Fetch-Site", "same-origin"}}).status, 200);
    EXPECT_EQ(container.get("/orvo/echo", {{"Sec-Fetch-Site", "none"}}).status, 200);
    EXPECT_EQ(container.get("/orvo/echo", {{"Origin", own}}).status, 200);
    EXPECT_EQ(container.get("/orvo/echo", {{"Sec-Fetch-Site", "cross-site"}}).status, 403);
    EXPECT_EQ(container.get("/orvo/echo", {{"Sec-Fetch-Site", "same-site"}}).status, 403);
    EXPECT_EQ(container.get("/orvo/echo", {{"Origin", "http://evil.example"}}).status, 403);
    EXPECT_EQ(container.get("/orvo/echo", {{"Origin", "http://127.0.0.1:1"}}).status, 403);
    EXPECT_EQ(container.get("/orvo/echo", {{"Origin", "null"}}).status, 403);
    // A form posted from another site does not reach the servlet even with
    // the right token.
    const auto post = container.request(
        "POST", "/orvo/echo?token=" + container.token(),
        {{"Origin", "http://evil.example"}, {"Content-Type", "application/x-www-form-urlencoded"}},
        "oper=shutdown");
    EXPECT_EQ(post.status, 403);
    EXPECT_FALSE(contains(post.body, "oper"));
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

TEST_F(ContainerProtection, SlowRequestGets408AndIdleConnectionsCostNoServletThread) {
    ASSERT_NO_FATAL_FAILURE(start({"--client-header-timeout", "400ms", "--threads", "1"}));
    // An idle connection and one that stops halfway through its header.
    HttpConnection idle(container.port());
    HttpConnection partial(container.port());
    ASSERT_TRUE(partial.sendRaw("GET /orvo/echo HTTP/1.1\r\nHost: 127.0.0.1\r\n"));

    // The only servlet thread is free for a real request meanwhile.
    const auto served = container.get("/orvo/echo/busy");
    EXPECT_EQ(served.status, 200);

    const auto timedOut = partial.readResponse(false, std::chrono::seconds(5));
    EXPECT_EQ(timedOut.status, 408);
    EXPECT_TRUE(partial.waitForClose(std::chrono::seconds(5)));
    EXPECT_TRUE(idle.waitForClose(std::chrono::seconds(5)));
}

}  // namespace
}  // namespace kxtest
