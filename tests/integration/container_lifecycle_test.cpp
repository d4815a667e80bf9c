// Starting and stopping kxcontainer: servlets that cannot be made, web
// applications that stop the start, and signals with a request in flight.
#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <future>
#include <thread>

#include "support/KxContainerFixture.h"

namespace kxtest {
namespace {

using ContainerLifecycle = ContainerTest;

TEST_F(ContainerLifecycle, ServletsThatCannotBeMadeAreReportedAndGet404) {
    ASSERT_NO_FATAL_FAILURE(start());
    const std::string errors = container.standardError();
    for (const auto& [name, reason] : std::vector<std::pair<std::string, std::string>>{
             {"ghost", "cannot load libnothere.so: "},
             {"plain", "servlet-class 'libkxtestservlets.so' is not of the form"},
             {"tavrin", "factory createKxTavrinWizard not found in libkxtestservlets.so"},
             {"nothing", "factory createNoServlet in libkxtestservlets.so returned no servlet"},
             {"badinit", "init failed: deliberate failure in init"}}) {
        EXPECT_TRUE(contains(errors, "kxcontainer: servlet '" + name + "': " + reason)) << errors;
        EXPECT_EQ(container.get("/orvo/" + name).status, 404) << name;
    }
    EXPECT_EQ(container.get("/orvo/echo").status, 200);
    EXPECT_TRUE(contains(containerLog(), "factory createKxTavrinWizard not found"));
}

// A foreign servlet comes after a good one: one refused library is enough
// to stop the start.
TEST_F(ContainerLifecycle, LibrariesOfAnotherServletInterfaceOrABadDescriptorStopTheStart) {
    auto foreign = [](const std::string& library) {
        return "<web-app>\n" + servletXml("echo", "createEchoServlet") +
               "  <servlet><servlet-name>foreign</servlet-name><servlet-class>" + library +
               ":createForeignServlet</servlet-class></servlet>\n" + mappingXml("echo", "/echo") +
               mappingXml("foreign", "/foreign") + "</web-app>\n";
    };
    const std::string refused = "kxcontainer: servlet 'foreign': library ";
    for (const auto& [webXml, reason] : std::vector<std::pair<std::string, std::string>>{
             {foreign("libkxunversionedservlets.so"),
              refused + "libkxunversionedservlets.so refused (factory createForeignServlet): it "
                        "exports no servlet interface version (kxServletInterfaceVersion)"},
             {foreign("libkxotherversionservlets.so"),
              refused + "libkxotherversionservlets.so refused (factory createForeignServlet): it "
                        "was built for servlet interface version 999, this container has version "},
             {"<web-app>\n<servlet>\n</web-app>\n", "web.xml: line 3"}}) {
        ScratchDir webapp;
        webapp.write("WEB-INF/web.xml", webXml);
        ContainerProcess stopped;
        EXPECT_FALSE(stopped.start(webapp.str())) << reason;
        EXPECT_TRUE(contains(stopped.failure(), reason)) << stopped.failure();
        EXPECT_FALSE(contains(stopped.failure(), "serving")) << stopped.failure();
        EXPECT_EQ(stopped.startExit(), std::optional<int>(1)) << reason;
    }
}

// The session holds an object of the servlet library, which the container
// unloads at the end: the sessions must go first.
TEST_F(ContainerLifecycle, ARequestInFlightIsAnsweredThenSignalsEndTheProcessWithStatusZero) {
    for (const int number : {SIGTERM, SIGINT}) {
        ASSERT_NO_FATAL_FAILURE(start());
        ASSERT_EQ(container.get("/orvo/session").status, 200);
        auto slow =
            std::async(std::launch::async, [&] { return container.get("/orvo/slow?ms=800"); });
        // Let the request reach its servlet, then ask the container to stop.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        container.signal(number);
        const auto answer = slow.get();
        EXPECT_EQ(answer.status, 200) << number;
        EXPECT_EQ(answer.body, "slept 800\n");
        EXPECT_EQ(container.waitForExit(std::chrono::seconds(15)), std::optional<int>(0)) << number;
        EXPECT_TRUE(contains(readFile(container.logDirectory() + "/access.log"),
                             "\"GET /orvo/slow?ms=800 HTTP/1.1\" 200 "));
        EXPECT_TRUE(contains(containerLog(), "stopped"));
        std::filesystem::remove_all(container.logDirectory());
    }
}

}  // namespace
}  // namespace kxtest
