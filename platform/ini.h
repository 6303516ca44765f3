// Reading a few keys of a settings (INI) file whose bytes are already in
// memory, the way the system's profile functions (GetPrivateProfileString,
// GetPrivateProfileInt) read the file itself. The setup reads settings only
// from a customisation file that verified, and from the very bytes that
// verified; the profile functions would open the file by its name once more,
// and any user who may read it can lock it or wait for it to change.
#pragma once
#include <stddef.h>

// Copies the value of key in section of the text (length bytes: ANSI, or
// UTF-16 or UTF-8 behind their byte-order marks) into out, at most size - 1
// bytes of whole characters in the ANSI code page, one pair of enclosing
// quotes taken off; "" when the key is missing or out has no room. Only the
// first section of that name is searched, and the first key of that name in
// it, as the profile functions do. Returns the length stored.
unsigned IniTextString(const void* text, size_t length, const char* section, const char* key, char* out,
                       unsigned size);

// That value read as a number, as GetPrivateProfileInt reads it: its first 29
// characters, leading blanks, a sign, then decimal digits, or binary, octal or
// hexadecimal ones behind "0b", "0o" or "0x", up to the first other character.
// fallback when the key is missing or its value empty.
unsigned IniTextInt(const void* text, size_t length, const char* section, const char* key, int fallback);
