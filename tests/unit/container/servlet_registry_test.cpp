#include "platform/container/KxServletRegistry.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/servlet/KxServletException.h"

namespace kx::container {
namespace {

struct TracingServlet : KxHttpServlet {
    TracingServlet(std::vector<std::string>& trace, std::string label, bool failInit = false)
        : trace(trace), label(std::move(label)), failInit(failInit) {}
    ~TracingServlet() override { trace.push_back("delete " + label); }
    void init() override {
        trace.push_back("init " + label + " name=" + getServletName() +
                        " p=" + getServletConfig().getInitParameter("p"));
        if (failInit) {
            throw KxServletException("init refused");
        }
    }
    void destroy() override { trace.push_back("destroy " + label); }

    std::vector<std::string>& trace;
    std::string label;
    bool failInit;
};

// What cannot be made is reported over HTTP (container_lifecycle_test.cpp); here, the order of
// init and destroy, and where libraries are looked up.
TEST(ContainerServletRegistry, InitialisesWithConfigAndDestroysInReverseOrder) {
    std::vector<std::string> trace;
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
        EXPECT_EQ(registry.libraryPath("/abs/lib.so"), "/abs/lib.so");
    }
    EXPECT_EQ(KxServletRegistry("/opt/kx/lib/", context).libraryPath("l.so"), "/opt/kx/lib/l.so");
    EXPECT_EQ(trace, (std::vector<std::string>{"init A name=first p=1", "init B name=second p=",
                                               "init C name=third p=", "delete C", "destroy B",
                                               "delete B", "destroy A", "delete A"}));
}

}  // namespace
}  // namespace kx::container
