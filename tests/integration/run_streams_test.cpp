// Streamed answers over HTTP: a run's console output followed through the
// product's follow page (chunked, ending with the run), and the bound on the
// answers streamed at once, freed when a client goes.
#include <thread>

#include "platform/base/KxText.h"
#include "support/ProductFixture.h"

namespace kxtest {
namespace {

using namespace std::chrono_literals;

using RunStreams = ProductTest;

TEST_F(RunStreams, ARunsOutputIsStreamedAndOpenStreamsAreBounded) {
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

    // A follower waiting for a run that has not started holds the one
    // stream; another is refused until it goes.
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

}  // namespace
}  // namespace kxtest
