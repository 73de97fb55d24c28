// The result record: growth, reset, cleaning, formatting and the texts.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "capis/errors.h"
#include "velm.h"

namespace {

using velm::defaultText;

struct ResultGuard {
  VELM_result r{};
  ~ResultGuard() { VELM_Result_Clean(&r); }
};

TEST(DefaultTexts, EveryMessageCarriesItsOwnId) {
  EXPECT_STREQ(defaultText[0], "velmmsg");
  for (int n = 1; n < velm::kNumMessages; ++n) {
    char id[16];
    std::snprintf(id, sizeof id, "DXACC%04dE ", n);
    SCOPED_TRACE(id);
    EXPECT_EQ(std::strncmp(defaultText[n], id, std::strlen(id)), 0) << defaultText[n];
  }
  EXPECT_STREQ(defaultText[50],
               "DXACC0050E The property %1$s has a value in the property list that is not valid because it is "
               "greater than the value of the property %2$s .");
  EXPECT_STREQ(defaultText[67],
               "DXACC0067E The audit client is being shut down. The server has recently been unavailable. During "
               "that time, %d audit events could not be processed or cached and had to be discarded.");
}

TEST(ErrorHandler, GrowsAtTheFirstAndFifthEntry) {
  ResultGuard g;
  const int expectedMax[] = {5, 5, 5, 5, 9, 9};
  for (int i = 0; i < 6; ++i) {
    ASSERT_NE(errorHandler(nullptr, 10, &g.r, 0, 0), nullptr);
    EXPECT_EQ(g.r.numErrors, i + 1);
    EXPECT_EQ(g.r.maxErrors, expectedMax[i]) << "after entry " << i + 1;
    // One zeroed entry always follows the last recorded one.
    EXPECT_EQ(g.r.errors[g.r.numErrors].code, 0);
    EXPECT_EQ(g.r.errors[g.r.numErrors].message, nullptr);
  }
  for (int i = 0; i < 6; ++i) EXPECT_STREQ(g.r.errors[i].message, defaultText[10]);
}

TEST(ErrorHandler, NegativeCountIsTreatedAsEmpty) {
  ResultGuard g;
  g.r.numErrors = -5;
  g.r.maxErrors = 3;
  ASSERT_NE(errorHandler(nullptr, 6, &g.r, 0, 1, "serverURL"), nullptr);
  EXPECT_EQ(g.r.numErrors, 1);
  EXPECT_EQ(g.r.maxErrors, 5);
  EXPECT_EQ(g.r.errors[0].code, 6);
  EXPECT_STREQ(g.r.errors[0].message, "DXACC0006E The required property 'serverURL' is missing in the property list.");
}

TEST(ErrorHandler, FormatsPositionalArguments) {
  ResultGuard g;
  ASSERT_NE(errorHandler(nullptr, 7, &g.r, 0, 2, "compress", "YES"), nullptr);
  ASSERT_NE(errorHandler(nullptr, 14, &g.r, 0, 2, "timestamp", 9), nullptr);
  ASSERT_NE(errorHandler(nullptr, 54, &g.r, 0, 2, 1, 3), nullptr);
  EXPECT_STREQ(g.r.errors[0].message,
               "DXACC0007E The property compress has a value in the property list that is not valid: YES .");
  EXPECT_STREQ(g.r.errors[1].message,
               "DXACC0014E The predefined element, timestamp , has a value type that is not valid: 9 .");
  EXPECT_STREQ(g.r.errors[2].message,
               "DXACC0054E Only 1 of the 3 specified event queue threads could be spawned. Processing will "
               "continue, but performance may be degraded.");
}

TEST(ErrorHandler, StandardBufferCutsLongArguments) {
  ResultGuard g;
  const std::string huge(20000, 'x');
  ASSERT_NE(errorHandler(nullptr, 9, &g.r, 0, 1, huge.c_str()), nullptr);
  EXPECT_EQ(std::strlen(g.r.errors[0].message), 8191u);
  EXPECT_EQ(std::strncmp(g.r.errors[0].message, "DXACC0009E The required parameter 'xxx", 38), 0);
}

TEST(ErrorHandler, ExtraSizeMakesRoomForTheArguments) {
  ResultGuard g;
  const std::string huge(20000, 'y');
  ASSERT_NE(errorHandler(nullptr, 9, &g.r, static_cast<int>(huge.size()), 1, huge.c_str()), nullptr);
  const std::string expected = "DXACC0009E The required parameter '" + huge + "' passed to the function was null.";
  EXPECT_EQ(g.r.errors[0].message, expected);

  // extraSize is the room for the arguments over the template's length; too
  // little of it cuts the text within the buffer, never past it.
  ASSERT_NE(errorHandler(nullptr, 9, &g.r, 1, 1, huge.c_str()), nullptr);
  EXPECT_EQ(std::strlen(g.r.errors[1].message), std::strlen(defaultText[9]) + 1 + 10 - 1);
}

TEST(ErrorHandler, OutOfMemoryMessageIsTheBuiltInText) {
  ResultGuard g;
  ASSERT_NE(errorHandler(nullptr, 1, &g.r, 0, 0), nullptr);
  ASSERT_NE(errorHandler(nullptr, 2, &g.r, 0, 0), nullptr);
  EXPECT_EQ(g.r.errors[0].message, defaultText[1]);  // not copied
  EXPECT_NE(g.r.errors[1].message, defaultText[2]);  // a heap copy
  EXPECT_STREQ(g.r.errors[1].message, defaultText[2]);
  // Cleaning must free the copy and leave the built-in text alone (ASan
  // reports a bad free otherwise).
}

TEST(ErrorHandler, RejectsNumbersOutsideTheTable) {
  ResultGuard g;
  EXPECT_EQ(errorHandler(nullptr, 0, &g.r, 0, 0), nullptr);
  EXPECT_EQ(errorHandler(nullptr, 68, &g.r, 0, 0), nullptr);
  EXPECT_EQ(errorHandler(nullptr, 3, nullptr, 0, 0), nullptr);
  EXPECT_EQ(g.r.numErrors, 0);
}

TEST(ResultClean, Cases) {
  EXPECT_EQ(VELM_Result_Clean(nullptr), -1);

  VELM_result zero{0, 5, reinterpret_cast<VELM_error *>(0x1)};  // nothing counted: nothing freed
  EXPECT_EQ(VELM_Result_Clean(&zero), 0);
  EXPECT_EQ(zero.numErrors, 0);
  EXPECT_EQ(zero.maxErrors, 0);
  EXPECT_EQ(zero.errors, nullptr);

  VELM_result full{};
  errorHandler(nullptr, 3, &full, 0, 1, "bogus");
  errorHandler(nullptr, 1, &full, 0, 0);
  EXPECT_EQ(VELM_Result_Clean(&full), 0);
  EXPECT_EQ(full.numErrors, 0);
  EXPECT_EQ(full.maxErrors, 0);
  EXPECT_EQ(full.errors, nullptr);
  EXPECT_EQ(VELM_Result_Clean(&full), 0);  // twice is harmless
}

TEST(NullParameters, NullContextRecordsMessage10) {
  ResultGuard g;
  g.r.numErrors = 3;  // stale counts are reset, not freed
  g.r.maxErrors = 3;
  EXPECT_EQ(VELM_AuditClientContext_Delete(nullptr, &g.r), -1);
  ASSERT_EQ(g.r.numErrors, 1);
  EXPECT_EQ(g.r.errors[0].code, 10);
  EXPECT_STREQ(g.r.errors[0].message, defaultText[10]);
  VELM_Result_Clean(&g.r);
  EXPECT_EQ(VELM_AuditClientContext_GetTraceLevel(nullptr, &g.r), -1);
  EXPECT_EQ(g.r.numErrors, 1);
  VELM_Result_Clean(&g.r);
  EXPECT_EQ(VELM_AuditClientContext_SetTraceLevel(nullptr, 3, &g.r), -1);
  EXPECT_EQ(g.r.numErrors, 1);
}

TEST(NullParameters, NullRecordRecordsNothing) {
  EXPECT_EQ(VELM_AuditClientContext_Delete(nullptr, nullptr), -1);
  EXPECT_EQ(VELM_AuditClientContext_Create(nullptr, nullptr), nullptr);
  EXPECT_EQ(nullParmHandler2(nullptr, nullptr, "test", 1, "[f]"), 0);
  ResultGuard g;
  EXPECT_EQ(nullParmHandler2(nullptr, &g.r, "test", 1, "[f]"), 0);
  ASSERT_EQ(g.r.numErrors, 1);
  EXPECT_EQ(g.r.errors[0].code, 12);
}

TEST(Memory, MallocAndFree) {
  void *p = VELM_Malloc(16);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(VELM_Free(p), 0);
  EXPECT_EQ(VELM_Free(nullptr), -1);
}

}  // namespace
