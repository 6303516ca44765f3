#include "integrity/des.h"

#include <string.h>

namespace {

// The tables of FIPS 46-3, bits numbered from 1 at the most significant end.
const uint8_t kInitialPermutation[64] = {
    58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
    62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
    57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
    61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};

const uint8_t kFinalPermutation[64] = {
    40, 8, 48, 16, 56, 24, 64, 32, 39, 7, 47, 15, 55, 23, 63, 31,
    38, 6, 46, 14, 54, 22, 62, 30, 37, 5, 45, 13, 53, 21, 61, 29,
    36, 4, 44, 12, 52, 20, 60, 28, 35, 3, 43, 11, 51, 19, 59, 27,
    34, 2, 42, 10, 50, 18, 58, 26, 33, 1, 41, 9,  49, 17, 57, 25};

const uint8_t kPermutedChoice1[56] = {
    57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
    10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
    63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
    14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

const uint8_t kPermutedChoice2[48] = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10,
    23, 19, 12, 4,  26, 8,  16, 7,  27, 20, 13, 2,
    41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48,
    44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

const uint8_t kRotations[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

constexpr uint8_t kPermutationP[32] = {
    16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
    2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

constexpr uint8_t kSBoxes[8][4][16] = {
    {{14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7},
     {0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8},
     {4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0},
     {15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13}},
    {{15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10},
     {3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5},
     {0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15},
     {13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9}},
    {{10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8},
     {13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1},
     {13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7},
     {1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12}},
    {{7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15},
     {13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9},
     {10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4},
     {3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14}},
    {{2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9},
     {14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6},
     {4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14},
     {11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3}},
    {{12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11},
     {10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8},
     {9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6},
     {4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13}},
    {{4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1},
     {13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6},
     {1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2},
     {6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12}},
    {{13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7},
     {1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2},
     {7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8},
     {2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11}}};

// Each S-box combined with the P permutation: entry [box][six input bits]
// is the 32-bit round-function contribution of that box. Built by the
// compiler, so it is read-only data and needs no run-time set-up.
struct SpTables {
    uint32_t entry[8][64];
};

constexpr SpTables BuildSpTables() {
    SpTables t{};
    for (int box = 0; box < 8; ++box) {
        for (int six = 0; six < 64; ++six) {
            int row = ((six >> 4) & 2) | (six & 1);
            int column = (six >> 1) & 15;
            uint32_t s = (uint32_t)kSBoxes[box][row][column] << (28 - 4 * box);
            uint32_t p = 0;
            for (int bit = 0; bit < 32; ++bit) {
                if ((s >> (31 - (kPermutationP[bit] - 1))) & 1) p |= 1u << (31 - bit);
            }
            t.entry[box][six] = p;
        }
    }
    return t;
}

constexpr SpTables kSp = BuildSpTables();

uint64_t LoadBlock(const unsigned char* in) {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = (v << 8) | in[i];
    return v;
}

void StoreBlock(uint64_t v, unsigned char* out) {
    for (int i = 7; i >= 0; --i) {
        out[i] = (unsigned char)(v & 0xFF);
        v >>= 8;
    }
}

// Output bit i (from the most significant end) is input bit table[i] of a
// width-bit input.
uint64_t Permute(uint64_t in, int width, const uint8_t* table, int count) {
    uint64_t out = 0;
    for (int i = 0; i < count; ++i) out = (out << 1) | ((in >> (width - table[i])) & 1);
    return out;
}

uint32_t RotateLeft(uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }

// The round function: expansion E, key mixing, S-boxes and P.
uint32_t Feistel(uint32_t r, const uint8_t* roundKey) {
    uint32_t f = 0;
    for (int box = 0; box < 8; ++box) {
        // E gives box j the input bits 4j .. 4j+5 (1-based, cyclic); rotating
        // left by 4j - 1 brings bit 4j to the top.
        uint32_t six = (RotateLeft(r, (4 * box + 31) % 32) >> 26) & 0x3F;
        f |= kSp.entry[box][six ^ roundKey[box]];
    }
    return f;
}

void CryptBlock(const unsigned char* in, unsigned char* out, const uint8_t (*keys)[8]) {
    uint64_t block = Permute(LoadBlock(in), 64, kInitialPermutation, 64);
    uint32_t left = (uint32_t)(block >> 32);
    uint32_t right = (uint32_t)block;
    for (int round = 0; round < 16; ++round) {
        uint32_t next = left ^ Feistel(right, keys[round]);
        left = right;
        right = next;
    }
    uint64_t preOutput = ((uint64_t)right << 32) | left;
    StoreBlock(Permute(preOutput, 64, kFinalPermutation, 64), out);
}

} // namespace

int DesKeySetup(const unsigned char* key, DesKeyState* state) {
    if (!key || !state) return 0;
    uint64_t cd = Permute(LoadBlock(key), 64, kPermutedChoice1, 56);
    uint32_t c = (uint32_t)(cd >> 28) & 0x0FFFFFFF;
    uint32_t d = (uint32_t)cd & 0x0FFFFFFF;
    for (int round = 0; round < 16; ++round) {
        for (int i = 0; i < kRotations[round]; ++i) {
            c = ((c << 1) | (c >> 27)) & 0x0FFFFFFF;
            d = ((d << 1) | (d >> 27)) & 0x0FFFFFFF;
        }
        uint64_t k = Permute(((uint64_t)c << 28) | d, 56, kPermutedChoice2, 48);
        for (int box = 0; box < 8; ++box) {
            uint8_t six = (uint8_t)((k >> (42 - 6 * box)) & 0x3F);
            state->encrypt[round][box] = six;
            state->decrypt[15 - round][box] = six;
        }
    }
    return 1;
}

int DesEncryptEcb(const unsigned char* in, size_t n, unsigned char* out, size_t capacity,
                  const DesKeyState* state) {
    if ((!in && n) || !out || !state || n > 0x7FFFFFF0u) return -1;
    size_t padded = (n & ~(size_t)7) + 8;
    if (capacity < padded) return -1;
    size_t whole = n & ~(size_t)7;
    for (size_t i = 0; i < whole; i += 8) CryptBlock(in + i, out + i, state->encrypt);
    unsigned char last[8];
    size_t rest = n - whole;
    if (rest) memcpy(last, in + whole, rest);
    memset(last + rest, (int)(8 - rest), 8 - rest);
    CryptBlock(last, out + whole, state->encrypt);
    return (int)padded;
}

int DesDecryptEcb(const unsigned char* in, size_t d, unsigned char* out, size_t capacity,
                  const DesKeyState* state) {
    if (!in || !out || !state || d == 0 || d % 8 != 0 || d > capacity || d > 0x7FFFFFF8u) {
        return -1;
    }
    for (size_t i = 0; i < d; i += 8) CryptBlock(in + i, out + i, state->decrypt);
    size_t pad = out[d - 1];
    if (pad > d) return -1;
    return (int)(d - pad);
}
