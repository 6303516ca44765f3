// Throughput of utl_FileUnpack against its floor, run under Wine by
// bench/bench-unpack.sh. For each payload size it makes a carrier with kpack
// (files of 4 MB, Setup.exe-sized head, pack at 490000) and times, round by
// round and in turns so that load from elsewhere spreads over all three:
//   unpack     utl_FileUnpack of the carrier into a fresh directory
//   4 KiB loop the carrier's pack region copied into one fresh file by bare
//              4096-byte ReadFile/WriteFile pairs: the unpacker's floor, since
//              its chunk size is fixed
//   CopyFileA  a file of the payload's size copied by the system
// and prints the best and the median of each, and the unpacker's ratios.
//   bench_unpack.exe [ROUNDS [SIZE_MB...]]   (default 5 rounds, 20 and 200 MB)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kpack.h"
#include "log/log.h"
#include "pack/file_io.h"
#include "pack/pack_format.h"
#include "pack/unpack.h"
#include "support/pack_bytes.h"
#include "support/winsupport.h"

namespace {

const char kRoot[] = "C:\\tmp\\kivra-bench";
const size_t kFileBytes = 4u << 20;

double Seconds(LARGE_INTEGER a, LARGE_INTEGER b, LARGE_INTEGER freq) {
    return (double)(b.QuadPart - a.QuadPart) / (double)freq.QuadPart;
}

bool MakeData(const std::string& path, size_t bytes, unsigned seed) {
    std::string data(bytes, '\0');
    for (size_t i = 0; i < bytes; ++i) {
        seed = seed * 1103515245u + 12345u;
        data[i] = (char)(seed >> 16);
    }
    return WriteFileBytes(path, data);
}

// The floor: bare 4096-byte read/write pairs from offset to the end of src,
// with the unpacker's own open calls.
bool BareLoop(const std::string& src, DWORD offset, const std::string& dst) {
    HANDLE in = utl_OpenFileForRead(src.c_str());
    HANDLE out = utl_NewOrOpenFileForWrite(dst.c_str());
    bool ok = in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE &&
              SetFilePointer(in, (LONG)offset, nullptr, FILE_BEGIN) == offset;
    char buffer[pack::kChunkLen];
    DWORD got = 0, written = 0;
    while (ok && ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got > 0)
        ok = WriteFile(out, buffer, got, &written, nullptr) && written == got;
    if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    return ok;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    if (rounds < 1) rounds = 1;
    std::vector<int> sizesMb;
    for (int i = 2; i < argc; ++i) sizesMb.push_back(std::atoi(argv[i]));
    if (sizesMb.empty()) sizesMb = {20, 200};
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    const std::string root = kRoot;
    const char* const names[] = {"unpack", "4 KiB loop", "CopyFileA"};

    std::printf("%d rounds; MB/s, best and median\n", rounds);
    std::printf("%-8s %19s %19s %19s %21s\n", "payload", names[0], names[1], names[2],
                "unpack/loop  /CopyFileA");
    for (int mb : sizesMb) {
        RemoveTree(root);
        MakeDirs(root + "\\payload");
        const size_t total = (size_t)mb << 20;
        for (size_t done = 0, n = 0; done < total; ++n) {
            size_t bytes = total - done < kFileBytes ? total - done : kFileBytes;
            if (!MakeData(root + "\\payload\\part" + std::to_string(n) + ".bin", bytes, (unsigned)n)) return 1;
            done += bytes;
        }
        if (!MakeData(root + "\\copy-src.bin", total, 99)) return 1;
        if (!WriteFileBytes(root + "\\Setup.exe", PeCarrier() + std::string(59000, 'M'))) return 1;
        const std::string carrier = root + "\\Setup-bench.exe";
        kpack::Result made = kpack::MakeCarrier(root + "\\payload", root + "\\Setup.exe",
                                                pack::kSetupExeOffset, carrier);
        if (!made.ok()) {
            std::fprintf(stderr, "bench: %s\n", made.message.c_str());
            return 1;
        }

        // Where the unpacker's time beyond the floor goes: its log lines (one
        // unpack's worth, written the same way) and the mix of every byte.
        ClearLogs();
        RemoveTree(root + "\\dst");
        MakeDirs(root + "\\dst");
        DWORD warmErr = 0;
        utl_FileUnpack(root.c_str(), "Setup-bench.exe", (root + "\\dst").c_str(), &warmErr,
                       pack::kSetupExeOffset);
        const size_t logLines = TodayLogMessages("stp_UtlFile").size();
        LARGE_INTEGER a0, b0, c0;
        QueryPerformanceCounter(&a0);
        for (size_t i = 0; i < logLines; ++i) ModuleLogF("UtlFile", "utl_FileUnpack: bench line %d", (int)i);
        QueryPerformanceCounter(&b0);
        static char chunk[pack::kChunkLen];
        for (size_t done = 0; done < total; done += sizeof chunk) pack::MixBuffer(chunk, sizeof chunk);
        QueryPerformanceCounter(&c0);
        ClearLogs();

        std::vector<double> seconds[3];
        for (int round = 0; round < rounds; ++round) {
            for (int turn = 0; turn < 3; ++turn) {
                const int which = (round + turn) % 3;
                RemoveTree(root + "\\dst");
                MakeDirs(root + "\\dst");
                LARGE_INTEGER a, b;
                bool ok = true;
                DWORD err = 0;
                QueryPerformanceCounter(&a);
                if (which == 0) {
                    ok = utl_FileUnpack(root.c_str(), "Setup-bench.exe", (root + "\\dst").c_str(), &err,
                                        pack::kSetupExeOffset) == 1;
                } else if (which == 1) {
                    ok = BareLoop(carrier, pack::kSetupExeOffset, root + "\\dst\\loop.bin");
                } else {
                    ok = CopyFileA((root + "\\copy-src.bin").c_str(), (root + "\\dst\\copy.bin").c_str(),
                                   FALSE) != 0;
                }
                QueryPerformanceCounter(&b);
                if (!ok) {
                    std::fprintf(stderr, "bench: %s failed (%lu, %lu)\n", names[which], (unsigned long)err,
                                 (unsigned long)GetLastError());
                    return 1;
                }
                seconds[which].push_back(Seconds(a, b, freq));
            }
        }
        double best[3], median[3];
        for (int i = 0; i < 3; ++i) {
            best[i] = mb / *std::min_element(seconds[i].begin(), seconds[i].end());
            median[i] = mb / Median(seconds[i]);
        }
        std::printf("%5d MB", mb);
        for (int i = 0; i < 3; ++i) std::printf("  %8.1f %8.1f", best[i], median[i]);
        std::printf("   best %.2f %.2f, median %.2f %.2f\n", best[0] / best[1], best[0] / best[2],
                    median[0] / median[1], median[0] / median[2]);
        std::printf("         unpack's own: %zu log lines %.1f ms, mix %.1f ms\n", logLines,
                    Seconds(a0, b0, freq) * 1000, Seconds(b0, c0, freq) * 1000);
        std::fflush(stdout);
    }
    RemoveTree(root);
    return 0;
}
