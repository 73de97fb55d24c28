// Runs a command-line tool the way a person would and keeps what it printed.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

namespace velm_test {

struct ToolRun {
  int status = -1;     // exit status; -1 when it did not exit normally
  std::string output;  // standard output and standard error, interleaved
};

inline std::string shellQuote(const std::string &s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

inline ToolRun runTool(const std::vector<std::string> &args) {
  std::string cmd;
  for (const std::string &a : args) cmd += shellQuote(a) + " ";
  cmd += "2>&1 </dev/null";
  ToolRun run;
  FILE *p = popen(cmd.c_str(), "r");
  if (p == nullptr) return run;
  char buf[4096];
  for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) run.output.append(buf, n);
  const int st = pclose(p);
  if (st != -1 && WIFEXITED(st)) run.status = WEXITSTATUS(st);
  return run;
}

}  // namespace velm_test
