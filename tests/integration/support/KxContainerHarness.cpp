#include "support/KxContainerHarness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#ifndef KX_TEST_DEFAULT_BIN_DIR
#error "KX_TEST_DEFAULT_BIN_DIR must name the build's bin folder"
#endif

namespace kxtest {

namespace {

using Clock = std::chrono::steady_clock;

bool hasHeaderIn(const Headers& headers, const std::string& name) {
    return std::any_of(headers.begin(), headers.end(), [&](const auto& header) {
        return ::strcasecmp(header.first.c_str(), name.c_str()) == 0;
    });
}

int remainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::int64_t>(left.count(), 0));
}

}  // namespace

std::string HttpResponse::header(const std::string& name) const {
    const auto values = headerValues(name);
    return values.empty() ? "" : values.front();
}

std::vector<std::string> HttpResponse::headerValues(const std::string& name) const {
    std::vector<std::string> values;
    for (const auto& [key, value] : headers) {
        if (::strcasecmp(key.c_str(), name.c_str()) == 0) {
            values.push_back(value);
        }
    }
    return values;
}

HttpResponse parseHead(const std::string& head) {
    HttpResponse response;
    std::istringstream lines(head);
    std::string line;
    if (!std::getline(lines, line) || !line.starts_with("HTTP/1.") || line.size() < 12) {
        return response;
    }
    response.status = std::atoi(line.c_str() + 9);
    while (std::getline(lines, line)) {
        if (const auto colon = line.find(':'); colon != std::string::npos) {
            const auto value = line.find_first_not_of(' ', colon + 1);
            const auto end = line.find_last_not_of('\r');
            response.headers.emplace_back(line.substr(0, colon),
                                          value > end ? "" : line.substr(value, end + 1 - value));
        }
    }
    return response;
}

HttpConnection::HttpConnection(unsigned short port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        return;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    timeval timeout{10, 0};  // no single send blocks longer
    ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

HttpConnection::~HttpConnection() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool HttpConnection::sendRaw(const std::string& bytes) {
    std::size_t sent = 0;
    while (fd_ >= 0 && sent < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return fd_ >= 0;
}

bool HttpConnection::fill(Clock::time_point deadline) {
    if (closed_ || fd_ < 0) {
        return false;
    }
    pollfd poller{fd_, POLLIN, 0};
    if (::poll(&poller, 1, remainingMs(deadline)) <= 0) {
        return false;
    }
    char chunk[16384];
    const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) {
        closed_ = true;
        return false;
    }
    buffer_.append(chunk, static_cast<std::size_t>(n));
    return true;
}

HttpResponse HttpConnection::readResponse(bool headOnly, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    HttpResponse response;
    std::size_t end;
    while ((end = buffer_.find("\r\n\r\n")) == std::string::npos) {
        if (!fill(deadline)) {
            return response;
        }
    }
    response = parseHead(buffer_.substr(0, end + 2));
    buffer_.erase(0, end + 4);
    const int status = std::exchange(response.status, 0);
    if (status == 0) {
        return response;
    }
    if (!headOnly && hasHeaderIn(response.headers, "Content-Length")) {
        const auto length =
            static_cast<std::size_t>(std::stoull(response.header("Content-Length")));
        while (buffer_.size() < length) {
            if (!fill(deadline)) {
                return response;  // status stays 0: the body was cut short
            }
        }
        response.body = buffer_.substr(0, length);
        buffer_.erase(0, length);
    } else if (!headOnly) {
        while (fill(deadline)) {
        }
        response.body = std::move(buffer_);
        buffer_.clear();
    }
    response.status = status;
    return response;
}

bool HttpConnection::waitForClose(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!closed_ && Clock::now() < deadline) {
        fill(deadline);
    }
    return closed_;
}

std::string buildRequest(unsigned short port, const std::string& method, const std::string& target,
                         const Headers& headers, const std::string& body) {
    std::string text = method + " " + target + " HTTP/1.1\r\n";
    if (!hasHeaderIn(headers, "Host")) {
        text += "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
    }
    if (!hasHeaderIn(headers, "Connection")) {
        text += "Connection: close\r\n";
    }
    for (const auto& [name, value] : headers) {
        text += name + ": " + value + "\r\n";
    }
    if (!body.empty() && !hasHeaderIn(headers, "Content-Length")) {
        text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    return text + "\r\n" + body;
}

ContainerProcess::~ContainerProcess() {
    // Stopped as a user stops it: servlets destroyed, logs and coverage written.
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        waitForExit(15s);
    }
}

