// Hostile input to the product through the real container: paths leaving
// the project, shell syntax in every wizard field, generators that never end
// or flood their console, parameters that are not valid escapes or UTF-8,
// and a service whose display-name names another port.
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>

#include "platform/base/KxText.h"
#include "support/ProductFixture.h"

namespace kxtest {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// What the wizards blank out of paths and names before the command line.
std::string blanked(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return contains("&*,;<>|", std::string(1, c)); },
        ' ');
    return text;
}

std::string formOf(const std::vector<std::pair<std::string, std::string>>& fields) {
    std::string form;
    for (const auto& [name, value] : fields) {
        form += (form.empty() ? "" : "&") + name + "=" + kx::urlEncoded(value);
    }
    return form;
}

using HostileProduct = ProductTest;

// The refusals themselves are unit-tested (status_page_test, request_handler_
// test); here, escapes the container decodes still serve nothing outside.
TEST_F(HostileProduct, TheStatusPageServesNoFileOutsideTheProject) {
    ASSERT_NO_FATAL_FAILURE(start());
    home.write("projects/demo/errors.xml", "");
    home.write("projects/demo/inside.txt", "inside the project");
    home.write("projects/secret.txt", "SECRET-BESIDE");
    ASSERT_EQ(get("/orvo/status?dir=" + home.str() + "/projects/demo").status, 200);
    const auto inside = get("/orvo/status/inside.txt");
    ASSERT_EQ(inside.status, 200);
    EXPECT_EQ(inside.body, "inside the project");
    EXPECT_EQ(inside.header("Content-Security-Policy"), "sandbox")
        << "a project's files never act as the application's pages";
    for (const char* path :
         {"/orvo/status/../secret.txt", "/orvo/status/%2E%2E/secret.txt",
          "/orvo/status/..%2fsecret.txt", "/orvo/status/%252e%252e/secret.txt",
          "/orvo/status/%252e%252e%252fsecret.txt", "/orvo/status/..;/secret.txt",
          "/orvo/status//etc/passwd", "/orvo/status/%2fetc%2fpasswd",
          "/orvo/status/inside.txt/../../secret.txt"}) {
        const auto response = get(path);
        EXPECT_NE(response.status, 0) << path;
        EXPECT_FALSE(contains(response.body, "SECRET-") || contains(response.body, "root:x:0:0"))
            << path << "\n"
            << response.body;
        EXPECT_NE(response.body, "inside the project") << path;
    }
}

// A generation started through the path info lands on the status page beside
// the wizard, and a folder name with characters that mean something in a URL
// arrives as it was typed.
TEST_F(HostileProduct, RedirectsCarryFolderNamesIntactToTheSiblingStatusPage) {
    generator("svcgen", "echo generated\n");
    ASSERT_NO_FATAL_FAILURE(start());
    const std::string input = home.str() + "/examples/calc.wsdl";
    std::ofstream(input) << "<definitions/>";
    const std::string dir = home.str() + "/projects/src/c++/x%41 y#";
    const auto response = post("/orvo/server/generate", formOf({{"projectDir", dir},
                                                                {"projectName", "calc"},
                                                                {"filename", input},
                                                                {"compileros", "Solaris/g++"}}));
    ASSERT_EQ(response.status, 302) << response.body;
    const std::string target = location(response);
    EXPECT_EQ(target.rfind("/orvo/status?dir=", 0), 0u) << target;
    const auto status = get(target);
    EXPECT_EQ(status.status, 200);
    EXPECT_TRUE(fs::exists(fs::path(dir) / "calc" / "orvowizard.txt"));
    const auto console = get("/orvo/status/orvowizard.txt");
    EXPECT_EQ(console.body, "generated\n") << "the status page found the project";
}

