// Helpers of the context tests: a temporary directory, property lists that
// own their values, and reading log files back.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/scratch.h"
#include "velm.h"

namespace velm_test {

// A property list whose values live as long as the list.
class Props {
 public:
  Props &str(const char *name, const char *value) {
    texts_.emplace_back(value);
    entries_.push_back({name, VELM_VT_STRING, texts_.back().c_str()});
    return *this;
  }
  Props &num(const char *name, int value) {
    ints_.push_back(value);
    entries_.push_back({name, VELM_VT_INTEGER, &ints_.back()});
    return *this;
  }
  Props &raw(const char *name, int type, const void *value) {
    entries_.push_back({name, type, value});
    return *this;
  }
  const VELM_Property *list() {
    list_ = entries_;
    list_.push_back({nullptr, 0, nullptr});
    return list_.data();
  }

 private:
  std::deque<std::string> texts_;
  std::deque<int32_t> ints_;
  std::vector<VELM_Property> entries_;
  std::vector<VELM_Property> list_;
};

inline std::string readFile(const std::string &path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::vector<std::string> lines(const std::string &text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

}  // namespace velm_test
