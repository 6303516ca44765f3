#include "pack/pack_format.h"

#include <string.h>

namespace pack {

void MixBuffer(void* buffer, size_t length) {
    unsigned char* p = static_cast<unsigned char*>(buffer);
    // Eight bytes at a time: the negation of each byte is its complement plus
    // one, added per byte so that no carry crosses into the next byte.
    const uint64_t low7 = 0x7F7F7F7F7F7F7F7FULL;
    const uint64_t high = 0x8080808080808080ULL;
    const uint64_t ones = 0x0101010101010101ULL;
    while (length >= 8) {
        uint64_t w;
        memcpy(&w, p, 8);
        uint64_t c = ~w;
        w = ((c & low7) + ones) ^ (c & high);
        memcpy(p, &w, 8);
        p += 8;
        length -= 8;
    }
    for (; length > 0; --length, ++p) *p = (unsigned char)(0u - *p);
}

uint32_t ReadLe32(const unsigned char* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

void WriteLe32(unsigned char* p, uint32_t value) {
    p[0] = (unsigned char)value;
    p[1] = (unsigned char)(value >> 8);
    p[2] = (unsigned char)(value >> 16);
    p[3] = (unsigned char)(value >> 24);
}

int IsEndName(const char* name, size_t length) {
    return name && length == kEndNameLen && memcmp(name, kEndName, kEndNameLen) == 0;
}

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c; }

bool SameLetters(const char* a, size_t length, const char* word) {
    for (size_t i = 0; i < length; ++i)
        if (word[i] == '\0' || Upper(a[i]) != word[i]) return false;
    return word[length] == '\0';
}

// Windows opens a device, not a file, for these names, whatever the extension
// and in any directory: "NUL.txt" and "sub\COM1" are devices too.
bool IsDeviceName(const char* part, size_t length) {
    size_t stem = 0;
    while (stem < length && part[stem] != '.') ++stem;
    while (stem > 0 && part[stem - 1] == ' ') --stem;
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices)
        if (SameLetters(part, stem, device)) return true;
    if (stem == 4 && part[3] >= '0' && part[3] <= '9' &&
        (SameLetters(part, 3, "COM") || SameLetters(part, 3, "LPT")))
        return true;
    return false;
}

bool IsSafePart(const char* part, size_t length) {
    if (length == 0) return false;
    char last = part[length - 1];
    // Windows drops trailing dots and blanks, so "..", ". ." or "x." would name
    // something other than what the record says.
    if (last == '.' || last == ' ') return false;
    return !IsDeviceName(part, length);
}

} // namespace

int IsSafeRecordName(const char* name, size_t length, int allowSubDir) {
    if (!name || length == 0) return 0;
    size_t partStart = 0;
    for (size_t i = 0; i <= length; ++i) {
        if (i < length) {
            unsigned char c = (unsigned char)name[i];
            if (c < 0x20 || c == 0x7F || strchr(":<>\"|?*", c)) return 0;
            if (c != '\\' && c != '/') continue;
            if (!allowSubDir) return 0;
        }
        if (!IsSafePart(name + partStart, i - partStart)) return 0;
        partStart = i + 1;
    }
    return 1;
}

} // namespace pack
