#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdarg>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/nls.h"
#include "support/scratch.h"

namespace {

TEST(CodeSets, ConvertBothWays) {
  struct Case {
    const char *cs;
    std::string native;
    std::string utf8;
  } cases[] = {
      {"ISO-8859-1", "caf\xe9", "caf\xc3\xa9"},
      {"ISO-8859-1", "plain", "plain"},
      {"UTF8", "caf\xc3\xa9", "caf\xc3\xa9"},
      {"ISO-8859-15", "\xa4", "\xe2\x82\xac"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(c.cs) + " " + c.utf8);
    cvx_cs cs = cvx_cs_new(c.cs);
    ASSERT_NE(cs, nullptr);
    char buf[64];
    ASSERT_EQ(cvx_to_utf8(cs, c.native.c_str(), -1, buf, sizeof buf), static_cast<int>(c.utf8.size()));
    EXPECT_EQ(std::string(buf), c.utf8);
    ASSERT_EQ(cvx_from_utf8(cs, c.utf8.c_str(), static_cast<int>(c.utf8.size()), buf, sizeof buf),
              static_cast<int>(c.native.size()));
    EXPECT_EQ(std::string(buf), c.native);
    cvx_cs_free(cs);
  }
}

TEST(CodeSets, ErrorsAndBounds) {
  EXPECT_EQ(cvx_cs_new("NO-SUCH-CODESET"), nullptr);
  EXPECT_EQ(cvx_cs_new(nullptr), nullptr);
  EXPECT_NE(cvx_get_def_cs(), nullptr);
  cvx_cs u = cvx_cs_new("UTF8");
  EXPECT_STREQ(cvx_cs_name(u), "UTF-8");
  cvx_cs_free(u);
  cvx_cs latin = cvx_cs_new("ISO-8859-1");
  char small[4];
  EXPECT_EQ(cvx_to_utf8(latin, "\xe9\xe9\xe9", -1, small, sizeof small), -1);  // 6 bytes do not fit
  EXPECT_EQ(small[0], '\0');
  EXPECT_EQ(cvx_from_utf8(latin, "\xe2\x82\xac", -1, small, sizeof small), -1);  // no euro in Latin-1
  EXPECT_EQ(cvx_from_utf8(latin, "\xc3", -1, small, sizeof small), -1);          // truncated sequence
  cvx_cs_free(latin);
}

TEST(Locales, KnownAndUnknownNames) {
  cvx_loc c = cvx_loc_new("C");
  EXPECT_NE(c, nullptr);
  cvx_loc_free(c);
  EXPECT_EQ(cvx_loc_new("xx_NOWHERE"), nullptr);
}

int print(char *buf, size_t size, const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  int n = cvx_vsprintf(nullptr, nullptr, buf, size, fmt, ap);
  va_end(ap);
  return n;
}

TEST(Printf, PositionalAndBounded) {
  char buf[64];
  EXPECT_EQ(print(buf, sizeof buf, "%2$d %1$s", "x", 7), 3);
  EXPECT_STREQ(buf, "7 x");
  EXPECT_EQ(print(buf, 5, "%s", "abcdefgh"), 4);
  EXPECT_STREQ(buf, "abcd");
}

TEST(Multibyte, SearchStepsOverWholeCharacters) {
  cvx_cs utf8 = cvx_cs_new("UTF8");
  // U+00A9 is C2 A9; U+0129 is C4 A9: the byte A9 only ever appears inside.
  const char *s = "a\xc2\xa9" "b\xc4\xa9/c/";
  EXPECT_EQ(cvx_strchr(utf8, s, 0xA9), nullptr);
  EXPECT_EQ(cvx_strrchr(utf8, s, 0xA9), nullptr);
  EXPECT_EQ(cvx_strchr(utf8, s, '/'), s + 6);
  EXPECT_EQ(cvx_strrchr(utf8, s, '/'), s + 8);
  EXPECT_EQ(cvx_strchr(utf8, s, 'z'), nullptr);
  EXPECT_EQ(cvx_strstr(utf8, s, "\xa9" "b"), nullptr);
  EXPECT_EQ(cvx_strstr(utf8, s, "b\xc4\xa9"), s + 3);
  EXPECT_EQ(cvx_strstr(utf8, s, ""), s);
  // A single-byte code set finds the byte anywhere.
  cvx_cs latin = cvx_cs_new("ISO-8859-1");
  EXPECT_EQ(cvx_strchr(latin, s, 0xA9), s + 2);
  // Shift-JIS: 0x5C ("\\") as the second byte of a character is not a match.
  cvx_cs sjis = cvx_cs_new("SHIFT_JIS");
  if (sjis != nullptr) {
    const char *j = "\x95\x5c\\";
    EXPECT_EQ(cvx_strchr(sjis, j, '\\'), j + 2);
    cvx_cs_free(sjis);
  }
  cvx_cs_free(latin);
  cvx_cs_free(utf8);
}

TEST(Time, FormatAndParse) {
  struct tm tm {};
  tm.tm_year = 126;
  tm.tm_mon = 0;
  tm.tm_mday = 2;
  tm.tm_hour = 3;
  tm.tm_min = 4;
  tm.tm_sec = 5;
  char buf[64];
  cvx_loc c = cvx_loc_new("C");
  EXPECT_EQ(cvx_strftime(nullptr, c, buf, sizeof buf, "%Y-%m-%d-%H-%M-%S", &tm), 19u);
  EXPECT_STREQ(buf, "2026-01-02-03-04-05");
  struct tm back {};
  EXPECT_NE(cvx_strptime(nullptr, nullptr, buf, "%Y-%m-%d-%H-%M-%S", &back), nullptr);
  EXPECT_EQ(back.tm_mday, 2);
  EXPECT_EQ(cvx_strptime(nullptr, c, "old", "%Y-%m-%d", &back), nullptr);
  cvx_loc_free(c);
}

// Catalogues compiled with gencat into a fresh directory.
class CatalogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    unsetenv("NLSPATH");
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
  }
  void TearDown() override {
    unsetenv("NLSPATH");
    unsetenv("LANG");
  }
  // Writes <dir>/<sub>/<name>.cat with message 1 of set 1.
  void compile(const std::string &sub, const std::string &name, const std::string &text) {
    std::string d = dir_.file(sub);
    std::filesystem::create_directories(d);
    std::ofstream(d + "/" + name + ".msg") << "$set 1\n1 " << text << "\n";
    ASSERT_EQ(velm_test::compileCatalog(d + "/" + name + ".msg", d + "/" + name + ".cat"), 0);
  }
  // The text cvx_catgets hands back; only a text of its own is freed, never
  // the default that it returns as the very pointer it was given.
  static std::string text(cvx_catd cat, int set, int num, const char *def, cvx_cs cs) {
    char *got = cvx_catgets(cat, set, num, def, cs);
    std::string out = got ? got : "<null>";
    if (got != def) free(got);
    return out;
  }
  velm_test::TempDir dir_;
};

