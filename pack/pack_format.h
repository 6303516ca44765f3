// The payload pack: its constants, record layout, name rule and byte mix, in
// one place for the unpacker (Setup.exe) and the build-side packer (kpack).
//
// Region layout, from the pack's start offset to the end of the carrier:
//   marker   17 bytes, mixed: "^-=Kivra=-^ Reed " (trailing blank, no NUL)
//   records  each: name length (u32 LE, clear), data length (u32 LE, clear),
//            name (mixed, no NUL), data (mixed)
// The pack ends with the record named "^Kivra_end^" (its data is never read),
// or where the records fill the region exactly. Bytes after the end record are
// ignored, which is what lets a signature be appended to the carrier.
#pragma once
#include <stddef.h>
#include <stdint.h>

namespace pack {

const char kMarker[] = "^-=Kivra=-^ Reed ";
const uint32_t kMarkerLen = 17;
const char kEndName[] = "^Kivra_end^";
const uint32_t kEndNameLen = 11;

// Longest record name, in bytes.
const uint32_t kMaxNameLen = 64;
// A record's two clear length fields.
const uint32_t kRecordHeadLen = 8;
// Data moves through one buffer of this size.
const uint32_t kChunkLen = 4096;

// Where the pack starts in Setup.exe, and in the installer-package copy
// "KivraSetup.msi".
const uint32_t kSetupExeOffset = 490000;
const uint32_t kMsiCopyOffset = 3300000;

static_assert(sizeof(kMarker) == kMarkerLen + 1, "marker is 17 bytes");
static_assert(sizeof(kEndName) == kEndNameLen + 1, "end name is 11 bytes");

// Stores every byte b as (256 - b) mod 256, in place. The step is its own
// inverse: the same call mixes clear bytes and un-mixes stored ones.
void MixBuffer(void* buffer, size_t length);

// Reads and writes the little-endian 32-bit length fields.
uint32_t ReadLe32(const unsigned char* p);
void WriteLe32(unsigned char* p, uint32_t value);

// 1 when the name's bytes are exactly "^Kivra_end^".
int IsEndName(const char* name, size_t length);

// 1 when a record name is safe to join to the destination directory:
// non-empty; no control character, ':' (drive letters, alternate data streams),
// or one of < > " | ? *; every part between backslashes (or slashes, which
// Windows reads as backslashes) is non-empty, does not end with a dot or a
// blank (so no "." or ".."), and is no device name such as CON, NUL or COM1.
// With allowSubDir 0 the name must be one plain part, no separator at all.
// The setup runs with administrator rights, so a name that could reach outside
// the destination is refused, never cleaned up.
int IsSafeRecordName(const char* name, size_t length, int allowSubDir);

} // namespace pack
