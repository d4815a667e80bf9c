#pragma once
// The scratch web application every integration test starts from: the test
// servlets of libkxtestservlets.so, five declared servlets that cannot be
// made, and a static folder.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "support/KxContainerHarness.h"
#include "support/ScratchDir.h"

namespace kxtest {

// The time passed since start, for tests of the container's limits.
inline std::chrono::milliseconds since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

inline std::string servletXml(const std::string& name, const std::string& factory,
                              const std::string& initParameters = {}) {
    return "  <servlet>\n    <servlet-name>" + name +
           "</servlet-name>\n    <servlet-class>libkxtestservlets.so:" + factory +
           "</servlet-class>\n" + initParameters + "  </servlet>\n";
}

inline std::string mappingXml(const std::string& name, const std::string& pattern) {
    return "  <servlet-mapping><servlet-name>" + name + "</servlet-name><url-pattern>" + pattern +
           "</url-pattern></servlet-mapping>\n";
}

inline std::string testWebXml() {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<web-app>\n";
    xml += servletXml("index", "createEchoServlet") + mappingXml("index", "/");
    xml += servletXml("echo", "createEchoServlet",
                      "    <init-param><param-name>greeting</param-name>"
                      "<param-value>hello</param-value></init-param>\n");
    xml += mappingXml("echo", "/echo/*");
    // Servlets that cannot be made: no such library, no factory named, no
    // such factory (tavrin), a factory that gives nothing, an init that fails.
    xml +=
        "  <servlet><servlet-name>ghost</servlet-name><servlet-class>libnothere.so:createGhost"
        "</servlet-class></servlet>\n  <servlet><servlet-name>plain</servlet-name>"
        "<servlet-class>libkxtestservlets.so</servlet-class></servlet>\n";
    xml += mappingXml("ghost", "/ghost") + mappingXml("plain", "/plain");
    for (const auto& [name, factory] : std::vector<std::pair<std::string, std::string>>{
             {"session", "createSessionServlet"},
             {"shutdown", "createShutdownServlet"},
             {"slow", "createSlowServlet"},
             {"logging", "createLoggingServlet"},
             {"file", "createFileServlet"},
             {"tavrin", "createKxTavrinWizard"},
             {"nothing", "createNoServlet"},
             {"badinit", "createFailingInitServlet"}}) {
        xml += servletXml(name, factory) + mappingXml(name, "/" + name);
    }
    return xml + "</web-app>\n";
}

class ContainerTest : public ::testing::Test {
  protected:
    // Writes the scratch web application and starts the container on it.
    void start(const std::vector<std::string>& extraArguments = {},
               const std::string& webXml = testWebXml()) {
        scratch.write("WEB-INF/web.xml", webXml);
        scratch.write("static/style.css", "body { color: teal; }\n");
        scratch.write("static/img/dot.png", std::string("\x89PNG\r\n\x1a\n", 8));
        scratch.write("secret.txt", "not for the browser\n");
        ASSERT_TRUE(container.start(scratch.str(), extraArguments)) << container.failure();
    }

    std::string containerLog() const {
        return readFile(container.logDirectory() + "/kxcontainer.log");
    }

    ScratchDir scratch;
    ContainerProcess container;
};

}  // namespace kxtest
