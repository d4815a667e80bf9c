#include "platform/container/KxRequestMapping.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kx::container {
namespace {

struct RouteCase {
    const char* label;
    const char* path;
    KxRoute::Kind kind;
    const char* servlet;
    const char* servletPath;
    const char* pathInfo;
    const char* staticName;
};

void PrintTo(const RouteCase& c, std::ostream* out) {
    *out << c.label << " " << c.path;
}

KxRequestMapper testMapper(const std::vector<std::string>& names = {"index", "server", "status"}) {
    return KxRequestMapper("/orvo",
                           {{"/server/*", "server"},
                            {"/status", "status"},
                            {"/server/deep/*", "deep"},
                            {"/exact/name", "exact"},
                            {"*.do", "ignored"},
                            {"/", "index"}},
                           names);
}

class ContainerRequestMapping : public ::testing::TestWithParam<RouteCase> {};

TEST_P(ContainerRequestMapping, Routes) {
    const auto& c = GetParam();
    const KxRoute route = testMapper().route(c.path);
    EXPECT_EQ(route.kind, c.kind);
    EXPECT_EQ(route.servletName, c.servlet);
    EXPECT_EQ(route.servletPath, c.servletPath);
    EXPECT_EQ(route.pathInfo, c.pathInfo);
    EXPECT_EQ(route.staticName, c.staticName);
}

using K = KxRoute::Kind;

INSTANTIATE_TEST_SUITE_P(
    Table, ContainerRequestMapping,
    ::testing::Values(
        RouteCase{"prefixWithRest", "/orvo/server/generate", K::Servlet, "server", "/server",
                  "/generate", ""},
        RouteCase{"prefixDeepRest", "/orvo/server/a/b/", K::Servlet, "server", "/server", "/a/b/",
                  ""},
        RouteCase{"prefixAlone", "/orvo/server", K::Servlet, "server", "/server", "", ""},
        RouteCase{"prefixSlash", "/orvo/server/", K::Servlet, "server", "/server", "/", ""},
        RouteCase{"longestPrefixWins", "/orvo/server/deep/x", K::Servlet, "deep", "/server/deep",
                  "/x", ""},
        RouteCase{"prefixNeedsWholeSegment", "/orvo/serverx", K::NotFound, "", "", "", ""},
        RouteCase{"exact", "/orvo/status", K::Servlet, "status", "/status", "", ""},
        RouteCase{"exactTwoSegments", "/orvo/exact/name", K::Servlet, "exact", "/exact/name", "",
                  ""},
        RouteCase{"exactTakesNoRest", "/orvo/status/x", K::NotFound, "", "", "", ""},
        RouteCase{"rootSlash", "/orvo/", K::Servlet, "index", "/", "", ""},
        RouteCase{"rootBare", "/orvo", K::Servlet, "index", "/", "", ""},
        RouteCase{"defaultIsRootOnly", "/orvo/unknown", K::NotFound, "", "", "", ""},
        RouteCase{"static", "/orvo/static/css/site.css", K::Static, "", "", "", "css/site.css"},
        RouteCase{"staticFolderAlone", "/orvo/static/", K::NotFound, "", "", "", ""},
        RouteCase{"serverRootRedirects", "/", K::RedirectToContext, "", "", "", ""},
        RouteCase{"outsideContext", "/other/server", K::NotFound, "", "", "", ""},
        RouteCase{"contextPrefixOnly", "/orvox", K::NotFound, "", "", "", ""}),
    [](const auto& info) { return std::string(info.param.label); });

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

struct RedirectCase {
    const char* label;
    const char* servletAddress;
    const char* location;
    const char* expected;
};

void PrintTo(const RedirectCase& c, std::ostream* out) {
    *out << c.label;
}

class ContainerRedirect : public ::testing::TestWithParam<RedirectCase> {};

TEST_P(ContainerRedirect, ResolvesLikeAServletContainer) {
    const auto& c = GetParam();
    EXPECT_EQ(resolveRedirectLocation(c.servletAddress, c.location), std::string(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ContainerRedirect,
    ::testing::Values(
        RedirectCase{"relativeFromPrefixServlet", "/orvo/server", "status?dir=x",
                     "/orvo/status?dir=x"},
        RedirectCase{"relativeFromRootServlet", "/orvo/", "status", "/orvo/status"},
        RedirectCase{"relativeFromNestedServlet", "/orvo/a/b", "c", "/orvo/a/c"},
        RedirectCase{"relativeFromServletAtServerRoot", "/server", "status", "/status"},
        RedirectCase{"rawTextKept", "/orvo/server", "status?dir=C:\\w d|x",
                     "/orvo/status?dir=C:\\w d|x"},
        RedirectCase{"dotSegmentsLeftToTheBrowser", "/orvo/a/b", "../c", "/orvo/a/../c"},
        RedirectCase{"pathAbsoluteAsIs", "/orvo/server", "/other/x", "/other/x"},
        RedirectCase{"noContextAdded", "/orvo/server", "/status", "/status"},
        RedirectCase{"absoluteUrlAsIs", "/orvo/server", "http://127.0.0.1:8080/orvo/",
                     "http://127.0.0.1:8080/orvo/"},
        RedirectCase{"otherSchemeAsIs", "/orvo/server", "https://example.org/a",
                     "https://example.org/a"},
        RedirectCase{"colonInRelativeIsNotAScheme", "/orvo/server", "status?dir=C://x",
                     "/orvo/status?dir=C://x"},
        RedirectCase{"queryOnly", "/orvo/server", "?a=1", "/orvo/server?a=1"},
        RedirectCase{"emptyIsTheFolder", "/orvo/server", "", "/orvo/"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ContainerRedirectRefusal, LineBreaksNeverReachTheHeader) {
    EXPECT_EQ(resolveRedirectLocation("/orvo/x", "a\r\nSet-Cookie: x=1"), std::nullopt);
    EXPECT_EQ(resolveRedirectLocation("/orvo/x", "/a\nb"), std::nullopt);
    EXPECT_EQ(resolveRedirectLocation("/orvo/x", "http://h/\r"), std::nullopt);
    EXPECT_EQ(resolveRedirectLocation("/orvo/x", std::string("a\0b", 3)), std::nullopt);
}

}  // namespace
}  // namespace kx::container
