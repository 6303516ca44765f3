// Settings-file (private profile INI) reads.
#pragma once

// Reads section/key of file (at most 127 characters, default "") and copies a
// non-empty value into out. Returns the length read; 0 for a missing argument or
// an out buffer of 128 bytes or less.
unsigned IniReadString(const char* file, const char* section, const char* key, char* out,
                       unsigned size);
