// Formatter classes: "qlg_basicformatter", "qlg_xmlformatter" and
// "qlg_orvtraceformatter", and the date routine they share.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>

#include "quill/src/qlg_intl.h"

namespace velm {

namespace {

char *dupText(const std::string &s) {
  char *p = static_cast<char *>(std::malloc(s.size() + 1));
  if (p) std::memcpy(p, s.c_str(), s.size() + 1);
  return p;
}

const std::string *prop(const QlgEvent *event, const char *name) { return qlgIntlGetEventProp(event, name); }

std::string render(QlgObject *formatter, QlgEvent *event) {
  return qlgIntlRenderMessage(event, formatter ? formatter->locale : nullptr);
}

char *bindMessage(QlgObject *formatter, QlgEvent *event) { return dupText(render(formatter, event)); }

// The event's message id, or one recognised at the start of text.
std::string messageId(const QlgEvent *event, const std::string &text) {
  if (event->msgId && !event->msgId->empty()) return *event->msgId;
  return qlgIntlRecogniseMsgId(text);
}

// ---- basic formatter --------------------------------------------------------------

char *basicFormat(QlgObject *formatter, QlgEvent *event) {
  const std::string s = formatter->separator.empty() ? " " : formatter->separator;
  std::string out = qlgIntlFormatDate(formatter, event->time);
  out += s;
  static constexpr const char *kFields[] = {"qlg_prop_srcfile", "qlg_prop_srcfunction", "qlg_prop_srcline",
                                            "organization",     "product",              "component",
                                            "client",           "server"};
  for (const char *name : kFields) {
    if (const std::string *v = prop(event, name)) {
      out += *v;
      out += s;
    }
  }
  out += render(formatter, event);
  out += '\n';
  return dupText(out);
}

// ---- XML formatter ----------------------------------------------------------------

struct XmlVars {
  bool emitSingle = true;
  bool singleComponent = false;
  bool singleProduct = false;
  bool singleProductId = false;
  bool singleServer = false;
  bool forceAsMessage = false;
  bool forceAsTrace = false;
};

void *xmlAlloc(QlgObject *) { return new XmlVars; }
void xmlFree(QlgObject *, void *vars) { delete static_cast<XmlVars *>(vars); }

void xmlCfgChange(QlgObject *formatter, const char *name) {
  auto *vars = static_cast<XmlVars *>(formatter->vars);
  if (vars == nullptr) return;
  struct Flag {
    const char *name;
    bool XmlVars::*member;
  };
  static constexpr Flag kFlags[] = {
      {"singleComponent", &XmlVars::singleComponent}, {"singleProduct", &XmlVars::singleProduct},
      {"singleProductId", &XmlVars::singleProductId}, {"singleServer", &XmlVars::singleServer},
      {"forceAsMessage", &XmlVars::forceAsMessage},   {"forceAsTrace", &XmlVars::forceAsTrace},
  };
  for (const auto &f : kFlags) {
    if (std::strcmp(name, f.name) != 0) continue;
    const std::string *v = qlgIntlGetProp(formatter, name);
    vars->*f.member = v != nullptr && qlgIntlParseBool(*v).value_or(false);
  }
}

// Logged values come from callers and configuration (a server URL, a user
// name); escaped, none of them can open or close an element of the log.
std::string esc(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

// A CDATA section holding value; a "]]>" inside is split over two sections.
std::string cdata(std::string_view value) {
  std::string out = "<![CDATA[";
  size_t from = 0;
  for (size_t at; (at = value.find("]]>", from)) != std::string_view::npos; from = at + 2) {
    out.append(value.substr(from, at + 2 - from));
    out += "]]><![CDATA[";
  }
  out.append(value.substr(from));
  out += "]]>";
  return out;
}

// An element of that name holding value, escaped.
std::string element(const char *name, const std::string &value) {
  return std::string("<") + name + ">" + esc(value) + "</" + name + ">";
}

std::string attr(const char *name, const std::string &value) {
  return std::string(" ") + name + "=\"" + esc(value) + "\"";
}

// The product lines; single selects the items marked single (true) or the
// others (false).
void productLines(std::string &out, const XmlVars &vars, const QlgEvent *event, bool single) {
  if (vars.singleServer == single) {
    if (const std::string *server = prop(event, "server")) {
      const std::string *format = prop(event, "serverFormat");
      out += " <Server" + attr("Format", format ? *format : "") + ">" + esc(*server) + "</Server>\n";
    }
  }
  if (vars.singleProduct == single)
    if (const std::string *v = prop(event, "product")) out += " " + element("ProductId", *v) + "\n";
  if (vars.singleComponent == single)
    if (const std::string *v = prop(event, "component")) out += " " + element("Component", *v) + "\n";
  if (vars.singleProductId == single)
    if (const std::string *v = prop(event, "productInstance"))
      out += " " + element("ProductInstance", *v) + "\n";
}

void sourceLine(std::string &out, const QlgEvent *event) {
  const std::string *file = prop(event, "qlg_prop_srcfile");
  out += " <Source" + attr("FileName", *file);
  if (const std::string *fn = prop(event, "qlg_prop_srcfunction")) out += attr("Method", *fn);
  if (const std::string *line = prop(event, "qlg_prop_srcline")) out += attr("Line", *line);
  out += "/>\n";
}

char *xmlFormat(QlgObject *formatter, QlgEvent *event) {
  auto *vars = static_cast<XmlVars *>(formatter->vars);
  if (vars == nullptr) return nullptr;
  std::string out;
  if (vars->emitSingle) {
    productLines(out, *vars, event, true);
    vars->emitSingle = false;
  }
  bool asMessage = vars->forceAsMessage != vars->forceAsTrace ? vars->forceAsMessage : event->isMessage != 0;
  std::string text = render(formatter, event);
  if (asMessage) {
    std::string id = messageId(event, text);
    out += "<Message" + attr("Id", id.empty() ? "None" : id);
    if (event->level != QLG_LEVEL_ALWAYS) out += attr("Severity", qlgIntlLevelName(event->level));
    out += ">\n";
  } else if (event->level != QLG_LEVEL_ALWAYS) {
    out += "<Trace" + attr("Level", qlgIntlLevelName(event->level)) + ">\n";
  } else {
    out += "<Trace>\n";
  }
  out += " <Time" + attr("Millis", std::to_string(event->time)) + ">" +
         esc(qlgIntlFormatDate(formatter, event->time)) + "</Time>\n";
  productLines(out, *vars, event, false);
  out += " <LogText>" + cdata(text) + "</LogText>\n";
  static const std::set<std::string, std::less<>> kReserved = {
      "threadId", "correlationId", "client",  "qlg_prop_srcfile", "qlg_prop_srcline", "qlg_prop_srcfunction",
      "server",   "serverFormat",  "product", "component",        "productInstance",  "processId"};
  std::string attribs;
  for (const auto &[name, value] : event->properties)
    if (!kReserved.count(name)) attribs += element("Key", name) + element("Value", value);
  if (!attribs.empty()) out += " <LogAttribs>" + attribs + "</LogAttribs>\n";
  const bool hasSource = prop(event, "qlg_prop_srcfile") != nullptr;
  if (asMessage) {
    if (hasSource) sourceLine(out, event);
    if (event->message.catalog) {
      out += " <TranslationInfo" + attr("Type", "XPG4") + attr("Catalog", *event->message.catalog) +
             attr("MsgKey", std::to_string(event->message.key)) + attr("SetId", std::to_string(event->message.set)) +
             ">";
      for (const auto &p : event->params) out += "<Param>" + cdata(p.text()) + "</Param>";
      out += "</TranslationInfo>\n";
    }
  } else {
    if (hasSource) sourceLine(out, event);
    else out += " <Source" + attr("FileName", "None") + attr("Method", "None") + "/>\n";
    if (const std::string *v = prop(event, "threadId")) out += " " + element("Thread", *v) + "\n";
    if (const std::string *v = prop(event, "processId")) out += " " + element("Process", *v) + "\n";
  }
  if (const std::string *v = prop(event, "correlationId")) out += " " + element("CorrelationId", *v) + "\n";
  if (const std::string *v = prop(event, "client")) out += " " + element("Principal", *v) + "\n";
  out += asMessage ? "</Message>\n" : "</Trace>\n";
  return dupText(out);
}

// No header text, but the next record repeats the single product lines.
char *xmlHeader(QlgObject *formatter) {
  if (auto *vars = static_cast<XmlVars *>(formatter->vars)) vars->emitSingle = true;
  return nullptr;
}

// ---- trace formatter --------------------------------------------------------------

char *traceFormat(QlgObject *formatter, QlgEvent *event) {
  const char *d = " - ";
  std::string text = render(formatter, event);
  std::string out = "\x1e[" + qlgIntlFormatDate(formatter, event->time) + "]" + d;
  out += qlgIntlLevelLabel(event->level);
  out += d;
  if (const std::string *server = prop(event, "server")) out += server->substr(0, server->find('.'));
  out += d;
  const std::string *pid = prop(event, "processId");
  const std::string *tid = prop(event, "threadId");
  if (pid) out += "p" + *pid;
  if (pid && tid) out += ":";
  if (tid) out += "t" + *tid;
  out += d;
  const std::string *file = prop(event, "qlg_prop_srcfile");
  const std::string *fn = prop(event, "qlg_prop_srcfunction");
  const std::string *line = prop(event, "qlg_prop_srcline");
  if (file) out += *file;
  if (file && fn) out += ":";
  if (fn) out += *fn;
  if (line) out += "(" + *line + ")";
  out += d;
  out += messageId(event, text);
  out += d;
  out += text;
  out += "\n";
  return dupText(out);
}

}  // namespace

std::string qlgIntlFormatDate(QlgObject *formatter, int64_t millis) {
  time_t seconds = static_cast<time_t>(millis / 1000);
  int ms = static_cast<int>(millis % 1000);
  if (ms < 0) {
    ms += 1000;
    --seconds;
  }
  tm local{};
  if (localtime_r(&seconds, &local) == nullptr) return {};
  char buf[128];
  if (formatter != nullptr && !formatter->dateTimeFormat.empty()) {
    size_t n = cvx_strftime(nullptr, formatter->locale, buf, sizeof buf, formatter->dateTimeFormat.c_str(), &local);
    std::string native(buf, n);
    // The formatted text is in the process code set; records are UTF-8.
    std::vector<char> utf8(native.size() * 4 + 1);
    int m = cvx_to_utf8(nullptr, native.c_str(), static_cast<int>(native.size()), utf8.data(),
                        static_cast<int>(utf8.size()));
    return m >= 0 ? std::string(utf8.data(), static_cast<size_t>(m)) : native;
  }
  size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
  long offset = local.tm_gmtoff;  // includes daylight saving time
  int hours = static_cast<int>(offset / 3600);
  int minutes = static_cast<int>((offset < 0 ? -offset : offset) % 3600 / 60);
  char tail[32];
  // Same as ".%03.3d%+02.2d:%02.2d": three-digit millis, signed two-digit hours.
  std::snprintf(tail, sizeof tail, ".%03d%+03d:%02d", ms, hours, minutes);
  return std::string(buf, n) + tail;
}

void qlgIntlRegisterFormatterClasses() {
  QlgMsgDesc d130{"qlgmsg", 1, 130, qlgIntlMsgText(130).data()};
  QlgMsgDesc d131{"qlgmsg", 1, 131, qlgIntlMsgText(131).data()};
  qlgIntlAddFormatterClass("qlg_basicformatter", &d130, nullptr, nullptr, nullptr, basicFormat, nullptr, nullptr,
                           bindMessage);
  qlgIntlAddFormatterClass("qlg_xmlformatter", &d131, xmlAlloc, xmlFree, xmlCfgChange, xmlFormat, xmlHeader,
                           nullptr, bindMessage);
  qlgIntlAddFormatterClass("qlg_orvtraceformatter", nullptr, nullptr, nullptr, nullptr, traceFormat, nullptr,
                           nullptr, bindMessage);
}

}  // namespace velm
