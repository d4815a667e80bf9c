// The services run for projects, with a stand-in for kxcontainer: a shell
// script that records its arguments and behaves as the test tells it.
#include "orvowizard/tryit/KxServiceRegistry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include "platform/os/KxOs.h"
#include "support/Files.h"
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

    static bool alive(int pid) { return pid > 0 && ::kill(pid, 0) == 0; }

    ScratchDir scratch;
    KxServiceRegistry registry;
};

// Writes the address (http://HOST:4321/ with HOST its --host-name unless
// the script sets host) to its --address-file, as kxcontainer does once it
// serves; the start-up line begins with a display-name naming another port.
std::string serving(const std::string& host = "$name") {
    return "echo \"$@\" > args.txt\n"
           "while [ $# -gt 1 ]; do\n"
           "  case $1 in --host-name) name=$2;; --address-file) file=$2;; esac; shift\n"
           "done\n"
           "echo \"kxcontainer: serving http://127.0.0.1:22/ at http://$name:4321/?token=x\"\n"
           "echo \"http://" +
           host +
           ":4321/\" > \"$file.new\" && mv \"$file.new\" \"$file\"\n"
           "exec sleep 60\n";
}
const std::string kServes = serving();

TEST(ServiceAddress, PortIsReadFromTheServicesOwnAddressOnly) {
    for (const auto& [text, port] : std::vector<std::pair<std::string, int>>{
             {"http://svc.localhost:41234/\n", 41234},
             {"http://SVC.localhost:8090/orvo/\n", 8090},
             {"http://127.0.0.1:8090\n", 8090},
             {"http://svc.localhost:41234/", 0},  // not yet whole
             {"http://other.localhost:41234/\n", 0},
             {"http://localhost:41234/\n", 0},
             {"http://127.0.0.2:41234/\n", 0},
             {"http://svc.localhost/\n", 0},
             {"http://svc.localhost:/\n", 0},
             {"http://svc.localhost:0/\n", 0},
             {"http://svc.localhost:99999/\n", 0},
             {"http://svc.localhost:123456/\n", 0},
             {"http://svc.localhost:80a/\n", 0},
             {"http://svc.localhost:-80/\n", 0},
             {"http://svc.localhost:4321/ http://127.0.0.1:22/\n", 0},
             {"https://svc.localhost:4321/\n", 0},
             {"kxcontainer: serving x at http://svc.localhost:4321/\n", 0},
             {"", 0}}) {
        EXPECT_EQ(portOfServiceAddress(text, "svc.localhost"), port) << text;
    }
    EXPECT_EQ(portOfServiceAddress("http://:4321/\n", ""), 0);
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
    EXPECT_EQ(service->port, 4321) << "not the port the display-name names";
    EXPECT_TRUE(service->hostName.ends_with(".localhost")) << service->hostName;
    EXPECT_TRUE(alive(service->pid));
    EXPECT_EQ(registry.start(dir).outcome, KxServiceRegistry::Outcome::AlreadyRunning);

    // Loopback, a free port, a token of its own, the descriptor's copy and
    // the logs in the project's service folder, served at the root.
    const std::string args = readFile(dir + "/args.txt");
    const std::string folder = kx::os::realPathOf(dir);
    EXPECT_NE(args.find("--bind 127.0.0.1"), std::string::npos) << args;
    EXPECT_NE(args.find("--port 0"), std::string::npos) << args;
    EXPECT_NE(args.find("--token " + service->token), std::string::npos) << args;
    EXPECT_NE(args.find("--host-name " + service->hostName + " --address-file " + folder +
                        "/service/address.txt"),
              std::string::npos)
        << args;
    EXPECT_GE(service->token.size(), 16u);
    EXPECT_NE(args.find("--webapp " + folder + "/service/webapp"), std::string::npos) << args;
    EXPECT_NE(args.find("--log-dir " + folder + "/service/logs"), std::string::npos) << args;
    EXPECT_NE(args.find("--context  --bind"), std::string::npos) << args;
    EXPECT_EQ(readFile(dir + "/service/webapp/WEB-INF/web.xml"), kDescriptor);

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

    // An address that is not the service's own, and one left by an earlier
    // run, are not taken.
    registry.setStartTimeout(std::chrono::seconds(5));
    const std::string foreign = project("foreign", serving("127.0.0.1.nip.io"));
    result = registry.start(foreign);
    EXPECT_EQ(result.outcome, KxServiceRegistry::Outcome::Failed);
    EXPECT_NE(result.problems.at(0).find("not its own"), std::string::npos);
    registry.setStartTimeout(std::chrono::milliseconds(300));
    const std::string stale = project("stale", "exec sleep 60\n");
    scratch.write("stale/service/address.txt", "http://127.0.0.1:22/\n");
    EXPECT_EQ(registry.start(stale).outcome, KxServiceRegistry::Outcome::Failed);

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