TEST_F(HostileProduct, ShellSyntaxInEveryTextFieldIsPassedOnAsPlainText) {
    // Records every argument; a shell running a payload would create kxpwned.
    for (const char* name : {"svcgen", "bindgen", "prjforge"}) {
        generator(name, "exec >> '" + bin / "record.txt" +
                            "'\nbasename \"$0\"\n"
                            "for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\n");
    }
    ASSERT_NO_FATAL_FAILURE(start());

    const std::vector<std::string> payloads = {"$(touch kxpwned)", "`touch kxpwned`",
                                               "; touch kxpwned",  "| touch kxpwned",
                                               "&& touch kxpwned", "\"; touch kxpwned; \""};
    int run = 0;
    for (const std::string wizard : {"server", "client", "foundation", "tavrin"}) {
        for (const std::string& payload : payloads) {
            ++run;
            const std::string tag = std::to_string(run);
            // The input must exist under the name the wizard ends up with.
            const std::string input = home.str() + "/examples/in" + tag + payload + ".wsdl";
            std::ofstream(blanked(input)) << "<definitions/>";
            const auto response =
                post("/orvo/" + wizard,
                     formOf({{"oper", "generate"},
                             {"projectDir", home.str() + "\\projects\\d" + tag + payload},
                             {"projectName", "p" + tag + payload},
                             {"filename", input},
                             {"defaultFile", input},
                             {"properties", "-Dp=" + payload},
                             {"outDir", "o" + payload},
                             {"compileros", "Solaris/g++" + payload},
                             {"servletName", "S" + tag},
                             {"docsDir", "docs" + payload},
                             {"incDir", "inc" + payload},
                             {"make", "on"},
                             {"sample", "on"},
                             {"webxml", "on"},
                             {"server", "on"}}));
            ASSERT_EQ(response.status, 302) << wizard << " " << payload;
            // A quote would end its quoted word: refused before anything is written.
            const std::string expected =
                contains(payload, "\"") ? "/orvo/status?tier=" + wizard : "/orvo/status?dir=";
            EXPECT_EQ(location(response).rfind(expected, 0), 0u)
                << wizard << " " << payload << ": " << location(response) << "\n"
                << response.body;
        }
    }

    // Every run reached its generator, and the payloads arrived as words.
    const std::string record = readFile(bin / "record.txt");
    const auto runs = std::count(record.begin(), record.end(), '\n') -
                      std::count(record.begin(), record.end(), '[');
    EXPECT_EQ(runs, static_cast<long>((payloads.size() - 1) * 4)) << record;
    EXPECT_TRUE(contains(record, "[-Dp=$(touch]\n[kxpwned)]\n")) << record;
    EXPECT_TRUE(contains(record, "[-Dp=`touch]\n[kxpwned`]\n")) << record;
    EXPECT_TRUE(contains(record, "[-Dp=]\n[touch]\n[kxpwned]\n")) << record;
    EXPECT_TRUE(contains(record, "p1$(touch kxpwned)")) << record;

    // No kxpwned anywhere the container or a generator could have been.
    for (const fs::path& root : {home.path(), webapp.path(), bin.path()}) {
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            EXPECT_NE(entry.path().filename(), "kxpwned") << entry.path();
        }
    }
    EXPECT_FALSE(fs::exists("kxpwned"));
    EXPECT_FALSE(fs::exists(fs::temp_directory_path() / "kxpwned"));
}

TEST_F(HostileProduct, AGeneratorThatNeverEndsIsStoppedAtTheLimitAndItsThreadFreed) {
    generator("svcgen", "echo $$ > '" + bin / "record.txt" + "'\nwhile :; do sleep 1; done\n");
    ScopedEnv limit("KX_COMMAND_TIME_LIMIT", "2");
    // One servlet thread: the next request needs the one the generator held.
    ASSERT_NO_FATAL_FAILURE(start({"--threads", "1"}));

    const auto started = Clock::now();
    const auto run =
        post("/orvo/server", "oper=generate&projectName=stuck&projectDir=" + projects() +
                                 "&filename=" + home.str() + "/examples/calculator.wsdl");
    const auto took = Clock::now() - started;
    ASSERT_EQ(run.status, 302) << run.body;
    EXPECT_EQ(location(run),
              "/orvo/status?dir=" + kx::urlEncoded(projects() + "\\stuck") + "&tier=server");
    EXPECT_GE(took, std::chrono::milliseconds(1900));
    EXPECT_LT(took, std::chrono::seconds(10));

    // The generator is gone, and the output file says why.
    const std::string pid = readFile(bin / "record.txt");
    ASSERT_FALSE(pid.empty());
    EXPECT_NE(::kill(std::stoi(pid), 0), 0);
    EXPECT_EQ(errno, ESRCH);
    EXPECT_TRUE(contains(readFile(home.str() + "/projects/stuck/orvowizard.txt"),
                         "ended after the time limit of 2 s"));

    // The servlet thread is free again.
    const auto next = Clock::now();
    const auto status = get(location(run));
    EXPECT_EQ(status.status, 200);
    EXPECT_LT(Clock::now() - next, std::chrono::seconds(2));
}

TEST_F(HostileProduct, AGeneratorFloodingItsConsoleDoesNotGrowTheServer) {
    // 100 MB on standard output.
    generator("svcgen", "head -c 104857600 /dev/zero | tr '\\000' x\n");
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_EQ(get("/orvo/server").status, 200);
    const long before = residentKilobytes(container.processId());
    ASSERT_GT(before, 0);

    const auto run =
        post("/orvo/server", "oper=generate&projectName=loud&projectDir=" + projects() +
                                 "&filename=" + home.str() + "/examples/calculator.wsdl");
    ASSERT_EQ(run.status, 302) << run.body;
    const auto status = get(location(run));
    EXPECT_EQ(status.status, 200);

    const long after = residentKilobytes(container.processId());
    EXPECT_LT(after - before, kGrowthBoundKb) << before << " kB before, " << after << " kB after";
    EXPECT_EQ(fs::file_size(home.path() / "projects" / "loud" / "orvowizard.txt"),
              100u * 1024 * 1024);
    // The output went to the file, not to the container's own console.
    EXPECT_LT(readFile(webapp / "stdout.txt").size(), 4096u);
    EXPECT_LT(container.standardError().size(), 4096u);
}

