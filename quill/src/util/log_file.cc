#include "quill/src/util/log_file.h"

#include <fcntl.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

namespace velm {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The offset of the dot that starts the extension, or npos. Only the last
// path component can carry one: a dot in a directory name is not an
// extension.
std::size_t extensionDot(std::string_view name) {
  std::size_t slash = name.find_last_of("/\\");
  std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return dot;
  if (slash != std::string_view::npos && dot < slash) return std::string_view::npos;
  return dot;
}

LogFileIssue systemIssue(const char *call, const std::string &object, int error) {
  std::string text = call;
  if (!object.empty()) text += " " + object;
  text += ": ";
  text += std::strerror(error);
  return {LogFileIssue::Kind::kSystem, std::move(text), 0, error};
}

void setMode(int fd, const std::string &path, unsigned mode, LogFileIssues &issues) {
  if (fchmod(fd, mode) != 0) issues.push_back({LogFileIssue::Kind::kPermission, path, mode, errno});
}

bool writeFully(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// semctl needs the caller to define this.
union SemArg {
  int val;
  semid_ds *buf;
  unsigned short *array;
};

}  // namespace

// ---------------------------------------------------------------- names

std::string LogFileName::activePath() const {
  std::string p = directory;
  if (p.empty() || p.back() != '/') p += '/';
  p += base;
  p += number;
  if (hasExtension) p += "." + extension;
  return p;
}

std::string LogFileName::backupPath(int k) const {
  std::string p = directory;
  if (p.empty() || p.back() != '/') p += '/';
  p += base;
  p += std::to_string(k);
  if (hasExtension) p += "." + extension;
  return p;
}

std::string markFileNameDigits(std::string_view value) {
  std::string marked(value);
  std::size_t dot = extensionDot(value);
  std::size_t end = dot == std::string_view::npos ? marked.size() : dot;
  if (end > 0 && isDigit(marked[end - 1])) marked.insert(end, "_");
  return marked;
}

FileNameStatus splitLogFileName(const char *value, LogFileName &out) {
  if (value == nullptr) return FileNameStatus::kMissing;
  std::string name = markFileNameDigits(value);
  if (name.size() > kMaxLogFileNameLength) return FileNameStatus::kTooLong;
  for (char &c : name)
    if (c == '\\') c = '/';

  LogFileName parts;
  std::size_t dot = extensionDot(name);
  if (dot != std::string::npos) {
    parts.hasExtension = true;
    parts.extension = name.substr(dot + 1);
    name.resize(dot);
  }
  // After the marking above no digit ends the name; the number is kept for
  // names built without it.
  std::size_t digits = name.size();
  while (digits > 0 && isDigit(name[digits - 1])) --digits;
  std::size_t slash = name.rfind('/');
  parts.number = name.substr(digits);
  name.resize(digits);
  if (slash == std::string::npos) {
    parts.base = name;
  } else {
    parts.base = name.substr(slash + 1);
    // A name directly under the root keeps the root as its directory.
    parts.directory = slash == 0 ? "/" : name.substr(0, slash);
  }
  if (parts.directory.empty()) {
    char cwd[4096];
    parts.directory = getcwd(cwd, sizeof cwd) != nullptr ? cwd : ".";
  }
  out = std::move(parts);
  return FileNameStatus::kOk;
}

bool parseFilePermission(const char *value, unsigned &mode) {
  if (value == nullptr) return false;
  const char *p = value;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v') ++p;
  // Signs are refused: a negative mask would set every mode bit.
  unsigned m = 0;
  int n = 0;
  while (n < 4 && p[n] >= '0' && p[n] <= '7') m = m * 8 + static_cast<unsigned>(p[n++] - '0');
  if (n == 0) return false;
  mode = m;
  return true;
}

bool makeLogDirectories(const std::string &dir, unsigned mode, LogFileIssues &issues) {
  struct stat st;
  if (dir.empty() || stat(dir.c_str(), &st) == 0) return true;
  for (std::size_t pos = 1; pos <= dir.size(); ++pos) {
    if (pos < dir.size() && dir[pos] != '/') continue;
    std::string prefix = dir.substr(0, pos);
    if (mkdir(prefix.c_str(), mode) == 0) {
      // mkdir applies the umask; the configured mode is meant exactly.
      if (chmod(prefix.c_str(), mode) != 0)
        issues.push_back({LogFileIssue::Kind::kPermission, prefix, mode, errno});
    } else if (errno != EEXIST) {
      issues.push_back({LogFileIssue::Kind::kDirectory, dir, 0, errno});
      return false;
    }
  }
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    issues.push_back({LogFileIssue::Kind::kDirectory, dir, 0, ENOTDIR});
    return false;
  }
  return true;
}

// ---------------------------------------------------------------- semaphore

