// Hashing, hash tables, location types, code-set conversion, string arrays,
// UUIDs.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "capis/context.h"
#include "capis/context_support.h"
#include "capis/utils.h"
#include "platform/uuid.h"

namespace {

using velm_test::Props;
using velm_test::TempDir;

TEST(HashFunc, RotatesAndXorsSignedBytes) {
  struct Case {
    const char *text;
    uint32_t hash;
  } cases[] = {
      {"", 0},
      {"a", 0x61},
      {"ab", 0xC42},
      {"\xE9", 0xFFFFFFE9},         // the byte combines sign-extended
      {"a\xE9", 0xFFFFF3C9},
      {"abcdefgh", 0x40731798},     // bits wrap round: a rotation, not a shift
      {"FQHostname", 0x217E1A9E},
  };
  for (const Case &tc : cases) {
    SCOPED_TRACE(tc.text);
    EXPECT_EQ(velm::hashFunc(tc.text), tc.hash);
  }
}

TEST(HashTable, SizesComeFromThePrimeList) {
  struct Case {
    int keys, size;
  } cases[] = {{0, 19}, {18, 19}, {19, 19}, {20, 29}, {54, 97}, {6152, 12289}, {49157, 49157}, {49158, 49157},
               {1000000, 49157}};
  for (const Case &tc : cases) {
    SCOPED_TRACE(tc.keys);
    EXPECT_EQ(velm::computeHashTableSz(tc.keys), tc.size);
  }
}

TEST(HashTable, ChainsEntriesAndBorrowsKeys) {
  const int size = 19;
  velm::HashEntry **table = velm::createHashTable(size);
  ASSERT_NE(table, nullptr);
  for (int i = 0; i < size; ++i) EXPECT_EQ(table[i], nullptr);
  EXPECT_EQ(velm::getHashTabIndx("ab", size), 0xC42 % 19);

  // Two keys of one bucket: the newer goes to the front.
  const char *first = "a";
  std::string second;
  for (char c = 'b'; c <= 'z' && second.empty(); ++c) {
    const std::string k(1, c);
    if (velm::getHashTabIndx(k.c_str(), size) == velm::getHashTabIndx(first, size)) second = k;
  }
  if (second.empty()) second = "a\x01";  // any key will do if no single letter collides
  velm::HashEntry *e1 = velm::addToHashTable(first, 1, table, size);
  velm::HashEntry *e2 = velm::addToHashTable(second.c_str(), 2, table, size);
  ASSERT_NE(e1, nullptr);
  ASSERT_NE(e2, nullptr);
  EXPECT_EQ(e1->key, first);  // not copied
  if (velm::getHashTabIndx(second.c_str(), size) == velm::getHashTabIndx(first, size)) {
    EXPECT_EQ(table[velm::getHashTabIndx(first, size)], e2);
    EXPECT_EQ(e2->next, e1);
  }
  EXPECT_EQ(velm::findInHashTable(second.c_str(), table, size)->value, 2);
  EXPECT_EQ(velm::findInHashTable("a", table, size)->value, 1);
  EXPECT_EQ(velm::findInHashTable("A", table, size), nullptr);
  VELM_result r{};
  EXPECT_EQ(velm::checkHashTableForMatch(nullptr, "a", table, size, &r), 0);
  EXPECT_EQ(velm::checkHashTableForMatch(nullptr, "zz", table, size, &r), -1);
  EXPECT_EQ(r.numErrors, 0);
  EXPECT_EQ(velm::freeHashTable(table, size), 0);
}

class ContextUtils : public ::testing::Test {
 protected:
  VELM_AuditClientContext *make(const char *elementCodeSet, bool trace = false) {
    Props p;
    p.str("serverURL", "http://h/a").str("useDiskCache", "never").str("errorFilePath", dir.file("e.log").c_str());
    if (elementCodeSet != nullptr) p.str("elementCodeSet", elementCodeSet);
    if (trace) p.str("traceFilePath", dir.file("t.log").c_str()).num("traceLevel", 3);
    VELM_result r{};
    ctx = VELM_AuditClientContext_Create(p.list(), &r);
    VELM_Result_Clean(&r);
    return ctx;
  }
  void TearDown() override {
    VELM_result r{};
    if (ctx != nullptr) VELM_AuditClientContext_Delete(ctx, &r);
    VELM_Result_Clean(&result);
  }
  TempDir dir;
  VELM_AuditClientContext *ctx = nullptr;
  VELM_result result{};
};

TEST_F(ContextUtils, LocationTypesAreLookedUpExactly) {
  ASSERT_NE(make(nullptr), nullptr);
  EXPECT_EQ(ctx->locTypeTableSize, 19);
  for (int i = 0; i < velm::kNumLocationTypes; ++i) {
    SCOPED_TRACE(velm::locationTypes[i]);
    velm::HashEntry *e = velm::findInHashTable(velm::locationTypes[i], ctx->locTypeTable, ctx->locTypeTableSize);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->value, i);
  }
  EXPECT_STREQ(velm::locationTypes[16], "FQHostname");
  EXPECT_EQ(velm::checkHashTableForMatch(ctx, "FQHostname", ctx->locTypeTable, ctx->locTypeTableSize, &result), 0);
  EXPECT_EQ(velm::checkHashTableForMatch(ctx, "fqhostname", ctx->locTypeTable, ctx->locTypeTableSize, &result), -1);
  EXPECT_EQ(velm::checkHashTableForMatch(ctx, "E.164", ctx->locTypeTable, ctx->locTypeTableSize, &result), 0);
}

