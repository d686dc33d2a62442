// Runs a cpp-httplib server on 127.0.0.1 at a port the system picks, in a thread of its own,
// until the object goes away. Works for httplib::Server and httplib::SSLServer.
//
//   httplib::Server server;
//   server.Post("/x", handler);
//   fakes::LoopbackServer running(server);
//   client_url = running.url();   // "http://127.0.0.1:40123"
#pragma once

#include <httplib.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

namespace fakes {

class LoopbackServer {
 public:
  explicit LoopbackServer(httplib::Server& server, std::string scheme = "http")
      : server_(server), scheme_(std::move(scheme)) {
    // Answers leave at once instead of waiting for the peer's delayed ACK.
    server_.set_tcp_nodelay(true);
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("cannot bind a port on 127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    for (int waited = 0; !server_.is_running(); ++waited) {
      if (waited > 5000) throw std::runtime_error("fake server did not start");
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  ~LoopbackServer() {
    server_.stop();
    thread_.join();
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int port() const { return port_; }
  std::string url() const { return scheme_ + "://127.0.0.1:" + std::to_string(port_); }

 private:
  httplib::Server& server_;
  std::string scheme_;
  int port_ = 0;
  std::thread thread_;
};

}  // namespace fakes
