// Test helpers: a handler class that keeps every record it gets, and a
// fixture that opens and closes the toolkit around each test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "qlg.h"
#include "quill/src/qlg_intl.h"

namespace velm::test {

// Records of "test_collector" handlers (guarded by the API lock, which
// every process call holds).
struct Collected {
  std::vector<std::string> texts;     // formatter output
  std::vector<int> levels;
  std::vector<std::map<std::string, std::string>> props;
  std::vector<std::string> rendered;  // the message alone
};

// Per handler name.
inline std::map<std::string, Collected> &sinks() {
  static std::map<std::string, Collected> m;
  return m;
}
inline Collected &sink(const std::string &name) { return sinks()[name]; }

inline void collectorProcess(QlgObject *handler, QlgEvent *event) {
  auto &c = sink(handler->name);
  c.texts.push_back(qlgIntlFormatterText(handler, event).value_or("<none>"));
  c.levels.push_back(event->level);
  c.props.push_back(event->properties);
  c.rendered.push_back(qlgIntlRenderMessage(event, nullptr));
  qlgIntlNotifyListeners(handler, event);
}

inline void registerCollector() {
  QlgAddHandlerClass("test_collector", nullptr, nullptr, nullptr, nullptr, collectorProcess, nullptr, nullptr);
}

// The messages the toolkit logged on "quill.errorLogger" since the fixture
// started, as rendered texts.
class ToolkitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    ASSERT_EQ(QlgOpenToolkit(nullptr), 1);
    registerCollector();
    sinks().clear();
    // Route the toolkit's own messages into a collector as well.
    errors_ = QlgGetObject("quill.errorLogger", nullptr);
    errorSink_ = QlgGetObject("test.errorSink", "test_collector");
    QlgIterator *it = QlgGetListeners(errors_);
    console_ = static_cast<QlgObject *>(QlgIterNext(it));
    QlgAcquireObject(console_);
    QlgIterFree(it);
    QlgRemListener(errors_, console_);  // keep test output quiet
    QlgAddListener(errors_, errorSink_);
  }
  void TearDown() override {
    QlgReleaseObject(console_);
    QlgReleaseObject(errorSink_);
    QlgReleaseObject(errors_);
    QlgCloseToolkit();
  }

  // Toolkit messages logged so far whose text starts with prefix.
  int messagesStartingWith(const std::string &prefix) {
    int n = 0;
    for (const auto &t : sink("test.errorSink").rendered)
      if (t.rfind(prefix, 0) == 0) ++n;
    return n;
  }

  QlgObject *errors_ = nullptr;
  QlgObject *errorSink_ = nullptr;
  QlgObject *console_ = nullptr;
};

// A logger named name with one collector handler (basic formatter).
struct CollectingLogger {
  QlgObject *logger = nullptr;
  QlgObject *handler = nullptr;
  explicit CollectingLogger(const char *name, const char *cls = "qlg_basiclogger") {
    logger = QlgGetObject(name, cls);
    name_ = std::string(name) + ".sink";
    handler = QlgGetObject(name_.c_str(), "test_collector");
    QlgAddListener(logger, handler);
  }
  Collected &records() { return sink(name_); }
  std::string name_;
  ~CollectingLogger() {
    QlgReleaseObject(handler);
    QlgReleaseObject(logger);
  }
};

}  // namespace velm::test
