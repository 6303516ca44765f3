// Helpers of the Windows tests: files, logs, child programs, message boxes.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Whole-file read and write; ReadFileBytes gives "" for a missing file.
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);

// Removes a directory tree with plain Windows calls (test set-up only).
void RemoveTree(const std::string& path);
// The names in a directory, without "." and "..".
std::vector<std::string> ListDir(const std::string& dir);
void MakeDirs(const std::string& path);

// "YYYYMMDDWW" of the local date, as in log file names; of a day some days
// away from today.
std::string LogDateStamp();
std::string LogDateStampDaysAway(int days);
// The lines of a log file in C:\KivraLog written today, e.g. TodayLog("setup"),
// TodayLog("stp_UtlFile"); each line without its "[time] [thread] " head.
std::vector<std::string> TodayLogMessages(const std::string& stem);
// The last of a log's messages, or "(no message)" when it has none, so that an
// expectation on it fails instead of reading past the end of the list.
std::string LastMessage(const std::vector<std::string>& messages);
// Deletes every file in C:\KivraLog.
void ClearLogs();
// Copies the files of C:\KivraLog into <build tree>/kivralogs/<scenario>
// (emptied first; "<scenario>-zh" when the system's language is Chinese),
// where klog's tests judge what the real setup wrote.
void KeepLogs(const std::string& scenario);

// The places that the test programs share, as each one expects them, whatever
// an earlier program that crashed left there: C:\tmp and C:\KivraLog real
// folders with no link planted at or in them, no work directory, the carrier
// of the executable (no InstallByMsi, no MsiSourceName), and Wine's own
// debug-help library.
void ResetSharedState();

// A clean slate for a run of Setup.exe: the shared state above, an empty
// C:\carrier for the carrier, and an installer stand-in that shows its window
// only briefly (300 ms).
void PrepareSetupRun();
// How long the installer stand-in shows its window, from now on for every run
// in this prefix (a value of the user's registry: the setup passes the
// stand-in no variable of this process).
void SetStandInShownMs(DWORD ms);

// Windows paths of programs of this build tree.
std::string BuildPath(const std::string& relative); // relative with '/'
// The Setup.exe that end-to-end tests start: the shipped dist/Setup.exe in the
// i686 tree, the tree's own rebuild in the x86_64 tree.
std::string SetupExe();
std::string HelperExe(const std::string& name);
std::string SevenZipExe();

// The Unix path of a path on the test prefix's drive C, or on drive Z (the
// Unix root).
std::string UnixPathOf(const std::string& windowsPath);
// Runs a /bin/sh script on the Unix side and waits up to 10 s for its end.
// Returns whether it ended with exit status 0.
// Programs under Wine cannot make symbolic links; tests plant them this way.
// The script must hold no double quote.
bool RunUnixShell(const std::string& script);

// A message box that a watcher saw and closed.
struct SeenBox {
    std::string caption;
    std::string text;
};

// Watches for dialog-class windows of one process (0: this process), records
// each message box's caption and text, and closes it with its OK button.
class BoxWatcher {
public:
    explicit BoxWatcher(DWORD processId = 0);
    ~BoxWatcher();
    std::vector<SeenBox> Boxes();

private:
    static DWORD WINAPI Run(void* self);
    DWORD processId_;
    HANDLE thread_;
    volatile LONG stop_;
    CRITICAL_SECTION lock_;
    std::vector<SeenBox> boxes_;
};

// Runs a command line, answering its message boxes, and waits for its end.
// Returns the exit code, or -1 when it could not start or did not end in time.
struct ChildRun {
    long exitCode = -1;
    std::vector<SeenBox> boxes;
};
ChildRun RunChild(const std::string& commandLine, DWORD timeoutMs = 60000);

// Starts a Windows program and returns its process handle (the caller closes
// it); null when it did not start a Windows process.
HANDLE StartChild(const std::string& commandLine);

// A payload: file names and contents, in pack order.
typedef std::vector<std::pair<std::string, std::string>> Payload;

// The plain files of a folder, sorted by name.
Payload ReadFolder(const std::string& dir);

// The bytes of a pack holding payload, with the end record unless told not to.
std::string BuildPack(const Payload& payload, bool endRecord = true);

// exe padded with zero bytes to offset, then pack.
std::string BuildCarrier(const std::string& exe, size_t offset, const std::string& pack);

// Sets or (value nullptr) deletes a value under HKEY_LOCAL_MACHINE\subKey.
void SetRegString(const char* subKey, const char* name, const char* value);
void SetRegDword(const char* subKey, const char* name, DWORD value);
void DeleteRegValue(const char* subKey, const char* name);
