#include "platform/container/KxRequestMapping.h"

#include <gtest/gtest.h>

#include <array>
#include <stdexcept>
#include <vector>

namespace kx::container {
namespace {

// A route written as "kind servlet|servletPath|pathInfo|staticName".
std::string describe(const KxRoute& route) {
    return std::to_string(static_cast<int>(route.kind)) + " " + route.servletName + "|" +
           route.servletPath + "|" + route.pathInfo + "|" + route.staticName;
}

TEST(ContainerRequestMapper, Routes) {
    const KxRequestMapper mapper("/orvo",
                                 {{"/server/*", "server"},
                                  {"/status", "status"},
                                  {"/server/deep/*", "deep"},
                                  {"/exact/name", "exact"},
                                  {"*.do", "ignored"},
                                  {"/", "index"}},
                                 {"index", "server", "status"});
    const auto servlet = std::to_string(static_cast<int>(KxRoute::Kind::Servlet)) + " ";
    const auto notFound = describe(KxRoute{});
    for (const auto& [path, expected] : std::vector<std::pair<std::string, std::string>>{
             {"/orvo/server/generate", servlet + "server|/server|/generate|"},
             {"/orvo/server/a/b/", servlet + "server|/server|/a/b/|"},
             {"/orvo/server", servlet + "server|/server||"},
             {"/orvo/server/", servlet + "server|/server|/|"},
             {"/orvo/server/deep/x", servlet + "deep|/server/deep|/x|"},
             {"/orvo/status", servlet + "status|/status||"},
             {"/orvo/exact/name", servlet + "exact|/exact/name||"},
             {"/orvo/", servlet + "index|/||"},
             {"/orvo", servlet + "index|/||"},
             {"/orvo/static/css/site.css",
              std::to_string(static_cast<int>(KxRoute::Kind::Static)) + " |||css/site.css"},
             {"/", std::to_string(static_cast<int>(KxRoute::Kind::RedirectToContext)) + " |||"},
             {"/orvo/serverx", notFound},
             {"/orvo/status/x", notFound},
             {"/orvo/unknown", notFound},
             {"/orvo/static/", notFound},
             {"/other/server", notFound},
             {"/orvox", notFound}}) {
        EXPECT_EQ(describe(mapper.route(path)), expected) << path;
    }
}

TEST(ContainerRequestMapper, IndexServletWithoutARootMapping) {
    KxRequestMapper byName("/orvo", {{"/server/*", "server"}}, {"server", "index"});
    EXPECT_EQ(byName.route("/orvo/").servletName, "index");
    KxRequestMapper none("/orvo", {{"/server/*", "server"}}, {"server"});
    EXPECT_EQ(none.route("/orvo/").kind, KxRoute::Kind::NotFound);
}

TEST(ContainerRequestMapper, ApplicationAtTheServerRoot) {
    KxRequestMapper root("/", {{"/server/*", "server"}, {"/", "index"}}, {});
    EXPECT_EQ(root.contextPath(), "");
    EXPECT_EQ(root.route("/").servletName, "index");
    EXPECT_EQ(root.route("/server/x").pathInfo, "/x");
    EXPECT_EQ(root.route("/static/a.css").staticName, "a.css");
}

TEST(ContainerRequestMapper, SlashStarTakesEverythingButTheRootAndStatic) {
    KxRequestMapper all("/orvo", {{"/*", "all"}}, {});
    const KxRoute route = all.route("/orvo/a/b");
    EXPECT_EQ(route.servletName, "all");
    EXPECT_EQ(route.servletPath, "");
    EXPECT_EQ(route.pathInfo, "/a/b");
    EXPECT_EQ(all.route("/orvo/static/x.css").kind, KxRoute::Kind::Static);
}

TEST(ContainerRequestMapper, ContextPathIsNormalised) {
    EXPECT_EQ(normaliseContextPath("/orvo/"), "/orvo");
    EXPECT_EQ(normaliseContextPath("orvo"), "/orvo");
    EXPECT_EQ(normaliseContextPath("/"), "");
    EXPECT_EQ(normaliseContextPath("/a/b"), "/a/b");
    EXPECT_THROW(normaliseContextPath("/or vo"), std::invalid_argument);
    EXPECT_THROW(normaliseContextPath("/orvo?x"), std::invalid_argument);
}

TEST(ContainerRequestMapper, SupportedPatterns) {
    for (const char* pattern : {"/", "/a", "/a/b", "/a/*", "/*"}) {
        EXPECT_TRUE(isSupportedUrlPattern(pattern)) << pattern;
    }
    for (const char* pattern : {"", "*.do", "a/*", "/a*", "/a/*/b", "/a/**"}) {
        EXPECT_FALSE(isSupportedUrlPattern(pattern)) << pattern;
    }
}

TEST(ContainerRedirect, ResolvesLikeAServletContainer) {
    // servlet address, location, expected
    for (const auto& [address, location, expected] : std::vector<std::array<const char*, 3>>{
             {"/orvo/server", "status?dir=x", "/orvo/status?dir=x"},
             {"/orvo/", "status", "/orvo/status"},
             {"/orvo/a/b", "c", "/orvo/a/c"},
             {"/server", "status", "/status"},
             {"/orvo/server", "status?dir=C:\\w d|x", "/orvo/status?dir=C:\\w d|x"},
             {"/orvo/a/b", "../c", "/orvo/a/../c"},
             {"/orvo/server", "/other/x", "/other/x"},
             {"/orvo/server", "/status", "/status"},
             {"/orvo/server", "http://127.0.0.1:8080/orvo/", "http://127.0.0.1:8080/orvo/"},
             {"/orvo/server", "https://example.org/a", "https://example.org/a"},
             {"/orvo/server", "status?dir=C://x", "/orvo/status?dir=C://x"},
             {"/orvo/server", "?a=1", "/orvo/server?a=1"},
             {"/orvo/server", "", "/orvo/"}}) {
        EXPECT_EQ(resolveRedirectLocation(address, location), std::string(expected))
            << address << " " << location;
    }
}

TEST(ContainerRedirectRefusal, LineBreaksNeverReachTheHeader) {
    EXPECT_EQ(resolveRedirectLocation("/orvo/x", "a\r\nSet-Cookie: x=1"), std::nullopt);
    EXPECT_EQ(resolveRedirectLocation("/orvo/x", "/a\nb"), std::nullopt);
    EXPECT_EQ(resolveRedirectLocation("/orvo/x", "http://h/\r"), std::nullopt);
    EXPECT_EQ(resolveRedirectLocation("/orvo/x", std::string("a\0b", 3)), std::nullopt);
}

}  // namespace
}  // namespace kx::container
