// The file handlers: name splitting, roll-over, limits, permissions,
// directories, encodings and a deleted active file, first on the LogFile
// engine, then through the toolkit's "qlg_filehandler".
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/sem.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "qlg.h"
#include "quill/src/util/log_file.h"

namespace velm {
namespace {

namespace fs = std::filesystem;

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

unsigned modeOf(const std::string &path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return 07777777;
  return st.st_mode & 07777;
}

// A fresh directory per test, removed afterwards.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "qlgfh-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string path(const std::string &name) const { return dir_ + "/" + name; }
  std::string dir_;
};

// ---------------------------------------------------------------- names

TEST(LogFileName, SplitsAndNamesBackups) {
  struct Case {
    const char *value;
    const char *active;
    const char *backup1;
    const char *backup2;
  };
  const Case cases[] = {
      {"/var/log/app/trace.log", "/var/log/app/trace.log", "/var/log/app/trace1.log",
       "/var/log/app/trace2.log"},
      {"/var/log/app/trace2.log", "/var/log/app/trace2_.log", "/var/log/app/trace2_1.log",
       "/var/log/app/trace2_2.log"},
      {"/var/log/app/trace", "/var/log/app/trace", "/var/log/app/trace1", "/var/log/app/trace2"},
      {"/var/log/app/trace7", "/var/log/app/trace7_", "/var/log/app/trace7_1", "/var/log/app/trace7_2"},
      {"/var/log/app/a.b.log", "/var/log/app/a.b.log", "/var/log/app/a.b1.log", "/var/log/app/a.b2.log"},
      {"/var/log/app/trace.", "/var/log/app/trace.", "/var/log/app/trace1.", "/var/log/app/trace2."},
      {"C:\\logs\\err.log", "C:/logs/err.log", "C:/logs/err1.log", "C:/logs/err2.log"},
      // A dot or digit in a directory name is no extension and gets no mark.
      {"/var/log.d/trace", "/var/log.d/trace", "/var/log.d/trace1", "/var/log.d/trace2"},
      {"/var/log2.d/trace", "/var/log2.d/trace", "/var/log2.d/trace1", "/var/log2.d/trace2"},
      // A file directly under the root stays there.
      {"/top.log", "/top.log", "/top1.log", "/top2.log"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.value);
    LogFileName name;
    ASSERT_EQ(splitLogFileName(c.value, name), FileNameStatus::kOk);
    EXPECT_EQ(name.activePath(), c.active);
    EXPECT_EQ(name.backupPath(1), c.backup1);
    EXPECT_EQ(name.backupPath(2), c.backup2);
  }
}

TEST(LogFileName, RelativeNameLandsInWorkingDirectory) {
  LogFileName name;
  ASSERT_EQ(splitLogFileName("rel9.log", name), FileNameStatus::kOk);
  EXPECT_EQ(name.activePath(), fs::current_path().string() + "/rel9_.log");
  EXPECT_EQ(name.base, "rel9_");
  EXPECT_EQ(name.extension, "log");
}

TEST(LogFileName, MissingAndTooLongKeepThePreviousName) {
  LogFileName name;
  ASSERT_EQ(splitLogFileName("/a/keep.log", name), FileNameStatus::kOk);
  EXPECT_EQ(splitLogFileName(nullptr, name), FileNameStatus::kMissing);
  std::string longest = "/" + std::string(250, 'x') + ".log";  // 255 characters
  ASSERT_EQ(longest.size(), 255u);
  std::string tooLong = "/" + std::string(251, 'x') + ".log";
  // The mark for a final digit counts: 255 characters become 256.
  std::string markedTooLong = "/" + std::string(249, 'x') + "9.log";
  EXPECT_EQ(splitLogFileName(tooLong.c_str(), name), FileNameStatus::kTooLong);
  EXPECT_EQ(splitLogFileName(markedTooLong.c_str(), name), FileNameStatus::kTooLong);
  EXPECT_EQ(name.activePath(), "/a/keep.log");
  EXPECT_EQ(splitLogFileName(longest.c_str(), name), FileNameStatus::kOk);
  EXPECT_EQ(name.activePath(), longest);
}

TEST(LogFilePermission, ParsesOctalMasks) {
  struct Case {
    const char *value;
    bool ok;
    unsigned mode;  // expected mode; the old one (0123) when not ok
  };
  const Case cases[] = {
      {"0660", true, 0660},   {"660", true, 0660},   {"0640", true, 0640},  {" 0600", true, 0600},
      {"0", true, 0},         {"07777", true, 0777}, {"0755x", true, 0755}, {"rw", false, 0123},
      {"", false, 0123},      {"-1", false, 0123},   {"+644", false, 0123}, {"8", false, 0123},
      {nullptr, false, 0123},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.value ? c.value : "(null)");
    unsigned mode = 0123;
    EXPECT_EQ(parseFilePermission(c.value, mode), c.ok);
    EXPECT_EQ(mode, c.mode);
  }
}

