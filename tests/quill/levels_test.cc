#include "collector.h"

namespace velm::test {
namespace {

TEST(Levels, FromString) {
  struct Case {
    const char *text;
    int level;
  } cases[] = {
      {nullptr, -9999}, {"25", 25},          {"-7", -7},        {"FATAL", 7000},   {"error", 6000},
      {"warning", 5000}, {"Info", 4000},     {"DEBUG_MIN", 3000}, {"minimal", 3000}, {"mid", 2000},
      {"debug_max", 1000}, {"MAX", 1000},    {"all", 0},        {"OFFLINE", 9999}, {"verbose", -9999},
      {"", -9999},      {"debug", -9999},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(null)");
    EXPECT_EQ(QlgGetLevelFromString(c.text), c.level);
  }
}

class LevelsTest : public ToolkitTest {};

TEST_F(LevelsTest, IsLoggableAgainstLoggerLevel) {
  struct Case {
    int loggerLevel;
    int callLevel;
    int loggable;
  } cases[] = {
      {1000, 3000, 1}, {5000, 3000, 0}, {5000, -9999, 1}, {-9999, 1000, 1}, {3000, 3000, 1}, {9999, 7000, 0},
  };
  QlgObject *logger = QlgGetObject("lv.logger", "qlg_basiclogger");
  for (const auto &c : cases) {
    SCOPED_TRACE(std::to_string(c.loggerLevel) + " " + std::to_string(c.callLevel));
    QlgSetObjPropInt(logger, "level", c.loggerLevel);
    EXPECT_EQ(QlgIsLoggable(logger, c.callLevel), c.loggable);
  }
  QlgSetObjProp(logger, "logging", "false");
  EXPECT_EQ(QlgIsLoggable(logger, -9999), 0);
  EXPECT_EQ(QlgIsLoggable(nullptr, -9999), 0);
  QlgReleaseObject(logger);
}

TEST_F(LevelsTest, TraceCallsObeyTheLoggerLevel) {
  CollectingLogger l("lv.trace");
  QlgSetObjProp(l.logger, "level", "1000");
  EXPECT_EQ(QlgLogDebugMin(l.logger, "unit", "[fn]", 1, "logged", 0), 1);
  QlgSetObjProp(l.logger, "level", "5000");
  EXPECT_EQ(QlgLogDebugMin(l.logger, "unit", "[fn]", 2, "suppressed", 0), 0);
  EXPECT_EQ(QlgLogMsg(l.logger, nullptr, 0, 0, "message", 0), 1);
  ASSERT_EQ(l.records().rendered.size(), 2u);
  EXPECT_EQ(l.records().rendered[0], "logged");
  EXPECT_EQ(l.records().rendered[1], "message");
  EXPECT_EQ(l.records().levels[1], -9999);
}

TEST_F(LevelsTest, LoggerWithoutListenersReportsMessage1EveryCall) {
  QlgObject *lonely = QlgGetObject("lv.lonely", "qlg_basiclogger");
  QlgLogDebugMin(lonely, nullptr, nullptr, 0, "a", 0);
  QlgLogDebugMin(lonely, nullptr, nullptr, 0, "b", 0);
  EXPECT_EQ(messagesStartingWith("QLGLG01E No listeners are registered with the logger lv.lonely."), 2);
  QlgReleaseObject(lonely);
}

}  // namespace
}  // namespace velm::test
