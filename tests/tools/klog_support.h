// Log lines and folders for klog's host tests, in the setup's own byte layout.
#pragma once
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "report.h"

namespace klogtest {

// One setup-log line: "[time] [thread] message\r\n".
inline std::string SetupLine(const std::string& time, const std::string& thread, const std::string& message) {
    return "[" + time + "] [" + thread + "] " + message + "\r\n";
}
// One stp_* line: "[time] [0xthread] message\r\n".
inline std::string ModuleLine(const std::string& time, const std::string& thread, const std::string& message) {
    return "[" + time + "] [0x" + thread + "] " + message + "\r\n";
}

// The setup-log lines of a run that installs, from its start at day + hh:mm:ss.
inline std::string InstalledRun(const std::string& day, const std::string& hms, const std::string& t) {
    const std::string at = day + " " + hms;
    const std::string w = "C:\\tmp\\KivraSetup0";
    std::string s = SetupLine(at, t, "The C: free space is 5000M.");
    for (const char* archive : {"Qt.7z", "tool.7z", "UrlCmdCustomCfg.7z"}) {
        s += SetupLine(at, t, w + "\\" + archive);
        s += SetupLine(at, t, w + "\\7za.exe x \"" + w + "\\" + archive + "\" -o\"" + w + "\" -y");
        s += SetupLine(at, t, "\r\n7-Zip (a) 9.20\r\n\r\nExtracting  a.txt\r\n\r\nEverything is Ok\r\n\r\nSize: 3\r\n");
    }
    s += SetupLine(at, t, "is-stp started at 4");
    s += SetupLine(at, t, "is-stp ended at 14.");
    s += SetupLine(at, t, "Exit main");
    return s;
}

// The folder of this test program's folders, removed when the program ends.
inline const std::string& TempRoot() {
    static struct Root {
        std::string path;
        Root() {
            const char* base = getenv("TMPDIR");
            path = std::string(base ? base : "/tmp") + "/klog-test-" + std::to_string(getpid());
            mkdir(path.c_str(), 0755);
        }
        ~Root() {
            std::string rm = "rm -rf '" + path + "'";
            if (system(rm.c_str()) != 0) return;
        }
    } root;
    return root.path;
}

// A fresh, empty folder below the test program's own temporary folder.
inline std::string TempFolder(const std::string& name) {
    std::string dir = TempRoot() + "/" + name;
    std::string rm = "rm -rf '" + dir + "'";
    if (system(rm.c_str()) != 0) return dir;
    mkdir(dir.c_str(), 0755);
    return dir;
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The folder's report with every line kept.
inline klog::FolderReport Analyse(const std::string& dir) { return klog::AnalyseFolder(dir, klog::kCodePageAuto, true); }

inline std::vector<std::string> Outcomes(const klog::FolderReport& r) {
    std::vector<std::string> out;
    for (const klog::RunReport& run : r.runs) out.push_back(klog::OutcomeId(run.verdict.outcome));
    return out;
}

}  // namespace klogtest
