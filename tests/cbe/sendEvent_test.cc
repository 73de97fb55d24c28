// Event strings, batch strings and fault details.
#include <unistd.h>

#include <clocale>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cbe/cbe_test_util.h"
#include "cbe/sendEvent.h"
#include "support/scratch.h"

namespace velm::test {
namespace {

class ContextEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { context = std::make_unique<TestContext>(); }
  void TearDown() override { context.reset(); }
  static inline std::unique_ptr<TestContext> context;
};
const auto *const kEnv = ::testing::AddGlobalTestEnvironment(new ContextEnvironment);

VELM_AuditClientContext *ctx() { return ContextEnvironment::context->get(); }

struct BatchDeleter {
  void operator()(CommonBaseEventType_ArrayTag *b) const { freeCommonBaseEvents(b); }
};
using Batch = std::unique_ptr<CommonBaseEventType_ArrayTag, BatchDeleter>;

// The event string of an event with one string element.
std::string eventString(const char *name, const char *value) {
  Result r;
  VELM_AuditEvent *event = VELM_AuditEvent_Create(ctx(), "AUDIT_AUTHZ", &r);
  VELM_AuditEvent_AddStringElement(event, name, value, 1, &r);
  HeapText text(velmAuditEventToXMLString(ctx(), event, &r));
  VELM_AuditEvent_Delete(event, &r);
  EXPECT_EQ(r.count(), 0) << r.text();
  return text ? text.get() : "(null)";
}

// A batch of the given texts (null: a missing entry).
Batch batchOf(const std::vector<const char *> &texts) {
  Batch b(newCommonBaseEvents(static_cast<int32_t>(texts.size())));
  for (const char *t : texts) {
    b->entries[b->count++] = t == nullptr ? nullptr : newCommonBaseEvent(strdup(t));
  }
  return b;
}

std::vector<std::string> textsOf(const CommonBaseEventType_ArrayTag *b) {
  std::vector<std::string> out;
  for (int i = 0; i < b->count; ++i) {
    EXPECT_EQ(b->entries[i]->count, 1);
    out.emplace_back(b->entries[i]->texts[0]);
  }
  return out;
}

std::string joined(const CommonBaseEventType_ArrayTag *b) {
  Result r;
  HeapText text(velmCommonBaseEventsToString(ctx(), b, &r));
  EXPECT_TRUE(text) << r.text();
  return text ? text.get() : "(null)";
}

TEST(BatchStrings, JoinedBatchesSplitBackIntoTheirEventsInOrder) {
  const std::string e1 = eventString("n", "one"), e2 = eventString("n", "two"), e3 = eventString("n", "three");
  Batch first = batchOf({e1.c_str(), e2.c_str()});
  Batch second = batchOf({e3.c_str()});
  const std::string both = joined(first.get()) + joined(second.get());
  EXPECT_EQ(both, e1 + e2 + e3);

  Result r;
  Batch back(velmStringToCommonBaseEvents(ctx(), both.c_str(), &r));
  ASSERT_TRUE(back) << r.text();
  EXPECT_EQ(textsOf(back.get()), (std::vector<std::string>{e1, e2, e3}));
  EXPECT_EQ(r.count(), 0);
}

TEST(BatchStrings, MissingEntriesAreSkippedAndTheBufferGrows) {
  const std::string e1 = eventString("a", "1"), e3 = eventString("c", "3");
  Batch gap = batchOf({e1.c_str(), nullptr, e3.c_str()});
  EXPECT_EQ(joined(gap.get()), e1 + e3);

  // One entry's room is 8192 bytes; these need several doublings.
  const std::string big = eventString("big", std::string(30000, 'x').c_str());
  Batch large = batchOf({big.c_str(), big.c_str()});
  EXPECT_EQ(joined(large.get()), big + big);

  Batch empty = batchOf({});
  EXPECT_EQ(joined(empty.get()), "");
  Result r;
  EXPECT_EQ(velmCommonBaseEventsToString(ctx(), nullptr, &r), nullptr);
  EXPECT_EQ(r.text(), "DXACC0009E The required parameter 'events' passed to the function was null.");
}

TEST(BatchStrings, TextWithoutEventsGivesAnEmptyBatch) {
  for (const char *text : {"", "<other/>", "  ", "<!-- none -->"}) {
    SCOPED_TRACE(text);
    Result r;
    Batch b(velmStringToCommonBaseEvents(ctx(), text, &r));
    ASSERT_TRUE(b) << r.text();
    EXPECT_EQ(b->count, 0);
  }
  Result r;
  EXPECT_EQ(velmStringToCommonBaseEvents(ctx(), nullptr, &r), nullptr);
  EXPECT_EQ(r.text(), "DXACC0009E The required parameter 'buffer' passed to the function was null.");
}

// A batch string damaged at its end (a cache record cut short, say) still
// gives the whole events before the damage; the event the damage cut into
// is left out rather than passed on truncated.
TEST(BatchStrings, DamagedTailLosesOnlyTheDamagedEvent) {
  const std::string e = eventString("n", "v");
  const std::string f = eventString("n", "w");
  struct Case {
    const char *what;
    std::string text;
    std::vector<std::string> kept;
  };
  const Case cases[] = {
      {"last event cut in half", e + f + f.substr(0, f.size() / 2), {e, f}},
      {"last event cut before its end tag", e + f.substr(0, f.size() - 2), {e}},
      {"last event only begun", e + "<CommonBaseEvent", {e}},
      {"last event open without content", e + "<CommonBaseEvent>", {e}},
      {"undeclared entity after the events", e + f + "&bad;", {e, f}},
      {"damage in the middle stops the reading", e + "<x<" + f, {e}},
      {"first event damaged", e.substr(1), {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    Result r;
    Batch b(velmStringToCommonBaseEvents(ctx(), c.text.c_str(), &r));
    ASSERT_TRUE(b) << r.text();
    EXPECT_EQ(textsOf(b.get()), c.kept);
    EXPECT_EQ(r.count(), 0) << r.text();
  }
}

// Batch strings are split by scanning; text of any shape the library does
// not write goes to the parser (a comment in front is such a shape). Both
// must give the same events for the library's own text, and a cut anywhere
// inside an event, even inside a reference or a character, keeps the events
// before it.
TEST(BatchStrings, ScanningAgreesWithTheParserAndCutsAnywhereKeepTheEventsBefore) {
  const std::string e = eventString("n", "a&b<c>\"d\"\t\r\n]]>\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80");
  const std::string f = eventString("tab\tname \"q\"", "plain");
  const std::string batch = e + f + e;
  Result r;
  Batch scanned(velmStringToCommonBaseEvents(ctx(), batch.c_str(), &r));
  Batch parsed(velmStringToCommonBaseEvents(ctx(), ("<!-- parser -->" + batch).c_str(), &r));
  ASSERT_TRUE(scanned && parsed) << r.text();
  EXPECT_EQ(textsOf(scanned.get()), (std::vector<std::string>{e, f, e}));
  EXPECT_EQ(textsOf(parsed.get()), textsOf(scanned.get()));

  for (std::size_t cut = e.size() + f.size() + 1; cut < batch.size(); cut += 7) {
    SCOPED_TRACE(cut);
    const std::string text = batch.substr(0, cut);
    Batch b(velmStringToCommonBaseEvents(ctx(), text.c_str(), &r));
    ASSERT_TRUE(b) << r.text();
    EXPECT_EQ(textsOf(b.get()), (std::vector<std::string>{e, f}));
  }
  EXPECT_EQ(r.count(), 0) << r.text();
}

TEST(BatchStrings, SpecialAndNonAsciiTextComesBackUnchangedUnderTheCLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "C");
  const char *name = "user \"Jos\xC3\xA9\" & <co>";
  const char *value = "Jos\xC3\xA9 M\xC3\xBCller <admin> & \"root\" \xE2\x82\xAC";
  const std::string e = eventString(name, value);
  ASSERT_NE(e, "(null)");
  Batch b = batchOf({e.c_str(), e.c_str()});
  Result r;
  Batch back(velmStringToCommonBaseEvents(ctx(), joined(b.get()).c_str(), &r));
  ASSERT_TRUE(back) << r.text();
  ASSERT_EQ(back->count, 2);
  for (const std::string &text : textsOf(back.get())) {
    EXPECT_EQ(text, e);
    const Node n = parseTree(text);
    const Node *f = n.field(name);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->values(), std::vector<std::string>{value});
  }
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(FailedEvent, PositionFromTheFaultDetail) {
  struct Case {
    const char *detail;
    int position;
  };
  const Case cases[] = {
      {"<failedevent>3</failedevent>", 3},
      {"<detail><x/><failedevent> 12 </failedevent><failedevent>5</failedevent></detail>", 12},
      {"<failedevent>x</failedevent>", 0},
      {"<failedevent></failedevent>", 0},
      {"<failedevent/>", 0},
      {"<failedevent>-2</failedevent>", -2},
      {"<failedevent>99999999999</failedevent>", 2147483647},
      {"<detail>no event named</detail>", 0},
      {"not xml at all", 0},
      // Not one document: several top-level elements, or a detail never closed.
      {"<failedevent>2</failedevent><reason>bad</reason>", 2},
      {"<detail><failedevent>4</failedevent>", 4},
      {"<detail><failedevent>4</failedevent><reason>cut", 4},
      // A number cut short could name another event.
      {"<detail><failedevent>12", 0},
      {"<detail><failedevent>12</fail", 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.detail);
    Result r;
    EXPECT_EQ(getFailedEvent(ctx(), c.detail, &r), c.position);
  }
  Result r;
  EXPECT_EQ(getFailedEvent(ctx(), nullptr, &r), 0);
  EXPECT_EQ(r.text(), "DXACC0009E The required parameter 'faultDetail' passed to the function was null.");
}

TEST(FailedEvent, ExternalEntityInTheDetailIsNotResolved) {
  velm_test::TempDir tmp;
  ASSERT_FALSE(tmp.path().empty());
  const std::string secret = tmp.file("secret");
  std::ofstream(secret) << "7";
  const std::string detail =
      "<!DOCTYPE d [<!ENTITY s SYSTEM \"file://" + secret + "\">]><d><failedevent>&s;</failedevent></d>";
  Result r;
  EXPECT_EQ(getFailedEvent(ctx(), detail.c_str(), &r), 0);
  // The same entity in a batch string does not get in either.
  const std::string batch = "<CommonBaseEvent>&s;</CommonBaseEvent>";
  Result br;
  Batch b(velmStringToCommonBaseEvents(ctx(), (detail.substr(0, detail.find("<d>")) + batch).c_str(), &br));
  if (b) {
    for (const std::string &t : textsOf(b.get())) EXPECT_EQ(t.find('7'), std::string::npos);
  }
}

}  // namespace
}  // namespace velm::test
