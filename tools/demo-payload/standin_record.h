// What the demo payload's stand-ins leave beside themselves, for the demo's
// tree and the tests to read.
#pragma once
#include <stddef.h>

// Appends length bytes of text to fileName in the stand-in's own folder.
void AppendBesideSelf(const char* fileName, const char* text, size_t length);

// Appends to fileName beside the stand-in what it was started with: "cd=" and
// its current directory, then its environment, one variable a line (UTF-8),
// then an empty line.
void RecordSession(const char* fileName);
