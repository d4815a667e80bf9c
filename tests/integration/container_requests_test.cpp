// Requests through a running kxcontainer: what servlets are given, what
// comes back, sessions, failing servlets and static files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <thread>

#include "support/KxContainerFixture.h"

namespace kxtest {
namespace {

using ContainerRequests = ContainerTest;

TEST_F(ContainerRequests, QueryThenFormParametersArriveInOrderAndLeniently) {
    ASSERT_NO_FATAL_FAILURE(start());
    const auto response = container.request(
        "POST",
        "/orvo/echo/a%20b/c?dir=C:\\work\\demo&tier=server&pct=%41%zz%4&plus=a+b&pipe=x|{y}"
        "&flag&tier=again&token=" +
            container.token(),
        {{"Content-Type", "application/x-www-form-urlencoded; charset=UTF-8"}, {"X-Probe", "p1"}},
        "b=2&a=%2B1&empty=&dir=D:\\x");
    ASSERT_EQ(response.status, 200) << response.body;
    EXPECT_EQ(response.body,
              "method=POST\n"
              "uri=/orvo/echo/a%20b/c\n"
              "context=/orvo\n"
              "servletPath=/echo\n"
              "pathInfo=/a b/c\n"
              "query=dir=C:\\work\\demo&tier=server&pct=%41%zz%4&plus=a+b&pipe=x|{y}&flag"
              "&tier=again&token=" +
                  container.token() +
                  "\n"
                  "init.greeting=hello\n"
                  "home=" +
                  scratch.str() +
                  "\n"
                  "header.x-probe=p1\n"
                  "param dir=C:\\work\\demo\n"
                  "param tier=server\n"
                  "param pct=A%zz%4\n"
                  "param plus=a b\n"
                  "param pipe=x|{y}\n"
                  "param flag=\n"
                  "param tier=again\n"
                  "param token=" +
                  container.token() +
                  "\n"
                  "param b=2\n"
                  "param a=+1\n"
                  "param empty=\n"
                  "param dir=D:\\x\n");
    EXPECT_EQ(response.header("X-Echo"), "yes");
    EXPECT_EQ(response.header("Cache-Control"), "no-store");
    EXPECT_EQ(response.header("Content-Type"), "text/plain");
}

TEST_F(ContainerRequests, BodyOfAnotherTypeGivesNoParameters) {
    ASSERT_NO_FATAL_FAILURE(start());
    const auto response = container.request(
        "POST", "/orvo/echo?q=1",
        {{"Authorization", "token " + container.token()}, {"Content-Type", "text/plain"}},
        "a=1&b=2");
    ASSERT_EQ(response.status, 200);
    EXPECT_TRUE(contains(response.body, "param q=1\n"));
    EXPECT_FALSE(contains(response.body, "param a="));
}

TEST_F(ContainerRequests, PathsMapToServletsTheRootAndNothingElse) {
    ASSERT_NO_FATAL_FAILURE(start());
    auto exact = container.get("/orvo/echo");
    ASSERT_EQ(exact.status, 200);
    EXPECT_TRUE(contains(exact.body, "servletPath=/echo\npathInfo=\n"));

    for (const std::string& root : std::vector<std::string>{"/orvo/", "/orvo"}) {
        auto index = container.get(root);
        ASSERT_EQ(index.status, 200) << root;
        EXPECT_TRUE(contains(index.body, "servletPath=/\npathInfo=\n")) << index.body;
        EXPECT_TRUE(contains(index.body, "init.greeting=\n")) << "the index servlet answers";
    }

    auto redirect = container.get("/?x=1");
    EXPECT_EQ(redirect.status, 302);
    EXPECT_EQ(redirect.header("Location"), "/orvo/?x=1");

    EXPECT_EQ(container.get("/elsewhere").status, 404);
    EXPECT_EQ(container.get("/orvox/echo").status, 404);
    EXPECT_EQ(container.get("/orvo/unmapped").status, 404);
    EXPECT_EQ(container.get("/orvo/echo/../secret.txt").status, 400);
}

TEST_F(ContainerRequests, SessionCookieIsSetOnceAndThenHonoured) {
    ASSERT_NO_FATAL_FAILURE(start());
    const auto first = container.get("/orvo/session");
    ASSERT_EQ(first.status, 200);
    EXPECT_TRUE(contains(first.body, "new=1\nvisits=1\n")) << first.body;
    std::string cookie;
    for (const auto& value : first.headerValues("Set-Cookie")) {
        if (value.rfind("JSESSIONID=", 0) == 0) {
            cookie = value;
        }
    }
    ASSERT_FALSE(cookie.empty());
    const std::string id = cookie.substr(11, cookie.find(';') - 11);
    EXPECT_EQ(id.size(), 32u);
    EXPECT_EQ(cookie, "JSESSIONID=" + id + "; Path=/orvo; HttpOnly; SameSite=Lax");
    EXPECT_TRUE(contains(first.body, "id=" + id + "\n"));

    const auto second = container.get("/orvo/session", {{"Cookie", "JSESSIONID=" + id}});
    ASSERT_EQ(second.status, 200);
    EXPECT_TRUE(contains(second.body, "id=" + id + "\nnew=0\nvisits=2\n")) << second.body;
    EXPECT_TRUE(second.headerValues("Set-Cookie").empty());

    const auto unknown = container.get("/orvo/session", {{"Cookie", "JSESSIONID=0123abcd"}});
    ASSERT_EQ(unknown.status, 200);
    EXPECT_TRUE(contains(unknown.body, "new=1\nvisits=1\n"));
    EXPECT_FALSE(contains(unknown.body, id));
    EXPECT_EQ(unknown.headerValues("Set-Cookie").size(), 1u);
}

TEST_F(ContainerRequests, FailingServletsGet500AndTheContainerGoesOn) {
    ASSERT_NO_FATAL_FAILURE(start());
    const auto thrown = container.get("/orvo/throwing");
    EXPECT_EQ(thrown.status, 500);
    EXPECT_TRUE(contains(thrown.body, "Internal error; see the container log")) << thrown.body;
    EXPECT_FALSE(contains(thrown.body, "half a page"));
    EXPECT_TRUE(contains(waitForFileText(container.logDirectory() + "/kxcontainer.log",
                                         "deliberate failure of the throwing servlet"),
                         "servlet 'throwing'"));

    const auto empty = container.get("/orvo/empty");
    EXPECT_EQ(empty.status, 500);
    EXPECT_TRUE(contains(empty.body, "could not be produced")) << empty.body;
    EXPECT_TRUE(contains(empty.body, "container log"));

    const auto after = container.get("/orvo/echo/still-here");
    EXPECT_EQ(after.status, 200);
    EXPECT_TRUE(contains(after.body, "pathInfo=/still-here\n"));
}

TEST_F(ContainerRequests, EveryAnswerCarriesAPolicyUnlessTheServletSetsItsOwn) {
    ASSERT_NO_FATAL_FAILURE(start());
    const std::string policy =
        "default-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'self'";
    for (const auto& response :
         {container.get("/orvo/echo/x"), container.get("/orvo/throwing"),
          container.request("GET", "/orvo/static/style.css"), container.request("GET", "/orvo/x"),
          container.request("GET", "/orvo/echo/x")}) {
        EXPECT_EQ(response.headerValues("Content-Security-Policy"),
                  std::vector<std::string>{policy})
            << response.status << " " << response.body;
        EXPECT_EQ(response.header("X-Content-Type-Options"), "nosniff");
    }
    const std::string file = scratch.write("page.html", "<p>project file</p>");
    const auto own = container.get("/orvo/file?path=" + file);
    ASSERT_EQ(own.status, 200);
    EXPECT_EQ(own.body, "<p>project file</p>");
    EXPECT_EQ(own.headerValues("Content-Security-Policy"), std::vector<std::string>{"sandbox"});
    EXPECT_EQ(own.header("X-Content-Type-Options"), "nosniff");
}

TEST_F(ContainerRequests, ALargeFileIsSentPiecewiseWithoutHoldingItInMemory) {
    ASSERT_NO_FATAL_FAILURE(start());
    constexpr off_t kSize = 64 * 1024 * 1024;
    const std::string file = scratch / "large.bin";
    {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, kSize), 0);  // sparse: no disk, reads as zeros
        ASSERT_EQ(::pwrite(fd, "end", 3, kSize - 3), 3);
        ::close(fd);
    }
    ASSERT_EQ(container.get("/orvo/echo").status, 200);
    const long before = residentKilobytes(container.processId());
    ASSERT_GT(before, 0);

