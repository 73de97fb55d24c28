// velm-cache: looks into a disk cache directory without changing it. Files
// are opened read-only and nothing is created, renamed or removed, so it is
// safe to run beside a process that drains the same cache.
//
//   velm-cache list   PATH            files in drain order, with what they hold
//   velm-cache verify PATH            every record, and the first bad offset of each file
//   velm-cache dump   PATH [RECORD]   the events of a file (or of its RECORD-th record) as XML
//
// PATH is a cache directory, a diskCachePath (directory plus file-name
// prefix) or, for verify and dump, one cache file.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "capis/cache_internal.h"
#include "platform/fs.h"

namespace {

using velm::kFirstRecordOffset;
using velm::kRecordHeaderSize;

struct FileCloser {
  void operator()(FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// One record as found on disk.
struct Record {
  long offset = 0;
  long dataSize = 0;
  long compSize = 0;
  int32_t numEvents = 0;
};

// What a walk over the records of a file found.
struct Scan {
  std::vector<Record> records;  // the good ones, in order
  long badOffset = -1;          // where the first bad record starts; -1 none
  std::string problem;          // what is wrong there
};

// What one cache file holds.
struct CacheFile {
  std::string name;
  std::string path;
  long size = 0;
  time_t creationTime = 0;
  long sequence = 0;
  bool renamedCorrupt = false;  // "<name>.corruptN": never read again
  bool checkpointRead = false;  // the file holds 10 bytes of checkpoint
  long checkpoint = 0;
  std::string checkpointProblem;
  Scan all;      // records from the first one on
  Scan pending;  // records from the checkpoint on: what a drainer sends
  std::string openProblem;
};

// The time in a name "<prefix>.<%Y-%m-%d-%H-%M-%S>.<n>", as the library
// orders files; -1 when the name has none.
time_t nameTime(const std::string &name) {
  const std::size_t last = name.rfind('.');
  if (last == std::string::npos || last == 0) return -1;
  const std::size_t prev = name.rfind('.', last - 1);
  if (prev == std::string::npos) return -1;
  const std::string stamp = name.substr(prev + 1, last - prev - 1);
  struct tm tm {};
  const char *end = strptime(stamp.c_str(), "%Y-%m-%d-%H-%M-%S", &tm);
  if (end == nullptr || *end != '\0') return -1;
  tm.tm_isdst = -1;
  const time_t t = std::mktime(&tm);
  return t == 0 ? -1 : t;
}

bool allDigits(const std::string &s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// With a prefix, the files a starting process takes up: every name that
// begins with it, those containing "corrupt" left alone. Without one, the
// names writers give ("<prefix>.<time>.<n>"), renamed ones among them.
bool isCacheFileName(const std::string &name, const std::string &prefix, bool &corrupt) {
  if (!prefix.empty()) {
    corrupt = name.find("corrupt") != std::string::npos;
    return name.compare(0, prefix.size(), prefix) == 0;
  }
  std::string base = name;
  const std::size_t c = name.rfind(".corrupt");
  corrupt = c != std::string::npos && allDigits(name.substr(c + 8));
  if (corrupt) base = name.substr(0, c);
  const std::size_t last = base.rfind('.');
  return last != std::string::npos && allDigits(base.substr(last + 1)) && nameTime(base) != -1;
}

// Walks the records from offset on, checking each header and payload the
// way the library's reader does.
Scan scanRecords(FILE *file, long from, long size, bool keepRecords = true) {
  Scan scan;
  velm::cacheRecord rec;
  for (long o = from; o < size;) {
    char hdr[kRecordHeaderSize];
    if (std::fseek(file, o, SEEK_SET) != 0) {
      scan.badOffset = o;
      scan.problem = std::string("cannot seek: ") + std::strerror(errno);
      return scan;
    }
    const std::size_t n = std::fread(hdr, 1, sizeof hdr, file);
    if (n < sizeof hdr) {
      scan.badOffset = o;
      scan.problem = std::ferror(file) ? std::string("read error: ") + std::strerror(errno)
                                       : "record header cut short (" + std::to_string(n) + " of " +
                                             std::to_string(kRecordHeaderSize) + " bytes)";
      return scan;
    }
    Record r;
    r.offset = o;
    const long room = size - o - kRecordHeaderSize;
    if (const char *wrong = velm::checkRecordHeader(hdr, room, r.dataSize, r.compSize, r.numEvents)) {
      scan.badOffset = o;
      scan.problem = wrong;
      if (std::strcmp(wrong, "payload cut short") == 0)
        scan.problem += " (" + std::to_string(room) + " of " + std::to_string(r.compSize) + " bytes)";
      return scan;
    }
    rec.compSize = static_cast<int32_t>(r.compSize);
    rec.compBuf.resize(static_cast<std::size_t>(r.compSize) + 1);
    if (std::fread(rec.compBuf.data(), 1, static_cast<std::size_t>(r.compSize), file) !=
        static_cast<std::size_t>(r.compSize)) {
      scan.badOffset = o;
      scan.problem = "payload cut short";
      return scan;
    }
    const int rc = velm::uncompressRecord(rec, r.dataSize);
    if (rc != 0) {
      scan.badOffset = o;
      scan.problem = "payload does not uncompress (error " + std::to_string(rc) + ")";
      return scan;
    }
    if (keepRecords) scan.records.push_back(r);
    o += kRecordHeaderSize + r.compSize;
  }
  return scan;
}

CacheFile examine(const std::string &dir, const std::string &name, bool renamedCorrupt) {
  CacheFile f;
  f.name = name;
  f.path = dir + "/" + name;
  f.renamedCorrupt = renamedCorrupt;
  const std::size_t c = name.rfind(".corrupt");
  const std::string base = renamedCorrupt && c != std::string::npos ? name.substr(0, c) : name;
  f.creationTime = nameTime(base);
  const std::size_t dot = base.rfind('.');
  f.sequence = dot == std::string::npos ? 0 : velm::parseDecimal(base.c_str() + dot + 1, 10);
  File file(std::fopen(f.path.c_str(), "rb"));
  if (!file) {
    f.openProblem = std::strerror(errno);
    return f;
  }
  struct stat st {};
  if (fstat(fileno(file.get()), &st) != 0) {
    f.openProblem = std::strerror(errno);
    return f;
  }
  if (f.creationTime == -1) f.creationTime = st.st_ctime;
  f.size = static_cast<long>(st.st_size);
  char ckpt[velm::kCheckpointWidth];
  if (std::fread(ckpt, 1, sizeof ckpt, file.get()) == sizeof ckpt) {
    f.checkpointRead = true;
    f.checkpoint = velm::parseDecimal(ckpt, velm::kCheckpointWidth);
    if (f.checkpoint < kFirstRecordOffset || f.checkpoint > f.size)
      f.checkpointProblem = "checkpoint " + std::to_string(f.checkpoint) + " lies outside the file";
  } else {
    f.checkpointProblem = "checkpoint cut short (" + std::to_string(f.size) + " of 10 bytes)";
  }
  f.all = scanRecords(file.get(), kFirstRecordOffset, f.size);
  if (f.checkpointProblem.empty()) {
    // The records a drainer still sends; the checkpoint may sit past a bad
    // record that was already delivered, or inside a record.
    if (f.all.badOffset == -1 || f.all.badOffset >= f.checkpoint) {
      for (const Record &r : f.all.records)
        if (r.offset >= f.checkpoint) f.pending.records.push_back(r);
      f.pending.badOffset = f.all.badOffset;
      f.pending.problem = f.all.problem;
      const bool onBoundary = f.checkpoint == f.size || f.checkpoint == f.all.badOffset ||
                              std::any_of(f.all.records.begin(), f.all.records.end(),
                                          [&](const Record &r) { return r.offset == f.checkpoint; });
      if (!onBoundary) f.pending = scanRecords(file.get(), f.checkpoint, f.size);
    } else {
      f.pending = scanRecords(file.get(), f.checkpoint, f.size);
    }
  }
  return f;
}

// Corrupt in the library's eyes: a drainer would rename it.
bool drainFails(const CacheFile &f) {
  return f.checkpointRead && (!f.checkpointProblem.empty() || f.pending.badOffset != -1);
}

long eventsOf(const std::vector<Record> &records) {
  long n = 0;
  for (const Record &r : records) n += r.numEvents;
  return n;
}

struct Target {
  std::string dir;
  std::string prefix;  // empty: every cache file of the directory
  std::string file;    // one file only
};

int usage() {
  std::fprintf(stderr,
               "usage: velm-cache list PATH\n"
               "       velm-cache verify PATH\n"
               "       velm-cache dump PATH [RECORD]\n"
               "PATH: a cache directory, a diskCachePath (directory/prefix) or one cache file\n");
  return 2;
}

bool resolve(const std::string &path, Target &t) {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    t.dir = path;
    return true;
  }
  const std::size_t slash = path.rfind('/');
  t.dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const std::string rest = slash == std::string::npos ? path : path.substr(slash + 1);
  if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    t.file = rest;
    return true;
  }
  struct stat ds {};
  if (stat(t.dir.c_str(), &ds) != 0 || !S_ISDIR(ds.st_mode)) return false;
  t.prefix = rest;
  return true;
}

// The files of the target in drain order (renamed corrupt ones last, as
// they are never drained), or false when the directory cannot be read.
bool collect(const Target &t, std::vector<CacheFile> &files) {
  if (!t.file.empty()) {
    files.push_back(examine(t.dir, t.file, t.file.find("corrupt") != std::string::npos));
    return true;
  }
  std::vector<std::string> names;
  if (velm::fs::listDir(t.dir.c_str(), names) != 0) return false;
  for (const std::string &name : names) {
    bool corrupt = false;
    if (isCacheFileName(name, t.prefix, corrupt)) files.push_back(examine(t.dir, name, corrupt));
  }
  std::stable_sort(files.begin(), files.end(), [](const CacheFile &a, const CacheFile &b) {
    if (a.renamedCorrupt != b.renamedCorrupt) return !a.renamedCorrupt;
    if (a.creationTime != b.creationTime) return a.creationTime < b.creationTime;
    if (a.sequence != b.sequence) return a.sequence < b.sequence;
    return a.name < b.name;
  });
  return true;
}

std::string describeState(const CacheFile &f) {
  if (!f.openProblem.empty()) return "cannot open: " + f.openProblem;
  if (f.renamedCorrupt) return "renamed as corrupt, not drained";
  if (!f.checkpointRead) return "nothing to drain (" + f.checkpointProblem + ")";
  if (!f.checkpointProblem.empty()) return "CORRUPT: " + f.checkpointProblem;
  if (f.pending.badOffset != -1)
    return "CORRUPT at offset " + std::to_string(f.pending.badOffset) + ": " + f.pending.problem;
  if (f.pending.records.empty()) return "drained";
  return "ok";
}

int list(const Target &t) {
  std::vector<CacheFile> files;
  if (!collect(t, files)) {
    std::fprintf(stderr, "velm-cache: cannot read directory %s: %s\n", t.dir.c_str(), std::strerror(errno));
    return 2;
  }
  long records = 0, events = 0, bytes = 0;
  int corrupt = 0;
  for (const CacheFile &f : files) {
    bytes += f.size;
    if (f.renamedCorrupt || drainFails(f)) corrupt++;
    if (!f.renamedCorrupt) {
      records += static_cast<long>(f.pending.records.size());
      events += eventsOf(f.pending.records);
    }
  }
  std::printf("%s%s%s: %zu file%s, %ld bytes, %ld record%s with %ld event%s to send, %d corrupt\n",
              t.dir.c_str(), t.prefix.empty() ? "" : "/", t.prefix.c_str(), files.size(),
              files.size() == 1 ? "" : "s", bytes, records, records == 1 ? "" : "s", events,
              events == 1 ? "" : "s", corrupt);
  if (files.empty()) return 0;
  std::printf("%-5s %-40s %10s %10s %7s %7s  %s\n", "order", "file", "size", "checkpoint", "records",
              "events", "state");
  int order = 0;
  for (const CacheFile &f : files) {
    const std::string pos = f.renamedCorrupt ? "-" : std::to_string(++order);
    const std::string ckpt = f.checkpointRead ? std::to_string(f.checkpoint) : "-";
    std::printf("%-5s %-40s %10ld %10s %7zu %7ld  %s\n", pos.c_str(), f.name.c_str(), f.size, ckpt.c_str(),
                f.pending.records.size(), eventsOf(f.pending.records), describeState(f).c_str());
  }
  return 0;
}

std::string plural(std::size_t n, const char *word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

int verify(const Target &t) {
  std::vector<CacheFile> files;
  if (!collect(t, files)) {
    std::fprintf(stderr, "velm-cache: cannot read directory %s: %s\n", t.dir.c_str(), std::strerror(errno));
    return 2;
  }
  int bad = 0;
  for (const CacheFile &f : files) {
    // Problems in file order: the checkpoint comes first.
    std::vector<std::pair<long, std::string>> problems;
    if (!f.openProblem.empty()) problems.emplace_back(0, "cannot open: " + f.openProblem);
    if (f.openProblem.empty() && !f.checkpointProblem.empty()) problems.emplace_back(0, f.checkpointProblem);
    if (f.all.badOffset != -1) {
      std::string p = f.all.problem;
      if (f.checkpointProblem.empty() && f.all.badOffset < f.checkpoint)
        p += " (before the checkpoint: already delivered)";
      problems.emplace_back(f.all.badOffset, p);
    }
    std::string line = f.name + ": ";
    if (problems.empty()) {
      line += "ok, " + plural(f.all.records.size(), "record") + ", " +
              plural(static_cast<std::size_t>(eventsOf(f.all.records)), "event");
    } else {
      ++bad;
      for (std::size_t i = 0; i < problems.size(); ++i)
        line += std::string(i == 0 ? "BAD at offset " : "; BAD at offset ") +
                std::to_string(problems[i].first) + ": " + problems[i].second;
      if (f.openProblem.empty())
        line +=
            "; " + plural(f.all.records.size(), "good record") + " before " +
            (f.all.badOffset != -1 ? "offset " + std::to_string(f.all.badOffset) : std::string("the end"));
    }
    if (f.renamedCorrupt) line += " (renamed as corrupt)";
    std::printf("%s\n", line.c_str());
  }
  std::printf("%s checked, %d bad\n", plural(files.size(), "file").c_str(), bad);
  return bad == 0 ? 0 : 1;
}

// Writes the batch text one event per line: each event's text starts with
// its "<CommonBaseEvent" element, and the batch is their plain concatenation.
void printEvents(const std::string &text) {
  std::size_t start = 0;
  for (;;) {
    std::size_t next = text.find("<CommonBaseEvent", start + 1);
    while (next != std::string::npos && next + 16 < text.size() && text[next + 16] != ' ' &&
           text[next + 16] != '>' && text[next + 16] != '/')
      next = text.find("<CommonBaseEvent", next + 1);
    std::printf("%s\n",
                text.substr(start, next == std::string::npos ? std::string::npos : next - start).c_str());
    if (next == std::string::npos) break;
    start = next;
  }
}

int dump(const Target &t, long only) {
  std::vector<CacheFile> files;
  if (!collect(t, files)) {
    std::fprintf(stderr, "velm-cache: cannot read directory %s: %s\n", t.dir.c_str(), std::strerror(errno));
    return 2;
  }
  int status = 0;
  for (const CacheFile &f : files) {
    File file(std::fopen(f.path.c_str(), "rb"));
    if (!file) {
      std::fprintf(stderr, "velm-cache: cannot open %s: %s\n", f.path.c_str(), std::strerror(errno));
      status = 2;
      continue;
    }
    long index = 0;
    for (const Record &r : f.all.records) {
      ++index;
      if (only > 0 && index != only) continue;
      velm::cacheRecord rec;
      rec.compSize = static_cast<int32_t>(r.compSize);
      rec.compBuf.resize(static_cast<std::size_t>(r.compSize) + 1);
      if (std::fseek(file.get(), r.offset + kRecordHeaderSize, SEEK_SET) != 0 ||
          std::fread(rec.compBuf.data(), 1, static_cast<std::size_t>(r.compSize), file.get()) !=
              static_cast<std::size_t>(r.compSize) ||
          velm::uncompressRecord(rec, r.dataSize) != 0) {
        std::fprintf(stderr, "velm-cache: %s changed while being read\n", f.path.c_str());
        return 2;
      }
      std::printf("<!-- %s record %ld at offset %ld: %d event%s%s -->\n", f.name.c_str(), index, r.offset,
                  r.numEvents, r.numEvents == 1 ? "" : "s",
                  r.offset < f.checkpoint ? ", already delivered" : "");
      printEvents(rec.dataBuf);
    }
    if (only > 0 && index < only) {
      std::fprintf(stderr, "velm-cache: %s has %ld readable record%s, not %ld\n", f.name.c_str(), index,
                   index == 1 ? "" : "s", only);
      status = 1;
    }
    if (f.all.badOffset != -1) {
      std::fprintf(stderr, "velm-cache: %s: BAD at offset %ld: %s\n", f.name.c_str(), f.all.badOffset,
                   f.all.problem.c_str());
      status = 1;
    }
  }
  return status;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 3 || argc > 4) return usage();
  const std::string command = argv[1];
  Target t;
  if (!resolve(argv[2], t)) {
    std::fprintf(stderr, "velm-cache: %s is neither a cache directory, a diskCachePath nor a file\n",
                 argv[2]);
    return 2;
  }
  if (command == "list" && argc == 3) return list(t);
  if (command == "verify" && argc == 3) return verify(t);
  if (command == "dump") {
    long only = 0;
    if (argc == 4) {
      char *end = nullptr;
      only = std::strtol(argv[3], &end, 10);
      if (end == argv[3] || *end != '\0' || only < 1) return usage();
    }
    return dump(t, only);
  }
  return usage();
}
