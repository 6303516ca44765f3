#include <algorithm>

#include "writers.h"

namespace klog {

namespace {

// Prints a message; its own line breaks continue under the same indent.
void PrintText(FILE* out, const std::string& text, const std::string& indent) {
    size_t start = 0;
    while (true) {
        size_t nl = text.find('\n', start);
        std::string piece = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        if (!piece.empty() && piece.back() == '\r') piece.pop_back();
        fputs(piece.c_str(), out);
        if (nl == std::string::npos) break;
        fprintf(out, "\n%s", indent.c_str());
        start = nl + 1;
    }
    fputc('\n', out);
}

// Prints a titled list of lines with their times and logs; nothing when empty.
void PrintLines(FILE* out, const char* title, const std::vector<ShownLine>& lines) {
    if (lines.empty()) return;
    fprintf(out, "  %s\n", title);
    size_t width = 0;
    for (const ShownLine& l : lines) width = std::max(width, l.log.size());
    for (const ShownLine& l : lines) {
        fprintf(out, "    %s  %-*s  ", l.time.c_str(), (int)width, l.log.c_str());
        PrintText(out, l.text, std::string(4 + 19 + 2 + width + 2, ' '));
    }
}

// Prints one run's block: times, outcome, facts, warnings and lines.
void PrintRun(FILE* out, const RunReport& run, size_t number, size_t count) {
    const Verdict& v = run.verdict;
    fprintf(out, "\nRun %zu of %zu: %s to %s (thread %s)\n", number, count, run.start.c_str(),
            run.end.substr(run.end.compare(0, 10, run.start, 0, 10) == 0 ? 11 : 0).c_str(), run.thread.c_str());
    fprintf(out, "  %s\n", v.summary.c_str());
    if (!v.detail.empty()) fprintf(out, "  %s\n", v.detail.c_str());
    if (!v.check.empty()) fprintf(out, "  check: %s\n", v.check.c_str());
    std::string facts = std::string("password: ") + PasswordId(v.password);
    if (v.freeSpaceMb >= 0) facts += "; free space: " + std::to_string(v.freeSpaceMb) + " MB on " + v.drive;
    if (v.msi) facts += "; payload from the KivraSetup.msi copy";
    fprintf(out, "  %s\n", facts.c_str());
    for (const Warning& w : v.warnings) fprintf(out, "  warning: %s\n", w.text.c_str());
    PrintLines(out, "lines:", run.all.empty() ? run.lines : run.all);
    PrintLines(out, "lines klog does not know:", run.unknown);
    if (run.unknownTotal > run.unknown.size())
        fprintf(out, "    ... and %zu more\n", run.unknownTotal - run.unknown.size());
}

}  // namespace

void WriteShowText(FILE* out, const FolderReport& report) {
    fprintf(out, "KivraLog folder %s\n", report.path.c_str());
    if (report.missing) {
        fprintf(out, "  cannot be read\n");
        return;
    }
    fprintf(out, "  %zu log files, %zu runs\n", report.files.size(), report.runs.size());
    for (const FileReport& f : report.files) {
        if (f.unreadable) fprintf(out, "  %s: cannot be read\n", f.name.c_str());
        if (f.unreadableBytes) fprintf(out, "  %s: %zu bytes belong to no line\n", f.name.c_str(), f.unreadableBytes);
        if (f.truncatedEnd) fprintf(out, "  %s: its last line is cut off\n", f.name.c_str());
    }
    if (!report.others.empty()) {
        fprintf(out, "  other files, not read:");
        for (const std::string& name : report.others) fprintf(out, " %s", name.c_str());
        fputc('\n', out);
    }
    for (size_t i = 0; i < report.runs.size(); ++i) PrintRun(out, report.runs[i], i + 1, report.runs.size());
}

void WriteFleetText(FILE* out, const std::vector<MachineReport>& machines) {
    size_t nameWidth = 7, outcomeWidth = 7;
    for (const MachineReport& m : machines) {
        nameWidth = std::max(nameWidth, m.machine.size());
        outcomeWidth = std::max(outcomeWidth, std::string(MachineOutcome(m)).size() + 6);
    }
    fprintf(out, "%-*s  %-19s  %-*s  %s\n", (int)nameWidth, "MACHINE", "LAST RUN", (int)outcomeWidth, "OUTCOME",
            "DETAIL");
    for (const MachineReport& m : machines) {
        std::string outcome = MachineOutcome(m), detail;
        if (m.hasRun) {
            const Verdict& v = m.last.verdict;
            if (v.code >= 0) outcome += " " + std::to_string(v.code);
            detail = v.outcome == kFailed ? v.detail : v.summary;
            if (!v.warnings.empty()) detail += " [" + std::to_string(v.warnings.size()) + " warning" +
                                               (v.warnings.size() > 1 ? "s]" : "]");
        } else {
            detail = m.missing ? "the folder cannot be read" : "no run of the setup in this folder";
        }
        fprintf(out, "%-*s  %-19s  %-*s  %s\n", (int)nameWidth, m.machine.c_str(),
                m.hasRun ? m.last.start.c_str() : "-", (int)outcomeWidth, outcome.c_str(), detail.c_str());
    }
    fprintf(out, "\n%zu machines:\n", machines.size());
    for (const auto& c : CountOutcomes(machines))
        if (c.second) fprintf(out, "  %-20s %zu\n", c.first.c_str(), c.second);
}

}  // namespace klog
