// Starting and stopping kxcontainer: servlets that cannot be made, the
// shutdown a servlet asks for, signals, requests in flight, servlet threads.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <future>

#include "support/KxContainerFixture.h"

namespace kxtest {
namespace {

using ContainerLifecycle = ContainerTest;

TEST_F(ContainerLifecycle, ServletsThatCannotBeMadeAreReportedAndGet404) {
    ASSERT_NO_FATAL_FAILURE(start());
    const std::string errors = container.standardError();
    EXPECT_TRUE(contains(errors,
                         "kxcontainer: servlet 'tavrin': factory createKxTavrinWizard not found in "
                         "libkxtestservlets.so\n"))
        << errors;
    EXPECT_TRUE(contains(errors,
                         "kxcontainer: servlet 'nothing': factory createNoServlet in "
                         "libkxtestservlets.so returned no servlet\n"))
        << errors;
    EXPECT_TRUE(contains(
        errors, "kxcontainer: servlet 'badinit': init failed: deliberate failure in init\n"))
        << errors;
    for (const std::string& name : std::vector<std::string>{"tavrin", "nothing", "badinit"}) {
        const auto missing = container.get("/orvo/" + name);
        EXPECT_EQ(missing.status, 404) << name;
        EXPECT_TRUE(contains(missing.body, "'" + name + "' is not available")) << missing.body;
    }
    EXPECT_EQ(container.get("/orvo/echo").status, 200);
    EXPECT_TRUE(contains(containerLog(), "factory createKxTavrinWizard not found"));
}

TEST_F(ContainerLifecycle, LibrariesOfAnotherServletInterfaceStopTheStart) {
    struct Case {
        std::string library;
        std::string reason;
    };
    for (const Case& c : std::vector<Case>{
             {"libkxunversionedservlets.so",
              "it exports no servlet interface version (kxServletInterfaceVersion)"},
             {"libkxotherversionservlets.so",
              "it was built for servlet interface version 999, this container has version "},
         }) {
        // The foreign servlet comes after a good one: one refused library is
        // enough to stop the start.
        ScratchDir webapp;
        webapp.write("WEB-INF/web.xml",
                     "<web-app>\n" + servletXml("echo", "createEchoServlet") +
                         "  <servlet><servlet-name>foreign</servlet-name><servlet-class>" +
                         c.library + ":createForeignServlet</servlet-class></servlet>\n" +
                         mappingXml("echo", "/echo") + mappingXml("foreign", "/foreign") +
                         "</web-app>\n");
        ContainerProcess refused;
        EXPECT_FALSE(refused.start(webapp.str())) << c.library;
        EXPECT_TRUE(
            contains(refused.failure(), "kxcontainer: servlet 'foreign': library " + c.library +
                                            " refused (factory createForeignServlet): " + c.reason))
            << refused.failure();
        EXPECT_TRUE(contains(refused.failure(), "not started")) << refused.failure();
        EXPECT_FALSE(contains(refused.failure(), "serving")) << refused.failure();
        ASSERT_TRUE(refused.startExit()) << c.library;
        ASSERT_TRUE(WIFEXITED(*refused.startExit())) << "killed by a signal: " << c.library;
        EXPECT_EQ(WEXITSTATUS(*refused.startExit()), 1) << c.library;
        const std::string log = readFile(refused.logDirectory() + "/kxcontainer.log");
        EXPECT_TRUE(contains(log, "refused (factory createForeignServlet)")) << log;
        EXPECT_FALSE(contains(log, "of 2 servlets")) << log;
    }
}

TEST_F(ContainerLifecycle, ShutdownServletSendsItsFarewellThenTheProcessEnds) {
    ASSERT_NO_FATAL_FAILURE(start());
    const auto farewell = container.get("/orvo/shutdown");
    EXPECT_EQ(farewell.status, 200);
    EXPECT_EQ(farewell.body, "farewell from the test servlet\n");
    EXPECT_EQ(container.waitForExit(std::chrono::seconds(15)), std::optional<int>(0));
    const std::string log = containerLog();
    EXPECT_TRUE(contains(log, "stopped")) << log;
    // Nothing listens any more.
    HttpConnection after(container.port());
    EXPECT_FALSE(after.isOpen());
}

TEST_F(ContainerLifecycle, SigtermAndSigintEndTheProcessWithStatusZero) {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_EQ(container.get("/orvo/echo").status, 200);
    container.signal(SIGTERM);
    EXPECT_EQ(container.waitForExit(std::chrono::seconds(15)), std::optional<int>(0));
    EXPECT_TRUE(contains(containerLog(), "stopped"));

    ContainerProcess second;
    ASSERT_TRUE(second.start(scratch.str())) << second.failure();
    second.signal(SIGINT);
    EXPECT_EQ(second.waitForExit(std::chrono::seconds(15)), std::optional<int>(0));
}

TEST_F(ContainerLifecycle, RequestInFlightIsAnsweredBeforeTheProcessEnds) {
    ASSERT_NO_FATAL_FAILURE(start());
    auto slow = std::async(std::launch::async, [&] { return container.get("/orvo/slow?ms=800"); });
    // Let the request reach its servlet, then ask the container to stop.
    const std::string access = container.logDirectory() + "/access.log";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    container.signal(SIGTERM);
    const auto answer = slow.get();
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "slept 800\n");
    EXPECT_EQ(container.waitForExit(std::chrono::seconds(15)), std::optional<int>(0));
    EXPECT_TRUE(contains(readFile(access), "GET /orvo/slow?ms=800 200"));
}

TEST_F(ContainerLifecycle, EachServletThreadHasItsOwnCurrentDirectory) {
    ASSERT_NO_FATAL_FAILURE(start({"--threads", "2"}));
    const std::string first = scratch.mkdir("first");
    const std::string second = scratch.mkdir("second");
    // Both servlets change directory, then wait; sharing one directory, the
    // first would see the second's.
    auto a = std::async(std::launch::async,
                        [&] { return container.get("/orvo/directory?dir=" + first); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    auto b = std::async(std::launch::async,
                        [&] { return container.get("/orvo/directory?dir=" + second); });
    const auto answerA = a.get();
    const auto answerB = b.get();
    ASSERT_EQ(answerA.status, 200);
    ASSERT_EQ(answerB.status, 200);
    EXPECT_EQ(answerA.body, std::filesystem::canonical(first).string());
    EXPECT_EQ(answerB.body, std::filesystem::canonical(second).string());
}

TEST_F(ContainerLifecycle, BadDescriptorStopsTheStartWithAClearMessage) {
    scratch.write("WEB-INF/web.xml", "<web-app>\n<servlet>\n</web-app>\n");
    ContainerProcess broken;
    EXPECT_FALSE(broken.start(scratch.str()));
    EXPECT_TRUE(contains(broken.failure(), "web.xml: line 3")) << broken.failure();
}

// The options and their defaults are pinned by the option parser's unit
// tests; here, that the program prints its help and ends well.
TEST_F(ContainerLifecycle, HelpListsTheOptions) {
    const std::string out = scratch / "help.txt";
    const std::string command = binaryDirectory() + "/kxcontainer --help > " + out + " 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string help = readFile(out);
    for (const char* option : {"--port", "--no-token", "--client-max-body-size"}) {
        EXPECT_TRUE(contains(help, option)) << option << "\n" << help;
    }
}

}  // namespace
}  // namespace kxtest
