// Setup.exe's operator new, which returns null when memory runs out.
#pragma once
#include <stddef.h>

// Where operator new takes its memory; null means malloc. Tests set it to make
// an allocation fail.
extern void* (*g_allocate)(size_t size);
