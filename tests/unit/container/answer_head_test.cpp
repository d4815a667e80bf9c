#include "platform/container/KxAnswerHead.h"

#include <gtest/gtest.h>

#include "platform/container/KxRequestHandler.h"

namespace kx::container {
namespace {

const std::string kPolicy =
    "Content-Security-Policy: " + std::string(kContentSecurityPolicy) + "\r\n";

TEST(ContainerAnswerHead, FramingFollowsVersionKeepAliveAndStatus) {
    struct Case {
        int status;
        KxAnswerFraming framing;
        std::string expected;  // after the answer's own fields
    };
    const std::string own = "Server: kxcontainer\r\nX-Content-Type-Options: nosniff\r\n" + kPolicy;
    for (const auto& [status, framing, expected] : std::vector<Case>{
             {200,
              {.version = 11, .keepAlive = true, .contentLength = 5, .chunked = false},
              "HTTP/1.1 200 OK\r\n" + own + "Content-Length: 5\r\n\r\n"},
             {200,
              {.version = 11, .keepAlive = false, .contentLength = 0, .chunked = false},
              "HTTP/1.1 200 OK\r\n" + own + "Connection: close\r\nContent-Length: 0\r\n\r\n"},
             {404,
              {.version = 10,
              .keepAlive = true,
              .contentLength = 18446744073709551615u,
              .chunked = false},
              "HTTP/1.0 404 Not Found\r\n" + own +
                  "Connection: keep-alive\r\nContent-Length: 18446744073709551615\r\n\r\n"},
             {304,
              {.version = 10, .keepAlive = false, .contentLength = std::nullopt, .chunked = false},
              "HTTP/1.0 304 Not Modified\r\n" + own + "\r\n"},
             {200,
              {.version = 11, .keepAlive = false, .contentLength = std::nullopt, .chunked = true},
              "HTTP/1.1 200 OK\r\n" + own +
                  "Connection: close\r\nTransfer-Encoding: chunked\r\n\r\n"},
         }) {
        KxHttpResponseData data;
        data.status = status;
        KxAnswerHead head;
        head.compose(data, framing);
        EXPECT_EQ(head.text(), expected) << status;
    }
    EXPECT_TRUE(isBodylessStatus(101));
    EXPECT_TRUE(isBodylessStatus(204));
    EXPECT_TRUE(isBodylessStatus(304));
    EXPECT_FALSE(isBodylessStatus(200));
    EXPECT_FALSE(isBodylessStatus(206));
}

TEST(ContainerAnswerHead, TheContainerFramesTheAnswerAndNamesItself) {
    KxHttpResponseData data;
    data.status = 302;
    data.headers = {{"Location", "/orvo/"},
                    {"content-length", "999"},
                    {"Connection", "upgrade"},
                    {"Transfer-Encoding", "gzip"},
                    {"SERVER", "other"},
                    {"x-content-type-options", "none"},
                    {"Set-Cookie", "a=1"},
                    {"Set-Cookie", "b=2"},
                    {"Content-Security-Policy", "default-src 'none'"}};
    KxAnswerHead head;
    head.compose(data, {.version = 11, .keepAlive = true, .contentLength = 0, .chunked = false});
    EXPECT_EQ(head.text(),
              "HTTP/1.1 302 Found\r\nLocation: /orvo/\r\nSet-Cookie: a=1\r\nSet-Cookie: b=2\r\n"
              "Content-Security-Policy: default-src 'none'\r\nServer: kxcontainer\r\n"
              "X-Content-Type-Options: nosniff\r\nContent-Length: 0\r\n\r\n");

    // The buffer is reused: a shorter answer after it leaves nothing behind.
    KxHttpResponseData small;
    head.compose(small, {.version = 11, .keepAlive = true, .contentLength = 2, .chunked = false});
    EXPECT_EQ(head.text(),
              "HTTP/1.1 200 OK\r\nServer: kxcontainer\r\n"
              "X-Content-Type-Options: nosniff\r\n" +
                  kPolicy + "Content-Length: 2\r\n\r\n");
    EXPECT_EQ(head.buffer().size(), head.text().size());
}

}  // namespace
}  // namespace kx::container
