// The conventions browsers, caches and log tools expect of a web server, with
// curl as the client: validators, ranges, gzip, the access log (read by
// goaccess) and the graceful stop. The parsers behind them are unit-tested.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <regex>
#include <thread>

#include "support/KxContainerFixture.h"

namespace kxtest {
namespace {

// Runs a program with its output in outPath; its exit status, or -1.
int runProgram(const std::vector<std::string>& arguments, const std::string& outPath) {
    int status = 0;
    const pid_t pid = spawn(arguments, outPath, "/dev/null");
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status)
                                                                             : -1;
}

class HttpConventions : public ContainerTest {
  protected:
    // site.css: text above the compression threshold; style.css: below it.
    void startWithFiles(const std::vector<std::string>& arguments = {}) {
        for (int i = 0; i < 120; ++i) {
            css += ".rule" + std::to_string(i) + " { margin: " + std::to_string(i) + "px; }\n";
        }
        scratch.write("static/site.css", css);
        scratch.write("static/picture.png", std::string(3000, '\x7f'));
        ASSERT_NO_FATAL_FAILURE(start(arguments));
    }

    // One request by curl; extra are curl's arguments before the URL.
    HttpResponse curl(const std::string& path, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> arguments = {"curl",       "-s",
                                              "--max-time", "20",
                                              "-D",         scratch / "headers.txt",
                                              "-o",         scratch / "body.txt"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        arguments.push_back("http://127.0.0.1:" + std::to_string(container.port()) + path);
        std::filesystem::remove(scratch / "body.txt");
        if (runProgram(arguments, scratch / "curl.out") != 0) {
            return {};
        }
        HttpResponse response = parseHead(readFile(scratch / "headers.txt"));
        response.body = readFile(scratch / "body.txt");
        return response;
    }

    std::string css;
};

TEST_F(HttpConventions, StaticFilesAnswerValidatorsConditionsAndRanges) {
    ASSERT_NO_FATAL_FAILURE(startWithFiles());
    const std::string path = "/orvo/static/site.css";
    const auto plain = curl(path);
    ASSERT_EQ(plain.status, 200);
    EXPECT_EQ(plain.body, css);
    const std::string tag = plain.header("ETag");
    const std::string modified = plain.header("Last-Modified");
    EXPECT_TRUE(std::regex_match(tag, std::regex("\"[0-9a-f]+-[0-9a-f]+\""))) << tag;
    EXPECT_TRUE(
        std::regex_match(modified, std::regex(R"(\w{3}, \d\d \w{3} \d{4} \d\d:\d\d:\d\d GMT)")))
        << modified;
    EXPECT_EQ(plain.header("Accept-Ranges"), "bytes");
    EXPECT_EQ(plain.header("Cache-Control"), "no-cache");

    for (const auto& [condition, status] : std::vector<std::pair<std::string, int>>{
             {"If-None-Match: " + tag, 304},
             {"If-None-Match: \"other\"", 200},
             {"If-Modified-Since: " + modified, 304},
             {"If-Modified-Since: Sun, 06 Nov 1994 08:49:37 GMT", 200}}) {
        const auto answer = curl(path, {"-H", condition});
        EXPECT_EQ(answer.status, status) << condition;
        if (status == 304) {
            EXPECT_EQ(answer.body, "") << condition;
            EXPECT_EQ(answer.header("ETag"), tag) << condition;
            EXPECT_EQ(answer.header("Cache-Control"), "no-cache") << condition;
        }
    }
    // If-None-Match decides alone: a date that matches does not make a 304.
    EXPECT_EQ(curl(path, {"-H", "If-None-Match: \"other\"", "-H", "If-Modified-Since: " + modified})
                  .status,
              200);

    const std::string size = std::to_string(css.size());
    const auto part = curl(path, {"-H", "Range: bytes=100-"});
    EXPECT_EQ(part.status, 206);
    EXPECT_EQ(part.body, css.substr(100));
    EXPECT_EQ(part.header("Content-Range"),
              "bytes 100-" + std::to_string(css.size() - 1) + "/" + size);
    const auto beyond = curl(path, {"-H", "Range: bytes=" + size + "-"});
    EXPECT_EQ(beyond.status, 416);
    EXPECT_EQ(beyond.header("Content-Range"), "bytes */" + size);
    EXPECT_EQ(curl(path, {"-H", "Range: bytes=0-1,5-6"}).body, css);  // several: the whole file
    EXPECT_EQ(curl(path, {"-H", "Range: bytes=0-9", "-H", "If-Range: " + tag}).status, 206);
    const auto stale = curl(path, {"-H", "Range: bytes=0-9", "-H", "If-Range: \"old\""});
    EXPECT_EQ(stale.status, 200);
    EXPECT_EQ(stale.body, css);

    // HEAD: the same header fields, no body.
    const auto head = curl(path, {"-I"});
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.header("Content-Length"), size);
    EXPECT_EQ(head.header("ETag"), tag);
    const auto headRange = curl(path, {"-I", "-H", "Range: bytes=0-9"});
    EXPECT_EQ(headRange.status, 206);
    EXPECT_EQ(headRange.header("Content-Length"), "10");
    EXPECT_EQ(curl(path, {"-I", "-H", "If-None-Match: " + tag}).status, 304);

