// Keeps a server of the stand-in service answering while many clients are slow or idle: every
// connection is served on a thread of its own (up to a bound), a connection that takes too long
// to send its request is cut, and every answer is logged.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace httplib {
class Server;
}  // namespace httplib

namespace service {

struct ConnectionLimits {
  // Time a connection has to send its whole request (a TLS handshake included): counted from
  // its acceptance, and again from the end of each answer on a kept-alive connection.
  std::chrono::milliseconds requestTime{10000};
  // Connections served at the same time; more wait for a free thread.
  std::size_t maxConnections = 512;
};

// Makes `server`, bound to `port`, serve each connection on a thread of its own, cut a connection
// that has not sent its request within limits.requestTime (its socket is shut down; it gets no
// answer and no log line), and log each answer as the server `name` (LogRequest). Call it after
// binding and before listening; the threads stay until the server stops, and a stop cuts every
// connection still sending its request.
void GuardConnections(httplib::Server& server, int port, std::string name,
                      const ConnectionLimits& limits);

}  // namespace service
