// The end of a tool's run: standard output is flushed and closed, and a
// failure there (a full disk, a closed file) is a failure of the run, never
// a success with a cut-off report.
#pragma once

namespace tools {

// Flushes and closes standard output, checking both. Returns code; when
// standard output could not be written, says so on stderr, naming tool, and
// returns kExitIo unless code already tells of another failure.
int FinishStandardOutput(const char* tool, int code);

}  // namespace tools
