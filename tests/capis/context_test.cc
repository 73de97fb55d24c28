// Client contexts as an application sees them: trace and error files, trace
// levels, warnings, the shared id table and process-wide set-up.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cctype>
#include <string>

#include "capis/context.h"
#include "capis/context_support.h"
#include "capis/errors.h"
#include "capis/event.h"
#include "capis/runtimes.h"

namespace {

using velm_test::lines;
using velm_test::Props;
using velm_test::readFile;
using velm_test::TempDir;

struct Line {
  std::string unit, function, text;
};

// Splits one line of the basic formatter's layout: date, source unit,
// [function], line, text, separated by single blanks.
bool parseLine(const std::string &l, Line &out) {
  static const char kDate[] = "dddd-dd-dd dd:dd:dd.ddd#dd:dd ";
  const size_t n = sizeof kDate - 1;
  if (l.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    const char want = kDate[i], c = l[i];
    if (want == 'd' ? !std::isdigit(static_cast<unsigned char>(c)) : want == '#' ? (c != '+' && c != '-') : c != want)
      return false;
  }
  const size_t unitEnd = l.find(' ', n);
  if (unitEnd == std::string::npos || unitEnd + 1 >= l.size() || l[unitEnd + 1] != '[') return false;
  const size_t fnEnd = l.find("] ", unitEnd);
  if (fnEnd == std::string::npos) return false;
  size_t p = fnEnd + 2;
  const size_t digits = p;
  while (p < l.size() && std::isdigit(static_cast<unsigned char>(l[p]))) ++p;
  if (p == digits || p >= l.size() || l[p] != ' ') return false;
  out.unit = l.substr(n, unitEnd - n);
  out.function = l.substr(unitEnd + 2, fnEnd - unitEnd - 2);
  out.text = l.substr(p + 1);
  return true;
}

std::vector<Line> parse(const std::string &path) {
  std::vector<Line> out;
  for (const std::string &l : lines(readFile(path))) {
    Line parsed;
    if (parseLine(l, parsed)) {
      out.push_back(parsed);
    } else {
      ADD_FAILURE() << "line not in the basic layout: " << l;
    }
  }
  return out;
}

bool hasText(const std::vector<Line> &ls, const std::string &text) {
  for (const Line &l : ls)
    if (l.text == text) return true;
  return false;
}

class ContextTest : public ::testing::Test {
 protected:
  Props base(bool trace = true) {
    Props p;
    p.str("serverURL", "http://localhost:9/audit").str("useDiskCache", "never").str("errorFilePath", errorLog.c_str());
    if (trace) p.str("traceFilePath", traceLog.c_str());
    return p;
  }
  VELM_AuditClientContext *create(Props &p) {
    VELM_Result_Clean(&result);
    return VELM_AuditClientContext_Create(p.list(), &result);
  }
  void destroy(VELM_AuditClientContext *c) {
    VELM_result r{};
    EXPECT_EQ(VELM_AuditClientContext_Delete(c, &r), 0);
    EXPECT_EQ(r.numErrors, 0);
    VELM_Result_Clean(&r);
  }
  void TearDown() override { VELM_Result_Clean(&result); }

