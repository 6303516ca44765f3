#include "known_lines.h"

#include <string.h>

namespace klog {

namespace {

struct ExactLine {
    const char* text;
    LineKind kind;
};

// The setup log's fixed lines.
const ExactLine kSetupLines[] = {
    {"Begin UnpackAndSetup", kBeginUnpack},
    {"g_bExit = TRUE;", kPasswordAccepted},
    {" handle the error and possibly exit", kMessageLoopError},
    {"Exit main", kExitMain},
    {"msi install.", kMsiInstall},
    {"can't get source path.", kMsiNoSourcePath},
    {"InstallScript has copy msi file.", kMsiHasCopy},
    {"Network problem, cannot access source file.", kMsiNetworkProblem},
    {"Cannot use setup copy msi file, accessible error.", kMsiCopyUnusable},
    {"unpack managecfg fail!", kManagecfgFail},
};

// The administrator check's failure lines.
const char* const kAdminLines[] = {
    "Cannot open process token",
    "GetTokenInformation error",
    "GetTokenInformation error with NULL!",
};
const char kAdminSidPrefix[] = "Cannot create SID for Administrators with Err:";

// The archives the setup extracts, as the last part of their logged paths.
const char* const kArchives[] = {"Qt.7z", "tool.7z", "UrlCmdCustomCfg.7z"};

// The repair entries of the password decision: how each one starts, the
// customisation file it is about, and the copy-failure texts of its pair.
struct RepairLine {
    const char* start;
    const char* file;
    const char* dataCopyFailed;
    const char* vrfCopyFailed;
};
const RepairLine kRepairs[] = {
    {"verifying KivraCustom xml info FAILED with Err ", "KivraCustom.xml", "CopyFile KivraCustom.xml return false!",
     "CopyFile KivraCustomxml.vrf return false!"},
    {"verifying uninstall info FAILED with Err ", "KivraUninstallInfo.xml",
     "CopyFile KivraUninstallInfo.xml return false!", "CopyFile KivraUninstallInfoxml.vrf return false!"},
    {"verifying KivraCustom ini info FAILED with Err ", "KivraCustom.ini", "CopyFile KivraCustom.ini return false!",
     "CopyFile KivraCustom.vrf return false!"},
    {"verifying uninstall ini info FAILED with Err ", "KivraUninstallInfo.ini",
     "CopyFile KivraUninstallInfo.ini return false!", "CopyFile KivraUninstallInfo.vrf return false!"},
};
const char kRepairMarker[] = " ,So copy bak files!";
const char kFailedAgain[] = "FAILED again!";

// Whether s begins with prefix.
bool StartsWith(const std::string& s, const char* prefix) { return s.compare(0, strlen(prefix), prefix) == 0; }

// Whether s ends with suffix.
bool EndsWith(const std::string& s, const char* suffix) {
    size_t n = strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// Whether part occurs in s.
bool Contains(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

// s is exactly prefix, a decimal number (a '-' allowed when signed) and
// suffix; the number goes to *value.
bool NumberBetween(const std::string& s, const char* prefix, const char* suffix, bool allowSign, int64_t* value) {
    size_t a = strlen(prefix), b = strlen(suffix);
    if (s.size() <= a + b || !StartsWith(s, prefix) || !EndsWith(s, suffix)) return false;
    size_t i = a, end = s.size() - b;
    bool negative = allowSign && s[i] == '-';
    if (negative) ++i;
    if (i == end || end - i > 12) return false;
    int64_t v = 0;
    for (; i < end; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
    }
    *value = negative ? -v : v;
    return true;
}

// Whether s holds no line break.
bool OneLine(const std::string& s) { return s.find_first_of("\r\n") == std::string::npos; }

// Whether s is one line that starts like a Windows path: a drive, a share or ".\".
bool LooksLikePath(const std::string& s) {
    if (!OneLine(s) || s.size() < 3) return false;
    bool drive = ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z')) && s[1] == ':' && s[2] == '\\';
    return drive || StartsWith(s, "\\\\") || StartsWith(s, ".\\");
}

// "...\7za.exe x "W\Qt.7z" -o"W" -y": the archive's name, or "" when s is no
// archiver command.
std::string ArchiverCommandArchive(const std::string& s) {
    size_t x = s.find("\\7za.exe x \"");
    if (x == std::string::npos || !EndsWith(s, "\" -y") || !OneLine(s)) return "";
    size_t open = x + strlen("\\7za.exe x \"");
    size_t close = s.find("\" -o\"", open);
    if (close == std::string::npos) return "";
    std::string archive = s.substr(open, close - open);
    size_t slash = archive.find_last_of('\\');
    return slash == std::string::npos ? archive : archive.substr(slash + 1);
}

// Classifies a message of the setup log.
LineInfo SetupLine(const std::string& m) {
    LineInfo info;
    for (const ExactLine& line : kSetupLines)
        if (m == line.text) {
            info.kind = line.kind;
            return info;
        }
    // "The %s free space is %dM."
    size_t is = m.find(" free space is ");
    if (StartsWith(m, "The ") && is != std::string::npos && is > 4 &&
        NumberBetween(m.substr(is), " free space is ", "M.", true, &info.number)) {
        info.kind = kFreeSpace;
        info.text = m.substr(4, is - 4);
        return info;
    }
    if (NumberBetween(m, "install failed with Err ", ".", false, &info.number)) {
        info.kind = kInstallFailed;
    } else if (NumberBetween(m, "is-stp started at ", "", false, &info.number)) {
        info.kind = kInstallerStarted;
    } else if (NumberBetween(m, "is-stp ended at ", ".", false, &info.number)) {
        info.kind = kInstallerEnded;
    } else if (StartsWith(m, "CreateWorkDir: ") &&
               EndsWith(m, " is a link that is not owned by Administrators or SYSTEM.")) {
        info.kind = kWorkDirLink;
    } else if (StartsWith(m, "CreateWorkDir: ") && EndsWith(m, " leads elsewhere; it is left as it is.")) {
        info.kind = kWorkDirElsewhere;
    } else if (LooksLikePath(m) && EndsWith(m, " was not made by this setup; it is not used.")) {
        info.kind = kMsiCopyUntrusted;
        info.text = m.substr(0, m.size() - strlen(" was not made by this setup; it is not used."));
    } else if (LooksLikePath(m) && EndsWith(m, " is no longer the program that is running; it is not used.")) {
        info.kind = kCarrierReplaced;
        info.text = m.substr(0, m.size() - strlen(" is no longer the program that is running; it is not used."));
    } else if (NumberBetween(m, "RunPasswordDialog: CreateDialogParamW failed with Err ", ".", false, &info.number)) {
        info.kind = kDialogFailed;
    } else if (!(info.text = ArchiverCommandArchive(m)).empty()) {
        info.kind = kArchiverCommand;
    } else if (LooksLikePath(m)) {
        info.kind = kPathLine;
        for (const char* archive : kArchives)
            if (EndsWith(m, (std::string("\\") + archive).c_str())) {
                info.kind = kArchivePath;
                info.text = archive;
            }
    }
    return info;
}

// Classifies an "IsUninstallPrompt:" entry of the password decision.
LineInfo PromptLine(const std::string& m) {
    LineInfo info;
    info.kind = kPromptOther;
    const std::string rest = m.substr(strlen("IsUninstallPrompt:"));
    if (rest == "Need prompt uninstall password Dlg") {
        info.kind = kPromptNeedDialog;
    } else if (rest == "Get Version from old reg succ, return true.") {
        info.kind = kPromptOldRegTrue;
    } else if (rest == "!dwResult, return false." || rest == "Get Version from old reg failed, return false.") {
        info.kind = kPromptNo;
    } else if (Contains(rest, kRepairMarker)) {
        for (const RepairLine& repair : kRepairs) {
            if (!StartsWith(rest, repair.start)) continue;
            info.kind = kPromptRepair;
            info.text = repair.file;
            if (Contains(rest, repair.dataCopyFailed))
                info.repair = kRepairNoBackup;
            else if (Contains(rest, repair.vrfCopyFailed))
                info.repair = kRepairIncomplete;
            else if (EndsWith(rest, kFailedAgain))
                info.repair = kRepairFailedAgain;
            else
                info.repair = kRepairRestored;
        }
    }
    return info;
}

// Classifies a message of an stp_ log, whichever category's file holds it.
LineInfo ModuleLine(const std::string& m) {
    LineInfo info;
    if (StartsWith(m, "IsUninstallPrompt:")) return PromptLine(m);
    if (m == "utl_LoadCusIniFile:CusIniVerify old true,so copy files.") {
        info.kind = kCusIniMovedFromOld;
    } else if (StartsWith(m, "utl_LoadCusIniFile:CopyFile ") && EndsWith(m, " return false!")) {
        info.kind = kCusCopyFailed;
        info.text = m.substr(strlen("utl_LoadCusIniFile:CopyFile "),
                             m.size() - strlen("utl_LoadCusIniFile:CopyFile ") - strlen(" return false!"));
    } else if (StartsWith(m, "utl_LoadCusXmlFile:") || StartsWith(m, "utl_LoadCusIniFile:")) {
        info.kind = kCusOther;
    } else if (m == "the len in is too small") {
        info.kind = kDriveBufferTooSmall;
    } else if (NumberBetween(m, "GetCmd: Create Pipe Failed with ErrCode:", "", false, &info.number)) {
        info.kind = kCmdPipeFailed;
    } else if (NumberBetween(m, "GetCmd: Create CMD Process Failed with ErrCode:", "", false, &info.number)) {
        info.kind = kCmdProcessFailed;
    } else if (m == "GetCmd: WAIT_FAILED!") {
        info.kind = kCmdWaitFailed;
    } else if (NumberBetween(m, "chkProcExist: createToolSnap failed with err: ", "", true, &info.number) ||
               NumberBetween(m, "chkProcExist: process32First failed with err: ", "", true, &info.number)) {
        info.kind = kProcListFailed;
    } else if (NumberBetween(m, "utl_FileUnpack:Err: ", ".", true, &info.number)) {
        info.kind = kUnpackErr;
    } else if (StartsWith(m, "utl_FileUnpack: file name not allowed: ")) {
        info.kind = kUnpackNameRefused;
    } else if (m == "utl_FileUnpack: The file is end.") {
        info.kind = kUnpackEnd;
    } else if (StartsWith(m, "utl_FileUnpack: ") || m == "17") {
        info.kind = kUnpackTrace;
    } else if (StartsWith(m, "utl_GetFileSize: GetFileAttributesEx failed with err.")) {
        info.kind = kFileSizeFailed;
    }
    return info;
}

// Classifies a message of the administrator check's log.
LineInfo AdminLine(const std::string& m) {
    LineInfo info;
    for (const char* line : kAdminLines)
        if (m == line) info.kind = kAdminCheckFailed;
    if (NumberBetween(m, kAdminSidPrefix, ".", false, &info.number)) info.kind = kAdminCheckFailed;
    return info;
}

}  // namespace

LineInfo ClassifyLine(LogKind log, const std::string& message) {
    switch (log) {
    case kLogSetup:
        return SetupLine(message);
    case kLogIsCurUserAdmin:
        return AdminLine(message);
    default:
        return ModuleLine(message);
    }
}

}  // namespace klog
