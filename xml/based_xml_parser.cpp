#include "xml/based_xml_parser.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "platform/fs.h"
#include "platform/handle.h"
#include "xml/utf8_to_ansi.h"

namespace {

// NUL bytes behind a loaded text: TinyXML's UTF-8 character reader takes a
// lead byte's whole sequence length without looking for the terminator, so a
// document ending in a cut-short sequence makes it step up to 3 bytes past it.
const unsigned kTextPadding = 8;

// Line ends as TinyXML's own file loader treats them (XML's end-of-line
// handling): CR LF and a lone CR become LF. The text ends at its first NUL.
void NormaliseLineEnds(char* text) {
    const char* p = text;
    char* q = text;
    while (*p) {
        if (*p == '\r') {
            *q++ = '\n';
            if (*++p == '\n') ++p;
        } else {
            *q++ = *p++;
        }
    }
    *q = 0;
}

} // namespace

CBasedTXmlParser::CBasedTXmlParser() : root_(nullptr), current_(nullptr) {}

CBasedTXmlParser::~CBasedTXmlParser() {}

void CBasedTXmlParser::NewXml() {}

void CBasedTXmlParser::ResetDocument() {
    doc_.Clear();
    doc_.ClearError();
    root_ = nullptr;
    current_ = nullptr;
}

int CBasedTXmlParser::ParseDocument(const char* text) {
    ResetDocument();
    if (!text) return 0;
    doc_.Parse(text, nullptr, TIXML_DEFAULT_ENCODING);
    if (doc_.Error()) {
        ResetDocument();
        return 0;
    }
    root_ = doc_.RootElement();
    return 1;
}

int CBasedTXmlParser::ParsePadded(char* text, size_t size) {
    memset(text + size, 0, kTextPadding);
    NormaliseLineEnds(text);
    int ok = ParseDocument(text);
    free(text);
    return ok;
}

int CBasedTXmlParser::LoadDocument(const char* path) {
    ResetDocument();
    if (!path || !*path) return 0;
    // The whole file is read here rather than by TinyXML's loader, so that its
    // size is bounded and the text gets the padding described above.
    ScopedHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return 0;
    DWORD high = 0;
    DWORD size = GetFileSize(file.Get(), &high);
    if ((size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0 || size == 0 ||
        size > kMaxXmlFileSize) {
        return 0;
    }
    char* text = (char*)malloc(size + kTextPadding);
    if (!text) return 0;
    if (!ReadExactly(file.Get(), text, size)) {
        free(text);
        return 0;
    }
    return ParsePadded(text, size);
}

int CBasedTXmlParser::LoadDocumentBytes(const void* bytes, size_t size) {
    ResetDocument();
    if (!bytes || size == 0 || size > kMaxXmlFileSize) return 0;
    char* text = (char*)malloc(size + kTextPadding);
    if (!text) return 0;
    memcpy(text, bytes, size);
    return ParsePadded(text, size);
}

void CBasedTXmlParser::MoveCursor(const char* const* names, int count) {
    TiXmlNode* node = &doc_;
    for (int i = 0; i < count && node; ++i) node = node->FirstChildElement(names[i]);
    current_ = node ? node->ToElement() : nullptr;
}

const char* CBasedTXmlParser::FindText(const char* name) const {
    if (!current_ || !name) return nullptr;
    const TiXmlElement* element = current_->FirstChildElement(name);
    if (!element) return nullptr;
    const TiXmlNode* first = element->FirstChild();
    const TiXmlText* text = first ? first->ToText() : nullptr;
    return text ? text->Value() : nullptr;
}

const char* CBasedTXmlParser::FindCutText(const char* name, unsigned short maxLen,
                                          size_t* length) const {
    const char* text = FindText(name);
    *length = text ? strlen(text) : 0;
    if (maxLen != 0 && *length > maxLen) *length = maxLen;
    return text;
}

unsigned CBasedTXmlParser::GetNV1(const char* name, char* out, unsigned outSize,
                                  unsigned short maxLen) {
    if (!out || outSize == 0) return 0;
    size_t length = 0;
    const char* text = FindCutText(name, maxLen, &length);
    if (length > outSize - 1) length = outSize - 1;
    if (length) memcpy(out, text, length);
    out[length] = 0;
    return (unsigned)length;
}

void CBasedTXmlParser::GetNVInt(const char* name, int32_t* out) {
    if (!out) return;
    const char* text = FindText(name);
    *out = (text && *text) ? (int32_t)strtol(text, nullptr, 10) : 0;
}

void CBasedTXmlParser::GetNVUInt(const char* name, uint32_t* out) {
    if (!out) return;
    const char* text = FindText(name);
    *out = (text && *text) ? (uint32_t)strtoul(text, nullptr, 10) : 0;
}

unsigned CBasedTXmlParser::GetNVStr(const char* name, char* out, unsigned outSize,
                                    unsigned short maxLen) {
    if (!out || outSize == 0) return 0;
    size_t length = 0;
    const char* text = FindCutText(name, maxLen, &length);
    return Utf8ToAnsi(text, (unsigned)length, out, outSize);
}
