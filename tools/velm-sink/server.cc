#include "server.h"

#include <dirent.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

namespace velm::sink {
namespace {

constexpr char kXmlType[] = "text/xml; charset=utf-8";
constexpr char kEnvelopeStart[] =
    R"(<?xml version="1.0" encoding="utf-8"?>)"
    R"(<soapenv:Envelope xmlns:soapenv="http://schemas.xmlsoap.org/soap/envelope/")"
    R"( xmlns:xsd="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">)"
    R"(<soapenv:Body>)";
constexpr char kEnvelopeEnd[] = "</soapenv:Body></soapenv:Envelope>";

std::string escapeXml(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void replySuccess(httplib::Response &res) {
  res.status = 200;
  res.set_content(
      std::string(kEnvelopeStart) + R"(<sendEventResponse xmlns="urn:kto:velm:10"/>)" + kEnvelopeEnd,
      kXmlType);
}

// SOAP 1.1 puts faults on HTTP 500.
void replyFault(httplib::Response &res, std::string_view code, std::string_view text,
                std::string_view detail) {
  std::string body = kEnvelopeStart;
  body += "<soapenv:Fault><faultcode>";
  body += code;
  body += "</faultcode><faultstring>" + escapeXml(text) + "</faultstring>";
  if (!detail.empty()) body += "<detail>" + std::string(detail) + "</detail>";
  body += "</soapenv:Fault>";
  body += kEnvelopeEnd;
  res.status = 500;
  res.set_content(body, kXmlType);
}

std::string base64(std::string_view in) {
  static constexpr char kTable[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    unsigned v = (unsigned char)in[i] << 16 | (unsigned char)in[i + 1] << 8 | (unsigned char)in[i + 2];
    out += {kTable[v >> 18 & 63], kTable[v >> 12 & 63], kTable[v >> 6 & 63], kTable[v & 63]};
  }
  if (i + 1 == in.size()) {
    unsigned v = (unsigned char)in[i] << 16;
    out += {kTable[v >> 18 & 63], kTable[v >> 12 & 63], '=', '='};
  } else if (i + 2 == in.size()) {
    unsigned v = (unsigned char)in[i] << 16 | (unsigned char)in[i + 1] << 8;
    out += {kTable[v >> 18 & 63], kTable[v >> 12 & 63], kTable[v >> 6 & 63], '='};
  }
  return out;
}

std::string urlDecode(std::string_view in) {
  std::string out;
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '+') {
      out += ' ';
    } else if (in[i] == '%' && i + 2 < in.size() && std::isxdigit((unsigned char)in[i + 1]) &&
               std::isxdigit((unsigned char)in[i + 2])) {
      out += static_cast<char>(std::stoi(std::string(in.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += in[i];
    }
  }
  return out;
}

std::string addressText(const sockaddr_storage &a) {
  char text[INET6_ADDRSTRLEN] = "";
  if (a.ss_family == AF_INET)
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in &>(a).sin_addr, text, sizeof text);
  else if (a.ss_family == AF_INET6)
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6 &>(a).sin6_addr, text, sizeof text);
  return text;
}

int portOf(const sockaddr_storage &a) {
  if (a.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in &>(a).sin_port);
  if (a.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6 &>(a).sin6_port);
  return -1;
}

// Cuts the connection of the request being handled, so its client gets no
// reply. httplib gives handlers no socket, so it is found by its addresses
// among our descriptors. Only the calling thread's own connection can match,
// and that one stays open while its handler runs; other descriptors may be
// closed by their threads during the scan, which is harmless, and raw system
// calls keep the thread sanitizer from reporting that as a race.
// shutdown() rather than close(): the descriptor stays valid for httplib,
// which then fails to write the reply and closes it.
void dropConnection(const httplib::Request &req) {
  DIR *dir = opendir("/proc/self/fd");
  if (dir == nullptr) return;
  while (dirent *entry = readdir(dir)) {
    char *end = nullptr;
    long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != 0 || fd == dirfd(dir)) continue;
    sockaddr_storage local{}, peer{};
    socklen_t len = sizeof local;
    if (syscall(SYS_getsockname, fd, reinterpret_cast<sockaddr *>(&local), &len) != 0) continue;
    len = sizeof peer;
    if (syscall(SYS_getpeername, fd, reinterpret_cast<sockaddr *>(&peer), &len) != 0) continue;
    if (portOf(local) != req.local_port || portOf(peer) != req.remote_port ||
        addressText(peer) != req.remote_addr)
      continue;
    syscall(SYS_shutdown, fd, SHUT_RDWR);
    break;
  }
  closedir(dir);
}

void reuseAddress(socket_t sock) {
  int yes = 1;
  setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

// The service port also shares with the socket that holds it while stopped.
void reuseAddressAndPort(socket_t sock) {
  int yes = 1;
  setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  setsockopt(sock, SOL_SOCKET, SO_REUSEPORT, &yes, sizeof yes);
}

// A socket bound to host:port, not listening; -1 when the port is taken.
// With shared set it holds the service port while stopped: connections are
// refused, and no other program can take the port until the service listens
// again. Without, it tells whether anyone else listens there, which port
// sharing would otherwise hide.
int bindOnly(const std::string &host, int port, bool shared) {
  sockaddr_storage addr{};
  socklen_t len = 0;
  if (host.find(':') != std::string::npos) {
    auto &a6 = reinterpret_cast<sockaddr_in6 &>(addr);
    a6.sin6_family = AF_INET6;
    a6.sin6_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET6, host.c_str(), &a6.sin6_addr) != 1) return -1;
    len = sizeof a6;
  } else {
    auto &a4 = reinterpret_cast<sockaddr_in &>(addr);
    a4.sin_family = AF_INET;
    a4.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &a4.sin_addr) != 1) return -1;
    len = sizeof a4;
  }
  int fd = socket(addr.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (shared)
    reuseAddressAndPort(fd);
  else
    reuseAddress(fd);
  if (bind(fd, reinterpret_cast<sockaddr *>(&addr), len) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// httplib's stop() does nothing until the accept loop runs, so wait for it.
bool waitRunning(const httplib::Server &server) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!server.is_running()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

std::string rawRequest(const httplib::Request &req) {
  std::string raw = req.method + " " + req.target + " " + req.version + "\r\n";
  for (const auto &[name, value] : req.headers) {
    // httplib adds the connection's addresses as headers; they were not sent.
    if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT")
      continue;
    raw += name + ": " + value + "\r\n";
  }
  raw += "\r\n";
  raw += req.body;
  return raw;
}

}  // namespace

Server::Server(Options options) : options_(std::move(options)), mode_(options_.mode) {}

Server::~Server() {
  shutdown();
  join();
}

std::unique_ptr<httplib::Server> Server::makeService() {
  std::unique_ptr<httplib::Server> server;
  if (!options_.cert.empty()) {
    auto tls =
        std::make_unique<httplib::SSLServer>(options_.cert.c_str(), options_.key.c_str(),
                                             options_.clientCa.empty() ? nullptr : options_.clientCa.c_str());
    if (!tls->is_valid()) {
      std::cerr << "velm-sink: cannot use the certificate, key or client CA files\n";
      return nullptr;
    }
    SSL_CTX_set_min_proto_version(tls->ssl_context(), TLS1_2_VERSION);
    server = std::move(tls);
  } else {
    server = std::make_unique<httplib::Server>();
  }
  server->set_socket_options(reuseAddressAndPort);
  server->set_tcp_nodelay(true);
  // Clients keep their connection across batches; let them.
  server->set_keep_alive_max_count(1000000);
  server->set_keep_alive_timeout(30);
  server->new_task_queue = [n = options_.threads] {
    return new httplib::ThreadPool(static_cast<std::size_t>(n));
  };
  server->Post(".*", [this](const httplib::Request &req, httplib::Response &res) { onEvent(req, res); });
  if (options_.verbose) {
    server->set_logger([](const httplib::Request &req, const httplib::Response &res) {
      std::cerr << "velm-sink: " << req.method << " " << req.path << " " << res.status << "\n";
    });
  }
  return server;
}

bool Server::listenService() {
  auto server = makeService();
  if (!server) return false;
  if (port_ == 0) {
    int port = server->bind_to_any_port(options_.host);
    if (port <= 0) {
      std::cerr << "velm-sink: cannot listen on " << options_.host << "\n";
      return false;
    }
    port_ = port;
  } else {
    // Port sharing would let a second program on the same port go unnoticed.
    if (reserveFd_ < 0) {
      int probe = bindOnly(options_.host, port_, false);
      if (probe < 0) {
        std::cerr << "velm-sink: port " << port_ << " on " << options_.host << " is in use\n";
        return false;
      }
      close(probe);
    }
    if (!server->bind_to_port(options_.host, port_)) {
      std::cerr << "velm-sink: cannot listen on " << options_.host << ":" << port_ << "\n";
      return false;
    }
  }
  // The new socket listens now; the reservation has done its job.
  if (reserveFd_ >= 0) {
    close(reserveFd_);
    reserveFd_ = -1;
  }
  httplib::Server *s = server.get();
  service_.server = std::move(server);
  service_.thread = std::thread([s] { s->listen_after_bind(); });
  return waitRunning(*s);
}

void Server::closeService() {
  if (!service_.server) return;
  reserveFd_ = bindOnly(options_.host, port_, true);
  if (reserveFd_ < 0) std::cerr << "velm-sink: could not reserve port " << port_ << " while stopped\n";
  // Requests still arriving on connections kept alive are dropped by the
  // handler, so the client sees the service gone there too.
  service_.server->stop();
  retired_.push_back(std::move(service_));
  service_ = {};
}

bool Server::start() {
  if (!options_.eventsPath.empty()) {
    events_ = std::fopen(options_.eventsPath.c_str(), "ae");
    if (events_ == nullptr) {
      std::cerr << "velm-sink: cannot open " << options_.eventsPath << ": " << std::strerror(errno) << "\n";
      return false;
    }
  }
  std::unique_lock life(lifeMutex_);
  port_ = options_.port;
  if (!listenService()) return false;
  if (options_.mode.kind == ModeKind::stopped) closeService();

  auto control = std::make_unique<httplib::Server>();
  control->set_socket_options(reuseAddress);
  control->new_task_queue = [] { return new httplib::ThreadPool(4); };
  auto handler = [this](const httplib::Request &req, httplib::Response &res) { onControl(req, res); };
  control->Get("/stats", handler);
  control->Get("/mode", handler);
  control->Get("/last-request", handler);
  control->Post("/control", handler);
  control->Post("/mode", handler);
  controlPort_ =
      options_.controlPort == 0
          ? control->bind_to_any_port(options_.host)
          : (control->bind_to_port(options_.host, options_.controlPort) ? options_.controlPort : -1);
  if (controlPort_ <= 0) {
    std::cerr << "velm-sink: cannot listen for control on " << options_.host << "\n";
    return false;
  }
  httplib::Server *c = control.get();
  control_.server = std::move(control);
  control_.thread = std::thread([c] { c->listen_after_bind(); });
  return waitRunning(*c);
}

void Server::shutdown() {
  {
    std::scoped_lock lock(mutex_);
    exiting_ = true;
  }
  wake_.notify_all();
  {
    std::scoped_lock life(lifeMutex_);
    if (down_) return;
    down_ = true;
    for (Listener *l : {&service_, &control_})
      if (l->server) l->server->stop();
    if (reserveFd_ >= 0) close(reserveFd_);
    reserveFd_ = -1;
  }
  // From here on a request that would be recorded is dropped instead: a
  // success reply for an event that is not in the file would be a lie.
  std::scoped_lock file(fileMutex_);
  if (events_ != nullptr) std::fclose(events_);
  events_ = nullptr;
}

void Server::join() {
  std::scoped_lock life(lifeMutex_);
  for (Listener *l : {&service_, &control_})
    if (l->thread.joinable()) l->thread.join();
  for (Listener &l : retired_)
    if (l.thread.joinable()) l.thread.join();
}

bool Server::applyMode(const Mode &mode, std::string &error) {
  std::scoped_lock life(lifeMutex_);
  if (down_) {
    error = "shutting down";
    return false;
  }
  Mode previous;
  {
    std::scoped_lock lock(mutex_);
    previous = mode_;
    mode_ = mode;
    if (mode_.kind == ModeKind::failfirst && mode_.arg == 0) mode_ = {};
  }
  if (mode.kind == ModeKind::stopped) {
    closeService();
  } else if (!service_.server && !listenService()) {
    std::scoped_lock lock(mutex_);
    mode_ = previous;
    error = "cannot listen on port " + std::to_string(port_) + " again";
    return false;
  }
  return true;
}

bool Server::authorized(const httplib::Request &req) const {
  if (options_.user.empty()) return true;
  std::string header = req.get_header_value("Authorization");
  constexpr std::string_view kScheme = "basic ";
  if (header.size() <= kScheme.size() || strncasecmp(header.c_str(), kScheme.data(), kScheme.size()) != 0)
    return false;
  std::string_view token = std::string_view(header).substr(kScheme.size());
  while (!token.empty() && token.front() == ' ') token.remove_prefix(1);
  while (!token.empty() && token.back() == ' ') token.remove_suffix(1);
  return token == base64(options_.user + ":" + options_.password);
}

void Server::waitMillis(long ms) {
  std::unique_lock lock(mutex_);
  wake_.wait_until(lock, std::chrono::steady_clock::now() + std::chrono::milliseconds(ms),
                   [this] { return exiting_; });
}

bool Server::record(const SendEventRequest &request) {
  std::scoped_lock file(fileMutex_);
  if (events_ == nullptr) return options_.eventsPath.empty();
  for (const ReceivedEvent &e : request.events) {
    std::string line = e.globalInstanceId;
    line += '\t';
    for (char c : e.xml) line += (c == '\n' || c == '\r') ? ' ' : c;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), events_);
  }
  if (std::fflush(events_) != 0 || std::ferror(events_) != 0) {
    std::cerr << "velm-sink: cannot write " << options_.eventsPath << ": " << std::strerror(errno) << "\n";
    std::clearerr(events_);
    return false;
  }
  return true;
}

