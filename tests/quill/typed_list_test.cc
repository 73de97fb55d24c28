#include <stdlib.h>

#include <fstream>

#include "collector.h"
#include "support/scratch.h"

namespace velm::test {
namespace {

class TypedListTest : public ToolkitTest {};

TEST_F(TypedListTest, ParametersBindPositionally) {
  CollectingLogger l("tl.params");
  struct Case {
    const char *format;
    std::string expected;
  } cases[] = {
      {"%s", "host"},
      {"%2$d %1$s", "7 host"},
      {"%s=%d", "host=7"},
      {"%d %ld %s %c %.1f", "7 -3 true x 2.5"},
      {"%1$s %1$s", "host host"},
      {"100%% %s", "100% host"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.format);
    l.records() = {};
    if (std::string(c.format).find("%c") != std::string::npos)
      QlgLogDebugMin(l.logger, nullptr, nullptr, 0, c.format, QLG_INT, 7, QLG_LONG, -3L, QLG_BOOL, 1, QLG_CHAR,
                     'x', QLG_DOUBLE, 2.5, QLG_END);
    else
      QlgLogDebugMin(l.logger, nullptr, nullptr, 0, c.format, QLG_STRING, "host", QLG_INT, 7, QLG_END);
    ASSERT_EQ(l.records().rendered.size(), 1u);
    EXPECT_EQ(l.records().rendered[0], c.expected);
  }
}

TEST_F(TypedListTest, MissingParameterLeavesTheTextUnformatted) {
  CollectingLogger l("tl.missing");
  QlgLogDebugMin(l.logger, nullptr, nullptr, 0, "value %s and %d", QLG_STRING, "x", QLG_END);
  ASSERT_EQ(l.records().rendered.size(), 1u);
  EXPECT_EQ(l.records().rendered[0], "value %s and %d");
}

TEST_F(TypedListTest, PropertyCodeSetsAnEventPropertyNotAParameter) {
  CollectingLogger l("tl.prop");
  QlgLogInfo(l.logger, nullptr, 0, 0, "text %s", QLG_PROPERTY, "server", QLG_STRING, "host.example.org",
             QLG_STRING, "param", QLG_END);
  ASSERT_EQ(l.records().props.size(), 1u);
  EXPECT_EQ(l.records().props[0].at("server"), "host.example.org");
  EXPECT_EQ(l.records().rendered[0], "text param");
}

TEST_F(TypedListTest, LevelCodeOverridesTheEventLevel) {
  CollectingLogger l("tl.level");
  QlgLogInfo(l.logger, nullptr, 0, 0, "x", QLG_LEVEL_FATAL, QLG_END);
  ASSERT_EQ(l.records().levels.size(), 1u);
  EXPECT_EQ(l.records().levels[0], 7000);
}

TEST_F(TypedListTest, ListIsCutAfter63EntriesWithMessage70Once) {
  CollectingLogger l("tl.long");
  // 64 parameters and no final 0: only the first 63 are read.
#define P QLG_INT, 1
#define P8 P, P, P, P, P, P, P, P
  QlgLogDebugMin(l.logger, nullptr, nullptr, 0, "%63$d", P8, P8, P8, P8, P8, P8, P8, P8);
#undef P8
#undef P
  EXPECT_EQ(messagesStartingWith("QLGBC0070W"), 1);
  ASSERT_EQ(l.records().rendered.size(), 1u);
  EXPECT_EQ(l.records().rendered[0], "1");
}

TEST_F(TypedListTest, UnknownCodeStopsTheListWithMessage71) {
  CollectingLogger l("tl.unknown");
  QlgLogDebugMin(l.logger, nullptr, nullptr, 0, "%s", QLG_STRING, "kept", 12345, QLG_STRING, "never", QLG_END);
  EXPECT_EQ(messagesStartingWith("QLGBC0071W"), 1);
  ASSERT_EQ(l.records().rendered.size(), 1u);
  EXPECT_EQ(l.records().rendered[0], "kept");
}

TEST_F(TypedListTest, TraceCallSetsSourceProperties) {
  CollectingLogger l("tl.src");
  QlgLogDebugMin(l.logger, "context", "[create]", 42, "x", QLG_END);
  QlgLogText(l.logger, "plain", QLG_END);
  ASSERT_EQ(l.records().props.size(), 2u);
  auto &p = l.records().props[0];
  EXPECT_EQ(p.at("qlg_prop_srcfile"), "context");
  EXPECT_EQ(p.at("qlg_prop_srcline"), "42");
  EXPECT_EQ(p.at("qlg_prop_srcfunction"), "[create]");
  EXPECT_TRUE(l.records().props[1].empty());
  EXPECT_EQ(l.records().levels[1], -9999);
}

TEST_F(TypedListTest, MessageCallsRenderFromTheCatalogueOrTheDefaultText) {
  velm_test::TempDir dir;
  std::ofstream(dir.file("q1tk.msg")) << "$set 1\n1 from catalog %2$s %1$d\n3 catalogue wants %3$s\n";
  ASSERT_EQ(velm_test::compileCatalog(dir.file("q1tk.msg"), dir.file("q1tk.cat")), 0);
  cvx_prepend_nlspath((dir.path() + "/%N.cat").c_str());
  CollectingLogger l("tl.cat");
  QlgLogInfo(l.logger, "q1tk", 1, 1, "default", QLG_INT, 3, QLG_STRING, "x", QLG_END);
  QlgLogInfo(l.logger, "q1tk", 1, 2, "default %s", QLG_STRING, "y", QLG_END);
  QlgLogInfo(l.logger, "q1missing", 1, 1, "fallback %d", QLG_INT, 4, QLG_END);
  // A catalogue text that needs more parameters than the call gave: the
  // call's own text, unformatted, not the half-bound translation.
  QlgLogInfo(l.logger, "q1tk", 1, 3, "default %s", QLG_STRING, "z", QLG_END);
  EXPECT_EQ(l.records().rendered,
            (std::vector<std::string>{"from catalog x 3", "default y", "fallback 4", "default %s"}));
}

}  // namespace
}  // namespace velm::test
