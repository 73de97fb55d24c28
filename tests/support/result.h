// A result record that cleans itself, with the look-ups tests make on it.
#pragma once

#include <string>

#include "velm.h"

namespace velm::test {

struct Result {
  VELM_result r{0, 0, nullptr};
  Result() = default;
  ~Result() { VELM_Result_Clean(&r); }
  Result(const Result &) = delete;
  Result &operator=(const Result &) = delete;
  VELM_result *operator&() { return &r; }

  int count() const { return r.numErrors; }
  int countOf(int code) const {
    int n = 0;
    for (int i = 0; i < r.numErrors; ++i) n += r.errors[i].code == code ? 1 : 0;
    return n;
  }
  bool has(int code) const { return countOf(code) > 0; }
  // The text of the first entry with code, or "".
  std::string text(int code) const {
    for (int i = 0; i < r.numErrors; ++i)
      if (r.errors[i].code == code && r.errors[i].message != nullptr) return r.errors[i].message;
    return {};
  }
  // Every entry as "code: text" lines, for failure output.
  std::string all() const {
    std::string out;
    for (int i = 0; i < r.numErrors; ++i)
      out += std::to_string(r.errors[i].code) + ": " + (r.errors[i].message ? r.errors[i].message : "") + "\n";
    return out;
  }
};

}  // namespace velm::test