// ---------------------------------------------------------------- the engine

class LogFileTest : public TempDirTest {
 protected:
  // Records of exactly `width` bytes: "<id> xxxx...\n".
  static std::string record(int id, std::size_t width) {
    std::string r = std::to_string(id) + " ";
    r.resize(width - 1, 'x');
    return r + "\n";
  }
  // The record ids in a file, in order; -1 for a line that is not whole.
  static std::vector<int> idsIn(const std::string &path, std::size_t width) {
    std::vector<int> ids;
    std::istringstream in(readFile(path));
    for (std::string line; std::getline(in, line);)
      ids.push_back(line.size() + 1 == width ? std::atoi(line.c_str()) : -1);
    return ids;
  }
  void useName(LogFile &file, const std::string &value) {
    LogFileName name;
    ASSERT_EQ(splitLogFileName(path(value).c_str(), name), FileNameStatus::kOk);
    file.setName(name);
  }
  static void writeOne(LogFile &file, const std::string &text) {
    LogFileIssues issues;
    ASSERT_TRUE(file.open(nullptr, issues));
    ASSERT_TRUE(file.writeRecord(text, issues));
    EXPECT_TRUE(issues.empty()) << issues.front().text;
  }
};

TEST_F(LogFileTest, RollsOverThroughNumberedBackups) {
  struct Case {
    const char *what;
    std::int64_t maxFileSize;
    int maxFiles;
    int records;
    std::vector<std::vector<int>> files;  // active, backup 1, backup 2, ...
  };
  const Case cases[] = {
      // The limit is tested before each record: four 300-byte records share
      // a file of 1000 bytes.
      {"fifth record opens a new file", 1000, 3, 5, {{4}, {0, 1, 2, 3}}},
      {"oldest backup dropped", 1000, 3, 13, {{12}, {8, 9, 10, 11}, {4, 5, 6, 7}}},
      {"two files", 1000, 2, 9, {{8}, {4, 5, 6, 7}}},
      {"one file never rolls", 1000, 1, 10, {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}}},
      {"no rotation at all", 1000, 0, 6, {{0, 1, 2, 3, 4, 5}}},
      {"limit 0: a file per record", 0, 3, 3, {{2}, {1}, {0}}},
      {"exact fit rolls on the next", 900, 4, 7, {{6}, {3, 4, 5}, {0, 1, 2}}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    std::string sub = std::string("r") + std::to_string(&c - cases);
    LogFile file(false);
    useName(file, sub + "/trace.log");
    file.settings().maxFileSize = c.maxFileSize;
    file.settings().maxFiles = c.maxFiles;
    for (int i = 0; i < c.records; ++i) writeOne(file, record(i, 300));
    LogFileIssues issues;
    file.close(nullptr, issues);
    for (std::size_t k = 0; k < c.files.size(); ++k) {
      SCOPED_TRACE("file " + std::to_string(k));
      EXPECT_EQ(idsIn(k == 0 ? file.name().activePath() : file.name().backupPath(static_cast<int>(k)), 300),
                c.files[k]);
    }
    EXPECT_FALSE(fs::exists(file.name().backupPath(static_cast<int>(c.files.size()))));
  }
}

