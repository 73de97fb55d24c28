// velm-send: sends audit events from the command line to an audit service
// and reports, event by event, what the service did with them. For operators
// testing a connection and for scripts. Uses the library's public interface
// only.
//
//   velm-send --url URL --type TYPE [name=value ...]
//   velm-send --url URL [--type TYPE] --file EVENTS.jsonl
//
// Exit status: 0 every event delivered; 1 an event was refused, rejected or
// not confirmed in time; 2 bad usage or input; 3 no client (the service did
// not answer, or the settings were refused).
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "json_lines.h"
#include "velm.h"

namespace {

using Fields = std::map<std::string, std::string>;

struct Options {
  std::string url;
  std::string type;
  std::string file;
  std::string keyStore;
  std::string passwordFile;
  std::string user;
  std::string password;
  std::string errorLog;
  int timeout = 60;
  bool quiet = false;
  std::vector<std::string> elements;
};

[[noreturn]] void usage(const std::string &problem = {}) {
  if (!problem.empty()) std::fprintf(stderr, "velm-send: %s\n", problem.c_str());
  std::fprintf(
      stderr,
      "usage: velm-send --url URL --type TYPE [options] [name=value ...]\n"
      "       velm-send --url URL [--type TYPE] [options] --file EVENTS.jsonl\n"
      "options:\n"
      "  --key-store FILE             HTTPS: PKCS#12 store with the CAs to trust (and a client identity)\n"
      "  --store-password-file FILE   HTTPS: the store's password, on the first line\n"
      "  --user U --password P        HTTP basic authentication\n"
      "  --timeout SECONDS            how long to wait for the service per event (default 60)\n"
      "  --error-log FILE             keep the library's error log there (default: a temporary file)\n"
      "  -q                           print only failures and the last line\n"
      "elements:\n"
      "  name=value            a string element; a dotted name is a sub-element (a.b=v)\n"
      "  record.field=value    a field of an info record, e.g. outcome.result=SUCCESSFUL,\n"
      "                        userInfo.registryUserName=jdoe, resourceInfo.nameInApp=/payroll;\n"
      "                        list fields take commas: permissionInfo.checked=read,write\n"
      "  startTime=now         date-time elements take \"now\" or seconds since 1970 (with .micro)\n"
      "  sourceComponentId and outcome get defaults (this host, velm-send; SUCCESSFUL) when not given.\n"
      "  Each line of EVENTS.jsonl is one flat JSON object of the same names; \"type\" gives the event\n"
      "  type (else --type).\n");
  std::exit(2);
}

Options parseOptions(int argc, char **argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) usage(a + " needs a value");
      return argv[++i];
    };
    if (a == "--url")
      o.url = value();
    else if (a == "--type")
      o.type = value();
    else if (a == "--file")
      o.file = value();
    else if (a == "--key-store")
      o.keyStore = value();
    else if (a == "--store-password-file")
      o.passwordFile = value();
    else if (a == "--user")
      o.user = value();
    else if (a == "--password")
      o.password = value();
    else if (a == "--error-log")
      o.errorLog = value();
    else if (a == "--timeout") {
      const std::string v = value();
      char *end = nullptr;
      const long t = std::strtol(v.c_str(), &end, 10);
      if (end == v.c_str() || *end != '\0' || t < 1 || t > 86400) usage("bad --timeout " + v);
      o.timeout = static_cast<int>(t);
    } else if (a == "-q")
      o.quiet = true;
    else if (a == "-h" || a == "--help")
      usage();
    else if (a.size() > 1 && a[0] == '-')
      usage("unknown option " + a);
    else if (a.find('=') == std::string::npos)
      usage("an element is name=value, not " + a);
    else
      o.elements.push_back(a);
  }
  if (o.url.empty()) usage("--url is required");
  if (o.file.empty() && o.type.empty()) usage("--type is required");
  if (!o.file.empty() && !o.elements.empty()) usage("give elements either on the command line or in --file");
  if (o.keyStore.empty() != o.passwordFile.empty())
    usage("--key-store and --store-password-file go together");
  return o;
}