  TempDir dir;
  std::string traceLog = dir.file("trace.log");
  std::string errorLog = dir.file("error.log");
  VELM_result result{};
};

TEST_F(ContextTest, FlowTraceShowsThePropertiesButNeverThePassword) {
  Props p = base();
  p.num("traceLevel", 3).str("clientUserName", "auditor").str("clientPassword", "s3cret-pw").num("queueSize", 60)
      .raw("oddOne", 42, nullptr);
  VELM_AuditClientContext *c = create(p);
  ASSERT_NE(c, nullptr);
  destroy(c);

  const std::string raw = readFile(traceLog);
  EXPECT_EQ(raw.find("s3cret-pw"), std::string::npos);
  EXPECT_EQ(raw.find("clientPassword"), std::string::npos);
  const auto ls = parse(traceLog);
  EXPECT_TRUE(hasText(ls, " property name = serverURL, value = http://localhost:9/audit, valueType = VELM_VT_STRING"));
  EXPECT_TRUE(hasText(ls, " property name = clientUserName, value = auditor, valueType = VELM_VT_STRING"));
  EXPECT_TRUE(hasText(ls, " property name = queueSize, value = 60, valueType = VELM_VT_INTEGER"));
  EXPECT_TRUE(hasText(ls, " property name = traceLevel, value = 3, valueType = VELM_VT_INTEGER"));
  EXPECT_TRUE(hasText(ls, " property name = oddOne had an invalid valueType of 42"));
  EXPECT_TRUE(hasText(ls, "ENTRY"));
  EXPECT_TRUE(hasText(ls, "EXIT"));
  // No other context lives in this test, so this one set the runtimes up.
  EXPECT_TRUE(hasText(ls, "FLOW: calling initializeXMLParser"));
  EXPECT_TRUE(hasText(ls, "FLOW: calling initializeAxis"));
  char pid[16];
  std::snprintf(pid, sizeof pid, "%08X", static_cast<unsigned>(getpid()));
  EXPECT_TRUE(hasText(ls, std::string("FLOW: process id = ") + pid));
  EXPECT_TRUE(hasText(ls, "FLOW: calling terminateAxis"));
  EXPECT_TRUE(hasText(ls, "FLOW: calling terminateXMLParser"));
  for (const Line &l : ls) {
    if (l.text.rfind(" property name", 0) == 0) {
      EXPECT_EQ(l.unit, "context") << l.text;
    }
  }
}

TEST_F(ContextTest, DefaultLevelTracesNoFlowOrEntry) {
  Props p = base();
  VELM_AuditClientContext *c = create(p);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->traceLevel, 1);
  destroy(c);
  EXPECT_EQ(readFile(traceLog), "");
}

TEST_F(ContextTest, ErrorLogHoldsTheRecordedMessage) {
  Props p = base();
  p.str("elementCodeSet", "NO-SUCH-CODESET");
  EXPECT_EQ(create(p), nullptr);
  ASSERT_EQ(result.numErrors, 1);
  const auto ls = parse(errorLog);
  ASSERT_EQ(ls.size(), 1u);
  EXPECT_EQ(ls[0].text, result.errors[0].message);
  EXPECT_EQ(ls[0].text,
            "DXACC0007E The property elementCodeSet has a value in the property list that is not valid: "
            "NO-SUCH-CODESET .");
}

