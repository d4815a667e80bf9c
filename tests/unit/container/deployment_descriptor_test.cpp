#include "platform/container/KxDeploymentDescriptor.h"

#include <gtest/gtest.h>

#include "support/ScratchDir.h"

namespace kx::container {
namespace {

const char* const kGoodDescriptor = R"(<?xml version="1.0" encoding="UTF-8"?>
<web-app xmlns="http://xmlns.jcp.org/xml/ns/javaee" version="3.1">
  <display-name>
    Calculator service </display-name>
  <!-- the start page -->
  <servlet><servlet-name>index</servlet-name><servlet-class>liborvowizard.so</servlet-class>
    <load-on-startup>1</load-on-startup></servlet>
  <servlet>
    <description>the server wizard</description>
    <servlet-name> server </servlet-name>
    <servlet-class>
      /opt/lib/liborvowizard.so:createKxServerWizard
    </servlet-class>
    <init-param><param-name>tier</param-name><param-value>server</param-value></init-param>
    <init-param><param-name>escaped</param-name><param-value>a &amp; b</param-value></init-param>
  </servlet>
  <servlet-mapping>
    <servlet-name>index</servlet-name>
    <url-pattern>/</url-pattern>
    <url-pattern>/index</url-pattern>
  </servlet-mapping>
  <servlet-mapping>
    <servlet-name>server</servlet-name>
    <url-pattern>/server/*</url-pattern>
  </servlet-mapping>
</web-app>
)";

TEST(ContainerDeploymentDescriptor, ReadsServletsParametersAndMappings) {
    const auto descriptor = parseDeploymentDescriptor(kGoodDescriptor, "web.xml");
    EXPECT_EQ(descriptor.displayName, "Calculator service");
    EXPECT_EQ(parseDeploymentDescriptor("<web-app/>", "web.xml").displayName, "");
    ASSERT_EQ(descriptor.servlets.size(), 2u);
    const auto& index = descriptor.servlets[0];
    EXPECT_EQ(index.name, "index");
    // Without a factory, kept for the registry to report.
    EXPECT_EQ(index.library, "liborvowizard.so");
    EXPECT_EQ(index.factory, "");
    EXPECT_TRUE(index.initParameters.empty());

    const auto* server = descriptor.findServlet("server");
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(server->library, "/opt/lib/liborvowizard.so");
    EXPECT_EQ(server->factory, "createKxServerWizard");
    const std::vector<std::pair<std::string, std::string>> parameters = {{"tier", "server"},
                                                                         {"escaped", "a & b"}};
    EXPECT_EQ(server->initParameters, parameters);
    EXPECT_EQ(descriptor.findServlet("tavrin"), nullptr);

    ASSERT_EQ(descriptor.mappings.size(), 3u);
    EXPECT_EQ(descriptor.mappings[1].pattern + " " + descriptor.mappings[1].servletName,
              "/index index");
    EXPECT_EQ(descriptor.mappings[2].pattern + " " + descriptor.mappings[2].servletName,
              "/server/* server");
    EXPECT_TRUE(descriptor.warnings.empty());
}

TEST(ContainerDeploymentDescriptor, MappingsItCannotUseBecomeWarnings) {
    const auto descriptor = parseDeploymentDescriptor(
        "<web-app><servlet><servlet-name>a</servlet-name><servlet-class>l.so:f</servlet-class>"
        "</servlet>"
        "<servlet-mapping><servlet-name>ghost</servlet-name><url-pattern>/g</url-pattern>"
        "</servlet-mapping>"
        "<servlet-mapping><servlet-name>a</servlet-name><url-pattern>*.do</url-pattern>"
        "<url-pattern>/a/*</url-pattern></servlet-mapping>"
        "<servlet-mapping><servlet-name>a</servlet-name><url-pattern>/a/*</url-pattern>"
        "</servlet-mapping></web-app>",
        "web.xml");
    ASSERT_EQ(descriptor.mappings.size(), 1u);
    EXPECT_EQ(descriptor.mappings[0].pattern, "/a/*");
    ASSERT_EQ(descriptor.warnings.size(), 3u);
    EXPECT_NE(descriptor.warnings[0].find("undeclared servlet 'ghost'"), std::string::npos);
    EXPECT_NE(descriptor.warnings[1].find("'*.do'"), std::string::npos);
    EXPECT_NE(descriptor.warnings[2].find("mapped already"), std::string::npos);
}

void expectError(const std::string& text, const std::string& part) {
    try {
        parseDeploymentDescriptor(text, "/app/WEB-INF/web.xml");
        ADD_FAILURE() << "no error for: " << text;
    } catch (const KxDescriptorError& e) {
        EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
        EXPECT_EQ(std::string(e.what()).rfind("/app/WEB-INF/web.xml", 0), 0u) << e.what();
    }
}

TEST(ContainerDeploymentDescriptor, FaultsGiveAClearError) {
    expectError("<web-app>\n<servlet>\n</web-app>\n", "line 3");
    expectError("", "Document is empty");
    expectError("<webapp></webapp>", "root element is not <web-app>");
    expectError("<web-app><servlet><servlet-class>l.so:f</servlet-class></servlet></web-app>",
                "without <servlet-name>");
    expectError(
        "<web-app><servlet><servlet-name>a</servlet-name></servlet>\n"
        "<servlet><servlet-name>a</servlet-name><servlet-class>x.so</servlet-class></servlet>"
        "</web-app>",
        "servlet 'a' is declared twice");
}

TEST(ContainerDeploymentDescriptor, DoctypesDeclaringEntitiesAreRefused) {
    ScratchDir scratch;
    const std::string secret = scratch.write("secret.txt", "top secret");
    const std::string body =
        "<web-app><servlet><servlet-name>a</servlet-name><servlet-class>l.so:f</servlet-class>"
        "<init-param><param-name>p</param-name><param-value>&x;</param-value></init-param>"
        "</servlet></web-app>";
    std::string laughs = "<!DOCTYPE web-app [\n<!ENTITY x0 \"ha\">\n";
    for (int i = 1; i < 12; ++i) {
        const std::string previous = "&x" + std::to_string(i - 1) + ";";
        laughs +=
            "<!ENTITY x" + std::to_string(i) + " \"" + previous + previous + previous + "\">\n";
    }
    laughs += "<!ENTITY x \"&x11;\">]>\n";
    for (const std::string& doctype : {
             "<!DOCTYPE web-app [\n<!ENTITY x SYSTEM \"file://" + secret + "\">]>\n",
             std::string("<!DOCTYPE web-app [\n<!ENTITY x \"inline\">]>\n"),
             std::string("<!DOCTYPE web-app [\n<!ENTITY % p \"x\">]>\n"),
             laughs,
         }) {
        expectError(doctype + body, "declares the entity");
        expectError(doctype + body, "line 2");
    }
    // A DOCTYPE without declarations is harmless, and no external DTD is
    // fetched for it.
    const auto plain = parseDeploymentDescriptor(
        "<!DOCTYPE web-app SYSTEM \"file://" + secret +
            "\">\n<web-app><servlet><servlet-name>a</servlet-name></servlet></web-app>",
        "web.xml");
    EXPECT_EQ(plain.servlets.size(), 1u);
}

TEST(ContainerDeploymentDescriptor, ReadsAFileAndNamesAMissingOne) {
    ScratchDir scratch;
    const std::string path = scratch.write("WEB-INF/web.xml", kGoodDescriptor);
    EXPECT_EQ(readDeploymentDescriptor(path).servlets.size(), 2u);
    try {
        readDeploymentDescriptor(scratch / "none.xml");
        ADD_FAILURE() << "no error for a missing file";
    } catch (const KxDescriptorError& e) {
        EXPECT_EQ(std::string(e.what()), scratch / "none.xml" + ": cannot be read");
    }
    // Bounded: a descriptor larger than 1 MB, or not a file, is not read.
    const std::string huge =
        scratch.write("huge.xml", "<web-app>" + std::string(1024 * 1024, ' ') + "</web-app>");
    for (const auto& [path, message] : std::vector<std::pair<std::string, std::string>>{
             {huge, "larger than 1024 kB"}, {scratch.str(), "not a regular file"}}) {
        try {
            readDeploymentDescriptor(path);
            ADD_FAILURE() << "no error for " << path;
        } catch (const KxDescriptorError& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace kx::container
