#include "platform/compress.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

namespace {

// The capacity the cache writer gives the compressor for an n-byte batch.
unsigned long writerCapacity(unsigned long n) { return n + n / 1000 + 12; }

std::string randomText(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char &c : s) c = static_cast<char>(gen());
  return s;
}

TEST(Compress, RoundTripsThroughZlibAndItself) {
  std::string xml;
  for (int i = 0; i < 500; ++i) xml += "<CommonBaseEvent globalInstanceId=\"ID" + std::to_string(i) + "\"/>";
  // Incompressible input and the empty batch must fit the writer's capacity too.
  for (const std::string &src : {xml, randomText(100000, 1), randomText(7, 2), std::string()}) {
    SCOPED_TRACE(src.size());
    std::vector<unsigned char> out(writerCapacity(src.size()));
    unsigned long outLen = out.size();
    ASSERT_EQ(velm::zvelm_compress(out.data(), &outLen, reinterpret_cast<const unsigned char *>(src.data()),
                                   src.size()),
              0);
    // zlib's one-shot reader understands it...
    std::vector<unsigned char> back(src.size() + 1);
    uLongf backLen = src.size();
    ASSERT_EQ(uncompress(back.data(), &backLen, out.data(), outLen), Z_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(back.data()), backLen), src);
    // ...and so does ours, a second time on the same thread's stream.
    unsigned long ownLen = src.size();
    ASSERT_EQ(velm::zvelm_uncompress(back.data(), &ownLen, out.data(), outLen), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(back.data()), ownLen), src);
  }
}

TEST(Compress, DamagedOrOversizedInputFails) {
  const std::string src(5000, 'a');
  std::vector<unsigned char> out(writerCapacity(src.size()));
  unsigned long outLen = out.size();
  ASSERT_EQ(velm::zvelm_compress(out.data(), &outLen, reinterpret_cast<const unsigned char *>(src.data()),
                                 src.size()),
            0);
  std::vector<unsigned char> back(src.size() + 1);
  unsigned long len = src.size();
  EXPECT_NE(velm::zvelm_uncompress(back.data(), &len, out.data(), outLen / 2), 0);  // cut short
  std::vector<unsigned char> bad(out.begin(), out.begin() + outLen);
  bad[0] ^= 0xff;
  len = src.size();
  EXPECT_NE(velm::zvelm_uncompress(back.data(), &len, bad.data(), bad.size()), 0);  // wrong header
  len = 100;
  EXPECT_NE(velm::zvelm_uncompress(back.data(), &len, out.data(), outLen), 0);  // too small a buffer
  unsigned long tiny = 3;
  EXPECT_NE(velm::zvelm_compress(out.data(), &tiny, reinterpret_cast<const unsigned char *>(src.data()),
                                 src.size()),
            0);
}

}  // namespace
