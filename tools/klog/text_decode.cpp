#include "text_decode.h"

#include <stdint.h>

#include "display_text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace klog {

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// Windows-1252's bytes 0x80-0x9F; 0 where the code page has none.
const uint16_t k1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Appends the UTF-8 bytes of code point c.
void AppendCodePoint(uint32_t c, std::string* out) {
    if (c < 0x80) {
        out->push_back((char)c);
    } else if (c < 0x800) {
        out->push_back((char)(0xC0 | (c >> 6)));
        out->push_back((char)(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back((char)(0xE0 | (c >> 12)));
        out->push_back((char)(0x80 | ((c >> 6) & 0x3F)));
        out->push_back((char)(0x80 | (c & 0x3F)));
    } else {
        out->push_back((char)(0xF0 | (c >> 18)));
        out->push_back((char)(0x80 | ((c >> 12) & 0x3F)));
        out->push_back((char)(0x80 | ((c >> 6) & 0x3F)));
        out->push_back((char)(0x80 | (c & 0x3F)));
    }
}

// Whether every byte of s belongs to a valid UTF-8 sequence.
bool IsUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        size_t len = tools::Utf8SequenceAt(s, i);
        if (!len) return false;
        i += len;
    }
    return true;
}

// Windows-1252 bytes as UTF-8; its five unassigned bytes become U+FFFD.
std::string From1252(const std::string& s) {
    std::string out;
    out.reserve(s.size() + s.size() / 2);
    for (unsigned char c : s) {
        uint32_t cp = c >= 0x80 && c < 0xA0 ? k1252High[c - 0x80] : c;
        if (cp == 0)
            out += kReplacement;
        else
            AppendCodePoint(cp, &out);
    }
    return out;
}

// GBK to UTF-8 with the system's converter; false when the bytes are no GBK.
bool FromGbk(const std::string& s, std::string* out) {
#ifdef _WIN32
    if (s.size() > 0x7FFFFFF) return false;
    int wide = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, s.data(), (int)s.size(), nullptr, 0);
    if (wide <= 0) return false;
    std::wstring w((size_t)wide, L'\0');
    MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, s.data(), (int)s.size(), &w[0], wide);
    int bytes = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return false;
    out->assign((size_t)bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, &(*out)[0], bytes, nullptr, nullptr);
    return true;
#else
    // Opened once: opening loads the converter, which would cost more than
    // the conversion of a line. klog is one thread.
    static iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == (iconv_t)-1) return false;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string result(s.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(s.data());
    size_t inLeft = s.size();
    char* o = &result[0];
    size_t outLeft = result.size();
    size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
    if (r == (size_t)-1 || inLeft != 0) return false;
    result.resize(result.size() - outLeft);
    out->swap(result);
    return true;
#endif
}

// The decoded text as it may be shown, its line breaks kept.
std::string Tame(const std::string& s) { return tools::DisplayText(s, true); }

}  // namespace

std::string ToUtf8(const std::string& bytes, CodePage page) {
    std::string decoded;
    if (page == kCodePage1252) return Tame(From1252(bytes));
    if (page == kCodePageAuto && IsUtf8(bytes)) return Tame(bytes);
    if (FromGbk(bytes, &decoded)) return Tame(decoded);
    if (page == kCodePageGbk) {
        // Not all GBK: decode what is ASCII, replace the rest.
        std::string out;
        for (unsigned char c : bytes) {
            if (c < 0x80)
                out.push_back((char)c);
            else
                out += kReplacement;
        }
        return Tame(out);
    }
    return Tame(From1252(bytes));
}

std::string ShowName(const std::string& bytes) { return tools::DisplayText(bytes); }

std::string ShowArgument(const std::string& bytes) {
#ifdef _WIN32
    // Windows hands a program its arguments in the ANSI code page.
    const int wide = MultiByteToWideChar(CP_ACP, 0, bytes.data(), (int)bytes.size(), nullptr, 0);
    if (wide > 0) {
        std::wstring w((size_t)wide, L'\0');
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), (int)bytes.size(), &w[0], wide);
        const int size = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
        if (size > 0) {
            std::string utf8((size_t)size, '\0');
            WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, &utf8[0], size, nullptr, nullptr);
            return tools::DisplayText(utf8);
        }
    }
#endif
    return tools::DisplayText(bytes);
}

bool ParseCodePage(const std::string& text, CodePage* page) {
    if (text == "auto") *page = kCodePageAuto;
    else if (text == "936" || text == "gbk" || text == "GBK") *page = kCodePageGbk;
    else if (text == "1252") *page = kCodePage1252;
    else return false;
    return true;
}

}  // namespace klog
