// The string cipher of stored passwords: DES in ECB mode under the built-in key,
// PKCS#5 padding, then Base64. Equal plain texts give equal cipher texts, which
// is what lets the password dialog compare enciphered forms.
//
// Both operations may be called from any thread: the key schedules are built
// once per process, on the first call of either.
#pragma once

// The uninstall-password dialog takes at most this many characters; a longer
// stored password could never be typed at its prompt.
const int kMaxPasswordChars = 32;

// Enciphers plainLen bytes of plain into out as NUL-terminated Base64 text of
// 4 * ceil(P / 3) characters, P = (plainLen with its low three bits cleared) + 8.
// Returns 0, or 1 (key schedules), 2 (capacity too small: P / 3 * 4 + 4 must be
// below capacity; also for a missing out), 3 (DES step; also for a missing
// plain with a non-zero length), 4 (no memory), 5 (Base64).
// On failure out is left as the caller passed it.
int utl_EncryptStr(char* out, unsigned capacity, const char* plain, unsigned plainLen);

// Deciphers the NUL-terminated cipherText into out, without a terminator.
// *length holds out's capacity on entry and the plain-text length on success.
// Returns 0, or 1 (key schedules), 4 (empty or missing text, missing out or
// length, or no memory), 5 (not Base64), 6 (decoded length not a multiple of 8
// or above (capacity with its low three bits cleared) + 8, or a plain text
// longer than the capacity or with a padding value above the decoded length).
// On failure out and *length are left as the caller passed them.
int utl_DecryptStr(char* out, unsigned* length, const char* cipherText);
