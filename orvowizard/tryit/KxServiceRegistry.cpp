#include "orvowizard/tryit/KxServiceRegistry.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <ctime>
#include <random>
#include <sstream>
#include <thread>

#include "platform/os/KxAtomicFile.h"
#include "platform/os/KxChildProcess.h"
#include "platform/os/KxOs.h"
#include "platform/xml/KxXmlTree.h"

namespace {

// What is read of a service's descriptor and standard error.
constexpr std::size_t kDescriptorLimit = 1024 * 1024;
constexpr std::size_t kErrorReadLimit = 64 * 1024;
constexpr std::size_t kMaxProblemLines = 30;
constexpr auto kStopGrace = std::chrono::seconds(5);

std::string randomToken() {
    std::random_device random;
    std::ostringstream token;
    for (int i = 0; i < 4; ++i) {
        token << std::hex << static_cast<std::uint32_t>(random());
    }
    return token.str();
}

std::string localTime() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &parts);
    return text;
}

// The last lines of what a service wrote on standard error.
std::vector<std::string> problemLines(const std::string& errorFile) {
    KxCString text;
    kx::os::readRegularFile(errorFile, text, kErrorReadLimit, kx::os::Overflow::KeepPrefix);
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    if (lines.size() > kMaxProblemLines) {
        lines.erase(lines.begin(), lines.end() - kMaxProblemLines);
    }
    return lines;
}

// Makes folder (one level) unless it is there as a real folder. A link in
// its place is refused, so nothing is written outside the project.
bool ensureFolder(const std::string& folder) {
    if (kx::os::isSymbolicLink(folder)) {
        return false;
    }
    kx::os::FileStatus status;
    if (kx::os::fileStatus(folder, status)) {
        return status.isDirectory();
    }
    return kx::os::makeDirectory(folder);
}

std::string errnoText() {
    return kx::os::errorText(errno).value_or("error " + std::to_string(errno));
}

}  // namespace

unsigned short portOfServiceAddress(const std::string& text, const std::string& hostName) {
    constexpr std::string_view kScheme = "http://";
    if (!text.starts_with(kScheme) || !text.ends_with("\n")) {
        return 0;
    }
    const std::string_view rest(text.data() + kScheme.size(), text.size() - kScheme.size() - 1);
    const auto colon = rest.find(':');
    if (colon == std::string_view::npos) {
        return 0;
    }
    std::string host(rest.substr(0, colon));
    std::transform(host.begin(), host.end(), host.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (host != "127.0.0.1" && (hostName.empty() || host != hostName)) {
        return 0;
    }
    const auto slash = rest.find('/', colon);
    const std::string_view digits = rest.substr(colon + 1, slash - colon - 1);
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; }) ||
        (slash != std::string_view::npos &&
         rest.find_first_of(" \t\r\n", slash) != std::string_view::npos)) {
        return 0;
    }
    const unsigned long port = std::stoul(std::string(digits));
    return port == 0 || port > 65535 ? 0 : static_cast<unsigned short>(port);
}

std::vector<std::string> librariesOfDescriptor(const std::string& descriptorText) {
    std::vector<std::string> libraries;
    const kx::XmlDocument document = kx::parseXmlDocument(descriptorText);
    if (!document.root || document.fault) {
        return libraries;
    }
    for (const kx::XmlElement* servlet : document.root->childrenNamed("servlet")) {
        const kx::XmlElement* servletClass = servlet->child("servlet-class");
        if (servletClass == nullptr) {
            continue;
        }
        std::string library = servletClass->text.substr(0, servletClass->text.find(':'));
        const auto first = library.find_first_not_of(" \t\r\n");
        const auto last = library.find_last_not_of(" \t\r\n");
        library = first == std::string::npos ? "" : library.substr(first, last - first + 1);
        if (!library.empty() &&
            std::find(libraries.begin(), libraries.end(), library) == libraries.end()) {
            libraries.push_back(library);
        }
    }
    return libraries;
}

KxServiceRegistry& KxServiceRegistry::shared() {
    static KxServiceRegistry registry;
    return registry;
}

KxServiceRegistry::~KxServiceRegistry() {
    stopAll();
}

void KxServiceRegistry::setLimit(std::size_t limit) {
    std::lock_guard lock(mutex_);
    limit_ = limit;
}

std::size_t KxServiceRegistry::limit() const {
    std::lock_guard lock(mutex_);
    return limit_;
}

void KxServiceRegistry::setContainerProgram(const std::string& path) {
    std::lock_guard lock(mutex_);
    program_ = path;
}

void KxServiceRegistry::setStartTimeout(std::chrono::milliseconds timeout) {
    std::lock_guard lock(mutex_);
    startTimeout_ = timeout;
}

