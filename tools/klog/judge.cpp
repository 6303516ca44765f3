#include "judge.h"

#include <stdio.h>

#include <algorithm>
#include <set>
#include <unordered_map>
#include <utility>

#include "codes.h"

namespace klog {

namespace {

// The setup waits at most this many 50 ms checks for its installer to show up.
const int64_t kInstallerStartChecks = 600;
// The start-up check's threshold, in MB.
const int64_t kMinFreeMb = 300;
const char kArchiverSuccess[] = "Everything is Ok";

const char* const kOutcomeIds[kOutcomeCount] = {
    "installed", "installer-not-seen", "failed", "password-refused", "refused-low-disk",
    "refused-updater", "refused-not-admin", "unfinished", "partial"};
const char* const kOutcomeTitles[kOutcomeCount] = {
    "installed", "installer not seen", "failed", "password refused", "refused: low disk",
    "refused: updater running", "refused: not administrator", "ended without \"Exit main\"", "partial logs"};

// Each outcome's sentences; the figures of some are filled in by Describe.
struct OutcomeText {
    const char* summary;
    const char* detail;
    const char* check;
};
const OutcomeText kOutcomeTexts[kOutcomeCount] = {
    {"installed: the installer was seen %s and ran %s",
     "about %lld s from its start to its end; the installer's own result is in its logs", ""},
    {"handed over, but the installer was never seen running (600 x 50 ms) and the setup ended",
     "KivraSetup.exe did not start, or ended at once: it may be damaged or blocked",
     "KivraSetup.exe in C:\\tmp\\KivraSetup0, a scanner's quarantine, the installer's own logs"},
    {"failed with code %lld", "a code that this setup does not use",
     "Which program wrote this folder: klog knows only this setup's codes."},
    {"password refused: the dialog ended without the right password; nothing was unpacked",
     "three wrong entries, Cancel, or the dialog closed", ""},
    {"refused at a start-up check: only %lld MB free on ", "", "Free space on the system disk."},
    {"refused at a start-up check: the customisation updater was running",
     "only the start-up line is left, which is all such a refusal writes; a run killed at that moment leaves the "
     "same",
     "UpdateCusInfo.exe: let it finish, then run the setup again."},
    {"refused at a start-up check: the administrator check failed",
     "the check itself failed, so the setup took the user for no administrator",
     "Run the setup as an administrator; the IsCurUserAdmin log names the failed call."},
    {"ended without \"Exit main\": the run was killed, crashed or lost power", "", ""},
    {"only part of this run is in the folder",
     "its start is not in these logs (an older file, or a missing setup log)", ""},
};

// "1 retry", "2 retries": a count with its noun.
std::string Count(long long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// printf into a string, for the sentences with figures.
std::string Format(const char* format, long long a = 0, long long b = 0) {
    char text[512];
    snprintf(text, sizeof text, format, a, b);
    return text;
}

// What one pass over a run's lines found.
struct Facts {
    size_t start = SIZE_MAX, exit = SIZE_MAX, failed = SIZE_MAX, begin = SIZE_MAX, accepted = SIZE_MAX;
    size_t dialog = SIZE_MAX, noDialog = SIZE_MAX, started = SIZE_MAX, ended = SIZE_MAX;
    size_t last = SIZE_MAX, lastSetup = SIZE_MAX;
    size_t setupLines = 0, otherLines = 0, sequenceLines = 0, msiRetries = 0;
    std::vector<int64_t> runnerErrors;  // the command runner's error codes (-1: none), in order
    size_t runnerErrorsUsed = 0;        // taken by archiver runs that did not run
};

// Whether a setup-log line belongs to the unpack-and-setup sequence rather than
// to the start-up, the password gate or the end.
bool IsSequenceLine(LineKind kind) {
    switch (kind) {
    case kFreeSpace: case kBeginUnpack: case kPasswordAccepted: case kMessageLoopError: case kExitMain:
        return false;
    default:
        return true;
    }
}

class Judge {
public:
    Judge(const LogFolder& folder, const RunSet& set, const Run& run) : folder_(folder), set_(set), run_(run) {}

    // Scans the run's lines once, decides its outcome and words it.
    Verdict Run() {
        pos_.reserve(run_.entries.size());
        for (size_t k = 0; k < run_.entries.size(); ++k) pos_.emplace(run_.entries[k], k);
        Scan();
        Decide();
        Describe();
        std::sort(v_.evidence.begin(), v_.evidence.end(), [&](size_t a, size_t b) { return Pos(a) < Pos(b); });
        v_.evidence.erase(std::unique(v_.evidence.begin(), v_.evidence.end()), v_.evidence.end());
        return v_;
    }

private:
    const LogFolder& folder_;
    const RunSet& set_;
    const klog::Run& run_;
    Verdict v_;
    Facts f_;
    std::unordered_map<size_t, size_t> pos_;               // entry to its position in the run
    std::set<std::pair<std::string, std::string>> warned_;  // the warnings given, kind and text

    // The position of an entry within the run.
    size_t Pos(size_t entry) const {
        auto it = pos_.find(entry);
        return it == pos_.end() ? run_.entries.size() : it->second;
    }
    // The classification of an entry.
    const LineInfo& Info(size_t entry) const { return set_.info[entry]; }
    // Whether an entry was read from a setup log.
    bool InSetupLog(size_t entry) const { return folder_.files[folder_.entries[entry].file].kind == kLogSetup; }
    // Adds an entry (none: SIZE_MAX) to the lines that show the verdict.
    void Show(size_t entry) {
        if (entry != SIZE_MAX) v_.evidence.push_back(entry);
    }
    // Adds a warning, once per text, and shows its entry.
    void Warn(const char* kind, const std::string& text, size_t entry) {
        if (warned_.emplace(kind, text).second) v_.warnings.push_back({kind, text});
        Show(entry);
    }

    // Walks the run's lines in order and gathers the facts.
    void Scan() {
        // The command runner's errors, in the order of the archiver runs they
        // belong to, whichever way a second's lines were ordered.
        for (size_t i : run_.entries) {
            LineKind kind = Info(i).kind;
            if (kind == kCmdPipeFailed || kind == kCmdProcessFailed) f_.runnerErrors.push_back(Info(i).number);
            if (kind == kCmdWaitFailed) f_.runnerErrors.push_back(-1);
        }
        size_t pendingCommand = SIZE_MAX;
        for (size_t i : run_.entries) {
            const LineInfo& info = Info(i);
            f_.last = i;
            if (folder_.entries[i].flags & kEntryTruncated)
                Warn("truncated-line", "a line of this run is cut off: its file ends inside it", i);
            if (!InSetupLog(i)) {
                ++f_.otherLines;
                ScanOther(i, info);
                continue;
            }
            ++f_.setupLines;
            f_.lastSetup = i;
            if (IsSequenceLine(info.kind)) ++f_.sequenceLines;
            if (pendingCommand != SIZE_MAX) {
                // The entry after an archiver command is its whole output; a
                // known line there means the archiver never ran.
                ArchiverResult(pendingCommand, info.kind == kUnknown ? i : SIZE_MAX);
                pendingCommand = SIZE_MAX;
                if (info.kind == kUnknown) continue;
            }
            ScanSetup(i, info, &pendingCommand);
        }
        if (pendingCommand != SIZE_MAX) ArchiverResult(pendingCommand, SIZE_MAX);
    }

    // Takes the facts of one setup-log line.
    void ScanSetup(size_t i, const LineInfo& info, size_t* pendingCommand) {
        switch (info.kind) {
        case kFreeSpace:
            if (f_.start == SIZE_MAX) {
                f_.start = i;
                v_.drive = info.text;
                v_.freeSpaceMb = info.number;
            }
            Show(i);
            break;
        case kBeginUnpack: f_.begin = i; Show(i); break;
        case kPasswordAccepted: f_.accepted = i; Show(i); break;
        case kExitMain: f_.exit = i; Show(i); break;
        case kInstallFailed: f_.failed = i; v_.code = info.number; Show(i); break;
        case kInstallerStarted: f_.started = i; v_.installerSeenAfter = info.number; Show(i); break;
        case kInstallerEnded: f_.ended = i; v_.installerRanFor = info.number; Show(i); break;
        case kMsiInstall: v_.msi = true; Show(i); break;
        case kMsiHasCopy: Show(i); break;
        case kMsiNoSourcePath:
            ++f_.msiRetries;
            Show(i);
            break;
        case kMsiNetworkProblem: case kMsiCopyUnusable: case kWorkDirLink: case kWorkDirElsewhere: case kPathLine:
        case kDialogFailed:
            Show(i);
            break;
        case kMsiCopyUntrusted:
            Warn("package-copy-untrusted",
                 info.text + " beside Setup.exe was not used: someone other than an administrator made it or may "
                             "change it (a user's planted file, or a copy an older setup left writable); the package "
                             "was copied anew from its source where that was reachable",
                 i);
            break;
        case kCarrierReplaced:
            Warn("carrier-replaced",
                 info.text + " was replaced by another file while the setup ran (renamed away and swapped), so "
                             "nothing was unpacked: run the setup again from a folder no other user can write",
                 i);
            break;
        case kMessageLoopError:
            Warn("message-loop-error", "the password dialog's message loop reported an error", i);
            break;
        case kManagecfgFail:
            Warn("managecfg-failed",
                 "UrlCmdCustomCfg.7z was not extracted (\"unpack managecfg fail!\"): the URL-command "
                 "customisation is missing; the setup does not report it",
                 i);
            break;
        case kArchiverCommand: *pendingCommand = i; break;
        case kUnknown: v_.unknown.push_back(i); break;
        default: break;
        }
    }

    // Takes the facts of one line of the other logs.
    void ScanOther(size_t i, const LineInfo& info) {
        switch (info.kind) {
        case kPromptNeedDialog: case kPromptOldRegTrue: f_.dialog = i; Show(i); break;
        case kPromptNo: f_.noDialog = i; break;
        case kPromptRepair: Repair(i, info); break;
        case kCusIniMovedFromOld:
            Warn("custom-files-restored",
                 "KivraCustom.ini and its companions were moved over from the old reginfo directory", i);
            break;
        case kCusCopyFailed:
            Warn("verification-failed", "moving " + info.text + " from the old reginfo directory failed", i);
            break;
        case kCmdPipeFailed: case kCmdProcessFailed: case kCmdWaitFailed: Show(i); break;
        case kProcListFailed:
            Warn("process-list-unreadable",
                 "the process list could not be read: a wait for the admission program or the installer may "
                 "have ended early",
                 i);
            break;
        case kDriveBufferTooSmall: Warn("drive-unknown", "the system drive could not be read; C: was used", i); break;
        case kUnpackErr: case kUnpackNameRefused: case kFileSizeFailed: Show(i); break;
        case kAdminCheckFailed: Show(i); break;
        case kUnknown: v_.unknown.push_back(i); break;
        default: break;
        }
    }

    // Warns about a repair of the customisation files, where it is worth a warning.
    void Repair(size_t i, const LineInfo& info) {
        switch (info.repair) {
        case kRepairRestored:
            Warn("custom-files-restored",
                 info.text + " did not verify and was restored from the backup in the system directory", i);
            break;
        case kRepairFailedAgain:
            Warn("verification-failed",
                 info.text + " did not verify, nor did its backup: the password decision did not trust it", i);
            break;
        case kRepairIncomplete:
            Warn("verification-failed",
                 info.text + " did not verify and its backup lacks the .vrf file: it was not trusted", i);
            break;
        case kRepairNoBackup:
            // Where no client or no customisation is installed, every file
            // fails this way: that is no warning.
            break;
        }
    }

    // An archiver run: command at command, its output entry at output (none:
    // SIZE_MAX). Qt.7z and tool.7z record 112 and go on, unlogged.
    void ArchiverResult(size_t command, size_t output) {
        const std::string& archive = Info(command).text;
        int64_t runnerError = -1;
        if (output == SIZE_MAX && f_.runnerErrorsUsed < f_.runnerErrors.size())
            runnerError = f_.runnerErrors[f_.runnerErrorsUsed++];
        bool ok = output != SIZE_MAX && folder_.entries[output].message.find(kArchiverSuccess) != std::string::npos;
        if (ok || archive == "UrlCmdCustomCfg.7z") return;  // that one announces itself
        std::string text = archive + " was not extracted: ";
        if (output == SIZE_MAX) {
            text += "the archiver could not be run";
            if (runnerError >= 0) {
                const CodeMeaning* m = RunnerCode(runnerError);
                text += Format(" (error %lld: ", runnerError) + (m ? m->meaning : kUnlistedRunnerCode) + ")";
            }
        } else {
            text += "the archiver's output lacks \"Everything is Ok\"";
        }
        text += "; code 112 was recorded but never reaches the log";
        Warn("archive-not-extracted", text, command);
        Show(output);
    }

    // Chooses the outcome and the password state from the facts.
    void Decide() {
        const bool started = f_.start != SIZE_MAX;
        if (run_.adminCheck) {
            v_.outcome = kRefusedNotAdmin;
        } else if (f_.failed != SIZE_MAX) {
            v_.outcome = kFailed;
        } else if (f_.exit != SIZE_MAX && f_.ended != SIZE_MAX) {
            v_.outcome = v_.installerSeenAfter >= kInstallerStartChecks && v_.installerRanFor == 0 ? kInstallerNotSeen
                                                                                                  : kInstalled;
        } else if (f_.exit != SIZE_MAX && started && f_.sequenceLines == 0 && f_.begin == SIZE_MAX &&
                   f_.accepted == SIZE_MAX && f_.noDialog == SIZE_MAX) {
            v_.outcome = kPasswordRefused;
        } else if (f_.exit != SIZE_MAX || !started) {
            v_.outcome = kPartial;
        } else if (f_.setupLines == 1 && f_.otherLines == 0 && v_.freeSpaceMb >= 0 && v_.freeSpaceMb < kMinFreeMb) {
            v_.outcome = kRefusedLowDisk;
        } else if (f_.setupLines == 1 && f_.otherLines == 0) {
            v_.outcome = kRefusedUpdater;
        } else {
            v_.outcome = kUnfinished;
        }
        if (v_.outcome == kPasswordRefused) v_.password = kDialogRefused;
        else if (f_.accepted != SIZE_MAX || f_.begin != SIZE_MAX) v_.password = kDialogAccepted;
        else if (f_.dialog != SIZE_MAX) v_.password = kDialogShown;
        else if (f_.noDialog != SIZE_MAX || (started && f_.sequenceLines > 0)) v_.password = kDialogNotShown;
        if (f_.msiRetries > 0)
            Warn("msi-source-retries",
                 "the MSI source path was not in the registry: " +
                     Count((long long)f_.msiRetries, "retry", "retries") + ", a second each",
                 SIZE_MAX);
    }

    // Words the outcome: summary, detail and what to check.
    void Describe() {
        const OutcomeText& t = kOutcomeTexts[v_.outcome];
        v_.summary = t.summary;
        v_.detail = t.detail;
        v_.check = t.check;
        const CodeMeaning* code = nullptr;
        switch (v_.outcome) {
        case kInstalled:
            v_.summary = FormatInstalled(t.summary);
            v_.detail = Format(t.detail, (v_.installerSeenAfter * 50 + v_.installerRanFor * 500 + 500) / 1000);
            break;
        case kFailed:
            v_.summary = Format(t.summary, v_.code);
            code = SetupCode(v_.code);
            if (code) {
                v_.detail = code->meaning;
                v_.check = code->check;
            }
            break;
        case kRefusedLowDisk:
            v_.summary = Format(t.summary, v_.freeSpaceMb) + v_.drive + " (300 MB needed)";
            break;
        case kUnfinished:
            v_.detail = Stage();
            break;
        case kPartial:
            if (f_.start != SIZE_MAX) v_.detail = "it ended with \"Exit main\", but lines between are missing";
            break;
        default:
            break;
        }
        if (v_.outcome == kUnfinished || v_.outcome == kPartial) Show(f_.last);
    }

    // The installed summary: when the installer was seen, and how long it ran.
    std::string FormatInstalled(const char* format) const {
        const int64_t n = v_.installerSeenAfter, m = v_.installerRanFor;
        const std::string seen = n < 0 ? "(its start line is missing)" : n == 0 ? "at once"
                                                                       : Format("after %lld x 50 ms", n);
        const std::string ran = m == 0 ? "under 0.5 s" : Format("about %lld x 0.5 s", m);
        char text[256];
        snprintf(text, sizeof text, format, seen.c_str(), ran.c_str());
        return text;
    }

    // Where an unfinished run stopped.
    std::string Stage() const {
        if (f_.started != SIZE_MAX && f_.ended == SIZE_MAX)
            return "it ended while the installer ran (an installer that restarts the machine ends it so), or it "
                   "still ran when the folder was copied";
        if (f_.dialog != SIZE_MAX && f_.begin == SIZE_MAX && f_.noDialog == SIZE_MAX)
            return "it ended while its password dialog was open, or it still ran when the folder was copied";
        return "it ended while unpacking or laying out the payload, or it still ran when the folder was copied";
    }
};

}  // namespace

const char* OutcomeId(Outcome outcome) { return outcome < kOutcomeCount ? kOutcomeIds[outcome] : "partial"; }
const char* OutcomeTitle(Outcome outcome) { return outcome < kOutcomeCount ? kOutcomeTitles[outcome] : "partial"; }

const char* PasswordId(Password password) {
    switch (password) {
    case kDialogNotShown: return "not-asked";
    case kDialogShown: return "asked";
    case kDialogAccepted: return "accepted";
    case kDialogRefused: return "refused";
    default: return "unknown";
    }
}

Verdict JudgeRun(const LogFolder& folder, const RunSet& set, const Run& run) { return Judge(folder, set, run).Run(); }

}  // namespace klog
