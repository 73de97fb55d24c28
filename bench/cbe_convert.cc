// Cost of the CBE encoding, which bounds the library's throughput: one
// realistic authorisation event to its event string through the DOM and
// its serialiser, through the direct writer, and through a plain string
// builder written here for this one event (the ceiling: no checks, no
// escaping, same bytes); and the drain path, a batch string of 10 such
// events back to a batch ready to send, by scanning and, for comparison,
// by the parser. Reports events per second on one thread and bytes per
// event.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <charconv>
#include <string>

#include "authz_event.h"
#include "capis/event.h"
#include "capis/info_nested.h"
#include "capis/info_simple.h"
#include "cbe/cbe_encoders.h"
#include "cbe/sendEvent.h"
#include "cbe/velmToCBE.h"
#include "velm.h"

namespace {

using velm_bench::buildAuthzEvent;
using velm_bench::context;
using velm_bench::fail;

// The event as the transport sees it: validated, so it carries its time stamp.
VELM_AuditEvent *buildValidatedEvent(VELM_AuditClientContext *ctx, VELM_result *r) {
  VELM_AuditEvent *event = buildAuthzEvent(ctx, r);
  if (event != nullptr && VELM_AuditEvent_Validate(event, r) != 0) {
    VELM_AuditEvent_Delete(event, r);
    return nullptr;
  }
  return event;
}

void BM_EventToXMLString(benchmark::State &state) {
  VELM_AuditClientContext *ctx = context();
  VELM_result r{};
  VELM_AuditEvent *event = ctx != nullptr ? buildValidatedEvent(ctx, &r) : nullptr;
  if (event == nullptr) {
    fail(state, &r, "set-up");
    VELM_Result_Clean(&r);
    return;
  }
  std::size_t bytes = 0;
  for (auto _ : state) {
    char *text = velm::velmAuditEventToXMLString(ctx, event, &r);
    if (text == nullptr) {
      fail(state, &r, "convert");
      break;
    }
    bytes = std::strlen(text);
    std::free(text);
  }
  VELM_AuditEvent_Delete(event, &r);
  VELM_Result_Clean(&r);
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["bytes_per_event"] = static_cast<double>(bytes);
}
BENCHMARK(BM_EventToXMLString);

void BM_EventToTextWriter(benchmark::State &state) {
  VELM_AuditClientContext *ctx = context();
  VELM_result r{};
  VELM_AuditEvent *event = ctx != nullptr ? buildValidatedEvent(ctx, &r) : nullptr;
  if (event == nullptr) {
    fail(state, &r, "set-up");
    VELM_Result_Clean(&r);
    return;
  }
  std::string text;
  for (auto _ : state) {
    text.clear();
    if (velm::writeCBE(ctx, event, text, &r) != 0) {
      fail(state, &r, "convert");
      break;
    }
    benchmark::DoNotOptimize(text.data());
  }
  VELM_AuditEvent_Delete(event, &r);
  VELM_Result_Clean(&r);
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["bytes_per_event"] = static_cast<double>(text.size());
}
BENCHMARK(BM_EventToTextWriter);

// The ceiling: the same bytes for this one event from a builder that knows
// its shape and trusts its text (nothing to escape, nothing to check).
class PlainBuilder {
 public:
  const std::string &build(const VELM_AuditEvent *event) {
    s_.clear();
    body_.clear();
    creationTime_ = msg_ = giid_ = nullptr;
    sequence_ = nullptr;
    body_ += "<situation categoryName=\"ReportSituation\"><situationType reasoningScope=\"INTERNAL\" "
             "reportCategory=\"SECURITY\"/></situation>";
    for (int i = 0; i < event->count; ++i) element(event->elements[i]);
    body_ += "<extendedDataElements name=\"VELMEventVersion\" type=\"string\"><values>6.0</values>"
             "</extendedDataElements>";
    s_ += "<CommonBaseEvent";
    attr(s_, "creationTime", creationTime_);
    s_ += " extensionName=\"KTO_DXA_";
    s_ += event->eventType;
    s_ += '"';
    attr(s_, "globalInstanceId", giid_);
    attr(s_, "msg", msg_);
    attr(s_, "sequenceNumber", sequence_);
    s_ += " version=\"1.0.1\">";
    s_ += body_;
    s_ += "</CommonBaseEvent>";
    return s_;
  }

