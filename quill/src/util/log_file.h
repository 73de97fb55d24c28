// The file-writing engine behind the toolkit's file handlers: it owns the
// active log file, knows how backups are named, rolls the file over, sets
// permissions, creates directories, converts the text to the file's code set
// and, for files shared by several processes, serialises through a System V
// semaphore. It knows nothing of the toolkit's objects: problems come back as
// LogFileIssue values that the handler turns into the toolkit's messages.
//
// Not thread-safe: the toolkit's API lock serialises every call.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/nls.h"

namespace velm {

inline constexpr std::size_t kMaxLogFileNameLength = 255;
inline constexpr std::int64_t kDefaultMaxFileSize = 1048576;
inline constexpr std::int64_t kRemovedMaxFileSize = 1024;
inline constexpr int kDefaultMaxFiles = 3;
inline constexpr unsigned kDefaultFilePermission = 0744;
inline constexpr unsigned kDefaultDirPermission = 0771;
inline constexpr key_t kDefaultSemaphoreKey = 31821;
inline constexpr std::size_t kRollOverBlock = 8192;

// One problem met while working on the file. Several may come out of one call
// (a roll-over reports every rename that failed and still goes on).
struct LogFileIssue {
  enum class Kind {
    kSystem,       // a system call failed; text: the call, its object, the platform text
    kDirectory,    // a directory could not be created; text: the directory
    kReadActive,   // copy-and-truncate could not read the active file; text: its path
    kWriteBackup,  // copy-and-truncate could not write backup 1; text: its path
    kBackupOpen,   // copy-and-truncate could not open backup 1; text: its path
    kPermission,   // the mode of a new file could not be set; text: path, mode, error
  };
  Kind kind;
  std::string text;
  unsigned mode = 0;
  int error = 0;
};
using LogFileIssues = std::vector<LogFileIssue>;

// The parts of a "fileName" value. The active file is
// directory "/" base number ["." extension]; backup k is
// directory "/" base k ["." extension].
struct LogFileName {
  std::string directory;
  std::string base;
  std::string number;  // trailing digits of the name; empty for none
  std::string extension;
  bool hasExtension = false;

  std::string activePath() const;
  // k >= 1; backup 0 is the active file.
  std::string backupPath(int k) const;
};

enum class FileNameStatus { kOk, kMissing, kTooLong };

// Inserts "_" after a digit that ends the name (before its extension), so
// that backup numbers never run into digits of the name: trace2.log gives
// trace2_.log.
std::string markFileNameDigits(std::string_view value);
// Marks and splits a "fileName" value. kMissing for null, kTooLong for a
// marked name of more than kMaxLogFileNameLength characters; out is left
// alone then.
FileNameStatus splitLogFileName(const char *value, LogFileName &out);

// Reads a permission value: up to four octal digits after optional blanks.
// False when no digit can be read; mode is left alone then.
bool parseFilePermission(const char *value, unsigned &mode);

// Creates the missing directories of dir (like mkdir -p) with mode, which is
// applied exactly, whatever the umask. False on failure.
bool makeLogDirectories(const std::string &dir, unsigned mode, LogFileIssues &issues);

// A one-element System V semaphore set shared by every process that writes
// one file. Lock and unlock use undo-on-exit, so a process that dies while
// holding it releases it.
class FileSemaphore {
 public:
  // Creates the set exclusively (mode 0666, value 1) or attaches to it.
  bool setUp(key_t key, LogFileIssues &issues);
  bool ready() const { return id_ >= 0; }
  int id() const { return id_; }
  void forget() { id_ = -1; }
  // Waits one second and retries on ENOSPC and EINTR, up to 11 attempts.
  bool lock(LogFileIssues &issues);
  void unlock(LogFileIssues &issues);

 private:
  int id_ = -1;
};

struct LogFileSettings {
  std::int64_t maxFileSize = kDefaultMaxFileSize;
  int maxFiles = kDefaultMaxFiles;
  unsigned filePermission = kDefaultFilePermission;
  unsigned dirPermission = kDefaultDirPermission;
  bool appending = true;
  key_t semaphoreKey = kDefaultSemaphoreKey;
};

class LogFile {
 public:
  // Texts the handler supplies on demand (the formatter's header and
  // trailer), in UTF-8; empty for none.
  using TextSource = std::function<std::string()>;

  explicit LogFile(bool multiProcess);
  ~LogFile();
  LogFile(const LogFile &) = delete;
  LogFile &operator=(const LogFile &) = delete;

  bool multiProcess() const { return multiProcess_; }

  // Name and settings: the handler closes the file before it changes them.
  void setName(LogFileName name) { name_ = std::move(name), hasName_ = true; }
  void clearName() { hasName_ = false; }
  bool hasName() const { return hasName_; }
  const LogFileName &name() const { return name_; }
  LogFileSettings &settings() { return settings_; }
  const LogFileSettings &settings() const { return settings_; }
  // A new key takes effect at the next open.
  void setSemaphoreKey(key_t key);

  // Code set of the written text; null or empty for UTF-8. False for an
  // unknown name, which leaves UTF-8 output.
  bool setEncoding(const char *codeSet);
  bool hasEncoding() const { return encoding_ != nullptr; }
  // The text in the file's code set; the UTF-8 text itself when there is no
  // code set or it cannot represent the text (the record is not lost).
  std::string encode(std::string_view utf8) const;

  // Makes the file ready for the next record; run before every record, so
  // the size limit is tested before each one. False when the file cannot be
  // opened (the record is then lost).
  bool open(const TextSource &header, LogFileIssues &issues);
  // Writes one UTF-8 record (converted to the code set). The multi-process
  // file is measured, rolled over and written under the semaphore.
  bool writeRecord(std::string_view utf8, LogFileIssues &issues);
  // Writes the trailer (single-process files only) and closes.
  void close(const TextSource &trailer, LogFileIssues &issues);

  bool isOpen() const { return fd_ >= 0; }
  std::int64_t size() const { return size_; }
  const FileSemaphore &semaphore() const { return semaphore_; }

 private:
  bool openSingle(const TextSource &header, LogFileIssues &issues);
  bool openMulti(LogFileIssues &issues);
  // True while the descriptor still belongs to the file the path names.
  bool stillNamed(LogFileIssues &issues);
  bool openPath(bool truncate, LogFileIssues &issues);
  bool measure(LogFileIssues &issues);
  bool writeAll(std::string_view bytes, LogFileIssues &issues);
  void closeFd();
  bool due() const;
  void rollOverRename(LogFileIssues &issues);
  void shiftBackups(int lowest, LogFileIssues &issues);
  void rollOverInPlace(LogFileIssues &issues);

  const bool multiProcess_;
  LogFileName name_;
  bool hasName_ = true;
  LogFileSettings settings_;
  cvx_cs encoding_ = nullptr;
  FileSemaphore semaphore_;
  int fd_ = -1;
  std::string openPath_;  // the path fd_ was opened under
  std::int64_t size_ = 0;
};

}  // namespace velm
