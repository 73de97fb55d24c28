#include "collector.h"

namespace velm::test {
namespace {

class ObjectsTest : public ToolkitTest {};

TEST_F(ObjectsTest, ClassTableHasAllElevenClasses) {
  std::vector<std::string> names;
  for (auto get : {QlgGetLoggerClasses, QlgGetFilterClasses, QlgGetHandlerClasses, QlgGetFormatterClasses}) {
    QlgIterator *it = get();
    while (auto *n = static_cast<const char *>(QlgIterNext(it))) names.push_back(n);
    QlgIterFree(it);
  }
  for (const char *n : {"qlg_basiclogger", "qlg_kxlogger", "qlg_levelfilter", "qlg_msgidfilter",
                        "qlg_consolehandler", "qlg_filehandler", "qlg_hblhandler", "qlg_multiproc_filehandler",
                        "qlg_basicformatter", "qlg_xmlformatter", "qlg_orvtraceformatter"}) {
    SCOPED_TRACE(n);
    EXPECT_NE(std::find(names.begin(), names.end(), n), names.end());
  }
}

TEST_F(ObjectsTest, GetObjectWithOtherClassFailsWith61AndLeavesObject) {
  QlgObject *a = QlgGetObject("obj.a", "qlg_basiclogger");
  QlgSetObjProp(a, "level", "WARN");
  EXPECT_EQ(QlgGetObject("obj.a", "qlg_levelfilter"), nullptr);
  EXPECT_EQ(messagesStartingWith("QLGBC0061W Object 'obj.a' exists but is of class 'qlg_basiclogger' instead of "
                                 "'qlg_levelfilter' ."),
            1);
  QlgObject *again = QlgGetObject("obj.a", nullptr);
  EXPECT_EQ(QlgAreObjectsEqual(a, again), 1);
  EXPECT_EQ(QlgIsLoggable(again, 5000), 1);
  EXPECT_EQ(QlgIsLoggable(again, 4000), 0);
  QlgReleaseObject(again);
  QlgReleaseObject(a);
}

TEST_F(ObjectsTest, ReleasingTheLastHolderDestroysTheObject) {
  QlgObject *a = QlgGetObject("obj.gone", "qlg_basiclogger");
  QlgSetObjProp(a, "level", "WARN");
  QlgReleaseObject(a);
  QlgObject *b = QlgGetObject("obj.gone", "qlg_basiclogger");
  EXPECT_EQ(QlgIsLoggable(b, 3000), 1);  // a fresh object at the default level
  QlgReleaseObject(b);
}

TEST_F(ObjectsTest, ListenersAreUniqueOrderedAndHeld) {
  QlgObject *logger = QlgGetObject("obj.l", "qlg_basiclogger");
  QlgObject *h1 = QlgGetObject("obj.h1", "test_collector");
  QlgObject *h2 = QlgGetObject("obj.h2", "test_collector");
  QlgObject *fmt = QlgGetObject("obj.f", "qlg_basicformatter");
  EXPECT_EQ(QlgAddListener(logger, h2), 1);
  EXPECT_EQ(QlgAddListener(logger, h1), 1);
  EXPECT_EQ(QlgAddListener(logger, h2), 1);
  EXPECT_EQ(QlgAddListener(logger, fmt), 0);     // formatters do not listen
  EXPECT_EQ(QlgAddListener(h1, h1), 0);          // no cycles
  EXPECT_EQ(QlgGetListeners(fmt), nullptr);      // formatters have no list
  QlgReleaseObject(h1);
  QlgReleaseObject(h2);
  QlgLogText(logger, "x", QLG_END);
  EXPECT_EQ(sink("obj.h1").texts.size(), 1u);
  EXPECT_EQ(sink("obj.h2").texts.size(), 1u);
  QlgIterator *it = QlgGetListeners(logger);
  auto *first = static_cast<QlgObject *>(QlgIterNext(it));
  auto *second = static_cast<QlgObject *>(QlgIterNext(it));
  EXPECT_EQ(QlgIterNext(it), nullptr);
  char *n1 = QlgGetObjectName(first);
  char *n2 = QlgGetObjectName(second);
  EXPECT_STREQ(n1, "obj.h2");
  EXPECT_STREQ(n2, "obj.h1");
  QlgFree(n1);
  QlgFree(n2);
  EXPECT_EQ(QlgRemListener(logger, second), 1);
  QlgIterFree(it);
  QlgReleaseObject(fmt);
  QlgReleaseObject(logger);
}

TEST_F(ObjectsTest, TypedPropertiesRoundTrip) {
  QlgObject *o = QlgGetObject("obj.p", "qlg_basiclogger");
  QlgSetObjPropBool(o, "b", 1);
  QlgSetObjPropInt(o, "i", -12);
  QlgSetObjPropLong(o, "l", 1LL << 40);
  QlgSetObjPropDouble(o, "d", 2.25);
  QlgSetObjPropFloat(o, "f", 0.5f);
  QlgSetObjProp(o, "bad", "maybe");
  EXPECT_EQ(QlgGetObjPropBool(o, "b", 0), 1);
  EXPECT_EQ(QlgGetObjPropBool(o, "bad", -1), -1);
  EXPECT_EQ(QlgGetObjPropInt(o, "i", 0), -12);
  EXPECT_EQ(QlgGetObjPropInt(o, "bad", 3), 3);
  EXPECT_EQ(QlgGetObjPropLong(o, "l", 0), 1LL << 40);
  EXPECT_DOUBLE_EQ(QlgGetObjPropDouble(o, "d", 0), 2.25);
  EXPECT_FLOAT_EQ(QlgGetObjPropFloat(o, "f", 0), 0.5f);
  int found = 1;
  EXPECT_EQ(QlgGetObjProp(o, "none", &found), nullptr);
  EXPECT_EQ(found, 0);
  char *b = QlgGetObjProp(o, "b", &found);
  EXPECT_STREQ(b, "true");
  QlgFree(b);
  QlgReleaseObject(o);
}

TEST_F(ObjectsTest, LoggingPropertyEnablesAndDisables) {
  QlgObject *o = QlgGetObject("obj.e", "qlg_basiclogger");
  struct Case {
    const char *value;
    int enabled;
  } cases[] = {{"OFF", 0}, {"maybe", 0}, {"on", 1}, {"maybe", 1}, {"False", 0}, {"TRUE", 1}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.value);
    QlgSetObjProp(o, "logging", c.value);
    EXPECT_EQ(QlgIsObjectEnabled(o), c.enabled);
  }
  QlgReleaseObject(o);
}

TEST_F(ObjectsTest, NullAndStaleObjectsAreHarmless) {
  EXPECT_EQ(QlgGetObject(nullptr, "qlg_basiclogger"), nullptr);
  QlgAcquireObject(nullptr);
  QlgReleaseObject(nullptr);
  EXPECT_EQ(QlgSetObjProp(nullptr, "level", "1"), 0);
  EXPECT_EQ(QlgAddListener(nullptr, nullptr), 0);
  EXPECT_EQ(QlgGetListeners(nullptr), nullptr);
  EXPECT_EQ(QlgIterNext(nullptr), nullptr);
  QlgIterFree(nullptr);
  EXPECT_EQ(QlgLogDebugMin(nullptr, "f", "g", 1, "x", QLG_END), 0);
  EXPECT_EQ(QlgLogMsg(nullptr, nullptr, 0, 0, "x", QLG_END), 0);
  EXPECT_EQ(QlgGetObjectName(nullptr), nullptr);
  EXPECT_EQ(QlgLoggerGetFLog(nullptr), nullptr);
  // Bad values leave the object working.
  CollectingLogger l("obj.bad");
  QlgSetObjProp(l.logger, "level", "nonsense");  // reads as -9999: everything passes
  QlgSetObjProp(l.handler, "formatterName", "no.such.formatter");
  QlgSetObjProp(l.logger, "listenerNames", nullptr);
  QlgSetObjProp(l.logger, "listenerNames", l.name_.c_str());
  QlgLogDebugMax(l.logger, nullptr, nullptr, 0, "still %s", QLG_STRING, "works", QLG_END);
  ASSERT_EQ(l.records().rendered.size(), 1u);
  EXPECT_EQ(l.records().rendered[0], "still works");
}

TEST_F(ObjectsTest, DescriptionsAndLoggerFunctions) {
  QlgObject *o = QlgGetObject("obj.d", "qlg_basiclogger");
  char *d = QlgGetObjectDesc(o);
  EXPECT_STREQ(d, "Logger for basic messages");
  QlgFree(d);
  EXPECT_NE(QlgLoggerGetFLog(o), nullptr);
  QlgObject *f = QlgGetObject("obj.df", "qlg_basicformatter");
  EXPECT_EQ(QlgLoggerGetFLog(f), nullptr);
  QlgReleaseObject(f);
  QlgReleaseObject(o);
}

TEST_F(ObjectsTest, MessageIdFilterBlocksOrPassesListedIds) {
  QlgObject *logger = QlgGetObject("obj.mf", "qlg_basiclogger");
  QlgObject *filter = QlgGetObject("obj.mf.filter", "qlg_msgidfilter");
  QlgObject *h = QlgGetObject("obj.mf.sink", "test_collector");
  QlgAddListener(logger, filter);
  QlgAddListener(filter, h);
  QlgSetObjProp(filter, "msgIds", "DXACC0001E DXACC0002E");
  QlgLogError(logger, nullptr, 0, 0, "DXACC0001E blocked", QLG_END);
  QlgLogError(logger, nullptr, 0, 0, "DXACC0003E passes", QLG_END);
  QlgSetObjProp(filter, "mode", "PASSTHRU");
  QlgLogError(logger, nullptr, 0, 0, "DXACC0002E passes", QLG_END);
  QlgLogError(logger, nullptr, 0, 0, "DXACC0004E blocked", QLG_END);
  QlgSetObjProp(filter, "mode", "SOMETIMES");
  EXPECT_EQ(messagesStartingWith("QLGFF0020W The property 'mode' for message ID filter obj.mf.filter was set to "
                                 "unknown value SOMETIMES."),
            1);
  EXPECT_EQ(sink("obj.mf.sink").rendered, (std::vector<std::string>{"DXACC0003E passes", "DXACC0002E passes"}));
  QlgReleaseObject(h);
  QlgReleaseObject(filter);
  QlgReleaseObject(logger);
}

TEST_F(ObjectsTest, LevelFilterPassesByLevel) {
  QlgObject *logger = QlgGetObject("obj.lf", "qlg_basiclogger");
  QlgSetObjProp(logger, "level", "ALL");
  QlgObject *filter = QlgGetObject("obj.lf.filter", "qlg_levelfilter");
  QlgObject *h = QlgGetObject("obj.lf.sink", "test_collector");
  QlgAddListener(logger, filter);
  QlgAddListener(filter, h);
  QlgLogDebugMax(logger, nullptr, nullptr, 0, "new filter passes all", QLG_END);
  QlgSetObjProp(filter, "level", "WARN");
  QlgLogInfo(logger, nullptr, 0, 0, "info dropped", QLG_END);
  QlgLogError(logger, nullptr, 0, 0, "error passes", QLG_END);
  QlgLogMsg(logger, nullptr, 0, 0, "always passes", QLG_END);
  EXPECT_EQ(sink("obj.lf.sink").rendered,
            (std::vector<std::string>{"new filter passes all", "error passes", "always passes"}));
  QlgReleaseObject(h);
  QlgReleaseObject(filter);
  QlgReleaseObject(logger);
}

TEST_F(ObjectsTest, KxLoggerCopiesProductDataAndMessageId) {
  CollectingLogger l("obj.kx", "qlg_kxlogger");
  QlgSetObjProp(l.logger, "product", "velm");
  QlgSetObjProp(l.logger, "server", "host.example.org");
  QlgLogInfo(l.logger, nullptr, 0, 0, "DXACC0001E text", QLG_END);
  ASSERT_EQ(l.records().props.size(), 1u);
  EXPECT_EQ(l.records().props[0].at("product"), "velm");
  EXPECT_EQ(l.records().props[0].at("server"), "host.example.org");
}

TEST_F(ObjectsTest, HblHandlerReportsMessage91WhenOpened) {
  QlgObject *logger = QlgGetObject("obj.hbl", "qlg_basiclogger");
  QlgObject *h = QlgGetObject("obj.hbl.h", "qlg_hblhandler");
  QlgAddListener(logger, h);
  QlgLogInfo(logger, nullptr, 0, 0, "x", QLG_END);
  QlgLogInfo(logger, nullptr, 0, 0, "y", QLG_END);
  EXPECT_EQ(messagesStartingWith("QLGWH0091E An IPC channel could not be opened. The error code is"), 1);
  QlgReleaseObject(h);
  QlgReleaseObject(logger);
}

TEST_F(ObjectsTest, ConsoleHandlerWritesToStandardOutput) {
  QlgObject *logger = QlgGetObject("obj.con", "qlg_basiclogger");
  QlgObject *h = QlgGetObject("obj.con.h", "qlg_consolehandler");
  QlgObject *f = QlgGetObject("obj.con.f", "qlg_basicformatter");
  QlgSetObjProp(f, "separator", "|");
  QlgSetObjProp(h, "formatterName", "obj.con.f");
  QlgAddListener(logger, h);
  testing::internal::CaptureStdout();
  QlgLogInfo(logger, nullptr, 0, 0, "hello %s", QLG_STRING, "console", QLG_END);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("|hello console\n"), std::string::npos) << out;
  QlgReleaseObject(f);
  QlgReleaseObject(h);
  QlgReleaseObject(logger);
}

TEST_F(ObjectsTest, ObjectHeldAcrossCloseStaysUsable) {
  CollectingLogger l("obj.kept");
  QlgCloseToolkit();
  QlgLogText(l.logger, "after close", QLG_END);
  ASSERT_EQ(l.records().rendered.size(), 1u);
  EXPECT_EQ(l.records().rendered[0], "after close");
  ASSERT_EQ(QlgOpenToolkit(nullptr), 1);
}

}  // namespace
}  // namespace velm::test
