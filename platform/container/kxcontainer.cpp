// kxcontainer: serves the servlets of one web application to a browser on
// the local machine. It reads WEB-INF/web.xml, loads and initialises the
// servlets, prints the address to open and serves until a servlet asks it to
// shut down or it gets SIGINT or SIGTERM.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "platform/container/KxContainerLogs.h"
#include "platform/container/KxContainerOptions.h"
#include "platform/container/KxDeploymentDescriptor.h"
#include "platform/container/KxHttpServer.h"
#include "platform/container/KxRequestHandler.h"
#include "platform/container/KxRequestMapping.h"
#include "platform/container/KxSecurityChecks.h"
#include "platform/container/KxServletGate.h"
#include "platform/container/KxServletRegistry.h"
#include "platform/container/KxSessionStore.h"
#include "platform/os/KxAtomicFile.h"

namespace {

using namespace kx::container;

constexpr int kStartFailed = 1;
constexpr int kBadOption = 2;

void reportError(const std::string& message) {
    std::cerr << "kxcontainer: " << message << std::endl;
}

std::string executablePath(const char* argv0) {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(argv0) : path.string();
}

std::string absolutePath(const std::string& path) {
    std::error_code error;
    auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

// The host of the address printed at start: a wildcard bind is reached
// through the loopback address.
std::string urlHost(const std::string& bind) {
    if (bind == "0.0.0.0" || bind.empty()) {
        return "127.0.0.1";
    }
    if (bind == "::") {
        return "[::1]";
    }
    return bind.find(':') != std::string::npos ? "[" + bind + "]" : bind;
}

// What the start-up line calls the application: its display-name, else
// its folder's name. Control characters are shown as '?', so the line stays
// one line that scripts can read.
std::string applicationName(const KxDeploymentDescriptor& descriptor, const std::string& webapp) {
    std::string name = descriptor.displayName;
    if (name.empty()) {
        std::filesystem::path folder(webapp);
        if (!folder.has_filename()) {
            folder = folder.parent_path();  // written with a final slash
        }
        name = folder.filename().string();
    }
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            c = '?';
        }
    }
    return name;
}

int runContainer(KxContainerOptions& options) {
    std::string contextPath;
    try {
        contextPath = normaliseContextPath(options.context);
    } catch (const std::invalid_argument& e) {
        reportError(std::string("--context: ") + e.what());
        return kBadOption;
    }

    if (!options.home.empty()) {
        options.home = absolutePath(options.home);
        // The system finds its files through KX_HOME; servlets read it in init.
        setenv("KX_HOME", options.home.c_str(), 1);
    }
    const std::string webapp = absolutePath(options.webapp);
    std::error_code error;
    if (!std::filesystem::is_directory(webapp, error)) {
        reportError("the web application folder " + webapp + " does not exist");
        return kStartFailed;
    }

    std::unique_ptr<KxContainerLogs> logs;
    try {
        logs = std::make_unique<KxContainerLogs>(absolutePath(options.logDir));
    } catch (const std::exception& e) {
        reportError(e.what());
        return kStartFailed;
    }

    KxDeploymentDescriptor descriptor;
    try {
        descriptor = readDeploymentDescriptor(webapp + "/WEB-INF/web.xml");
    } catch (const KxDescriptorError& e) {
        reportError(e.what());
        logs->error(e.what());
        return kStartFailed;
    }
    for (const auto& warning : descriptor.warnings) {
        reportError("web.xml: " + warning);
        logs->error("web.xml: " + warning);
    }

    const std::string token =
        options.noToken ? std::string() : (options.token.empty() ? randomHex128() : options.token);
    // Browsers send a cookie of 127.0.0.1 to every server on it, whatever the
    // port: the token cookie lives on a name no other server has. Without a
    // token there is no cookie to keep; away from loopback no .localhost
    // name leads here.
    std::string ownName = options.hostName;
    if (ownName.empty() && !token.empty() && isLoopbackAddress(options.bind)) {
        ownName = randomOwnHostName();
    }

    KxHttpServer server(options, *logs);
    unsigned short port = 0;
    try {
        port = server.listen();
    } catch (const std::exception& e) {
        reportError(e.what());
        logs->error(e.what());
        return kStartFailed;
    }

    KxServletContext context(webapp);
    context.setLogSink([&logs](const KxCString& message) { logs->info(message); });
    context.setContainer(&server);

    std::vector<std::string> names;
    for (const auto& servlet : descriptor.servlets) {
        names.push_back(servlet.name);
    }
    const KxRequestMapper mapper(contextPath, descriptor.mappings, names);
    const KxSecurityChecks security(options.bind, port, token, ownName);
    KxSessionStore sessions(options.maxSessions, options.maxNewSessions);

    KxServletRegistry registry(options.libDir, context);
    for (const auto& failure : registry.load(descriptor)) {
        reportError(failure);
        logs->error(failure);
    }
    if (registry.refusedLibrary()) {
        const std::string message = "not started: a servlet library does not match this container";
        reportError(message);
        logs->error(message);
        return kStartFailed;
    }

    KxServletGate gate(options.threads,
                       [&server](KxServletGate::Job job) { server.post(std::move(job)); });
    KxRequestHandler handler(mapper, security, registry, sessions, context, *logs,
                             [&gate](std::function<void()> job) { gate.submit(std::move(job)); });
    handler.setGzip(options.gzip);

    const std::string address = "http://" + (ownName.empty() ? urlHost(options.bind) : ownName) +
                                ":" + std::to_string(port) + contextPath + "/";
    // The program that started this one reads the address here, in a file
    // of the container's own, rather than from the line (which begins with
    // the application's own display-name).
    if (!options.addressFile.empty() &&
        !kx::os::writeFileAtomically(options.addressFile, address + "\n")) {
        const std::string message =
            "the address file " + options.addressFile + " cannot be written";
        reportError(message);
        logs->error(message);
        return kStartFailed;
    }
    std::cout << "kxcontainer: serving " << applicationName(descriptor, webapp) << " at " << address
              << (token.empty() ? "" : "?token=" + token) << std::endl;
    logs->info("started: serving " + applicationName(descriptor, webapp) + " from " + webapp +
               " at " + address + " with " + std::to_string(gate.limit()) + " servlet threads, " +
               std::to_string(registry.size()) + " of " +
               std::to_string(descriptor.servlets.size()) + " servlets" +
               (token.empty() ? ", no access token" : ""));

    if (!server.run(handler)) {
        // A servlet is still busy: its code must stay loaded, so the process
        // ends here without unloading anything.
        logs->error("servlet calls still running at the end of the grace time; exiting");
        logs->flush();
        std::cout.flush();
        std::_Exit(0);
    }
    // Session attributes are objects of the servlet libraries: they go before
    // the libraries are unloaded.
    sessions.clear();
    registry.destroyAll();
    logs->info("stopped");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    KxContainerOptions options;
    if (auto status = parseContainerOptions(argc, argv, options)) {
        return *status;
    }
    resolveOptionDefaults(options, executablePath(argv[0]));
    try {
        return runContainer(options);
    } catch (const std::exception& e) {
        reportError(e.what());
        return kStartFailed;
    }
}
