// velm-properties-doc: writes the property reference (docs/properties.md) from
// the library's own property table, so the names, types, defaults and rules
// in the documentation are the ones the code checks.
//   velm-properties-doc [OUTPUT]   (standard output without OUTPUT)
#include <climits>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "capis/properties.h"

namespace {

// What the table cannot say: the use of each property and the defaults that
// are computed when a context is created rather than stored in the table.
struct Note {
  std::string_view name;
  std::string_view use;
  std::string_view computedDefault;  // empty: the table's default
};

constexpr Note kNotes[] = {
    {"serverURL", "Address of the audit service. Required. A value beginning with \"https\" (any case) makes the "
                  "connection secure, which then requires `keyFilePath` and `stashFilePath`.", ""},
    {"keyFilePath", "PKCS#12 file with the CA certificates to trust and, optionally, the client's "
                    "certificate and key. Required when `serverURL` is secure.", ""},
    {"stashFilePath", "File whose first line is the password of `keyFilePath`. Required when `serverURL` is "
                      "secure.", ""},
    {"clientUserName", "User name sent with each request to the audit service.", ""},
    {"clientPassword", "Password sent with each request to the audit service.", ""},
    {"transferSize", "Events per request to the audit service. At most `hiWater`.", ""},
    {"queueSize", "Events the in-memory queue holds. At least `hiWater`.", ""},
    {"hiWater", "Queue level at which the queue threads send at once. At least `transferSize`, at most "
                "`queueSize`.", ""},
    {"flushInterval", "Seconds the oldest queued event may wait before a partial batch is sent.", ""},
    {"numberEQThreads", "Queue threads that send batches.", ""},
    {"numberCMThreads", "Cache manager threads that drain the disk cache.", ""},
    {"numberRetries", "Retries of a failed request before the batch goes to the disk cache.", ""},
    {"retryInterval", "Seconds between two retries.", ""},
    {"compress", "Accepted for compatibility; cache records are always compressed.", ""},
    {"elementCodeSet", "Code set of the texts the application passes and receives; \"UTF8\" means they already "
                       "are UTF-8. An unknown code set fails creation.", "the platform code set"},
    {"errorLocale", "Locale of the message texts. An unknown one falls back to the built-in texts with a warning.",
     "the current locale"},
    {"errorCodeSet", "Code set of the message texts. An unknown one falls back to the platform code set with a "
                     "warning.", "the platform code set"},
    {"traceLevel", "Current trace level; 0 when `traceFilePath` is not set. Changed at run time with "
                   "`VELM_AuditClientContext_SetTraceLevel`.", ""},
    {"errorTraceLevel", "Trace level from which \"ERROR:\" lines are written.", ""},
    {"entryTraceLevel", "Trace level from which \"ENTRY\" and \"EXIT\" lines are written.", ""},
    {"flowTraceLevel", "Trace level from which \"FLOW:\" lines are written.", ""},
    {"usingQUILL", "\"yes\" when the application has opened the logging toolkit itself.", ""},
    {"traceLoggerName", "Logging-toolkit name of the trace logger.", ""},
    {"traceFilePath", "Trace file. Without it nothing is traced.", ""},
    {"maxTraceFileSize", "Bytes per trace file before it rolls over.", ""},
    {"maxTraceFiles", "Trace files kept in rotation.", ""},
    {"errorLoggerName", "Logging-toolkit name of the error logger.", ""},
    {"errorFilePath", "Error log file. Required.", ""},
    {"maxErrorFileSize", "Bytes per error file before it rolls over.", ""},
    {"maxErrorFiles", "Error files kept in rotation.", ""},
    {"useDiskCache", "When events go to the disk cache: \"never\", \"always\" (every event, before the send "
                     "returns) or \"auto\" (when the service cannot be reached or the queue is full).", ""},
    {"lowWater", "Queue level used by the queue threads. At most `queueSize`.", "the value of `transferSize`"},
    {"diskCachePath", "Path prefix of the cache files: the directory and, after the last \"/\", the file-name "
                      "prefix. Required unless `useDiskCache` is \"never\".", ""},
    {"maxCacheFileSize", "Bytes per cache file.", ""},
    {"maxCacheFiles", "Cache files allowed at once.", ""},
    {"rebindInterval", "Seconds between checks of the service while it is down.", ""},
    {"tempStorageFullTimeout", "Seconds a send may wait for room in a full queue or cache; -1: no limit.", ""},
    {"shutDownTimeout", "Seconds client deletion waits for queued events to go out; -1: no limit, 0: no wait.",
     ""},
    {"responseTimeout", "Seconds to wait for the service's reply to a request.",
     "180, or the environment variable VELM_SERVER_RESPONSE_TIMEOUT when it holds a positive integer"},
    {"cacheSync", "\"yes\": every cache record and checkpoint reaches the disk (`fdatasync`) before it counts as "
                  "written, and the directory is synced after a cache file is created, renamed or removed, so "
                  "cached events survive a power cut. \"no\": the operating system writes back. An addition.",
     ""},
};

const Note *noteFor(std::string_view name) {
  for (const Note &note : kNotes)
    if (note.name == name) return &note;
  return nullptr;
}

std::string quoted(const char *text) { return std::string("\"") + text + "\""; }

std::string choicesText(const velm::PropertyDef &def) {
  std::string out;
  int count = 0;
  for (const char *choice : def.choices)
    if (choice != nullptr) ++count;
  int i = 0;
  for (const char *choice : def.choices) {
    if (choice == nullptr) continue;
    if (i > 0) out += i == count - 1 ? " or " : ", ";
    out += quoted(choice);
    ++i;
  }
  return "exactly " + out;
}

std::string defaultText(const velm::PropertyDef &def, const Note *note) {
  if (note != nullptr && !note->computedDefault.empty()) return std::string(note->computedDefault);
  if (def.valueType == VELM_VT_INTEGER) return std::to_string(def.intDefault);
  if (def.intField != nullptr) return quoted(def.choices[static_cast<std::size_t>(def.intDefault)]);
  return def.strDefault != nullptr ? quoted(def.strDefault) : "none";
}

std::string ruleText(const velm::PropertyDef &def) {
  if (def.valueType == VELM_VT_INTEGER)
    return def.minimum == velm::kAny ? "any integer" : ">= " + std::to_string(def.minimum);
  if (def.intField != nullptr) return choicesText(def);
  return "any text";
}

std::string render() {
  std::ostringstream out;
  out << "# Client context properties\n\n"
         "<!-- Generated from the library's property table by velm-properties-doc; do not edit.\n"
         "     Regenerate with: cmake --build build --target properties-doc -->\n\n"
         "A client context is created from a list of `VELM_Property` entries (name, value type, value), "
         "ended by an entry whose name is NULL. Names are compared exactly; a name the library does not know "
         "is ignored. A value of the wrong type fails creation with message 5, a NULL value with message 4, "
         "a value outside its rule with message 7. String values are copied. A property given twice takes "
         "its last value.\n\n"
         "| Property | Type | Default | Allowed | Use |\n"
         "|---|---|---|---|---|\n";
  for (const velm::PropertyDef &def : velm::kProperties) {
    const Note *note = noteFor(def.name);
    std::string use = note != nullptr ? std::string(note->use) : std::string();
    if (def.secret) use += use.empty() ? "Never traced." : " Never traced.";
    out << "| `" << def.name << "` | " << (def.valueType == VELM_VT_INTEGER ? "VELM_VT_INTEGER" : "VELM_VT_STRING")
        << " | " << defaultText(def, note) << " | " << ruleText(def) << " | " << use << " |\n";
  }
  out << "\nRules between properties, checked in this order after all are stored: `serverURL` and "
         "`errorFilePath` must be given (message 6); `queueSize` >= `hiWater` >= `transferSize` and, when "
         "given, `lowWater` <= `queueSize` (message 50); a secure `serverURL` needs `keyFilePath` and then "
         "`stashFilePath` (message 6).\n";
  return out.str();
}

}  // namespace

int main(int argc, char **argv) {
  // A note whose property left the table would silently drop out of the page.
  for (const Note &note : kNotes) {
    if (velm::findProperty(note.name) < 0) {
      std::cerr << "velm-properties-doc: note for unknown property " << note.name << "\n";
      return 1;
    }
  }
  const std::string text = render();
  if (argc < 2) {
    std::cout << text;
    return std::cout ? 0 : 1;
  }
  std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) {
    std::cerr << "velm-properties-doc: cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