TEST_F(LogFileTest, ExistingFileOverTheLimitRollsAtOpen) {
  {
    std::ofstream old(path("app.log"));
    old << std::string(1500, 'o');
  }
  LogFile file(false);
  useName(file, "app.log");
  file.settings().maxFileSize = 1000;
  writeOne(file, record(1, 100));
  EXPECT_EQ(readFile(path("app.log")), record(1, 100));
  EXPECT_EQ(readFile(path("app1.log")), std::string(1500, 'o'));
}

TEST_F(LogFileTest, AppendingKeepsAndTruncatingClearsAnExistingFile) {
  for (bool appending : {true, false}) {
    SCOPED_TRACE(appending ? "appending" : "truncating");
    {
      std::ofstream old(path("a.log"));
      old << "old\n";
    }
    LogFile file(false);
    useName(file, "a.log");
    file.settings().appending = appending;
    writeOne(file, "new\n");
    writeOne(file, "more\n");
    EXPECT_EQ(readFile(path("a.log")), appending ? "old\nnew\nmore\n" : "new\nmore\n");
  }
}

TEST_F(LogFileTest, HeaderStartsEveryNewFileAndTrailerEndsIt) {
  LogFile file(false);
  useName(file, "h.log");
  file.settings().maxFileSize = 10;
  LogFileIssues issues;
  LogFile::TextSource header = [] { return std::string("<log>\n"); };
  LogFile::TextSource trailer = [] { return std::string("</log>\n"); };
  for (const char *r : {"one record\n", "two record\n"}) {
    ASSERT_TRUE(file.open(header, issues));
    ASSERT_TRUE(file.writeRecord(r, issues));
  }
  file.close(trailer, issues);
  EXPECT_TRUE(issues.empty());
  // The rolled file was closed by the roll-over, not by close: no trailer.
  EXPECT_EQ(readFile(path("h1.log")), "<log>\none record\n");
  EXPECT_EQ(readFile(path("h.log")), "<log>\ntwo record\n</log>\n");
}

TEST_F(LogFileTest, DeletedOrReplacedActiveFileIsRecreated) {
  LogFile file(false);
  useName(file, "d.log");
  writeOne(file, "first\n");
  ASSERT_EQ(unlink(path("d.log").c_str()), 0);
  writeOne(file, "second\n");
  EXPECT_EQ(readFile(path("d.log")), "second\n");

  // Moved away by someone else: the moved file keeps only its old records.
  ASSERT_EQ(rename(path("d.log").c_str(), path("moved.log").c_str()), 0);
  writeOne(file, "third\n");
  EXPECT_EQ(readFile(path("moved.log")), "second\n");
  EXPECT_EQ(readFile(path("d.log")), "third\n");
}

TEST_F(LogFileTest, CreatesFilesAndDirectoriesWithTheirModesWhateverTheUmask) {
  struct Case {
    unsigned file, dir;
  };
  const Case cases[] = {{0660, 0771}, {0600, 0700}, {0644, 0755}, {0744, 0750}};
  mode_t old = umask(077);
  for (const Case &c : cases) {
    std::string sub = "m" + std::to_string(c.file);
    SCOPED_TRACE(sub);
    LogFile file(false);
    useName(file, sub + "/x/y/z.log");
    file.settings().filePermission = c.file;
    file.settings().dirPermission = c.dir;
    file.settings().maxFileSize = 1;
    writeOne(file, "a\n");
    writeOne(file, "b\n");  // rolls: the backup keeps the mode
    EXPECT_EQ(modeOf(path(sub + "/x/y/z.log")), c.file);
    EXPECT_EQ(modeOf(path(sub + "/x/y/z1.log")), c.file);
    EXPECT_EQ(modeOf(path(sub)), c.dir);
    EXPECT_EQ(modeOf(path(sub + "/x/y")), c.dir);
  }
  umask(old);
}

