#pragma once
// A wizard (the server wizard unless told otherwise), initialised as the
// container does, with a scratch home, recording generators first on PATH
// and the session accessors at hand.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

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
        // Each generator records where it ran and the words it was given,
        // one per line in brackets, and leaves a generated file behind.
        for (const char* generator : {"svcgen", "bindgen", "prjforge"}) {
            bin.write(
                generator,
                "#!/bin/sh\n"
                "{ pwd; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; } > invocation.txt\n"
                "echo generated > CalcSkeleton.cpp\n"
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

    // A complete generate form for project name.
    ServletHarness::Parameters generateForm(const std::string& name) const {
        return {{"oper", "generate"},
                {"projectDir", projectsDir()},
                {"projectName", name},
                {"filename", input},
                {"compileros", "Red Hat Linux/icc"},
                {"make", "on"},
                {"html", "on"},
                {"server", "on"}};
    }

    ScratchDir bin;
    ScopedEnv path_;
    ServletHarness harness;
    Wizard wizard;
    std::string input;
};
