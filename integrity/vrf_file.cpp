#include "integrity/vrf_file.h"

#include <string.h>

#include "integrity/md5.h"
#include "integrity/wipe.h"

namespace {

// Sized for the largest input, so that no guarded file within the limit ever
// needs an allocation. With -fdata-sections, mingw's compiler gives a
// zero-initialised array a .data$ section of its own, and the linker then
// stores its 40 KB of zeros in Setup.exe; in .bss it costs nothing on disk.
#if defined(_WIN32)
__attribute__((section(".bss")))
#endif
unsigned char g_assembly[kVrfAssemblySize];

} // namespace

void VrfDefaultBlock(unsigned char block[kVrfBlockSize]) {
    memset(block, 0, kVrfBlockSize);
    block[0] = 0xFF;
}

int VrfIconBlock(const unsigned char* icon, size_t iconSize, unsigned char block[kVrfBlockSize]) {
    if (!icon || !block || iconSize < kVrfIconMinSize) return 0;
    memcpy(block, icon + kVrfIconBlockOffset, kVrfBlockSize);
    return 1;
}

unsigned char* VrfAssemblyArea() { return g_assembly; }

int VrfDigest(const unsigned char* file, size_t size, const unsigned char* random,
              const unsigned char* block, unsigned char digest[kVrfDigestSize]) {
    if ((!file && size) || !random || !block || !digest || size > kVrfMaxGuardedSize) return 0;
    unsigned char* at = g_assembly;
    if (size && file != at) memmove(at, file, size);
    at += size;
    memcpy(at, random, kVrfRandomSize);
    at += kVrfRandomSize;
    memcpy(at, block, kVrfBlockSize);
    at += kVrfBlockSize;
    // The salt is made afresh for each digest and wiped straight after, so it
    // lies whole in memory only for this moment.
    if (!VrfBuildSalt(at)) {
        WipeBytes(at, kVrfSaltSize);
        return 0;
    }
    at += kVrfSaltSize;
    Md5(g_assembly, (size_t)(at - g_assembly), digest);
    WipeBytes(at - kVrfSaltSize, kVrfSaltSize);
    return 1;
}

int VrfMakeImage(const unsigned char* file, size_t size, const unsigned char* random,
                 const unsigned char* block, unsigned char image[kVrfFileSize]) {
    if (!random || !image) return 0;
    for (unsigned i = 0; i < kVrfRandomSize; ++i) {
        if (random[i] == 255) return 0;
    }
    unsigned char digest[kVrfDigestSize];
    if (!VrfDigest(file, size, random, block, digest)) return 0;
    memcpy(image, random, kVrfRandomSize);
    memcpy(image + kVrfDigestOffset, digest, kVrfDigestSize);
    return 1;
}

int VrfCheckImage(const unsigned char* file, size_t size, const unsigned char* image,
                  size_t imageSize, const unsigned char* block) {
    if (!image || imageSize != kVrfFileSize) return 0;
    unsigned char digest[kVrfDigestSize];
    if (!VrfDigest(file, size, image, block, digest)) return 0;
    unsigned char difference = 0;
    for (unsigned i = 0; i < kVrfDigestSize; ++i) {
        difference |= (unsigned char)(digest[i] ^ image[kVrfDigestOffset + i]);
    }
    return difference == 0;
}

const VrfPair kVrfPairs[kVrfPairCount] = {
    {"KivraCustom.ini", "KivraCustom.vrf"},
    {"KivraCustom.xml", "KivraCustomXml.vrf"},
    {"KivraUninstallInfo.ini", "KivraUninstallInfo.vrf"},
    {"KivraUninstallInfo.xml", "KivraUninstallInfoXml.vrf"},
};
