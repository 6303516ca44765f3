// Base64 of RFC 4648 with the standard alphabet and "=" padding, no line
// breaks: the printable form of the string cipher's output.
#pragma once
#include <stddef.h>

// Writes 4 characters per 3 bytes of bytes (a last group of 1 byte ends in
// "==", of 2 bytes in "=") and a terminating NUL into out. Returns 0, or -1
// without writing when capacity is below 4 * ceil(count / 3) + 1 or an argument
// is missing.
int Base64Encode(const unsigned char* bytes, size_t count, char* out, size_t capacity);

// Decodes the NUL-terminated text into out and stores a NUL right after the
// decoded bytes. The text is read in groups of 4 characters; a group fails when
// it is cut short by the end of the text, holds a character outside the
// alphabet and "=", or has "=" in its first or second place. Each "=" in the
// third or fourth place of a group removes one byte from that group's three.
// Returns 0 and the decoded length in *decodedLen, or -1 without writing when
// the text is invalid, out cannot hold the decoded bytes and the NUL, or an
// argument is missing. strlen(text) bytes of out are always enough.
int Base64Decode(const char* text, unsigned char* out, size_t capacity, size_t* decodedLen);