void Server::onEvent(const httplib::Request &req, httplib::Response &res) {
  Mode mode;
  bool failNow = false;
  {
    std::scoped_lock lock(mutex_);
    ++stats_.requests;
    lastRequest_ = rawRequest(req);
    mode = mode_;
  }
  // A connection accepted just before the port closed: treat it as refused.
  if (mode.kind == ModeKind::stopped || mode.kind == ModeKind::drop) {
    {
      // Counted first: the client may ask for the statistics as soon as it sees the drop.
      std::scoped_lock lock(mutex_);
      ++stats_.drops;
    }
    dropConnection(req);
    return;
  }
  if (!authorized(req)) {
    res.status = 401;
    res.set_header("WWW-Authenticate", R"(Basic realm="velm-sink")");
    res.set_content("authentication required\n", "text/plain");
    std::scoped_lock lock(mutex_);
    ++stats_.unauthorized;
    return;
  }
  {
    // failfirst counts down from the moment it was set, whatever came before.
    std::scoped_lock lock(mutex_);
    if (mode_.kind == ModeKind::failfirst && mode_.arg > 0) {
      failNow = true;
      if (--mode_.arg == 0) mode_ = {};
    }
  }
  if (failNow) {
    res.status = 503;
    res.set_content("service unavailable\n", "text/plain");
    std::scoped_lock lock(mutex_);
    ++stats_.errors;
    return;
  }
  switch (mode.kind) {
    case ModeKind::http500: {
      res.status = 500;
      res.set_content("internal server error\n", "text/plain");
      std::scoped_lock lock(mutex_);
      ++stats_.errors;
      return;
    }
    case ModeKind::secj: {
      replyFault(res, "soapenv:Server",
                 "SECJ0053E: Authorization failed: the caller holds no role that may call sendEvent", "");
      std::scoped_lock lock(mutex_);
      ++stats_.faults;
      return;
    }
    case ModeKind::slow:
      waitMillis(mode.arg);
      break;
    default:
      break;
  }

  if (options_.fast) {
    onFastRequest(req, res, mode);
    return;
  }
  SendEventRequest request;
  std::string error;
  if (!parseSendEvent(req.body, request, error)) {
    replyFault(res, "soapenv:Server", "velm-sink: malformed sendEvent request: " + error, "");
    std::scoped_lock lock(mutex_);
    ++stats_.malformed;
    return;
  }
  if (request.probe) {
    replySuccess(res);
    std::scoped_lock lock(mutex_);
    ++stats_.probes;
    return;
  }
  std::size_t n = request.events.size();
  if ((mode.kind == ModeKind::clientfault && n > 1) || (mode.kind == ModeKind::clientfaultAll && n > 0)) {
    long failed = n == 1 ? 1 : mode.arg;
    replyFault(res, "soapenv:client",
               "Event " + std::to_string(failed) + " of the request is not a valid event",
               "<failedevent>" + std::to_string(failed) + "</failedevent>");
    std::scoped_lock lock(mutex_);
    ++stats_.faults;
    return;
  }
  // Written before the reply leaves, so a client that saw success finds its
  // events. Events that could not be written get no reply at all.
  if (!record(request)) {
    {
      std::scoped_lock lock(mutex_);
      ++stats_.drops;
    }
    dropConnection(req);
    return;
  }
  replySuccess(res);
  std::scoped_lock lock(mutex_);
  stats_.events += static_cast<long>(n);
}

