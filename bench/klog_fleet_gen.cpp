// Makes the KivraLog folders of a fleet for the klog fleet benchmark: N
// machines, each with a week of logs (one run of Setup.exe a day, ending on
// Monday 2026-12-07), in the setup's byte layout and with its line texts.
// The outcomes are drawn from a fixed sequence, so every run makes the same
// folders.
//   klog_fleet_gen OUT_DIR MACHINES
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

namespace {

unsigned g_seed = 20261207;
unsigned Next() { return g_seed = g_seed * 1103515245u + 12345u, (g_seed >> 16) & 0x7FFF; }

struct Day {
    const char* date;  // YYYY-MM-DD
    const char* stamp; // YYYYMMDDWW
};
const Day kWeek[] = {{"2026-12-01", "2026120102"}, {"2026-12-02", "2026120203"}, {"2026-12-03", "2026120304"},
                     {"2026-12-04", "2026120405"}, {"2026-12-05", "2026120506"}, {"2026-12-06", "2026120600"},
                     {"2026-12-07", "2026120701"}};
const char kW[] = "C:\\tmp\\KivraSetup0";
const char* const kPayload[] = {"7za.exe", "kopApxSvr.exe", "KivraSetup.exe", "Qt.7z", "tool.7z",
                                "UrlCmdCustomCfg.7z", "locations.xml", "conn_cfg.ini", "campus-portalcfg.xml",
                                "guest-portalcfg.xml", "^Kivra_end^"};

struct Logs {
    std::string setup, stpSetup, utlFile;
};

std::string Line(const std::string& day, int second, unsigned thread, bool module, const std::string& message) {
    char head[64];
    snprintf(head, sizeof head, module ? "[%s %02d:%02d:%02d] [0x%x] " : "[%s %02d:%02d:%02d] [%x] ", day.c_str(),
             9 + second / 3600, second / 60 % 60, second % 60, thread);
    return head + message + "\r\n";
}

void Run(const Day& day, int at, unsigned thread, unsigned kind, Logs* logs) {
    auto setup = [&](const std::string& m) { logs->setup += Line(day.date, at, thread, false, m); };
    auto stp = [&](const std::string& m) { logs->stpSetup += Line(day.date, at, thread, true, m); };
    auto utl = [&](const std::string& m) { logs->utlFile += Line(day.date, at, thread, true, m); };
    const std::string w = kW;
    if (kind == 1) {  // refused for a full disk: one line
        setup("The C: free space is " + std::to_string(Next() % 299) + "M.");
        return;
    }
    setup("The C: free space is " + std::to_string(20000 + Next() % 90000) + "M.");
    // A machine without customisation files: no source verifies, none has a backup.
    const char* const kSources[][2] = {{"KivraCustom xml", "KivraCustom.xml"},
                                       {"uninstall", "KivraUninstallInfo.xml"},
                                       {"KivraCustom ini", "KivraCustom.ini"},
                                       {"uninstall ini", "KivraUninstallInfo.ini"}};
    for (const auto& source : kSources)
        stp(std::string("IsUninstallPrompt:verifying ") + source[0] + " info FAILED with Err  ,So copy bak files!" +
            "CopyFile " + source[1] + " return false!");
    stp("IsUninstallPrompt:Get Uninstall from reg failed");
    stp("IsUninstallPrompt:!dwResult, return false.");
    utl("utl_FileUnpack: pszSrcPath = C:\\Users\\it\\Downloads pszSrcFile = Setup.exe pszDstPath = " + w);
    utl("utl_FileUnpack: szSrcAbsFile = C:\\Users\\it\\Downloads\\Setup.exe");
    utl("utl_FileUnpack: dwSizeHigh = 0 dwSizeLow = 19843221");
    if (kind == 2) {  // a damaged download
        utl("utl_FileUnpack:Err: 163.");
        setup("install failed with Err 163.");
        setup("Exit main");
        return;
    }
    int k = 1;
    for (const char* name : kPayload) {
        utl("utl_FileUnpack: unpack time = " + std::to_string(k++));
        utl("utl_FileUnpack: dwBufDataLen = 4 dwCurFileNameLen = 9 sizeof(DWORD) = 4");
        utl("utl_FileUnpack: dwCurTotalLen = " + std::to_string(k * 100000));
        utl("utl_FileUnpack: szDstAbsFile = " + w + "\\" + name);
    }
    utl("utl_FileUnpack: The file is end.");
    for (const char* archive : {"Qt.7z", "tool.7z", "UrlCmdCustomCfg.7z"}) {
        setup(w + "\\" + archive);
        setup(w + "\\7za.exe x \"" + w + "\\" + archive + "\" -o\"" + w + "\" -y");
        setup(std::string("\r\n7-Zip (A) 9.20  Copyright (c) 1999-2010 Igor Pavlov  2010-11-18\r\n\r\n") +
              "Processing archive: " + w + "\\" + archive + "\r\n\r\nExtracting  a\\b.dll\r\n\r\n" +
              (kind == 3 ? "Data Error in encrypted file. Wrong password?\r\n\r\nSub items Errors: 1\r\n"
                         : "Everything is Ok\r\n\r\nFiles: 31\r\nSize:       18734112\r\nCompressed: 15204112\r\n"));
    }
    if (kind == 4) {  // killed while the installer ran
        setup("is-stp started at " + std::to_string(Next() % 20));
        return;
    }
    setup("is-stp started at " + std::to_string(Next() % 20));
    setup("is-stp ended at " + std::to_string(100 + Next() % 400) + ".");
    setup("Exit main");
}

void WriteFile(const std::string& path, const std::string& bytes) {
    if (bytes.empty()) return;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        fprintf(stderr, "klog_fleet_gen: cannot write %s\n", path.c_str());
        exit(1);
    }
    fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: klog_fleet_gen OUT_DIR MACHINES\n");
        return 2;
    }
    const std::string out = argv[1];
    const int machines = atoi(argv[2]);
    mkdir(out.c_str(), 0755);
    for (int m = 1; m <= machines; ++m) {
        char name[32];
        snprintf(name, sizeof name, "/PC-%04d", m);
        const std::string dir = out + name;
        mkdir(dir.c_str(), 0755);
        for (const Day& day : kWeek) {
            Logs logs;
            // Mostly installations; now and then a full disk, a damaged
            // download, an archive that did not extract, a killed run.
            unsigned r = Next() % 20;
            unsigned kind = r < 14 ? 0 : r < 16 ? 1 : r < 18 ? 2 : r < 19 ? 3 : 4;
            Run(day, (int)(Next() % 28000), 0x100 + Next() % 0xF00, kind, &logs);
            WriteFile(dir + "/setup" + day.stamp + ".log", logs.setup);
            WriteFile(dir + "/stp_setup" + day.stamp + ".log", logs.stpSetup);
            WriteFile(dir + "/stp_UtlFile" + day.stamp + ".log", logs.utlFile);
        }
    }
    return 0;
}
