// Property rules of context creation: types, defaults, bounds, the rules
// between properties, and the exact message of each failure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "capis/context.h"
#include "capis/properties.h"
#include "capis/context_support.h"

namespace {

using velm_test::Props;
using velm_test::TempDir;

class PropertyTest : public ::testing::Test {
 protected:
  Props base() {
    Props p;
    // The default useDiskCache "auto" needs a diskCachePath; these tests
    // are about the other properties.
    p.str("serverURL", "http://localhost:9/audit").str("useDiskCache", "never");
    p.str("errorFilePath", dir.file("error.log").c_str());
    return p;
  }
  // Creates a context from p; on success returns it (deleted by TearDown).
  VELM_AuditClientContext *create(Props &p) {
    VELM_Result_Clean(&result);
    VELM_AuditClientContext *ctx = VELM_AuditClientContext_Create(p.list(), &result);
    if (ctx != nullptr) created.push_back(ctx);
    return ctx;
  }
  void TearDown() override {
    for (auto *c : created) {
      VELM_result r{};
      EXPECT_EQ(VELM_AuditClientContext_Delete(c, &r), 0);
      VELM_Result_Clean(&r);
    }
    VELM_Result_Clean(&result);
  }
  std::string onlyMessage() {
    if (result.numErrors != 1) return "numErrors=" + std::to_string(result.numErrors);
    return std::to_string(result.errors[0].code) + " " + result.errors[0].message;
  }

