// MD5, the message digest of RFC 1321: the digest of the verification files.
#pragma once
#include <stddef.h>
#include <stdint.h>

struct Md5Context {
    uint32_t state[4];
    uint64_t bytes;        // message length so far
    unsigned char pending[64];
};

void Md5Init(Md5Context* context);
void Md5Update(Md5Context* context, const void* data, size_t size);
// Writes the 16-byte digest; the context must be initialised again for reuse.
void Md5Final(Md5Context* context, unsigned char digest[16]);

// The digest of size bytes at data, in one pass.
void Md5(const void* data, size_t size, unsigned char digest[16]);
