// DES, the 64-bit block cipher of FIPS 46-3, in ECB mode with PKCS#5 padding:
// the block layer beneath the string cipher. The product carries its own DES
// so that it links no crypto library.
#pragma once
#include <stddef.h>
#include <stdint.h>

// The two round-key schedules of one key: 16 round keys, each as eight 6-bit
// groups (one per S-box), in encryption order and in reverse order.
struct DesKeyState {
    uint8_t encrypt[16][8];
    uint8_t decrypt[16][8];
};

// Builds both schedules from an 8-byte key; the low bit of each key byte is the
// parity bit and is ignored. Returns 1, or 0 when an argument is missing.
int DesKeySetup(const unsigned char* key, DesKeyState* state);

// Pads the n bytes at in to P = (n with its low three bits cleared) + 8 bytes,
// each added byte holding the number of added bytes (1 to 8), and encrypts them
// block by block into out. Returns P, or -1 when capacity is below P, n is too
// large for an int result, or an argument is missing.
int DesEncryptEcb(const unsigned char* in, size_t n, unsigned char* out, size_t capacity,
                  const DesKeyState* state);

// Decrypts the d bytes at in block by block into out, which holds capacity
// bytes. Returns d minus the value of the last decrypted byte (only that byte
// is consulted, a 0 removes nothing), or -1 when d is 0, not a multiple of 8,
// above capacity, when the last byte exceeds d, or an argument is missing.
// out receives all d decrypted bytes, padding included.
int DesDecryptEcb(const unsigned char* in, size_t d, unsigned char* out, size_t capacity,
                  const DesKeyState* state);
