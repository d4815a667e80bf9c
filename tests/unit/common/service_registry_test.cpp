// The services run for projects, with a stand-in for kxcontainer: a shell
// script that records its arguments and behaves as the test tells it.
#include "orvowizard/common/KxServiceRegistry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/os/KxOs.h"
#include "support/ScratchDir.h"

namespace {

constexpr const char* kDescriptor =
    "<web-app><servlet><servlet-name>S</servlet-name>"
    "<servlet-class> libcalc.so:createS </servlet-class></servlet>"
    "<servlet><servlet-name>T</servlet-name><servlet-class>libcalc.so:createT</servlet-class>"
    "</servlet></web-app>";

class ServiceRegistryTest : public testing::Test {
  protected:
    void SetUp() override { registry.setStartTimeout(std::chrono::seconds(5)); }

    // A built project folder and the stand-in program running body.
    std::string project(const std::string& name, const std::string& body) {
        scratch.write(name + "/web.xml", kDescriptor);
        scratch.write(name + "/libcalc.so", "ELF");
        const std::string program = scratch.write(name + "-container.sh", "#!/bin/sh\n" + body);
        ::chmod(program.c_str(), 0755);
        registry.setContainerProgram(program);
        return scratch / name;
    }

    static std::string read(const std::string& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    static bool alive(int pid) { return pid > 0 && ::kill(pid, 0) == 0; }

    ScratchDir scratch;
    KxServiceRegistry registry;
};

const char* const kServes =
    "echo \"$@\" > args.txt\n"
    "echo 'kxcontainer: serving calc at http://127.0.0.1:4321/?token=x'\n"
    "exec sleep 60\n";

TEST(ServiceStartLine, PortIsReadFromTheAddress) {
    EXPECT_EQ(portOfStartLine("kxcontainer: serving calc at http://127.0.0.1:41234/?token=ab"),
              41234);
    EXPECT_EQ(portOfStartLine("kxcontainer: serving x at http://127.0.0.1:8090/"), 8090);
    EXPECT_EQ(portOfStartLine("kxcontainer: serving x at http://127.0.0.1/"), 0);
    EXPECT_EQ(portOfStartLine("kxcontainer: serving x at http://127.0.0.1:99999/"), 0);
    EXPECT_EQ(portOfStartLine("no address"), 0);
    // The application's name is the project's text: an address in it is not
    // the child's, nor is one on another host.
    EXPECT_EQ(
        portOfStartLine("kxcontainer: serving http://127.0.0.1:22/ at http://127.0.0.1:8090/"),
        8090);
    EXPECT_EQ(portOfStartLine("kxcontainer: serving http://127.0.0.1:22/ at"), 0);
    EXPECT_EQ(portOfStartLine("kxcontainer: serving x at http://10.0.0.1:8090/"), 0);
    EXPECT_EQ(portOfStartLine("kxcontainer: serving x at http://127.0.0.1:80x/"), 0);
    EXPECT_EQ(portOfStartLine("kxcontainer: serving x at http://orvo-1f.localhost:8091/?token=t"),
              8091);
    EXPECT_EQ(librariesOfDescriptor(kDescriptor), (std::vector<std::string>{"libcalc.so"}));
    EXPECT_TRUE(librariesOfDescriptor("<web-app><servlet>").empty());
}

TEST_F(ServiceRegistryTest, RunsTheProjectInItsOwnContainerUntilStopped) {
    const std::string dir = project("calc", kServes);
    const auto result = registry.start(dir);
    ASSERT_EQ(result.outcome, KxServiceRegistry::Outcome::Started)
        << (result.problems.empty() ? "" : result.problems.front());
    // The same folder spelt another way is the same service.
    const auto service = registry.find(dir + "/.");
    ASSERT_TRUE(service);
    EXPECT_TRUE(service->running);
    EXPECT_EQ(service->port, 4321);
    EXPECT_TRUE(alive(service->pid));
    EXPECT_EQ(registry.start(dir).outcome, KxServiceRegistry::Outcome::AlreadyRunning);

    // Loopback, a free port, a token of its own, the descriptor's copy and
    // the logs in the project's service folder, served at the root.
    const std::string args = read(dir + "/args.txt");
    const std::string folder = kx::os::realPathOf(dir);
    EXPECT_NE(args.find("--bind 127.0.0.1"), std::string::npos) << args;
    EXPECT_NE(args.find("--port 0"), std::string::npos) << args;
    EXPECT_NE(args.find("--token " + service->token), std::string::npos) << args;
    EXPECT_GE(service->token.size(), 16u);
    EXPECT_NE(args.find("--webapp " + folder + "/service/webapp"), std::string::npos) << args;
    EXPECT_NE(args.find("--log-dir " + folder + "/service/logs"), std::string::npos) << args;
    EXPECT_NE(args.find("--context  --bind"), std::string::npos) << args;
    EXPECT_EQ(read(dir + "/service/webapp/WEB-INF/web.xml"), kDescriptor);

    EXPECT_TRUE(registry.stop(dir));
    EXPECT_FALSE(alive(service->pid));
    EXPECT_FALSE(registry.find(dir));
    EXPECT_FALSE(registry.stop(dir));
}

TEST_F(ServiceRegistryTest, AServiceThatFailsShowsWhyAndIsNotLeftRunning) {
    // A servlet that cannot be loaded: the container still serves, but the
    // service is stopped and its message kept.
    const std::string broken = project(
        "broken", "echo \"kxcontainer: servlet 'S': libcalc.so: undefined symbol: missing\" >&2\n" +
                      std::string(kServes));
    auto result = registry.start(broken);
    EXPECT_EQ(result.outcome, KxServiceRegistry::Outcome::Failed);
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_NE(result.problems[0].find("undefined symbol: missing"), std::string::npos);
    auto service = registry.find(broken);
    ASSERT_TRUE(service);
    EXPECT_TRUE(service->failedAtStart);
    EXPECT_FALSE(service->running);
    EXPECT_FALSE(alive(service->pid));

    // One that ends before it serves, and one that never prints an address.
    const std::string ends = project("ends", "exit 3\n");
    result = registry.start(ends);
    EXPECT_EQ(result.outcome, KxServiceRegistry::Outcome::Failed);
    EXPECT_NE(result.problems.at(0).find("exit status 3"), std::string::npos);
    registry.setStartTimeout(std::chrono::milliseconds(300));
    const std::string silent = project("silent", "exec sleep 60\n");
    result = registry.start(silent);
    EXPECT_EQ(result.outcome, KxServiceRegistry::Outcome::Failed);
    EXPECT_NE(result.problems.at(0).find("no address"), std::string::npos);

    // Without its library the project is not built.
    const std::string unbuilt = project("unbuilt", kServes);
    std::filesystem::remove(unbuilt + "/libcalc.so");
    EXPECT_EQ(registry.start(unbuilt).outcome, KxServiceRegistry::Outcome::NotBuilt);
    EXPECT_FALSE(std::filesystem::exists(unbuilt + "/args.txt"));
}

TEST_F(ServiceRegistryTest, LimitCrashAndALinkedServiceFolder) {
    registry.setLimit(1);
    const std::string first = project("first", kServes);
    const std::string second = project("second", kServes);
    ASSERT_EQ(registry.start(first).outcome, KxServiceRegistry::Outcome::Started);
    EXPECT_EQ(registry.start(second).outcome, KxServiceRegistry::Outcome::Limit);

    // A service killed from outside shows as ended, and frees its place.
    const int pid = registry.find(first)->pid;
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    std::optional<KxServiceRegistry::Service> service;
    for (int i = 0; i < 200 && (service = registry.find(first)) && service->running; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(service);
    EXPECT_FALSE(service->running);
    EXPECT_EQ(service->exitStatus, 128 + SIGKILL);
    EXPECT_EQ(registry.start(second).outcome, KxServiceRegistry::Outcome::Started);
    registry.stopAll();
    EXPECT_FALSE(registry.find(second));

    // A service folder that is a link out of the project is not written
    // through.
    const std::string linked = project("linked", kServes);
    const std::string outside = scratch.mkdir("outside");
    std::filesystem::create_directory_symlink(outside, linked + "/service");
    EXPECT_EQ(registry.start(linked).outcome, KxServiceRegistry::Outcome::Failed);
    EXPECT_TRUE(std::filesystem::is_empty(outside));
}

}  // namespace
