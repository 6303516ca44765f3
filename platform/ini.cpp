#include "platform/ini.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <wctype.h>
#include <windows.h>

namespace {

// The profile functions read a number from a buffer of 30 characters.
const unsigned kNumberChars = 30;

// Blanks as the profile functions trim them: white space, and the DOS end of
// file mark.
bool IsBlank(wchar_t c) { return iswspace(c) || c == 0x1A; }

// The text as UTF-16, decoded as the profile functions decode a file: UTF-16
// after the mark FF FE, UTF-8 after EF BB BF, else the ANSI code page. Null
// (free it) when it cannot be had; *chars receives its length.
wchar_t* Decode(const unsigned char* bytes, size_t length, size_t* chars) {
    UINT codePage = CP_ACP;
    if (length >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        *chars = (length - 2) / sizeof(wchar_t);
        wchar_t* wide = (wchar_t*)malloc((*chars + 1) * sizeof(wchar_t));
        if (wide) memcpy(wide, bytes + 2, *chars * sizeof(wchar_t));
        return wide;
    }
    if (length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        codePage = CP_UTF8;
        bytes += 3;
        length -= 3;
    }
    *chars = 0;
    wchar_t* wide = (wchar_t*)malloc((length + 1) * sizeof(wchar_t));
    if (wide && length) *chars = (size_t)MultiByteToWideChar(codePage, 0, (const char*)bytes, (int)length, wide, (int)length);
    return wide;
}

// 1 when the text from begin to end is name, letter case aside.
bool Matches(const wchar_t* begin, const wchar_t* end, const char* name) {
    wchar_t wanted[64];
    int n = MultiByteToWideChar(CP_ACP, 0, name, -1, wanted, 64);
    return n > 1 && CompareStringOrdinal(begin, (int)(end - begin), wanted, n - 1, TRUE) == CSTR_EQUAL;
}

// Finds key in the first section called section: *value and *end receive its
// value, blanks trimmed. False when there is none (a key line without '='
// has none either).
bool FindValue(const wchar_t* text, size_t chars, const char* section, const char* key, const wchar_t** value,
               const wchar_t** valueEnd) {
    const wchar_t* const end = text + chars;
    bool inSection = false;
    for (const wchar_t* line = text; line < end;) {
        const wchar_t* next = wmemchr(line, L'\n', (size_t)(end - line));
        next = next ? next + 1 : end;
        const wchar_t* a = line;
        const wchar_t* b = next;
        line = next;
        while (a < b && IsBlank(*a)) ++a;
        while (b > a && IsBlank(b[-1])) --b;
        if (a == b) continue;
        if (*a == L'[') {
            const wchar_t* close = b;
            while (close > a && close[-1] != L']') --close;
            if (close > a + 1) {
                // Only the first section of that name counts.
                if (inSection) return false;
                inSection = Matches(a + 1, close - 1, section);
                continue;
            }
        }
        if (!inSection) continue;
        const wchar_t* equals = wmemchr(a, L'=', (size_t)(b - a));
        const wchar_t* nameEnd = equals ? equals : b;
        while (nameEnd > a && IsBlank(nameEnd[-1])) --nameEnd;
        if (!Matches(a, nameEnd, key)) continue;
        if (!equals) return false;
        for (++equals; equals < b && IsBlank(*equals);) ++equals;
        *value = equals;
        *valueEnd = b;
        return true;
    }
    return false;
}

// The value of key as UTF-16 into out (room for size characters, terminated),
// enclosing quotes taken off, cut to size - 1 characters. Returns its length.
size_t ReadValue(const void* text, size_t length, const char* section, const char* key, wchar_t* out,
                 size_t size) {
    out[0] = L'\0';
    size_t chars = 0;
    wchar_t* wide = Decode((const unsigned char*)text, length, &chars);
    const wchar_t *value = nullptr, *end = nullptr;
    size_t n = 0;
    if (wide && section && key && FindValue(wide, chars, section, key, &value, &end)) {
        if (end - value >= 2 && (*value == L'"' || *value == L'\'') && end[-1] == *value) {
            ++value;
            --end;
        }
        n = (size_t)(end - value) < size - 1 ? (size_t)(end - value) : size - 1;
        memcpy(out, value, n * sizeof(wchar_t));
        out[n] = L'\0';
    }
    free(wide);
    return n;
}

} // namespace

unsigned IniTextString(const void* text, size_t length, const char* section, const char* key, char* out,
                       unsigned size) {
    if (!out || size == 0) return 0;
    out[0] = '\0';
    wchar_t* value = (wchar_t*)malloc(size * sizeof(wchar_t));
    if (!value) return 0;
    int chars = (int)ReadValue(text, length, section, key, value, size);
    // Whole characters only: fewer of them until they fit.
    int n = 0;
    while (chars > 0 && (n = WideCharToMultiByte(CP_ACP, 0, value, chars, out, (int)size - 1, nullptr, nullptr)) == 0)
        --chars;
    out[n] = '\0';
    free(value);
    return (unsigned)n;
}

unsigned IniTextInt(const void* text, size_t length, const char* section, const char* key, int fallback) {
    wchar_t value[kNumberChars];
    if (ReadValue(text, length, section, key, value, kNumberChars) == 0) return (unsigned)fallback;
    const wchar_t* p = value;
    while (*p && *p <= L' ') ++p;
    bool negative = *p == L'-';
    if (*p == L'-' || *p == L'+') ++p;
    unsigned base = 10;
    if (p[0] == L'0' && (p[1] == L'b' || p[1] == L'o' || p[1] == L'x')) {
        base = p[1] == L'b' ? 2 : p[1] == L'o' ? 8 : 16;
        p += 2;
    }
    unsigned number = 0;
    for (;; ++p) {
        unsigned digit = *p >= L'0' && *p <= L'9'   ? (unsigned)(*p - L'0')
                         : *p >= L'a' && *p <= L'z' ? (unsigned)(*p - L'a' + 10)
                         : *p >= L'A' && *p <= L'Z' ? (unsigned)(*p - L'A' + 10)
                                                     : 99u;
        if (digit >= base) break;
        number = number * base + digit;
    }
    return negative ? 0u - number : number;
}