  TempDir dir;
  VELM_result result{};
  std::vector<VELM_AuditClientContext *> created;
};

TEST_F(PropertyTest, TwoPropertiesGiveEveryDefault) {
  unsetenv("VELM_SERVER_RESPONSE_TIMEOUT");
  Props p = base();
  VELM_AuditClientContext *c = create(p);
  ASSERT_NE(c, nullptr) << onlyMessage();
  EXPECT_EQ(result.numErrors, 0);
  EXPECT_STREQ(c->serverURL, "http://localhost:9/audit");
  EXPECT_EQ(c->keyFilePath, nullptr);
  EXPECT_EQ(c->stashFilePath, nullptr);
  EXPECT_EQ(c->clientUserName, nullptr);
  EXPECT_EQ(c->clientPassword, nullptr);
  EXPECT_EQ(c->transferSize, 10);
  EXPECT_EQ(c->queueSize, 50);
  EXPECT_EQ(c->hiWater, 20);
  EXPECT_EQ(c->flushInterval, 2);
  EXPECT_EQ(c->numberEQThreads, 1);
  EXPECT_EQ(c->numberCMThreads, 1);
  EXPECT_EQ(c->numberRetries, 3);
  EXPECT_EQ(c->retryInterval, 2);
  EXPECT_EQ(c->compress, 0);
  EXPECT_EQ(c->cacheSync, 0);
  EXPECT_EQ(c->elementCodeSet, nullptr);
  EXPECT_EQ(c->errorLocale, nullptr);
  EXPECT_EQ(c->errorCodeSet, nullptr);
  EXPECT_EQ(c->traceLevel, 0);  // no trace file
  EXPECT_EQ(c->errorTraceLevel, 1);
  EXPECT_EQ(c->entryTraceLevel, 2);
  EXPECT_EQ(c->flowTraceLevel, 3);
  EXPECT_EQ(c->usingQUILL, 0);
  EXPECT_STREQ(c->traceLoggerName, "traceLogger");
  EXPECT_EQ(c->traceFilePath, nullptr);
  EXPECT_EQ(c->maxTraceFileSize, 1000000);
  EXPECT_EQ(c->maxTraceFiles, 2);
  EXPECT_STREQ(c->errorLoggerName, "errorLogger");
  EXPECT_EQ(c->maxErrorFileSize, 1000000);
  EXPECT_EQ(c->maxErrorFiles, 2);
  EXPECT_EQ(c->useDiskCache, 0);  // given by base(); the default "auto" wants a diskCachePath
  EXPECT_EQ(c->lowWater, 10);
  EXPECT_EQ(c->diskCachePath, nullptr);
  EXPECT_EQ(c->maxCacheFileSize, 10485760);
  EXPECT_EQ(c->maxCacheFiles, 1000);
  EXPECT_EQ(c->rebindInterval, 10);
  EXPECT_EQ(c->tempStorageFullTimeout, -1);
  EXPECT_EQ(c->shutDownTimeout, -1);
  EXPECT_EQ(c->responseTimeout, 180);
  EXPECT_EQ(c->secure, 0);
  EXPECT_EQ(c->traceLogger, nullptr);
  EXPECT_NE(c->errorLogger, nullptr);
  EXPECT_NE(c->elementCodeSetHandle, nullptr);
  EXPECT_NE(c->utf8CodeSet, nullptr);
  EXPECT_NE(c->locTypeTable, nullptr);
  EXPECT_NE(c->giidTable, nullptr);
  EXPECT_EQ(c->counted, 1);
  EXPECT_EQ(c->checkServerOnCreate + c->validateEvents + c->deleteEvents, 3);
}

// One property on top of serverURL and errorFilePath.
struct SingleCase {
  const char *label;
  std::function<void(Props &)> add;
  int message;               // 0: accepted
  const char *text;          // expected message text, or the check below
  std::function<int(const VELM_AuditClientContext *)> field;
  int value;
};

TEST_F(PropertyTest, SinglePropertyRules) {
  const SingleCase cases[] = {
      {"maxTraceFileSize 511", [](Props &p) { p.num("maxTraceFileSize", 511); }, 7,
       "DXACC0007E The property maxTraceFileSize has a value in the property list that is not valid: 511 .", {}, 0},
      {"maxTraceFileSize 512", [](Props &p) { p.num("maxTraceFileSize", 512); }, 0, nullptr,
       [](auto *c) { return c->maxTraceFileSize; }, 512},
      {"maxErrorFileSize 511", [](Props &p) { p.num("maxErrorFileSize", 511); }, 7,
       "DXACC0007E The property maxErrorFileSize has a value in the property list that is not valid: 511 .", {}, 0},
      {"maxErrorFileSize 512", [](Props &p) { p.num("maxErrorFileSize", 512); }, 0, nullptr,
       [](auto *c) { return c->maxErrorFileSize; }, 512},
      {"maxCacheFileSize 10239", [](Props &p) { p.num("maxCacheFileSize", 10239); }, 7,
       "DXACC0007E The property maxCacheFileSize has a value in the property list that is not valid: 10239 .", {},
       0},
      {"maxCacheFileSize 10240", [](Props &p) { p.num("maxCacheFileSize", 10240); }, 0, nullptr,
       [](auto *c) { return c->maxCacheFileSize; }, 10240},
      {"numberRetries 0", [](Props &p) { p.num("numberRetries", 0); }, 0, nullptr,
       [](auto *c) { return c->numberRetries; }, 0},
      {"numberRetries -1", [](Props &p) { p.num("numberRetries", -1); }, 7,
       "DXACC0007E The property numberRetries has a value in the property list that is not valid: -1 .", {}, 0},
      {"transferSize 0", [](Props &p) { p.num("transferSize", 0); }, 7,
       "DXACC0007E The property transferSize has a value in the property list that is not valid: 0 .", {}, 0},
      {"tempStorageFullTimeout -1", [](Props &p) { p.num("tempStorageFullTimeout", -1); }, 0, nullptr,
       [](auto *c) { return c->tempStorageFullTimeout; }, -1},
      {"tempStorageFullTimeout 0", [](Props &p) { p.num("tempStorageFullTimeout", 0); }, 0, nullptr,
       [](auto *c) { return c->tempStorageFullTimeout; }, 0},
      {"tempStorageFullTimeout -2", [](Props &p) { p.num("tempStorageFullTimeout", -2); }, 7,
       "DXACC0007E The property tempStorageFullTimeout has a value in the property list that is not valid: -2 .",
       {}, 0},
      {"shutDownTimeout any", [](Props &p) { p.num("shutDownTimeout", -100); }, 0, nullptr,
       [](auto *c) { return c->shutDownTimeout; }, -100},
      {"flowTraceLevel any", [](Props &p) { p.num("flowTraceLevel", -7); }, 0, nullptr,
       [](auto *c) { return c->flowTraceLevel; }, -7},
      {"responseTimeout 0", [](Props &p) { p.num("responseTimeout", 0); }, 7,
       "DXACC0007E The property responseTimeout has a value in the property list that is not valid: 0 .", {}, 0},
      {"responseTimeout 1", [](Props &p) { p.num("responseTimeout", 1); }, 0, nullptr,
       [](auto *c) { return c->responseTimeout; }, 1},
      {"maxCacheFiles 0", [](Props &p) { p.num("maxCacheFiles", 0); }, 7,
       "DXACC0007E The property maxCacheFiles has a value in the property list that is not valid: 0 .", {}, 0},
      {"compress yes", [](Props &p) { p.str("compress", "yes"); }, 0, nullptr,
       [](auto *c) { return c->compress; }, 1},
      {"compress YES", [](Props &p) { p.str("compress", "YES"); }, 7,
       "DXACC0007E The property compress has a value in the property list that is not valid: YES .", {}, 0},
      {"cacheSync yes", [](Props &p) { p.str("cacheSync", "yes"); }, 0, nullptr,
       [](auto *c) { return c->cacheSync; }, 1},
      {"cacheSync always", [](Props &p) { p.str("cacheSync", "always"); }, 7,
       "DXACC0007E The property cacheSync has a value in the property list that is not valid: always .", {}, 0},
      {"usingQUILL maybe", [](Props &p) { p.str("usingQUILL", "maybe"); }, 7,
       "DXACC0007E The property usingQUILL has a value in the property list that is not valid: maybe .", {}, 0},
      {"useDiskCache never", [](Props &p) { p.str("useDiskCache", "never"); }, 0, nullptr,
       [](auto *c) { return c->useDiskCache; }, 0},
      {"useDiskCache always",
       [this](Props &p) { p.str("useDiskCache", "always").str("diskCachePath", dir.file("batch").c_str()); }, 0,
       nullptr,
       [](auto *c) { return c->useDiskCache; }, 1},
      {"useDiskCache Auto", [](Props &p) { p.str("useDiskCache", "Auto"); }, 7,
       "DXACC0007E The property useDiskCache has a value in the property list that is not valid: Auto .", {}, 0},
      {"transferSize as text", [](Props &p) { p.str("transferSize", "10"); }, 5,
       "DXACC0005E The property 'transferSize' in the property list has a value type that is not valid.", {}, 0},
      {"diskCachePath as integer", [](Props &p) { p.num("diskCachePath", 3); }, 5,
       "DXACC0005E The property 'diskCachePath' in the property list has a value type that is not valid.", {}, 0},
      {"compress as long", [](Props &p) { p.raw("compress", VELM_VT_LONG, "yes"); }, 5,
       "DXACC0005E The property 'compress' in the property list has a value type that is not valid.", {}, 0},
      {"null text", [](Props &p) { p.raw("clientUserName", VELM_VT_STRING, nullptr); }, 4,
       "DXACC0004E The property 'clientUserName' in the property list has a null value.", {}, 0},
      {"null integer", [](Props &p) { p.raw("queueSize", VELM_VT_INTEGER, nullptr); }, 4,
       "DXACC0004E The property 'queueSize' in the property list has a null value.", {}, 0},
      {"mis-cased name ignored", [](Props &p) { p.str("serverUrl", "x").num("QueueSize", -4); }, 0, nullptr,
       [](auto *c) { return c->queueSize; }, 50},
      {"unknown name with anything ignored",
       [](Props &p) { p.raw("bogus", 99, nullptr).raw("bogus2", VELM_VT_INTEGER, nullptr); }, 0, nullptr,
       [](auto *c) { return c->transferSize; }, 10},
      {"hiWater 60 over queueSize 50", [](Props &p) { p.num("hiWater", 60); }, 50,
       "DXACC0050E The property hiWater has a value in the property list that is not valid because it is greater "
       "than the value of the property queueSize .",
       {}, 0},
      {"transferSize over hiWater", [](Props &p) { p.num("transferSize", 21); }, 50,
       "DXACC0050E The property transferSize has a value in the property list that is not valid because it is "
       "greater than the value of the property hiWater .",
       {}, 0},
      {"lowWater over queueSize", [](Props &p) { p.num("lowWater", 51); }, 50,
       "DXACC0050E The property lowWater has a value in the property list that is not valid because it is greater "
       "than the value of the property queueSize .",
       {}, 0},
      {"lowWater equal to queueSize", [](Props &p) { p.num("lowWater", 50); }, 0, nullptr,
       [](auto *c) { return c->lowWater; }, 50},
      {"lowWater 0", [](Props &p) { p.num("lowWater", 0); }, 7,
       "DXACC0007E The property lowWater has a value in the property list that is not valid: 0 .", {}, 0},
      {"lowWater follows transferSize", [](Props &p) { p.num("transferSize", 7); }, 0, nullptr,
       [](auto *c) { return c->lowWater; }, 7},
      {"last value wins", [](Props &p) { p.num("queueSize", 5).num("queueSize", 70); }, 0, nullptr,
       [](auto *c) { return c->queueSize; }, 70},
      {"trace level without trace file", [](Props &p) { p.num("traceLevel", 5); }, 0, nullptr,
       [](auto *c) { return c->traceLevel; }, 0},
      {"upper-case HTTPS without key files", [](Props &p) { p.str("serverURL", "HTTPS://host/audit"); }, 6,
       "DXACC0006E The required property 'keyFilePath' is missing in the property list.", {}, 0},
      {"HTTPS with key file only",
       [](Props &p) { p.str("serverURL", "HTTPS://host/audit").str("keyFilePath", "/k.p12"); }, 6,
       "DXACC0006E The required property 'stashFilePath' is missing in the property list.", {}, 0},
      {"HtTpS with both key files is secure: the store is read",
       [](Props &p) {
         p.str("serverURL", "HtTpS://host/audit").str("keyFilePath", "/k.p12").str("stashFilePath", "/k.pw");
       },
       19,
       "DXACC0019E An error occurred during secure communication with the audit server. The function "
       "zvk_attribute_set_buffer failed with the following error: cannot open /k.p12: No such file or directory .",
       {}, 0},
      {"https prefix of five characters only", [](Props &p) { p.str("serverURL", "httpx://host"); }, 0, nullptr,
       [](auto *c) { return c->secure; }, 0},
      {"elementCodeSet unknown", [](Props &p) { p.str("elementCodeSet", "NO-SUCH-CODESET"); }, 7,
       "DXACC0007E The property elementCodeSet has a value in the property list that is not valid: NO-SUCH-CODESET .",
       {}, 0},
      {"elementCodeSet UTF8", [](Props &p) { p.str("elementCodeSet", "UTF8"); }, 0, nullptr,
       [](auto *c) { return c->elementCodeSetIsUTF8; }, 1},
      {"elementCodeSet ISO-8859-1", [](Props &p) { p.str("elementCodeSet", "ISO-8859-1"); }, 0, nullptr,
       [](auto *c) { return c->elementCodeSetIsUTF8; }, 0},
      {"errorCodeSet unknown is soft", [](Props &p) { p.str("errorCodeSet", "NO-SUCH-CODESET"); }, 0, nullptr,
       [](auto *c) { return c->errorCodeSet == nullptr && c->errorCodeSetHandle != nullptr ? 1 : 0; }, 1},
      {"errorLocale unknown is soft", [](Props &p) { p.str("errorLocale", "xx_NOWHERE"); }, 0, nullptr,
       [](auto *c) { return c->errorLocale == nullptr && c->catalog == nullptr ? 1 : 0; }, 1},
  };
  for (const SingleCase &tc : cases) {
    SCOPED_TRACE(tc.label);
    Props p = base();
    tc.add(p);
    VELM_AuditClientContext *c = create(p);
    if (tc.message == 0) {
      ASSERT_NE(c, nullptr) << onlyMessage();
      EXPECT_EQ(result.numErrors, 0);
      EXPECT_EQ(tc.field(c), tc.value);
    } else {
      EXPECT_EQ(c, nullptr);
      EXPECT_EQ(onlyMessage(), std::to_string(tc.message) + " " + tc.text);
    }
  }
}

TEST_F(PropertyTest, RequiredPropertiesInRuleOrder) {
  struct Case {
    const char *label;
    std::function<void(Props &)> build;
    const char *text;
  } cases[] = {
      {"empty list", [](Props &) {}, "DXACC0006E The required property 'serverURL' is missing in the property list."},
      {"no serverURL",
       [this](Props &p) { p.str("errorFilePath", dir.file("e.log").c_str()); },
       "DXACC0006E The required property 'serverURL' is missing in the property list."},
      {"no errorFilePath", [](Props &p) { p.str("serverURL", "http://h/a").num("hiWater", 99); },
       "DXACC0006E The required property 'errorFilePath' is missing in the property list."},
      {"queue rule before key files",
       [this](Props &p) {
         p.str("serverURL", "https://h/a").str("errorFilePath", dir.file("e.log").c_str()).num("hiWater", 99);
       },
       "DXACC0050E The property hiWater has a value in the property list that is not valid because it is greater "
       "than the value of the property queueSize ."},
  };
  for (const Case &tc : cases) {
    SCOPED_TRACE(tc.label);
    Props p;
    tc.build(p);
    EXPECT_EQ(create(p), nullptr);
    ASSERT_EQ(result.numErrors, 1);
    EXPECT_STREQ(result.errors[0].message, tc.text);
  }
}

TEST_F(PropertyTest, NullPropertyList) {
  EXPECT_EQ(VELM_AuditClientContext_Create(nullptr, &result), nullptr);
  ASSERT_EQ(result.numErrors, 1);
  EXPECT_EQ(result.errors[0].code, 9);
  EXPECT_STREQ(result.errors[0].message,
               "DXACC0009E The required parameter 'propertyList' passed to the function was null.");
}

TEST_F(PropertyTest, StringsAreCopied) {
  char url[] = "http://h/a";
  Props p = base();
  p.raw("serverURL", VELM_VT_STRING, url);
  VELM_AuditClientContext *c = create(p);
  ASSERT_NE(c, nullptr);
  url[0] = 'X';
  EXPECT_STREQ(c->serverURL, "http://h/a");
}

TEST_F(PropertyTest, ResponseTimeoutFromTheEnvironment) {
  struct Case {
    const char *env;
    bool explicitValue;
    int expected;
  } cases[] = {
      {"45", false, 45}, {"0", false, 180}, {"-3", false, 180}, {"soon", false, 180}, {"45", true, 7},
  };
  for (const Case &tc : cases) {
    SCOPED_TRACE(tc.env);
    setenv("VELM_SERVER_RESPONSE_TIMEOUT", tc.env, 1);
    Props p = base();
    if (tc.explicitValue) p.num("responseTimeout", 7);
    VELM_AuditClientContext *c = create(p);
    ASSERT_NE(c, nullptr) << onlyMessage();
    EXPECT_EQ(c->responseTimeout, tc.expected);
  }
  unsetenv("VELM_SERVER_RESPONSE_TIMEOUT");
}

TEST(PropertyTable, NamesAreUniqueAndTyped) {
  for (int i = 0; i < velm::kNumProperties; ++i) {
    const auto &def = velm::kProperties[static_cast<size_t>(i)];
    SCOPED_TRACE(def.name);
    EXPECT_EQ(velm::findProperty(def.name), i);
    EXPECT_TRUE(def.valueType == VELM_VT_STRING || def.valueType == VELM_VT_INTEGER);
    EXPECT_NE((def.strField == nullptr), (def.intField == nullptr));
  }
  EXPECT_EQ(velm::findProperty("serverurl"), -1);
}

}  // namespace
