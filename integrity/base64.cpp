#include "integrity/base64.h"

#include <string.h>

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The six-bit value of c, 64 for the padding character, -1 for anything else.
int SextetOf(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    if (c == '=') return 64;
    return -1;
}

// Checks one group of four characters; returns the number of "=" in it, or -1.
int CheckGroup(const char* group) {
    int pads = 0;
    for (int i = 0; i < 4; ++i) {
        int v = SextetOf(group[i]); // a NUL gives -1: a group cut short
        if (v < 0) return -1;
        if (v == 64) {
            if (i < 2) return -1;
            ++pads;
        }
    }
    return pads;
}

} // namespace

int Base64Encode(const unsigned char* bytes, size_t count, char* out, size_t capacity) {
    if ((!bytes && count) || !out) return -1;
    size_t groups = count / 3 + (count % 3 ? 1 : 0);
    if (groups > ((size_t)-1 - 1) / 4 || capacity < groups * 4 + 1) return -1;
    char* o = out;
    size_t i = 0;
    for (; i + 3 <= count; i += 3) {
        unsigned v = ((unsigned)bytes[i] << 16) | ((unsigned)bytes[i + 1] << 8) | bytes[i + 2];
        *o++ = kAlphabet[(v >> 18) & 63];
        *o++ = kAlphabet[(v >> 12) & 63];
        *o++ = kAlphabet[(v >> 6) & 63];
        *o++ = kAlphabet[v & 63];
    }
    if (count - i == 1) {
        unsigned v = (unsigned)bytes[i] << 16;
        *o++ = kAlphabet[(v >> 18) & 63];
        *o++ = kAlphabet[(v >> 12) & 63];
        *o++ = '=';
        *o++ = '=';
    } else if (count - i == 2) {
        unsigned v = ((unsigned)bytes[i] << 16) | ((unsigned)bytes[i + 1] << 8);
        *o++ = kAlphabet[(v >> 18) & 63];
        *o++ = kAlphabet[(v >> 12) & 63];
        *o++ = kAlphabet[(v >> 6) & 63];
        *o++ = '=';
    }
    *o = '\0';
    return 0;
}

int Base64Decode(const char* text, unsigned char* out, size_t capacity, size_t* decodedLen) {
    if (!text || !out || !decodedLen) return -1;
    size_t length = strlen(text);

    // A first pass validates every group and sizes the result, so that a bad
    // text or a small buffer leaves out untouched.
    size_t decoded = 0;
    for (size_t at = 0; at < length; at += 4) {
        if (length - at < 4) return -1;
        int pads = CheckGroup(text + at);
        if (pads < 0) return -1;
        decoded += 3 - (size_t)pads;
    }
    if (capacity < decoded + 1) return -1;

    // "=" inside a group other than the last has no meaning of its own; it
    // counts as zero bits and drops one byte from its group, as it would in
    // the last one.
    unsigned char* o = out;
    for (size_t at = 0; at < length; at += 4) {
        unsigned v = 0;
        int pads = 0;
        for (int i = 0; i < 4; ++i) {
            int s = SextetOf(text[at + i]);
            if (s == 64) {
                s = 0;
                ++pads;
            }
            v = (v << 6) | (unsigned)s;
        }
        unsigned char three[3] = {(unsigned char)(v >> 16), (unsigned char)(v >> 8),
                                  (unsigned char)v};
        memcpy(o, three, 3 - (size_t)pads);
        o += 3 - pads;
    }
    *o = '\0';
    *decodedLen = decoded;
    return 0;
}
