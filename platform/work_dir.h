// The setup's work directory, <system drive>:\tmp\<prefix><n>.
#pragma once
#include <stddef.h>

#include "platform/handle.h"

// What keeps the work directory the one that was checked. Each handle shares
// no deletion, so while it is open nobody renames or replaces what it holds.
struct HeldWorkDir {
    ScopedHandle tmp;       // <system drive>:\tmp itself (the link, where it is one)
    ScopedHandle tmpTarget; // where a link at \tmp that an administrator made leads
    ScopedHandle dir;       // the work directory
};

// Makes <system drive>:\tmp\<prefix><n> (n is the tick count when tick is set,
// else 0) and puts its path into buffer. \tmp is used when it is a real
// directory (made, protected, when missing) or a link that only Administrators
// and SYSTEM control; the path is then the one below where that link leads.
// An existing work directory is kept only when only Administrators and SYSTEM
// control it and all below it, and it can be made trustworthy (work_dir_trust.h);
// with emptyIt its files are deleted first (sub-directories stay). Anything
// else of that name is renamed aside and removed, and the directory made
// afresh with the protected descriptor. With held given, it receives the
// handles that keep both places as they were checked.
// Returns 1, or 0 (with a setup log line where a link was refused) when the
// path does not fit or no trustworthy directory can be had.
int CreateWorkDir(char* buffer, size_t size, const char* prefix, int tick, int emptyIt,
                  HeldWorkDir* held = nullptr);