    HttpConnection connection(container.port());
    ASSERT_TRUE(
        connection.sendRaw(buildRequest(container.port(), "GET", "/orvo/file?path=" + file,
                                        {{"Authorization", "token " + container.token()}})));
    // The client does not read yet: a server that held the whole file would
    // hold it now, while the socket buffers are full.
    long peak = before;
    for (int i = 0; i < 10; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        peak = std::max(peak, residentKilobytes(container.processId()));
    }
    const auto answer = connection.readResponse(false, std::chrono::seconds(30));
    ASSERT_EQ(answer.status, 200);
    EXPECT_EQ(answer.header("Content-Length"), std::to_string(kSize));
    ASSERT_EQ(answer.body.size(), static_cast<std::size_t>(kSize));
    EXPECT_EQ(answer.body.substr(answer.body.size() - 3), "end");
    EXPECT_EQ(answer.header("Content-Type"), "application/octet-stream");
    EXPECT_LT(peak - before, kGrowthBoundKb) << before << " kB before, " << peak << " kB peak";
    EXPECT_EQ(container.get("/orvo/echo").status, 200);
}

TEST_F(ContainerRequests, StaticFilesAreServedWithTheirTypeAndStayInTheirFolder) {
    ASSERT_NO_FATAL_FAILURE(start());
    // Served without the token.
    const auto css = container.request("GET", "/orvo/static/style.css");
    ASSERT_EQ(css.status, 200);
    EXPECT_EQ(css.body, "body { color: teal; }\n");
    EXPECT_EQ(css.header("Content-Type"), "text/css");
    EXPECT_EQ(css.header("X-Content-Type-Options"), "nosniff");

    const auto png = container.request("GET", "/orvo/static/img/dot.png");
    ASSERT_EQ(png.status, 200);
    EXPECT_EQ(png.header("Content-Type"), "image/png");
    EXPECT_EQ(png.body.size(), 8u);

    EXPECT_EQ(container.request("GET", "/orvo/static/missing.css").status, 404);
    EXPECT_EQ(container.request("GET", "/orvo/static/img").status, 404);
    for (const std::string& escape : std::vector<std::string>{
             "/orvo/static/../secret.txt", "/orvo/static/%2e%2e/secret.txt",
             "/orvo/static/img/..%2F..%2Fsecret.txt", "/orvo/static/..\\secret.txt"}) {
        const auto refused = container.request("GET", escape);
        EXPECT_EQ(refused.status, 400) << escape;
        EXPECT_FALSE(contains(refused.body, "not for the browser")) << escape;
    }
    EXPECT_EQ(container.request("POST", "/orvo/static/style.css").status, 405);
}

