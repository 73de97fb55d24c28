// velm-sink: a local audit service for development and tests. It takes
// sendEvent requests, writes every accepted event to a file, and can be told
// to fail in the ways a real service fails. See README.md beside this file.
#include <getopt.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "mode.h"
#include "request.h"
#include "server.h"

namespace {

constexpr char kUsage[] =
    "usage: velm-sink [options]\n"
    "  --port N            service port (default 0: any free port)\n"
    "  --control-port N    control port (default 0: any free port)\n"
    "  --host ADDR         address to listen on (default 127.0.0.1)\n"
    "  --events FILE       append accepted events to FILE\n"
    "  --mode MODE         initial mode (default ok)\n"
    "  --user U --password P   require HTTP basic authentication\n"
    "  --cert PEM --key PEM    serve HTTPS\n"
    "  --client-ca PEM     require client certificates signed by this CA\n"
    "  --exit-after SECONDS    exit after this time\n"
    "  --ignore-stdin      keep running when standard input closes\n"
    "  --threads N         worker threads of the service port (default 64)\n"
    "  --verbose           one line per request on stderr\n"
    "  --fast              benchmark acceptance: count event elements, parse nothing, write nothing\n"
    "modes: ok, stopped, http500, clientfault:K, clientfault-all:K, secj, slow:MS, drop, failfirst:N\n";

long number(const char *text, const char *option) {
  char *end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (end == text || *end != 0 || v < 0) {
    std::cerr << "velm-sink: " << option << " needs a number, not '" << text << "'\n";
    std::exit(2);
  }
  return v;
}

}  // namespace

int main(int argc, char **argv) {
  velm::sink::Options options;
  long exitAfter = 0;
  bool watchStdin = true;
  enum {
    kPort = 1,
    kControl,
    kHost,
    kEvents,
    kMode,
    kUser,
    kPassword,
    kCert,
    kKey,
    kCa,
    kExit,
    kStdin,
    kThreads,
    kVerbose,
    kFast
  };
  static const option longOptions[] = {{"port", required_argument, nullptr, kPort},
                                       {"control-port", required_argument, nullptr, kControl},
                                       {"host", required_argument, nullptr, kHost},
                                       {"events", required_argument, nullptr, kEvents},
                                       {"mode", required_argument, nullptr, kMode},
                                       {"user", required_argument, nullptr, kUser},
                                       {"password", required_argument, nullptr, kPassword},
                                       {"cert", required_argument, nullptr, kCert},
                                       {"key", required_argument, nullptr, kKey},
                                       {"client-ca", required_argument, nullptr, kCa},
                                       {"exit-after", required_argument, nullptr, kExit},
                                       {"ignore-stdin", no_argument, nullptr, kStdin},
                                       {"threads", required_argument, nullptr, kThreads},
                                       {"verbose", no_argument, nullptr, kVerbose},
                                       {"fast", no_argument, nullptr, kFast},
                                       {"help", no_argument, nullptr, 'h'},
                                       {nullptr, 0, nullptr, 0}};
  int c;
  while ((c = getopt_long(argc, argv, "h", longOptions, nullptr)) != -1) {
    switch (c) {
      case kPort:
        options.port = static_cast<int>(number(optarg, "--port"));
        break;
      case kControl:
        options.controlPort = static_cast<int>(number(optarg, "--control-port"));
        break;
      case kHost:
        options.host = optarg;
        break;
      case kEvents:
        options.eventsPath = optarg;
        break;
      case kMode: {
        auto mode = velm::sink::parseMode(optarg);
        if (!mode) {
          std::cerr << "velm-sink: unknown mode '" << optarg << "'\n" << kUsage;
          return 2;
        }
        options.mode = *mode;
        break;
      }
      case kUser:
        options.user = optarg;
        break;
      case kPassword:
        options.password = optarg;
        break;
      case kCert:
        options.cert = optarg;
        break;
      case kKey:
        options.key = optarg;
        break;
      case kCa:
        options.clientCa = optarg;
        break;
      case kExit:
        exitAfter = number(optarg, "--exit-after");
        break;
      case kStdin:
        watchStdin = false;
        break;
      case kThreads:
        options.threads = static_cast<int>(std::max(1L, number(optarg, "--threads")));
        break;
      case kVerbose:
        options.verbose = true;
        break;
      case kFast:
        options.fast = true;
        break;
      case 'h':
        std::cout << kUsage;
        return 0;
      default:
        std::cerr << kUsage;
        return 2;
    }
  }
  if (optind != argc || options.cert.empty() != options.key.empty() ||
      (!options.clientCa.empty() && options.cert.empty())) {
    std::cerr << kUsage;
    return 2;
  }

  // Before any thread starts, so every thread inherits the mask and the
  // signals arrive only through the descriptor below.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  int signals = signalfd(-1, &stopSignals, SFD_CLOEXEC);
  // Writing to a connection the peer or a drop mode has closed must not kill us.
  signal(SIGPIPE, SIG_IGN);

  velm::sink::startXml();
  // Never destroyed: once the server has stopped taking requests and closed
  // the events file, the process ends without waiting for worker threads
  // that idle on kept-alive connections until their time-out.
  auto *server = new velm::sink::Server(options);
  if (!server->start()) {
    server->shutdown();
    std::fflush(stderr);
    _exit(1);
  }
  std::printf("port %d\ncontrol %d\n", server->port(), server->controlPort());
  std::fflush(stdout);

  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(exitAfter);
  for (;;) {
    pollfd fds[2] = {{signals, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    int timeout = -1;
    if (exitAfter > 0) {
      auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      timeout = static_cast<int>(std::min<long long>(left.count(), 60000));
    }
    int n = poll(fds, watchStdin ? 2 : 1, timeout);
    if (n < 0 && errno != EINTR) break;
    if (n <= 0) continue;
    if (fds[0].revents != 0) break;
    if (watchStdin && fds[1].revents != 0) {
      // Whatever comes on stdin is ignored; its end means our parent is gone.
      char buf[256];
      ssize_t got = read(STDIN_FILENO, buf, sizeof buf);
      if (got <= 0 && !(got < 0 && errno == EINTR)) break;
    }
  }
  server->shutdown();
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(0);
}