namespace {
// The "event" elements of a request body: start tags named "event", with or
// without a namespace prefix.
std::size_t countEventElements(std::string_view body) {
  auto nameChar = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.';
  };
  std::size_t n = 0;
  for (std::size_t at = body.find("event"); at != std::string_view::npos; at = body.find("event", at + 5)) {
    const char next = at + 5 < body.size() ? body[at + 5] : '\0';
    if (at == 0 || (next != '>' && next != ' ' && next != '/')) continue;
    std::size_t start = at - 1;
    if (body[start] == ':') {
      while (start > 0 && nameChar(body[start - 1])) --start;
      if (start == 0 || start + 1 == at) continue;
      --start;
    }
    if (body[start] == '<') ++n;
  }
  return n;
}
}  // namespace

void Server::onFastRequest(const httplib::Request &req, httplib::Response &res, const Mode &mode) {
  const std::size_t n = countEventElements(req.body);
  if (n == 0 || req.body.find("sendEvent") == std::string::npos) {
    replyFault(res, "soapenv:Server", "velm-sink: malformed sendEvent request: no event elements", "");
    std::scoped_lock lock(mutex_);
    ++stats_.malformed;
    return;
  }
  if (n == 1 && req.body.find("<CommonBaseEvent/>") != std::string::npos) {
    replySuccess(res);
    std::scoped_lock lock(mutex_);
    ++stats_.probes;
    return;
  }
  if ((mode.kind == ModeKind::clientfault && n > 1) || (mode.kind == ModeKind::clientfaultAll && n > 0)) {
    long failed = n == 1 ? 1 : mode.arg;
    replyFault(res, "soapenv:client", "Event " + std::to_string(failed) + " of the request is not a valid event",
               "<failedevent>" + std::to_string(failed) + "</failedevent>");
    std::scoped_lock lock(mutex_);
    ++stats_.faults;
    return;
  }
  replySuccess(res);
  std::scoped_lock lock(mutex_);
  stats_.events += static_cast<long>(n);
}

