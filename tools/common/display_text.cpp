#include "display_text.h"

#include <stdint.h>

namespace tools {

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// The code point of the valid len-byte UTF-8 sequence at p.
uint32_t CodePoint(const unsigned char* p, size_t len) {
    uint32_t cp = len == 1 ? p[0] : len == 2 ? (p[0] & 0x1F) : len == 3 ? (p[0] & 0x0F) : (p[0] & 0x07);
    for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (p[k] & 0x3F);
    return cp;
}

// Whether a code point must not reach a terminal: C0 and C1 controls, DEL,
// and the bidi embeddings, overrides and isolates, which could show a name
// in another order than its bytes.
bool Steers(uint32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp < 0xA0) || (cp >= 0x202A && cp <= 0x202E) ||
           (cp >= 0x2066 && cp <= 0x2069);
}

}  // namespace

size_t Utf8SequenceAt(const std::string& s, size_t i) {
    const unsigned char c = (unsigned char)s[i];
    const size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || len > s.size() - i) return 0;
    for (size_t k = 1; k < len; ++k)
        if (((unsigned char)s[i + k] & 0xC0) != 0x80) return 0;
    static const uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    const uint32_t cp = CodePoint((const unsigned char*)s.data() + i, len);
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

std::string DisplayText(const std::string& bytes, bool multiline) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const size_t len = Utf8SequenceAt(bytes, i);
        if (len == 0) {
            out += kReplacement;
            ++i;
            continue;
        }
        const char c = bytes[i];
        const bool kept = multiline && (c == '\t' || c == '\n' ||
                                        (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'));
        if (!kept && Steers(CodePoint((const unsigned char*)bytes.data() + i, len)))
            out += kReplacement;
        else
            out.append(bytes, i, len);
        i += len;
    }
    return out;
}

size_t DisplayWidth(const std::string& utf8) {
    size_t width = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80) ++width;
    return width;
}

}  // namespace tools