TEST_F(CatalogTest, FoundThroughOurTemplateThenNlspath) {
  ASSERT_NO_FATAL_FAILURE(compile("C", "q1cat", "hello caf\xc3\xa9"));
  ASSERT_NO_FATAL_FAILURE(compile("env", "q1env", "from env"));
  const std::string dir = dir_.path();
  ASSERT_EQ(cvx_prepend_nlspath((dir + "/%L/%N.cat").c_str()), 0);
  setenv("NLSPATH", (dir + "/env/%N.cat").c_str(), 1);
  char *path = cvx_get_nlspath();
  EXPECT_EQ(std::string(path), dir + "/%L/%N.cat:" + dir + "/env/%N.cat");
  free(path);

  cvx_loc c = cvx_loc_new("C");
  cvx_catd cat = cvx_catopen("q1cat", 1, c);
  ASSERT_NE(cat, nullptr);
  const char *def = "default";
  cvx_cs utf8 = cvx_cs_new("UTF8");
  cvx_cs latin = cvx_cs_new("ISO-8859-1");
  EXPECT_EQ(text(cat, 1, 1, def, utf8), "hello caf\xc3\xa9");
  EXPECT_EQ(text(cat, 1, 1, def, latin), "hello caf\xe9");
  EXPECT_EQ(cvx_catgets(cat, 1, 99, def, nullptr), def);  // missing message: the very pointer
  EXPECT_EQ(cvx_catgets(cat, 7, 1, def, nullptr), def);
  cvx_catclose(cat);

  cvx_catd env = cvx_catopen("q1env", 1, c);
  ASSERT_NE(env, nullptr);
  EXPECT_EQ(text(env, 1, 1, def, nullptr), "from env");
  cvx_catclose(env);
  cvx_loc_free(c);
  cvx_cs_free(utf8);
  cvx_cs_free(latin);

  EXPECT_EQ(cvx_catopen("q1none", 1, nullptr), nullptr);
  EXPECT_EQ(cvx_catgets(nullptr, 1, 1, def, nullptr), def);
}

TEST_F(CatalogTest, CurrentLocaleFallsBackToTheLanguage) {
  ASSERT_NO_FATAL_FAILURE(compile("xx", "q1lang", "language only"));
  ASSERT_EQ(cvx_prepend_nlspath((dir_.path() + "/%L/%N.cat").c_str()), 0);
  setenv("LANG", "xx_YY.UTF-8", 1);
  cvx_catd cat = cvx_catopen("q1lang", 0, nullptr);
  ASSERT_NE(cat, nullptr);
  cvx_cs utf8 = cvx_cs_new("UTF8");
  EXPECT_EQ(text(cat, 1, 1, "d", utf8), "language only");
  cvx_cs_free(utf8);
  cvx_catclose(cat);
}

}  // namespace