// ---- Building events ---------------------------------------------------------

// One event as given: its type and its elements in the order given.
struct EventSpec {
  std::string type;
  std::vector<std::pair<std::string, std::string>> elements;
};

class BuildError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Collects the messages of a result record into one line and clears it.
std::string messages(VELM_result &r) {
  std::string text;
  for (int i = 0; i < r.numErrors; ++i) {
    if (!text.empty()) text += "; ";
    text += r.errors[i].message != nullptr ? r.errors[i].message : "(no text)";
  }
  VELM_Result_Clean(&r);
  return text;
}

const char *field(const Fields &f, const char *name) {
  auto it = f.find(name);
  return it == f.end() ? nullptr : it->second.c_str();
}

int32_t intField(const Fields &f, const char *name) {
  const char *v = field(f, name);
  if (v == nullptr) return 0;
  char *end = nullptr;
  errno = 0;
  const long n = std::strtol(v, &end, 10);
  if (errno != 0 || end == v || *end != '\0' || n < INT32_MIN || n > INT32_MAX)
    throw BuildError(std::string("field ") + name + " wants a whole number, not '" + v + "'");
  return static_cast<int32_t>(n);
}

// Comma-separated text as a string array the record copies.
struct StringList {
  std::vector<std::string> items;
  std::vector<char *> ptrs;
  explicit StringList(const char *text) {
    if (text == nullptr) return;
    std::string s = text;
    for (std::size_t start = 0;;) {
      const std::size_t comma = s.find(',', start);
      items.push_back(s.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    for (std::string &i : items) ptrs.push_back(i.data());
    ptrs.push_back(nullptr);
  }
  char *const *get() { return items.empty() ? nullptr : ptrs.data(); }
};

// An info record the command line can fill: its fields, and how to make it
// and add it to an event.
struct RecordKind {
  std::vector<const char *> fields;
  std::function<VELM_AuditElement *(VELM_AuditClientContext *, VELM_AuditEvent *, const std::string &,
                                    const Fields &, VELM_result *)>
      add;
};

// Adds a record made by create, releasing it when the add fails (with
// copyFlag 0 a failed add leaves the record with the caller).
template <typename R>
VELM_AuditElement *adopt(VELM_AuditClientContext *ctx, R *record, VELM_result *r,
                         VELM_AuditElement *(*addFn)(VELM_AuditEvent *, const char *, R *, int,
                                                     VELM_result *),
                         int (*deleteFn)(VELM_AuditClientContext *, R *, VELM_result *), VELM_AuditEvent *ev,
                         const std::string &name) {
  if (record == nullptr) return nullptr;
  VELM_AuditElement *e = addFn(ev, name.c_str(), record, 0, r);
  if (e == nullptr) {
    VELM_result ignored{0, 0, nullptr};
    deleteFn(ctx, record, &ignored);
    VELM_Result_Clean(&ignored);
  }
  return e;
}

const std::map<std::string, RecordKind> &recordKinds() {
  static const RecordKind componentId{
      {"location", "locationType", "application", "executionEnvironment", "component", "componentType",
       "componentIdType", "subcomponent", "instanceId", "processId", "threadId"},
      [](VELM_AuditClientContext *ctx, VELM_AuditEvent *ev, const std::string &name, const Fields &f,
         VELM_result *r) {
        return adopt(ctx,
                     VELM_ComponentId_Create(
                         ctx, field(f, "location"), field(f, "locationType"), field(f, "application"),
                         field(f, "executionEnvironment"), field(f, "component"), field(f, "componentType"),
                         field(f, "componentIdType"), field(f, "subcomponent"), field(f, "instanceId"),
                         field(f, "processId"), field(f, "threadId"), r),
                     r, VELM_AuditEvent_AddComponentIdElement, VELM_ComponentId_Delete, ev, name);
      }};
  static const RecordKind outcome{
      {"result", "majorStatus", "minorStatus", "failureReason"},
      [](VELM_AuditClientContext *ctx, VELM_AuditEvent *ev, const std::string &name, const Fields &f,
         VELM_result *r) {
        return adopt(ctx,
                     VELM_Outcome_Create(ctx, field(f, "result"), intField(f, "majorStatus"),
                                         intField(f, "minorStatus"), field(f, "failureReason"), r),
                     r, VELM_AuditEvent_AddOutcomeElement, VELM_Outcome_Delete, ev, name);
      }};
  static const RecordKind userInfo{
      {"registryUserName", "appUserName", "uniqueId", "callerList", "domain", "realm", "location",
       "locationType", "sessionId"},
      [](VELM_AuditClientContext *ctx, VELM_AuditEvent *ev, const std::string &name, const Fields &f,
         VELM_result *r) {
        StringList callers(field(f, "callerList"));
        return adopt(ctx,
                     VELM_UserInfo_Create(ctx, field(f, "registryUserName"), field(f, "appUserName"),
                                          intField(f, "uniqueId"), callers.get(), field(f, "domain"),
                                          field(f, "realm"), field(f, "location"), field(f, "locationType"),
                                          field(f, "sessionId"), nullptr, 1, r),
                     r, VELM_AuditEvent_AddUserInfoElement, VELM_UserInfo_Delete, ev, name);
      }};
  static const RecordKind resourceInfo{
      {"nameInApp", "nameInPolicy", "type"},
      [](VELM_AuditClientContext *ctx, VELM_AuditEvent *ev, const std::string &name, const Fields &f,
         VELM_result *r) {
        return adopt(ctx,
                     VELM_ResourceInfo_Create(ctx, field(f, "nameInApp"), field(f, "nameInPolicy"),
                                              field(f, "type"), nullptr, 1, r),
                     r, VELM_AuditEvent_AddResourceInfoElement, VELM_ResourceInfo_Delete, ev, name);
      }};
  static const RecordKind registryInfo{
      {"type", "serverLocation", "serverLocationType", "serverPort"},
      [](VELM_AuditClientContext *ctx, VELM_AuditEvent *ev, const std::string &name, const Fields &f,
         VELM_result *r) {
        return adopt(ctx,
                     VELM_RegistryInfo_Create(ctx, field(f, "type"), field(f, "serverLocation"),
                                              field(f, "serverLocationType"), field(f, "serverPort"), r),
                     r, VELM_AuditEvent_AddRegistryInfoElement, VELM_RegistryInfo_Delete, ev, name);
      }};
  static const RecordKind httpURLInfo{
      {"url", "method", "responseCode", "requestHeaders", "responseHeaders"},
      [](VELM_AuditClientContext *ctx, VELM_AuditEvent *ev, const std::string &name, const Fields &f,
         VELM_result *r) {
        return adopt(
            ctx,
            VELM_HTTPURLInfo_Create(ctx, field(f, "url"), field(f, "method"), intField(f, "responseCode"),
                                    field(f, "requestHeaders"), field(f, "responseHeaders"), r),
            r, VELM_AuditEvent_AddHTTPURLInfoElement, VELM_HTTPURLInfo_Delete, ev, name);
      }};
  static const RecordKind workItemInfo{
      {"id", "type"},
      [](VELM_AuditClientContext *ctx, VELM_AuditEvent *ev, const std::string &name, const Fields &f,
         VELM_result *r) {
        return adopt(ctx, VELM_WorkItemInfo_Create(ctx, field(f, "id"), field(f, "type"), r), r,
                     VELM_AuditEvent_AddWorkItemInfoElement, VELM_WorkItemInfo_Delete, ev, name);
      }};
  static const RecordKind provisioningInfo{
      {"accountId", "resourceId", "resourceType"},
      [](VELM_AuditClientContext *ctx, VELM_AuditEvent *ev, const std::string &name, const Fields &f,
         VELM_result *r) {
        return adopt(ctx,
                     VELM_ProvisioningInfo_Create(ctx, field(f, "accountId"), field(f, "resourceId"),
                                                  field(f, "resourceType"), r),
                     r, VELM_AuditEvent_AddProvisioningInfoElement, VELM_ProvisioningInfo_Delete, ev, name);
      }};
  static const RecordKind permissionInfo{
      {"checked", "granted", "denied", "J2EERolesChecked", "J2EERolesGranted"},
      [](VELM_AuditClientContext *ctx, VELM_AuditEvent *ev, const std::string &name, const Fields &f,
         VELM_result *r) {
        StringList checked(field(f, "checked")), granted(field(f, "granted")), denied(field(f, "denied")),
            rolesChecked(field(f, "J2EERolesChecked")), rolesGranted(field(f, "J2EERolesGranted"));
        return adopt(ctx,
                     VELM_PermissionInfo_Create(ctx, checked.get(), granted.get(), denied.get(),
                                                rolesChecked.get(), rolesGranted.get(), r),
                     r, VELM_AuditEvent_AddPermissionInfoElement, VELM_PermissionInfo_Delete, ev, name);
      }};
  // Element names of the predefined event types whose value is one of these records.
  static const std::map<std::string, RecordKind> kinds = {
      {"sourceComponentId", componentId},
      {"reporterComponentId", componentId},
      {"outcome", outcome},
      {"userInfo", userInfo},
      {"resourceInfo", resourceInfo},
      {"registryInfo", registryInfo},
      {"targetUserRegistryInfo", registryInfo},
      {"httpURLInfo", httpURLInfo},
      {"workItemInfo", workItemInfo},
      {"provisioningInfo", provisioningInfo},
      {"provisioningTargetInfo", provisioningInfo},
      {"permissionInfo", permissionInfo},
  };
  return kinds;
}

bool isDateTime(const std::string &name) {
  static const char *const names[] = {"timestamp", "startTime", "endTime", "loginTime", "lifetime"};
  for (const char *n : names)
    if (name == n) return true;
  return false;
}

struct timeval parseTime(const std::string &name, const std::string &v) {
  struct timeval tv {};
  if (v == "now") {
    gettimeofday(&tv, nullptr);
    return tv;
  }
  char *end = nullptr;
  errno = 0;
  const double t = std::strtod(v.c_str(), &end);
  if (errno != 0 || end == v.c_str() || *end != '\0' || t < 0 || t > 253402300799.0)
    throw BuildError(name + " wants \"now\" or seconds since 1970, not '" + v + "'");
  tv.tv_sec = static_cast<time_t>(t);
  tv.tv_usec = static_cast<suseconds_t>((t - static_cast<double>(tv.tv_sec)) * 1e6);
  return tv;
}

std::string hostName() {
  char buf[256] = {0};
  if (gethostname(buf, sizeof buf - 1) != 0 || buf[0] == '\0') return "localhost";
  return buf;
}

// Builds the event; throws BuildError with the reason. The event is the
// caller's (delete it unless it was sent).
VELM_AuditEvent *buildEvent(VELM_AuditClientContext *ctx, const EventSpec &spec) {
  VELM_result r{0, 0, nullptr};
  VELM_AuditEvent *ev = VELM_AuditEvent_Create(ctx, spec.type.c_str(), &r);
  if (ev == nullptr) throw BuildError(messages(r));
  auto fail = [&](const std::string &why) -> BuildError {
    VELM_result ignored{0, 0, nullptr};
    VELM_AuditEvent_Delete(ev, &ignored);
    VELM_Result_Clean(&ignored);
    return BuildError(why);
  };
  // Record fields first, so that each record is made whole where it first appears.
  std::map<std::string, Fields> records;
  for (const auto &[name, value] : spec.elements) {
    const std::size_t dot = name.find('.');
    if (dot == std::string::npos) {
      if (recordKinds().count(name) != 0)
        throw fail(name + " is an info record: give its fields as " + name + ".FIELD=value");
      continue;
    }
    const std::string top = name.substr(0, dot);
    auto kind = recordKinds().find(top);
    if (kind == recordKinds().end()) continue;
    const std::string f = name.substr(dot + 1);
    bool known = false;
    std::string list;
    for (const char *k : kind->second.fields) {
      known = known || f == k;
      list += std::string(list.empty() ? "" : ", ") + k;
    }
    if (!known) throw fail("unknown field " + name + "; " + top + " has " + list);
    records[top][f] = value;
  }
  // The two records every event type requires, so that a connection test
  // needs no more than a type.
  if (records.count("sourceComponentId") == 0)
    records["sourceComponentId"] = {{"location", hostName()},     {"locationType", "Hostname"},
                                    {"application", "velm-send"}, {"component", "velm-send"},
                                    {"componentType", "Tool"},    {"componentIdType", "ProductName"},
                                    {"subcomponent", "cli"}};
  if (records.count("outcome") == 0) records["outcome"] = {{"result", "SUCCESSFUL"}};

  std::map<std::string, bool> added;
  auto addRecord = [&](const std::string &top) {
    if (added[top]) return;
    added[top] = true;
    VELM_result rr{0, 0, nullptr};
    try {
      if (recordKinds().at(top).add(ctx, ev, top, records[top], &rr) == nullptr)
        throw BuildError(top + ": " + messages(rr));
    } catch (const BuildError &e) {
      VELM_Result_Clean(&rr);
      throw fail(e.what());
    }
  };
  for (const auto &[name, value] : spec.elements) {
    const std::string top = name.substr(0, name.find('.'));
    if (recordKinds().count(top) != 0) {
      addRecord(top);
      continue;
    }
    VELM_AuditElement *e = nullptr;
    if (isDateTime(name)) {
      struct timeval tv;
      try {
        tv = parseTime(name, value);
      } catch (const BuildError &err) {
        throw fail(err.what());
      }
      e = VELM_AuditEvent_AddDateTimeElement(ev, name.c_str(), &tv, 1, &r);
    } else if (name == "sequenceNumber") {
      char *end = nullptr;
      errno = 0;
      const long long n = std::strtoll(value.c_str(), &end, 10);
      if (errno != 0 || end == value.c_str() || *end != '\0')
        throw fail("sequenceNumber wants a whole number, not '" + value + "'");
      e = VELM_AuditEvent_AddLongElement(ev, name.c_str(), n, &r);
    } else {
      e = VELM_AuditEvent_AddStringElement(ev, name.c_str(), value.c_str(), 1, &r);
    }
    if (e == nullptr) throw fail(name + ": " + messages(r));
  }
  for (const auto &entry : records) addRecord(entry.first);
  return ev;
}

// ---- The error log -----------------------------------------------------------

// Follows the library's error log: what the transport recorded about a
// failed request (the service's fault, the connection error) is there.
class ErrorLog {
 public:
  explicit ErrorLog(std::string path) : path_(std::move(path)) {}
  // The message part of the lines written since the last call.
  std::vector<std::string> newLines() {
    std::vector<std::string> out;
    std::ifstream in(path_, std::ios::binary);
    if (!in) return out;
    in.seekg(static_cast<std::streamoff>(offset_));
    std::string line;
    while (std::getline(in, line)) {
      if (in.eof()) break;  // a line still being written
      offset_ += line.size() + 1;
      // "<date> <time> <unit> [<function>] <line> DXACC....E text": keep the message.
      const std::size_t id = line.find(" DXACC");
      out.push_back(id == std::string::npos ? line : line.substr(id + 1));
    }
    return out;
  }

 private:
  std::string path_;
  std::size_t offset_ = 0;
};

// ---- Sending -----------------------------------------------------------------

struct Session {
  VELM_AuditClientContext *ctx = nullptr;
  VELM_AuditClient *client = nullptr;
};

VELM_DeliveryStats stats(VELM_AuditClient *client) {
  VELM_DeliveryStats s{};
  VELM_result r{0, 0, nullptr};
  VELM_AuditClient_GetStats(client, &s, &r);
  VELM_Result_Clean(&r);
  return s;
}

enum class Outcome { kDelivered, kRejected, kRefused, kNoAnswer, kBadInput };

// Sends one event and waits until the service accepted or rejected it.
// The queue takes one event per request (transferSize 1), so the counters
// tell this event's fate.
Outcome sendOne(Session &s, const EventSpec &spec, int timeout, std::string &why) {
  VELM_AuditEvent *ev = nullptr;
  try {
    ev = buildEvent(s.ctx, spec);
  } catch (const BuildError &e) {
    why = e.what();
    return Outcome::kBadInput;
  }
  const VELM_DeliveryStats before = stats(s.client);
  VELM_result r{0, 0, nullptr};
  if (VELM_AuditClient_SendEvent(s.client, ev, &r) != 0) {
    why = messages(r);
    VELM_AuditEvent_Delete(ev, &r);
    VELM_Result_Clean(&r);
    return Outcome::kRefused;
  }
  VELM_Result_Clean(&r);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout);
  for (;;) {
    const VELM_DeliveryStats now = stats(s.client);
    if (now.eventsDelivered > before.eventsDelivered) return Outcome::kDelivered;
    if (now.eventsRejected > before.eventsRejected) return Outcome::kRejected;
    if (std::chrono::steady_clock::now() > deadline) {
      why = "no answer from the service within " + std::to_string(timeout) + " s";
      return Outcome::kNoAnswer;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// One flat JSON object as an event.
EventSpec specFromJson(const std::vector<std::pair<std::string, std::string>> &members,
                       const std::string &type) {
  EventSpec spec;
  spec.type = type;
  for (const auto &[k, v] : members) {
    if (k == "type")
      spec.type = v;
    else
      spec.elements.emplace_back(k, v);
  }
  if (spec.type.empty()) throw velm::tools::JsonError("no \"type\" and no --type");
  return spec;
}

}  // namespace

int main(int argc, char **argv) {
  const Options o = parseOptions(argc, argv);

  // The events, read before anything is sent, so that bad input sends nothing.
  std::vector<EventSpec> events;
  if (!o.file.empty()) {
    std::ifstream in(o.file, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "velm-send: cannot open %s: %s\n", o.file.c_str(), std::strerror(errno));
      return 2;
    }
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
      if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
      try {
        events.push_back(specFromJson(velm::tools::parseFlatJsonObject(line), o.type));
      } catch (const velm::tools::JsonError &e) {
        std::fprintf(stderr, "velm-send: %s line %d: %s\n", o.file.c_str(), n, e.what());
        return 2;
      }
    }
    if (events.empty()) {
      std::fprintf(stderr, "velm-send: %s holds no events\n", o.file.c_str());
      return 2;
    }
  } else {
    EventSpec spec;
    spec.type = o.type;
    for (const std::string &e : o.elements) {
      const std::size_t eq = e.find('=');
      if (eq == 0) usage("an element needs a name: " + e);
      spec.elements.emplace_back(e.substr(0, eq), e.substr(eq + 1));
    }
    events.push_back(spec);
  }

  // The error log goes to a temporary file unless asked for.
  std::string errorLog = o.errorLog;
  char tmpDir[] = "/tmp/velm-send-XXXXXX";
  const bool ownLog = errorLog.empty();
  if (ownLog) {
    if (mkdtemp(tmpDir) == nullptr) {
      std::fprintf(stderr, "velm-send: cannot create a directory in /tmp: %s\n", std::strerror(errno));
      return 2;
    }
    errorLog = std::string(tmpDir) + "/error.log";
  }
  struct Cleanup {
    bool own;
    std::string dir, log;
    ~Cleanup() {
      if (!own) return;
      std::remove(log.c_str());
      for (int i = 1; i < 10; ++i) std::remove((log + "." + std::to_string(i)).c_str());
      rmdir(dir.c_str());
    }
  } cleanup{ownLog, tmpDir, errorLog};
  ErrorLog log(errorLog);

  // No disk cache: a result is the service's, not the cache's. One event per
  // request, sent as soon as it is queued, so each has its own answer.
  const int32_t one = 1, retries = 1, shutDown = 0;
  std::vector<VELM_Property> props = {
      {"serverURL", VELM_VT_STRING, o.url.c_str()},
      {"useDiskCache", VELM_VT_STRING, "never"},
      {"errorFilePath", VELM_VT_STRING, errorLog.c_str()},
      {"elementCodeSet", VELM_VT_STRING, "UTF8"},
      {"transferSize", VELM_VT_INTEGER, &one},
      {"hiWater", VELM_VT_INTEGER, &one},
      {"lowWater", VELM_VT_INTEGER, &one},
      {"flushInterval", VELM_VT_INTEGER, &one},
      {"numberRetries", VELM_VT_INTEGER, &retries},
      {"retryInterval", VELM_VT_INTEGER, &one},
      {"shutDownTimeout", VELM_VT_INTEGER, &shutDown},
  };
  if (!o.keyStore.empty()) {
    props.push_back({"keyFilePath", VELM_VT_STRING, o.keyStore.c_str()});
    props.push_back({"stashFilePath", VELM_VT_STRING, o.passwordFile.c_str()});
  }
  if (!o.user.empty()) props.push_back({"clientUserName", VELM_VT_STRING, o.user.c_str()});
  if (!o.password.empty()) props.push_back({"clientPassword", VELM_VT_STRING, o.password.c_str()});
  props.push_back({nullptr, 0, nullptr});

  VELM_result r{0, 0, nullptr};
  Session s;
  s.ctx = VELM_AuditClientContext_Create(props.data(), &r);
  if (s.ctx == nullptr) {
    std::fprintf(stderr, "velm-send: settings refused: %s\n", messages(r).c_str());
    return 3;
  }
  VELM_Result_Clean(&r);  // warnings of a context that was made (every call resets r without freeing it)
  s.client = VELM_AuditClient_Create(s.ctx, &r);
  if (s.client == nullptr) {
    std::fprintf(stderr, "velm-send: cannot reach %s: %s\n", o.url.c_str(), messages(r).c_str());
    VELM_AuditClientContext_Delete(s.ctx, &r);
    VELM_Result_Clean(&r);
    return 3;
  }
  VELM_Result_Clean(&r);
  log.newLines();

  int delivered = 0, failed = 0, notSent = 0;
  bool stop = false;
  for (std::size_t i = 0; i < events.size() && !stop; ++i) {
    std::string why;
    const Outcome out = sendOne(s, events[i], o.timeout, why);
    const std::vector<std::string> lines = log.newLines();
    const std::string label = "event " + std::to_string(i + 1) + " (" + events[i].type + ")";
    switch (out) {
      case Outcome::kDelivered:
        ++delivered;
        if (!o.quiet) std::printf("%s: delivered\n", label.c_str());
        break;
      case Outcome::kRejected:
        ++failed;
        std::printf("%s: rejected by the service\n", label.c_str());
        break;
      case Outcome::kRefused:
      case Outcome::kBadInput:
        ++failed;
        std::printf("%s: not sent: %s\n", label.c_str(), why.c_str());
        break;
      case Outcome::kNoAnswer:
        ++failed;
        std::printf("%s: %s\n", label.c_str(), why.c_str());
        // The library goes on retrying it; later events would only queue behind it.
        stop = true;
        notSent = static_cast<int>(events.size() - i - 1);
        break;
    }
    // What the library logged about it: the service's fault, the connection error.
    if (out != Outcome::kDelivered)
      for (const std::string &l : lines)
        if (why.find(l) == std::string::npos) std::printf("  %s\n", l.c_str());
  }

  VELM_AuditClient_Delete(s.client, &r);
  VELM_Result_Clean(&r);
  VELM_AuditClientContext_Delete(s.ctx, &r);
  VELM_Result_Clean(&r);

  std::printf("%d of %zu event%s delivered to %s", delivered, events.size(), events.size() == 1 ? "" : "s",
              o.url.c_str());
  if (failed > 0) std::printf(", %d failed", failed);
  if (notSent > 0) std::printf(", %d not tried", notSent);
  std::printf("\n");
  return failed == 0 && notSent == 0 ? 0 : 1;
}
