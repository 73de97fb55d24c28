// Concurrent writers: many threads of one process through "qlg_filehandler",
// and two processes sharing one file through "qlg_multiproc_filehandler"
// across roll-overs. Every record must arrive whole, exactly once.
#include <gtest/gtest.h>
#include <sys/sem.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "qlg.h"
#include "quill/src/util/log_file.h"

namespace velm {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPadding = 60;

// "rec <process> <thread> <seq> xxx...": one record's payload; the basic
// formatter puts the date in front of it.
std::string payload(int process, int thread, int seq) {
  return "rec " + std::to_string(process) + " " + std::to_string(thread) + " " + std::to_string(seq) + " " +
         std::string(kPadding, 'x');
}

struct Tally {
  std::map<std::string, int> seen;  // "process thread seq" -> count
  int broken = 0;                   // lines that are not one whole record
  int files = 0;
};

// Reads the active file and every backup that exists.
Tally tallyFiles(const LogFileName &name, int maxFiles) {
  Tally t;
  for (int k = 0; k < maxFiles; ++k) {
    std::string path = k == 0 ? name.activePath() : name.backupPath(k);
    std::ifstream in(path);
    if (!in) continue;
    ++t.files;
    for (std::string line; std::getline(in, line);) {
      std::size_t at = line.find(" rec ");
      if (at == std::string::npos || line.find(" rec ", at + 1) != std::string::npos) {
        ++t.broken;
        continue;
      }
      std::istringstream fields(line.substr(at + 5));
      int p = -1, th = -1, seq = -1;
      std::string pad, rest;
      fields >> p >> th >> seq >> pad;
      if (!fields || pad != std::string(kPadding, 'x') || (fields >> rest)) {
        ++t.broken;
        continue;
      }
      ++t.seen[std::to_string(p) + " " + std::to_string(th) + " " + std::to_string(seq)];
    }
  }
  return t;
}

void expectAllOnce(const Tally &t, int processes, int threads, int records) {
  EXPECT_EQ(t.broken, 0);
  EXPECT_EQ(t.seen.size(), static_cast<std::size_t>(processes * threads * records));
  for (int p = 0; p < processes; ++p)
    for (int th = 0; th < threads; ++th)
      for (int s = 0; s < records; ++s) {
        auto it = t.seen.find(std::to_string(p) + " " + std::to_string(th) + " " + std::to_string(s));
        if (it == t.seen.end() || it->second != 1) {
          ADD_FAILURE() << "record " << p << " " << th << " " << s << " seen "
                        << (it == t.seen.end() ? 0 : it->second) << " times";
          return;
        }
      }
}

class ConcurrentFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "qlgmp-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // Logger "<name>" -> handler "FH<name>" of handlerClass on file; the
  // caller releases the logger.
  static QlgObject *makeLog(const std::string &name, const char *handlerClass, const std::string &file,
                            int maxFileSize, int maxFiles, int semKey) {
    QlgObject *logger = QlgGetObject(name.c_str(), "qlg_basiclogger");
    QlgObject *handler = QlgGetObject(("FH" + name).c_str(), handlerClass);
    if (logger == nullptr || handler == nullptr) return nullptr;
    QlgSetObjProp(logger, "level", "1000");
    if (semKey != 0) QlgSetObjPropInt(handler, "MPFileSemKey", semKey);
    QlgSetObjProp(handler, "fileName", file.c_str());
    QlgSetObjPropInt(handler, "maxFileSize", maxFileSize);
    QlgSetObjPropInt(handler, "maxFiles", maxFiles);
    QlgSetObjProp(handler, "filePermission", "0660");
    QlgAddListener(logger, handler);
    QlgReleaseObject(handler);
    return logger;
  }

  static void logRecords(QlgObject *logger, int process, int thread, int records) {
    for (int s = 0; s < records; ++s)
      QlgLogDebugMin(logger, nullptr, nullptr, 0, "%s", QLG_STRING, payload(process, thread, s).c_str(),
                     QLG_END);
  }