TEST_F(LogFileTest, ExistingFileKeepsItsMode) {
  int fd = ::open(path("e.log").c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  ::close(fd);
  ASSERT_EQ(chmod(path("e.log").c_str(), 0600), 0);
  LogFile file(false);
  useName(file, "e.log");
  file.settings().filePermission = 0666;
  writeOne(file, "x\n");
  EXPECT_EQ(modeOf(path("e.log")), 0600u);
}

TEST_F(LogFileTest, DirectoryThatCannotBeMadeFailsTheOpen) {
  { std::ofstream blocker(path("plain")); }
  LogFile file(false);
  useName(file, "plain/sub/f.log");
  LogFileIssues issues;
  EXPECT_FALSE(file.open(nullptr, issues));
  EXPECT_FALSE(file.isOpen());
  ASSERT_FALSE(issues.empty());
  EXPECT_EQ(issues.front().kind, LogFileIssue::Kind::kDirectory);
  EXPECT_EQ(issues.front().text, path("plain/sub"));
}

TEST_F(LogFileTest, WithoutANameNothingIsWritten) {
  LogFile file(false);
  useName(file, "n.log");
  file.clearName();
  LogFileIssues issues;
  EXPECT_FALSE(file.open(nullptr, issues));
  EXPECT_FALSE(file.writeRecord("x\n", issues));
  EXPECT_FALSE(fs::exists(path("n.log")));
}

TEST_F(LogFileTest, ConvertsTextToTheFileEncoding) {
  struct Case {
    const char *codeSet;
    bool known;
    std::string bytes;
  };
  const Case cases[] = {
      {"ISO-8859-1", true, "caf\xE9\n"},
      {"UTF-16LE", true, std::string("c\0a\0f\0\xE9\0\n\0", 10)},
      {"no-such-codeset", false, "caf\xC3\xA9\n"},
      {"", true, "caf\xC3\xA9\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.codeSet);
    // No digit before the dot: that would mark the name.
    std::string name = std::string("enc") + static_cast<char>('a' + (&c - cases)) + ".log";
    LogFile file(false);
    useName(file, name);
    EXPECT_EQ(file.setEncoding(c.codeSet), c.known);
    writeOne(file, "caf\xC3\xA9\n");
    EXPECT_EQ(readFile(path(name)), c.bytes);
  }
}

// Two writers in one process stand in for two processes here; the fork test
// in multiproc_threads_test.cc does it for real.
TEST_F(LogFileTest, MultiProcessRollOverCopiesAndTruncatesInPlace) {
  key_t key = 0x51460000 + (getpid() & 0xffff);
  LogFile a(true), b(true);
  for (LogFile *f : {&a, &b}) {
    useName(*f, "mp.log");
    f->setSemaphoreKey(key);
    f->settings().maxFileSize = 1000;
    f->settings().maxFiles = 3;
    f->settings().filePermission = 0640;
  }
  mode_t old = umask(077);
  for (int i = 0; i < 10; ++i) writeOne(i % 2 ? b : a, record(i, 300));
  umask(old);
  EXPECT_EQ(a.semaphore().id(), b.semaphore().id());
  // Both descriptors still name the active file: nothing went into a backup
  // after its roll-over.
  EXPECT_EQ(idsIn(path("mp.log"), 300), (std::vector<int>{8, 9}));
  EXPECT_EQ(idsIn(path("mp1.log"), 300), (std::vector<int>{4, 5, 6, 7}));
  EXPECT_EQ(idsIn(path("mp2.log"), 300), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(modeOf(path("mp1.log")), 0640u);
  FileSemaphore sem;
  LogFileIssues issues;
  ASSERT_TRUE(sem.setUp(key, issues));
  semctl(sem.id(), 0, IPC_RMID);
}

TEST_F(LogFileTest, MultiProcessNeverTruncatesAtOpen) {
  {
    std::ofstream old(path("keep.log"));
    old << "old\n";
  }
  key_t key = 0x51470000 + (getpid() & 0xffff);
  LogFile file(true);
  useName(file, "keep.log");
  file.setSemaphoreKey(key);
  file.settings().appending = false;
  writeOne(file, "new\n");
  EXPECT_EQ(readFile(path("keep.log")), "old\nnew\n");
  semctl(file.semaphore().id(), 0, IPC_RMID);
}

// ---------------------------------------------------------------- the handlers

// The toolkit open, with the toolkit's own messages captured in a file.
class FileHandlerTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    ASSERT_EQ(QlgOpenToolkit(nullptr), 1);
    QlgObject *errorLogger = QlgGetObject("quill.errorLogger", nullptr);
    QlgObject *capture = QlgGetObject("test.errorCapture", "qlg_filehandler");
    ASSERT_NE(errorLogger, nullptr);
    ASSERT_NE(capture, nullptr);
    QlgSetObjProp(capture, "fileName", path("errors.log").c_str());
    QlgAddListener(errorLogger, capture);
    QlgReleaseObject(capture);
    QlgReleaseObject(errorLogger);
  }
  void TearDown() override {
    for (QlgObject *o : held_) QlgReleaseObject(o);
    QlgCloseToolkit();
    TempDirTest::TearDown();
  }
  std::string errors() const { return readFile(path("errors.log")); }

  // A logger "L<name>" with the handler "<name>" of className as listener.
  QlgObject *handler(const std::string &name, const char *className = "qlg_filehandler") {
    QlgObject *h = QlgGetObject(name.c_str(), className);
    QlgObject *l = QlgGetObject(("L" + name).c_str(), "qlg_basiclogger");
    EXPECT_NE(h, nullptr);
    EXPECT_NE(l, nullptr);
    QlgAddListener(l, h);
    held_.push_back(h);
    held_.push_back(l);
    return h;
  }
  void log(const std::string &name, const std::string &text) {
    QlgObject *l = QlgGetObject(("L" + name).c_str(), nullptr);
    QlgLogDebugMin(l, nullptr, nullptr, 0, "%s", QLG_STRING, text.c_str(), QLG_END);
    QlgReleaseObject(l);
  }
  static int lines(const std::string &file) {
    std::string text = readFile(file);
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  }
  std::vector<QlgObject *> held_;
};

TEST_F(FileHandlerTest, RollsOverUnderTheMarkedName) {
  QlgObject *h = handler("fh");
  QlgSetObjProp(h, "fileName", path("logs/trace2.log").c_str());
  QlgSetObjProp(h, "maxFileSize", "1000");
  QlgSetObjProp(h, "maxFiles", "3");
  // Records of about 300 bytes: the date and a blank come before the text.
  const std::string text(268, 't');
  for (int i = 0; i < 9; ++i) log("fh", text);
  EXPECT_FALSE(fs::exists(path("logs/trace2.log")));
  EXPECT_EQ(lines(path("logs/trace2_.log")), 1);
  EXPECT_EQ(lines(path("logs/trace2_1.log")), 4);
  EXPECT_EQ(lines(path("logs/trace2_2.log")), 4);
  EXPECT_FALSE(fs::exists(path("logs/trace2_3.log")));
  EXPECT_EQ(errors(), "");
}

TEST_F(FileHandlerTest, PermissionValues) {
  struct Case {
    const char *prop;
    const char *value;
    unsigned fileMode, dirMode;
    const char *message;  // expected in the error log, or ""
  };
  const Case cases[] = {
      {"filePermission", "0660", 0660, 0771, ""},
      {"filePermission", "0600", 0600, 0771, ""},
      {"filePermission", "rw", 0744, 0771,
       "QLGMP0074W The value rw is not a valid file permission mask for file "
       "handler p2. Please specify a four-digit octal value (with a leading zero)."},
      {"filePermission", "", 0744, 0771, "is not a valid file permission mask for file handler p3."},
      {"dirPermission", "0750", 0744, 0750, ""},
      {"dirPermission", "x17", 0744, 0771, "QLGMP0074W The value x17 is not a valid"},
  };
  mode_t old = umask(022);
  for (const Case &c : cases) {
    std::string name = "p" + std::to_string(&c - cases);
    SCOPED_TRACE(name + " " + c.prop + "=" + c.value);
    QlgObject *h = handler(name);
    QlgSetObjProp(h, "fileName", path(name + "/f.log").c_str());
    QlgSetObjProp(h, c.prop, c.value);
    log(name, "x");
    EXPECT_EQ(modeOf(path(name + "/f.log")), c.fileMode);
    EXPECT_EQ(modeOf(path(name)), c.dirMode);
    std::string errs = errors();
    if (*c.message == '\0')
      EXPECT_EQ(errs.find("QLGMP0074W"), std::string::npos) << errs;
    else
      EXPECT_NE(errs.find(c.message), std::string::npos) << errs;
    std::ofstream(path("errors.log"), std::ios::trunc);
  }
  umask(old);
}

TEST_F(FileHandlerTest, RemovedMaxFileSizeMeans1024Bytes) {
  QlgObject *h = handler("rm");
  QlgSetObjProp(h, "fileName", path("rm.log").c_str());
  QlgSetObjProp(h, "maxFileSize", "100000");
  QlgSetObjProp(h, "maxFileSize", nullptr);
  const std::string text(268, 'r');
  for (int i = 0; i < 5; ++i) log("rm", text);
  EXPECT_EQ(lines(path("rm1.log")), 4);
  EXPECT_EQ(lines(path("rm.log")), 1);
}

TEST_F(FileHandlerTest, BadNumbersKeepThePreviousLimits) {
  struct Case {
    const char *maxFileSize, *maxFiles;
  };
  const Case cases[] = {{"abc", "many"}, {"-5", "-1"}, {"", ""}, {" 12x", "2.5"}};
  const std::string text(268, 'b');
  for (const Case &c : cases) {
    std::string name = std::string("bad") + static_cast<char>('a' + (&c - cases));
    SCOPED_TRACE(name);
    QlgObject *h = handler(name);
    QlgSetObjProp(h, "fileName", path(name + ".log").c_str());
    QlgSetObjProp(h, "maxFileSize", "1000");
    QlgSetObjProp(h, "maxFiles", "2");
    QlgSetObjProp(h, "maxFileSize", c.maxFileSize);
    QlgSetObjProp(h, "maxFiles", c.maxFiles);
    for (int i = 0; i < 9; ++i) log(name, text);
    EXPECT_EQ(lines(path(name + ".log")), 1);
    EXPECT_EQ(lines(path(name + "1.log")), 4);
    EXPECT_FALSE(fs::exists(path(name + "2.log")));
  }
}

TEST_F(FileHandlerTest, RemovedFileNameStopsWritingUntilANewOne) {
  QlgObject *h = handler("fn");
  QlgSetObjProp(h, "fileName", path("first.log").c_str());
  log("fn", "one");
  QlgSetObjProp(h, "fileName", nullptr);
  EXPECT_NE(errors().find("QLGBC0030E A value must be specified for the property 'fileName' ."),
            std::string::npos)
      << errors();
  log("fn", "lost");
  QlgSetObjProp(h, "fileName", path("second.log").c_str());
  log("fn", "two");
  EXPECT_EQ(lines(path("first.log")), 1);
  EXPECT_EQ(lines(path("second.log")), 1);
  EXPECT_FALSE(fs::exists(path("default.log")));
}

TEST_F(FileHandlerTest, TooLongFileNameKeepsThePreviousOne) {
  QlgObject *h = handler("tl");
  QlgSetObjProp(h, "fileName", path("kept.log").c_str());
  std::string tooLong = path(std::string(260, 'n') + ".log");
  QlgSetObjProp(h, "fileName", tooLong.c_str());
  log("tl", "still here");
  EXPECT_NE(errors().find("QLGBC0031E Property 'fileName' must be 255 characters or less."),
            std::string::npos)
      << errors();
  EXPECT_EQ(lines(path("kept.log")), 1);
}

TEST_F(FileHandlerTest, PropertyChangeClosesAndTheNextRecordReopens) {
  QlgObject *h = handler("pc");
  QlgSetObjProp(h, "fileName", path("pc.log").c_str());
  log("pc", "one");
  log("pc", "two");
  // Reopened with truncation by the next record.
  QlgSetObjProp(h, "appending", "false");
  log("pc", "three");
  std::string text = readFile(path("pc.log"));
  EXPECT_EQ(lines(path("pc.log")), 1);
  EXPECT_NE(text.find(" three\n"), std::string::npos) << text;
}

TEST_F(FileHandlerTest, UnknownEncodingGivesMessage36AndUtf8) {
  QlgObject *h = handler("en");
  QlgSetObjProp(h, "fileName", path("en.log").c_str());
  QlgSetObjProp(h, "fileEncoding", "NO-SUCH-SET");
  log("en", "caf\xC3\xA9");
  EXPECT_NE(
      errors().find("QLGFH0036W Could not load codeset NO-SUCH-SET. Logged text will be stored in UTF-8 "
                    "encoding instead."),
      std::string::npos)
      << errors();
  EXPECT_NE(readFile(path("en.log")).find(" caf\xC3\xA9\n"), std::string::npos);

  QlgSetObjProp(h, "fileEncoding", "ISO-8859-1");
  log("en", "caf\xC3\xA9");
  EXPECT_NE(readFile(path("en.log")).find(" caf\xE9\n"), std::string::npos);
}

TEST_F(FileHandlerTest, DirectoryFailureGivesMessage32AndLosesOnlyThatRecord) {
  { std::ofstream blocker(path("file")); }
  QlgObject *h = handler("df");
  QlgSetObjProp(h, "fileName", path("file/sub/x.log").c_str());
  log("df", "lost");
  EXPECT_NE(errors().find(
                "QLGFH0032E Property 'fileName' must be a valid file path for this platform, but value '" +
                path("file/sub") + "' was given."),
            std::string::npos)
      << errors();
  QlgSetObjProp(h, "fileName", path("ok/x.log").c_str());
  log("df", "kept");
  EXPECT_EQ(lines(path("ok/x.log")), 1);
}

TEST_F(FileHandlerTest, DeletedActiveFileIsRecreated) {
  QlgObject *h = handler("del");
  QlgSetObjProp(h, "fileName", path("del.log").c_str());
  log("del", "before");
  ASSERT_EQ(unlink(path("del.log").c_str()), 0);
  log("del", "after");
  std::string text = readFile(path("del.log"));
  EXPECT_EQ(lines(path("del.log")), 1);
  EXPECT_NE(text.find(" after\n"), std::string::npos) << text;
}

TEST_F(FileHandlerTest, PassesTheEventToItsOwnListeners) {
  QlgObject *first = handler("chainA");
  QlgObject *second = QlgGetObject("chainB", "qlg_filehandler");
  ASSERT_NE(second, nullptr);
  held_.push_back(second);
  QlgSetObjProp(first, "fileName", path("a.log").c_str());
  QlgSetObjProp(second, "fileName", path("b.log").c_str());
  QlgAddListener(first, second);
  log("chainA", "both");
  EXPECT_EQ(lines(path("a.log")), 1);
  EXPECT_EQ(lines(path("b.log")), 1);
}

}  // namespace
}  // namespace velm
