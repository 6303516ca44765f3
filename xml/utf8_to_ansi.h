// UTF-8 to the ANSI code page, for the texts of the customisation documents:
// they are stored in UTF-8, and the program holds every string in the ANSI
// code page (GBK on Chinese systems).
#pragma once

// Converts length bytes of UTF-8 text at bytes into out, a buffer of capacity
// bytes, and NUL-terminates it (when capacity is not 0). Returns the number of
// bytes stored before the terminator.
//
// A byte from 0x01 to 0x7F is copied. A lead byte from 0xC0 to 0xDF starts a
// two-byte sequence and one from 0xF0 to 0xF7 a four-byte sequence (a UTF-16
// surrogate pair); any other byte starts a three-byte sequence a, b, c read as
// the unit ((a & 0x0F) << 12) | ((b & 0x3F) << 6) | (c & 0x3F), continuation bits
// unchecked, as the documents' writers always emitted it. Each unit is converted
// with WideCharToMultiByte (CP_ACP); a unit that has no ANSI form becomes the
// code page's default character, and a unit of 0 is dropped.
//
// A sequence cut short by the end of the input is dropped: nothing past
// bytes + length is ever read. The output holds only whole characters: the
// conversion stops at the first one that no longer fits before the terminator.
unsigned Utf8ToAnsi(const char* bytes, unsigned length, char* out, unsigned capacity);
