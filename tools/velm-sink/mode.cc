#include "mode.h"

#include <charconv>
#include <cstddef>

namespace velm::sink {
namespace {

struct ModeName {
  std::string_view name;
  ModeKind kind;
  bool takesArg;
  long defaultArg;
};

constexpr ModeName kModes[] = {
    {"ok", ModeKind::ok, false, 0},
    {"stopped", ModeKind::stopped, false, 0},
    {"http500", ModeKind::http500, false, 0},
    {"clientfault", ModeKind::clientfault, true, 1},
    {"clientfault-all", ModeKind::clientfaultAll, true, 1},
    {"secj", ModeKind::secj, false, 0},
    {"slow", ModeKind::slow, true, 1000},
    {"drop", ModeKind::drop, false, 0},
    {"failfirst", ModeKind::failfirst, true, 1},
};

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n' || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

}  // namespace

std::optional<Mode> parseMode(std::string_view text) {
  text = trim(text);
  std::string_view name = text;
  std::string_view arg;
  std::size_t sep = text.find_first_of(": =");
  if (sep != std::string_view::npos) {
    name = text.substr(0, sep);
    arg = trim(text.substr(sep + 1));
  }
  for (const ModeName &m : kModes) {
    if (m.name != name) continue;
    Mode mode{m.kind, m.defaultArg};
    if (sep == std::string_view::npos) return mode;
    if (!m.takesArg || arg.empty()) return std::nullopt;
    long value = 0;
    auto [end, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), value);
    if (ec != std::errc() || end != arg.data() + arg.size() || value < 0) return std::nullopt;
    // Event positions count from 1.
    if ((m.kind == ModeKind::clientfault || m.kind == ModeKind::clientfaultAll) && value < 1)
      return std::nullopt;
    mode.arg = value;
    return mode;
  }
  return std::nullopt;
}

std::string modeText(const Mode &mode) {
  for (const ModeName &m : kModes) {
    if (m.kind != mode.kind) continue;
    std::string text(m.name);
    if (m.takesArg) text += ":" + std::to_string(mode.arg);
    return text;
  }
  return "ok";
}

}  // namespace velm::sink
