#pragma once
// The services this container runs for their projects. Each built service
// project can run in a kxcontainer process of its own, so that a crash of
// the service never touches this one: on 127.0.0.1, on a port the system
// picks, with an access token and a host name of its own (under .localhost:
// a browser keeps the service's token cookie there, apart from every other
// server's), and with its descriptor copy, output and logs in the project's
// "service" folder. The service's address is read from a file its container
// writes, never from its start-up line, which begins with the project's own
// display-name. A limited number run at
// once; all of them end when this program ends (in an orderly way through
// stopAll, and through the child's parent-death signal when it is killed).
//
// Projects are known by their folder's real path, so two spellings of one
// folder are one service.
#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kx::os {
class KxChildProcess;
}

class KxServiceRegistry {
  public:
    // What the page shows of one service.
    struct Service {
        std::string folder;  // the project folder's real path
        int pid = 0;
        unsigned short port = 0;  // on 127.0.0.1
        std::string hostName;     // the name a browser reaches it by
        std::string token;
        std::string started;  // local time it started, HH:MM:SS
        bool running = false;
        bool failedAtStart = false;     // it never served: see problems
        std::optional<int> exitStatus;  // once it ended
        // What it wrote on standard error: the reasons it did not start, or
        // the last lines before it ended.
        std::vector<std::string> problems;
    };

    enum class Outcome {
        Started,
        AlreadyRunning,
        Starting,  // another request is starting this project's service
        Limit,     // as many services as allowed run already
        NotBuilt,  // no descriptor, or a library it names is missing
        Failed,    // see problems
    };
    struct StartResult {
        Outcome outcome = Outcome::Failed;
        std::vector<std::string> problems;
    };

    // The service folder inside a project, and what goes into it.
    static constexpr const char* kServiceFolder = "service";
    static constexpr std::size_t kDefaultLimit = 4;

    static KxServiceRegistry& shared();

    KxServiceRegistry() = default;
    KxServiceRegistry(const KxServiceRegistry&) = delete;
    KxServiceRegistry& operator=(const KxServiceRegistry&) = delete;
    ~KxServiceRegistry();

    void setLimit(std::size_t limit);
    std::size_t limit() const;
    // The program that serves a project: kxcontainer itself by default.
    void setContainerProgram(const std::string& path);
    // How long a service may take to print its address.
    void setStartTimeout(std::chrono::milliseconds timeout);

    // Starts the service of the project folder dir (in the system's form)
    // and waits until it serves or fails.
    StartResult start(const std::string& dir);
    // Stops the project's service and forgets it. False when none was known.
    bool stop(const std::string& dir);
    // The project's service, running or ended; nothing when none is known.
    std::optional<Service> find(const std::string& dir);
    // Stops every service.
    void stopAll();

  private:
    struct Entry {
        Service service;
        bool starting = false;
        std::shared_ptr<kx::os::KxChildProcess> process;
    };

    // Notices that an entry's process ended and keeps what it left; the
    // caller holds the mutex.
    void refresh(Entry& entry);
    // Counts the project as starting unless it runs or starts already or the
    // limit is reached (then the result says so); hands out the program and
    // the start timeout as they are now.
    std::optional<StartResult> reserve(const std::string& folder, std::string& program,
                                       std::chrono::milliseconds& timeout);

    mutable std::mutex mutex_;
    std::map<std::string, Entry> entries_;
    std::size_t limit_ = kDefaultLimit;
    std::string program_;
    std::chrono::milliseconds startTimeout_{15000};
};

// The port of the address a service's container wrote to its address file
// ("http://HOST:PORT/..." and a line break), or 0 when it is not a whole
// address of this service: HOST must be its own name (hostName, any case)
// or 127.0.0.1, PORT a number from 1 to 65535.
unsigned short portOfServiceAddress(const std::string& text, const std::string& hostName);

// The libraries a deployment descriptor's servlets name (library part of
// servlet-class), in order, each once; nothing when it cannot be read.
std::vector<std::string> librariesOfDescriptor(const std::string& descriptorText);