  std::string dir_;
};

TEST_F(ConcurrentFileTest, ThreadsNeverInterleaveRecords) {
  constexpr int kThreads = 8, kRecords = 400, kMaxFiles = 40;
  ASSERT_EQ(QlgOpenToolkit(nullptr), 1);
  std::string file = dir_ + "/threads.log";
  QlgObject *logger = makeLog("threads", "qlg_filehandler", file, 16384, kMaxFiles, 0);
  ASSERT_NE(logger, nullptr);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(logRecords, logger, 0, t, kRecords);
  for (std::thread &t : threads) t.join();
  QlgReleaseObject(logger);
  QlgCloseToolkit();

  LogFileName name;
  ASSERT_EQ(splitLogFileName(file.c_str(), name), FileNameStatus::kOk);
  Tally t = tallyFiles(name, kMaxFiles);
  EXPECT_GT(t.files, 2);          // it did roll over
  EXPECT_LT(t.files, kMaxFiles);  // and nothing was dropped off the end
  expectAllOnce(t, 1, kThreads, kRecords);
}

TEST_F(ConcurrentFileTest, TwoProcessesShareOneFileAcrossRollOvers) {
  constexpr int kProcesses = 2, kThreads = 2, kRecords = 600, kMaxFiles = 60;
  const int key = 0x51480000 + (getpid() & 0xffff);
  std::string file = dir_ + "/shared.log";

  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      // The child builds its own toolkit, as an unrelated process would.
      if (QlgOpenToolkit(nullptr) != 1) _exit(2);
      QlgObject *logger = makeLog("mp", "qlg_multiproc_filehandler", file, 8192, kMaxFiles, key);
      if (logger == nullptr) _exit(3);
      std::vector<std::thread> threads;
      for (int t = 0; t < kThreads; ++t) threads.emplace_back(logRecords, logger, p, t, kRecords);
      for (std::thread &t : threads) t.join();
      QlgReleaseObject(logger);
      QlgCloseToolkit();
      _exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  }
  int semId = semget(key, 1, 0);
  EXPECT_GE(semId, 0);
  if (semId >= 0) {
    EXPECT_EQ(semctl(semId, 0, GETVAL), 1);  // released by both
    semctl(semId, 0, IPC_RMID);
  }

  LogFileName name;
  ASSERT_EQ(splitLogFileName(file.c_str(), name), FileNameStatus::kOk);
  Tally t = tallyFiles(name, kMaxFiles);
  EXPECT_GT(t.files, 2);
  EXPECT_LT(t.files, kMaxFiles);
  expectAllOnce(t, kProcesses, kThreads, kRecords);
}

// A process that dies holding the semaphore must not lock the others out.
TEST(FileSemaphore, DeathWhileHoldingReleasesIt) {
  const key_t key = 0x51490000 + (getpid() & 0xffff);
  FileSemaphore sem;
  LogFileIssues issues;
  ASSERT_TRUE(sem.setUp(key, issues));
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    FileSemaphore mine;
    LogFileIssues ignored;
    if (!mine.setUp(key, ignored) || !mine.lock(ignored)) _exit(2);
    // Held: a second holder would block here; exit without unlocking.
    _exit(semctl(mine.id(), 0, GETVAL) == 0 ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(semctl(sem.id(), 0, GETVAL), 1);
  ASSERT_TRUE(sem.lock(issues));
  EXPECT_EQ(semctl(sem.id(), 0, GETVAL), 0);
  sem.unlock(issues);
  sem.unlock(issues);  // a second unlock must not open it for two
  EXPECT_EQ(semctl(sem.id(), 0, GETVAL), 1);
  EXPECT_TRUE(issues.empty());
  semctl(sem.id(), 0, IPC_RMID);
}

}  // namespace
}  // namespace velm
