// The temporary files of a run, removed when the run is interrupted: Ctrl-C,
// a kill, a closed terminal or a closed pipe must not leave a half-written
// file beside the target. The process then ends as the signal would end it.
#pragma once

namespace tools {

// Adds path to the files removed on an interrupt, installing the handlers on
// first use. The string must stay unchanged until ForgetTemporary. Returns
// false when the table is full (a run writes one output at a time).
bool RegisterTemporary(const char* path);

// Takes path off the table: it was renamed into place or removed.
void ForgetTemporary(const char* path);

}  // namespace tools