 private:
  static void attr(std::string &s, const char *name, const char *value) {
    if (value == nullptr) return;
    s += ' ';
    s += name;
    s += "=\"";
    s += value;
    s += '"';
  }
  void field(const char *name, const char *type, const char *value) {
    if (value == nullptr) return;
    body_ += "<children name=\"";
    body_ += name;
    body_ += "\" type=\"";
    body_ += type;
    body_ += "\"><values>";
    body_ += value;
    body_ += "</values></children>";
  }
  void number(const char *name, const char *type, int64_t v) {
    char buf[24];
    *std::to_chars(buf, buf + sizeof buf - 1, v).ptr = '\0';
    field(name, type, buf);
  }
  void array(const char *name, char *const *list) {
    if (list == nullptr || list[0] == nullptr) return;
    body_ += "<children name=\"";
    body_ += name;
    body_ += "\" type=\"stringArray\">";
    for (; *list != nullptr; ++list) {
      body_ += "<values>";
      body_ += *list;
      body_ += "</values>";
    }
    body_ += "</children>";
  }
  void attributes(VELM_Attribute *const *list) {
    for (; list != nullptr && *list != nullptr; ++list) {
      body_ += "<children name=\"attributes\" type=\"noValue\">";
      field("name", "string", (*list)->name);
      field("value", "string", (*list)->value);
      field("source", "string", (*list)->source);
      body_ += "</children>";
    }
  }
  void open(const char *name, const char *word) {
    body_ += "<extendedDataElements name=\"";
    body_ += name;
    body_ += "\" type=\"string\"><values>";
    body_ += word;
    body_ += "</values>";
  }
  void element(const VELM_AuditElement *e) {
    const void *v = e->value;
    switch (e->valueType) {
      case VELM_VT_COMPONENT_ID: {
        const auto *c = static_cast<const VELM_ComponentId *>(v);
        body_ += '<';
        body_ += e->name;
        attr(body_, "application", c->application);
        attr(body_, "component", c->component);
        attr(body_, "componentIdType", c->componentIdType);
        attr(body_, "componentType", c->componentType);
        attr(body_, "executionEnvironment", c->executionEnvironment);
        attr(body_, "instanceId", c->instanceId);
        attr(body_, "location", c->location);
        attr(body_, "locationType", c->locationType);
        attr(body_, "processId", c->processId);
        attr(body_, "subComponent", c->subcomponent);
        attr(body_, "threadId", c->threadId);
        body_ += "/>";
        return;
      }
      case VELM_VT_OUTCOME: {
        const auto *o = static_cast<const VELM_Outcome *>(v);
        open(e->name, "VELMComplexType:VELMAuditOutcome");
        field("result", "string", o->result);
        number("majorStatus", "int", o->majorStatus);
        number("minorStatus", "int", o->minorStatus);
        field("failureReason", "string", o->failureReason);
        break;
      }
      case VELM_VT_USER_INFO: {
        const auto *u = static_cast<const VELM_UserInfo *>(v);
        open(e->name, "VELMComplexType:VELMAuditUserInfo");
        field("registryUserName", "string", u->registryUserName);
        field("appUserName", "string", u->appUserName);
        field("domain", "string", u->domain);
        field("realm", "string", u->realm);
        field("location", "string", u->location);
        field("locationType", "string", u->locationType);
        field("sessionId", "string", u->sessionId);
        number("uniqueId", "int", u->uniqueId);
        array("callerList", u->callerList);
        attributes(u->attributes);
        break;
      }
      case VELM_VT_RESOURCE_INFO: {
        const auto *res = static_cast<const VELM_ResourceInfo *>(v);
        open(e->name, "VELMComplexType:VELMAuditResourceInfo");
        field("nameInApp", "string", res->nameInApp);
        field("nameInPolicy", "string", res->nameInPolicy);
        field("type", "string", res->type);
        attributes(res->attributes);
        break;
      }
      case VELM_VT_PERMISSION_INFO: {
        const auto *p = static_cast<const VELM_PermissionInfo *>(v);
        open(e->name, "VELMComplexType:VELMAuditPermissionInfo");
        array("checked", p->checked);
        array("granted", p->granted);
        array("denied", p->denied);
        array("J2EERolesChecked", p->J2EERolesChecked);
        array("J2EERolesGranted", p->J2EERolesGranted);
        break;
      }
      case VELM_VT_STRING:
        if (std::strcmp(e->name, "auditMsg") == 0) {
          msg_ = static_cast<const char *>(v);
        } else if (std::strcmp(e->name, "globalInstanceId") == 0) {
          giid_ = static_cast<const char *>(v);
        } else {
          body_ += "<extendedDataElements name=\"";
          body_ += e->name;
          body_ += "\" type=\"string\"><values>";
          body_ += static_cast<const char *>(v);
          body_ += "</values>";
          break;
        }
        return;
      case VELM_VT_LONG:
        *std::to_chars(seqBuf_, seqBuf_ + sizeof seqBuf_ - 1, *static_cast<const int64_t *>(v)).ptr = '\0';
        sequence_ = seqBuf_;
        return;
      case VELM_VT_DATETIME:
        creationTime_ = velm::cbe::formatDateTime(nullptr, static_cast<const struct timeval *>(v), timeBuf_,
                                                  sizeof timeBuf_, nullptr);
        return;
      default:
        return;
    }
    body_ += "</extendedDataElements>";
  }

