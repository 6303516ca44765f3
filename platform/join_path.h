// Paths are joined with "%s\%s" into fixed buffers of the caller.
#pragma once
#include <stddef.h>

// Writes "dir\name" into out. Returns 1, or 0 (out emptied) when it does not fit.
int JoinPath(char* out, size_t size, const char* dir, const char* name);
