#include "platform/compress.h"

#include <zlib.h>

#include <climits>

namespace velm {

namespace {

// Fastest level: batch text is repetitive XML, so level 1 already shrinks it
// well, and the writer must keep up with the event queue.
constexpr int kLevel = Z_BEST_SPEED;

struct Deflater {
  z_stream zs{};
  bool ready = false;
  Deflater() { ready = deflateInit(&zs, kLevel) == Z_OK; }
  ~Deflater() {
    if (ready) deflateEnd(&zs);
  }
};

struct Inflater {
  z_stream zs{};
  bool ready = false;
  Inflater() { ready = inflateInit(&zs) == Z_OK; }
  ~Inflater() {
    if (ready) inflateEnd(&zs);
  }
};

}  // namespace

int zvelm_compress(unsigned char *dest, unsigned long *destLen, const unsigned char *source,
                   unsigned long sourceLen) {
  if (sourceLen > UINT_MAX || *destLen > UINT_MAX) return Z_BUF_ERROR;
  thread_local Deflater d;
  if (!d.ready) return Z_MEM_ERROR;
  if (deflateReset(&d.zs) != Z_OK) return Z_STREAM_ERROR;
  d.zs.next_in = const_cast<Bytef *>(source);
  d.zs.avail_in = static_cast<uInt>(sourceLen);
  d.zs.next_out = dest;
  d.zs.avail_out = static_cast<uInt>(*destLen);
  const int rc = deflate(&d.zs, Z_FINISH);
  if (rc != Z_STREAM_END) return rc == Z_OK ? Z_BUF_ERROR : rc;
  *destLen = d.zs.total_out;
  return Z_OK;
}

int zvelm_uncompress(unsigned char *dest, unsigned long *destLen, const unsigned char *source,
                     unsigned long sourceLen) {
  if (sourceLen > UINT_MAX || *destLen > UINT_MAX) return Z_BUF_ERROR;
  thread_local Inflater i;
  if (!i.ready) return Z_MEM_ERROR;
  if (inflateReset(&i.zs) != Z_OK) return Z_STREAM_ERROR;
  i.zs.next_in = const_cast<Bytef *>(source);
  i.zs.avail_in = static_cast<uInt>(sourceLen);
  i.zs.next_out = dest;
  i.zs.avail_out = static_cast<uInt>(*destLen);
  const int rc = inflate(&i.zs, Z_FINISH);
  if (rc != Z_STREAM_END) {
    // Same codes as uncompress: truncated input is a data error, not "need more room".
    if (rc == Z_NEED_DICT || (rc == Z_BUF_ERROR && i.zs.avail_out > 0)) return Z_DATA_ERROR;
    return rc == Z_OK ? Z_BUF_ERROR : rc;
  }
  *destLen = i.zs.total_out;
  return Z_OK;
}

}  // namespace velm
