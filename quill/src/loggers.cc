// Logger and filter classes: "qlg_basiclogger", "qlg_kxlogger",
// "qlg_levelfilter", "qlg_msgidfilter".
#include <set>
#include <strings.h>

#include "quill/src/qlg_intl.h"

namespace velm {

namespace {

constexpr const char *kCatalog = "qlgmsg";

// The table's texts are literals, so data() is NUL-terminated.
QlgMsgDesc desc(int key) { return QlgMsgDesc{kCatalog, 1, key, qlgIntlMsgText(key).data()}; }

void basicLog(QlgObject *logger, QlgEvent *event) {
  if (!logger->enabled.load(std::memory_order_relaxed)) return;
  if (logger->listeners.empty()) {
    if (logger->cls && logger->cls->kind == QLG_KIND_LOGGER)
      qlgIntlReportMsg(1, QLG_STRING, logger->name.c_str(), QLG_END);
    return;
  }
  qlgIntlNotifyListeners(logger, event);
}

// The product data a "qlg_kxlogger" copies into each event.
constexpr const char *kProductProps[] = {"organization", "product", "component", "client", "server",
                                         "serverFormat", "productInstance", "processId", "threadId"};

void kxLog(QlgObject *logger, QlgEvent *event) {
  if (!logger->enabled.load(std::memory_order_relaxed)) return;
  for (const char *name : kProductProps) {
    const std::string *v = qlgIntlGetProp(logger, name);
    if (v != nullptr) qlgIntlSetEventProp(event, name, *v);
  }
  if (!event->msgId || event->msgId->empty()) {
    std::string id = qlgIntlRecogniseMsgId(qlgIntlRenderMessage(event, nullptr));
    if (!id.empty()) event->msgId = id;
  }
  basicLog(logger, event);
}

// Filters hand a passing event on to their listeners.
void filterProcess(QlgObject *filter, QlgEvent *event) {
  if (!filter->enabled.load(std::memory_order_relaxed) || !filter->cls || !filter->cls->isLoggable) return;
  if (filter->cls->isLoggable(filter, event)) qlgIntlNotifyListeners(filter, event);
}

int levelFilterTest(QlgObject *filter, QlgEvent *event) {
  int own = filter->level.load(std::memory_order_relaxed);
  return own == 0 || event->level == QLG_LEVEL_ALWAYS || event->level >= own;
}

// ---- message-id filter --------------------------------------------------------

struct MsgIdFilterVars {
  bool block = true;  // "BLOCK": listed ids are dropped; "PASSTHRU": only they pass
  std::set<std::string, std::less<>> ids;
};

void *msgIdAlloc(QlgObject *) { return new MsgIdFilterVars; }
void msgIdFree(QlgObject *, void *vars) { delete static_cast<MsgIdFilterVars *>(vars); }

void msgIdCfgChange(QlgObject *filter, const char *name) {
  auto *vars = static_cast<MsgIdFilterVars *>(filter->vars);
  if (vars == nullptr) return;
  const std::string *value = qlgIntlGetProp(filter, name);
  std::string_view prop = name;
  if (prop == "mode") {
    if (value == nullptr) {
      vars->block = true;
    } else if (strcasecmp(value->c_str(), "BLOCK") == 0) {
      vars->block = true;
    } else if (strcasecmp(value->c_str(), "PASSTHRU") == 0) {
      vars->block = false;
    } else {
      qlgIntlReportMsg(76, QLG_STRING, filter->name.c_str(), QLG_STRING, value->c_str(), QLG_END);
    }
  } else if (prop == "msgIds") {
    vars->ids.clear();
    if (value == nullptr) return;
    const char *kSeps = " \t\r\n\f\v,;";
    size_t pos = 0;
    while (pos < value->size()) {
      size_t start = value->find_first_not_of(kSeps, pos);
      if (start == std::string::npos) break;
      size_t end = value->find_first_of(kSeps, start);
      if (end == std::string::npos) end = value->size();
      vars->ids.insert(value->substr(start, end - start));
      pos = end;
    }
  }
}

int msgIdTest(QlgObject *filter, QlgEvent *event) {
  auto *vars = static_cast<MsgIdFilterVars *>(filter->vars);
  if (vars == nullptr) return 1;
  std::string id = event->msgId ? *event->msgId : std::string();
  if (id.empty()) id = qlgIntlRecogniseMsgId(qlgIntlRenderMessage(event, nullptr));
  bool listed = !id.empty() && vars->ids.count(id) != 0;
  return vars->block ? !listed : listed;
}

}  // namespace

void qlgIntlRegisterLoggerClasses() {
  QlgMsgDesc d100 = desc(100), d101 = desc(101), d110 = desc(110);
  qlgIntlAddLoggerClass("qlg_basiclogger", &d100, nullptr, nullptr, nullptr, basicLog);
  qlgIntlAddLoggerClass("qlg_kxlogger", &d101, nullptr, nullptr, nullptr, kxLog);
  qlgIntlAddFilterClass("qlg_levelfilter", &d110, nullptr, nullptr, nullptr, filterProcess, levelFilterTest,
                        filterProcess);
  qlgIntlAddFilterClass("qlg_msgidfilter", nullptr, msgIdAlloc, msgIdFree, msgIdCfgChange, filterProcess,
                        msgIdTest, filterProcess);
}

}  // namespace velm
