// klog's three forms of output: text for a person at a terminal, JSON for
// pipelines (schema in docs/klog-json.md), and one self-contained HTML page
// of a fleet.
#pragma once
#include <stdio.h>

#include <string>
#include <vector>

#include "fleet.h"
#include "report.h"

namespace klog {

// The version of the JSON schema; raised when a field changes meaning or goes.
const int kJsonSchemaVersion = 1;

// klog show as text: one block per run, in time order.
void WriteShowText(FILE* out, const FolderReport& report);
// klog fleet as text: one line per machine, then the counts by outcome.
void WriteFleetText(FILE* out, const std::vector<MachineReport>& machines);

// klog show and klog fleet as JSON documents.
std::string ShowJson(const FolderReport& report);
std::string FleetJson(const std::vector<MachineReport>& machines);

// klog fleet as one HTML page: a chart of the outcomes and the table, with
// no script and nothing fetched from elsewhere.
std::string FleetHtml(const std::vector<MachineReport>& machines);

// Whether the file at path begins as the pages of FleetHtml do: a page that
// klog fleet --html may replace.
bool IsFleetPage(const std::string& path);

}  // namespace klog