bool ContainerProcess::start(const std::string& webapp,
                             const std::vector<std::string>& extraArguments) {
    webapp_ = webapp;
    const std::string program = binaryDirectory() + "/kxcontainer";
    std::vector<std::string> arguments = {
        program,
        "--port",
        "0",
        "--webapp",
        webapp,
        "--lib-dir",
        libraryDirectory_.empty() ? libraryDirectory() : libraryDirectory_,
        "--log-dir",
        logDirectory()};
    if (home_) {
        arguments.insert(arguments.end(), {"--home", home_->empty() ? webapp : *home_});
    }
    arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
    const std::string outPath = webapp + "/stdout.txt";
    const std::string errPath = webapp + "/stderr.txt";
    pid_ = spawn(arguments, outPath, errPath);
    if (pid_ < 0) {
        failure_ = "cannot start " + program;
        return false;
    }
    // "kxcontainer: serving <application> at <address>", the first line.
    // The address is the line's last word: the application's name before it
    // may hold anything but a line break.
    static const std::regex addressLine(
        R"(^kxcontainer: serving (.*) at (http://([^:/ ]+):(\d+)/[^? \n]*(\?token=([^ \n]*))?)\n)");
    for (const auto deadline = Clock::now() + 20s; Clock::now() < deadline;
         std::this_thread::sleep_for(20ms)) {
        const std::string out = readFile(outPath);
        if (std::smatch match; std::regex_search(out, match, addressLine)) {
            application_ = match[1];
            url_ = match[2];
            hostName_ = match[3];
            port_ = static_cast<unsigned short>(std::stoi(match[4]));
            token_ = match[6];
            return port_ != 0;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            if (WIFEXITED(status)) {
                startExit_ = WEXITSTATUS(status);
            }
            failure_ = "kxcontainer ended at start: " + readFile(errPath);
            return false;
        }
    }
    failure_ = "kxcontainer printed no address in time: " + readFile(errPath);
    return false;
}

std::string ContainerProcess::standardError() const {
    return readFile(webapp_ + "/stderr.txt");
}

HttpResponse ContainerProcess::request(const std::string& method, const std::string& target,
                                       const Headers& headers, const std::string& body) {
    HttpConnection connection(port_);
    if (!connection.sendRaw(buildRequest(port_, method, target, headers, body))) {
        return {};
    }
    return connection.readResponse(method == "HEAD");
}

HttpResponse ContainerProcess::get(const std::string& target, Headers headers) {
    if (!token_.empty()) {
        headers.emplace_back("Authorization", "token " + token_);
    }
    return request("GET", target, headers);
}

void ContainerProcess::signal(int number) {
    if (pid_ > 0) {
        ::kill(pid_, number);
    }
}

std::optional<int> ContainerProcess::waitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (pid_ > 0) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            if (WIFEXITED(status)) {
                return WEXITSTATUS(status);
            }
            return std::nullopt;
        }
        if (Clock::now() >= deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
            return std::nullopt;
        }
        std::this_thread::sleep_for(20ms);
    }
    return std::nullopt;
}

pid_t spawn(const std::vector<std::string>& arguments, const std::string& outPath,
            const std::string& errPath) {
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                       0644);
    ::posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                       0644);
    std::vector<char*> argv;
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int error = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

std::string binaryDirectory() {
    const char* fromEnvironment = std::getenv("KX_TEST_BIN_DIR");
    return fromEnvironment && *fromEnvironment ? fromEnvironment : KX_TEST_DEFAULT_BIN_DIR;
}

std::string libraryDirectory() {
    return binaryDirectory() + "/../lib";
}

long residentKilobytes(pid_t pid) {
    std::istringstream status(readFile("/proc/" + std::to_string(pid) + "/status"));
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return -1;
}

std::string waitForFileText(const std::string& path, const std::string& text,
                            std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    std::string content = readFile(path);
    while (content.find(text) == std::string::npos && Clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
        content = readFile(path);
    }
    return content;
}

}  // namespace kxtest
