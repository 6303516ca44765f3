// The salt of the verification digest, built at run time from a seed and a
// table built into the program, so that it never lies whole in the file.
#pragma once

enum : unsigned {
    kVrfSaltSeedSize = 6,
    kVrfSaltSize = 30, // the expansion of the seed
};

// Expands inLen bytes (6 to 20) into 5 * inLen bytes: for input byte i with
// value v, pos starts at v and five times becomes (pos + i) mod 128, each time
// emitting table entry pos. Returns 1 and stores *outLen, or 0 when an
// argument is missing, inLen is outside 6 to 20 or capacity is below 5 * inLen.
int VrfSaltExpand(const unsigned char* in, unsigned inLen, unsigned char* out,
                  unsigned capacity, unsigned* outLen);

// Writes the 30-byte verification salt, the expansion of the built-in seed.
// Returns 1, or 0 when it cannot be built. Callers wipe it after use.
int VrfBuildSalt(unsigned char salt[kVrfSaltSize]);
