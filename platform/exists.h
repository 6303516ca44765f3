// Existence tests. A path that names a directory is not a file and vice versa;
// both take wildcard patterns.
#pragma once

// 1 when some entry matching path is not a directory.
int FileExists(const char* path);
// 1 when some entry matching path is a directory.
int DirExists(const char* path);

// 1 for "." and "..", the two names a directory listing gives for the
// directory itself and its parent.
int IsDotOrDotDot(const char* name);
