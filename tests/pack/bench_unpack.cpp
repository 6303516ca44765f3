// Throughput of utl_FileUnpack against CopyFileA, run under Wine by
// scripts/bench-unpack.sh. For each payload size it makes a carrier with kpack
// (files of 4 MB, Setup.exe-sized head, pack at 490000), then times unpacking
// it and copying one file of the same size, best of three each.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kpack.h"
#include "pack/pack_format.h"
#include "pack/unpack.h"
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

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizesMb;
    for (int i = 1; i < argc; ++i) sizesMb.push_back(std::atoi(argv[i]));
    if (sizesMb.empty()) sizesMb = {20, 200};
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    const std::string root = kRoot;

    std::printf("%-8s %14s %14s %8s\n", "payload", "unpack MB/s", "CopyFileA MB/s", "ratio");
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
        if (!WriteFileBytes(root + "\\Setup.exe", std::string(60000, 'M'))) return 1;
        kpack::Result made = kpack::MakeCarrier(root + "\\payload", root + "\\Setup.exe",
                                                pack::kSetupExeOffset, root + "\\Setup-bench.exe");
        if (!made.ok()) {
            std::fprintf(stderr, "bench: %s\n", made.message.c_str());
            return 1;
        }

        double bestUnpack = 1e9, bestCopy = 1e9;
        for (int round = 0; round < 3; ++round) {
            RemoveTree(root + "\\dst");
            MakeDirs(root + "\\dst");
            DeleteFileA((root + "\\copy-dst.bin").c_str());
            LARGE_INTEGER a, b, c;
            DWORD err = 0;
            QueryPerformanceCounter(&a);
            int ok = utl_FileUnpack(root.c_str(), "Setup-bench.exe", (root + "\\dst").c_str(), &err,
                                    pack::kSetupExeOffset);
            QueryPerformanceCounter(&b);
            if (!ok) {
                std::fprintf(stderr, "bench: utl_FileUnpack failed with %lu\n", (unsigned long)err);
                return 1;
            }
            if (!CopyFileA((root + "\\copy-src.bin").c_str(), (root + "\\copy-dst.bin").c_str(), FALSE)) {
                std::fprintf(stderr, "bench: CopyFileA failed with %lu\n", (unsigned long)GetLastError());
                return 1;
            }
            QueryPerformanceCounter(&c);
            bestUnpack = std::min(bestUnpack, Seconds(a, b, freq));
            bestCopy = std::min(bestCopy, Seconds(b, c, freq));
        }
        double unpackRate = mb / bestUnpack, copyRate = mb / bestCopy;
        std::printf("%5d MB %14.1f %14.1f %8.2f\n", mb, unpackRate, copyRate, unpackRate / copyRate);
        std::fflush(stdout);
    }
    RemoveTree(root);
    return 0;
}
