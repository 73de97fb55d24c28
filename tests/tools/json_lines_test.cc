// The flat JSON reader of velm-send's events files: what it takes, and that
// it refuses, naming the column, what it cannot pass on faithfully.
#include "json_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using velm::tools::JsonError;
using velm::tools::parseFlatJsonObject;
using Members = std::vector<std::pair<std::string, std::string>>;

TEST(FlatJson, TakesStringsNumbersAndBooleansInOrder) {
  struct Case {
    const char *text;
    Members members;
  };
  const std::vector<Case> cases = {
      {"{}", {}},
      {" { \"b\" : \"1\" , \"a\":2 }\r", {{"b", "1"}, {"a", "2"}}},
      {R"({"n": -0.5e+3, "t": true, "f": false})", {{"n", "-0.5e+3"}, {"t", "true"}, {"f", "false"}}},
      {R"({"s": "a\"b\\c\/d\n\t"})", {{"s", "a\"b\\c/d\n\t"}}},
      {R"({"u": "caf\u00e9 \u20ac \ud83d\ude00"})", {{"u", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"}}},
      {"{\"raw\": \"caf\xc3\xa9\"}", {{"raw", "caf\xc3\xa9"}}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(parseFlatJsonObject(c.text), c.members);
  }
}

TEST(FlatJson, RefusesWhatItCannotPassOn) {
  struct Case {
    const char *text;
    const char *error;
  };
  const std::vector<Case> cases = {
      {"", "'{' expected at column 1"},
      {"[1]", "'{' expected at column 1"},
      {R"({"a": {"b": 1}})", "nested objects and arrays are not taken; use dotted names at column 7"},
      {R"({"a": [1]})", "nested objects and arrays are not taken; use dotted names at column 7"},
      {R"({"a": null})", "null is not a value here; leave the member out at column 7"},
      {R"({"a": 1, "a": 2})", "duplicate member \"a\" at column 13"},
      {R"({"a": 1,})", "a member name in double quotes expected at column 9"},
      {R"({a: 1})", "a member name in double quotes expected at column 2"},
      {R"({"a": 01})", "'}' expected at column 8"},
      {R"({"a": 1.})", "a digit expected at column 9"},
      {R"({"a": "x)", "unterminated string at column 9"},
      {"{\"a\": \"x\ty\"}", "control character in a string at column 9"},
      {R"({"a": "\x"})", "unknown escape at column 9"},
      {R"({"a": "\u00zz"})", "four hex digits expected after \\u at column 12"},
      {R"({"a": "\ud83d"})", "a high surrogate without its low one at column 14"},
      {R"({"a": "\ude00"})", "a low surrogate on its own at column 14"},
      {R"({"a": "\u0000"})", "\\u0000 cannot be passed on at column 14"},
      {R"({"a": 1} x)", "text after the object at column 10"},
      {R"({"a": tru})", "a value expected at column 7"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    try {
      parseFlatJsonObject(c.text);
      ADD_FAILURE() << "accepted";
    } catch (const JsonError &e) {
      EXPECT_STREQ(e.what(), c.error);
    }
  }
}

}  // namespace
