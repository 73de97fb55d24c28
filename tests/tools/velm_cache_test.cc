// velm-cache on cache directories laid out by hand: the drain order and the
// states of list, the first bad offset that verify names for each kind of
// damage, dump's events, and that none of them changes the directory.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "capis/cache_support.h"
#include "support/sink.h"
#include "tools/tool_support.h"

namespace {

using velm_test::eventText;
using velm_test::makeRecord;
using velm_test::runTool;
using velm_test::writeBytes;

std::string batch(int first, int count) {
  std::string b;
  for (int i = first; i < first + count; ++i) b += eventText(i);
  return b;
}

const std::string kCkpt = "0000000010";

struct CacheDir {
  velm::test::sink_detail::TempDir dir{"velm-cache-tool-"};
  std::string file(const std::string &name, const std::string &bytes) const {
    writeBytes(dir.path() + "/" + name, bytes);
    return dir.path() + "/" + name;
  }
};

std::vector<std::string> lines(const std::string &text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

// Names, sizes, modification times and contents of everything in dir.
std::map<std::string, std::string> snapshot(const std::string &dir) {
  std::map<std::string, std::string> out;
  for (const auto &e : std::filesystem::directory_iterator(dir)) {
    struct stat st {};
    stat(e.path().c_str(), &st);
    std::ifstream in(e.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    out[e.path().filename().string()] = std::to_string(st.st_size) + "/" + std::to_string(st.st_mtim.tv_sec) +
                                        "." + std::to_string(st.st_mtim.tv_nsec) + "/" +
                                        std::to_string(st.st_mode) + "/" + bytes;
  }
  return out;
}

TEST(VelmCacheTool, VerifyNamesTheFirstBadOffsetOfEachDamageKind) {
  const std::string r1 = makeRecord(batch(1, 3), 3);
  const std::string r2 = makeRecord(batch(4, 2), 2);
  const long at2 = 10 + static_cast<long>(r1.size());
  std::string badPayload = r1;
  badPayload[badPayload.size() - 2] ^= 0x5a;  // inside zlib's checksum
  char impossible[32];
  velm::formatRecordHeader(impossible, 999999999L, 10, 1);

  struct Case {
    const char *name;
    std::string bytes;
    std::string expect;  // the line verify prints after "<file>: "
  };
  const std::vector<Case> cases = {
      {"good", kCkpt + r1 + r2, "ok, 2 records, 5 events"},
      {"bad signature", kCkpt + r1 + "Yrec" + r2.substr(4),
       "BAD at offset " + std::to_string(at2) + ": bad signature; 1 good record before offset " +
           std::to_string(at2)},
      {"impossible sizes", kCkpt + std::string(impossible, 32) + std::string(10, 'x'),
       "BAD at offset 10: impossible sizes; 0 good records before offset 10"},
      {"payload cut short", kCkpt + r1 + r2.substr(0, r2.size() - 5),
       "BAD at offset " + std::to_string(at2) + ": payload cut short (" + std::to_string(r2.size() - 37) +
           " of " + std::to_string(r2.size() - 32) + " bytes); 1 good record before offset " +
           std::to_string(at2)},
      {"header cut short", kCkpt + r1 + r2.substr(0, 20),
       "BAD at offset " + std::to_string(at2) +
           ": record header cut short (20 of 32 bytes); 1 good record before offset " + std::to_string(at2)},
      {"bad payload", kCkpt + badPayload + r2,
       "BAD at offset 10: payload does not uncompress (error -3); 0 good records before offset 10"},
      {"checkpoint outside", "0000099999" + r1,
       "BAD at offset 0: checkpoint 99999 lies outside the file; 1 good record before the end"},
      {"checkpoint cut", "00000",
       "BAD at offset 0: checkpoint cut short (5 of 10 bytes); 0 good records before the end"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    CacheDir d;
    const std::string name = "batch.2026-01-02-03-04-05.1";
    const std::string path = d.file(name, c.bytes);
    const auto run = runTool({VELM_CACHE_PATH, "verify", path});
    EXPECT_EQ(run.output, name + ": " + c.expect + "\n1 file checked, " +
                              (c.expect.rfind("ok", 0) == 0 ? "0" : "1") + " bad\n");
    EXPECT_EQ(run.status, c.expect.rfind("ok", 0) == 0 ? 0 : 1);
  }
}

TEST(VelmCacheTool, ListShowsDrainOrderStatesAndWhatIsLeftToSend) {
  CacheDir d;
  const std::string r1 = makeRecord(batch(1, 3), 3);
  const std::string r2 = makeRecord(batch(4, 2), 2);
  char ckpt[11];
  std::snprintf(ckpt, sizeof ckpt, "%010zu", 10 + r1.size());
  // Same second: by number, 9 before 10 (a text sort would swap them).
  d.file("batch.2026-01-02-03-04-05.10", std::string(ckpt) + r1 + r2);  // first record delivered
  d.file("batch.2026-01-02-03-04-05.9", kCkpt + r1);
  d.file("batch.2026-01-01-00-00-00.3", kCkpt + r1 + r2.substr(0, 20));  // oldest, cut by a crash
  d.file("batch.2026-01-01-00-00-00.1.corrupt1", kCkpt + "junk");
  d.file("batch.2026-01-03-00-00-00.1", kCkpt);  // a fresh file
  d.file("other.txt", "not a cache file");
  d.file("trace.log", "neither");

  const auto run = runTool({VELM_CACHE_PATH, "list", d.dir.path() + "/batch"});
  ASSERT_EQ(run.status, 0) << run.output;
  const auto out = lines(run.output);
  ASSERT_EQ(out.size(), 7u) << run.output;
  EXPECT_EQ(out[0], d.dir.path() + "/batch: 5 files, " +
                        std::to_string((10 + r1.size() + r2.size()) + (10 + r1.size()) +
                                       (10 + r1.size() + 20) + 14 + 10) +
                        " bytes, 3 records with 8 events to send, 2 corrupt");
  auto row = [](const std::string &order, const std::string &name, std::size_t size, const std::string &ckpt,
                int records, int events, const std::string &state) {
    char buf[512];
    std::snprintf(buf, sizeof buf, "%-5s %-40s %10zu %10s %7d %7d  %s", order.c_str(), name.c_str(), size,
                  ckpt.c_str(), records, events, state.c_str());
    return std::string(buf);
  };
  EXPECT_EQ(out[2], row("1", "batch.2026-01-01-00-00-00.3", 10 + r1.size() + 20, "10", 1, 3,
                        "CORRUPT at offset " + std::to_string(10 + r1.size()) +
                            ": record header cut short (20 of 32 bytes)"));
  EXPECT_EQ(out[3], row("2", "batch.2026-01-02-03-04-05.9", 10 + r1.size(), "10", 1, 3, "ok"));
  EXPECT_EQ(out[4], row("3", "batch.2026-01-02-03-04-05.10", 10 + r1.size() + r2.size(),
                        std::to_string(10 + r1.size()), 1, 2, "ok"));
  EXPECT_EQ(out[5], row("4", "batch.2026-01-03-00-00-00.1", 10, "10", 0, 0, "drained"));
  EXPECT_EQ(out[6], row("-", "batch.2026-01-01-00-00-00.1.corrupt1", 14, "10", 0, 0,
                        "renamed as corrupt, not drained"));

  // A directory lists the same files.
  const auto byDir = runTool({VELM_CACHE_PATH, "list", d.dir.path()});
  EXPECT_EQ(lines(byDir.output).size(), 7u) << byDir.output;
}

TEST(VelmCacheTool, DumpPrintsEachEventOfARecordOnItsOwnLine) {
  CacheDir d;
  const std::string r1 = makeRecord(batch(1, 3), 3);
  const std::string r2 = makeRecord(batch(4, 2), 2);
  const std::string path = d.file("batch.2026-01-02-03-04-05.1", kCkpt + r1 + r2);

  auto run = runTool({VELM_CACHE_PATH, "dump", path, "2"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "<!-- batch.2026-01-02-03-04-05.1 record 2 at offset " +
                            std::to_string(10 + r1.size()) + ": 2 events -->\n" + eventText(4) + "\n" +
                            eventText(5) + "\n");

  run = runTool({VELM_CACHE_PATH, "dump", path});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(velm_test::countOf(run.output, "<CommonBaseEvent "), 5);

  run = runTool({VELM_CACHE_PATH, "dump", path, "3"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("has 2 readable records, not 3"), std::string::npos) << run.output;
}

TEST(VelmCacheTool, NothingInTheDirectoryChanges) {
  CacheDir d;
  const std::string r1 = makeRecord(batch(1, 3), 3);
  d.file("batch.2026-01-02-03-04-05.1", kCkpt + r1 + "Yrec");
  d.file("batch.2026-01-02-03-04-05.2", "0000099999" + r1);
  d.file("batch.2026-01-02-03-04-05.3", kCkpt + r1);
  const auto before = snapshot(d.dir.path());
  for (const char *command : {"list", "verify", "dump"}) {
    SCOPED_TRACE(command);
    const auto run = runTool({VELM_CACHE_PATH, command, d.dir.path() + "/batch"});
    EXPECT_NE(run.status, 2) << run.output;
  }
  EXPECT_EQ(snapshot(d.dir.path()), before);
}

TEST(VelmCacheTool, BadUsageAndMissingPathsExitWithTwo) {
  CacheDir d;
  for (const std::vector<std::string> &args :
       std::vector<std::vector<std::string>>{{"list"},
                                             {"frobnicate", d.dir.path()},
                                             {"list", d.dir.path() + "/no/such/dir/batch"},
                                             {"dump", d.dir.path(), "0"}}) {
    std::vector<std::string> cmd = {VELM_CACHE_PATH};
    cmd.insert(cmd.end(), args.begin(), args.end());
    const auto run = runTool(cmd);
    EXPECT_EQ(run.status, 2) << run.output;
  }
}

}  // namespace
