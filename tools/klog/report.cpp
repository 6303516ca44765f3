#include "report.h"

#include <stdio.h>

#include "log_folder.h"
#include "runs.h"

namespace klog {

namespace {

// A folder of at least this many entries is large enough to report.
const size_t kProgressEntries = 200000;

// An entry as the writers print it.
ShownLine Shown(const LogFolder& folder, size_t entry, CodePage page) {
    const LogEntry& e = folder.entries[entry];
    const LogFile& file = folder.files[e.file];
    return {FormatTime(e.time), ShowName(file.log), ShowName(file.name), ToUtf8(e.message, page)};
}

// A run judged and resolved to its lines.
RunReport Report(const LogFolder& folder, const RunSet& set, const Run& run, CodePage page, bool allLines) {
    RunReport r;
    r.verdict = JudgeRun(folder, set, run);
    // The verdict's sentences carry texts of the lines (a path, a drive):
    // they decode as their lines do.
    Verdict& v = r.verdict;
    for (std::string* text : {&v.summary, &v.detail, &v.check, &v.drive}) *text = ToUtf8(*text, page);
    for (Warning& w : v.warnings) w.text = ToUtf8(w.text, page);
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
    return ReportFolder(ReadLogFolder(LogFolderOf(path)), page, allLines);
}

FolderReport ReportFolder(const LogFolder& folder, CodePage page, bool allLines) {
    FolderReport report;
    report.path = ShowArgument(folder.path);
    report.missing = folder.missing;
    report.error = folder.error;
    for (const std::string& name : folder.others) report.others.push_back(ShowName(name));
    for (const LogFile& f : folder.files)
        report.files.push_back({ShowName(f.name), ShowName(f.log), f.date, f.entries, f.stats.unreadableBytes,
                                f.stats.truncatedEnd, f.unreadable});
    if (g_progress && folder.entries.size() >= kProgressEntries)
        g_progress("judging " + std::to_string(folder.entries.size()) + " lines of " + report.path);
    const RunSet set = GroupRuns(folder);
    for (const Run& run : set.runs) report.runs.push_back(Report(folder, set, run, page, allLines));
    return report;
}

}  // namespace klog
