// klog fleet: one KivraLog folder per machine, named after the machine, and
// of each the last run.
#pragma once
#include <stddef.h>

#include <string>
#include <utility>
#include <vector>

#include "report.h"

namespace klog {

struct MachineReport {
    std::string machine;     // the folder's name (its parent's when the folder is called KivraLog), shown
    std::string folder;      // as given, shown (ShowName)
    bool missing = false;    // the folder could not be listed
    std::string error;       // then why
    size_t files = 0, runs = 0;
    bool hasRun = false;
    RunReport last;          // the run that started last
};

// The outcome identifiers of machines without a judged run.
extern const char kNoRuns[];       // a folder that holds no run
extern const char kUnreadable[];   // a folder that cannot be listed

// The machine's name for a folder path.
std::string MachineName(const std::string& folder);

// Reads and judges one machine's folder, or the KivraLog folder in it.
MachineReport AnalyseMachine(const std::string& folder, CodePage page);

// The outcome identifier of a machine: its last run's, or kNoRuns, kUnreadable.
const char* MachineOutcome(const MachineReport& machine);

// How many machines have each outcome: every outcome identifier, kNoRuns and
// kUnreadable, in that fixed order, zeros included.
std::vector<std::pair<std::string, size_t>> CountOutcomes(const std::vector<MachineReport>& machines);

}  // namespace klog
