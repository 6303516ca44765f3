// What klog tells about a folder, in the form its writers print: every run
// judged, its lines resolved to their times, logs and UTF-8 texts, so that the
// folder's bytes need not be kept (klog fleet holds one run per machine).
#pragma once
#include <stddef.h>

#include <string>
#include <vector>

#include "judge.h"
#include "log_folder.h"
#include "text_decode.h"

namespace klog {

struct ShownLine {
    std::string time;   // "YYYY-MM-DD hh:mm:ss"
    std::string log;    // the file's log name, e.g. "stp_UtlFile"
    std::string file;   // the file's name
    std::string text;   // the message, UTF-8
};

struct RunReport {
    Verdict verdict;                 // its entry indexes are not used past the report
    std::string start, end;          // times of its first and last line
    std::string thread;              // the thread tag, hexadecimal
    bool started = false;            // its free-space line is there
    bool ended = false;              // "Exit main" is there
    std::vector<ShownLine> lines;    // the lines that show the outcome and the warnings
    std::vector<ShownLine> unknown;  // lines klog does not know, at most kMaxUnknownShown
    size_t unknownTotal = 0;
    std::vector<ShownLine> all;      // every line, only when asked for
};

// A run holds at most this many unknown lines in a report (a file of
// garbage would otherwise print itself whole).
const size_t kMaxUnknownShown = 50;

struct FileReport {
    std::string name, log, date;
    size_t entries = 0, unreadableBytes = 0;
    bool truncatedEnd = false, unreadable = false;
};

// Names and paths are shown by ShowName, every text by ToUtf8: a report holds
// only text that may be printed as it stands.
struct FolderReport {
    std::string path;
    bool missing = false;
    std::string error;               // why the folder could not be listed
    std::vector<FileReport> files;
    std::vector<std::string> others;
    std::vector<RunReport> runs;     // in time order
};

// Reads and judges the folder at path (LogFolderOf: or the KivraLog folder in
// it). allLines keeps every line of each run.
FolderReport AnalyseFolder(const std::string& path, CodePage page, bool allLines);

// Judges a folder already read.
FolderReport ReportFolder(const LogFolder& folder, CodePage page, bool allLines);

}  // namespace klog
