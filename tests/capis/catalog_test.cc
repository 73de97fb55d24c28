// Messages come from the "velmmsg" catalogue when one is found, and from the
// built-in texts when the catalogue or the message is missing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "capis/context.h"
#include "capis/context_support.h"
#include "capis/errors.h"
#include "platform/nls.h"

namespace {

using velm::defaultText;
using velm_test::Props;
using velm_test::readFile;
using velm_test::TempDir;

// Built by the build: the shipped catalogue for C and en_US, and a test
// catalogue with texts of its own for POSIX.
const std::string kBuiltCatalogs = std::string(VELM_TEST_BINARY_DIR) + "/../nls/msg";
const std::string kTestCatalogs = std::string(VELM_TEST_BINARY_DIR) + "/capis/nls";

class CatalogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    unsetenv("LANG");
  }
  void TearDown() override {
    unsetenv("NLSPATH");
    unsetenv("LC_ALL");
    if (ctx != nullptr) {
      VELM_result r{};
      VELM_AuditClientContext_Delete(ctx, &r);
      VELM_Result_Clean(&r);
    }
    VELM_Result_Clean(&result);
  }
  static void searchIn(const std::string &dir) { setenv("NLSPATH", (dir + "/%L/%N.cat").c_str(), 1); }

  Props base(const char *locale) {
    Props p;
    p.str("serverURL", "http://h/a").str("useDiskCache", "never").str("errorFilePath", dir.file("e.log").c_str())
        .str("traceFilePath", dir.file("t.log").c_str());
    if (locale != nullptr) p.str("errorLocale", locale);
    return p;
  }

  TempDir dir;
  VELM_AuditClientContext *ctx = nullptr;
  VELM_result result{};
};

TEST_F(CatalogTest, ErrorLocaleSelectsTheCatalogueTexts) {
  searchIn(kTestCatalogs);
  Props p = base("POSIX");
  p.str("elementCodeSet", "NO-SUCH-CODESET");
  EXPECT_EQ(VELM_AuditClientContext_Create(p.list(), &result), nullptr);
  ASSERT_EQ(result.numErrors, 1);
  EXPECT_EQ(result.errors[0].code, 7);
  EXPECT_STREQ(result.errors[0].message, "TEST0007 property elementCodeSet value NO-SUCH-CODESET rejected");
  EXPECT_NE(readFile(dir.file("e.log")).find("TEST0007 property elementCodeSet value NO-SUCH-CODESET rejected"),
            std::string::npos);
}

TEST_F(CatalogTest, MessagesMissingFromTheCatalogueUseTheBuiltInTexts) {
  searchIn(kTestCatalogs);
  Props p = base("POSIX");
  ctx = VELM_AuditClientContext_Create(p.list(), &result);
  ASSERT_NE(ctx, nullptr);
  ASSERT_NE(ctx->catalog, nullptr);
  ASSERT_NE(errorHandler(ctx, 6, &result, 0, 1, "keyFilePath"), nullptr);
  ASSERT_NE(errorHandler(ctx, 9, &result, 0, 1, "event"), nullptr);
  ASSERT_NE(errorHandler(ctx, 1, &result, 0, 0), nullptr);
  EXPECT_STREQ(result.errors[0].message, "TEST0006 missing keyFilePath");
  EXPECT_STREQ(result.errors[1].message, "DXACC0009E The required parameter 'event' passed to the function was null.");
  EXPECT_EQ(result.errors[2].message, defaultText[1]);
}

TEST_F(CatalogTest, WithoutAContextTheCurrentLocaleCounts) {
  searchIn(kTestCatalogs);
  setenv("LC_ALL", "POSIX", 1);
  EXPECT_EQ(VELM_AuditClientContext_Delete(nullptr, &result), -1);
  ASSERT_EQ(result.numErrors, 1);
  EXPECT_STREQ(result.errors[0].message, "TEST0010 no context");
}

TEST_F(CatalogTest, MissingCatalogueFallsBackToTheBuiltInTexts) {
  TempDir empty;
  searchIn(empty.path());
  setenv("LC_ALL", "POSIX", 1);
  EXPECT_EQ(VELM_AuditClientContext_Delete(nullptr, &result), -1);
  ASSERT_EQ(result.numErrors, 1);
  EXPECT_STREQ(result.errors[0].message, defaultText[10]);
  VELM_Result_Clean(&result);

  Props p = base("POSIX");
  ctx = VELM_AuditClientContext_Create(p.list(), &result);
  ASSERT_NE(ctx, nullptr);
  EXPECT_EQ(ctx->catalog, nullptr);
  EXPECT_EQ(ctx->errorLocale, nullptr);
  ASSERT_NE(errorHandler(ctx, 6, &result, 0, 1, "keyFilePath"), nullptr);
  EXPECT_STREQ(result.errors[0].message,
               "DXACC0006E The required property 'keyFilePath' is missing in the property list.");
  VELM_Result_Clean(&result);  // the next call resets the record without freeing
  VELM_AuditClientContext_Delete(ctx, &result);
  ctx = nullptr;
  EXPECT_NE(readFile(dir.file("t.log"))
                .find("WARNING: the value of the errorLocale property, POSIX, is invalid, using default error messages."),
            std::string::npos);
}

TEST_F(CatalogTest, ShippedCatalogueHoldsEveryText) {
  searchIn(kBuiltCatalogs);
  Props p = base("C");
  ctx = VELM_AuditClientContext_Create(p.list(), &result);
  ASSERT_NE(ctx, nullptr);
  ASSERT_NE(ctx->catalog, nullptr) << "catalogue not found under " << kBuiltCatalogs;
  const std::string enUS = kBuiltCatalogs + "/en_US/velmmsg.cat";
  cvx_catd en = cvx_catopen(enUS.c_str(), 0, nullptr);
  ASSERT_NE(en, nullptr) << enUS;
  for (cvx_catd cat : {ctx->catalog, en}) {
    for (int n = 1; n < velm::kNumMessages; ++n) {
      SCOPED_TRACE(n);
      char *text = cvx_catgets(cat, 2, n, defaultText[n], nullptr);
      ASSERT_NE(text, defaultText[n]) << "message missing from the catalogue";
      EXPECT_STREQ(text, defaultText[n]);
      free(text);
    }
    EXPECT_EQ(cvx_catgets(cat, 2, 68, defaultText[0], nullptr), defaultText[0]);
  }
  cvx_catclose(en);
}

}  // namespace
