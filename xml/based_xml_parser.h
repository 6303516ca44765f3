// CBasedTXmlParser: the program's one layer over TinyXML. It owns one parsed
// document, remembers its root element and a current element (the cursor), and
// reads simple child elements of the cursor: elements that hold only a text.
//
// A derived class loads the document and moves the cursor (for instance to a
// section element under msg/content) before it reads. No operation reports an
// error other than through its output: anything missing reads as empty or 0.
#pragma once
#include <stddef.h>
#include <stdint.h>

#ifdef TIXML_USE_STL
#error "TinyXML is built without TIXML_USE_STL here; every user must agree on its layout"
#endif
#include <tinyxml.h>

#include "integrity/vrf_file.h"

// Largest document file that is loaded: the largest file that can pass its
// verification. Every document the setup reads is verified just before or
// after the read, so a larger one could never be trusted anyway. The bound
// also bounds TinyXML's recursion (a few stack frames per nested element, in
// parsing and in freeing the document): Setup.exe's stack reserve is measured
// against the deepest document of this size.
const unsigned long kMaxXmlFileSize = kVrfMaxGuardedSize;

class CBasedTXmlParser {
public:
    CBasedTXmlParser();
    virtual ~CBasedTXmlParser();

    // Replaces the document by the class's empty document and moves the cursor
    // into it. The base class has no document of its own and does nothing.
    virtual void NewXml();

    // Copies into out (outSize bytes, always NUL-terminated when outSize is not
    // 0) the text of the cursor's first child element called name, as stored
    // (UTF-8), cut to maxLen bytes when maxLen is not 0 and always to
    // outSize - 1. The text is that element's first child when it is a text
    // node. A missing cursor, name or element, or an element without text, gives
    // "". Returns the number of bytes stored.
    unsigned GetNV1(const char* name, char* out, unsigned outSize, unsigned short maxLen);

    // That text read as a base-10 signed number (strtol: leading white space
    // and a sign accepted, stops at the first non-digit); 0 when it is empty.
    void GetNVInt(const char* name, int32_t* out);

    // The same with the unsigned conversion (strtoul).
    void GetNVUInt(const char* name, uint32_t* out);

    // That text cut to maxLen bytes (when not 0), then converted from UTF-8 to
    // the ANSI code page into out with Utf8ToAnsi, whole characters only. ""
    // when the text is empty. Returns the number of bytes stored.
    unsigned GetNVStr(const char* name, char* out, unsigned outSize, unsigned short maxLen);

protected:
    // Empties the document and sets both pointers to none.
    void ResetDocument();

    // Loads the document from the file at path, with TinyXML's automatic
    // encoding detection. 1 when the file was read and parsed; 0 otherwise (no
    // such file, empty, larger than kMaxXmlFileSize, malformed), and then the
    // document is empty and both
    // pointers are none. The cursor is none after a successful load too.
    int LoadDocument(const char* path);

    // Loads the document from size bytes of a file already read (a verified
    // customisation file, parsed from the very bytes that verified); the same
    // results as LoadDocument.
    int LoadDocumentBytes(const void* bytes, size_t size);

    // Parses text as the document; same results as LoadDocument. The text is
    // the program's own (a class's empty document) or a loaded file's.
    int ParseDocument(const char* text);

    // Moves the cursor to the element reached from the document through the
    // first child element called names[0], in it the first called names[1],
    // and so on; the cursor becomes none when any of them is missing.
    void MoveCursor(const char* const* names, int count);

    // The text that the getters read (null when there is none).
    const char* FindText(const char* name) const;
    // That text with its length in bytes, cut to maxLen when maxLen is not 0.
    const char* FindCutText(const char* name, unsigned short maxLen, size_t* length) const;

    TiXmlDocument doc_;
    TiXmlElement* root_;    // the document's first top-level element, or null
    TiXmlElement* current_; // the cursor, or null

private:
    // Pads, normalises and parses text (malloc'ed, size bytes of a file with
    // room for the padding behind them), then frees it.
    int ParsePadded(char* text, size_t size);

    CBasedTXmlParser(const CBasedTXmlParser&) = delete;
    CBasedTXmlParser& operator=(const CBasedTXmlParser&) = delete;
};
