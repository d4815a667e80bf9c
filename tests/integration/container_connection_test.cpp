// One connection through its phases: requests that arrive together in one
// write, and the one timer a connection keeps for every phase (waiting for
// a request, its head, its body), each phase held to its own limit.
#include <gtest/gtest.h>

#include <thread>

#include "support/KxContainerFixture.h"

namespace kxtest {
namespace {

using Clock = std::chrono::steady_clock;
using ContainerConnection = ContainerTest;

// Kept-alive requests sent in one write: each answered in order, a HEAD (of
// a servlet or a file) with its length but no body, which would otherwise be
// read as the next answer.
TEST_F(ContainerConnection, RequestsSentInOneWriteAreAnsweredInOrder) {
    ASSERT_NO_FATAL_FAILURE(start());
    const auto tag = container.request("GET", "/orvo/static/style.css").header("ETag");
    ASSERT_FALSE(tag.empty());
    const Headers keep = {{"Connection", "keep-alive"},
                          {"Authorization", "token " + container.token()}};
    Headers conditional = keep;
    conditional.emplace_back("If-None-Match", tag);
    const unsigned short port = container.port();
    HttpConnection connection(port);
    ASSERT_TRUE(
        connection.sendRaw(buildRequest(port, "GET", "/orvo/echo/first", keep) +
                           buildRequest(port, "HEAD", "/orvo/echo/first", keep) +
                           buildRequest(port, "HEAD", "/orvo/static/style.css", keep) +
                           buildRequest(port, "GET", "/orvo/static/style.css", conditional) +
                           buildRequest(port, "GET", "/orvo/static/style.css", keep) +
                           buildRequest(port, "POST", "/orvo/echo/last",
                                        {{"Authorization", "token " + container.token()},
                                         {"Content-Type", "text/plain"}},
                                        "the body")));
    struct Expected {
        int status;
        bool headOnly;
        std::string contentLength;  // "" when none is sent
        std::string bodyPart;
    };
    std::size_t getLength = 0;
    // The servlet echoes HEAD as its method: one letter longer than the GET.
    const std::vector<Expected> expected = {{200, false, "", "pathInfo=/first\n"},
                                            {200, true, "GET+1", ""},
                                            {200, true, "22", ""},
                                            {304, true, "", ""},
                                            {200, false, "22", "body { color: teal; }\n"},
                                            {200, false, "", "pathInfo=/last\n"}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& [status, headOnly, length, part] = expected[i];
        const auto response = connection.readResponse(headOnly, 5s);
        ASSERT_EQ(response.status, status) << i;
        getLength = i == 0 ? response.body.size() : getLength;
        if (length == "GET+1") {
            EXPECT_EQ(response.header("Content-Length"), std::to_string(getLength + 1));
        } else if (!length.empty()) {
            EXPECT_EQ(response.header("Content-Length"), length) << i;
        }
        if (headOnly) {
            EXPECT_EQ(response.body, "") << i;
        } else {
            EXPECT_TRUE(contains(response.body, part)) << response.body;
        }
        EXPECT_EQ(response.header("Server"), "kxcontainer");
        EXPECT_EQ(response.header("Connection") == "close", i + 1 == expected.size()) << i;
    }
    // The last request asked for the close; nothing else was sent.
    EXPECT_TRUE(connection.waitForClose(5s));
}

// Sends a kept-alive request and reads its answer; then waits a while
// longer than the head and body limits, but within the keep-alive limit.
void answeredThenIdle(HttpConnection& connection, unsigned short port, const std::string& token) {
    ASSERT_TRUE(connection.sendRaw(
        buildRequest(port, "GET", "/orvo/echo/fast",
                     {{"Connection", "keep-alive"}, {"Authorization", "token " + token}})));
    ASSERT_EQ(connection.readResponse(false, 5s).status, 200);
    std::this_thread::sleep_for(1500ms);
}

TEST_F(ContainerConnection, EachPhaseOfAKeptAliveConnectionEndsAtItsOwnLimit) {
    ASSERT_NO_FATAL_FAILURE(start({"--client-header-timeout", "1s", "--client-body-timeout", "1s",
                                   "--keepalive-timeout", "4s"}));
    const unsigned short port = container.port();
    const std::string auth = "Authorization: token " + container.token() + "\r\n";

    // An idle spell past the head limit is within the keep-alive limit: the
    // next request is served.
    HttpConnection served(port);
    ASSERT_NO_FATAL_FAILURE(answeredThenIdle(served, port, container.token()));
    ASSERT_TRUE(served.sendRaw(buildRequest(port, "GET", "/orvo/echo/again",
                                            {{"Authorization", "token " + container.token()}})));
    EXPECT_EQ(served.readResponse(false, 5s).status, 200);

    // After a fast request and an idle spell, a head that stops halfway and
    // a body that stops halfway each get 408 at their own limit (1 s), not
    // at the keep-alive limit (4 s) nor at once.
    for (const std::string& stalled :
         {std::string("GET /orvo/echo/slow HTTP/1.1\r\nHost: 127.0.0.1\r\n"),
          "POST /orvo/echo/slow HTTP/1.1\r\nHost: 127.0.0.1\r\n" + auth +
              "Content-Type: text/plain\r\nContent-Length: 40\r\n\r\nonly part"}) {
        HttpConnection connection(port);
        ASSERT_NO_FATAL_FAILURE(answeredThenIdle(connection, port, container.token()));
        const auto sent = Clock::now();
        ASSERT_TRUE(connection.sendRaw(stalled));
        EXPECT_EQ(connection.readResponse(false, 5s).status, 408) << stalled;
        EXPECT_GE(since(sent), 800ms) << stalled;
        EXPECT_LT(since(sent), 3s) << stalled;
    }

    // A kept-alive connection that sends nothing more is closed at the
    // keep-alive limit, not at the head limit.
    HttpConnection idle(port);
    ASSERT_NO_FATAL_FAILURE(answeredThenIdle(idle, port, container.token()));
    EXPECT_FALSE(idle.waitForClose(1500ms));
    EXPECT_TRUE(idle.waitForClose(4s));
}

}  // namespace
}  // namespace kxtest
