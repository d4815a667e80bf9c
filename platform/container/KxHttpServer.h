#pragma once
// The network side of kxcontainer: the listening socket, the threads that
// drive the connections, the signals, and the orderly stop. It is the
// KxServletContainer that servlets ask to shut down.
#include <functional>
#include <memory>

#include "platform/container/KxContainerOptions.h"
#include "platform/servlet/KxServletContext.h"

namespace kx::container {

class KxContainerLog;
class KxRequestHandler;

class KxHttpServer : public KxServletContainer {
  public:
    KxHttpServer(const KxContainerOptions& options, KxContainerLog& log);
    ~KxHttpServer() override;

    // Binds and listens on options.bind and options.port; returns the port.
    // Throws std::runtime_error.
    unsigned short listen();

    // Serves until shutdown() or SIGINT/SIGTERM, then until the requests in
    // flight are answered or the grace time is over. Runs options.threads
    // threads for servlet calls and two more, each with a current directory
    // of its own, starting in the process's. Returns false when a servlet
    // call was still running at the end of the grace time: its thread is
    // left running, so its code must stay loaded.
    bool run(KxRequestHandler& handler);

    // Runs the job soon on one of the threads of run().
    void post(std::function<void()> job);

    // Stops accepting connections and lets the requests in flight finish.
    // Safe from any thread, also before run().
    void shutdown() override;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kx::container
