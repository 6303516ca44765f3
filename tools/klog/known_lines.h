// Every line the setup writes, as klog recognises it: one table of the texts,
// byte for byte as the setup logs them, and the classifier that tells which
// one an entry is and takes its numbers out. A message that matches none is
// kUnknown and is shown as it stands, never dropped.
#pragma once
#include <stdint.h>

#include <string>

#include "log_folder.h"

namespace klog {

enum LineKind {
    kUnknown,
    // setup<D>.log, the main flow
    kFreeSpace,           // "The C: free space is 5000M."  the first line of every run
    kBeginUnpack,         // "Begin UnpackAndSetup"          after an accepted password
    kPasswordAccepted,    // "g_bExit = TRUE;"
    kMessageLoopError,    // " handle the error and possibly exit"
    kExitMain,            // "Exit main"                     the last line of a run that ended
    kInstallFailed,       // "install failed with Err 160."
    kMsiInstall,          // "msi install."
    kMsiNoSourcePath,     // "can't get source path."         one per retry
    kMsiHasCopy,          // "InstallScript has copy msi file."
    kMsiNetworkProblem,   // "Network problem, cannot access source file."
    kMsiCopyUnusable,     // "Cannot use setup copy msi file, accessible error."
    kArchivePath,         // "C:\tmp\KivraSetup0\Qt.7z" (also tool.7z, UrlCmdCustomCfg.7z)
    kArchiverCommand,     // "...\7za.exe x "...\Qt.7z" -o"..." -y"
    kPathLine,            // any other line that is a path: the carrier when it was not found
    kManagecfgFail,       // "unpack managecfg fail!"
    kInstallerStarted,    // "is-stp started at 3"
    kInstallerEnded,      // "is-stp ended at 12."
    kWorkDirLink,         // "CreateWorkDir: ... is a link that is not owned by ..."
    kWorkDirElsewhere,    // "CreateWorkDir: ... leads elsewhere; it is left as it is."
    kMsiCopyUntrusted,    // "...\KivraSetup.msi was not made by this setup; it is not used."
    kCarrierReplaced,     // "...\Setup.exe is no longer the program that is running; it is not used."
    kDialogFailed,        // "RunPasswordDialog: CreateDialogParamW failed with Err 1400."
    // stp_setup: the customisation files and the password decision
    kPromptNeedDialog,    // "IsUninstallPrompt:Need prompt uninstall password Dlg"
    kPromptOldRegTrue,    // "IsUninstallPrompt:Get Version from old reg succ, return true."
    kPromptNo,            // "IsUninstallPrompt:!dwResult, return false." or "...old reg failed, return false."
    kPromptRepair,        // "IsUninstallPrompt:verifying ... FAILED with Err  ,So copy bak files!..."
    kPromptOther,         // any other "IsUninstallPrompt:" entry
    kCusIniMovedFromOld,  // "utl_LoadCusIniFile:CusIniVerify old true,so copy files."
    kCusCopyFailed,       // "utl_LoadCusIniFile:CopyFile KivraCustom.ini return false!"
    kCusOther,            // other "utl_LoadCusXmlFile:" / "utl_LoadCusIniFile:" entries
    kDriveBufferTooSmall, // "the len in is too small"
    // stp_Setup: the command runner
    kCmdPipeFailed,       // "GetCmd: Create Pipe Failed with ErrCode:5"
    kCmdProcessFailed,    // "GetCmd: Create CMD Process Failed with ErrCode:2"
    kCmdWaitFailed,       // "GetCmd: WAIT_FAILED!"
    // stp_waitSetup, stp_waitCpd: the process checks
    kProcListFailed,      // "chkProcExist: createToolSnap failed with err: 5" (or process32First)
    // stp_UtlFile: the unpacker
    kUnpackErr,           // "utl_FileUnpack:Err: 160."
    kUnpackNameRefused,   // "utl_FileUnpack: file name not allowed: ..."
    kUnpackEnd,           // "utl_FileUnpack: The file is end."
    kUnpackTrace,         // the unpacker's other lines, and its "17" before a 160
    kFileSizeFailed,      // "utl_GetFileSize: GetFileAttributesEx failed with err...."
    // IsCurUserAdmin<D>.log
    kAdminCheckFailed,    // "Cannot open process token", "GetTokenInformation error", ...
};

// Which repair of the customisation files an kPromptRepair entry tells.
enum RepairResult {
    kRepairRestored,      // the backup pair was copied over and verifies
    kRepairNoBackup,      // the backup's data file is missing: nothing to restore
    kRepairIncomplete,    // the data file was restored, its .vrf was not
    kRepairFailedAgain,   // the restored pair does not verify either
};

struct LineInfo {
    LineKind kind = kUnknown;
    int64_t number = -1;      // the code, the figure or the count the line carries
    std::string text;         // a name it carries: drive, archive, customisation file
    RepairResult repair = kRepairRestored;
};

// Classifies one entry of a log of the given kind.
LineInfo ClassifyLine(LogKind log, const std::string& message);

}  // namespace klog
