#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>

#include "writers.h"

namespace klog {

namespace {

struct Look {
    const char* outcome;
    const char* colour;
    const char* label;
    int rank;  // the table shows the worst first
};

const Look kLooks[] = {
    {"failed", "#c62828", "failed", 0},
    {"installer-not-seen", "#ef6c00", "installer not seen", 1},
    {"unfinished", "#6d4c41", "ended without Exit main", 2},
    {"refused-low-disk", "#f9a825", "refused: low disk", 3},
    {"refused-updater", "#0277bd", "refused: updater running", 4},
    {"refused-not-admin", "#ad1457", "refused: not administrator", 5},
    {"password-refused", "#6a1b9a", "password refused", 6},
    {"partial", "#78909c", "partial logs", 7},
    {"unreadable", "#424242", "folder unreadable", 8},
    {"no-runs", "#b0bec5", "no run in the logs", 9},
    {"installed", "#2e7d32", "installed", 10},
};

// How every page klog writes begins, up to the number in its title: what
// tells a page klog may replace from any other file.
const char kPageHead[] =
    "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
    "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'\">"
    "<title>Kivra setup on ";

// The look of an outcome identifier; an unknown one looks like partial logs.
const Look& LookOf(const std::string& outcome) {
    for (const Look& look : kLooks)
        if (outcome == look.outcome) return look;
    return kLooks[7];
}

// text with the characters that HTML gives a meaning escaped.
std::string Escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

const char kStyle[] =
    "body{font-family:'DejaVu Sans',Verdana,sans-serif;margin:0;background:#f4f6f8;color:#1c2833}"
    "header{background:#1f3a5f;color:#fff;padding:22px 36px}"
    "header h1{margin:0;font-size:26px;font-weight:600}"
    "header p{margin:6px 0 0;opacity:.8;font-size:14px}"
    "main{padding:24px 36px}"
    ".cards{display:flex;gap:24px;flex-wrap:wrap}"
    ".card{background:#fff;border-radius:10px;box-shadow:0 1px 4px rgba(0,0,0,.12);padding:18px 22px}"
    ".card h2{margin:0 0 12px;font-size:15px;color:#52606d;font-weight:600;text-transform:uppercase;"
    "letter-spacing:.05em}"
    ".tiles{display:flex;gap:14px;flex-wrap:wrap}"
    ".tile{border-left:6px solid;padding:6px 14px;min-width:110px}"
    ".tile b{display:block;font-size:30px}"
    ".tile span{font-size:13px;color:#52606d}"
    "table{border-collapse:collapse;width:100%;background:#fff;border-radius:10px;overflow:hidden;"
    "box-shadow:0 1px 4px rgba(0,0,0,.12);margin-top:24px;font-size:14px}"
    "th{background:#e8edf2;text-align:left;padding:10px 12px;font-size:12px;text-transform:uppercase;"
    "letter-spacing:.05em;color:#52606d}"
    "td{padding:10px 12px;border-top:1px solid #e8edf2;vertical-align:top}"
    ".badge{display:inline-block;color:#fff;border-radius:12px;padding:2px 10px;font-size:12px;"
    "white-space:nowrap}"
    ".warn{color:#b35c00;font-size:13px;margin-top:4px}"
    ".muted{color:#7b8794;font-size:13px}"
    "td.machine{font-weight:600;white-space:nowrap}"
    "td.time{white-space:nowrap;font-variant-numeric:tabular-nums}"
    "footer{padding:0 36px 24px;color:#7b8794;font-size:12px}";

// One bar per outcome that occurs, with its count: the chart.
std::string Chart(const std::vector<std::pair<std::string, size_t>>& counts, size_t total) {
    std::vector<std::pair<std::string, size_t>> shown;
    size_t most = 1;
    for (const auto& c : counts)
        if (c.second) {
            shown.push_back(c);
            most = std::max(most, c.second);
        }
    const int rowHeight = 30, labelWidth = 200, barWidth = 280;
    const int height = (int)shown.size() * rowHeight + 10;
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(labelWidth + barWidth + 90) +
                      "\" height=\"" + std::to_string(height) + "\" role=\"img\" aria-label=\"outcomes\">";
    int y = 5;
    for (const auto& c : shown) {
        const Look& look = LookOf(c.first);
        int width = std::max(2, (int)(c.second * (size_t)barWidth / most));
        char pct[16];
        snprintf(pct, sizeof pct, "%.0f%%", total ? 100.0 * (double)c.second / (double)total : 0.0);
        svg += "<text x=\"" + std::to_string(labelWidth - 10) + "\" y=\"" + std::to_string(y + 19) +
               "\" text-anchor=\"end\" font-size=\"14\" fill=\"#1c2833\">" + Escape(look.label) + "</text>";
        svg += "<rect x=\"" + std::to_string(labelWidth) + "\" y=\"" + std::to_string(y + 3) + "\" width=\"" +
               std::to_string(width) + "\" height=\"22\" rx=\"4\" fill=\"" + look.colour + "\"/>";
        svg += "<text x=\"" + std::to_string(labelWidth + width + 8) + "\" y=\"" + std::to_string(y + 19) +
               "\" font-size=\"14\" fill=\"#1c2833\">" + std::to_string(c.second) + " (" + pct + ")</text>";
        y += rowHeight;
    }
    return svg + "</svg>";
}

// One machine's row of the table.
std::string Row(const MachineReport& m) {
    const std::string outcome = MachineOutcome(m);
    const Look& look = LookOf(outcome);
    std::string badge = Escape(look.label);
    std::string what, time = "&ndash;";
    if (m.hasRun) {
        const Verdict& v = m.last.verdict;
        time = Escape(m.last.start);
        if (v.code >= 0) badge += " " + std::to_string(v.code);
        what = Escape(v.summary);
        if (v.outcome == kFailed) what += "<div class=\"muted\">" + Escape(v.detail) + "</div>";
        if (!v.check.empty()) what += "<div class=\"muted\">Check: " + Escape(v.check) + "</div>";
        for (const Warning& w : v.warnings) what += "<div class=\"warn\">&#9888; " + Escape(w.text) + "</div>";
    } else {
        what = m.missing ? "the folder cannot be read" : "no run of the setup in this folder";
    }
    return "<tr><td class=\"machine\">" + Escape(m.machine) + "</td><td class=\"time\">" +
           time + "</td><td><span class=\"badge\" style=\"background:" + look.colour + "\">" + badge +
           "</span></td><td>" + what + "</td><td class=\"muted\">" + std::to_string(m.runs) + "</td></tr>";
}

}  // namespace

bool IsFleetPage(const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    char head[sizeof kPageHead - 1];
    const bool same = fread(head, 1, sizeof head, f) == sizeof head && memcmp(head, kPageHead, sizeof head) == 0;
    fclose(f);
    return same;
}

std::string FleetHtml(const std::vector<MachineReport>& machines) {
    const auto counts = CountOutcomes(machines);
    std::string tiles;
    for (const auto& c : counts)
        if (c.second)
            tiles += "<div class=\"tile\" style=\"border-color:" + std::string(LookOf(c.first).colour) + "\"><b>" +
                     std::to_string(c.second) + "</b><span>" + Escape(LookOf(c.first).label) + "</span></div>";
    std::vector<const MachineReport*> order;
    for (const MachineReport& m : machines) order.push_back(&m);
    std::stable_sort(order.begin(), order.end(), [](const MachineReport* a, const MachineReport* b) {
        int ra = LookOf(MachineOutcome(*a)).rank, rb = LookOf(MachineOutcome(*b)).rank;
        return ra != rb ? ra < rb : a->machine < b->machine;
    });
    std::string rows;
    for (const MachineReport* m : order) rows += Row(*m);
    const std::string n = std::to_string(machines.size()) + (machines.size() == 1 ? " machine" : " machines");
    return std::string(kPageHead) + n + "</title><style>" + kStyle + "</style></head><body>"
           "<header><h1>Kivra setup on " + n + "</h1>"
           "<p>The last run of Setup.exe on each machine, as its KivraLog folder tells it</p></header><main>"
           "<div class=\"cards\"><div class=\"card\"><h2>Outcomes</h2>" + Chart(counts, machines.size()) +
           "</div><div class=\"card\"><h2>Machines</h2><div class=\"tiles\">" + tiles + "</div></div></div>"
           "<table><thead><tr><th>Machine</th><th>Last run</th><th>Outcome</th><th>What happened</th>"
           "<th>Runs</th></tr></thead><tbody>" + rows + "</tbody></table></main>"
           "<footer>Made by klog fleet from the machines' KivraLog folders. Problems first, then by machine."
           "</footer></body></html>\n";
}

}  // namespace klog
