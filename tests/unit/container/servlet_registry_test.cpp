#include "platform/container/KxServletRegistry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "platform/servlet/KxServletException.h"

namespace kx::container {
namespace {

// The build's library folder, where libkxplatform.so is.
std::string libraryFolder() {
    const char* bin = std::getenv("KX_TEST_BIN_DIR");
    return bin ? std::string(bin) + "/../lib" : std::string();
}

struct Trace {
    std::vector<std::string> events;
};

class TracingServlet : public KxHttpServlet {
  public:
    TracingServlet(Trace& trace, std::string label, bool failInit = false)
        : trace_(trace), label_(std::move(label)), failInit_(failInit) {}
    ~TracingServlet() override { trace_.events.push_back("delete " + label_); }

    void init() override {
        trace_.events.push_back("init " + label_ + " name=" + getServletName() +
                                " p=" + getServletConfig().getInitParameter("p"));
        if (failInit_) {
            throw KxServletException("init refused");
        }
    }
    void destroy() override { trace_.events.push_back("destroy " + label_); }

  private:
    Trace& trace_;
    std::string label_;
    bool failInit_;
};

KxServletDeclaration declaration(const std::string& name, const std::string& library,
                                 const std::string& factory) {
    KxServletDeclaration servlet;
    servlet.name = name;
    servlet.library = library;
    servlet.factory = factory;
    servlet.servletClass = factory.empty() ? library : library + ":" + factory;
    return servlet;
}

TEST(ContainerServletRegistry, ReportsEachServletThatCannotBeMade) {
    ASSERT_FALSE(libraryFolder().empty()) << "KX_TEST_BIN_DIR is not set";
    KxServletContext context("/nowhere");
    KxServletRegistry registry(libraryFolder(), context);
    KxDeploymentDescriptor descriptor;
    // A library of another servlet interface is refused over HTTP; here, a
    // missing library or a malformed class is reported and leaves others served.
    descriptor.servlets = {declaration("ghost", "libnothere.so", "createGhost"),
                           declaration("plain", "libkxplatform.so", "")};
    const auto failures = registry.load(descriptor);
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0].rfind("servlet 'ghost': cannot load libnothere.so: ", 0), 0u)
        << failures[0];
    EXPECT_NE(failures[1].find("'plain': servlet-class 'libkxplatform.so' is not of the form"),
              std::string::npos);
    EXPECT_EQ(registry.size(), 0u);
    EXPECT_FALSE(registry.refusedLibrary());
    KxServletRegistry trailing("/opt/kx/lib/", context);
    EXPECT_EQ(trailing.libraryPath("l.so"), "/opt/kx/lib/l.so");
    EXPECT_EQ(trailing.libraryPath("/abs/lib.so"), "/abs/lib.so");
}

TEST(ContainerServletRegistry, InitialisesWithConfigAndDestroysInReverseOrder) {
    Trace trace;
    KxServletContext context("/app");
    {
        KxServletRegistry registry("", context);
        registry.add("first", std::make_unique<TracingServlet>(trace, "A"), {{"p", "1"}});
        registry.add("second", std::make_unique<TracingServlet>(trace, "B"));
        EXPECT_THROW(registry.add("third", std::make_unique<TracingServlet>(trace, "C", true)),
                     KxServletException);
        EXPECT_EQ(registry.size(), 2u);
        ASSERT_NE(registry.find("first"), nullptr);
        EXPECT_EQ(registry.find("first")->getServletConfig().getServletContext(), &context);
        EXPECT_EQ(registry.find("third"), nullptr);
        registry.destroyAll();
        EXPECT_EQ(registry.size(), 0u);
        registry.destroyAll();  // a second time does nothing
    }
    const std::vector<std::string> expected = {"init A name=first p=1",
                                               "init B name=second p=",
                                               "init C name=third p=",
                                               "delete C",
                                               "destroy B",
                                               "delete B",
                                               "destroy A",
                                               "delete A"};
    EXPECT_EQ(trace.events, expected);
}

}  // namespace
}  // namespace kx::container
