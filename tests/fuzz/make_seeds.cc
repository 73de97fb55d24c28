// Writes the seed corpora of the harnesses from what the library itself
// produces: event texts and batch strings made by the conversion, cache
// files made by the cache writer, the replies the local audit service sends,
// and property lists and files as the documentation shows them.
//   fuzz_make_seeds <corpus dir>     (tests/fuzz/corpus)
#include <sys/time.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "capis/cache_internal.h"
#include "capis/context.h"
#include "cbe/sendEvent.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

namespace stdfs = std::filesystem;
using velm_fuzz::scratchFile;

std::string corpus;

void seed(const std::string &harness, const std::string &name, const std::string &bytes) {
  const stdfs::path dir = stdfs::path(corpus) / harness;
  stdfs::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary | std::ios::trunc) << bytes;
}

std::string readAll(const stdfs::path &p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

VELM_result res{0, 0, nullptr};

template <typename T>
T *need(T *p, const char *what) {
  if (p == nullptr) {
    std::fprintf(stderr, "fuzz_make_seeds: %s failed: %s\n", what, res.numErrors ? res.errors[0].message : "");
    std::exit(1);
  }
  return p;
}

// An event as an application builds it: a component, an outcome, a user,
// texts that need escaping and non-ASCII text.
std::string eventText(VELM_AuditClientContext *ctx, int i) {
  VELM_AuditEvent *ev = need(VELM_AuditEvent_Create(ctx, i % 2 ? "AUDIT_AUTHZ" : "AUDIT_AUTHN", &res), "event");
  need(VELM_AuditEvent_AddComponentIdElement(
           ev, "sourceComponentId",
           need(VELM_ComponentId_Create(ctx, "app01.example.com", "FQHostname", "PayrollApp", "Linux x86_64",
                                        "PayrollService", "Service", "ProductName", "core", "inst-1", "4242", "7",
                                        &res),
                "component"),
           0, &res),
       "sourceComponentId");
  need(VELM_AuditEvent_AddOutcomeElement(
           ev, "outcome",
           need(VELM_Outcome_Create(ctx, i % 3 ? "SUCCESSFUL" : "UNSUCCESSFUL", 0, i, "denied", &res), "outcome"),
           0, &res),
       "outcome");
  char *callers[] = {const_cast<char *>("gateway"), nullptr};
  need(VELM_AuditEvent_AddUserInfoElement(
           ev, "userInfo",
           need(VELM_UserInfo_Create(ctx, "jdoe", "José Álvarez", 1001 + i, callers, "example.com", "corp",
                                     "10.1.2.3", "IPV4", "sess-8f2a", nullptr, 0, &res),
                "user"),
           0, &res),
       "userInfo");
  need(VELM_AuditEvent_AddStringElement(ev, "auditMsg", "record <checked> & \"logged\"", 1, &res), "auditMsg");
  need(VELM_AuditEvent_AddLongElement(ev, "sequenceNumber", 9007199254740993LL + i, &res), "sequenceNumber");
  struct timeval tv{1765400000 + i, 250000};
  need(VELM_AuditEvent_AddDateTimeElement(ev, "timestamp", &tv, 1, &res), "timestamp");
  need(VELM_AuditEvent_AddStringElement(ev, "globalInstanceId", ("ID" + std::to_string(i)).c_str(), 1, &res),
       "globalInstanceId");
  char *xml = need(VELM_AuditEvent_ToXML(ev, &res), "ToXML");
  std::string text(xml);
  VELM_Free(xml);
  VELM_AuditEvent_Delete(ev, &res);
  return text;
}

std::string envelope(const std::string &payload) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><soapenv:Envelope "
         "xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\" "
         "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><soapenv:Body>" +
         payload + "</soapenv:Body></soapenv:Envelope>";
}