    // The file changes: neither validator holds any more.
    css += "/* changed */\n";
    scratch.write("static/site.css", css);
    const auto later = std::filesystem::last_write_time(scratch / "static/site.css") + 2s;
    std::filesystem::last_write_time(scratch / "static/site.css", later);
    for (const std::string& condition :
         {"If-None-Match: " + tag, "If-Modified-Since: " + modified}) {
        const auto changed = curl(path, {"-H", condition});
        EXPECT_EQ(changed.status, 200) << condition;
        EXPECT_EQ(changed.body, css) << condition;
        EXPECT_NE(changed.header("ETag"), tag);
    }
}

TEST_F(HttpConventions, GzipIsNegotiatedForTextAndRefusedOtherwise) {
    ASSERT_NO_FATAL_FAILURE(startWithFiles());
    const std::string path = "/orvo/static/site.css";
    // curl --compressed asks for gzip and decodes it: the same bytes come out.
    const auto coded = curl(path, {"--compressed"});
    ASSERT_EQ(coded.status, 200);
    EXPECT_EQ(coded.body, css);
    EXPECT_EQ(coded.header("Content-Encoding"), "gzip");
    EXPECT_EQ(coded.header("Vary"), "Accept-Encoding");
    const std::string codedTag = coded.header("ETag");
    EXPECT_TRUE(codedTag.ends_with("-gz\"")) << codedTag;
    const auto raw = curl(path, {"-H", "Accept-Encoding: gzip"});
    EXPECT_LT(raw.body.size(), css.size() / 3);
    EXPECT_EQ(raw.header("Content-Length"), std::to_string(raw.body.size()));

    // Each representation is revalidated by its own tag.
    const auto again = curl(path, {"--compressed", "-H", "If-None-Match: " + codedTag});
    EXPECT_EQ(again.status, 304);
    EXPECT_EQ(again.header("Vary"), "Accept-Encoding");
    const std::string plainTag = curl(path).header("ETag");
    EXPECT_EQ(codedTag, plainTag.substr(0, plainTag.size() - 1) + "-gz\"");
    EXPECT_EQ(curl(path, {"--compressed", "-H", "If-None-Match: " + plainTag}).status, 200);
    EXPECT_EQ(curl(path, {"-H", "If-None-Match: " + plainTag}).status, 304);

    for (const auto& [target, headers, vary] :
         std::vector<std::tuple<std::string, std::vector<std::string>, bool>>{
             {path, {}, true},
             {path, {"-H", "Accept-Encoding: gzip", "-H", "Range: bytes=0-99"}, true},
             {"/orvo/static/style.css", {"-H", "Accept-Encoding: gzip"}, false},
             {"/orvo/static/picture.png", {"-H", "Accept-Encoding: gzip"}, false}}) {
        const auto answer = curl(target, headers);
        EXPECT_TRUE(answer.status == 200 || answer.status == 206) << target;
        EXPECT_EQ(answer.header("Content-Encoding"), "") << target << " " << headers.size();
        EXPECT_EQ(answer.header("Vary") == "Accept-Encoding", vary) << target;
    }

    // A servlet's answer (a page) is coded as well.
    const std::string token = "Authorization: token " + container.token();
    const std::string query = "/orvo/echo?long=" + std::string(3000, 'q');
    const auto page = curl(query, {"--compressed", "-H", token});
    EXPECT_EQ(page.header("Content-Encoding"), "gzip");
    EXPECT_TRUE(contains(page.body, "param long=" + std::string(3000, 'q'))) << page.body;
    EXPECT_EQ(curl(query, {"-H", token}).header("Content-Encoding"), "");

    // --gzip off: files and pages go as they are.
    container.signal(SIGTERM);
    ASSERT_EQ(container.waitForExit(15s), std::optional<int>(0));
    ASSERT_TRUE(container.start(scratch.str(), {"--gzip", "off"})) << container.failure();
    EXPECT_EQ(curl(path, {"--compressed"}).header("Content-Encoding"), "");
    const auto plainPage =
        curl(query, {"--compressed", "-H", "Authorization: token " + container.token()});
    EXPECT_EQ(plainPage.status, 200);
    EXPECT_EQ(plainPage.header("Content-Encoding"), "");
}

TEST_F(HttpConventions, GoaccessReadsEveryLineOfTheAccessLog) {
    ASSERT_NO_FATAL_FAILURE(startWithFiles());
    const std::string token = container.token();
    const std::string base = "http://" + container.ownHost().second;
    const std::string browser = "Mozilla/5.0 (X11; Linux x86_64) \"quoted\"";
    // A browser's visit: the address with the token, what the page loads,
    // all addressed to the server's own name.
    int requests = 0;
    auto visit = [&](const std::string& path, std::vector<std::string> extra, int status) {
        extra.insert(extra.end(),
                     {"-A", browser, "--compressed", "-H", "Host: " + container.ownHost().second});
        EXPECT_EQ(curl(path, extra).status, status) << path;
        ++requests;
    };
    visit("/orvo/?token=" + token, {}, 200);
    const std::string home = base + "/orvo/?token=" + token;
    visit("/orvo/static/site.css", {"-e", home}, 200);
    visit("/orvo/static/picture.png", {"-e", home}, 200);
    visit("/orvo/echo/wizard?step=2", {"-e", home, "-b", "kxtoken=" + token}, 200);
    visit("/orvo/static/favicon.ico", {"-e", home}, 404);
    visit("/orvo/echo", {"-H", "Authorization: token " + token}, 200);
    // Hostile request lines: quotes, a backslash, control bytes.
    for (const char* line :
         {"GET /orvo/x\"y\\z HTTP/1.1", "GET /orvo/\x01\"\x1b[2J HTTP/1.1", "\"\" \"\x7f\xff"}) {
        HttpConnection connection(container.port());
        connection.sendRaw(std::string(line) + "\r\nHost: 127.0.0.1:" +
                           std::to_string(container.port()) + "\r\nConnection: close\r\n\r\n");
        EXPECT_GT(connection.readResponse().status, 0) << line;
        ++requests;
    }

    const std::string accessLog = container.logDirectory() + "/access.log";
    std::string text;
    for (int i = 0; i < 250 && std::count(text.begin(), text.end(), '\n') < requests; ++i) {
        std::this_thread::sleep_for(20ms);
        text = readFile(accessLog);
    }
    ASSERT_EQ(std::count(text.begin(), text.end(), '\n'), requests) << text;
    EXPECT_FALSE(contains(text, token)) << text;
    EXPECT_TRUE(contains(text, "\"GET /orvo/?token=*** HTTP/1.1\" 200 ")) << text;
    EXPECT_TRUE(contains(text, "\"" + base + "/orvo/?token=***\" \"Mozilla/5.0")) << text;
    EXPECT_TRUE(contains(text, "\"GET /orvo/x\\x22y\\x5Cz HTTP/1.1\"")) << text;

    const std::string report = scratch / "report.json";
    ASSERT_EQ(runProgram({"goaccess", accessLog, "--log-format=COMBINED", "--no-global-config",
                          "-o", report},
                         scratch / "goaccess.out"),
              0)
        << "goaccess (scripts/setup.sh installs it) could not read " << accessLog;
    const std::string json = readFile(report);
    std::smatch valid;
    std::smatch failed;
    ASSERT_TRUE(std::regex_search(json, valid, std::regex(R"("valid_requests": (\d+))"))) << json;
    ASSERT_TRUE(std::regex_search(json, failed, std::regex(R"("failed_requests": (\d+))"))) << json;
    EXPECT_EQ(failed[1], "0") << text;
    EXPECT_EQ(std::stoi(valid[1]), requests) << text;
}

TEST_F(HttpConventions, AStopLetsTheAnswerInFlightFinishAndRefusesNewConnections) {
    ASSERT_NO_FATAL_FAILURE(start({"--shutdown-timeout", "4s"}));
    // Larger than the socket buffers hold: the answer is in flight until
    // the client reads it.
    std::string large(24 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < large.size(); i += 4096) {
        large[i] = static_cast<char>('a' + i / 4096 % 26);
    }
    scratch.write("static/large.bin", large);
    HttpConnection slow(container.port());
    ASSERT_TRUE(slow.sendRaw(buildRequest(container.port(), "GET", "/orvo/static/large.bin")));
    std::this_thread::sleep_for(300ms);

    const auto stopAt = std::chrono::steady_clock::now();
    container.signal(SIGTERM);
    std::this_thread::sleep_for(500ms);
    HttpConnection late(container.port());
    EXPECT_FALSE(late.isOpen()) << "a connection after the stop was accepted";

    const auto answer = slow.readResponse(false, 10s);
    EXPECT_EQ(answer.status, 200);
    EXPECT_TRUE(answer.body == large) << answer.body.size() << " of " << large.size() << " bytes";
    EXPECT_EQ(container.waitForExit(10s), std::optional<int>(0));
    EXPECT_LT(std::chrono::steady_clock::now() - stopAt, 4s);  // it did not wait for the limit

    // A client that never reads: the container closes it at the limit.
    ContainerProcess stuck;
    ASSERT_TRUE(stuck.start(scratch.str(), {"--shutdown-timeout", "1s"})) << stuck.failure();
    HttpConnection idle(stuck.port());
    ASSERT_TRUE(idle.sendRaw(buildRequest(stuck.port(), "GET", "/orvo/static/large.bin")));
    std::this_thread::sleep_for(300ms);
    const auto stuckAt = std::chrono::steady_clock::now();
    stuck.signal(SIGTERM);
    EXPECT_EQ(stuck.waitForExit(6s), std::optional<int>(0));
    const auto took = std::chrono::steady_clock::now() - stuckAt;
    EXPECT_GE(took, 900ms);
    EXPECT_LT(took, 4s);
}

TEST_F(HttpConventions, TheStartUpLineNamesTheApplication) {
    std::string xml = testWebXml();
    xml.replace(xml.find("<web-app>"), 9,
                "<web-app>\n  <display-name> Calculator&#9;service </display-name>");
    ASSERT_NO_FATAL_FAILURE(start({}, xml));
    EXPECT_EQ(container.application(), "Calculator?service");  // one line, whatever the name

    // Without a display-name: the web application folder's name.
    ScratchDir other;
    other.write("WEB-INF/web.xml", testWebXml());
    ContainerProcess unnamed;
    ASSERT_TRUE(unnamed.start(other.str())) << unnamed.failure();
    EXPECT_EQ(unnamed.application(), other.path().filename().string());
}

}  // namespace
}  // namespace kxtest
