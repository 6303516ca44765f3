// kpack command line; see docs/pack-tool.md.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kpack.h"
#include "pack/pack_format.h"

namespace {

const char kUsageText[] =
    "usage:\n"
    "  kpack pack  PAYLOAD_DIR PACK_FILE\n"
    "      write the plain files of PAYLOAD_DIR as a pack, ending with the end record\n"
    "  kpack stamp [--offset N] CARRIER PACK_FILE OUTPUT\n"
    "      write OUTPUT: CARRIER, zero bytes up to offset N, then PACK_FILE\n"
    "  kpack make  [--offset N] PAYLOAD_DIR CARRIER OUTPUT\n"
    "      pack and stamp in one step\n"
    "  kpack list  [--offset N] CARRIER\n"
    "      list the records of the pack in CARRIER and check that it reads to its end\n"
    "  kpack --help\n"
    "\n"
    "N is 490000 (Setup.exe, the default) or 3300000 (the KivraSetup.msi copy).\n"
    "A carrier longer than N is refused, never overwritten.\n"
    "\n"
    "exit codes:\n"
    "  0 success\n"
    "  1 a file could not be read or written\n"
    "  2 bad command line\n"
    "  3 the payload folder holds something a pack cannot carry\n"
    "  4 the carrier is longer than the offset, or the result would reach 4 GiB\n"
    "  5 list: the pack is damaged and would not unpack to its end\n";

int Usage(const char* problem) {
    std::fprintf(stderr, "kpack: %s\n%s", problem, kUsageText);
    return kpack::kUsage;
}

int Report(const kpack::Result& r) {
    if (!r.ok()) std::fprintf(stderr, "kpack: %s\n", r.message.c_str());
    return r.code;
}

bool ParseOffset(const char* text, uint32_t* offset) {
    if (!*text) return false;
    for (const char* p = text; *p; ++p)
        if (*p < '0' || *p > '9') return false;
    errno = 0;
    unsigned long long value = std::strtoull(text, nullptr, 10);
    if (errno || value > 0xFFFFFFFFULL) return false;
    *offset = (uint32_t)value;
    return true;
}

int List(const std::string& carrier, uint32_t offset) {
    kpack::Listing listing;
    kpack::Result r = kpack::ListPack(carrier, offset, &listing);
    for (const kpack::ListedRecord& rec : listing.records)
        std::printf("%12u  %s\n", (unsigned)rec.size, rec.name.c_str());
    if (!r.ok()) return Report(r);
    std::printf("%zu files at offset %u; ", listing.records.size(), (unsigned)offset);
    if (listing.endRecord)
        std::printf("end record found, %llu bytes after it (ignored)\n",
                    (unsigned long long)listing.trailing);
    else
        std::printf("no end record, the records fill the carrier exactly\n");
    return kpack::kOk;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    uint32_t offset = pack::kSetupExeOffset;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsageText, stdout);
            return kpack::kOk;
        }
        if (a == "--offset") {
            if (i + 1 >= argc || !ParseOffset(argv[i + 1], &offset))
                return Usage("--offset needs a number from 0 to 4294967295");
            ++i;
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage(("unknown option " + a).c_str());
        } else {
            args.push_back(a);
        }
    }
    if (args.empty()) return Usage("no command");
    const std::string command = args[0];
    args.erase(args.begin());
    auto expect = [&](size_t n) { return args.size() == n; };

    if (command == "pack") {
        if (!expect(2)) return Usage("pack takes PAYLOAD_DIR PACK_FILE");
        return Report(kpack::PackFolder(args[0], args[1]));
    }
    if (command == "stamp") {
        if (!expect(3)) return Usage("stamp takes CARRIER PACK_FILE OUTPUT");
        return Report(kpack::StampPack(args[0], args[1], offset, args[2]));
    }
    if (command == "make") {
        if (!expect(3)) return Usage("make takes PAYLOAD_DIR CARRIER OUTPUT");
        return Report(kpack::MakeCarrier(args[0], args[1], offset, args[2]));
    }
    if (command == "list") {
        if (!expect(1)) return Usage("list takes CARRIER");
        return List(args[0], offset);
    }
    return Usage(("unknown command " + command).c_str());
}