bool FileSemaphore::setUp(key_t key, LogFileIssues &issues) {
  int id = semget(key, 1, IPC_CREAT | IPC_EXCL | 0666);
  if (id >= 0) {
    SemArg arg;
    arg.val = 1;
    if (semctl(id, 0, SETVAL, arg) != 0) {
      issues.push_back(systemIssue("semctl", "SETVAL", errno));
      return false;
    }
  } else if (errno == EEXIST) {
    id = semget(key, 1, 0);
    if (id < 0) {
      issues.push_back(systemIssue("semget", "attach", errno));
      return false;
    }
  } else {
    issues.push_back(systemIssue("semget", "create", errno));
    return false;
  }
  id_ = id;
  return true;
}

bool FileSemaphore::lock(LogFileIssues &issues) {
  sembuf op{0, -1, SEM_UNDO};
  for (int attempt = 1;; ++attempt) {
    if (semop(id_, &op, 1) == 0) return true;
    int error = errno;
    if ((error == ENOSPC || error == EINTR) && attempt < 11) {
      sleep(1);
      continue;
    }
    issues.push_back(systemIssue("semop", "lock", error));
    return false;
  }
}

void FileSemaphore::unlock(LogFileIssues &issues) {
  // Raise only what this process lowered: a value above 0 means the
  // semaphore is free already, and raising it would let two writers in.
  int value = semctl(id_, 0, GETVAL);
  if (value != 0) {
    if (value < 0) issues.push_back(systemIssue("semctl", "GETVAL", errno));
    return;
  }
  sembuf op{0, 1, SEM_UNDO};
  while (semop(id_, &op, 1) != 0) {
    if (errno == EINTR) continue;
    issues.push_back(systemIssue("semop", "unlock", errno));
    return;
  }
}

// ---------------------------------------------------------------- the file

LogFile::LogFile(bool multiProcess) : multiProcess_(multiProcess) { splitLogFileName("default.log", name_); }

LogFile::~LogFile() {
  closeFd();
  if (encoding_ != nullptr) cvx_cs_free(encoding_);
}

void LogFile::setSemaphoreKey(key_t key) {
  if (key != settings_.semaphoreKey) semaphore_.forget();
  settings_.semaphoreKey = key;
}

bool LogFile::setEncoding(const char *codeSet) {
  if (encoding_ != nullptr) cvx_cs_free(encoding_);
  encoding_ = nullptr;
  if (codeSet == nullptr || *codeSet == '\0') return true;
  encoding_ = cvx_cs_new(codeSet);
  return encoding_ != nullptr;
}

std::string LogFile::encode(std::string_view utf8) const {
  if (encoding_ == nullptr || utf8.empty()) return std::string(utf8);
  // No code set needs more than four bytes for one UTF-8 byte (a byte-order
  // mark included).
  std::string out(utf8.size() * 4 + 16, '\0');
  int n = cvx_from_utf8(encoding_, utf8.data(), static_cast<int>(utf8.size()), out.data(),
                        static_cast<int>(out.size()));
  if (n < 0) return std::string(utf8);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

void LogFile::closeFd() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  openPath_.clear();
}

bool LogFile::due() const {
  // An empty file is never rolled over: with a limit of 0 it would push real
  // backups out with empty ones.
  return settings_.maxFiles >= 2 && size_ > 0 && size_ >= settings_.maxFileSize;
}

bool LogFile::stillNamed(LogFileIssues &issues) {
  struct stat byPath, byFd;
  if (stat(openPath_.c_str(), &byPath) != 0 || !S_ISREG(byPath.st_mode)) return false;
  if (fstat(fd_, &byFd) != 0) {
    issues.push_back(systemIssue("fstat", openPath_, errno));
    return false;
  }
  return byPath.st_dev == byFd.st_dev && byPath.st_ino == byFd.st_ino;
}

bool LogFile::measure(LogFileIssues &issues) {
  struct stat st;
  if (fstat(fd_, &st) != 0) {
    issues.push_back(systemIssue("fstat", openPath_, errno));
    return false;
  }
  size_ = st.st_size;
  return true;
}

bool LogFile::openPath(bool truncate, LogFileIssues &issues) {
  std::string path = name_.activePath();
  if (!makeLogDirectories(name_.directory, settings_.dirPermission, issues)) return false;
  int access = O_RDWR | O_CLOEXEC | (truncate ? O_TRUNC : O_APPEND);
  // Create exclusively first, so only a file made here gets the mode.
  int fd = ::open(path.c_str(), access | O_CREAT | O_EXCL, settings_.filePermission);
  if (fd >= 0) {
    setMode(fd, path, settings_.filePermission, issues);
  } else if (errno == EEXIST) {
    fd = ::open(path.c_str(), access);
  }
  if (fd < 0) {
    issues.push_back(systemIssue("open", path, errno));
    return false;
  }
  fd_ = fd;
  openPath_ = std::move(path);
  if (!measure(issues)) {
    closeFd();
    return false;
  }
  return true;
}

bool LogFile::open(const TextSource &header, LogFileIssues &issues) {
  if (!hasName_) return false;
  return multiProcess_ ? openMulti(issues) : openSingle(header, issues);
}

