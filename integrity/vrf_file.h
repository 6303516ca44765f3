// Verification files: the 256-byte companion (.vrf) of each customisation file,
// 240 random bytes R followed by the MD5 digest of
//     guarded file || R || 32-byte block || 30-byte salt.
// The block is 0xFF and 31 zeros by default; in the icon-bound form it is the
// 32 bytes at offset 512 of the customer's icon file. The product only checks
// these files; the build-side tool writes them with the same code.
#pragma once
#include <stddef.h>

#include "integrity/vrf_salt.h"

enum : unsigned {
    kVrfFileSize = 256,
    kVrfRandomSize = 240,    // R, at offset 0; each byte 0 to 254
    kVrfDigestOffset = 240,
    kVrfDigestSize = 16,
    kVrfBlockSize = 32,
    kVrfMaxGuardedSize = 40588,
    kVrfIconBlockOffset = 512,
    kVrfIconMinSize = kVrfIconBlockOffset + kVrfBlockSize, // 544
    kVrfAssemblySize = kVrfMaxGuardedSize + kVrfRandomSize + kVrfBlockSize + kVrfSaltSize,
};

// The four customisation files the setup guards, each with the name of the
// verification file it reads beside it; the build-side tool names its outputs
// by the same table.
struct VrfPair {
    const char* guarded;
    const char* vrf;
};
enum VrfPairIndex { kVrfCustomIni, kVrfCustomXml, kVrfUninstallIni, kVrfUninstallXml, kVrfPairCount };
extern const VrfPair kVrfPairs[kVrfPairCount];

// Writes the default block: 0xFF followed by 31 zero bytes.
void VrfDefaultBlock(unsigned char block[kVrfBlockSize]);

// Takes the icon-bound block out of the first iconSize bytes of an icon file:
// returns 1 and copies its 32 bytes at offset 512 when iconSize is at least 544;
// returns 0 and leaves block alone otherwise.
int VrfIconBlock(const unsigned char* icon, size_t iconSize, unsigned char block[kVrfBlockSize]);

// The process-wide buffer in which the digest input is assembled; its first
// kVrfMaxGuardedSize bytes may receive the guarded file directly. It is shared,
// so digest computations must not overlap (the setup runs them on one thread).
unsigned char* VrfAssemblyArea();

// Computes the digest over the size bytes at file (which may be
// VrfAssemblyArea() itself), random (240 bytes), block (32 bytes) and the salt.
// Returns 1, or 0 when size exceeds 40588, the salt cannot be built or an
// argument is missing.
int VrfDigest(const unsigned char* file, size_t size, const unsigned char* random,
              const unsigned char* block, unsigned char digest[kVrfDigestSize]);

// Writes a whole verification file image: random, then the digest. Returns 1,
// or 0 when a byte of random is 255, or as VrfDigest.
int VrfMakeImage(const unsigned char* file, size_t size, const unsigned char* random,
                 const unsigned char* block, unsigned char image[kVrfFileSize]);

// Checks a verification file image of imageSize bytes against a guarded file.
// Returns 1 when the image is 256 bytes and its digest matches, else 0.
int VrfCheckImage(const unsigned char* file, size_t size, const unsigned char* image,
                  size_t imageSize, const unsigned char* block);
