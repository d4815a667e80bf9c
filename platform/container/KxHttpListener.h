#pragma once
// Accepts connections on one address and port and starts each on a strand of
// its own. Only the server includes this header.
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <memory>

namespace kx::container {

struct KxConnectionShared;
class KxContainerLog;

class KxHttpListener : public std::enable_shared_from_this<KxHttpListener> {
  public:
    // Opens, binds and listens; throws boost::system::system_error.
    KxHttpListener(boost::asio::io_context& io, const boost::asio::ip::tcp::endpoint& endpoint,
                   KxContainerLog& log);

    // The port listened on (the one the system picked for port 0).
    unsigned short port() const;

    // Accepts connections until stop().
    void start(std::shared_ptr<KxConnectionShared> shared);
    // Stops accepting; the listening socket is closed.
    void stop();

  private:
    void accept();
    // Starts the connection, or closes it at once when the connection limit
    // is reached.
    void admit(boost::asio::ip::tcp::socket socket);

    boost::asio::io_context& io_;
    boost::asio::ip::tcp::acceptor acceptor_;
    boost::asio::steady_timer retry_;
    KxContainerLog& log_;
    std::shared_ptr<KxConnectionShared> shared_;
    bool full_ = false;  // the last connection was refused
};

}  // namespace kx::container