TEST_F(ContainerRequests, HeadSendsTheLengthButNoBody) {
    ASSERT_NO_FATAL_FAILURE(start());
    const auto get = container.get("/orvo/echo/h");
    ASSERT_EQ(get.status, 200);

    HttpConnection connection(container.port());
    ASSERT_TRUE(
        connection.sendRaw(buildRequest(container.port(), "HEAD", "/orvo/echo/h",
                                        {{"Authorization", "token " + container.token()}})));
    const auto head = connection.readResponse(true);
    ASSERT_EQ(head.status, 200);
    // HEAD is echoed as the method, so the length differs by one letter.
    EXPECT_EQ(head.header("Content-Length"), std::to_string(get.body.size() + 1));
    EXPECT_TRUE(connection.waitForClose(std::chrono::seconds(5)));
    const auto rest = connection.readResponse(false, std::chrono::milliseconds(100));
    EXPECT_EQ(rest.status, 0) << "nothing follows the header";
}

TEST_F(ContainerRequests, KeepAliveCarriesSeveralRequests) {
    ASSERT_NO_FATAL_FAILURE(start());
    HttpConnection connection(container.port());
    const Headers keep = {{"Connection", "keep-alive"},
                          {"Authorization", "token " + container.token()}};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(connection.sendRaw(
            buildRequest(container.port(), "GET", "/orvo/echo/n" + std::to_string(i), keep)));
        const auto response = connection.readResponse();
        ASSERT_EQ(response.status, 200) << i;
        EXPECT_TRUE(contains(response.body, "pathInfo=/n" + std::to_string(i) + "\n"));
        EXPECT_NE(response.header("Connection"), "close");
    }
    ASSERT_TRUE(
        connection.sendRaw(buildRequest(container.port(), "GET", "/orvo/echo/last",
                                        {{"Authorization", "token " + container.token()}})));
    EXPECT_EQ(connection.readResponse().status, 200);
    EXPECT_TRUE(connection.waitForClose(std::chrono::seconds(5)));
}

TEST_F(ContainerRequests, LogsHoldServletMessagesAndEveryRequestWithoutTheToken) {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_EQ(container.get("/orvo/logging?note=from-the-test").status, 200);
    const std::string log =
        waitForFileText(container.logDirectory() + "/kxcontainer.log", "note from-the-test");
    EXPECT_TRUE(contains(log, "logging: note from-the-test")) << log;
    EXPECT_TRUE(contains(log, "started")) << log;

    ASSERT_EQ(container.request("GET", "/orvo/echo/x?token=" + container.token()).status, 200);
    // A line is written once its answer is sent; the client may be faster.
    const std::string accessLog = container.logDirectory() + "/access.log";
    const std::string servletLine = " GET /orvo/logging?note=from-the-test 200 7 ";
    const std::string lines = waitForFileText(accessLog, servletLine);
    EXPECT_TRUE(std::regex_search(
        lines,
        std::regex(
            R"(\d\d:\d\d:\d\d\.\d{3} 127\.0\.0\.1:\d+ GET /orvo/logging\?note=from-the-test 200 7 \d+ms\n)")))
        << lines;
    const std::string access = waitForFileText(accessLog, "GET /orvo/echo/x?token=*** 200");
    EXPECT_TRUE(contains(access, "GET /orvo/echo/x?token=*** 200")) << access;
    EXPECT_FALSE(contains(access, container.token()));
}

}  // namespace
}  // namespace kxtest
