// Fuzz target of klog's parser: any bytes, cut into up to six log files of
// different logs at each "\xFF\x00", are read, grouped into runs, judged and
// written as text. Nothing may crash, and no run may be called installed
// without the setup log's "is-stp ended at" and "Exit main" lines. (The JSON
// writer is left out: the JSON library's own code would take most of the
// fuzzer's time; klog_writers_test feeds it hostile bytes.)
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "log_folder.h"
#include "report.h"
#include "writers.h"

namespace {

const char* const kNames[] = {"setup2026120701.log",       "stp_setup2026120701.log",
                              "stp_UtlFile2026120701.log", "stp_waitSetup2026120701.log",
                              "IsCurUserAdmin2026120701.log", "setup2026120600.log"};

bool Proven(const klog::RunReport& run) {
    bool ended = false, exitMain = false;
    for (const klog::ShownLine& l : run.all) {
        if (l.log != "setup") continue;
        ended |= l.text.rfind("is-stp ended at ", 0) == 0;
        exitMain |= l.text == "Exit main";
    }
    return ended && exitMain;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input((const char*)data, size);
    klog::LogFolder folder;
    folder.path = "fuzz";
    size_t start = 0;
    for (size_t i = 0; i < 6 && start <= input.size(); ++i) {
        size_t cut = input.find(std::string("\xFF\x00", 2), start);
        if (cut == std::string::npos) cut = input.size();
        klog::LogFile file;
        if (!klog::ParseLogFileName(kNames[i], &file)) abort();
        klog::ReadLogEntries(input.substr(start, cut - start), (uint16_t)i, &folder.entries, &file.stats);
        folder.files.push_back(file);
        start = cut + 2;
    }
    klog::FolderReport report = klog::ReportFolder(folder, klog::kCodePageAuto, true);
    for (const klog::RunReport& run : report.runs)
        if (run.verdict.outcome == klog::kInstalled && !Proven(run)) abort();
    static FILE* sink = fopen("/dev/null", "w");
    klog::WriteShowText(sink, report);
    return 0;
}
