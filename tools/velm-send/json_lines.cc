#include "json_lines.h"

#include <cstdint>
#include <set>

namespace velm::tools {

namespace {

class Reader {
 public:
  explicit Reader(const std::string &text) : s_(text) {}

  std::vector<std::pair<std::string, std::string>> object() {
    std::vector<std::pair<std::string, std::string>> members;
    std::set<std::string> seen;
    blanks();
    expect('{');
    blanks();
    if (peek() == '}') {
      ++i_;
    } else {
      for (;;) {
        blanks();
        if (peek() != '"') fail("a member name in double quotes expected");
        std::string key = string();
        if (!seen.insert(key).second) fail("duplicate member \"" + key + "\"");
        blanks();
        expect(':');
        blanks();
        members.emplace_back(std::move(key), value());
        blanks();
        if (peek() == ',') {
          ++i_;
          continue;
        }
        expect('}');
        break;
      }
    }
    blanks();
    if (i_ != s_.size()) fail("text after the object");
    return members;
  }

 private:
  [[noreturn]] void fail(const std::string &what) const {
    throw JsonError(what + " at column " + std::to_string(i_ + 1));
  }
  char peek() const { return i_ < s_.size() ? s_[i_] : '\0'; }
  void expect(char c) {
    if (peek() != c) fail(std::string("'") + c + "' expected");
    ++i_;
  }
  void blanks() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n')) ++i_;
  }

  std::string value() {
    const char c = peek();
    if (c == '"') return string();
    if (c == '-' || (c >= '0' && c <= '9')) return number();
    for (const char *word : {"true", "false"})
      if (s_.compare(i_, std::char_traits<char>::length(word), word) == 0) {
        i_ += std::char_traits<char>::length(word);
        return word;
      }
    if (c == '{' || c == '[') fail("nested objects and arrays are not taken; use dotted names");
    if (s_.compare(i_, 4, "null") == 0) fail("null is not a value here; leave the member out");
    fail("a value expected");
  }

  std::string number() {
    const std::size_t start = i_;
    auto digits = [&] {
      const std::size_t from = i_;
      while (peek() >= '0' && peek() <= '9') ++i_;
      if (i_ == from) fail("a digit expected");
    };
    if (peek() == '-') ++i_;
    if (peek() == '0')
      ++i_;
    else
      digits();
    if (peek() == '.') {
      ++i_;
      digits();
    }
    if (peek() == 'e' || peek() == 'E') {
      ++i_;
      if (peek() == '+' || peek() == '-') ++i_;
      digits();
    }
    return s_.substr(start, i_ - start);
  }

  unsigned hex4() {
    unsigned v = 0;
    for (int k = 0; k < 4; ++k, ++i_) {
      const char c = peek();
      v <<= 4;
      if (c >= '0' && c <= '9')
        v |= static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f')
        v |= static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        v |= static_cast<unsigned>(c - 'A' + 10);
      else
        fail("four hex digits expected after \\u");
    }
    return v;
  }

  static void utf8(std::string &out, uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  std::string string() {
    expect('"');
    std::string out;
    for (;;) {
      if (i_ >= s_.size()) fail("unterminated string");
      const unsigned char c = static_cast<unsigned char>(s_[i_]);
      if (c == '"') {
        ++i_;
        return out;
      }
      if (c < 0x20) fail("control character in a string");
      if (c != '\\') {
        out += static_cast<char>(c);
        ++i_;
        continue;
      }
      ++i_;
      const char e = peek();
      ++i_;
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          uint32_t cp = hex4();
          if (cp >= 0xD800 && cp < 0xDC00) {
            if (s_.compare(i_, 2, "\\u") != 0) fail("a high surrogate without its low one");
            i_ += 2;
            const uint32_t lo = hex4();
            if (lo < 0xDC00 || lo > 0xDFFF) fail("a high surrogate without its low one");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
          } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            fail("a low surrogate on its own");
          }
          if (cp == 0) fail("\\u0000 cannot be passed on");
          utf8(out, cp);
          break;
        }
        default:
          --i_;
          fail("unknown escape");
      }
    }
  }

  const std::string &s_;
  std::size_t i_ = 0;
};

}  // namespace

std::vector<std::pair<std::string, std::string>> parseFlatJsonObject(const std::string &text) {
  return Reader(text).object();
}

}  // namespace velm::tools
