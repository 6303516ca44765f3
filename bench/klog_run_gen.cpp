// Makes a KivraLog folder that holds one long run of Setup.exe, for the klog
// single-run benchmark (bench/klog-run.sh): a setup log of about MIB MiB and
// an unpacker's log an eighth of that, all of one thread, in the setup's byte
// layout and with its line texts. The run retries its MSI source, runs the
// archiver again and again and writes lines klog does not know, so that its
// verdict rests on many lines; it ends with "Exit main".
//   klog_run_gen OUT_DIR MIB
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

namespace {

const char kW[] = "C:\\tmp\\KivraSetup0";
const char* const kArchives[] = {"Qt.7z", "tool.7z"};

// One entry: the time stamp of second (from 09:00:00), the thread tag, the text.
std::string Line(int second, bool module, const std::string& message) {
    char head[64];
    snprintf(head, sizeof head, module ? "[2026-12-07 %02d:%02d:%02d] [0x%x] " : "[2026-12-07 %02d:%02d:%02d] [%x] ",
             9 + second / 3600, second / 60 % 60, second % 60, 0x3f4);
    return head + message + "\r\n";
}

// Writes bytes to path; exits on failure.
void WriteFile(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fclose(f) != 0) {
        fprintf(stderr, "klog_run_gen: cannot write %s\n", path.c_str());
        exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || atoi(argv[2]) < 1) {
        fprintf(stderr, "usage: klog_run_gen OUT_DIR MIB\n");
        return 2;
    }
    const std::string out = argv[1];
    const size_t bytes = (size_t)atoi(argv[2]) << 20;
    mkdir(out.c_str(), 0755);
    const std::string w = kW;
    std::string setup, utl;
    setup.reserve(bytes + 4096);
    utl.reserve(bytes / 8 + 4096);
    setup += Line(0, false, "The C: free space is 41234M.");
    setup += Line(0, false, "msi install.");
    // The lines of the run, within seven hours: klog takes no line of a
    // thread after twelve hours of silence as the same run's.
    const int span = 7 * 3600;
    for (size_t k = 0; setup.size() < bytes - 128; ++k) {
        const int at = (int)((unsigned long long)setup.size() * span / bytes);
        switch (k % 8) {
        case 0: setup += Line(at, false, "can't get source path."); break;
        case 1: setup += Line(at, false, "InstallScript has copy msi file."); break;
        case 2: {
            const std::string archive = kArchives[k / 8 % 2];
            setup += Line(at, false, w + "\\" + archive);
            setup += Line(at, false, w + "\\7za.exe x \"" + w + "\\" + archive + "\" -o\"" + w + "\" -y");
            setup += Line(at, false,
                          "\r\n7-Zip (A) 9.20  Copyright (c) 1999-2010 Igor Pavlov  2010-11-18\r\n\r\nProcessing "
                          "archive: " + w + "\\" + archive + "\r\n\r\nExtracting  a\\b.dll\r\n\r\n" +
                              (k % 3 ? "Everything is Ok\r\n" : "Data Error in encrypted file. Wrong password?\r\n"));
            break;
        }
        case 3: setup += Line(at, false, "unpack managecfg fail!"); break;
        default:
            setup += Line(at, false, "a line of a later version, number " + std::to_string(k));
            break;
        }
        if (k % 4 == 0 && utl.size() < bytes / 8)
            utl += Line(at, true, "utl_FileUnpack: dwCurTotalLen = " + std::to_string(k * 1000));
    }
    setup += Line(span, false, "is-stp started at 3");
    setup += Line(span, false, "is-stp ended at 120.");
    setup += Line(span, false, "Exit main");
    WriteFile(out + "/setup2026120701.log", setup);
    WriteFile(out + "/stp_UtlFile2026120701.log", utl);
    return 0;
}
