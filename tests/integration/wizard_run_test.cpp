// Generation runs of several users at once through the real container, with a
// recording generator first on PATH: each runs in its own project, and the
// runs overlap.
#include <filesystem>
#include <future>
#include <vector>

#include "support/ProductFixture.h"
#include "support/ScopedEnv.h"

namespace kxtest {
namespace {

class WizardRun : public ProductTest {
  protected:
    WizardRun() : path_("PATH", bin.str() + ":" + std::getenv("PATH")) {
        // Records its working directory and arguments, and the moments it
        // started and ended, so that overlapping runs can be told apart.
        bin.write("svcgen",
                  "#!/bin/sh\n"
                  "date +%s.%N > started.txt\n"
                  "{ pwd; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; } > invocation.txt\n"
                  "sleep 1\n"
                  "echo 'recording svcgen'\n"
                  "date +%s.%N > ended.txt\n");
        std::filesystem::permissions(bin / "svcgen", std::filesystem::perms::owner_all);
    }

    std::string form(const std::string& project) const {
        return "oper=generate&projectName=" + project + "&projectDir=" + projects() +
               "&filename=" + home.str() + "/examples/calculator.wsdl" +
               "&compileros=Solaris%2Fg%2B%2B&make=on&server=on";
    }
    std::string projects() const { return home.str() + "\\projects"; }
    std::filesystem::path folder(const std::string& project) const {
        return home.path() / "projects" / project;
    }

    ScratchDir bin;
    ScopedEnv path_;
};

TEST_F(WizardRun, EightUsersGenerateAtOnceEachInTheirOwnProject) {
    start({"--threads", "8"});
    std::vector<std::future<int>> runs;
    for (int user = 0; user < 8; ++user) {
        runs.push_back(std::async(std::launch::async, [this, user] {
            // A fresh client per user: its own session.
            Headers headers = {{"Authorization", "token " + container.token()},
                               {"Content-Type", "application/x-www-form-urlencoded"}};
            return container
                .request("POST", "/orvo/server", headers, form("user" + std::to_string(user)))
                .status;
        }));
    }
    double latestStart = 0;
    double earliestEnd = 1e300;
    for (int user = 0; user < 8; ++user) {
        EXPECT_EQ(runs[user].get(), 302);
        const auto project = folder("user" + std::to_string(user));
        const std::string invocation = readFile((project / "invocation.txt").string());
        EXPECT_EQ(invocation.substr(0, invocation.find('\n')), project.string());
        latestStart =
            std::max(latestStart, std::stod(readFile((project / "started.txt").string())));
        earliestEnd = std::min(earliestEnd, std::stod(readFile((project / "ended.txt").string())));
    }
    EXPECT_LT(latestStart, earliestEnd) << "all eight generators ran at the same time";
}

}  // namespace
}  // namespace kxtest
