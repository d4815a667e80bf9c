#include "platform/container/KxContainerOptions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/ScopedEnv.h"

namespace kx::container {
namespace {

std::optional<int> parse(std::vector<const char*> arguments, KxContainerOptions& options) {
    arguments.insert(arguments.begin(), "kxcontainer");
    return parseContainerOptions(static_cast<int>(arguments.size()), arguments.data(), options);
}

TEST(ContainerOptions, SizesAndDurations) {
    EXPECT_EQ(parseSize("512"), 512u);
    EXPECT_EQ(parseSize("16k"), 16u * 1024);
    EXPECT_EQ(parseSize("1M"), 1024u * 1024);
    EXPECT_EQ(parseSize("2g"), 2ull * 1024 * 1024 * 1024);
    for (const char* bad : {"", "k", "12q", "-1", "1.5m", "99999999999999999999"}) {
        EXPECT_THROW(parseSize(bad), std::invalid_argument) << bad;
    }
    EXPECT_EQ(parseDuration("60s"), std::chrono::seconds(60));
    EXPECT_EQ(parseDuration("75"), std::chrono::seconds(75));
    EXPECT_EQ(parseDuration("250ms"), std::chrono::milliseconds(250));
    EXPECT_EQ(parseDuration("2m"), std::chrono::minutes(2));
    EXPECT_EQ(parseDuration("1h"), std::chrono::hours(1));
    for (const char* bad : {"", "s", "5d", "1.5s"}) {
        EXPECT_THROW(parseDuration(bad), std::invalid_argument) << bad;
    }
}

TEST(ContainerOptions, DefaultsWithoutArguments) {
    KxContainerOptions options;
    EXPECT_EQ(parse({}, options), std::nullopt);
    EXPECT_EQ(options.port, 8080);
    EXPECT_EQ(options.bind, "127.0.0.1");
    EXPECT_EQ(options.context, "/orvo");
    EXPECT_EQ(options.threads, 8u);
    EXPECT_EQ(options.maxSessions, 10000u);
    EXPECT_EQ(options.maxNewSessions, 1000u);
    EXPECT_FALSE(options.noToken);
    EXPECT_EQ(options.limits.clientHeaderBufferSize, 16u * 1024);
    EXPECT_EQ(options.limits.clientMaxBodySize, 1024u * 1024);
    EXPECT_EQ(options.limits.clientHeaderTimeout, std::chrono::seconds(60));
    EXPECT_EQ(options.limits.clientBodyTimeout, std::chrono::seconds(60));
    EXPECT_EQ(options.limits.keepaliveTimeout, std::chrono::seconds(75));
    EXPECT_EQ(options.limits.maxConnections, 1024u);
}

TEST(ContainerOptions, EveryOptionIsRead) {
    std::vector<const char*> arguments;
    std::istringstream words(
        "--port 0 --bind ::1 --context /x --webapp w --home h --log-dir l --threads 3 "
        "--lib-dir lib --token tk --max-sessions 5 --max-new-sessions 2 "
        "--client-header-buffer-size 4k --client-max-body-size 3m --client-header-timeout 2s "
        "--client-body-timeout 500ms --keepalive-timeout 9 --max-connections 7");
    std::vector<std::string> kept;
    for (std::string word; words >> word;) {
        kept.push_back(word);
    }
    for (const auto& word : kept) {
        arguments.push_back(word.c_str());
    }
    KxContainerOptions options;
    EXPECT_EQ(parse(arguments, options), std::nullopt);
    EXPECT_EQ(options.port, 0);
    EXPECT_EQ(options.bind, "::1");
    EXPECT_EQ(options.context, "/x");
    EXPECT_EQ(options.webapp, "w");
    EXPECT_EQ(options.home, "h");
    EXPECT_EQ(options.logDir, "l");
    EXPECT_EQ(options.threads, 3u);
    EXPECT_EQ(options.libDir, "lib");
    EXPECT_EQ(options.token, "tk");
    EXPECT_EQ(options.maxSessions, 5u);
    EXPECT_EQ(options.maxNewSessions, 2u);
    EXPECT_EQ(options.limits.clientHeaderBufferSize, 4096u);
    EXPECT_EQ(options.limits.clientMaxBodySize, 3u * 1024 * 1024);
    EXPECT_EQ(options.limits.clientHeaderTimeout, std::chrono::seconds(2));
    EXPECT_EQ(options.limits.clientBodyTimeout, std::chrono::milliseconds(500));
    EXPECT_EQ(options.limits.keepaliveTimeout, std::chrono::seconds(9));
    EXPECT_EQ(options.limits.maxConnections, 7u);
}

TEST(ContainerOptions, FaultsEndTheProgram) {
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    for (std::vector<const char*> bad :
         std::vector<std::vector<const char*>>{{"--token", "a", "--no-token"},
                                               {"--port", "70000"},
                                               {"--threads", "0"},
                                               {"--max-connections", "0"},
                                               {"--client-max-body-size", "lots"},
                                               {"--client-header-buffer-size", "1023"},
                                               {"--unknown"}}) {
        KxContainerOptions options;
        const auto status = parse(bad, options);
        EXPECT_EQ(status, std::optional<int>(2)) << bad[0];
    }
    KxContainerOptions options;
    // The smallest header buffer allowed is 1k.
    EXPECT_EQ(parse({"--client-header-buffer-size", "1k"}, options), std::nullopt);
    EXPECT_EQ(parse({"--help"}, options), std::optional<int>(0));
    testing::internal::GetCapturedStdout();
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("'lots' is not a size"), std::string::npos) << errors;
}

TEST(ContainerOptions, DefaultsFromTheEnvironment) {
    {
        ScopedEnv home("KX_HOME", std::nullopt);
        KxContainerOptions options;
        resolveOptionDefaults(options, "/opt/kx/bin/kxcontainer");
        EXPECT_EQ(options.libDir, "/opt/kx/lib");
        EXPECT_EQ(options.home, "");
    }
    ScopedEnv home("KX_HOME", "/srv/home");
    KxContainerOptions fromEnvironment;
    resolveOptionDefaults(fromEnvironment, "/b/kxcontainer");
    EXPECT_EQ(fromEnvironment.home, "/srv/home");

    KxContainerOptions given;
    given.home = "/h";
    given.logDir = "/elsewhere";
    given.libDir = "/l";
    resolveOptionDefaults(given, "/b/kxcontainer");
    EXPECT_EQ(given.home, "/h");
    EXPECT_EQ(given.logDir, "/elsewhere");
    EXPECT_EQ(given.libDir, "/l");
}

TEST(ContainerOptions, LogsLiveInTheUsersStateFolderNotInTheHome) {
    ScopedEnv home("HOME", "/users/ann");
    ScopedEnv productHome("KX_HOME", "/srv/home");
    struct Case {
        const char* stateHome;
        const char* expected;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"/state", "/state/kxcontainer/logs"},
             {"", "/users/ann/.local/state/kxcontainer/logs"},
             {"relative/state", "/users/ann/.local/state/kxcontainer/logs"},
         }) {
        ScopedEnv state("XDG_STATE_HOME", c.stateHome);
        KxContainerOptions options;
        resolveOptionDefaults(options, "/b/kxcontainer");
        EXPECT_EQ(options.logDir, c.expected) << c.stateHome;
    }
    ScopedEnv state("XDG_STATE_HOME", "");
    ScopedEnv noHome("HOME", "");
    EXPECT_EQ(defaultLogDirectory(), "./logs");
}

}  // namespace
}  // namespace kx::container