TEST_F(ContextUtils, ConvertsLatin1BothWays) {
  ASSERT_NE(make("ISO-8859-1"), nullptr);
  char *utf8 = velm::utf8Convert(ctx, "caf\xE9 \xC4", velm::kToUTF8, &result);
  ASSERT_NE(utf8, nullptr);
  EXPECT_STREQ(utf8, "caf\xC3\xA9 \xC3\x84");
  char *back = velm::utf8Convert(ctx, utf8, velm::kFromUTF8, &result);
  ASSERT_NE(back, nullptr);
  EXPECT_STREQ(back, "caf\xE9 \xC4");
  char *copy = velm::utf8Convert(ctx, "caf\xE9", velm::kNoConversion, &result);
  EXPECT_STREQ(copy, "caf\xE9");
  EXPECT_EQ(result.numErrors, 0);
  free(utf8);
  free(back);
  free(copy);

  char *in[] = {const_cast<char *>("\xE9t\xE9"), const_cast<char *>(""), nullptr};
  char **arr = velm::copyStringArray(ctx, in, velm::kToUTF8, &result);
  ASSERT_NE(arr, nullptr);
  EXPECT_STREQ(arr[0], "\xC3\xA9t\xC3\xA9");
  EXPECT_STREQ(arr[1], "");
  EXPECT_EQ(arr[2], nullptr);
  char **back2 = velm::copyStringArray(ctx, arr, velm::kFromUTF8, &result);
  ASSERT_NE(back2, nullptr);
  EXPECT_STREQ(back2[0], "\xE9t\xE9");
  EXPECT_EQ(velm::freeStringArray(ctx, arr, &result), 0);
  EXPECT_EQ(velm::freeStringArray(ctx, back2, &result), 0);
  EXPECT_EQ(velm::freeStringArray(ctx, nullptr, &result), -1);
}

TEST_F(ContextUtils, Utf8ElementCodeSetCopiesUnchanged) {
  ASSERT_NE(make("UTF8"), nullptr);
  // Not valid UTF-8: a conversion would alter or reject it; a copy keeps it.
  char *out = velm::utf8Convert(ctx, "\xE9\xFF", velm::kToUTF8, &result);
  ASSERT_NE(out, nullptr);
  EXPECT_STREQ(out, "\xE9\xFF");
  free(out);
  char *in[] = {const_cast<char *>("\xE9"), nullptr};
  char **arr = velm::copyStringArray(ctx, in, velm::kFromUTF8, &result);
  ASSERT_NE(arr, nullptr);
  EXPECT_STREQ(arr[0], "\xE9");
  velm::freeStringArray(ctx, arr, &result);
}

// A conversion that fails is a failure naming the text, never a "" stored
// in its place.
TEST_F(ContextUtils, TextThatCannotBeConvertedFailsNamingIt) {
  ASSERT_NE(make("ANSI_X3.4-1968"), nullptr);
  struct Case {
    const char *text;
    int direction;
    const char *expected;
  };
  const Case cases[] = {
      {"caf\xE9", velm::kToUTF8,
       "DXACC0008E The parameter, user , passed to the function has a value that is not valid: the text "
       "cannot be "
       "converted from the element code set ANSI_X3.4-1968 ."},
      {"caf\xC3\xA9", velm::kFromUTF8,
       "DXACC0008E The parameter, user , passed to the function has a value that is not valid: the text "
       "cannot be "
       "converted into the element code set ANSI_X3.4-1968 ."},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.expected);
    VELM_Result_Clean(&result);
    EXPECT_EQ(velm::utf8Convert(ctx, c.text, c.direction, &result, "user"), nullptr);
    ASSERT_EQ(result.numErrors, 1);
    EXPECT_EQ(result.errors[0].code, 8);
    EXPECT_STREQ(result.errors[0].message, c.expected);
  }
  VELM_Result_Clean(&result);
  char *in[] = {const_cast<char *>("ok"), const_cast<char *>("\xE9"), nullptr};
  EXPECT_EQ(velm::copyStringArray(ctx, in, velm::kToUTF8, &result, "callerList"), nullptr);
  ASSERT_EQ(result.numErrors, 1);
  EXPECT_NE(std::string(result.errors[0].message).find("The parameter, callerList[1] ,"), std::string::npos)
      << result.errors[0].message;
}

