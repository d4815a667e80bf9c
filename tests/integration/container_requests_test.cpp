// Requests through a running kxcontainer: what servlets are given and send
// back, sessions, policies, static and large files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/KxContainerFixture.h"

namespace kxtest {
namespace {

using ContainerRequests = ContainerTest;

TEST_F(ContainerRequests, TheServletIsGivenPathQueryFormHeadersAndInitParameters) {
    ASSERT_NO_FATAL_FAILURE(start());
    const Headers headers = {{"Authorization", "token " + container.token()},
                             {"Content-Type", "application/x-www-form-urlencoded; charset=UTF-8"},
                             {"X-Probe", "p1"}};
    const auto response = container.request("POST", "/orvo/echo/a%20b/c?dir=C:\\w&t=1&t=2", headers,
                                            "b=2&a=%2B1&dir=D:\\x");
    ASSERT_EQ(response.status, 200) << response.body;
    EXPECT_EQ(response.body,
              "method=POST\nuri=/orvo/echo/a%20b/c\ncontext=/orvo\n"
              "servletPath=/echo\npathInfo=/a b/c\nquery=dir=C:\\w&t=1&t=2\n"
              "init.greeting=hello\nhome=" +
                  scratch.str() +
                  "\nheader.x-probe=p1\nparam dir=C:\\w\nparam t=1\nparam t=2\n"
                  "param b=2\nparam a=+1\nparam dir=D:\\x\nheader X-Probe=p1\n");
    EXPECT_EQ(response.header("X-Echo"), "yes");
    EXPECT_EQ(response.header("Cache-Control"), "no-store");
    EXPECT_EQ(response.header("Content-Type"), "text/plain");

    // A body of another type gives no parameters; the servlet reads it whole,
    // as a SOAP service reads its envelope.
    const std::string envelope =
        "<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope'><s:Body>a=1&amp;"
        "</s:Body></s:Envelope>";
    const auto text =
        container.request("POST", "/orvo/echo?q=1",
                          {{"Authorization", "token " + container.token()},
                           {"Content-Type", "application/soap+xml; action=\"urn:a\""}},
                          envelope);
    EXPECT_TRUE(contains(text.body, "param q=1\n")) << text.body;
    EXPECT_FALSE(contains(text.body, "param a="));
    EXPECT_TRUE(contains(text.body, "body=" + envelope + "\n")) << text.body;
}

TEST_F(ContainerRequests, SessionCookieIsSetOnceAndThenHonoured) {
    ASSERT_NO_FATAL_FAILURE(start());
    const auto first = container.get("/orvo/session");
    EXPECT_TRUE(contains(first.body, "new=1\nvisits=1\n")) << first.body;
    const std::string cookie = first.header("Set-Cookie");
    ASSERT_EQ(cookie.rfind("JSESSIONID=", 0), 0u) << cookie;
    const std::string id = cookie.substr(11, cookie.find(';') - 11);
    EXPECT_EQ(id.size(), 32u);
    EXPECT_EQ(cookie, "JSESSIONID=" + id + "; Path=/orvo; HttpOnly; SameSite=Lax");

    const auto second = container.get("/orvo/session", {{"Cookie", "JSESSIONID=" + id}});
    EXPECT_TRUE(contains(second.body, "id=" + id + "\nnew=0\nvisits=2\n")) << second.body;
    EXPECT_TRUE(second.headerValues("Set-Cookie").empty());

    const auto unknown = container.get("/orvo/session", {{"Cookie", "JSESSIONID=0123abcd"}});
    EXPECT_TRUE(contains(unknown.body, "new=1\nvisits=1\n"));
    EXPECT_EQ(unknown.headerValues("Set-Cookie").size(), 1u);
}

TEST_F(ContainerRequests, EveryAnswerCarriesAPolicyUnlessTheServletSetsItsOwn) {
    ASSERT_NO_FATAL_FAILURE(start());
    const std::string file = scratch.write("page.html", "<p>project file</p>");
    const std::string policy =
        "default-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'self'";
    for (const auto& [target, status, expected] :
         std::vector<std::tuple<std::string, int, std::string>>{
             {"/orvo/echo/x", 200, policy},
             {"/orvo/x", 404, policy},
             {"/orvo/static/style.css", 200, policy},
             {"/orvo/file?path=" + file, 200, "sandbox"}}) {
        const auto response = container.get(target);
        EXPECT_EQ(response.status, status) << target;
        EXPECT_EQ(response.headerValues("Content-Security-Policy"),
                  std::vector<std::string>{expected})
            << target;
        EXPECT_EQ(response.header("X-Content-Type-Options"), "nosniff") << target;
    }
    const auto refused = container.request("GET", "/orvo/echo/x");  // no token
    EXPECT_EQ(refused.status, 403);
    EXPECT_EQ(refused.headerValues("Content-Security-Policy"), std::vector<std::string>{policy});
}

TEST_F(ContainerRequests, StaticFilesAreServedWithTheirType) {
    ASSERT_NO_FATAL_FAILURE(start());
    // Served without the token.
    for (const auto& [path, type, size] : std::vector<std::tuple<std::string, std::string, size_t>>{
             {"/orvo/static/style.css", "text/css", 22},
             {"/orvo/static/img/dot.png", "image/png", 8}}) {
        const auto response = container.request("GET", path);
        EXPECT_EQ(response.status, 200) << path;
        EXPECT_EQ(response.header("Content-Type"), type) << path;
        EXPECT_EQ(response.body.size(), size) << path;
    }
    for (const auto& [method, path, status] :
         std::vector<std::tuple<std::string, std::string, int>>{
             {"GET", "/orvo/static/missing.css", 404},
             {"GET", "/orvo/static/img", 404},
             {"POST", "/orvo/static/style.css", 405}}) {
        EXPECT_EQ(container.request(method, path).status, status) << method << " " << path;
    }
}

TEST_F(ContainerRequests, ALargeFileIsSentPiecewiseWithoutHoldingItInMemory) {
    ASSERT_NO_FATAL_FAILURE(start());
    constexpr std::size_t kSize = 64 * 1024 * 1024;
    const std::string file = scratch.write("large.bin", "");
    std::filesystem::resize_file(file, kSize);  // sparse: no disk, reads as zeros
    std::fstream(file, std::ios::in | std::ios::out | std::ios::binary).seekp(kSize - 3) << "end";
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
    ASSERT_EQ(answer.body.size(), kSize);
    EXPECT_EQ(answer.body.substr(answer.body.size() - 3), "end");
    EXPECT_EQ(answer.header("Content-Type"), "application/octet-stream");
    EXPECT_LT(peak - before, kGrowthBoundKb) << before << " kB before, " << peak << " kB peak";
    EXPECT_EQ(container.get("/orvo/echo").status, 200);
}

}  // namespace
}  // namespace kxtest