std::string fault(const std::string &code, const std::string &text, const std::string &detail) {
  return envelope("<soapenv:Fault><faultcode>" + code + "</faultcode><faultstring>" + text + "</faultstring>" +
                  (detail.empty() ? "" : "<detail>" + detail + "</detail>") + "</soapenv:Fault>");
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_seeds <corpus dir>\n");
    return 2;
  }
  corpus = argv[1];
  VELM_AuditClientContext *ctx = velm_fuzz::sharedContext(true);

  // Batch strings: one event, two, and five, as the transport joins them.
  std::vector<std::string> events;
  for (int i = 0; i < 5; ++i) events.push_back(eventText(ctx, i));
  seed("batch_string", "one", events[0]);
  seed("batch_string", "two", events[0] + events[1]);
  std::string five;
  for (const std::string &e : events) five += e;
  seed("batch_string", "five", five);
  seed("batch_string", "probe", "<CommonBaseEvent/>");

  // Cache files, written by the cache writer: a record of two events; five
  // records of one event after it (joined when drained); and that file with its checkpoint
  // moved past the first record.
  if (velm::setupCacheFiles(ctx, &res) != 0) return 1;
  velm::cacheInfo *ci = ctx->cacheInfo;
  auto written = [&](const std::vector<std::string> &records, const std::vector<int> &counts) {
    velm::cacheFileInfo *f = ci->cacheFiles[0];
    for (std::size_t i = 0; i < records.size(); ++i)
      if (velm::cacheMsg(ctx, static_cast<int>(records[i].size()), records[i].c_str(), counts[i], &res) != 0)
        std::exit(1);
    std::string bytes = readAll(stdfs::path(ci->cacheDir) / f->fileName);
    // The next file starts fresh: the slot is given up as a roll-over does.
    std::fflush(nullptr);
    return bytes;
  };
  const std::string twoEvents = written({events[0] + events[1]}, {2});
  seed("cache_file", "one_record_two_events", twoEvents);
  std::string singles = written({events[2], events[3], events[4], events[0], events[1]}, {1, 1, 1, 1, 1});
  seed("cache_file", "mixed_records", singles);
  // The file holds every record written so far; a checkpoint past the first
  // is what a drainer leaves after sending it.
  std::string advanced = singles;
  const std::string ckpt = std::to_string(twoEvents.size());
  advanced.replace(10 - ckpt.size(), ckpt.size(), ckpt);
  seed("cache_file", "checkpoint_advanced", advanced);
  seed("cache_file", "new_file", "0000000010");

  // Replies as the local audit service writes them; the first byte picks the
  // HTTP status (0: 200, 1: 500, 11: none), the second the batch size - 1.
  seed("soap_reply", "success", std::string("\x00\x01", 2) + envelope("<sendEventResponse xmlns=\"urn:kto:velm:10\"/>"));
  seed("soap_reply", "empty_200", std::string("\x00\x00", 2));
  seed("soap_reply", "client_fault",
       std::string("\x01\x03", 2) + fault("soapenv:client", "Event 2 of the request is not a valid event",
                                          "<failedevent>2</failedevent>"));
  seed("soap_reply", "client_fault_one",
       std::string("\x01\x00", 2) + fault("soapenv:client", "Event 1 of the request is not a valid event",
                                          "<failedevent>1</failedevent>"));
  seed("soap_reply", "role_fault",
       std::string("\x01\x00", 2) +
           fault("soapenv:Server", "SECJ0053E: Authorization failed: the caller holds no role that may call sendEvent",
                 ""));
  seed("soap_reply", "malformed_request_fault",
       std::string("\x01\x01", 2) +
           fault("soapenv:Server", "velm-sink: malformed sendEvent request: no Body", ""));
  seed("soap_reply", "http_500", std::string("\x01\x00", 2) + "internal server error\n");

  // Property lists: what the cache and transport tests and the
  // documentation use, one property a line (see context_properties_fuzz.cc).
  seed("context_properties", "minimal",
       "serverURL=http://localhost:9080/velmws/services/Emitter\nerrorFilePath=error.log\n"
       "diskCachePath=cache/batch\n");
  seed("context_properties", "full",
       "serverURL=http://127.0.0.1:9/audit\nerrorFilePath=error.log\ntraceFilePath=trace.log\ntraceLevel#3\n"
       "transferSize#10\nqueueSize#50\nhiWater#20\nlowWater#10\nflushInterval#2\nnumberEQThreads#1\n"
       "numberCMThreads#1\nretryInterval#2\nnumberRetries#3\ncompress=no\nelementCodeSet=UTF8\n"
       "useDiskCache=auto\ndiskCachePath=batch\nmaxCacheFileSize#10240\nmaxCacheFiles#1000\n"
       "rebindInterval#10\ntempStorageFullTimeout#-1\nshutDownTimeout#-1\nresponseTimeout#180\n"
       "maxTraceFileSize#512\nmaxTraceFiles#2\nmaxErrorFileSize#1000000\nmaxErrorFiles#2\n"
       "clientUserName=auditor\nclientPassword=secret\n");
  seed("context_properties", "https",
       "serverURL=https://127.0.0.1:9443/audit\nerrorFilePath=error.log\nkeyFilePath=client.p12\n"
       "stashFilePath=client.sth\nuseDiskCache=never\n");
  seed("context_properties", "bad_values",
       "serverURL=http://127.0.0.1:9/audit\nerrorFilePath=error.log\nuseDiskCache=sometimes\ntransferSize#0\n"
       "compress\nqueueSize?3\n");

  // Properties files as the logging documentation shows them (file names
  // relative: the harness keeps its files in its scratch directory).
  seed("quill_properties", "trace_logger",
       "# the trace logger and its handler\napp.trace.className = qlg_basiclogger\napp.trace.level = DEBUG_MAX\n"
       "app.trace.listenerNames = app.file\napp.file.className = qlg_filehandler\napp.file.fileName = trace.log\n"
       "app.file.description = caf\\u00e9 \\\n    continued\n");
  seed("quill_properties", "error_logger",
       "! the toolkit's own error log\nquill.errorLogger.level = WARN\nquill.defaultConsole.formatterName = "
       "app.xml\napp.xml.className = qlg_xmlformatter\napp.file.maxFiles: 3\napp.file.maxFileSize 4096\n"
       "app.file.appending=true\n");
  seed("quill_properties", "escapes",
       "a.key\\ with\\:seps = value \\\"quoted\\' \\u20ac\\u00fc\r\nb.empty=\r\nc.tail = last");

  VELM_Result_Clean(&res);
  return 0;
}