TEST(XmlText, FindsTheFirstThingXmlCannotCarry) {
  struct Case {
    const char *what;
    const char *text;
    bool faulty;
    std::size_t offset;
    uint32_t codePoint;  // 0: not UTF-8
  };
  const Case cases[] = {
      {"plain ASCII", "abc", false, 0, 0},
      {"tab, line feed and carriage return", "a\tb\nc\rd", false, 0, 0},
      {"two-, three- and four-byte forms", "\xC2\x80 \xE2\x82\xAC \xF0\x9F\x98\x80", false, 0, 0},
      {"last code point", "\xF4\x8F\xBF\xBF", false, 0, 0},
      {"DEL and C1 controls", "\x7F\xC2\x85", false, 0, 0},
      {"Latin-1 byte", "caf\xE9", true, 3, 0},
      {"lone continuation byte", "a\x80", true, 1, 0},
      {"overlong slash", "\xC0\xAF", true, 0, 0},
      {"overlong three-byte", "ab\xE0\x80\xAF", true, 2, 0},
      {"overlong four-byte", "\xF0\x80\x80\xAF", true, 0, 0},
      {"surrogate", "x\xED\xA0\x80", true, 1, 0},
      {"above U+10FFFF", "\xF4\x90\x80\x80", true, 0, 0},
      {"sequence cut short at the end", "ab\xE2\x82", true, 2, 0},
      {"sequence cut short inside", "\xE2\x82z", true, 0, 0},
      {"C0 control",
       "a\x01"
       "b",
       true, 1, 0x01},
      {"escape", "ok\x1B[31m", true, 2, 0x1B},
      {"U+FFFE", "\xEF\xBF\xBE", true, 0, 0xFFFE},
      {"U+FFFF", "a\xEF\xBF\xBF", true, 1, 0xFFFF},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    velm::XmlTextFault fault{99, 99};
    ASSERT_EQ(velm::findXmlTextFault(c.text, &fault), c.faulty);
    if (!c.faulty) continue;
    EXPECT_EQ(fault.offset, c.offset);
    EXPECT_EQ(fault.codePoint, c.codePoint);
  }
  EXPECT_EQ(velm::describeXmlTextFault({3, 0}), "the text is not valid UTF-8 at byte 3");
  EXPECT_EQ(velm::describeXmlTextFault({1, 0x1B}),
            "the text holds U+001B, which XML cannot carry, at byte 1");
}

TEST_F(ContextUtils, UuidsAreTimeBasedAndDistinct) {
  ASSERT_NE(make(nullptr, true), nullptr);
  std::set<std::string> seen;
  for (int i = 0; i < 50; ++i) {
    velm::VelmUuid u{};
    ASSERT_EQ(velm::velm_create_uuid(ctx, &u, &result), 0);
    EXPECT_EQ(u.timeHiAndVersion >> 12, 1) << "time-based version";
    EXPECT_EQ(u.clockSeqHiAndReserved & 0xC0, 0x80) << "DCE variant";
    // The timestamp fields carry today's date (100 ns units since 1582-10-15).
    const uint64_t stamp = (static_cast<uint64_t>(u.timeHiAndVersion & 0x0FFF) << 48) |
                           (static_cast<uint64_t>(u.timeMid) << 32) | u.timeLow;
    const int64_t unixSeconds = static_cast<int64_t>((stamp - 0x01B21DD213814000ULL) / 10000000ULL);
    EXPECT_LT(std::llabs(unixSeconds - static_cast<int64_t>(time(nullptr))), 3600);
    seen.insert(std::string(reinterpret_cast<const char *>(&u), sizeof u));
  }
  EXPECT_EQ(seen.size(), 50u);

  velm::platform::setUuidFailure(5);
  velm::VelmUuid u{};
  EXPECT_EQ(velm::velm_create_uuid(ctx, &u, &result), -1);
  velm::platform::setUuidFailure(0);
  EXPECT_EQ(result.numErrors, 0);
  EXPECT_NE(velm_test::readFile(dir.file("t.log")).find("Error getting UUID. The function kx_uuid_create() failed: 05"),
            std::string::npos);
}

TEST(Sleep, ReturnsZero) {
  EXPECT_EQ(VELM_Sleep(0), 0);
  EXPECT_EQ(VELM_Sleep(-1), 0);
  EXPECT_EQ(VELM_Sleep(1), 0);
}

}  // namespace
