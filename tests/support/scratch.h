// Scratch directories that remove themselves, and message catalogues
// compiled for a test, independent of the caller's locale.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace velm_test {

// A fresh directory under the temporary directory, removed with all it holds
// when the object goes, however the test ends.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "velmtest.XXXXXX").string();
    if (mkdtemp(tmpl.data()) != nullptr) path_ = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  const std::string &path() const { return path_; }
  std::string file(const std::string &name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Compiles the message source msg into the catalogue cat and returns gencat's
// exit status. gencat reads its source in the current locale's code set and
// drops non-ASCII texts under "C", so it runs under C.UTF-8, which every
// glibc provides, whatever the caller's LANG says.
inline int compileCatalog(const std::string &msg, const std::string &cat) {
  const std::string cmd = "LC_ALL=C.UTF-8 gencat '" + cat + "' '" + msg + "'";
  return std::system(cmd.c_str());
}

}  // namespace velm_test
