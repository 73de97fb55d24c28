// The file-system calls of the disk cache, behind one small adapter so that
// tests can make a chosen call fail (a full disk, an I/O error, no free file
// handle) without a special file system.
//
// Every function sets errno on failure, as the C library call it stands for.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace velm::fs {

enum class Op { Open, Write, Flush, Seek, Truncate, Rename, Remove, Stat, ListDir, Read, Tell, SyncData, SyncDir };

// One injected failure: calls of op number first, first + 1, ... (counted
// from 1 since the plan was set, over all paths) fail with errorNumber;
// count -1 makes every call from first on fail. partial makes a failing
// write put half of its bytes on disk first, as a full disk can.
struct Fault {
  Op op;
  int first = 1;
  int count = 1;
  int errorNumber = 0;
  bool partial = false;
};

// Replaces the plan (empty: no faults). Thread-safe.
void setFaultPlan(std::vector<Fault> plan);
void clearFaultPlan();
// Calls of op made since the plan was set.
int callCount(Op op);

// Opens with fopen's modes; cache files are created with mode 0600.
FILE *open(const char *path, const char *mode);
int close(FILE *fp);
// Returns the bytes written; a short count means failure (errno set).
std::size_t write(FILE *fp, const void *buf, std::size_t size);
int flush(FILE *fp);  // 0 or EOF
// fdatasync of the stream's file (flush it first). 0 or -1.
int syncData(FILE *fp);
// fsync of a directory, so that a file created, renamed or removed in it
// stays so after a power cut. 0 or -1.
int syncDir(const char *dir);
std::size_t read(FILE *fp, void *buf, std::size_t size);
// After a short read on this thread: true for an I/O error (the stream's
// error flag, or an injected fault), false for the end of the file.
bool readFailed(FILE *fp);
int seek(FILE *fp, long offset, int whence);  // 0 or -1
long tell(FILE *fp);                          // -1 on failure
int truncate(FILE *fp, long length);          // 0 or -1
int rename(const char *from, const char *to);
int remove(const char *path);
int statFile(const char *path, struct ::stat *st);
// The names in dir, without "." and "..". 0 or -1.
int listDir(const char *dir, std::vector<std::string> &names);
// True when path exists and can be opened for reading.
bool exists(const char *path);

}  // namespace velm::fs
