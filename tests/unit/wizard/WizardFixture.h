#pragma once
// A wizard (the server wizard unless told otherwise) initialised as the
// container does, with a scratch home and recording generators first on PATH.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "orvowizard/common/KxSessionAccessors.h"
#include "orvowizard/wizards/KxServerWizard.h"
#include "platform/base/KxText.h"
#include "support/Files.h"
#include "support/ServletHarness.h"

template <class Wizard = KxServerWizard>
class WizardFixture : public testing::Test {
  protected:
    explicit WizardFixture(const char* servletName = "server")
        : path_("PATH", bin.str() + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "")) {
        // Each generator records its folder and its words, one per line in
        // brackets, and leaves a generated file behind.
        for (const char* generator : {"svcgen", "bindgen", "prjforge"}) {
            bin.write(generator,
                      "#!/bin/sh\n{ pwd; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; } > "
                      "invocation.txt\necho generated > CalcSkeleton.cpp\n"
                      "echo \"$(basename \"$0\") ran\"\n");
            std::filesystem::permissions(bin / generator, std::filesystem::perms::owner_all);
        }
        harness.init(wizard, servletName);
        input = harness.home.write("examples/calc.wsdl", "<definitions/>");
    }

    KxHttpServletResponse get(const ServletHarness::Parameters& parameters = {}) {
        return harness.request(wizard, parameters);
    }
    KxHttpServletResponse post(const ServletHarness::Parameters& parameters) {
        return harness.request(wizard, parameters, "POST");
    }
    std::string setting(const std::string& name) {
        return getSessionString(*harness.session, name, wizard.getWizardType());
    }
    bool flag(const std::string& name) {
        return getSessionBool(*harness.session, name, wizard.getWizardType());
    }
    std::string projectsDir() const { return harness.home.str() + "\\projects"; }
    std::filesystem::path projectFolder(const std::string& name) const {
        return harness.home.path() / "projects" / name;
    }
    std::string statusOf(const std::string& name) const {
        return "status?dir=" + kx::urlEncoded(projectsDir() + "\\" + name) + "&tier=server";
    }

    // A complete generate form for project name, each of changes replacing
    // the field of its name or added to the form.
    ServletHarness::Parameters generateForm(const std::string& name,
                                            const ServletHarness::Parameters& changes = {}) const {
        ServletHarness::Parameters form = {{"oper", "generate"},
                                           {"projectDir", projectsDir()},
                                           {"projectName", name},
                                           {"filename", input},
                                           {"compileros", "Red Hat Linux/icc"},
                                           {"make", "on"},
                                           {"html", "on"},
                                           {"server", "on"}};
        for (const auto& change : changes) {
            auto field = std::find_if(form.begin(), form.end(),
                                      [&](const auto& f) { return f.first == change.first; });
            if (field == form.end()) {
                form.push_back(change);
            } else {
                field->second = change.second;
            }
        }
        return form;
    }

    ScratchDir bin;
    ScopedEnv path_;
    ServletHarness harness;
    Wizard wizard;
    std::string input;
};
