// Generation runs through the real container: a generated servlet project
// that builds and runs in a second container, a run's output streamed to its
// follower, and runs of several users at once, each in its own project.
#include <csignal>
#include <filesystem>
#include <future>
#include <thread>
#include <vector>

#include "platform/base/KxText.h"
#include "support/ProductFixture.h"

namespace kxtest {
namespace {

using ProductRuns = ProductTest;

TEST_F(ProductRuns, AGeneratedServletProjectBuildsAndRunsInKxcontainer) {
    start();
    const HttpResponse run =
        post("/orvo/tavrin", "oper=generate&projectName=greeter&projectDir=" + projects() +
                                 "&servletName=Greeter&sample=on&webxml=on&make=on");
    ASSERT_EQ(run.status, 302) << run.body;
    const auto project = home.path() / "projects" / "greeter";
    ScopedEnv noInherit("MAKEFLAGS", "");
    const std::string build =
        "make -C " + project.string() + " > " + (project / "build.log").string() + " 2>&1";
    ASSERT_EQ(std::system(build.c_str()), 0) << readFile((project / "build.log").string());

    // A second container serves the generated servlet with its own web.xml.
    ScratchDir servletApp;
    std::filesystem::create_directories(servletApp.path() / "WEB-INF");
    std::filesystem::copy_file(project / "web.xml", servletApp.path() / "WEB-INF" / "web.xml");
    ContainerProcess second;
    second.setLibraryDirectory(project.string());
    ASSERT_TRUE(second.start(servletApp.str())) << second.failure();
    const HttpResponse greeting = second.get("/orvo/");
    EXPECT_EQ(greeting.status, 200);
    EXPECT_TRUE(contains(greeting.body, "<h1>Hello from Greeter</h1>")) << greeting.body;
}

TEST_F(ProductRuns, ARunsOutputIsStreamedAndOpenStreamsAreBounded) {
    start({"--max-streams", "1"});
    const auto generated = post(
        "/orvo/server", "oper=generate&projectName=streamed&runId=integration-run-1&projectDir=" +
                            kx::urlEncoded(home.str() + "/projects") + "&filename=" +
                            kx::urlEncoded(home.str() + "/examples/calculator.wsdl"));
    ASSERT_EQ(generated.status, 302);
    // Followed after it ended, the run still gives its whole output.
    const auto followed = get("/orvo/follow?run=integration-run-1");
    EXPECT_EQ(followed.status, 200);
    EXPECT_EQ(followed.header("Content-Type"), "text/event-stream; charset=utf-8");
    EXPECT_EQ(followed.header("Transfer-Encoding"), "chunked");
    EXPECT_TRUE(contains(followed.body, "event: output\ndata: svcgen")) << followed.body;
    EXPECT_TRUE(followed.body.ends_with("event: end\ndata: \n\n\r\n0\r\n\r\n")) << followed.body;

    // A follower of a run not yet started holds the one stream until it goes.
    {
        HttpConnection waiting(container.port());
        ASSERT_TRUE(waiting.sendRaw(
            buildRequest(container.port(), "GET", "/orvo/follow?run=integration-run-2",
                         {{"Authorization", "token " + container.token()}})));
        ASSERT_EQ(waiting.readResponse(true, 5s).status, 200);
        const auto refused = get("/orvo/follow?run=integration-run-1");
        EXPECT_EQ(refused.status, 503);
        EXPECT_EQ(refused.header("Retry-After"), "5");
    }
    int status = 0;
    for (int attempt = 0; attempt < 50 && status != 200; ++attempt) {
        std::this_thread::sleep_for(100ms);
        status = get("/orvo/follow?run=integration-run-1").status;
    }
    EXPECT_EQ(status, 200) << "the stream of the client that went is freed";
}

TEST_F(ProductRuns, EightUsersGenerateAtOnceEachInTheirOwnProject) {
    // Records its working directory and when it started and ended.
    generator("svcgen",
              "date +%s.%N > started.txt\npwd > invocation.txt\nsleep 1\n"
              "date +%s.%N > ended.txt\n");
    start({"--threads", "8"});
    std::vector<std::future<int>> runs;
    for (int user = 0; user < 8; ++user) {
        runs.push_back(std::async(std::launch::async, [this, user] {
            // A fresh client per user: its own session.
            return container
                .request("POST", "/orvo/server",
                         {{"Authorization", "token " + container.token()},
                          {"Content-Type", "application/x-www-form-urlencoded"}},
                         "oper=generate&projectName=user" + std::to_string(user) + "&projectDir=" +
                             projects() + "&filename=" + home.str() + "/examples/calculator.wsdl")
                .status;
        }));
    }
    double latestStart = 0;
    double earliestEnd = 1e300;
    for (int user = 0; user < 8; ++user) {
        EXPECT_EQ(runs[user].get(), 302);
        const auto project = home.path() / "projects" / ("user" + std::to_string(user));
        EXPECT_EQ(readFile(project / "invocation.txt"), project.string() + "\n");
        latestStart = std::max(latestStart, std::stod(readFile(project / "started.txt")));
        earliestEnd = std::min(earliestEnd, std::stod(readFile(project / "ended.txt")));
    }
    EXPECT_LT(latestStart, earliestEnd) << "all eight generators ran at the same time";
}

// Without --home the container takes KX_HOME as users write it: in double
// quotes, plain, or relative to its working directory. Every page sees the
// plain absolute path.
TEST_F(ProductRuns, TheHomeFromKxHomeLosesItsQuotesAndReachesEveryPage) {
    home.write("docs/index.html", "<h1>Product documentation</h1>");
    const std::string relative =
        std::filesystem::relative(home.path(), std::filesystem::current_path()).string();
    bool started = false;
    for (const std::string& value : {"\"" + home.str() + "\"", home.str(), relative}) {
        SCOPED_TRACE(value);
        ScopedEnv kxHome("KX_HOME", value);
        if (started) {
            container.signal(SIGTERM);
            ASSERT_TRUE(container.waitForExit(std::chrono::seconds(15)).has_value());
            ASSERT_TRUE(container.start(webapp.str())) << container.failure();
        } else {
            start({}, false);
            started = true;
        }
        const std::string encoded = kx::urlEncoded(home.str());
        EXPECT_TRUE(contains(get("/orvo/").body, "status/docs/index.html?dir=" + encoded));
        EXPECT_TRUE(contains(get("/orvo/server").body, "value=\"" + home.str() + "\\projects\""));
        const HttpResponse docs = get("/orvo/status/docs/index.html?dir=" + encoded);
        EXPECT_EQ(docs.status, 200);
        EXPECT_TRUE(contains(docs.body, "Product documentation")) << docs.body;
        cookie.clear();  // a new session sees the defaults anew
    }
}

}  // namespace
}  // namespace kxtest
