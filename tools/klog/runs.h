// Cutting a folder's entries into runs of Setup.exe.
//
// Setup.exe is one thread, so every line of one run carries one thread tag.
// A run begins with its free-space line in the setup log and ends with "Exit
// main"; a run refused at a start-up check, killed or cut off has no "Exit
// main". The other logs' lines join the run of their thread whose time span
// holds them. The administrator check writes only when it fails, and a run
// whose check failed never reaches its free-space line, so its lines form a
// run of their own.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "known_lines.h"
#include "log_folder.h"

namespace klog {

struct Run {
    uint32_t thread = 0;
    bool started = false;        // holds its free-space line
    bool ended = false;          // holds "Exit main"
    bool adminCheck = false;     // only the administrator check's lines
    std::vector<size_t> entries; // indexes into the folder's entries, in the order written
};

struct RunSet {
    std::vector<LineInfo> info;  // per entry of the folder
    std::vector<Run> runs;       // by the time of their first line
};

// A run whose last line is longer ago than this takes no later line of its
// thread: the thread identifier belongs to another process by then.
const int64_t kRunSilenceLimit = 12 * 3600;

// Classifies every entry of the folder and groups the entries into runs.
RunSet GroupRuns(const LogFolder& folder);

}  // namespace klog
