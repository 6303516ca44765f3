#include <nlohmann/json.hpp>

#include "writers.h"

namespace klog {

namespace {

// Fields in the order the schema lists them.
using Json = nlohmann::ordered_json;

// A LINE object.
Json Line(const ShownLine& l) { return {{"time", l.time}, {"log", l.log}, {"file", l.file}, {"text", l.text}}; }

// An array of LINE objects.
Json Lines(const std::vector<ShownLine>& lines) {
    Json array = Json::array();
    for (const ShownLine& l : lines) array.push_back(Line(l));
    return array;
}

// The number, or null for the -1 that stands for a missing figure.
Json NumberOrNull(int64_t value) { return value < 0 ? Json() : Json(value); }

// A RUN object.
Json RunJson(const RunReport& run) {
    const Verdict& v = run.verdict;
    Json warnings = Json::array();
    for (const Warning& w : v.warnings) warnings.push_back({{"kind", w.kind}, {"text", w.text}});
    Json installer;
    if (v.installerSeenAfter >= 0 || v.installerRanFor >= 0)
        installer = {{"seenAfterChecks", NumberOrNull(v.installerSeenAfter)},
                     {"ranForChecks", NumberOrNull(v.installerRanFor)}};
    Json j = {{"start", run.start},
              {"end", run.end},
              {"thread", run.thread},
              {"hasStartLine", run.started},
              {"hasExitMain", run.ended},
              {"outcome", OutcomeId(v.outcome)},
              {"summary", v.summary},
              {"detail", v.detail},
              {"check", v.check},
              {"code", NumberOrNull(v.code)},
              {"drive", v.drive.empty() ? Json() : Json(v.drive)},
              {"freeSpaceMB", v.drive.empty() ? Json() : Json(v.freeSpaceMb)},
              {"password", PasswordId(v.password)},
              {"msi", v.msi},
              {"installer", installer},
              {"warnings", warnings},
              {"lines", Lines(run.lines)},
              {"unknownLines", Lines(run.unknown)},
              {"unknownLineCount", run.unknownTotal}};
    if (!run.all.empty()) j["allLines"] = Lines(run.all);
    return j;
}

// The document's text, indented, with a final line break.
std::string Dump(const Json& j) {
    // Every text went through ToUtf8 or ShowName, so the strict dump cannot
    // meet invalid UTF-8; replace stays as the guard that it never throws.
    return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string ShowJson(const FolderReport& report) {
    Json files = Json::array();
    for (const FileReport& f : report.files)
        files.push_back({{"name", f.name},
                         {"log", f.log},
                         {"date", f.date},
                         {"entries", f.entries},
                         {"unreadableBytes", f.unreadableBytes},
                         {"truncatedEnd", f.truncatedEnd},
                         {"readable", !f.unreadable}});
    Json runs = Json::array();
    for (const RunReport& run : report.runs) runs.push_back(RunJson(run));
    Json j = {{"schema", "klog-show"},
              {"schemaVersion", kJsonSchemaVersion},
              {"folder", report.path},
              {"readable", !report.missing},
              {"files", files},
              {"otherFiles", Json::array()},
              {"runs", runs}};
    for (const std::string& name : report.others) j["otherFiles"].push_back(name);
    return Dump(j);
}

std::string FleetJson(const std::vector<MachineReport>& machines) {
    Json list = Json::array();
    for (const MachineReport& m : machines)
        list.push_back({{"machine", m.machine},
                        {"folder", m.folder},
                        {"outcome", MachineOutcome(m)},
                        {"files", m.files},
                        {"runs", m.runs},
                        {"lastRun", m.hasRun ? RunJson(m.last) : Json()}});
    Json counts = Json::object();
    for (const auto& c : CountOutcomes(machines)) counts[c.first] = c.second;
    return Dump({{"schema", "klog-fleet"},
                 {"schemaVersion", kJsonSchemaVersion},
                 {"machineCount", machines.size()},
                 {"machines", list},
                 {"counts", counts}});
}

}  // namespace klog
