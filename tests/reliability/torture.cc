// Crash and outage torture of the delivery path.
//
// The driver starts the local audit service (velm-sink) and, one after the
// other, child processes of this same program that send events with known
// ids through the public interface from several threads, all on one
// diskCachePath. A child appends an id to its own log only after
// VELM_AuditClient_SendEvent returned 0 for it. The driver kills children
// with SIGKILL at random moments, lets others end cleanly after an outage,
// switches the sink between its modes meanwhile, and lets a last child
// drain the cache. Then it judges:
//   - every id of a cleanly ended child arrives;
//   - "always": every logged id arrives;
//   - every id that sat in a complete cache record (from its checkpoint on)
//     when a child was killed arrives;
//   - "auto": what a kill loses is at most what that child held in memory
//     (accepted, neither delivered nor in a cache file at the kill), and no
//     more than its queue and its threads can hold;
//   - an id arrives twice only if it was in a cache record past the
//     checkpoint at a kill, or if the sink cut a reply by a mode switch.
// Everything random comes from --seed, so a failing run can be replayed.
//
//   reliability_torture [--mode auto|always] [--trials N] [--outages N] [--seed S]
//                       [--work DIR] [--keep]
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "support/sink.h"
#include "velm.h"

namespace {

using Clock = std::chrono::steady_clock;

// Queue and thread settings of every child; the in-memory bound of a kill
// is derived from them.
constexpr int kQueueSize = 200;
constexpr int kTransferSize = 10;
constexpr int kEQThreads = 2;
constexpr int kSenders = 4;
constexpr int kResponseTimeout = 10;  // above every slow mode used, so no reply is given up on

// ---- Child ---------------------------------------------------------------

struct ChildArgs {
  std::string mode, cache, url, log, tag, errors;
  int senders = kSenders;
  int pauseMs = 5;
};

struct Prop {
  const char *name;
  bool isInt;
  std::string text;
  int32_t value;
};

VELM_AuditEvent *makeEvent(VELM_AuditClientContext *ctx, const std::string &id) {
  VELM_result r{0, 0, nullptr};
  VELM_AuditEvent *event = VELM_AuditEvent_Create(ctx, "AUDIT_COMPLIANCE", &r);
  bool ok = event != nullptr;
  if (ok) {
    VELM_ComponentId *source = VELM_ComponentId_Create(ctx, "app01.example.com", "FQHostname", "torture", "linux",
                                                       "client", "Server", "ProductName", "queue", "inst-1", "4711",
                                                       "12", &r);
    if (source == nullptr) {
      ok = false;
    } else if (VELM_AuditEvent_AddComponentIdElement(event, "sourceComponentId", source, 0, &r) == nullptr) {
      VELM_ComponentId_Delete(ctx, source, &r);
      ok = false;
    }
  }
  if (ok) {
    VELM_Outcome *outcome = VELM_Outcome_Create(ctx, "SUCCESSFUL", 0, 0, "torture", &r);
    if (outcome == nullptr) {
      ok = false;
    } else if (VELM_AuditEvent_AddOutcomeElement(event, "outcome", outcome, 0, &r) == nullptr) {
      VELM_Outcome_Delete(ctx, outcome, &r);
      ok = false;
    }
  }
  ok = ok && VELM_AuditEvent_AddStringElement(event, "complianceStatus", "compliant", 1, &r) != nullptr;
  ok = ok && VELM_AuditEvent_AddStringElement(event, "globalInstanceId", id.c_str(), 1, &r) != nullptr;
  if (!ok && event != nullptr) {
    VELM_AuditEvent_Delete(event, &r);
    event = nullptr;
  }
  VELM_Result_Clean(&r);
  return event;
}

bool hasMessage(const VELM_result &r, int code) {
  for (int i = 0; i < r.numErrors; ++i)
    if (r.errors[i].code == code) return true;
  return false;
}

// Sends until standard input closes, then ends the client and context
// cleanly. Exit 0 clean; 3 when something was discarded (message 67); 2 on
// set-up failure.
int runChild(const ChildArgs &a) {
  const int log = ::open(a.log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (log < 0) return 2;
  std::vector<Prop> props = {
      {"serverURL", false, a.url, 0},          {"elementCodeSet", false, "UTF8", 0},
      {"errorFilePath", false, a.errors, 0},   {"useDiskCache", false, a.mode, 0},
      {"diskCachePath", false, a.cache, 0},    {"numberEQThreads", true, {}, kEQThreads},
      {"numberCMThreads", true, {}, 2},        {"transferSize", true, {}, kTransferSize},
      {"hiWater", true, {}, 50},               {"queueSize", true, {}, kQueueSize},
      {"flushInterval", true, {}, 1},          {"numberRetries", true, {}, 1},
      {"retryInterval", true, {}, 1},          {"rebindInterval", true, {}, 1},
      {"shutDownTimeout", true, {}, -1},       {"tempStorageFullTimeout", true, {}, -1},
      {"maxCacheFileSize", true, {}, 10240},   {"responseTimeout", true, {}, kResponseTimeout},
  };
  std::vector<VELM_Property> list;
  for (const Prop &p : props)
    list.push_back({p.name, p.isInt ? VELM_VT_INTEGER : VELM_VT_STRING,
                    p.isInt ? static_cast<const void *>(&p.value) : p.text.c_str()});
  list.push_back({nullptr, 0, nullptr});
  VELM_result r{0, 0, nullptr};
  VELM_AuditClientContext *ctx = VELM_AuditClientContext_Create(list.data(), &r);
  if (ctx == nullptr) {
    std::fprintf(stderr, "child %s: context: %s\n", a.tag.c_str(), r.numErrors ? r.errors[0].message : "?");
    return 2;
  }
  VELM_Result_Clean(&r);
  VELM_AuditClient *client = VELM_AuditClient_Create(ctx, &r);
  if (client == nullptr) {
    std::fprintf(stderr, "child %s: client: %s\n", a.tag.c_str(), r.numErrors ? r.errors[0].message : "?");
    return 2;
  }
  VELM_Result_Clean(&r);
  std::atomic<bool> stop{false};
  std::vector<std::thread> senders;
  for (int t = 0; t < a.senders; ++t)
    senders.emplace_back([&, t] {
      for (long n = 0; !stop.load(); ++n) {
        const std::string id = a.tag + "-" + std::to_string(t) + "-" + std::to_string(n);
        VELM_AuditEvent *e = makeEvent(ctx, id);
        if (e == nullptr) continue;
        VELM_result sr{0, 0, nullptr};
        if (VELM_AuditClient_SendEvent(client, e, &sr) == 0) {
          // One write(2) per id: in the kernel, and so safe from SIGKILL,
          // before the next send starts.
          const std::string line = id + "\n";
          if (::write(log, line.data(), line.size()) != static_cast<ssize_t>(line.size())) std::abort();
        } else {
          VELM_AuditEvent_Delete(e, &sr);
        }
        VELM_Result_Clean(&sr);
        if (a.pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(a.pauseMs));
      }
    });
  char c;
  while (::read(0, &c, 1) > 0) {
  }
  stop = true;
  for (std::thread &s : senders) s.join();
  const int rc = VELM_AuditClient_Delete(client, &r);
  const bool discarded = hasMessage(r, 67);
  VELM_Result_Clean(&r);
  VELM_AuditClientContext_Delete(ctx, &r);
  VELM_Result_Clean(&r);
  ::close(log);
  if (rc != 0) return 2;
  return discarded ? 3 : 0;
}

// ---- Driver --------------------------------------------------------------

std::string readAll(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> lines(const std::string &path) {
  std::vector<std::string> out;
  std::istringstream in(readAll(path));
  for (std::string l; std::getline(in, l);)
    if (!l.empty()) out.push_back(l);
  return out;
}

// The ids of the complete records of every cache file from its checkpoint
// on, read with zlib directly rather than through the library's reader, so a
// fault of that reader cannot hide itself. A record cut by the kill ends the
// file, as it does for the library.
std::set<std::string> cachedIds(const std::string &dir, const std::string &prefix, int *undeliveredFiles) {
  std::set<std::string> ids;
  if (undeliveredFiles != nullptr) *undeliveredFiles = 0;
  static const std::string key = "globalInstanceId=\"";
  for (const auto &e : std::filesystem::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(prefix + ".", 0) != 0 || name.find(".corrupt") != std::string::npos) continue;
    const std::string bytes = readAll(e.path().string());
    if (bytes.size() < 10) continue;
    std::size_t at = std::strtoul(bytes.substr(0, 10).c_str(), nullptr, 10);
    if (undeliveredFiles != nullptr && at < bytes.size()) *undeliveredFiles += 1;
    while (at + 32 <= bytes.size() && bytes.compare(at, 4, "Xrec") == 0) {
      const std::size_t dataSize = std::strtoul(bytes.substr(at + 4, 10).c_str(), nullptr, 10);
      const std::size_t compSize = std::strtoul(bytes.substr(at + 15, 10).c_str(), nullptr, 10);
      if (at + 32 + compSize > bytes.size()) break;
      std::string text(dataSize, '\0');
      uLongf len = dataSize;
      if (uncompress(reinterpret_cast<Bytef *>(text.data()), &len,
                     reinterpret_cast<const Bytef *>(bytes.data() + at + 32), compSize) != Z_OK)
        break;
      text.resize(len);
      for (std::size_t p = text.find(key); p != std::string::npos; p = text.find(key, p + 1)) {
        const std::size_t start = p + key.size();
        const std::size_t end = text.find('"', start);
        if (end == std::string::npos) break;
        ids.insert(text.substr(start, end - start));
      }
      at += 32 + compSize;
    }
  }
  return ids;
}

// Reads the sink's events file as it grows, counting arrivals per id.
class Arrivals {
 public:
  explicit Arrivals(std::string path) : path_(std::move(path)) {}
  void update() {
    std::ifstream in(path_, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset_));
    std::string chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t start = 0;
    for (std::size_t nl; (nl = chunk.find('\n', start)) != std::string::npos; start = nl + 1) {
      const std::size_t tab = chunk.find('\t', start);
      count_[chunk.substr(start, (tab < nl ? tab : nl) - start)] += 1;
    }
    offset_ += start;  // a line without its newline yet is read next time
  }
  int count(const std::string &id) const {
    auto it = count_.find(id);
    return it == count_.end() ? 0 : it->second;
  }
  const std::unordered_map<std::string, int> &all() const { return count_; }

 private:
  std::string path_;
  std::size_t offset_ = 0;
  std::unordered_map<std::string, int> count_;
};

struct Options {
  std::string mode = "auto";
  int trials = 10;
  int outages = 5;
  uint64_t seed = 0;
  std::string work;
  bool keep = false;
};

struct Child {
  pid_t pid = -1;
  int stdinFd = -1;
  std::string tag, log;
};

Child spawnChild(const std::string &self, const Options &o, const std::string &cache, const std::string &url,
                 const std::string &tag, int senders) {
  Child c;
  c.tag = tag;
  c.log = o.work + "/" + tag + ".ids";
  int in[2];
  if (pipe2(in, O_CLOEXEC) != 0) return c;
  const std::vector<std::string> args = {self,        "--child",  "--mode", o.mode, "--cache", cache,
                                         "--url",     url,        "--log",  c.log,  "--tag",   tag,
                                         "--errors",  o.work + "/" + tag + ".errors", "--senders",
                                         std::to_string(senders)};
  c.pid = fork();
  if (c.pid == 0) {
    dup2(in[0], 0);
    std::vector<char *> argv;
    for (const std::string &s : args) argv.push_back(const_cast<char *>(s.c_str()));
    argv.push_back(nullptr);
    execv(self.c_str(), argv.data());
    _exit(127);
  }
  close(in[0]);
  c.stdinFd = in[1];
  return c;
}

// The child's exit status, or -1 when it had to be killed after the deadline.
int finishChild(Child &c, std::chrono::seconds deadline) {
  if (c.stdinFd >= 0) close(c.stdinFd);
  c.stdinFd = -1;
  const auto end = Clock::now() + deadline;
  int status = 0;
  for (;;) {
    const pid_t r = waitpid(c.pid, &status, WNOHANG);
    if (r == c.pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (Clock::now() > end) {
      kill(c.pid, SIGKILL);
      waitpid(c.pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void killChild(Child &c) {
  kill(c.pid, SIGKILL);
  int status = 0;
  waitpid(c.pid, &status, 0);
  if (c.stdinFd >= 0) close(c.stdinFd);
  c.stdinFd = -1;
}

// Modes during which nothing the sink records can lose its reply, and the
// failing ones; slow stays below responseTimeout.
const std::vector<std::string> kModes = {"ok", "stopped", "slow:1000", "http500", "drop", "failfirst:3"};

struct KillRecord {
  std::string tag;
  std::set<std::string> inMemory;  // accepted, not delivered, not cached at the kill
};

int runDriver(const std::string &self, Options o) {
  if (o.seed == 0) o.seed = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
  std::mt19937_64 rng(o.seed);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::printf("torture: mode %s, seed %llu, kill trials %d, outage trials %d\n", o.mode.c_str(),
              static_cast<unsigned long long>(o.seed), o.trials, o.outages);
  std::fflush(stdout);

  bool ownWork = false;
  if (o.work.empty()) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "velm-torture.XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) return 2;
    o.work = tmpl;
    ownWork = true;
  }
  std::filesystem::create_directories(o.work + "/cache");
  const std::string cacheDir = o.work + "/cache";
  const std::string cache = cacheDir + "/batch";

  velm::test::Sink sink;
  Arrivals arrivals(sink.eventsPath());
  std::set<std::string> mustArrive;   // promised to arrive
  std::set<std::string> dupAllowed;   // in a cache record past the checkpoint at a kill
  std::vector<KillRecord> kills;
  std::vector<std::string> logs;
  std::vector<std::string> problems;
  int cutReplies = 0;  // mode switches that may have cut a recorded request's reply

  auto setMode = [&](const std::string &m, const std::string &from) {
    // Leaving "ok" or "slow" for a mode that cuts connections may cut the
    // reply of a request the sink has already recorded.
    if ((from == "ok" || from.rfind("slow", 0) == 0) && (m == "stopped" || m == "drop")) cutReplies += 1;
    sink.setMode(m);
  };

  std::string current = "ok";
  const int total = o.trials + o.outages;
  // Outage trials are spread among the kill trials.
  std::vector<bool> isOutage(static_cast<std::size_t>(total), false);
  for (int i = 0; i < o.outages; ++i) isOutage[static_cast<std::size_t>(i * total / std::max(o.outages, 1))] = true;

  for (int trial = 0; trial < total; ++trial) {
    const std::string tag = "t" + std::to_string(trial);
    const std::string first = kModes[static_cast<std::size_t>(pick(0, static_cast<int>(kModes.size()) - 1))];
    setMode(first, current);
    current = first;
    Child c = spawnChild(self, o, cache, sink.url(), tag, kSenders);
    if (c.pid < 0) {
      problems.push_back(tag + ": could not start a child");
      break;
    }
    logs.push_back(c.log);
    if (!isOutage[static_cast<std::size_t>(trial)]) {
      // A kill at a random moment, the sink switched once on the way.
      const int before = pick(50, 1500);
      const int after = pick(50, 1500);
      std::this_thread::sleep_for(std::chrono::milliseconds(before));
      const std::string second = kModes[static_cast<std::size_t>(pick(0, static_cast<int>(kModes.size()) - 1))];
      setMode(second, current);
      current = second;
      std::this_thread::sleep_for(std::chrono::milliseconds(after));
      killChild(c);
      // No process runs on the cache now: what it holds is what survived.
      const std::set<std::string> cached = cachedIds(cacheDir, "batch", nullptr);
      arrivals.update();
      KillRecord k;
      k.tag = tag;
      for (const std::string &id : lines(c.log))
        if (cached.count(id) == 0 && arrivals.count(id) == 0) k.inMemory.insert(id);
      mustArrive.insert(cached.begin(), cached.end());
      dupAllowed.insert(cached.begin(), cached.end());
      if (o.mode == "always")
        for (const std::string &id : lines(c.log)) mustArrive.insert(id);
      std::printf("trial %d: kill after %d ms (%s then %s), cached %zu, in memory %zu\n", trial, before + after,
                  first.c_str(), second.c_str(), cached.size(), k.inMemory.size());
      kills.push_back(std::move(k));
    } else {
      // An outage the child lives through, then a clean end: nothing lost.
      const std::string outage = kModes[static_cast<std::size_t>(pick(1, static_cast<int>(kModes.size()) - 1))];
      std::this_thread::sleep_for(std::chrono::milliseconds(pick(200, 800)));
      setMode(outage, current);
      current = outage;
      std::this_thread::sleep_for(std::chrono::milliseconds(pick(1000, 3000)));
      setMode("ok", current);
      current = "ok";
      std::this_thread::sleep_for(std::chrono::milliseconds(pick(200, 800)));
      const int rc = finishChild(c, std::chrono::seconds(300));
      for (const std::string &id : lines(c.log)) mustArrive.insert(id);
      std::printf("trial %d: outage %s, clean end (exit %d)\n", trial, outage.c_str(), rc);
      if (rc != 0)
        problems.push_back(tag + ": clean end failed with exit " + std::to_string(rc) +
                           (rc == 3 ? " (events discarded)" : ""));
    }
    std::fflush(stdout);
  }

  // The last child sends nothing and drains the cache with the sink up.
  setMode("ok", current);
  Child drain = spawnChild(self, o, cache, sink.url(), "drain", 0);
  const auto drainEnd = Clock::now() + std::chrono::seconds(600);
  int undelivered = 0;
  for (;;) {
    cachedIds(cacheDir, "batch", &undelivered);
    if (undelivered == 0 || Clock::now() > drainEnd) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  const int drainRc = finishChild(drain, std::chrono::seconds(300));
  if (drainRc != 0) problems.push_back("drain child ended with exit " + std::to_string(drainRc));
  cachedIds(cacheDir, "batch", &undelivered);
  if (undelivered != 0) problems.push_back(std::to_string(undelivered) + " cache files still hold records");

  // What is promised may still be on its way to the events file.
  const auto arriveEnd = Clock::now() + std::chrono::seconds(120);
  std::size_t missing = 0;
  for (;;) {
    arrivals.update();
    missing = 0;
    for (const std::string &id : mustArrive)
      if (arrivals.count(id) == 0) ++missing;
    if (missing == 0 || Clock::now() > arriveEnd) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }

  // The verdict.
  std::unordered_set<std::string> sent;
  for (const std::string &l : logs)
    for (const std::string &id : lines(l)) sent.insert(id);
  std::size_t delivered = 0, lost = 0, lostInMemory = 0, duplicates = 0, dupCheckpoint = 0, dupOther = 0;
  for (const std::string &id : sent) {
    if (arrivals.count(id) > 0) ++delivered;
  }
  for (const auto &[id, n] : arrivals.all()) {
    if (n <= 1) continue;
    duplicates += static_cast<std::size_t>(n - 1);
    if (dupAllowed.count(id) != 0)
      dupCheckpoint += static_cast<std::size_t>(n - 1);
    else
      dupOther += static_cast<std::size_t>(n - 1);
  }
  std::size_t promisedLost = 0;
  for (const std::string &id : mustArrive)
    if (arrivals.count(id) == 0) {
      if (++promisedLost <= 5) problems.push_back("promised id never arrived: " + id);
    }
  if (promisedLost > 0) problems.push_back(std::to_string(promisedLost) + " promised ids never arrived");
  // The most one child can hold in memory: a full queue, a batch in each
  // queue thread, an event in each sending thread.
  const std::size_t bound = kQueueSize + kEQThreads * kTransferSize + kSenders;
  std::size_t worst = 0;
  for (const KillRecord &k : kills) {
    std::size_t lostHere = 0;
    for (const std::string &id : k.inMemory)
      if (arrivals.count(id) == 0 && mustArrive.count(id) == 0) ++lostHere;
    lostInMemory += lostHere;
    worst = std::max(worst, lostHere);
    if (lostHere > bound)
      problems.push_back(k.tag + ": a kill lost " + std::to_string(lostHere) + " events, more than the " +
                         std::to_string(bound) + " a child can hold in memory");
  }
  // Every lost id must be one a kill could take: held in memory by the
  // child at its kill, and not promised otherwise.
  std::unordered_set<std::string> killable;
  for (const KillRecord &k : kills) killable.insert(k.inMemory.begin(), k.inMemory.end());
  std::size_t unexplained = 0;
  for (const std::string &id : sent) {
    if (arrivals.count(id) != 0) continue;
    ++lost;
    if (mustArrive.count(id) == 0 && killable.count(id) == 0) ++unexplained;
  }
  if (unexplained > 0) problems.push_back(std::to_string(unexplained) + " lost ids outside every kill's in-memory set");
  if (o.mode == "always" && lost > 0) problems.push_back("\"always\" lost " + std::to_string(lost) + " events");
  if (dupOther > 0 && cutReplies == 0)
    problems.push_back(std::to_string(dupOther) + " duplicates not explained by a checkpoint or a cut reply");

  std::printf("trials: %d kill, %d outage (seed %llu, mode %s)\n", o.trials, o.outages,
              static_cast<unsigned long long>(o.seed), o.mode.c_str());
  std::printf("sent: %zu\n", sent.size());
  std::printf("delivered: %zu\n", delivered);
  std::printf("duplicates: %zu (past a checkpoint at a kill: %zu, after a reply cut by a mode switch: %zu)\n",
              duplicates, dupCheckpoint, dupOther);
  std::printf("lost: %zu (in memory at a kill: %zu, at most %zu at one kill, bound %zu; promised: %zu)\n", lost,
              lostInMemory, worst, bound, promisedLost);
  for (const std::string &p : problems) std::printf("FAIL: %s\n", p.c_str());
  std::printf("%s\n", problems.empty() ? "result: PASS" : "result: FAIL");
  std::fflush(stdout);
  if (ownWork && !o.keep && problems.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(o.work, ec);
  } else {
    std::printf("work directory kept: %s\n", o.work.c_str());
  }
  return problems.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
  bool child = false;
  ChildArgs ca;
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "missing value after %s\n", a.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--child") child = true;
    else if (a == "--mode") ca.mode = o.mode = next();
    else if (a == "--cache") ca.cache = next();
    else if (a == "--url") ca.url = next();
    else if (a == "--log") ca.log = next();
    else if (a == "--tag") ca.tag = next();
    else if (a == "--errors") ca.errors = next();
    else if (a == "--senders") ca.senders = std::atoi(next().c_str());
    else if (a == "--trials") o.trials = std::atoi(next().c_str());
    else if (a == "--outages") o.outages = std::atoi(next().c_str());
    else if (a == "--seed") o.seed = std::strtoull(next().c_str(), nullptr, 10);
    else if (a == "--work") o.work = next();
    else if (a == "--keep") o.keep = true;
    else {
      std::fprintf(stderr, "unknown option %s\n", a.c_str());
      return 2;
    }
  }
  if (child) return runChild(ca);
  if (o.mode != "auto" && o.mode != "always") {
    std::fprintf(stderr, "--mode is auto or always\n");
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);
  try {
    return runDriver("/proc/self/exe", o);
  } catch (const std::exception &e) {
    std::fprintf(stderr, "torture: %s\n", e.what());
    return 2;
  }
}
