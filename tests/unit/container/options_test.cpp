#include "platform/container/KxContainerOptions.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "support/ScopedEnv.h"

namespace kx::container {
namespace {

// Parses the words of a command line (split at blanks) after the program name.
std::optional<int> parse(const std::string& line, KxContainerOptions& options) {
    std::istringstream in("kxcontainer " + line);
    const std::vector<std::string> words{std::istream_iterator<std::string>(in), {}};
    std::vector<const char*> arguments;
    for (const auto& word : words) {
        arguments.push_back(word.c_str());
    }
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

TEST(ContainerOptions, EveryOptionIsReadAndFaultsEndTheProgram) {
    KxContainerOptions options;
    EXPECT_EQ(parse("--port 0 --bind ::1 --context /x --webapp w --home h --log-dir l --threads 3 "
                    "--lib-dir lib --token tk --max-sessions 5 --max-new-sessions 2 "
                    "--client-header-buffer-size 4k --client-max-body-size 3m "
                    "--client-header-timeout 2s --client-body-timeout 500ms "
                    "--keepalive-timeout 9 --max-connections 7 --shutdown-timeout 3s --gzip off "
                    "--host-name Orvo-Dev.localhost --address-file a.txt",
                    options),
              std::nullopt);
    EXPECT_EQ(
        std::tie(options.port, options.bind, options.context, options.webapp, options.home,
                 options.logDir, options.libDir, options.token),
        std::make_tuple(0, std::string("::1"), std::string("/x"), std::string("w"),
                        std::string("h"), std::string("l"), std::string("lib"), std::string("tk")));
    EXPECT_EQ(std::tie(options.threads, options.maxSessions, options.maxNewSessions,
                       options.limits.clientHeaderBufferSize, options.limits.clientMaxBodySize,
                       options.limits.maxConnections),
              std::make_tuple(3u, 5u, 2u, 4096u, 3u * 1024 * 1024, 7u));
    EXPECT_EQ(options.limits.clientHeaderTimeout, std::chrono::seconds(2));
    EXPECT_EQ(options.limits.clientBodyTimeout, std::chrono::milliseconds(500));
    EXPECT_EQ(options.limits.keepaliveTimeout, std::chrono::seconds(9));
    EXPECT_EQ(options.shutdownGrace, std::chrono::seconds(3));
    EXPECT_FALSE(options.gzip);
    EXPECT_EQ(options.hostName, "orvo-dev.localhost");
    EXPECT_EQ(options.addressFile, "a.txt");

    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    for (const char* bad :
         {"--token a --no-token", "--port 70000", "--threads 0", "--max-connections 0",
          "--client-max-body-size lots", "--client-header-buffer-size 1023", "--unknown",
          "--gzip yes", "--shutdown-timeout soon", "--host-name localhost", "--host-name 127.0.0.1",
          "--host-name orvo.example", "--host-name bad_label.localhost",
          "--host-name orvo.localhost --bind 192.0.2.7"}) {
        KxContainerOptions rejected;
        EXPECT_EQ(parse(bad, rejected), std::optional<int>(2)) << bad;
    }
    KxContainerOptions smallest;  // the smallest header buffer allowed is 1k
    EXPECT_EQ(parse("--client-header-buffer-size 1k", smallest), std::nullopt);
    EXPECT_EQ(parse("--help", smallest), std::optional<int>(0));
    testing::internal::GetCapturedStdout();
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("'lots' is not a size"), std::string::npos) << errors;
    EXPECT_NE(errors.find("--host-name 'localhost': every server"), std::string::npos) << errors;
    EXPECT_NE(errors.find("--host-name needs a loopback --bind"), std::string::npos) << errors;
}

// The home comes from KX_HOME, the libraries from beside the program, and the logs from the
// user's state folder, never from the home; given values stay.
TEST(ContainerOptions, DefaultsFromTheEnvironmentUnlessGiven) {
    ScopedEnv user("HOME", "/users/ann");
    for (const auto& [productHome, stateHome, home, logs] :
         std::vector<std::tuple<std::optional<std::string>, const char*, const char*, const char*>>{
             {"/srv/home", "/state", "/srv/home", "/state/kxcontainer/logs"},
             {std::nullopt, "", "", "/users/ann/.local/state/kxcontainer/logs"},
             {"/srv/home", "relative/state", "/srv/home",
              "/users/ann/.local/state/kxcontainer/logs"}}) {
        ScopedEnv productHomeEnv("KX_HOME", productHome);
        ScopedEnv state("XDG_STATE_HOME", stateHome);
        KxContainerOptions options;
        resolveOptionDefaults(options, "/opt/kx/bin/kxcontainer");
        EXPECT_EQ(options.home + " " + options.logDir + " " + options.libDir,
                  std::string(home) + " " + logs + " /opt/kx/lib")
            << stateHome;
    }
    KxContainerOptions given;
    given.home = "/h";
    given.logDir = "/elsewhere";
    given.libDir = "/l";
    resolveOptionDefaults(given, "/b/kxcontainer");
    EXPECT_EQ(given.home + " " + given.logDir + " " + given.libDir, "/h /elsewhere /l");
    ScopedEnv state("XDG_STATE_HOME", "");
    ScopedEnv noHome("HOME", "");
    EXPECT_EQ(defaultLogDirectory(), "./logs");
}

}  // namespace
}  // namespace kx::container
