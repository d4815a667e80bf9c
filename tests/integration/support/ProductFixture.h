#pragma once
// The product as a user runs it: kxcontainer on a copy of the real web
// application and liborvowizard.so, with a scratch product home holding the
// bundled examples, the browser's session cookie kept across requests, and
// the generators found on PATH (scripts in bin first, then the built ones).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/KxContainerHarness.h"
#include "support/ScopedEnv.h"
#include "support/ScratchDir.h"

#ifndef KX_SOURCE_DIR
#error "KX_SOURCE_DIR must name the source tree"
#endif

namespace kxtest {

class ProductTest : public ::testing::Test {
  protected:
    ProductTest()
        : path_("PATH", bin.str() + ":" + binaryDirectory() + ":" + std::getenv("PATH")) {}

    // Copies the web application and the bundled home, then starts the
    // container (with the extra arguments; without --home when withHome is
    // false, so that it takes KX_HOME).
    void start(const std::vector<std::string>& extraArguments = {}, bool withHome = true) {
        namespace fs = std::filesystem;
        const fs::path source(KX_SOURCE_DIR);
        fs::copy(source / "webapp", webapp.path(), fs::copy_options::recursive);
        fs::copy(source / "home" / "examples", home.path() / "examples",
                 fs::copy_options::recursive);
        fs::create_directories(home.path() / "projects");
        container.setHome(withHome ? std::optional(home.str()) : std::nullopt);
        ASSERT_TRUE(container.start(webapp.str(), extraArguments)) << container.failure();
    }

    // A GET or a form POST in the browser's session.
    HttpResponse get(const std::string& target) { return send("GET", target, ""); }
    HttpResponse post(const std::string& target, const std::string& form) {
        return send("POST", target, form);
    }

    static std::string location(const HttpResponse& response) {
        return response.header("Location");
    }
    std::string projects() const { return home.str() + "\\projects"; }

    // A generator script in bin, ahead of the built one.
    void generator(const std::string& name, const std::string& body) {
        bin.write(name, "#!/bin/sh\n" + body);
        std::filesystem::permissions(bin / name, std::filesystem::perms::owner_all);
    }

    ScratchDir bin;
    ScopedEnv path_;
    ScratchDir webapp;
    ScratchDir home;
    ContainerProcess container;
    std::string cookie;

  private:
    HttpResponse send(const std::string& method, const std::string& target,
                      const std::string& form) {
        Headers headers = {{"Authorization", "token " + container.token()}};
        if (!cookie.empty()) {
            headers.emplace_back("Cookie", cookie);
        }
        if (method == "POST") {
            headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
        }
        HttpResponse response = container.request(method, target, headers, form);
        for (const std::string& setCookie : response.headerValues("Set-Cookie")) {
            if (setCookie.rfind("JSESSIONID=", 0) == 0) {
                cookie = setCookie.substr(0, setCookie.find(';'));
            }
        }
        return response;
    }
};

}  // namespace kxtest
