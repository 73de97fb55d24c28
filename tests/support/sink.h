// velm::test::Sink runs tools/velm-sink as a child process for one test: a
// local audit service on a free port whose events, statistics and fault modes
// the test reads and sets. velm::test::testCerts() makes the HTTPS test
// certificates once per test process.
//
//   velm::test::Sink sink;                       // plain HTTP, mode "ok"
//   ... point serverURL at sink.url(), send ...
//   ASSERT_TRUE(sink.waitForEvents(3));
//   EXPECT_EQ(sink.eventIds(), expectedIds);
//   sink.setMode("clientfault:3");               // modes: tools/velm-sink/README.md
//
// Header-only; needs the compile definitions VELM_SINK_PATH (the sink binary)
// and VELM_SOURCE_DIR (the source tree, for the certificate script), which
// tests/CMakeLists.txt gives every test.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

namespace velm::test {

namespace sink_detail {

// A directory under $TMPDIR (or /tmp) removed with everything in it.
class TempDir {
 public:
  explicit TempDir(const std::string &prefix) {
    const char *base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/" + prefix + "XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
      throw std::runtime_error("mkdtemp " + pattern + ": " + std::strerror(errno));
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  const std::string &path() const { return path_; }

 private:
  std::string path_;
};

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(Fd &&o) noexcept : fd_(o.release()) {}
  Fd &operator=(Fd &&o) noexcept {
    if (this != &o) {
      reset();
      fd_ = o.release();
    }
    return *this;
  }
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

// Pipes are close-on-exec, so no other child of the test process holds
// them and the sink sees its stdin close when this process goes away.
inline void makePipe(Fd &read, Fd &write) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe2: ") + std::strerror(errno));
  read = Fd(fds[0]);
  write = Fd(fds[1]);
}

// Starts argv[0] with stdin and stdout on the given descriptors (-1: inherit).
inline pid_t spawn(const std::vector<std::string> &args, int in, int out) {
  std::vector<char *> argv;
  for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (in >= 0) posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
  if (out >= 0) posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
  // The child starts with no signal blocked, whatever the spawning thread blocks.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(rc));
  return pid;
}

// Waits for the child up to the deadline; true once it is reaped.
inline bool reap(pid_t pid, std::chrono::milliseconds timeout, int *status = nullptr) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int st = 0;
    pid_t r = waitpid(pid, &st, WNOHANG);
    if (r == pid || (r < 0 && errno != EINTR)) {
      if (status != nullptr) *status = st;
      return true;
    }
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

struct HttpReply {
  int status = 0;
  std::string body;
};

// One request on a fresh connection to 127.0.0.1; enough for the control
// port, and free of any HTTP library the test itself may be exercising.
inline HttpReply httpRequest(int port, const std::string &method, const std::string &path,
                             const std::string &body = {}) {
  Fd sock(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (sock.get() < 0) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
  timeval tv{30, 0};
  setsockopt(sock.get(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(sock.get(), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(sock.get(), reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0)
    throw std::runtime_error("connect to the sink's control port: " + std::string(std::strerror(errno)));
  std::string request = method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
  if (method == "POST")
    request +=
        "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\n";
  request += "\r\n" + body;
  for (std::size_t sent = 0; sent < request.size();) {
    ssize_t n = ::send(sock.get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      throw std::runtime_error("send to the sink's control port: " + std::string(std::strerror(errno)));
    sent += static_cast<std::size_t>(n);
  }
  std::string raw;
  char buf[8192];
  for (;;) {
    ssize_t n = ::recv(sock.get(), buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0)
      throw std::runtime_error("no reply from the sink's control port: " + std::string(std::strerror(errno)));
    if (n == 0) break;
    raw.append(buf, static_cast<std::size_t>(n));
  }
  HttpReply reply;
  std::size_t headerEnd = raw.find("\r\n\r\n");
  if (raw.rfind("HTTP/1.", 0) != 0 || headerEnd == std::string::npos || raw.size() < 12)
    throw std::runtime_error("malformed reply from the sink's control port");
  reply.status = std::atoi(raw.c_str() + 9);
  reply.body = raw.substr(headerEnd + 4);
  return reply;
}

inline std::string formEncode(const std::string &text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace sink_detail

// The files of tools/make-test-certs.sh, made once per test process into a
// temporary directory that goes away when the process ends.
class TestCerts {
 public:
  TestCerts() : dir_("velm-certs-") {
    int status = 0;
    pid_t pid = sink_detail::spawn(
        {"/bin/bash", std::string(VELM_SOURCE_DIR) + "/tools/make-test-certs.sh", dir_.path()}, -1, -1);
    if (!sink_detail::reap(pid, std::chrono::minutes(2), &status)) {
      kill(pid, SIGKILL);
      sink_detail::reap(pid, std::chrono::seconds(10));
      throw std::runtime_error("make-test-certs.sh did not finish");
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("make-test-certs.sh failed");
    std::ifstream in(file("password.txt"));
    std::getline(in, password_);
  }

  const std::string &dir() const { return dir_.path(); }
  std::string file(const std::string &name) const { return dir_.path() + "/" + name; }
  std::string ca() const { return file("ca.pem"); }
  std::string serverCert() const { return file("server.pem"); }  // 127.0.0.1 and localhost
  std::string serverKey() const { return file("server.key"); }
  std::string otherCert() const { return file("other.pem"); }  // other.example only
  std::string otherKey() const { return file("other.key"); }
  std::string clientCert() const { return file("client.pem"); }
  std::string clientKey() const { return file("client.key"); }
  std::string store() const { return file("store.p12"); }          // CA plus client identity
  std::string caOnlyStore() const { return file("ca-only.p12"); }  // CA, no client identity
  std::string wrongCaStore() const { return file("wrong-ca.p12"); }
  std::string passwordFile() const { return file("password.txt"); }
  const std::string &password() const { return password_; }

 private:
  sink_detail::TempDir dir_;
  std::string password_;
};

inline const TestCerts &testCerts() {
  static const TestCerts certs;
  return certs;
}

struct SinkOptions {
  std::string mode = "ok";         // initial mode
  bool https = false;              // serve HTTPS with a certificate of testCerts()
  bool otherHostCert = false;      // with https: the certificate for other.example only
  bool requireClientCert = false;  // with https: require a client certificate of the test CA
  std::string user;                // basic authentication when not empty
  std::string password;
  std::vector<std::string> args;  // further velm-sink options

  // Chainable setters: Sink sink(SinkOptions().withHttps().withMode("secj"));
  SinkOptions &withMode(std::string m) { return mode = std::move(m), *this; }
  SinkOptions &withHttps() { return https = true, *this; }
  SinkOptions &withOtherHostCert() { return https = otherHostCert = true, *this; }
  SinkOptions &withClientCertRequired() { return https = requireClientCert = true, *this; }
  SinkOptions &withAuth(std::string u, std::string p) {
    return user = std::move(u), password = std::move(p), *this;
  }
  SinkOptions &withArgs(std::vector<std::string> a) { return args = std::move(a), *this; }
};

struct SinkStats {
  long requests = 0;
  long events = 0;
  long probes = 0;
  long faults = 0;
  long errors = 0;
  long drops = 0;
  long unauthorized = 0;
  long malformed = 0;
  std::string mode;
};

struct SinkEvent {
  std::string globalInstanceId;
  std::string xml;
};

class Sink {
 public:
  explicit Sink(const SinkOptions &options = {}) : dir_("velm-sink-"), https_(options.https) {
    eventsPath_ = dir_.path() + "/events.txt";
    // VELM_SINK_BINARY runs the tests against another build of the sink (a sanitizer build, say).
    const char *binary = std::getenv("VELM_SINK_BINARY");
    std::vector<std::string> args = {binary != nullptr && *binary != 0 ? binary : VELM_SINK_PATH, "--events",
                                     eventsPath_, "--mode", options.mode};
    if (options.https) {
      const TestCerts &certs = testCerts();
      args.insert(args.end(), {"--cert", options.otherHostCert ? certs.otherCert() : certs.serverCert(),
                               "--key", options.otherHostCert ? certs.otherKey() : certs.serverKey()});
      if (options.requireClientCert) args.insert(args.end(), {"--client-ca", certs.ca()});
    }
    if (!options.user.empty())
      args.insert(args.end(), {"--user", options.user, "--password", options.password});
    // A safety net should this process be stopped in a debugger and forgotten.
    args.insert(args.end(), {"--exit-after", "3600"});
    args.insert(args.end(), options.args.begin(), options.args.end());

    sink_detail::Fd inRead, outRead, outWrite;
    sink_detail::makePipe(inRead, stdin_);
    sink_detail::makePipe(outRead, outWrite);
    pid_ = sink_detail::spawn(args, inRead.get(), outWrite.get());
    inRead.reset();
    outWrite.reset();
    try {
      readPorts(outRead.get());
    } catch (...) {
      finish();
      throw;
    }
  }

  ~Sink() { finish(); }
  Sink(const Sink &) = delete;
  Sink &operator=(const Sink &) = delete;

  int port() const { return port_; }
  int controlPort() const { return controlPort_; }
  bool https() const { return https_; }
  std::string url() const {
    return std::string(https_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) +
           "/velmws/services/Emitter";
  }
  const std::string &eventsPath() const { return eventsPath_; }
  pid_t pid() const { return pid_; }

  // Mode texts as on the sink's command line: "ok", "stopped", "http500",
  // "clientfault:3", "clientfault-all:1", "secj", "slow:500", "drop",
  // "failfirst:2". Throws when the sink refuses the mode.
  void setMode(const std::string &mode) const {
    auto reply =
        sink_detail::httpRequest(controlPort_, "POST", "/control", "mode=" + sink_detail::formEncode(mode));
    if (reply.status != 200) throw std::runtime_error("velm-sink refused mode '" + mode + "': " + reply.body);
  }
  // The service port refuses connections until start().
  void stop() const { setMode("stopped"); }
  void start() const { setMode("ok"); }

  SinkStats stats() const {
    auto reply = sink_detail::httpRequest(controlPort_, "GET", "/stats");
    SinkStats s;
    std::istringstream in(reply.body);
    std::string key;
    while (in >> key) {
      if (key == "mode") {
        in >> s.mode;
        continue;
      }
      long value = 0;
      in >> value;
      if (key == "requests")
        s.requests = value;
      else if (key == "events")
        s.events = value;
      else if (key == "probes")
        s.probes = value;
      else if (key == "faults")
        s.faults = value;
      else if (key == "errors")
        s.errors = value;
      else if (key == "drops")
        s.drops = value;
      else if (key == "unauthorized")
        s.unauthorized = value;
      else if (key == "malformed")
        s.malformed = value;
    }
    return s;
  }

  // The last request to the service port: request line, headers (in
  // alphabetical order) and the body exactly as received.
  std::string lastRequest() const {
    return sink_detail::httpRequest(controlPort_, "GET", "/last-request").body;
  }

  // The accepted events in arrival order.
  std::vector<SinkEvent> events() const {
    std::vector<SinkEvent> out;
    std::ifstream in(eventsPath_, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t start = 0;
    // A line still being written has no newline yet; it is left for later.
    for (std::size_t nl; (nl = all.find('\n', start)) != std::string::npos; start = nl + 1) {
      std::string line = all.substr(start, nl - start);
      std::size_t tab = line.find('\t');
      if (tab == std::string::npos)
        out.push_back({line, {}});
      else
        out.push_back({line.substr(0, tab), line.substr(tab + 1)});
    }
    return out;
  }

  std::vector<std::string> eventIds() const {
    std::vector<std::string> ids;
    for (SinkEvent &e : events()) ids.push_back(std::move(e.globalInstanceId));
    return ids;
  }

  // Waits until at least n events arrived; false after the timeout. Asks
  // the sink's counter, so waiting stays cheap however large the file grows;
  // the counter moves only after the events are in the file.
  bool waitForEvents(std::size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(60)) const {
    return waitUntil([&] { return stats().events >= static_cast<long>(n); }, timeout);
  }

  // Waits until the statistics satisfy pred; false after the timeout.
  bool waitForStats(const std::function<bool(const SinkStats &)> &pred,
                    std::chrono::milliseconds timeout = std::chrono::seconds(60)) const {
    return waitUntil([&] { return pred(stats()); }, timeout);
  }

 private:
  template <typename Pred>
  static bool waitUntil(Pred pred, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      if (pred()) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  // The sink prints "port N" and "control N" first; anything else, or its
  // exit, means it could not start.
  void readPorts(int fd) {
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (port_ <= 0 || controlPort_ <= 0) {
      auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) throw std::runtime_error("velm-sink did not print its ports");
      pollfd p{fd, POLLIN, 0};
      int n = poll(&p, 1, static_cast<int>(left.count()));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) continue;
      char buf[256];
      ssize_t got = ::read(fd, buf, sizeof buf);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) throw std::runtime_error("velm-sink exited before printing its ports: " + text);
      text.append(buf, static_cast<std::size_t>(got));
      std::istringstream in(text);
      std::string line;
      while (std::getline(in, line)) {
        if (line.rfind("port ", 0) == 0) port_ = std::atoi(line.c_str() + 5);
        if (line.rfind("control ", 0) == 0) controlPort_ = std::atoi(line.c_str() + 8);
      }
    }
  }

  // Closing stdin asks the sink to exit; it is killed if it does not.
  void finish() {
    stdin_.reset();
    if (pid_ <= 0) return;
    if (!sink_detail::reap(pid_, std::chrono::seconds(20))) {
      kill(pid_, SIGKILL);
      sink_detail::reap(pid_, std::chrono::seconds(20));
    }
    pid_ = -1;
  }

  sink_detail::TempDir dir_;
  bool https_;
  std::string eventsPath_;
  sink_detail::Fd stdin_;
  pid_t pid_ = -1;
  int port_ = 0;
  int controlPort_ = 0;
};

}  // namespace velm::test
