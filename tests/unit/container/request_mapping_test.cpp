#include "platform/container/KxRequestMapping.h"

#include <gtest/gtest.h>

#include <array>
#include <stdexcept>
#include <tuple>
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

TEST(ContainerRequestMapper, IndexRootContextAndSlashStar) {
    // Without a root mapping, a servlet named index takes the context root.
    EXPECT_EQ(KxRequestMapper("/orvo", {{"/server/*", "server"}}, {"server", "index"})
                  .route("/orvo/")
                  .servletName,
              "index");
    EXPECT_EQ(KxRequestMapper("/orvo", {{"/server/*", "server"}}, {"server"}).route("/orvo/").kind,
              KxRoute::Kind::NotFound);
    KxRequestMapper root("/", {{"/server/*", "server"}, {"/", "index"}}, {});
    EXPECT_EQ(root.contextPath(), "");
    EXPECT_EQ(root.route("/").servletName, "index");
    EXPECT_EQ(root.route("/server/x").pathInfo, "/x");
    EXPECT_EQ(root.route("/static/a.css").staticName, "a.css");
    // "/*" takes everything but the root and static.
    KxRequestMapper all("/orvo", {{"/*", "all"}}, {});
    EXPECT_EQ(describe(all.route("/orvo/a/b")), "0 all||/a/b|");
    EXPECT_EQ(all.route("/orvo/static/x.css").kind, KxRoute::Kind::Static);
}

TEST(ContainerRequestMapper, ContextPathsAndSupportedPatterns) {
    for (const auto& [given, normal] :
         {std::pair{"/orvo/", "/orvo"}, {"orvo", "/orvo"}, {"/", ""}, {"/a/b", "/a/b"}}) {
        EXPECT_EQ(normaliseContextPath(given), normal) << given;
    }
    EXPECT_THROW(normaliseContextPath("/or vo"), std::invalid_argument);
    EXPECT_THROW(normaliseContextPath("/orvo?x"), std::invalid_argument);
    for (const char* pattern : {"/", "/a", "/a/b", "/a/*", "/*"}) {
        EXPECT_TRUE(isSupportedUrlPattern(pattern)) << pattern;
    }
    for (const char* pattern : {"", "*.do", "a/*", "/a*", "/a/*/b", "/a/**"}) {
        EXPECT_FALSE(isSupportedUrlPattern(pattern)) << pattern;
    }
}

TEST(ContainerRedirect, ResolvesLikeAServletContainerAndRefusesLineBreaks) {
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
    for (const std::string& broken : {std::string("a\r\nSet-Cookie: x=1"), std::string("/a\nb"),
                                      std::string("http://h/\r"), std::string("a\0b", 3)}) {
        EXPECT_EQ(resolveRedirectLocation("/orvo/x", broken), std::nullopt);
    }
}

}  // namespace
}  // namespace kx::container
