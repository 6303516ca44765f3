// Paths are joined with "%s\%s" into fixed buffers of the caller, and split
// again at their last backslash.
#pragma once
#include <stddef.h>

// Writes "dir\name" into out. Returns 1, or 0 (out emptied) when it does not fit.
int JoinPath(char* out, size_t size, const char* dir, const char* name);

// Splits path at its last backslash: dir receives what comes before it (the
// whole path's room is enough) and the result is the file name after it; with
// no backslash, dir is "" and the name is the whole path.
const char* SplitAtLastBackslash(const char* path, char* dir);