bool LogFile::openSingle(const TextSource &header, LogFileIssues &issues) {
  if (isOpen()) {
    if (stillNamed(issues)) {
      if (!measure(issues)) {
        closeFd();
        return false;
      }
      if (!due()) return true;
      closeFd();
      rollOverRename(issues);
      size_ = 0;
    } else {
      // Deleted or replaced under us: start a new file under the name.
      closeFd();
    }
  }
  if (!openPath(!settings_.appending, issues)) return false;
  if (due()) {
    closeFd();
    rollOverRename(issues);
    size_ = 0;
    if (!openPath(!settings_.appending, issues)) return false;
  }
  if (header) {
    std::string text = header();
    if (!text.empty()) {
      std::string bytes = encode(text);
      if (!writeAll(bytes, issues)) {
        closeFd();
        return false;
      }
      size_ += static_cast<std::int64_t>(bytes.size());
    }
  }
  return true;
}

bool LogFile::openMulti(LogFileIssues &issues) {
  if (!semaphore_.ready() && !semaphore_.setUp(settings_.semaphoreKey, issues)) return false;
  if (isOpen()) {
    // Other processes roll over in place, so the name keeps naming this
    // file unless someone deleted or replaced it.
    if (stillNamed(issues)) return true;
    closeFd();
  }
  return openPath(false, issues);
}

bool LogFile::writeAll(std::string_view bytes, LogFileIssues &issues) {
  if (writeFully(fd_, bytes)) return true;
  issues.push_back(systemIssue("write", openPath_, errno));
  return false;
}

bool LogFile::writeRecord(std::string_view utf8, LogFileIssues &issues) {
  if (!isOpen()) return false;
  std::string bytes = encode(utf8);
  if (!multiProcess_) {
    bool ok = writeAll(bytes, issues);
    measure(issues);
    return ok;
  }
  if (!semaphore_.lock(issues)) return false;
  bool ok = measure(issues);
  if (ok) {
    if (due()) rollOverInPlace(issues);
    ok = writeAll(bytes, issues);
    measure(issues);
  }
  semaphore_.unlock(issues);
  return ok;
}

void LogFile::close(const TextSource &trailer, LogFileIssues &issues) {
  if (!isOpen()) return;
  if (!multiProcess_ && trailer) {
    std::string text = trailer();
    if (!text.empty()) writeAll(encode(text), issues);
  }
  closeFd();
}

// Drops backup n-1 and moves backups k to k+1 for k from n-2 down to lowest.
void LogFile::shiftBackups(int lowest, LogFileIssues &issues) {
  int n = settings_.maxFiles;
  auto pathOf = [this](int k) { return k == 0 ? name_.activePath() : name_.backupPath(k); };
  std::string oldest = pathOf(n - 1);
  if (std::remove(oldest.c_str()) != 0 && errno != ENOENT)
    issues.push_back(systemIssue("remove", oldest, errno));
  for (int k = n - 2; k >= lowest; --k) {
    std::string from = pathOf(k), to = pathOf(k + 1);
    if (std::rename(from.c_str(), to.c_str()) != 0 && errno != ENOENT)
      issues.push_back(systemIssue("rename", from, errno));
  }
}

void LogFile::rollOverRename(LogFileIssues &issues) {
  if (settings_.maxFiles < 2) return;
  shiftBackups(0, issues);
}

void LogFile::rollOverInPlace(LogFileIssues &issues) {
  if (settings_.maxFiles < 2) return;
  shiftBackups(1, issues);
  std::string backup = name_.backupPath(1);
  int out = ::open(backup.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, settings_.filePermission);
  if (out < 0) {
    issues.push_back({LogFileIssue::Kind::kBackupOpen, backup, 0, errno});
    return;
  }
  setMode(out, backup, settings_.filePermission, issues);
  // Copy first, truncate only after a complete copy: truncating after a
  // failed copy would lose the records.
  bool copied = true;
  char block[kRollOverBlock];
  for (off_t at = 0;;) {
    ssize_t n = pread(fd_, block, sizeof block, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      issues.push_back({LogFileIssue::Kind::kReadActive, openPath_, 0, errno});
      copied = false;
      break;
    }
    if (n == 0) break;
    if (!writeFully(out, std::string_view(block, static_cast<std::size_t>(n)))) {
      issues.push_back({LogFileIssue::Kind::kWriteBackup, backup, 0, errno});
      copied = false;
      break;
    }
    at += n;
  }
  if (::close(out) != 0 && copied) {
    issues.push_back({LogFileIssue::Kind::kWriteBackup, backup, 0, errno});
    copied = false;
  }
  if (!copied) return;
  // Other processes keep their descriptors on this file; with appending
  // they go on writing at its new end.
  if (ftruncate(fd_, 0) != 0) {
    issues.push_back(systemIssue("ftruncate", openPath_, errno));
    return;
  }
  lseek(fd_, 0, SEEK_SET);
  size_ = 0;
}

}  // namespace velm
