#include "fleet.h"

#include "log_folder.h"

namespace klog {

const char kNoRuns[] = "no-runs";
const char kUnreadable[] = "unreadable";

std::string MachineName(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
    size_t cut = path.find_last_of("/\\");
    std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    // A collected tree may keep each machine's folder under its own name:
    // PC-017/KivraLog.
    if (EqualsNoCase(name, "KivraLog") && cut != std::string::npos && cut > 0) {
        std::string parent = MachineName(path.substr(0, cut));
        if (!parent.empty() && parent != "." && parent != "/") return parent;
    }
    return name;
}

MachineReport AnalyseMachine(const std::string& folder, CodePage page) {
    MachineReport m;
    m.folder = ShowArgument(folder);
    m.machine = ShowArgument(MachineName(folder));
    FolderReport report = AnalyseFolder(folder, page, false);
    m.missing = report.missing;
    m.error = report.error;
    m.files = report.files.size();
    m.runs = report.runs.size();
    if (!report.runs.empty()) {
        m.hasRun = true;
        m.last = std::move(report.runs.back());  // runs are in time order
    }
    return m;
}

const char* MachineOutcome(const MachineReport& machine) {
    if (machine.missing) return kUnreadable;
    if (!machine.hasRun) return kNoRuns;
    return OutcomeId(machine.last.verdict.outcome);
}

std::vector<std::pair<std::string, size_t>> CountOutcomes(const std::vector<MachineReport>& machines) {
    std::vector<std::pair<std::string, size_t>> counts;
    for (int o = 0; o < kOutcomeCount; ++o) counts.emplace_back(OutcomeId((Outcome)o), 0);
    counts.emplace_back(kNoRuns, 0);
    counts.emplace_back(kUnreadable, 0);
    for (const MachineReport& m : machines)
        for (auto& c : counts)
            if (c.first == MachineOutcome(m)) ++c.second;
    return counts;
}

}  // namespace klog
