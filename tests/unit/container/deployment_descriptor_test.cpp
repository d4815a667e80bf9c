#include "platform/container/KxDeploymentDescriptor.h"

#include <gtest/gtest.h>

#include <functional>

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
  <servlet><description>the server wizard</description><servlet-name> server </servlet-name>
    <servlet-class>
      /opt/lib/liborvowizard.so:createKxServerWizard
    </servlet-class>
    <init-param><param-name>tier</param-name><param-value>server</param-value></init-param>
    <init-param><param-name>escaped</param-name><param-value>a &amp; b</param-value></init-param>
  </servlet>
  <servlet-mapping><servlet-name>index</servlet-name>
    <url-pattern>/</url-pattern><url-pattern>/index</url-pattern></servlet-mapping>
  <servlet-mapping><servlet-name>server</servlet-name><url-pattern>/server/*</url-pattern>
  </servlet-mapping>
</web-app>
)";

// The message of the descriptor error that reading throws; "no error" when none is thrown.
std::string errorOf(const std::function<void()>& read) {
    try {
        read();
    } catch (const KxDescriptorError& e) {
        return e.what();
    }
    return "no error";
}

std::string parseError(const std::string& text) {
    return errorOf([&] { parseDeploymentDescriptor(text, "/app/WEB-INF/web.xml"); });
}

TEST(ContainerDeploymentDescriptor, ReadsServletsParametersAndMappings) {
    const auto descriptor = parseDeploymentDescriptor(kGoodDescriptor, "web.xml");
    EXPECT_EQ(descriptor.displayName, "Calculator service");
    EXPECT_EQ(parseDeploymentDescriptor("<web-app/>", "web.xml").displayName, "");
    ASSERT_EQ(descriptor.servlets.size(), 2u);
    const auto& index = descriptor.servlets[0];
    // Without a factory, kept for the registry to report.
    EXPECT_EQ(index.name + " " + index.library + " '" + index.factory + "'",
              "index liborvowizard.so ''");
    EXPECT_TRUE(index.initParameters.empty());

    const auto* server = descriptor.findServlet("server");
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(server->library + " " + server->factory,
              "/opt/lib/liborvowizard.so createKxServerWizard");
    const std::vector<std::pair<std::string, std::string>> parameters = {{"tier", "server"},
                                                                         {"escaped", "a & b"}};
    EXPECT_EQ(server->initParameters, parameters);
    EXPECT_EQ(descriptor.findServlet("tavrin"), nullptr);

    std::string mappings;
    for (const auto& mapping : descriptor.mappings) {
        mappings += mapping.pattern + " " + mapping.servletName + ";";
    }
    EXPECT_EQ(mappings, "/ index;/index index;/server/* server;");
    EXPECT_TRUE(descriptor.warnings.empty());
}

TEST(ContainerDeploymentDescriptor, MappingsItCannotUseBecomeWarnings) {
    const auto descriptor = parseDeploymentDescriptor(
        "<web-app><servlet><servlet-name>a</servlet-name><servlet-class>l.so:f</servlet-class>"
        "</servlet><servlet-mapping><servlet-name>ghost</servlet-name><url-pattern>/g</url-pattern>"
        "</servlet-mapping><servlet-mapping><servlet-name>a</servlet-name>"
        "<url-pattern>*.do</url-pattern><url-pattern>/a/*</url-pattern></servlet-mapping>"
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

TEST(ContainerDeploymentDescriptor, FaultsGiveAnErrorNamingTheFileAndLine) {
    const std::string a = "<servlet><servlet-name>a</servlet-name></servlet>";
    for (const auto& [text, part] : std::vector<std::pair<std::string, std::string>>{
             {"<web-app>\n<servlet>\n</web-app>\n", "line 3"},
             {"", "Document is empty"},
             {"<webapp></webapp>", "root element is not <web-app>"},
             {"<web-app><servlet><servlet-class>l.so:f</servlet-class></servlet></web-app>",
              "without <servlet-name>"},
             {"<web-app>" + a + "\n" + a + "</web-app>", "servlet 'a' is declared twice"}}) {
        const std::string error = parseError(text);
        EXPECT_NE(error.find(part), std::string::npos) << error;
        EXPECT_EQ(error.rfind("/app/WEB-INF/web.xml", 0), 0u) << error;
    }
}

TEST(ContainerDeploymentDescriptor, DoctypesDeclaringEntitiesAreRefused) {
    ScratchDir scratch;
    const std::string secret = scratch.write("secret.txt", "top secret");
    const std::string body =
        "<web-app><servlet><servlet-name>a</servlet-name><servlet-class>l.so:f</servlet-class>"
        "<init-param><param-name>p</param-name><param-value>&x;</param-value></init-param>"
        "</servlet></web-app>";
    for (const std::string& doctype :
         {"<!DOCTYPE web-app [\n<!ENTITY x SYSTEM \"file://" + secret + "\">]>\n",
          std::string("<!DOCTYPE web-app [\n<!ENTITY x \"inline\">]>\n"),
          std::string("<!DOCTYPE web-app [\n<!ENTITY % p \"x\">]>\n"),
          // Entities built of entities, as a bomb of nested expansions is.
          std::string("<!DOCTYPE web-app [\n<!ENTITY x0 \"ha\"><!ENTITY x1 \"&x0;&x0;&x0;\">"
                      "<!ENTITY x \"&x1;&x1;&x1;\">]>\n")}) {
        const std::string error = parseError(doctype + body);
        EXPECT_NE(error.find("line 2: the document declares the entity"), std::string::npos)
            << error;
    }
    // A DOCTYPE without declarations is harmless, and no external DTD is fetched for it.
    const auto plain =
        parseDeploymentDescriptor("<!DOCTYPE web-app SYSTEM \"file://" + secret + "\">\n<web-app>" +
                                      "<servlet><servlet-name>a</servlet-name></servlet></web-app>",
                                  "web.xml");
    EXPECT_EQ(plain.servlets.size(), 1u);
}

TEST(ContainerDeploymentDescriptor, ReadsABoundedRegularFileAndNamesAMissingOne) {
    ScratchDir scratch;
    EXPECT_EQ(
        readDeploymentDescriptor(scratch.write("WEB-INF/web.xml", kGoodDescriptor)).servlets.size(),
        2u);
    const std::string none = scratch / "none.xml";
    EXPECT_EQ(errorOf([&] { readDeploymentDescriptor(none); }), none + ": cannot be read");
    const std::string huge =
        scratch.write("huge.xml", "<web-app>" + std::string(1024 * 1024, ' ') + "</web-app>");
    for (const auto& [path, message] : std::vector<std::pair<std::string, std::string>>{
             {huge, "larger than 1024 kB"}, {scratch.str(), "not a regular file"}}) {
        const std::string error = errorOf([&] { readDeploymentDescriptor(path); });
        EXPECT_NE(error.find(message), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace kx::container
