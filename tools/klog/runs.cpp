#include "runs.h"

#include <algorithm>
#include <map>

namespace klog {

namespace {

// Lines of the other logs with no run of their thread around them (their
// setup log is missing) form runs of their own, split at this much silence.
const int64_t kOrphanGap = 3600;
// The administrator check's lines of one refused start come within moments.
const int64_t kAdminGap = 60;

struct Span {
    size_t run;
    int64_t from, to;
    int64_t reach;  // the latest to of this span and those before it
};

// The log that an entry was read from.
LogKind KindOf(const LogFolder& folder, size_t entry) { return folder.files[folder.entries[entry].file].kind; }

// Indexes of the entries that pass keep, stably ordered by time.
template <class Keep>
std::vector<size_t> ByTime(const LogFolder& folder, Keep keep) {
    std::vector<size_t> picked;
    for (size_t i = 0; i < folder.entries.size(); ++i)
        if (keep(i)) picked.push_back(i);
    std::stable_sort(picked.begin(), picked.end(),
                     [&](size_t a, size_t b) { return folder.entries[a].time < folder.entries[b].time; });
    return picked;
}

// Runs of the setup log: a free-space line opens one, "Exit main" closes it.
void SetupLogRuns(const LogFolder& folder, RunSet* set) {
    std::map<uint32_t, size_t> open;
    auto close = [&](uint32_t thread) { open.erase(thread); };
    for (size_t i : ByTime(folder, [&](size_t e) { return KindOf(folder, e) == kLogSetup; })) {
        const LogEntry& e = folder.entries[i];
        const LineKind kind = set->info[i].kind;
        auto it = open.find(e.thread);
        bool fresh = kind == kFreeSpace || it == open.end() ||
                     e.time - folder.entries[set->runs[it->second].entries.back()].time > kRunSilenceLimit;
        if (fresh) {
            close(e.thread);
            Run run;
            run.thread = e.thread;
            run.started = kind == kFreeSpace;
            set->runs.push_back(run);
            it = open.emplace(e.thread, set->runs.size() - 1).first;
        }
        Run& run = set->runs[it->second];
        run.entries.push_back(i);
        if (kind == kExitMain) {
            run.ended = true;
            close(e.thread);
        }
    }
}

// The time span of every setup-log run, per thread: from its first line to
// "Exit main", or, for a run that has none, until the thread's next run
// starts or the silence limit passes.
std::map<uint32_t, std::vector<Span>> RunSpans(const LogFolder& folder, const RunSet& set) {
    std::map<uint32_t, std::vector<Span>> spans;
    for (size_t r = 0; r < set.runs.size(); ++r) {
        const Run& run = set.runs[r];
        int64_t from = folder.entries[run.entries.front()].time;
        int64_t to = folder.entries[run.entries.back()].time + (run.ended ? 0 : kRunSilenceLimit);
        spans[run.thread].push_back({r, from, to, to});
    }
    for (auto& thread : spans) {
        std::vector<Span>& list = thread.second;
        std::stable_sort(list.begin(), list.end(), [](const Span& a, const Span& b) { return a.from < b.from; });
        for (size_t k = 0; k + 1 < list.size(); ++k)
            if (!set.runs[list[k].run].ended) list[k].to = std::min(list[k].to, list[k + 1].from - 1);
        for (size_t k = 0; k < list.size(); ++k) list[k].reach = std::max(list[k].to, k ? list[k - 1].reach : list[k].to);
    }
    return spans;
}

// The last span of a thread's list, in the order of their starts, that holds
// time; null when none does. A binary search, then back only over spans that
// reach that far: a thread's spans rarely overlap.
const Span* SpanAt(const std::vector<Span>& list, int64_t time) {
    auto it = std::upper_bound(list.begin(), list.end(), time, [](int64_t t, const Span& s) { return t < s.from; });
    while (it != list.begin()) {
        --it;
        if (it->reach < time) return nullptr;
        if (time <= it->to) return &*it;
    }
    return nullptr;
}

// The other logs' lines join their run; lines with none form runs of their own.
void AttachOtherLines(const LogFolder& folder, RunSet* set, std::vector<std::vector<size_t>>* attached) {
    const std::map<uint32_t, std::vector<Span>> spans = RunSpans(folder, *set);
    std::map<uint32_t, size_t> orphan, admin;
    for (size_t i : ByTime(folder, [&](size_t e) { return KindOf(folder, e) != kLogSetup; })) {
        const LogEntry& e = folder.entries[i];
        const bool isAdmin = KindOf(folder, i) == kLogIsCurUserAdmin;
        if (!isAdmin) {
            auto list = spans.find(e.thread);
            const Span* hit = list == spans.end() ? nullptr : SpanAt(list->second, e.time);
            if (hit) {
                (*attached)[hit->run].push_back(i);
                continue;
            }
        }
        std::map<uint32_t, size_t>& groups = isAdmin ? admin : orphan;
        auto it = groups.find(e.thread);
        const int64_t gap = isAdmin ? kAdminGap : kOrphanGap;
        if (it == groups.end() || e.time - folder.entries[set->runs[it->second].entries.back()].time > gap) {
            Run run;
            run.thread = e.thread;
            run.adminCheck = isAdmin;
            set->runs.push_back(run);
            attached->emplace_back();
            it = groups.insert_or_assign(e.thread, set->runs.size() - 1).first;
        }
        set->runs[it->second].entries.push_back(i);
    }
}

// Within one second the lines of different files keep no order; the run's own
// flow gives it: the start, the password decision, the password dialog, the
// MSI carrier, the unpacker, the archiver and its command runner, the
// installer's waits, then the verdict ("utl_FileUnpack:Err: 160." before
// "install failed with Err 160."). The step of a line; a setup-log line that
// klog does not know keeps the step of the line before it.
int Step(const LogFolder& folder, const RunSet& set, size_t entry, int before) {
    switch (set.info[entry].kind) {
    case kFreeSpace: return 0;
    case kPromptNeedDialog: case kPromptOldRegTrue: case kPromptNo: case kPromptRepair: case kPromptOther:
    case kCusIniMovedFromOld: case kCusCopyFailed: case kCusOther: case kDriveBufferTooSmall:
        return 1;
    case kPasswordAccepted: case kBeginUnpack: case kMessageLoopError: case kDialogFailed: return 2;
    case kMsiInstall: case kMsiNoSourcePath: case kMsiHasCopy: case kMsiNetworkProblem: case kMsiCopyUnusable:
    case kMsiCopyUntrusted: case kCarrierReplaced: case kWorkDirLink: case kWorkDirElsewhere: case kPathLine:
        return 3;
    case kUnpackErr: case kUnpackNameRefused: case kUnpackEnd: case kUnpackTrace: case kFileSizeFailed: return 4;
    case kArchivePath: case kArchiverCommand: case kCmdPipeFailed: case kCmdProcessFailed: case kCmdWaitFailed:
    case kManagecfgFail:
        return 5;
    case kInstallerStarted: case kProcListFailed: case kInstallerEnded: return 6;
    case kInstallFailed: case kExitMain: return 7;
    default:
        break;
    }
    switch (KindOf(folder, entry)) {
    case kLogSetup: return before;
    case kLogStpSetup: return 1;
    case kLogStpWait: return 6;
    default: return 4;
    }
}

// A run's own setup-log lines in their order, with the attached lines put in
// by time, and by step within a second.
std::vector<size_t> Interleave(const LogFolder& folder, const RunSet& set, const Run& run,
                               std::vector<size_t> attached) {
    auto stepOf = [&](size_t e) { return Step(folder, set, e, 4); };
    std::stable_sort(attached.begin(), attached.end(), [&](size_t a, size_t b) {
        const int64_t ta = folder.entries[a].time, tb = folder.entries[b].time;
        return ta != tb ? ta < tb : stepOf(a) < stepOf(b);
    });
    std::vector<size_t> out;
    out.reserve(run.entries.size() + attached.size());
    size_t a = 0, s = 0;
    int step = 0;
    while (s < run.entries.size() || a < attached.size()) {
        bool takeSetup = a == attached.size();
        int setupStep = s < run.entries.size() ? Step(folder, set, run.entries[s], step) : 0;
        if (!takeSetup && s < run.entries.size()) {
            int64_t ts = folder.entries[run.entries[s]].time, ta = folder.entries[attached[a]].time;
            takeSetup = ts < ta || (ts == ta && setupStep <= stepOf(attached[a]));
        }
        if (takeSetup) step = setupStep;
        out.push_back(takeSetup ? run.entries[s++] : attached[a++]);
    }
    return out;
}

}  // namespace

RunSet GroupRuns(const LogFolder& folder) {
    RunSet set;
    set.info.reserve(folder.entries.size());
    for (size_t i = 0; i < folder.entries.size(); ++i)
        set.info.push_back(ClassifyLine(KindOf(folder, i), folder.entries[i].message));
    SetupLogRuns(folder, &set);
    std::vector<std::vector<size_t>> attached(set.runs.size());
    AttachOtherLines(folder, &set, &attached);
    for (size_t r = 0; r < set.runs.size(); ++r)
        if (!attached[r].empty() && !set.runs[r].entries.empty() && KindOf(folder, set.runs[r].entries[0]) == kLogSetup)
            set.runs[r].entries = Interleave(folder, set, set.runs[r], attached[r]);
    std::stable_sort(set.runs.begin(), set.runs.end(), [&](const Run& a, const Run& b) {
        return folder.entries[a.entries.front()].time < folder.entries[b.entries.front()].time;
    });
    return set;
}

}  // namespace klog
