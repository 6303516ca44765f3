// The outcome of one run of Setup.exe, judged from its lines.
//
// Only what the lines prove counts: a run is "installed" only when the setup
// saw its installer start and end and ended with "Exit main" without a
// failure line. Each outcome and warning has a stable identifier (the JSON
// schema in docs/klog-json.md lists them).
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "runs.h"

namespace klog {

enum Outcome {
    kInstalled,          // the installer was seen, ran and ended
    kInstallerNotSeen,   // handed over, but the installer was never seen running
    kFailed,             // "install failed with Err N."
    kPasswordRefused,    // the password dialog ended without the right password
    kRefusedLowDisk,     // less than 300 MB free on the system disk
    kRefusedUpdater,     // only the start-up line: the customisation updater was running
    kRefusedNotAdmin,    // the administrator check failed
    kUnfinished,         // no "Exit main": killed, crashed, lost power, or still running
    kPartial,            // part of the run's lines are missing from the folder
    kOutcomeCount
};

// What the run shows of the password dialog.
enum Password { kDialogNotShown, kDialogShown, kDialogAccepted, kDialogRefused, kDialogUnknown };

struct Warning {
    std::string kind;    // stable identifier, e.g. "archive-not-extracted"
    std::string text;    // one sentence for a person
};

struct Verdict {
    Outcome outcome = kPartial;
    std::string summary;               // the outcome in one line, with its figures
    std::string detail;                // a second line: the code's meaning, or what is known
    std::string check;                 // what to check, for a failure
    int64_t code = -1;                 // the failure code, -1 when none
    std::string drive;                 // from the free-space line
    int64_t freeSpaceMb = -1;          // -1 when the line is missing
    Password password = kDialogUnknown;
    bool msi = false;                  // the payload came from the KivraSetup.msi copy
    int64_t installerSeenAfter = -1;   // n of "is-stp started at n"
    int64_t installerRanFor = -1;      // m of "is-stp ended at m."
    std::vector<Warning> warnings;
    std::vector<size_t> evidence;      // entries that show the outcome and the warnings, in order
    std::vector<size_t> unknown;       // entries klog does not know, shown as they are
};

// The stable identifier of an outcome ("installed", "failed", ...).
const char* OutcomeId(Outcome outcome);
// The outcome in a few words, for tables.
const char* OutcomeTitle(Outcome outcome);
const char* PasswordId(Password password);

// Judges one run of the set.
Verdict JudgeRun(const LogFolder& folder, const RunSet& set, const Run& run);

}  // namespace klog
