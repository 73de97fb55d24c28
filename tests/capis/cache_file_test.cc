// Cache files read back: the layouts, and every kind of damage a file can
// carry, each drained up to the damage and then renamed, never looped on.
#include <cstring>

#include "capis/cache_support.h"

namespace {

using namespace velm_test;

class CacheFileTest : public CacheTest {
 protected:
  void SetUp() override { ASSERT_NE(create(), nullptr) << firstCode(); }

  // A record for a file that is no longer written (as found at start-up).
  velm::cacheFileInfo *adopt(const std::string &name) {
    velm::cacheFileInfo *f = velm::createCacheFileInfo(ctx, &result);
    f->fileName = strdup(name.c_str());
    f->currSize = static_cast<int32_t>(std::filesystem::file_size(path(name)));
    owned_.push_back(f);
    return f;
  }
  void TearDown() override {
    for (velm::cacheFileInfo *f : owned_) velm::freeCacheFileInfo(ctx, f, &result);
    CacheTest::TearDown();
  }

  struct Outcome {
    int seek = 0;
    std::vector<std::string> batches;
    int status = -1;
  };
  // Reads the file like a drainer: from its checkpoint, record after record.
  Outcome readAll(velm::cacheFileInfo *f) {
    Outcome out;
    FILE *fp = velm::fs::open(path(f->fileName).c_str(), "rb+");
    EXPECT_NE(fp, nullptr);
    out.seek = velm::seekToNextEvent(ctx, fp, &result);
    if (out.seek != 0) {
      velm::fs::close(fp);
      return out;
    }
    velm::cacheRecord rec;
    for (int guard = 0; guard < 100; ++guard) {
      if (velm::getEventRec(ctx, f, fp, rec, 1, &result) != 0) break;
      out.batches.push_back(rec.dataBuf);
    }
    out.status = rec.status;
    if (fp != nullptr) velm::fs::close(fp);
    return out;
  }

