#include "xml/xml_nesting.h"

#include <ctype.h>
#include <string.h>

// Each rule below restates what TinyXML 2.6's parser does at the same place
// (tinyxmlparser.cpp), with the same runtime character classes, so that both
// see the same markup at the same positions. Where TinyXML reports an error it
// abandons the whole parse, so the walk may stop there as well.

namespace {

bool IsSpace(unsigned char c) { return isspace(c) || c == '\n' || c == '\r'; }

// TinyXML counts every byte from 127 up as a letter.
bool IsNameStart(unsigned char c) { return (c < 127 ? isalpha(c) != 0 : true) || c == '_'; }

bool IsNameChar(unsigned char c) {
    return (c < 127 ? isalnum(c) != 0 : true) || c == '_' || c == '-' || c == '.' || c == ':';
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Bytes that TinyXML's UTF-8 character reader takes for the character at c.
int Utf8Length(unsigned char c) {
    if (c < 0xC2) return 1;
    if (c < 0xE0) return 2;
    if (c < 0xF0) return 3;
    if (c < 0xF5) return 4;
    return 1;
}

bool StartsWith(const char* p, const char* tag) {
    while (*tag && *p == *tag) ++p, ++tag;
    return *tag == 0;
}

// Case-insensitive for the ASCII letters of tag, as TinyXML compares "<?xml".
bool StartsWithNoCase(const char* p, const char* tag) {
    while (*tag && *p && tolower((unsigned char)*p) == tolower((unsigned char)*tag)) ++p, ++tag;
    return *tag == 0;
}

class NestingWalk {
public:
    // utf8: TinyXML reads UTF-8 from the start (the text has a byte order mark).
    // switchAfterDeclaration: it reads single bytes until the first top-level
    // declaration and UTF-8 after it (the declaration named UTF-8 or nothing).
    NestingWalk(unsigned maxDepth, bool utf8, bool switchAfterDeclaration)
        : maxDepth_(maxDepth), utf8_(utf8), switch_(switchAfterDeclaration) {}

    // 1 when the walk ends without passing maxDepth.
    int Within(const char* text);

private:
    const char* SkipSpace(const char* p) const;
    const char* NextTextChar(const char* p) const;
    const char* SkipAttribute(const char* p) const;
    const char* SkipDeclaration(const char* p) const;
    const char* SkipTo(const char* p, const char* end) const;

    unsigned maxDepth_;
    bool utf8_;
    bool switch_;
};

// TiXmlBase::SkipWhiteSpace: in UTF-8 also the byte order mark and the
// non-characters U+FFFE and U+FFFF.
const char* NestingWalk::SkipSpace(const char* p) const {
    while (*p) {
        const unsigned char* u = (const unsigned char*)p;
        if (utf8_ && u[0] == 0xEF &&
            ((u[1] == 0xBB && u[2] == 0xBF) || (u[1] == 0xBF && (u[2] == 0xBE || u[2] == 0xBF)))) {
            p += 3;
            continue;
        }
        if (!IsSpace(u[0])) break;
        ++p;
    }
    return p;
}

// TiXmlBase::GetChar inside text and quoted attribute values: a multi-byte
// UTF-8 character, or a character reference, which TinyXML takes whole up to
// its ';' whatever lies between "&#" and the digits before the ';' (a reference
// can therefore hide markup). Null where TinyXML gives up on a reference.
const char* NestingWalk::NextTextChar(const char* p) const {
    if (p[0] == '&' && p[1] == '#' && p[2]) {
        const char* semi;
        const char* q;
        if (p[2] == 'x') {
            if (!p[3]) return nullptr;
            semi = strchr(p + 3, ';');
            if (!semi) return nullptr;
            for (q = semi - 1; *q != 'x'; --q) {
                if (!IsHexDigit(*q)) return nullptr;
            }
        } else {
            semi = strchr(p + 2, ';');
            if (!semi) return nullptr;
            for (q = semi - 1; *q != '#'; --q) {
                if (*q < '0' || *q > '9') return nullptr;
            }
        }
        return semi + 1;
    }
    int n = utf8_ ? Utf8Length((unsigned char)*p) : 1;
    // TinyXML steps over a cut-short sequence into the NUL bytes behind the
    // text; stopping at the first NUL ends the walk at the same place.
    for (int i = 1; i < n; ++i) {
        if (!p[i]) return p + i;
    }
    return p + n;
}

// TiXmlAttribute::Parse, from the attribute's name. Null where TinyXML fails.
const char* NestingWalk::SkipAttribute(const char* p) const {
    p = SkipSpace(p);
    if (!IsNameStart((unsigned char)*p)) return nullptr;
    while (*p && IsNameChar((unsigned char)*p)) ++p;
    p = SkipSpace(p);
    if (*p != '=') return nullptr;
    p = SkipSpace(p + 1);
    if (!*p) return nullptr;
    if (*p == '\'' || *p == '"') {
        char quote = *p++;
        while (*p && *p != quote) {
            p = NextTextChar(p);
            if (!p) return nullptr;
        }
        return *p ? p + 1 : p;
    }
    while (*p && !IsSpace((unsigned char)*p) && *p != '/' && *p != '>') {
        if (*p == '\'' || *p == '"') return nullptr;
        ++p;
    }
    return p;
}

// TiXmlDeclaration::Parse, from "<?xml". Null where TinyXML fails.
const char* NestingWalk::SkipDeclaration(const char* p) const {
    p += 5;
    while (*p) {
        if (*p == '>') return p + 1;
        p = SkipSpace(p);
        if (!*p) break;
        if (StartsWithNoCase(p, "version") || StartsWithNoCase(p, "encoding") ||
            StartsWithNoCase(p, "standalone")) {
            p = SkipAttribute(p);
            if (!p) return nullptr;
        } else {
            while (*p && *p != '>' && !IsSpace((unsigned char)*p)) ++p;
        }
    }
    return nullptr;
}

// Past the first end, or at the terminator when there is none (comments and
// CDATA sections are read byte by byte).
const char* NestingWalk::SkipTo(const char* p, const char* end) const {
    while (*p && !StartsWith(p, end)) ++p;
    return *p ? p + strlen(end) : p;
}

int NestingWalk::Within(const char* text) {
    const char* p = text;
    unsigned depth = 0;
    bool switched = false;
    for (;;) {
        p = SkipSpace(p);
        if (!*p) return 1;
        if (*p != '<') {
            // The document level ends at anything but markup; inside an
            // element it is text up to the next '<'.
            if (depth == 0) return 1;
            while (*p && *p != '<') {
                p = NextTextChar(p);
                if (!p) return 1;
            }
            continue;
        }
        if (depth > 0 && p[1] == '/') {
            // The end tag of the open element (any other name is an error):
            // its name, white space, '>'.
            p += 2;
            while (*p && IsNameChar((unsigned char)*p)) ++p;
            p = SkipSpace(p);
            if (*p != '>') return 1;
            ++p;
            --depth;
            continue;
        }
        // TiXmlNode::Identify, in TinyXML's order.
        if (StartsWithNoCase(p, "<?xml")) {
            p = SkipDeclaration(p);
            if (!p) return 1;
            if (depth == 0 && switch_ && !switched) {
                switched = true;
                utf8_ = true;
            }
        } else if (StartsWith(p, "<!--")) {
            p = SkipTo(p + 4, "-->");
        } else if (StartsWith(p, "<![CDATA[")) {
            p = SkipTo(p + 9, "]]>");
        } else if (p[1] == '!' || !IsNameStart((unsigned char)p[1])) {
            p = SkipTo(p + 1, ">");
        } else {
            // TiXmlElement::Parse: name, attributes, then "/>" or '>'.
            p = SkipSpace(p + 1);
            if (!IsNameStart((unsigned char)*p)) return 1;
            while (*p && IsNameChar((unsigned char)*p)) ++p;
            for (;;) {
                p = SkipSpace(p);
                if (!*p) return 1;
                if (*p == '/') {
                    if (p[1] != '>') return 1;
                    p += 2;
                    break;
                }
                if (*p == '>') {
                    ++p;
                    if (++depth > maxDepth_) return 0;
                    break;
                }
                p = SkipAttribute(p);
                if (!p || !*p) return 1;
            }
        }
    }
}

} // namespace

int XmlNestingWithin(const char* text, unsigned maxDepth) {
    if (!text) return 1;
    const unsigned char* u = (const unsigned char*)text;
    if (u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF) {
        return NestingWalk(maxDepth, true, false).Within(text);
    }
    // Without a byte order mark TinyXML reads single bytes until the first
    // top-level declaration, and after it either single bytes or UTF-8,
    // depending on the encoding it names: walk both ways.
    return NestingWalk(maxDepth, false, false).Within(text) &&
           NestingWalk(maxDepth, false, true).Within(text);
}