void Server::onControl(const httplib::Request &req, httplib::Response &res) {
  if (req.path == "/stats") {
    std::string text;
    {
      std::scoped_lock lock(mutex_);
      const Stats &s = stats_;
      text = "requests " + std::to_string(s.requests) + "\nevents " + std::to_string(s.events) + "\nprobes " +
             std::to_string(s.probes) + "\nfaults " + std::to_string(s.faults) + "\nerrors " +
             std::to_string(s.errors) + "\ndrops " + std::to_string(s.drops) + "\nunauthorized " +
             std::to_string(s.unauthorized) + "\nmalformed " + std::to_string(s.malformed) + "\nmode " +
             modeText(mode_) + "\n";
    }
    res.set_content(text, "text/plain");
  } else if (req.path == "/last-request") {
    std::scoped_lock lock(mutex_);
    res.set_content(lastRequest_, "application/octet-stream");
  } else if (req.method == "GET") {  // /mode
    std::scoped_lock lock(mutex_);
    res.set_content(modeText(mode_) + "\n", "text/plain");
  } else {
    std::string text;
    if (req.has_param("mode")) {
      text = req.get_param_value("mode");
    } else {
      std::string_view body = req.body;
      if (body.starts_with("mode=")) body.remove_prefix(5);
      text = urlDecode(body);
    }
    std::optional<Mode> mode = parseMode(text);
    std::string error;
    if (!mode) {
      res.status = 400;
      res.set_content("unknown mode: " + text + "\n", "text/plain");
    } else if (!applyMode(*mode, error)) {
      res.status = 500;
      res.set_content(error + "\n", "text/plain");
    } else {
      res.set_content("mode " + modeText(*mode) + "\n", "text/plain");
    }
  }
}

}  // namespace velm::sink
