// Compression of cache records, with the calling convention of zlib's
// compress and uncompress: (destination, in/out destination length, source,
// source length), 0 on success and a zlib error code otherwise.
#pragma once

namespace velm {

// Each thread keeps one deflate stream and resets it between calls, which is
// several times faster than setting one up per record.
int zvelm_compress(unsigned char *dest, unsigned long *destLen, const unsigned char *source,
                   unsigned long sourceLen);
// destLen holds the capacity on entry and the bytes produced on return.
int zvelm_uncompress(unsigned char *dest, unsigned long *destLen, const unsigned char *source,
                     unsigned long sourceLen);

}  // namespace velm
