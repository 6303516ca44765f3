#include "report.h"

#include <stdio.h>

#include "log_folder.h"
#include "runs.h"

namespace klog {

namespace {

// An entry as the writers print it.
ShownLine Shown(const LogFolder& folder, size_t entry, CodePage page) {
    const LogEntry& e = folder.entries[entry];
    const LogFile& file = folder.files[e.file];
    return {FormatTime(e.time), file.log, file.name, ToUtf8(e.message, page)};
}

// A run judged and resolved to its lines.
RunReport Report(const LogFolder& folder, const RunSet& set, const Run& run, CodePage page, bool allLines) {
    RunReport r;
    r.verdict = JudgeRun(folder, set, run);
    r.start = FormatTime(folder.entries[run.entries.front()].time);
    r.end = FormatTime(folder.entries[run.entries.back()].time);
    char thread[16];
    snprintf(thread, sizeof thread, "%x", (unsigned)run.thread);
    r.thread = thread;
    r.started = run.started;
    r.ended = run.ended;
    for (size_t e : r.verdict.evidence) r.lines.push_back(Shown(folder, e, page));
    r.unknownTotal = r.verdict.unknown.size();
    for (size_t k = 0; k < r.verdict.unknown.size() && k < kMaxUnknownShown; ++k)
        r.unknown.push_back(Shown(folder, r.verdict.unknown[k], page));
    if (allLines)
        for (size_t e : run.entries) r.all.push_back(Shown(folder, e, page));
    r.verdict.evidence.clear();
    r.verdict.unknown.clear();
    return r;
}

}  // namespace

FolderReport AnalyseFolder(const std::string& path, CodePage page, bool allLines) {
    return ReportFolder(ReadLogFolder(path), page, allLines);
}

FolderReport ReportFolder(const LogFolder& folder, CodePage page, bool allLines) {
    FolderReport report;
    report.path = folder.path;
    report.missing = folder.missing;
    report.others = folder.others;
    for (const LogFile& f : folder.files)
        report.files.push_back(
            {f.name, f.log, f.date, f.entries, f.stats.unreadableBytes, f.stats.truncatedEnd, f.unreadable});
    const RunSet set = GroupRuns(folder);
    for (const Run& run : set.runs) report.runs.push_back(Report(folder, set, run, page, allLines));
    return report;
}

}  // namespace klog
