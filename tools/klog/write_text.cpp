#include <algorithm>

#include "display_text.h"
#include "writers.h"

namespace klog {

namespace {

// klog's own sentences wrap at this many columns; the log lines it quotes
// keep their length, as evidence.
const size_t kTextWidth = 100;

// "1 run", "2 runs": a count with its noun.
std::string Count(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Prints lead, then text wrapped at blanks so that no line passes kTextWidth
// columns (but for a word longer than a line); the lines after the first
// start with as many blanks as lead has columns.
void PrintWrapped(FILE* out, const std::string& lead, const std::string& text) {
    const size_t indent = tools::DisplayWidth(lead);
    const size_t room = kTextWidth > indent + 20 ? kTextWidth - indent : 20;
    std::string line;
    size_t lineWidth = 0, start = 0;
    bool first = true;
    auto flush = [&]() {
        fprintf(out, "%s%s\n", first ? lead.c_str() : std::string(indent, ' ').c_str(), line.c_str());
        first = false;
        line.clear();
        lineWidth = 0;
    };
    while (start <= text.size()) {
        size_t blank = text.find(' ', start);
        if (blank == std::string::npos) blank = text.size();
        const std::string word = text.substr(start, blank - start);
        const size_t width = tools::DisplayWidth(word);
        if (lineWidth > 0 && lineWidth + 1 + width > room) flush();
        if (lineWidth > 0) {
            line += ' ';
            ++lineWidth;
        }
        line += word;
        lineWidth += width;
        start = blank + 1;
    }
    flush();
}

// text cut to width columns, its end shown by an ellipsis when it was cut.
std::string Fit(const std::string& text, size_t width) {
    if (tools::DisplayWidth(text) <= width) return text;
    size_t end = 0, columns = 0;
    while (end < text.size() && columns + 1 < width) {
        ++columns;
        do ++end;
        while (end < text.size() && ((unsigned char)text[end] & 0xC0) == 0x80);
    }
    return text.substr(0, end) + "\xE2\x80\xA6";  // U+2026
}

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
    PrintWrapped(out, "  ", v.summary);
    if (!v.detail.empty()) PrintWrapped(out, "  ", v.detail);
    if (!v.check.empty()) PrintWrapped(out, "  check: ", v.check);
    std::string facts = std::string("password: ") + PasswordId(v.password);
    if (v.freeSpaceMb >= 0) facts += "; free space: " + std::to_string(v.freeSpaceMb) + " MB on " + v.drive;
    if (v.msi) facts += "; payload from the KivraSetup.msi copy";
    PrintWrapped(out, "  ", facts);
    for (const Warning& w : v.warnings) PrintWrapped(out, "  warning: ", w.text);
    PrintLines(out, "lines:", run.all.empty() ? run.lines : run.all);
    PrintLines(out, "lines klog does not know:", run.unknown);
    if (run.unknownTotal > run.unknown.size())
        fprintf(out, "    ... and %zu more\n", run.unknownTotal - run.unknown.size());
}

}  // namespace

void WriteShowText(FILE* out, const FolderReport& report) {
    fprintf(out, "KivraLog folder %s\n", report.path.c_str());
    if (report.missing) {
        PrintWrapped(out, "  cannot be read: ", report.error.empty() ? "(no reason given)" : report.error);
        return;
    }
    fprintf(out, "  %s, %s\n", Count(report.files.size(), "log file", "log files").c_str(),
            Count(report.runs.size(), "run", "runs").c_str());
    for (const FileReport& f : report.files) {
        if (f.unreadable) fprintf(out, "  %s: cannot be read\n", f.name.c_str());
        if (f.unreadableBytes)
            fprintf(out, "  %s: %s belong to no line\n", f.name.c_str(), Count(f.unreadableBytes, "byte", "bytes").c_str());
        if (f.truncatedEnd) fprintf(out, "  %s: its last line is cut off\n", f.name.c_str());
    }
    if (!report.others.empty()) {
        std::string names;
        for (const std::string& name : report.others) names += (names.empty() ? "" : " ") + name;
        PrintWrapped(out, "  other files, not read: ", names);
    }
    for (size_t i = 0; i < report.runs.size(); ++i) PrintRun(out, report.runs[i], i + 1, report.runs.size());
}

void WriteFleetText(FILE* out, const std::vector<MachineReport>& machines) {
    struct Row {
        std::string outcome, detail;
    };
    std::vector<Row> rows;
    size_t nameWidth = 7, outcomeWidth = 7;
    for (const MachineReport& m : machines) {
        Row row{MachineOutcome(m), ""};
        if (m.hasRun) {
            const Verdict& v = m.last.verdict;
            if (v.code >= 0) row.outcome += " " + std::to_string(v.code);
            row.detail = v.outcome == kFailed ? v.detail : v.summary;
            if (!v.warnings.empty()) row.detail += " [" + Count(v.warnings.size(), "warning", "warnings") + "]";
        } else {
            row.detail = m.missing ? "the folder cannot be read" : "no run of the setup in this folder";
        }
        nameWidth = std::max(nameWidth, tools::DisplayWidth(m.machine));
        outcomeWidth = std::max(outcomeWidth, row.outcome.size());
        rows.push_back(row);
    }
    // Blanks, not the printf field width, pad the names: that counts bytes.
    auto padded = [](const std::string& text, size_t width) {
        return text + std::string(width - std::min(width, tools::DisplayWidth(text)), ' ');
    };
    fprintf(out, "%s  %-19s  %s  %s\n", padded("MACHINE", nameWidth).c_str(), "LAST RUN",
            padded("OUTCOME", outcomeWidth).c_str(), "DETAIL");
    for (size_t i = 0; i < machines.size(); ++i) {
        const MachineReport& m = machines[i];
        const std::string lead = padded(m.machine, nameWidth) + "  " +
                                 padded(m.hasRun ? m.last.start : "-", 19) + "  " +
                                 padded(rows[i].outcome, outcomeWidth) + "  ";
        // One line per machine: the detail is cut to the width; show, the
        // JSON and the page give it whole.
        const size_t used = tools::DisplayWidth(lead);
        fprintf(out, "%s%s\n", lead.c_str(), Fit(rows[i].detail, used + 20 < kTextWidth ? kTextWidth - used : 20).c_str());
    }
    fprintf(out, "\n%s:\n", Count(machines.size(), "machine", "machines").c_str());
    for (const auto& c : CountOutcomes(machines))
        if (c.second) fprintf(out, "  %-20s %zu\n", c.first.c_str(), c.second);
}

}  // namespace klog
