// The library as the container sees it: loaded by name, its factories found
// by their exported names.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/servlet/KxServlet.h"

namespace {

using Factory = KxServlet* (*)();

class Library : public testing::Test {
  protected:
    void SetUp() override {
        const char* bin = std::getenv("KX_TEST_BIN_DIR");
        ASSERT_NE(bin, nullptr) << "KX_TEST_BIN_DIR names the build's bin folder";
        handle_ =
            dlopen((std::string(bin) + "/../lib/liborvowizard.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
    }
    void TearDown() override {
        if (handle_) {
            dlclose(handle_);
        }
    }
    void* handle_ = nullptr;
};

TEST_F(Library, EachFactoryMakesAFreshUninitialisedServlet) {
    for (const char* name :
         {"createKxTavrinWizard", "createKxClientWizard", "createKxServerWizard",
          "createKxFoundationWizard", "createKxOrvoHomePage", "createKxHtmlDirectoryViewer",
          "createKxHtmlFileBrowser", "createKxLoadProject", "createKxStatusPage"}) {
        const auto create = reinterpret_cast<Factory>(dlsym(handle_, name));
        ASSERT_NE(create, nullptr) << name;
        std::unique_ptr<KxServlet> first(create()), second(create());
        ASSERT_NE(first, nullptr);
        EXPECT_NE(first.get(), second.get());
        EXPECT_EQ(first->getServletConfig().getServletName(), "") << "not initialised";
        EXPECT_THROW(first->getContainer(), Kxxmsg);
    }
}

TEST_F(Library, ExportsNothingButTheFactories) {
    EXPECT_EQ(dlsym(handle_, "makeDirectories"), nullptr);
    EXPECT_EQ(
        dlsym(handle_, "_Z15makeDirectoriesRKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE"),
        nullptr);
}

}  // namespace
