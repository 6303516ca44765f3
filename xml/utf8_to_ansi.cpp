#include "xml/utf8_to_ansi.h"

#include <windows.h>

unsigned Utf8ToAnsi(const char* bytes, unsigned length, char* out, unsigned capacity) {
    if (!out || capacity == 0) return 0;
    unsigned used = 0;
    out[0] = 0;
    if (!bytes) return 0;

    const unsigned char* in = (const unsigned char*)bytes;
    unsigned i = 0;
    while (i < length) {
        unsigned char a = in[i];
        if (a >= 0x01 && a <= 0x7F) {
            if (used + 1 >= capacity) break;
            out[used++] = (char)a;
            ++i;
            continue;
        }

        WCHAR units[2];
        int unitCount = 1;
        unsigned need;
        if (a >= 0xC0 && a <= 0xDF) {
            need = 2;
        } else if (a >= 0xF0 && a <= 0xF7) {
            need = 4;
        } else {
            need = 3;
        }
        // A fragment at the end of the text has no character to give.
        if (length - i < need) break;
        if (need == 2) {
            units[0] = (WCHAR)(((a & 0x1F) << 6) | (in[i + 1] & 0x3F));
        } else if (need == 3) {
            units[0] = (WCHAR)(((a & 0x0F) << 12) | ((in[i + 1] & 0x3F) << 6) | (in[i + 2] & 0x3F));
        } else {
            unsigned long cp = ((unsigned long)(a & 0x07) << 18) | ((in[i + 1] & 0x3Ful) << 12) |
                               ((in[i + 2] & 0x3Ful) << 6) | (in[i + 3] & 0x3Ful);
            if (cp >= 0x10000 && cp <= 0x10FFFF) {
                cp -= 0x10000;
                units[0] = (WCHAR)(0xD800 | (cp >> 10));
                units[1] = (WCHAR)(0xDC00 | (cp & 0x3FF));
                unitCount = 2;
            } else {
                units[0] = (WCHAR)cp; // below 0x10000: an over-long form, still one unit
                if (cp > 0x10FFFF) units[0] = 0xFFFD;
            }
        }
        i += need;
        if (units[0] == 0) continue;

        // Whole characters only: a double-byte character is never split by the cut.
        char ansi[16];
        int made = WideCharToMultiByte(CP_ACP, 0, units, unitCount, ansi, sizeof ansi, nullptr,
                                       nullptr);
        if (made <= 0) continue;
        if (used + (unsigned)made >= capacity) break;
        for (int k = 0; k < made; ++k) out[used++] = ansi[k];
    }
    out[used] = 0;
    return used;
}