void KxServiceRegistry::refresh(Entry& entry) {
    if (entry.process == nullptr || !entry.service.running || entry.process->running()) {
        return;
    }
    entry.service.running = false;
    entry.service.exitStatus = entry.process->exitStatus();
    entry.service.problems =
        problemLines(entry.service.folder + "/" + kServiceFolder + "/errors.txt");
}

namespace {

using Outcome = KxServiceRegistry::Outcome;
using StartResult = KxServiceRegistry::StartResult;

// The descriptor and the libraries it names must be there; nothing when
// they are, with the descriptor read.
std::optional<StartResult> checkBuilt(const std::string& folder, KxCString& descriptor) {
    const auto read = kx::os::readRegularFile(folder + "/web.xml", descriptor, kDescriptorLimit);
    const std::vector<std::string> libraries = read == kx::os::ReadOutcome::Complete
                                                   ? librariesOfDescriptor(descriptor)
                                                   : std::vector<std::string>{};
    if (libraries.empty()) {
        return StartResult{Outcome::NotBuilt,
                           {"The project has no web.xml naming a servlet library."}};
    }
    for (const std::string& library : libraries) {
        kx::os::FileStatus status;
        if (library.find('/') != std::string::npos ||
            !kx::os::fileStatus(folder + "/" + library, status) || !status.isRegular()) {
            return StartResult{Outcome::NotBuilt,
                               {"Build the project first: " + library + " is missing."}};
        }
    }
    return std::nullopt;
}

// The service folder with its descriptor copy, logs folder and no address
// left by an earlier run, which must not pass for this one's.
bool prepareServiceFolder(const std::string& serviceFolder, const KxCString& descriptor) {
    const std::string addressFile = serviceFolder + "/address.txt";
    return ensureFolder(serviceFolder) && (::unlink(addressFile.c_str()) == 0 || errno == ENOENT) &&
           ensureFolder(serviceFolder + "/webapp") &&
           ensureFolder(serviceFolder + "/webapp/WEB-INF") &&
           ensureFolder(serviceFolder + "/logs") &&
           kx::os::writeFileAtomically(serviceFolder + "/webapp/WEB-INF/web.xml", descriptor);
}

// The service's own container: on 127.0.0.1 at a port it picks, with the
// service's token and host name, writing its address where we read it.
kx::os::ChildProcessSpec containerSpec(const std::string& program,
                                       const KxServiceRegistry::Service& service) {
    const std::string serviceFolder = service.folder + "/" + KxServiceRegistry::kServiceFolder;
    kx::os::ChildProcessSpec spec;
    spec.arguments = {program,
                      "--webapp",
                      serviceFolder + "/webapp",
                      "--lib-dir",
                      service.folder,
                      "--home",
                      service.folder,
                      "--context",
                      "",
                      "--bind",
                      "127.0.0.1",
                      "--port",
                      "0",
                      "--token",
                      service.token,
                      "--host-name",
                      service.hostName,
                      "--address-file",
                      serviceFolder + "/address.txt",
                      "--threads",
                      "4",
                      "--log-dir",
                      serviceFolder + "/logs"};
    spec.directory = service.folder;
    spec.outputFile = serviceFolder + "/output.txt";
    spec.errorFile = serviceFolder + "/errors.txt";
    return spec;
}

// Prepares the service folder and starts the service's container; process
// stays empty when either fails, and the result says why.
StartResult launch(const std::string& program, const KxCString& descriptor,
                   const KxServiceRegistry::Service& service,
                   std::shared_ptr<kx::os::KxChildProcess>& process) {
    const std::string serviceFolder = service.folder + "/" + KxServiceRegistry::kServiceFolder;
    if (!prepareServiceFolder(serviceFolder, descriptor)) {
        return {Outcome::Failed,
                {"The folder " + serviceFolder + " cannot be prepared: " + errnoText() + "."}};
    }
    try {
        process = kx::os::KxChildProcess::start(containerSpec(program, service));
    } catch (const kx::os::KxChildProcessError& error) {
        return {Outcome::Failed, {std::string("The service cannot be started: ") + error.what()}};
    }
    return {};
}

// The port the container writes once it serves (the file appears whole,
// renamed into place), or 0 when it ended or the time ran out first; foreign
// when it wrote an address that is not the service's own.
unsigned short awaitPort(kx::os::KxChildProcess& process, const std::string& addressFile,
                         const std::string& hostName, std::chrono::milliseconds timeout,
                         bool& foreign) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    unsigned short port = 0;
    foreign = false;
    while (port == 0 && !foreign && process.running() &&
           std::chrono::steady_clock::now() < deadline) {
        KxCString address;
        if (kx::os::readRegularFile(addressFile, address, 4096) == kx::os::ReadOutcome::Complete) {
            port = portOfServiceAddress(address, hostName);
            foreign = port == 0;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    return port;
}

// Waits for the started container to serve. What it wrote on standard error
// by then are servlets it could not load: the start failed, and it is
// stopped.
StartResult awaitServing(kx::os::KxChildProcess& process, KxServiceRegistry::Service& service,
                         std::chrono::milliseconds timeout) {
    const std::string serviceFolder = service.folder + "/" + KxServiceRegistry::kServiceFolder;
    bool foreign = false;
    const unsigned short port =
        awaitPort(process, serviceFolder + "/address.txt", service.hostName, timeout, foreign);
    std::vector<std::string> problems = problemLines(serviceFolder + "/errors.txt");
    if (port != 0 && problems.empty()) {
        service.port = port;
        service.pid = process.pid();
        service.running = true;
        return {Outcome::Started, {}};
    }
    const bool ran = process.running();
    process.stop(kStopGrace);
    if (foreign) {
        problems.push_back("It gave an address that is not its own.");
    } else if (problems.empty()) {
        problems.push_back(ran ? "It gave no address within " +
                                     std::to_string(timeout.count() / 1000) + " s."
                               : "It ended at once with exit status " +
                                     std::to_string(process.exitStatus().value_or(-1)) + ".");
    }
    service.failedAtStart = true;
    service.exitStatus = process.exitStatus();
    service.problems = problems;
    return {Outcome::Failed, problems};
}

}  // namespace

std::optional<KxServiceRegistry::StartResult> KxServiceRegistry::reserve(
    const std::string& folder, std::string& program, std::chrono::milliseconds& timeout) {
    std::lock_guard lock(mutex_);
    std::size_t active = 0;
    for (auto& [key, entry] : entries_) {
        refresh(entry);
        active += entry.starting || entry.service.running ? 1 : 0;
    }
    if (auto found = entries_.find(folder); found != entries_.end()) {
        if (found->second.starting) {
            return StartResult{Outcome::Starting, {}};
        }
        if (found->second.service.running) {
            return StartResult{Outcome::AlreadyRunning, {}};
        }
    }
    if (active >= limit_) {
        return StartResult{
            Outcome::Limit,
            {std::to_string(limit_) + " services run already; stop one to run this one."}};
    }
    Entry& entry = entries_[folder];
    entry = Entry{};
    entry.starting = true;
    entry.service.folder = folder;
    program = program_.empty() ? kx::os::currentExecutable() : program_;
    timeout = startTimeout_;
    return std::nullopt;
}

KxServiceRegistry::StartResult KxServiceRegistry::start(const std::string& dir) {
    const std::string folder = kx::os::realPathOf(dir);
    if (folder.empty()) {
        return {Outcome::Failed, {"The project folder " + dir + " cannot be found."}};
    }
    KxCString descriptor;
    if (auto notBuilt = checkBuilt(folder, descriptor)) {
        return *notBuilt;
    }
    std::string program;
    std::chrono::milliseconds timeout;
    if (auto refused = reserve(folder, program, timeout)) {
        return *refused;
    }

    Entry started;
    started.service.folder = folder;
    started.service.token = randomToken();
    started.service.hostName = "orvo-service-" + randomToken().substr(0, 16) + ".localhost";
    started.service.started = localTime();
    StartResult result = launch(program, descriptor, started.service, started.process);
    if (started.process != nullptr) {
        result = awaitServing(*started.process, started.service, timeout);
    } else {
        started.service.failedAtStart = true;
        started.service.problems = result.problems;
    }

    std::lock_guard lock(mutex_);
    entries_[folder] = std::move(started);
    return result;
}

bool KxServiceRegistry::stop(const std::string& dir) {
    const std::string folder = kx::os::realPathOf(dir);
    std::shared_ptr<kx::os::KxChildProcess> process;
    {
        std::lock_guard lock(mutex_);
        const auto found = entries_.find(folder);
        if (found == entries_.end() || found->second.starting) {
            return false;
        }
        process = found->second.process;
        entries_.erase(found);
    }
    if (process != nullptr) {
        process->stop(kStopGrace);
    }
    return true;
}

std::optional<KxServiceRegistry::Service> KxServiceRegistry::find(const std::string& dir) {
    const std::string folder = kx::os::realPathOf(dir);
    std::lock_guard lock(mutex_);
    const auto found = entries_.find(folder);
    if (found == entries_.end() || found->second.starting) {
        return std::nullopt;
    }
    refresh(found->second);
    return found->second.service;
}

void KxServiceRegistry::stopAll() {
    std::map<std::string, Entry> entries;
    {
        std::lock_guard lock(mutex_);
        entries.swap(entries_);
    }
    for (auto& [folder, entry] : entries) {
        if (entry.process != nullptr) {
            entry.process->stop(kStopGrace);
        }
    }
}