  std::vector<velm::cacheFileInfo *> owned_;
};

TEST_F(CacheFileTest, RecordHeaderIsByteExactWithNulAtByte31) {
  char header[32];
  std::memset(header, 0x7f, sizeof header);
  velm::formatRecordHeader(header, 1234, 567, 25);
  const char expected[32] = {'X', 'r', 'e', 'c', '0', '0', '0', '0', '0', '0', '1', '2', '3', '4', ':', '0',
                             '0', '0', '0', '0', '0', '0', '5', '6', '7', ':', '0', '0', '0', '2', '5', '\0'};
  EXPECT_EQ(std::memcmp(header, expected, 32), 0);
}

TEST_F(CacheFileTest, FreshFileSeeksToItsEnd) {
  writeBytes(path("batch.fresh"), "0000000010");
  velm::cacheFileInfo *f = adopt("batch.fresh");
  FILE *fp = velm::fs::open(path("batch.fresh").c_str(), "rb+");
  ASSERT_EQ(velm::seekToNextEvent(ctx, fp, &result), 0);
  EXPECT_EQ(velm::fs::tell(fp), 10);
  velm::fs::close(fp);
  const Outcome o = readAll(f);
  EXPECT_TRUE(o.batches.empty());
  EXPECT_EQ(o.status, velm::kRecEndOfData);
}

TEST_F(CacheFileTest, UpdateReadPosRewritesOnlyTheCheckpointAndKeepsThePosition) {
  const std::string rec = makeRecord(eventText(1), 1);
  writeBytes(path("batch.ck"), "0000000010" + rec);
  velm::cacheFileInfo *f = adopt("batch.ck");
  FILE *fp = velm::fs::open(path("batch.ck").c_str(), "rb+");
  ASSERT_EQ(velm::fs::seek(fp, 20, SEEK_SET), 0);
  f->readCheckPoint = static_cast<int32_t>(10 + rec.size());
  EXPECT_EQ(velm::updateReadPos(ctx, fp, f, &result), 0);
  EXPECT_EQ(velm::fs::tell(fp), 20);
  velm::fs::close(fp);
  const std::string bytes = readFile(path("batch.ck"));
  char ck[11];
  std::snprintf(ck, sizeof ck, "%010zu", 10 + rec.size());
  EXPECT_EQ(bytes, std::string(ck) + rec);
}

// Every kind of damage: what is read before it, how the read ends, and
// whether the file is renamed out of the way.
TEST_F(CacheFileTest, DamagedFilesAreReadUpToTheDamageAndRenamed) {
  const std::string a = eventText(1) + eventText(2);
  const std::string b = eventText(3);
  const std::string ra = makeRecord(a, 2);
  const std::string rb = makeRecord(b, 1);
  auto with = [](std::string s, std::size_t at, char c) {
    s[at] = c;
    return s;
  };
  char ckB[16];
  std::snprintf(ckB, sizeof ckB, "%010zu", 10 + ra.size());
  struct Case {
    const char *name;
    std::string bytes;
    int seek;                         // seekToNextEvent's result
    std::vector<std::string> batches; // read before the damage
    int status;                       // how the read ended
    bool renamed;
  };
  const std::vector<Case> cases = {
      {"intact", "0000000010" + ra + rb, 0, {a, b}, velm::kRecEndOfData, false},
      {"separators and byte 31 changed", "0000000010" + with(with(with(ra, 14, '#'), 25, '#'), 31, ':') + rb, 0,
       {a, b}, velm::kRecEndOfData, false},
      {"checkpoint on the second record", ckB + ra + rb, 0, {b}, velm::kRecEndOfData, false},
      {"cut inside a payload", "0000000010" + ra + rb.substr(0, rb.size() - 5), 0, {a}, velm::kRecCorrupt, true},
      {"cut inside a header", "0000000010" + ra + rb.substr(0, 20), 0, {a}, velm::kRecCorrupt, true},
      {"wrong signature", "0000000010" + ra + with(rb, 0, 'Y'), 0, {a}, velm::kRecCorrupt, true},
      {"huge compSize", "0000000010" + ra + "Xrec0000000100:9999999999:00001" + std::string(1, '\0') + "abc", 0,
       {a}, velm::kRecCorrupt, true},
      {"huge dataSize", "0000000010" + ra + "Xrec9999999999:0000000003:00001" + std::string(1, '\0') + "abc", 0,
       {a}, velm::kRecCorrupt, true},
      {"payload does not uncompress", "0000000010" + ra + with(with(rb, 32, 'q'), 33, 'q'), 0, {a},
       velm::kRecUncompressFailed, true},
      {"checkpoint garbage", "abcdefghij" + ra, -2, {}, -1, false},
      {"checkpoint past the end", "0000099999" + ra, -2, {}, -1, false},
      {"checkpoint inside the header", "0000000003" + ra, -2, {}, -1, false},
      {"fewer than 10 bytes", "00000", -1, {}, -1, false},
      {"empty", "", -1, {}, -1, false},
  };
  int n = 0;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const std::string name = "batch.case" + std::to_string(++n);
    writeBytes(path(name), c.bytes);
    velm::cacheFileInfo *f = adopt(name);
    const Outcome o = readAll(f);
    EXPECT_EQ(o.seek, c.seek);
    EXPECT_EQ(o.batches, c.batches);
    EXPECT_EQ(o.status, c.status);
    EXPECT_EQ(f->corrupt, c.renamed ? 1 : 0);
    EXPECT_EQ(std::filesystem::exists(path(name + ".corrupt1")), c.renamed);
    EXPECT_EQ(std::filesystem::exists(path(name)), !c.renamed);
  }
  EXPECT_NE(errorText().find("DXACC0046E"), std::string::npos);
  EXPECT_NE(errorText().find("DXACC0051E"), std::string::npos);
}

TEST_F(CacheFileTest, CorruptNameTakenGivesTheNextNumber) {
  writeBytes(path("batch.x"), "0000000010" + makeRecord(eventText(1), 1).substr(0, 40));
  writeBytes(path("batch.x.corrupt1"), "older");
  velm::cacheFileInfo *f = adopt("batch.x");
  const Outcome o = readAll(f);
  EXPECT_EQ(o.status, velm::kRecCorrupt);
  EXPECT_EQ(readFile(path("batch.x.corrupt1")), "older");
  EXPECT_TRUE(std::filesystem::exists(path("batch.x.corrupt2")));
  EXPECT_FALSE(std::filesystem::exists(path("batch.x")));
}

TEST_F(CacheFileTest, ReadErrorMakesTheFileCorrupt) {
  writeBytes(path("batch.io"), "0000000010" + makeRecord(eventText(1), 1));
  velm::cacheFileInfo *f = adopt("batch.io");
  velm::fs::setFaultPlan({{velm::fs::Op::Read, 2, -1, EIO}});  // the checkpoint reads, the header does not
  const Outcome o = readAll(f);
  velm::fs::clearFaultPlan();
  EXPECT_EQ(o.status, velm::kRecReadError);
  EXPECT_TRUE(std::filesystem::exists(path("batch.io.corrupt1")));
  EXPECT_NE(errorText().find("DXACC0043E"), std::string::npos);
}

}  // namespace
