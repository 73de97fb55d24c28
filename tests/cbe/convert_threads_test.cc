// Conversions on several threads at once: each thread's serialiser and
// transcoder are its own, and threads that end release theirs.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "cbe/cbe_test_util.h"
#include "cbe/sendEvent.h"

namespace velm::test {
namespace {

TEST(ConvertThreads, ThreadsConvertTheSameEventsToTheSameText) {
  TestContext context;
  ASSERT_NE(context.get(), nullptr);
  VELM_AuditClientContext *c = context.get();
  Result r;
  VELM_AuditEvent *event = VELM_AuditEvent_Create(c, "AUDIT_AUTHZ", &r);
  VELM_AuditEvent_AddStringElement(event, "who", "Jos\xC3\xA9 <&>", 1, &r);
  VELM_AuditEvent_AddLongElement(event, "sequenceNumber", 42, &r);
  VELM_Outcome *outcome = VELM_Outcome_Create(c, "SUCCESSFUL", 1, 2, nullptr, &r);
  VELM_AuditEvent_AddOutcomeElement(event, "outcome", outcome, 0, &r);
  HeapText reference(velmAuditEventToXMLString(c, event, &r));
  ASSERT_TRUE(reference) << r.text();
  const std::string want = reference.get();

  std::atomic<int> mismatches{0};
  auto work = [&](int rounds) {
    for (int i = 0; i < rounds; ++i) {
      Result tr;
      HeapText text(velmAuditEventToXMLString(c, event, &tr));  // the event is only read
      if (!text || want != text.get()) ++mismatches;
      const std::string two = want + want;
      CommonBaseEventType_ArrayTag *batch = velmStringToCommonBaseEvents(c, two.c_str(), &tr);
      if (batch == nullptr || batch->count != 2 || want != batch->entries[1]->texts[0]) ++mismatches;
      freeCommonBaseEvents(batch);
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) threads.emplace_back(work, t == 0 ? 5 : 100);  // one ends early
  for (auto &t : threads) t.join();
  EXPECT_EQ(mismatches.load(), 0);
  VELM_AuditEvent_Delete(event, &r);
}

}  // namespace
}  // namespace velm::test
