// A bound on the element nesting of a document, checked before TinyXML parses it.
//
// TinyXML parses and frees elements recursively, a few stack frames per level,
// so a document nested deeply enough (a few bytes per level) would overflow the
// stack of the process. The check walks the text the way TinyXML's parser would
// walk it, without recursion, and never counts fewer levels than TinyXML would
// enter; where TinyXML would stop at an error, the walk stops too.
#pragma once

// Documents nest msg/content/section/value; anything near this deep is not a
// settings document, and the stack TinyXML needs for it stays small.
const unsigned kMaxXmlNesting = 256;

// 1 when TinyXML, parsing the NUL-terminated text with automatic encoding
// detection, would not open more than maxDepth nested elements; 0 otherwise.
// The text must be followed by at least 3 more NUL bytes (TinyXML's UTF-8
// character reader can step up to 3 bytes past a truncated sequence).
int XmlNestingWithin(const char* text, unsigned maxDepth);
