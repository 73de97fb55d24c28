#include "platform/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace velm::fs {

namespace {

constexpr std::size_t kOps = static_cast<std::size_t>(Op::SyncDir) + 1;

struct Plan {
  std::mutex mutex;
  // Guarded by mutex:
  std::vector<Fault> faults;
  std::array<int, kOps> calls{};
  bool active = false;
};

Plan &plan() {
  static Plan p;
  return p;
}

// The fault to apply to this call of op, if any. Counting happens only while
// a plan is set, so production code pays one relaxed check.
std::atomic<bool> planSet{false};

const Fault *nextFault(Op op, Fault &out) {
  if (!planSet.load(std::memory_order_acquire)) return nullptr;
  Plan &p = plan();
  std::scoped_lock lock(p.mutex);
  if (!p.active) return nullptr;
  const int n = ++p.calls[static_cast<std::size_t>(op)];
  for (const Fault &f : p.faults) {
    if (f.op != op || n < f.first) continue;
    if (f.count >= 0 && n >= f.first + f.count) continue;
    out = f;
    return &out;
  }
  return nullptr;
}

}  // namespace

void setFaultPlan(std::vector<Fault> faults) {
  Plan &p = plan();
  std::scoped_lock lock(p.mutex);
  p.faults = std::move(faults);
  p.calls.fill(0);
  p.active = !p.faults.empty();
  planSet.store(p.active, std::memory_order_release);
}

void clearFaultPlan() { setFaultPlan({}); }

int callCount(Op op) {
  Plan &p = plan();
  std::scoped_lock lock(p.mutex);
  return p.calls[static_cast<std::size_t>(op)];
}

FILE *open(const char *path, const char *mode) {
  Fault f;
  if (nextFault(Op::Open, f) != nullptr) {
    errno = f.errorNumber;
    return nullptr;
  }
  // fopen would create with the umask's mode; audit data stays private.
  int flags = 0;
  const bool plus = std::strchr(mode, '+') != nullptr;
  switch (mode[0]) {
    case 'r': flags = plus ? O_RDWR : O_RDONLY; break;
    case 'w': flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC; break;
    case 'a': flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND; break;
    default: errno = EINVAL; return nullptr;
  }
  const int fd = ::open(path, flags | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  FILE *fp = ::fdopen(fd, mode);
  if (fp == nullptr) {
    const int e = errno;
    ::close(fd);
    errno = e;
  }
  return fp;
}

int close(FILE *fp) { return std::fclose(fp); }

std::size_t write(FILE *fp, const void *buf, std::size_t size) {
  Fault f;
  if (nextFault(Op::Write, f) != nullptr) {
    std::size_t done = 0;
    if (f.partial && size > 1) {
      done = std::fwrite(buf, 1, size / 2, fp);
      std::fflush(fp);
    }
    errno = f.errorNumber;
    return done;
  }
  return std::fwrite(buf, 1, size, fp);
}

int flush(FILE *fp) {
  Fault f;
  if (nextFault(Op::Flush, f) != nullptr) {
    // What was buffered has reached the file; the caller cuts it back.
    std::fflush(fp);
    errno = f.errorNumber;
    return EOF;
  }
  return std::fflush(fp);
}

int syncData(FILE *fp) {
  Fault f;
  if (nextFault(Op::SyncData, f) != nullptr) {
    errno = f.errorNumber;
    return -1;
  }
  return ::fdatasync(fileno(fp));
}

int syncDir(const char *dir) {
  Fault f;
  if (nextFault(Op::SyncDir, f) != nullptr) {
    errno = f.errorNumber;
    return -1;
  }
  const int fd = ::open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  const int rc = ::fsync(fd);
  const int e = errno;
  ::close(fd);
  errno = e;
  return rc;
}

thread_local bool readFaulted = false;

std::size_t read(FILE *fp, void *buf, std::size_t size) {
  Fault f;
  readFaulted = nextFault(Op::Read, f) != nullptr;
  if (readFaulted) {
    errno = f.errorNumber;
    return 0;
  }
  return std::fread(buf, 1, size, fp);
}

bool readFailed(FILE *fp) { return readFaulted || std::ferror(fp) != 0; }

int seek(FILE *fp, long offset, int whence) {
  Fault f;
  if (nextFault(Op::Seek, f) != nullptr) {
    errno = f.errorNumber;
    return -1;
  }
  return std::fseek(fp, offset, whence);
}

long tell(FILE *fp) {
  Fault f;
  if (nextFault(Op::Tell, f) != nullptr) {
    errno = f.errorNumber;
    return -1;
  }
  return std::ftell(fp);
}

int truncate(FILE *fp, long length) {
  Fault f;
  if (nextFault(Op::Truncate, f) != nullptr) {
    errno = f.errorNumber;
    return -1;
  }
  return ::ftruncate(fileno(fp), length);
}

int rename(const char *from, const char *to) {
  Fault f;
  if (nextFault(Op::Rename, f) != nullptr) {
    errno = f.errorNumber;
    return -1;
  }
  return std::rename(from, to);
}

int remove(const char *path) {
  Fault f;
  if (nextFault(Op::Remove, f) != nullptr) {
    errno = f.errorNumber;
    return -1;
  }
  return std::remove(path);
}

int statFile(const char *path, struct ::stat *st) {
  Fault f;
  if (nextFault(Op::Stat, f) != nullptr) {
    errno = f.errorNumber;
    return -1;
  }
  return ::stat(path, st);
}

int listDir(const char *dir, std::vector<std::string> &names) {
  Fault f;
  if (nextFault(Op::ListDir, f) != nullptr) {
    errno = f.errorNumber;
    return -1;
  }
  DIR *d = ::opendir(dir);
  if (d == nullptr) return -1;
  names.clear();
  while (const dirent *e = ::readdir(d)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    names.emplace_back(e->d_name);
  }
  ::closedir(d);
  return 0;
}

bool exists(const char *path) {
  FILE *fp = std::fopen(path, "rb");
  if (fp == nullptr) return false;
  std::fclose(fp);
  return true;
}

}  // namespace velm::fs