TEST_F(HostileProduct, BrokenEscapesAndInvalidUtf8AreServedAndEchoedEscaped) {
    ASSERT_NO_FATAL_FAILURE(start());
    const auto browse =
        get("/orvo/browse?tier=server&dir=%ZZ%3Cscript%3Ealert(1)%3C/script%3E%C3%28%FF%"
            "&pattern=%E0%80%AF%22%3E%3Cimg%20src=x%20onerror=alert(1)%3E%%zz%G1");
    ASSERT_EQ(browse.status, 200) << browse.body;
    EXPECT_FALSE(contains(browse.body, "<script>alert(1)")) << browse.body;
    EXPECT_FALSE(contains(browse.body, "<img src=x"));
    EXPECT_TRUE(contains(browse.body, "%ZZ&lt;script&gt;alert(1)&lt;/script&gt;\xC3(\xFF%"));
    EXPECT_TRUE(contains(browse.body, "&quot;&gt;&lt;img src=x onerror=alert(1)&gt;%%zz%G1"));

    // A wizard page shows the typed values back in its fields.
    const auto page = post("/orvo/server",
                           "oper=show&outDir=%22%3E%3Cscript%3Ex()%3C/script%3E%FE%C0%AF%2"
                           "&projectName=demo%");
    ASSERT_EQ(page.status, 200) << page.body;
    EXPECT_FALSE(contains(page.body, "<script>x()")) << page.body;
    EXPECT_TRUE(contains(page.body, "value=\"&quot;&gt;&lt;script&gt;x()&lt;/script&gt;"));
    EXPECT_TRUE(contains(page.body, "value=\"demo%\""));
}

// A project's display-name begins the start-up line of its service's
// container; an address in it must not steer Try-it (which sends the
// service's token) to another port.
TEST_F(HostileProduct, AnAddressInTheDisplayNameDoesNotSteerTryIt) {
    // A server on another port of 127.0.0.1 that must hear nothing.
    const int decoy = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(decoy, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(decoy, 4), 0);
    ASSERT_EQ(::getsockname(decoy, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string decoyPort = std::to_string(ntohs(address.sin_port));

    ASSERT_NO_FATAL_FAILURE(start());
    const std::string dir = home.str() + "/projects/steer";
    home.write("projects/steer/errors.xml", "");
    home.write("projects/steer/web.xml",
               "<web-app><display-name>http://127.0.0.1:" + decoyPort +
                   "/ at http://127.0.0.1:" + decoyPort +
                   "/</display-name><servlet><servlet-name>s</servlet-name><servlet-class>"
                   "libkxtestservlets.so:createEchoServlet</servlet-class></servlet>"
                   "<servlet-mapping><servlet-name>s</servlet-name><url-pattern>/*</url-pattern>"
                   "</servlet-mapping></web-app>");
    home.write("projects/steer/operations.xml",
               "<operations><port name=\"P\" path=\"/svc\"><operation name=\"ping\" "
               "action=\"urn:ping\"><input wrapper=\"ping\" wrapper-ns=\"urn:t\"/>"
               "</operation></port></operations>");
    fs::copy_file(libraryDirectory() + "/libkxtestservlets.so",
                  home.path() / "projects" / "steer" / "libkxtestservlets.so");

    ASSERT_EQ(post("/orvo/status", "oper=run&tier=server&dir=" + kx::urlEncoded(dir)).status, 302);
    const auto status = get("/orvo/status?tier=server&dir=" + kx::urlEncoded(dir));
    std::smatch running;
    ASSERT_TRUE(std::regex_search(
        status.body, running,
        std::regex(R"(running at <span[^>]*>http://orvo-service-[0-9a-f]+\.localhost:(\d+)<)")))
        << status.body;
    const std::string servicePort = running[1];
    EXPECT_NE(servicePort, decoyPort);
    EXPECT_TRUE(contains(readFile(home.path() / "projects/steer/service/output.txt"),
                         "serving http://127.0.0.1:" + decoyPort))
        << "the start-up line did begin with the display-name";

    const auto sent =
        post("/orvo/tryit", "dir=" + kx::urlEncoded(dir) + "&port=P&op=ping&action=send");
    ASSERT_EQ(sent.status, 200);
    EXPECT_TRUE(contains(sent.body, "http://127.0.0.1:" + servicePort + "/svc")) << sent.body;
    EXPECT_TRUE(contains(sent.body, "method=POST")) << "the service answered: " << sent.body;
    EXPECT_TRUE(contains(sent.body, "uri=/svc"));
    pollfd waiting{decoy, POLLIN, 0};
    EXPECT_EQ(::poll(&waiting, 1, 200), 0) << "a connection reached the other port";
    ::close(decoy);
    EXPECT_EQ(post("/orvo/status", "oper=stop&tier=server&dir=" + kx::urlEncoded(dir)).status, 302);
}

}  // namespace
}  // namespace kxtest
