// The sink's two listeners: the service port that takes sendEvent requests and
// the control port that switches modes and reports what arrived.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mode.h"
#include "request.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace velm::sink {

struct Options {
  std::string host = "127.0.0.1";
  int port = 0;
  int controlPort = 0;
  std::string eventsPath;  // empty: events are not written anywhere
  Mode mode;
  std::string user;  // basic authentication when not empty
  std::string password;
  std::string cert;  // TLS when cert and key are given
  std::string key;
  std::string clientCa;  // require and verify client certificates
  int threads = 64;      // worker threads of the service port; each open connection holds one
  bool verbose = false;
  // Benchmark acceptance: requests are judged by counting their "event"
  // elements, without parsing them, and accepted events are not written.
  bool fast = false;
};

struct Stats {
  long requests = 0;      // every request to the service port
  long events = 0;        // events accepted and written
  long probes = 0;        // service probes answered with success
  long faults = 0;        // SOAP faults given (client fault, SECJ0053E)
  long errors = 0;        // HTTP 500 and 503 replies without SOAP
  long drops = 0;         // connections closed without a reply
  long unauthorized = 0;  // 401 replies
  long malformed = 0;     // requests that were not a sendEvent envelope
};

class Server {
 public:
  explicit Server(Options options);
  ~Server();
  Server(const Server &) = delete;
  Server &operator=(const Server &) = delete;

  // Binds both ports; false with a reason on stderr when that fails.
  bool start();
  // Stops both listeners and closes the events file; idempotent. Worker
  // threads may still be busy with connections kept alive afterwards.
  void shutdown();
  // Waits for every thread; after shutdown(). Kept-alive connections can
  // hold this up to their idle time-out, so the program exits without it.
  void join();

  int port() const { return port_; }
  int controlPort() const { return controlPort_; }

 private:
  struct Listener {
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
  };

  std::unique_ptr<httplib::Server> makeService();
  bool listenService();  // bind port_ (0 the first time) and serve; lifeMutex_ held
  void closeService();   // stop listening, keep the port reserved; lifeMutex_ held
  bool applyMode(const Mode &mode, std::string &error);

  void onEvent(const httplib::Request &req, httplib::Response &res);
  void onControl(const httplib::Request &req, httplib::Response &res);
  // The rest of onEvent under --fast, after the mode's own replies.
  void onFastRequest(const httplib::Request &req, httplib::Response &res, const Mode &mode);
  bool authorized(const httplib::Request &req) const;
  bool record(const SendEventRequest &request);  // false: not written
  void waitMillis(long ms);

  Options options_;
  int port_ = 0;
  int controlPort_ = 0;

  std::mutex lifeMutex_;  // guards the service listener's life and mode changes
  Listener service_;
  std::vector<Listener> retired_;  // stopped listeners, joined at shutdown
  int reserveFd_ = -1;             // holds the port while stopped
  Listener control_;
  bool down_ = false;

  mutable std::mutex mutex_;  // guards everything below
  Mode mode_;
  Stats stats_;
  std::string lastRequest_;
  std::condition_variable wake_;  // ends slow replies at shutdown
  bool exiting_ = false;

  std::mutex fileMutex_;  // one request's events stay together in the file
  std::FILE *events_ = nullptr;
};

}  // namespace velm::sink
