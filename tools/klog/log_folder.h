// A KivraLog folder as klog reads it: the setup's log files among whatever
// else lies there, and all their entries.
//
// The setup names each file <log><YYYYMMDDWW>.log (date and weekday 00-06):
// setup, stp_<category> (stp_setup, stp_Setup, stp_UtlFile, stp_waitSetup,
// stp_waitCpd) and IsCurUserAdmin. Windows compares names without regard to
// case, so the categories "setup" and "Setup" share one file, spelt as the
// first writer of the day spelt it.
#pragma once
#include <string>
#include <vector>

#include "log_entry.h"

namespace klog {

// Which writer a file belongs to.
enum LogKind {
    kLogSetup,           // setup<D>.log: the main flow
    kLogStpSetup,        // stp_setup / stp_Setup: the password decision, the archiver runs
    kLogStpUtlFile,      // stp_UtlFile: the unpacker
    kLogStpWait,         // stp_waitSetup, stp_waitCpd: the process checks
    kLogIsCurUserAdmin,  // IsCurUserAdmin: the administrator check's failures
    kLogOtherStp,        // stp_<another category>: read, its lines shown as they are
};

struct LogFile {
    std::string name;          // as in the folder
    std::string log;           // the name without date and extension, e.g. "stp_UtlFile"
    LogKind kind = kLogSetup;
    std::string date;          // "YYYY-MM-DD" from the name
    size_t entries = 0;
    ReadStats stats;
    bool unreadable = false;   // could not be opened or read
};

struct LogFolder {
    std::string path;
    bool missing = false;              // the folder itself could not be listed
    std::string error;                 // then why
    std::vector<LogFile> files;        // the setup's log files, by log name and date
    std::vector<std::string> others;   // other names in the folder, left alone
    std::vector<LogEntry> entries;     // every entry, file by file
};

// Compares ASCII letters without regard to case, as Windows compares names.
bool EqualsNoCase(const std::string& a, const char* b);

// Tells whether a file name is one of the setup's log files: fills log, kind
// and date and returns true, or returns false for any other name.
bool ParseLogFileName(const std::string& name, LogFile* file);

// Reads every log file of the folder at path. Never fails: a folder that
// cannot be listed is marked missing, with the system's reason, a file that
// cannot be read unreadable.
LogFolder ReadLogFolder(const std::string& path);

// The folder that klog reads for path: path itself, or, when path holds no
// log file of the setup but a folder called KivraLog (letter case aside), that
// folder, as a collection that keeps each machine's folder below the
// machine's name (PC-017/KivraLog) has it.
std::string LogFolderOf(const std::string& path);

// klog's progress through a long folder, for a person at a terminal: called,
// when set, with a line to show as a large log file is read and as many
// entries are judged. Only klog's main sets it.
extern void (*g_progress)(const std::string& line);

// A log file of at least this many bytes is large enough to report.
const uint64_t kProgressBytes = 8u << 20;

}  // namespace klog
