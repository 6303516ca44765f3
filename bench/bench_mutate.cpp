// Mutated packs against utl_FileUnpack, run under Wine by bench/bench-mutate.sh:
// PACKS damaged copies of one small pack (tests/support/pack_damage.h), each
// unpacked into a sandbox that is checked afterwards (no code outside 150-166,
// nothing beside the destination, no name escaped). Prints how many packs met
// each code (0: read to its end) and the slowest pack's time.
//   bench_mutate.exe PACKS SEED [DIGEST_FILE]
// With DIGEST_FILE, each pack's code and a digest of its log lines go there,
// one line a pack, so that two builds can be compared pack by pack.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>

#include "support/pack_damage.h"
#include "support/winsupport.h"

namespace {

const char kRoot[] = "C:\\tmp\\kivra-bench-mutate";

// FNV-1a over the unpacker's log lines, each ended by a line break.
unsigned long long LogDigest() {
    unsigned long long h = 14695981039346656037ULL;
    for (const std::string& line : TodayLogMessages("stp_UtlFile"))
        for (const char c : line + "\n") h = (h ^ (unsigned char)c) * 1099511628211ULL;
    return h;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_mutate.exe PACKS SEED [DIGEST_FILE]\n");
        return 2;
    }
    const int packs = std::atoi(argv[1]);
    const unsigned seed = (unsigned)std::strtoul(argv[2], nullptr, 10);
    std::FILE* digest = argc > 3 ? std::fopen(argv[3], "w") : nullptr;
    if (argc > 3 && !digest) {
        std::fprintf(stderr, "bench: cannot write %s\n", argv[3]);
        return 2;
    }
    LARGE_INTEGER freq, start, end;
    QueryPerformanceFrequency(&freq);
    RemoveTree(kRoot);
    ClearLogs();
    std::mt19937 rng(seed);
    DamageBox box(kRoot, rng);
    std::map<DWORD, int> outcomes;
    double slowest = 0, total = 0;
    for (int run = 0; run < packs; ++run) {
        if (digest) ClearLogs();
        std::string fault;
        QueryPerformanceCounter(&start);
        DWORD code = box.RunOne(rng, &fault);
        QueryPerformanceCounter(&end);
        const double ms = (double)(end.QuadPart - start.QuadPart) * 1000.0 / (double)freq.QuadPart;
        total += ms;
        if (ms > slowest) slowest = ms;
        if (!fault.empty()) {
            std::printf("FAULT seed %u pack %d: %s\n", seed, run, fault.c_str());
            return 1;
        }
        ++outcomes[code];
        if (digest) std::fprintf(digest, "%d %lu %016llx\n", run, (unsigned long)code, LogDigest());
        // Keeps each log line's append cheap.
        if (!digest && run % 500 == 499) ClearLogs();
    }
    if (digest) std::fclose(digest);
    RemoveTree(kRoot);
    std::printf("packs %d seed %u: %.0f ms in all, slowest pack %.1f ms\n", packs, seed, total, slowest);
    for (const auto& o : outcomes) std::printf("outcome %lu: %d\n", (unsigned long)o.first, o.second);
    return 0;
}
