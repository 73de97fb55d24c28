#include "collector.h"

namespace velm::test {
namespace {

class ConfigTest : public ToolkitTest {};

TEST_F(ConfigTest, ObjectTakesClassLevelAndListenersFromAncestors) {
  QlgObjCfg *app = QlgLogMgrGetCfg("app");
  QlgSetObjCfgProp(app, "className", "qlg_basiclogger");
  QlgSetObjCfgPropInt(app, "level", 5000);
  QlgObjCfg *trace = QlgLogMgrGetCfg("app.trace");
  QlgSetObjCfgProp(trace, "listenerNames", " out\tout2 ");
  QlgSetObjCfgProp(QlgLogMgrGetCfg("out"), "className", "test_collector");
  QlgSetObjCfgProp(QlgLogMgrGetCfg("out2"), "className", "qlg_levelfilter");

  QlgObject *o = QlgGetObject("app.trace", nullptr);
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(QlgIsLoggable(o, 4999), 0);
  EXPECT_EQ(QlgIsLoggable(o, 5000), 1);
  std::vector<std::string> names;
  QlgIterator *it = QlgGetListeners(o);
  while (auto *l = static_cast<QlgObject *>(QlgIterNext(it))) {
    char *n = QlgGetObjectName(l);
    names.push_back(n);
    QlgFree(n);
  }
  QlgIterFree(it);
  EXPECT_EQ(names, (std::vector<std::string>{"out", "out2"}));
  char *parent = QlgObjCfgGetParent(trace);
  EXPECT_STREQ(parent, "app");
  QlgFree(parent);
  QlgReleaseObject(o);
}

TEST_F(ConfigTest, ChildValueOverridesAncestorAndInheritanceSkipsMissingLevels) {
  QlgSetObjCfgProp(QlgLogMgrGetCfg("a"), "p", "root");
  QlgSetObjCfgProp(QlgLogMgrGetCfg("a"), "q", "rootq");
  QlgObjCfg *deep = QlgLogMgrGetCfg("a.b.c");  // "a.b" does not exist
  QlgSetObjCfgProp(deep, "p", "leaf");
  int found = 0;
  char *v = QlgGetInheritedObjCfgProp(deep, "q", &found);
  EXPECT_EQ(found, 1);
  EXPECT_STREQ(v, "rootq");
  QlgFree(v);
  v = QlgGetInheritedObjCfgProp(deep, "p", &found);
  EXPECT_STREQ(v, "leaf");
  QlgFree(v);
  v = QlgGetInheritedObjCfgProp(deep, "none", &found);
  EXPECT_EQ(found, 0);
  EXPECT_EQ(v, nullptr);
  char *parent = QlgObjCfgGetParent(deep);
  EXPECT_STREQ(parent, "a");
  QlgFree(parent);
  // Added under its parent as a child.
  QlgIterator *kids = QlgObjCfgChildrenNames(QlgLogMgrGetCfg("a"));
  auto *first = static_cast<const char *>(QlgIterNext(kids));
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first, "a.b.c");
  QlgIterFree(kids);
}

TEST_F(ConfigTest, ManagerCalls) {
  EXPECT_EQ(QlgLogMgrGetCfg("/"), nullptr);
  EXPECT_EQ(QlgLogMgrGetCfg(nullptr), nullptr);
  EXPECT_EQ(QlgLogMgrHasCfg("m1"), 0);
  QlgObjCfg *own = QlgAllocObjCfg("m1");
  QlgSetObjCfgPropBool(own, "flag", 1);
  EXPECT_EQ(QlgLogMgrAddCfg(own), 1);
  QlgReleaseObjCfg(own);  // the manager keeps it
  EXPECT_EQ(QlgLogMgrHasCfg("m1"), 1);
  EXPECT_EQ(QlgGetObjCfgPropBool(QlgLogMgrGetCfg("m1"), "flag", 0), 1);
  QlgObjCfg *replacement = QlgAllocObjCfg("m1");
  QlgSetObjCfgPropLong(replacement, "big", 1LL << 40);
  EXPECT_EQ(QlgLogMgrUpdateCfg(replacement), 1);
  QlgReleaseObjCfg(replacement);
  EXPECT_EQ(QlgGetObjCfgPropLong(QlgLogMgrGetCfg("m1"), "big", 0), 1LL << 40);
  EXPECT_EQ(QlgGetObjCfgPropBool(QlgLogMgrGetCfg("m1"), "flag", 7), 7);
  EXPECT_EQ(QlgLogMgrRemCfg("m1"), 1);
  EXPECT_EQ(QlgLogMgrHasCfg("m1"), 0);
}

TEST_F(ConfigTest, ApplyCfgSetsAncestorsFirst) {
  QlgSetObjCfgProp(QlgLogMgrGetCfg("x"), "level", "INFO");
  QlgSetObjCfgProp(QlgLogMgrGetCfg("x.y"), "level", "MAX");
  QlgObject *o = QlgGetObject("other", "qlg_basiclogger");
  EXPECT_EQ(QlgLogMgrApplyCfg(o, "x.y"), 1);
  EXPECT_EQ(QlgIsLoggable(o, 1000), 1);
  EXPECT_EQ(QlgLogMgrApplyCfg(o, "x"), 1);
  EXPECT_EQ(QlgIsLoggable(o, 1000), 0);
  QlgReleaseObject(o);
}

TEST_F(ConfigTest, MissingOrUnknownClassGivesItsMessage) {
  EXPECT_EQ(QlgGetObject("nothing.here", nullptr), nullptr);
  EXPECT_EQ(messagesStartingWith("QLGBC0063W A class must be specified before object 'nothing.here' can be created."),
            1);
  QlgSetObjCfgProp(QlgLogMgrGetCfg("bad"), "className", "no_such_class");
  EXPECT_EQ(QlgGetObject("bad", nullptr), nullptr);
  EXPECT_EQ(messagesStartingWith("QLGBC0062W Class 'no_such_class' must be defined before object 'bad' can be created."),
            1);
}

}  // namespace
}  // namespace velm::test
