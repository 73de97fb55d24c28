// A small, strict reader of flat JSON objects, one per line of an events
// file: string keys; string, number, true or false values. Nested objects,
// arrays and null are refused, as are duplicate keys.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace velm::tools {

class JsonError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The members in the order given; numbers and booleans as their text.
// Throws JsonError naming the problem and its column.
std::vector<std::pair<std::string, std::string>> parseFlatJsonObject(const std::string &text);

}  // namespace velm::tools
