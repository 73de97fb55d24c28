#include <atomic>
#include <sstream>
#include <thread>

#include "collector.h"

namespace velm::test {
namespace {

// Written byte by byte with yields, so that two records written at once
// would interleave.
std::string gOutput;

void slowProcess(QlgObject *handler, QlgEvent *event) {
  auto text = qlgIntlFormatterText(handler, event);
  if (!text) return;
  for (char c : *text) {
    gOutput += c;
    if (c == ' ') std::this_thread::yield();
  }
}

class ThreadsTest : public ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    QlgAddHandlerClass("test_slow", nullptr, nullptr, nullptr, nullptr, slowProcess, nullptr, nullptr);
    gOutput.clear();
  }
};

TEST_F(ThreadsTest, ConcurrentRecordsNeverInterleave) {
  QlgObject *logger = QlgGetObject("th.logger", "qlg_basiclogger");
  QlgObject *handler = QlgGetObject("th.slow", "test_slow");
  QlgObject *f = QlgGetObject("th.fmt", "qlg_basicformatter");
  QlgSetObjProp(f, "dateTimeFormat", "D");
  QlgSetObjProp(handler, "formatterName", "th.fmt");
  QlgAddListener(logger, handler);
  constexpr int kThreads = 8, kRecords = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([=] {
      for (int i = 0; i < kRecords; ++i)
        QlgLogDebugMin(logger, "unit", "[fn]", t, "record %d of thread %d end", QLG_INT, i, QLG_INT, t, QLG_END);
    });
  }
  for (auto &th : threads) th.join();
  std::istringstream in(gOutput);
  std::string line;
  std::vector<int> next(kThreads, 0);
  int lines = 0;
  while (std::getline(in, line)) {
    int i = -1, t = -1, srcLine = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), "D unit [fn] %d record %d of thread %d end", &srcLine, &i, &t), 3) << line;
    ASSERT_EQ(srcLine, t);
    ASSERT_EQ(i, next[t]++) << line;  // each thread's records in order, none lost
    ++lines;
  }
  EXPECT_EQ(lines, kThreads * kRecords);
  QlgReleaseObject(f);
  QlgReleaseObject(handler);
  QlgReleaseObject(logger);
}

TEST_F(ThreadsTest, CloseRacingWithLoggingThreads) {
  CollectingLogger l("th.race");
  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      while (!stop.load()) {
        QlgLogDebugMin(l.logger, "unit", "[fn]", t, "x %d", QLG_INT, t, QLG_END);
        QlgObject *o = QlgGetObject("th.transient", "qlg_basiclogger");
        QlgSetObjProp(o, "level", "MAX");
        QlgAddListener(o, l.handler);
        QlgLogInfo(o, nullptr, 0, 0, "transient", QLG_END);
        QlgReleaseObject(o);
      }
    });
  }
  for (int round = 0; round < 50; ++round) {
    QlgCloseToolkit();
    std::this_thread::yield();
    ASSERT_EQ(QlgOpenToolkit(nullptr), 1);
  }
  stop = true;
  for (auto &th : threads) th.join();
  // The held logger survived every close and still logs.
  size_t before = l.records().texts.size();
  QlgLogDebugMin(l.logger, "unit", "[fn]", 0, "last", QLG_END);
  EXPECT_EQ(l.records().texts.size(), before + 1);
}

}  // namespace
}  // namespace velm::test