  std::string s_, body_;
  const char *creationTime_ = nullptr, *msg_ = nullptr, *giid_ = nullptr, *sequence_ = nullptr;
  char seqBuf_[24];
  char timeBuf_[96];
};

void BM_EventToTextPlainBuilder(benchmark::State &state) {
  VELM_AuditClientContext *ctx = context();
  VELM_result r{};
  VELM_AuditEvent *event = ctx != nullptr ? buildValidatedEvent(ctx, &r) : nullptr;
  if (event == nullptr) {
    fail(state, &r, "set-up");
    VELM_Result_Clean(&r);
    return;
  }
  PlainBuilder builder;
  std::string expected;
  velm::writeCBE(ctx, event, expected, &r);
  if (builder.build(event) != expected) {
    std::fprintf(stderr, "builder:\n%s\nwriter:\n%s\n", builder.build(event).c_str(), expected.c_str());
    state.SkipWithError("the plain builder does not give the writer's bytes");
  } else {
    for (auto _ : state) benchmark::DoNotOptimize(builder.build(event).data());
  }
  VELM_AuditEvent_Delete(event, &r);
  VELM_Result_Clean(&r);
  state.SetItemsProcessed(state.iterations());
  state.counters["bytes_per_event"] = static_cast<double>(expected.size());
}
BENCHMARK(BM_EventToTextPlainBuilder);

// The drain path: a cached batch string of 10 events split into events.
// With a comment in front the scanner leaves the text to the parser, which
// reads it and serialises every event again: the former way, for
// comparison.
void BM_BatchStringToBatch(benchmark::State &state) {
  constexpr int kEvents = 10;
  VELM_AuditClientContext *ctx = context();
  VELM_result r{};
  VELM_AuditEvent *event = ctx != nullptr ? buildValidatedEvent(ctx, &r) : nullptr;
  char *one = event != nullptr ? velm::velmAuditEventToXMLString(ctx, event, &r) : nullptr;
  if (one == nullptr) {
    fail(state, &r, "set-up");
    if (event != nullptr) VELM_AuditEvent_Delete(event, &r);
    VELM_Result_Clean(&r);
    return;
  }
  std::string batchString = state.range(0) != 0 ? "<!-- by the parser -->" : "";
  for (int i = 0; i < kEvents; ++i) batchString += one;
  std::free(one);
  VELM_AuditEvent_Delete(event, &r);

  for (auto _ : state) {
    velm::CommonBaseEventType_ArrayTag *batch = velm::velmStringToCommonBaseEvents(ctx, batchString.c_str(), &r);
    if (batch == nullptr || batch->count != kEvents) {
      fail(state, &r, "parse");
      velm::freeCommonBaseEvents(batch);
      break;
    }
    velm::freeCommonBaseEvents(batch);
  }
  VELM_Result_Clean(&r);
  state.SetItemsProcessed(state.iterations() * kEvents);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * batchString.size()));
  state.counters["bytes_per_event"] = static_cast<double>(batchString.size()) / kEvents;
}
BENCHMARK(BM_BatchStringToBatch)->ArgName("parser")->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
