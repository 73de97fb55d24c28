#include <stdlib.h>
#include <unistd.h>

#include <fstream>

#include "collector.h"
#include "support/scratch.h"

namespace velm::test {
namespace {

class PropsReaderTest : public ToolkitTest {
 protected:
  std::string write(const std::string &content) {
    std::string path = dir_ + "/f" + std::to_string(n_++) + ".properties";
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  std::string value(const char *cfg, const char *prop) {
    QlgObjCfg *c = QlgLogMgrGetCfg(cfg);
    int found = 0;
    char *v = QlgGetObjCfgProp(c, prop, &found);
    std::string out = found ? v : "<missing>";
    QlgFree(v);
    return out;
  }
  velm_test::TempDir scratch_;
  const std::string dir_ = scratch_.path();
  int n_ = 0;
};

TEST_F(PropsReaderTest, ParsesKeysValuesAndEscapes) {
  struct Case {
    const char *name;
    std::string content;
    const char *cfg;
    const char *prop;
    std::string expected;
  } cases[] = {
      {"equals", "a.b=c\n", "a", "b", "c"},
      {"colon and blanks", "  a.b : c d \n", "a", "b", "c d "},
      {"blank separator", "a.b c\n", "a", "b", "c"},
      {"crlf", "a.b=c\r\n\r\nx.y=z\r\n", "x", "y", "z"},
      {"continuation", "a.b=c\\\n   d\n", "a", "b", "cd"},
      {"unicode", "x.y = caf\\u00e9\n", "x", "y", "caf\xc3\xa9"},
      {"unicode upper", "x.y=\\U20AC\n", "x", "y", "\xe2\x82\xac"},
      {"escaped blank and quote", "a.b=x\\ y\\\"\\\\\n", "a", "b", "x y\"\\"},
      {"escaped separator in key", "a.b\\=c=d\n", "a", "b=c", "d"},
      {"comment lines", "# c\n! d\na.b=1\n", "a", "b", "1"},
      {"last line without newline", "a.b=tail", "a", "b", "tail"},
      {"dotted configuration", "app.trace.level=MAX\n", "app.trace", "level", "MAX"},
      {"empty value", "a.b=\n", "a", "b", ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    QlgLogMgrRemCfg(c.cfg);
    EXPECT_EQ(QlgLogMgrReadProps(write(c.content).c_str()), 1);
    EXPECT_EQ(value(c.cfg, c.prop), c.expected);
  }
  QlgObjCfg *cfg = QlgLogMgrGetCfg("app.trace");
  EXPECT_EQ(QlgObjCfgIsFromFile(cfg), 1);
}

TEST_F(PropsReaderTest, MalformedFilesFailAndKeepEarlierLines) {
  struct Case {
    const char *name;
    std::string content;
  } cases[] = {
      {"bad escape t", "ok.p=1\na.b=x\\ty\n"},
      {"escape then colon", "ok.p=1\na.b=x\\:\n"},
      {"key without dot", "ok.p=1\nnodot=1\n"},
      {"separator after blanks", "ok.p=1\n  =x\n"},
      {"key alone on its line", "ok.p=1\nkey\n"},
      {"bad unicode", "ok.p=1\na.b=\\u00zz\n"},
      {"binary garbage", std::string("ok.p=1\n\x01\x02=\\\x80\n", 11)},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    QlgLogMgrRemCfg("ok");
    testing::internal::CaptureStderr();
    EXPECT_EQ(QlgLogMgrReadProps(write(c.content).c_str()), 0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(value("ok", "p"), "1");
  }
}

TEST_F(PropsReaderTest, BadEscapePrintsMessage52) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(QlgLogMgrReadProps(write("a.b=x\\ty\n").c_str()), 0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("QLG0052E The value of property 'a.b' in the properties file could not be parsed"),
            std::string::npos)
      << err;
}

TEST_F(PropsReaderTest, OpenWithBadFileFailsWithMessage51AndToolkitStillWorks) {
  QlgCloseToolkit();
  std::string path = dir_ + "/missing.properties";
  testing::internal::CaptureStderr();
  EXPECT_EQ(QlgOpenToolkit(path.c_str()), 0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("QLG0051E The log manager could not read the properties file " + path + "."),
            std::string::npos)
      << err;
  std::string good = write("quill.errorLogger.level=WARN\nmy.cfg.className=qlg_basiclogger\n");
  ASSERT_EQ(QlgOpenToolkit(good.c_str()), 1);
  QlgObject *err2 = QlgGetObject("quill.errorLogger", nullptr);
  EXPECT_EQ(QlgIsLoggable(err2, 3000), 0);
  QlgObject *my = QlgGetObject("my.cfg", nullptr);
  EXPECT_NE(my, nullptr);
  QlgReleaseObject(my);
  QlgReleaseObject(err2);
  // The fixture's teardown closes this open again; re-create its objects.
  ToolkitTest::TearDown();
  ToolkitTest::SetUp();
}

TEST_F(PropsReaderTest, ConsoleJoinsTheErrorLoggerWhateverTheConfiguration) {
  struct Case {
    const char *props;
    std::vector<std::string> listeners;
  } cases[] = {
      {"a.b=c\n", {"quill.defaultConsole"}},
      {"quill.errorLogger.listenerNames=cfg.out\ncfg.out.className=qlg_consolehandler\n",
       {"cfg.out", "quill.defaultConsole"}},
      {"quill.errorLogger.listenerNames=quill.defaultConsole cfg.out\ncfg.out.className=qlg_consolehandler\n"
       "quill.defaultConsole.className=qlg_consolehandler\n",
       {"quill.defaultConsole", "cfg.out"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.props);
    ToolkitTest::TearDown();
    ASSERT_EQ(QlgOpenToolkit(write(c.props).c_str()), 1);
    QlgObject *logger = QlgGetObject("quill.errorLogger", nullptr);
    std::vector<std::string> names;
    QlgIterator *it = QlgGetListeners(logger);
    while (auto *o = static_cast<QlgObject *>(QlgIterNext(it))) names.push_back(o->name);
    QlgIterFree(it);
    QlgReleaseObject(logger);
    EXPECT_EQ(names, c.listeners);
    QlgCloseToolkit();
    ToolkitTest::SetUp();
  }
}

}  // namespace
}  // namespace velm::test
