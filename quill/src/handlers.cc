// The console handler "qlg_consolehandler" and the application-server
// handler "qlg_hblhandler".
#include <cerrno>
#include <cstdio>
#include <vector>

#include "quill/src/qlg_intl.h"

namespace velm {

namespace {

struct ConsoleVars {
  bool open = false;  // the header has been written
};

// Writes UTF-8 text to standard output in the local code set; text that
// cannot be converted is written as it is rather than lost.
void writeConsole(const std::string &text) {
  cvx_cs local = cvx_get_def_cs();
  const char *name = local ? cvx_cs_name(local) : nullptr;
  bool utf8 = name == nullptr || std::string_view(name) == "UTF-8" || std::string_view(name) == "UTF8";
  if (!utf8) {
    std::vector<char> out(text.size() * 4 + 16);
    int n = cvx_from_utf8(local, text.c_str(), static_cast<int>(text.size()), out.data(),
                          static_cast<int>(out.size()));
    if (n >= 0) {
      std::fwrite(out.data(), 1, static_cast<size_t>(n), stdout);
      std::fflush(stdout);
      return;
    }
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void *consoleAlloc(QlgObject *) { return new ConsoleVars; }
void consoleFree(QlgObject *, void *vars) { delete static_cast<ConsoleVars *>(vars); }

int consoleOpen(QlgObject *handler) {
  auto *vars = static_cast<ConsoleVars *>(handler->vars);
  if (vars == nullptr) return 0;
  if (!vars->open) {
    if (auto header = qlgIntlFormatterHeader(handler)) writeConsole(*header);
    vars->open = true;
  }
  return 1;
}

void consoleClose(QlgObject *handler) {
  auto *vars = static_cast<ConsoleVars *>(handler->vars);
  if (vars == nullptr || !vars->open) return;
  if (auto trailer = qlgIntlFormatterTrailer(handler)) writeConsole(*trailer);
  vars->open = false;
}

void consoleProcess(QlgObject *handler, QlgEvent *event) {
  if (!handler->enabled.load(std::memory_order_relaxed) || !consoleOpen(handler)) return;
  if (auto text = qlgIntlFormatterText(handler, event)) writeConsole(*text);
  qlgIntlNotifyListeners(handler, event);
}

// ---- application-server handler --------------------------------------------

// There is no application server on this platform: opening the channel
// fails, once per configuration, and records are dropped.
struct HblVars {
  bool tried = false;
};

void *hblAlloc(QlgObject *) { return new HblVars; }
void hblFree(QlgObject *, void *vars) { delete static_cast<HblVars *>(vars); }

void hblCfgChange(QlgObject *handler, const char *) {
  if (auto *vars = static_cast<HblVars *>(handler->vars)) vars->tried = false;
}

int hblOpen(QlgObject *handler) {
  auto *vars = static_cast<HblVars *>(handler->vars);
  if (vars == nullptr) return 0;
  if (!vars->tried) {
    vars->tried = true;
    qlgIntlReportMsg(91, QLG_INT, ENOSYS, QLG_END);
  }
  return 0;
}

void hblClose(QlgObject *) {}

void hblProcess(QlgObject *handler, QlgEvent *event) {
  if (!handler->enabled.load(std::memory_order_relaxed)) return;
  hblOpen(handler);
  qlgIntlNotifyListeners(handler, event);
}

}  // namespace

void qlgIntlRegisterConsoleHandlerClass() {
  QlgMsgDesc d{"qlgmsg", 1, 120, qlgIntlMsgText(120).data()};
  qlgIntlAddHandlerClass("qlg_consolehandler", &d, consoleAlloc, consoleFree, nullptr, consoleProcess, consoleOpen,
                         consoleClose);
}

void qlgIntlRegisterHblHandlerClass() {
  qlgIntlAddHandlerClass("qlg_hblhandler", nullptr, hblAlloc, hblFree, hblCfgChange, hblProcess, hblOpen,
                         hblClose);
}

}  // namespace velm
