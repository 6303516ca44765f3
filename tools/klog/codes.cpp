#include "codes.h"

#include <stddef.h>

#include "setup/sequence_codes.h"

namespace klog {

namespace {

const CodeMeaning kSetupCodes[] = {
    {0, "The sequence stopped without a code of its own.",
     "In MSI mode the line before tells why: the package source named by the registry value MsiSourceName "
     "was unreachable (a network share, a removed disk) or, on this machine, lies where users may change it "
     "(such as the administrator's Downloads folder: keep it where only administrators write, or on a "
     "share), or the copy KivraSetup.msi beside Setup.exe could not be used; otherwise the folder Qt could "
     "not be made in C:\\tmp\\KivraSetup0."},
    {kSeqArchiveNotExtracted, "Qt.7z or tool.7z was not extracted: the archiver's output lacked \"Everything is Ok\".",
     "The archive inside the payload (kpack list), 7za.exe beside it, and the free space of the system disk; "
     "the setup goes on after it, so this code is recorded but normally never logged."},
    {150, "The unpacker was called without its source or destination.",
     "Nothing on the machine: an internal fault of the setup; report it with this folder."},
    {151, "The carrier's path or the work directory's path is 260 characters or longer.",
     "Start Setup.exe from a folder with a shorter path, such as C:\\Install."},
    {152, "The carrier file was not found when unpacking began.",
     "Whether Setup.exe (or KivraSetup.msi beside it) was moved, renamed or quarantined while the setup ran."},
    {155, "The carrier's size could not be read, is 4 GiB or more, or does not reach past the pack's offset.",
     "The carrier is truncated or is a bare Setup.exe: compare its size with the release's."},
    {156, "The carrier could not be opened for reading.",
     "A scanner or another program holding Setup.exe open; run the setup again once it is released."},
    {157, "An extracted file could not be written.",
     "The free space of the system disk and what may write to C:\\tmp\\KivraSetup0."},
    {158, "The work directory did not exist when unpacking began.",
     "A clean-up tool or scanner that removes C:\\tmp\\KivraSetup0 while the setup runs."},
    {159, "The pack's marker could not be read: the carrier ends at the pack's offset.",
     "A bare Setup.exe without payload, or a truncated download."},
    {160, "There is no pack at the pack's offset: its marker is wrong.",
     "A Setup.exe that was not made by kpack, or was changed after stamping; kpack list shows it."},
    {161, "A record's name is unreadable, longer than 64 bytes, too long with the work directory, or not "
          "allowed (it would reach outside the work directory).",
     "The carrier is damaged or was tampered with: check its signature and rebuild it with kpack."},
    {162, "A record's length field could not be read: the carrier ends inside a record.",
     "A truncated download: compare the carrier's size with the release's."},
    {163, "A record reaches past the end of the carrier.",
     "A truncated download: compare the carrier's size with the release's."},
    {164, "A record's name could not be read in full.",
     "A truncated or damaged carrier: compare its size with the release's."},
    {165, "An extracted file could not be created or opened.",
     "A file of that name in C:\\tmp\\KivraSetup0 held open or read-only, for instance by an earlier "
     "installer that still runs, or a scanner."},
    {166, "A record's data could not be read in full.",
     "A truncated or damaged carrier, or a read error of its disk or network share."},
    {kSeqNoWorkDir, "The work directory C:\\tmp\\KivraSetup0 could not be made or trusted.",
     "C:\\tmp and C:\\tmp\\KivraSetup0: a link there that not only administrators control (one made at "
     "the drive's root lets Authenticated Users change it), a folder held by another program, or a full disk "
     "(the CreateWorkDir line, when there is one, names it)."},
    {kSeqBadCarrierSize, "The carrier is missing, is 4 GiB or more, or is not longer than the pack's offset "
                         "(490000 for Setup.exe, 3300000 for KivraSetup.msi).",
     "A bare Setup.exe without payload, a truncated download, or a KivraSetup.msi copy that is no carrier."},
    {kSeqNoAdmissionProgram, "The admission program kopApxSvr.exe is not in the work directory.",
     "Whether the payload holds it (kpack list) and whether a scanner removed it from C:\\tmp\\KivraSetup0."},
    {kSeqCannotListWorkDir, "The work directory could not be listed while the data files were laid out.",
     "The permissions of C:\\tmp\\KivraSetup0 and programs that lock it."},
    {kSeqNoInstaller, "The installer KivraSetup.exe is not in the work directory.",
     "Whether the payload holds it (kpack list) and whether a scanner removed it from C:\\tmp\\KivraSetup0."},
};

// The system error codes that the command runner reports for the archiver
// (CreatePipe, CreateProcess).
const CodeMeaning kRunnerCodes[] = {
    {2, "The system cannot find the file: 7za.exe is not in the work directory.",
     "Whether the payload holds 7za.exe (kpack list) and whether a scanner removed it."},
    {3, "The system cannot find the path: the work directory is gone.",
     "A clean-up tool or scanner that removes C:\\tmp\\KivraSetup0 while the setup runs."},
    {5, "Access is denied: the archiver may not be started.",
     "Application control (AppLocker, software restriction policies) or a scanner blocking programs in C:\\tmp."},
    {8, "Not enough memory to start the archiver.", "The machine's memory and the programs using it."},
    {14, "Not enough memory to start the archiver.", "The machine's memory and the programs using it."},
    {32, "The archiver's file is in use by another process.", "A scanner holding 7za.exe open."},
    {193, "7za.exe is not a valid program: damaged, or built for another system.",
     "The 7za.exe in the payload (kpack list); a scanner may have altered it."},
    {216, "7za.exe is built for another processor.", "The 7za.exe in the payload: it must be the i686 build."},
    {225, "A scanner reported 7za.exe as infected and blocked it.", "The scanner's quarantine and its exclusions."},
    {740, "Starting the archiver asked for an elevation that the setup did not get.",
     "That the setup was started with administrator rights, and the 7za.exe in the payload."},
    {1260, "A group policy blocks the archiver.", "Software restriction policies or AppLocker rules for C:\\tmp."},
    {1450, "The system's resources ran out while starting the archiver.", "Restart the machine and run again."},
    {4551, "Application control policy blocked the archiver.", "Windows Defender Application Control rules for C:\\tmp."},
};

// The entry of a table for code, or null.
template <size_t N>
const CodeMeaning* Find(const CodeMeaning (&table)[N], int64_t code) {
    for (const CodeMeaning& entry : table)
        if (entry.code == code) return &entry;
    return nullptr;
}

}  // namespace

const char kUnlistedRunnerCode[] =
    "a system error code that klog does not list; the Windows error-code reference names it.";

const CodeMeaning* SetupCode(int64_t code) { return Find(kSetupCodes, code); }

const CodeMeaning* RunnerCode(int64_t code) { return Find(kRunnerCodes, code); }

}  // namespace klog