TEST_F(ContextTest, LogFilesAreGroupReadable) {
  Props p = base();
  p.num("traceLevel", 3);
  VELM_AuditClientContext *c = create(p);
  ASSERT_NE(c, nullptr);
  VELM_result r{};
  EXPECT_EQ(VELM_AuditClientContext_Delete(nullptr, &r), -1);  // writes to the error log
  VELM_Result_Clean(&r);
  destroy(c);
  struct stat st {};
  ASSERT_EQ(stat(traceLog.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0660u);
  ASSERT_EQ(stat(errorLog.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0660u);
}

TEST_F(ContextTest, WarningsForSoftFailures) {
  Props p = base();
  p.str("errorLocale", "xx_NOWHERE").str("errorCodeSet", "NO-SUCH-CODESET");
  VELM_AuditClientContext *c = create(p);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(result.numErrors, 0);
  EXPECT_EQ(c->errorLocale, nullptr);
  EXPECT_EQ(c->errorCodeSet, nullptr);
  destroy(c);
  const auto ls = parse(traceLog);
  EXPECT_TRUE(hasText(
      ls, "WARNING: the value of the errorLocale property, xx_NOWHERE, is invalid, using default error messages."));
  EXPECT_TRUE(hasText(
      ls, "WARNING: the value of the errorCodeSet property, NO-SUCH-CODESET, is invalid, using default codeset instead."));
}

TEST_F(ContextTest, TraceLevelCanChangeOnlyWithATraceFile) {
  Props quiet = base(false);
  VELM_AuditClientContext *q = create(quiet);
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(VELM_AuditClientContext_SetTraceLevel(q, 3, &result), -1);
  EXPECT_EQ(result.numErrors, 0);
  EXPECT_EQ(VELM_AuditClientContext_GetTraceLevel(q, &result), 0);
  destroy(q);

  Props p = base();
  VELM_AuditClientContext *c = create(p);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(VELM_AuditClientContext_GetTraceLevel(c, &result), 1);
  EXPECT_EQ(VELM_AuditClientContext_SetTraceLevel(c, 2, &result), 0);
  EXPECT_EQ(VELM_AuditClientContext_GetTraceLevel(c, &result), 2);
  EXPECT_EQ(VELM_AuditClientContext_SetTraceLevel(c, 1, &result), 0);
  EXPECT_EQ(result.numErrors, 0);
  destroy(c);
  const auto ls = parse(traceLog);
  EXPECT_TRUE(hasText(ls, "EXIT: trace level set to = 2"));
  EXPECT_TRUE(hasText(ls, "EXIT: returning trace level = 2"));
  EXPECT_FALSE(hasText(ls, "EXIT: trace level set to = 1"));
}

TEST_F(ContextTest, NullParametersAreTraced) {
  Props p = base();
  VELM_AuditClientContext *c = create(p);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(VELM_AuditClientContext_GetTraceLevel(c, nullptr), -1);
  VELM_AuditEvent event{};
  event.context = c;
  EXPECT_EQ(nullParmHandler2(&event, nullptr, "event", 7, "[VELM_AuditEvent_Delete]"), 0);
  VELM_result r{};
  EXPECT_EQ(VELM_AuditClientContext_SetTraceLevel(nullptr, 1, &r), -1);
  ASSERT_EQ(r.numErrors, 1);
  EXPECT_EQ(r.errors[0].code, 10);
  const std::string text = r.errors[0].message;
  VELM_Result_Clean(&r);
  destroy(c);

  const auto trace = parse(traceLog);
  EXPECT_TRUE(hasText(trace, "ERROR: status parameter is NULL"));
  EXPECT_TRUE(hasText(trace, "ERROR: context parameter is NULL"));
  int statusLines = 0;
  for (const Line &l : trace) statusLines += l.text == "ERROR: status parameter is NULL";
  EXPECT_EQ(statusLines, 2);
  for (const Line &l : trace) {
    if (l.text.rfind("ERROR: status", 0) == 0) {
      EXPECT_TRUE(l.function == "VELM_AuditClientContext_GetTraceLevel" || l.function == "VELM_AuditEvent_Delete")
          << l.function;
    }
  }
  const auto errors = parse(errorLog);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].text, text);
  EXPECT_EQ(errors[0].function, "VELM_AuditClientContext_SetTraceLevel");
}

// The process-wide loggers must not outlive the contexts that made them.
TEST_F(ContextTest, NullContextAfterTheLastContextIsSafe) {
  Props p = base();
  VELM_AuditClientContext *c = create(p);
  ASSERT_NE(c, nullptr);
  destroy(c);
  VELM_result r{};
  EXPECT_EQ(VELM_AuditClientContext_Delete(nullptr, &r), -1);
  EXPECT_EQ(r.numErrors, 1);
  VELM_Result_Clean(&r);
  EXPECT_EQ(VELM_AuditClientContext_GetTraceLevel(nullptr, nullptr), -1);
}

TEST_F(ContextTest, LoggersAreSharedByName) {
  Props p1 = base();
  p1.num("traceLevel", 3);
  VELM_AuditClientContext *a = create(p1);
  ASSERT_NE(a, nullptr);
  // Same logger names, other files: the configured loggers are used unchanged.
  TempDir other;
  Props p2;
  p2.str("serverURL", "http://h/b").str("useDiskCache", "never").str("errorFilePath", other.file("e.log").c_str())
      .str("traceFilePath", other.file("t.log").c_str()).num("traceLevel", 3);
  VELM_AuditClientContext *b = create(p2);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->traceLogger, b->traceLogger);
  EXPECT_EQ(a->errorLogger, b->errorLogger);
  destroy(a);
  EXPECT_EQ(VELM_AuditClientContext_SetTraceLevel(b, 3, &result), 0);  // b's logger still works
  destroy(b);
  EXPECT_TRUE(hasText(parse(traceLog), "EXIT: trace level set to = 3"));
  EXPECT_FALSE(std::filesystem::exists(other.file("t.log")));

  // Once both are gone, a new context configures the logger afresh.
  Props p3;
  p3.str("serverURL", "http://h/c").str("useDiskCache", "never").str("errorFilePath", other.file("e.log").c_str())
      .str("traceFilePath", other.file("t.log").c_str()).num("traceLevel", 3);
  VELM_AuditClientContext *c = create(p3);
  ASSERT_NE(c, nullptr);
  destroy(c);
  EXPECT_TRUE(hasText(parse(other.file("t.log")), "ENTRY"));
}

TEST_F(ContextTest, ContextsShareOneIdTableAndRuntimes) {
  const velm::RuntimeCounters before = velm::runtimeCounters();
  Props p1 = base(false), p2 = base(false);
  VELM_AuditClientContext *a = create(p1);
  VELM_AuditClientContext *b = create(p2);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  ASSERT_NE(a->giidTable, nullptr);
  EXPECT_EQ(a->giidTable, b->giidTable);
  EXPECT_EQ(velm::velmCommon()->giidTable, a->giidTable);
  EXPECT_EQ(velm::velmCommon()->refCount, 2);
  char pid[16];
  std::snprintf(pid, sizeof pid, "%08X", static_cast<unsigned>(getpid()));
  EXPECT_STREQ(a->giidTable->pidText, pid);
  EXPECT_EQ(a->giidTable->counter, 0u);
  EXPECT_NE(a->locTypeTable, b->locTypeTable);  // each context has its own

  velm::RuntimeCounters now = velm::runtimeCounters();
  EXPECT_EQ(now.xmlStarts - before.xmlStarts, 1);
  EXPECT_EQ(now.axisStarts - before.axisStarts, 1);
  destroy(a);
  now = velm::runtimeCounters();
  EXPECT_EQ(now.xmlStops - before.xmlStops, 0);
  EXPECT_EQ(now.axisStops - before.axisStops, 0);
  destroy(b);
  now = velm::runtimeCounters();
  EXPECT_EQ(now.xmlStops - before.xmlStops, 1);
  EXPECT_EQ(now.axisStops - before.axisStops, 1);
  EXPECT_EQ(velm::velmCommon()->refCount, 0);
  EXPECT_EQ(velm::velmCommon()->giidTable, nullptr);
  EXPECT_EQ(velm::velmCommon()->eventTableReady, 1);  // kept for the process

  // The next creation sets everything up afresh.
  Props p3 = base(false);
  VELM_AuditClientContext *c = create(p3);
  ASSERT_NE(c, nullptr);
  EXPECT_NE(c->giidTable, nullptr);
  EXPECT_EQ(velm::runtimeCounters().xmlStarts - before.xmlStarts, 2);
  destroy(c);
}

TEST_F(ContextTest, FailedCreationReleasesItsReference) {
  Props bad = base(false);
  bad.str("elementCodeSet", "NO-SUCH-CODESET");  // fails before the process-wide step
  EXPECT_EQ(create(bad), nullptr);
  EXPECT_EQ(velm::velmCommon()->refCount, 0);
}

TEST(Version, IsTheConstantText) { EXPECT_STREQ(getVELMCClientVersion(), "VELM_C_CLIENT_VERSION=6.0.0.1"); }

}  // namespace
