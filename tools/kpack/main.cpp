// kpack command line; see docs/pack-tool.md.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"
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
    "  kpack extract [--offset N] [--force] CARRIER DIR\n"
    "      write the pack's files into DIR as the setup would unpack them (the end\n"
    "      record's empty file is not made); DIR must be empty unless --force\n"
    "  kpack --help\n"
    "\n"
    "N is 490000 (Setup.exe, the default) or 3300000 (the KivraSetup.msi copy).\n"
    "A carrier longer than N, or already signed, is refused: stamp first, then sign.\n"
    "-- ends the options.\n"
    "\n"
    "exit codes (shared with vrftool):\n"
    "  0 success\n"
    "  1 a file could not be read or written\n"
    "  2 bad command line\n"
    "  3 the payload folder holds something a pack cannot carry\n"
    "  4 the output is refused: the carrier is longer than the offset, signed, or\n"
    "    the result would reach 4 GiB; extract: DIR is not empty, or is or holds a link\n"
    "  5 list, extract: the pack is damaged and would not unpack to its end\n";

int Usage(const std::string& problem) {
    std::fprintf(stderr, "kpack: %s\n(see kpack --help)\n", problem.c_str());
    return kpack::kUsage;
}

int Report(const kpack::Result& r) {
    if (!r.ok()) std::fprintf(stderr, "kpack: %s\n", r.message.c_str());
    return r.code;
}

bool ParseOffset(const std::string& text, uint32_t* offset) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    errno = 0;
    unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
    if (errno || value > 0xFFFFFFFFULL) return false;
    *offset = (uint32_t)value;
    return true;
}

void PrintListing(const kpack::Listing& listing) {
    for (const kpack::ListedRecord& rec : listing.records)
        std::printf("%12u  %s\n", (unsigned)rec.size, rec.name.c_str());
}

void PrintCarrier(const kpack::Listing& listing) {
    if (!listing.executable) return;
    std::printf("carrier: Windows executable, header checksum %s, ",
                listing.checksumOk ? "correct" : "not matching its bytes");
    if (listing.signatureSize)
        std::printf("signed (%u bytes of Authenticode signature)\n", (unsigned)listing.signatureSize);
    else
        std::printf("not signed\n");
}

int Summary(const kpack::Listing& listing, uint32_t offset) {
    std::printf("%zu files at offset %u; ", listing.records.size(), (unsigned)offset);
    if (listing.endRecord)
        std::printf("end record found, %llu bytes after it (ignored)\n",
                    (unsigned long long)listing.trailing);
    else
        std::printf("no end record, the records fill the carrier exactly\n");
    PrintCarrier(listing);
    return kpack::kOk;
}

int List(const std::string& carrier, uint32_t offset) {
    kpack::Listing listing;
    kpack::Result r = kpack::ListPack(carrier, offset, &listing);
    PrintListing(listing);
    if (!r.ok()) return Report(r);
    return Summary(listing, offset);
}

int Extract(const std::string& carrier, uint32_t offset, const std::string& dir, bool force) {
    kpack::Listing listing;
    kpack::Result r = kpack::ExtractPack(carrier, offset, dir, force, &listing);
    PrintListing(listing);
    for (const std::string& note : listing.notes) std::fprintf(stderr, "kpack: warning: %s\n", note.c_str());
    if (!r.ok()) return Report(r);
    return Summary(listing, offset);
}

}  // namespace

int main(int argc, char** argv) {
    tools::CommandLine cl = tools::ParseCommandLine(argc, argv, {"--offset"}, {"--force"});
    if (cl.help) {
        std::fputs(kUsageText, stdout);
        return kpack::kOk;
    }
    if (!cl.error.empty()) return Usage(cl.error);
    uint32_t offset = pack::kSetupExeOffset;
    if (cl.values.count("--offset") && !ParseOffset(cl.Value("--offset"), &offset))
        return Usage("--offset needs a number from 0 to 4294967295");
    std::vector<std::string> args = cl.words;
    if (args.empty()) return Usage("no command");
    const std::string command = args[0];
    args.erase(args.begin());
    auto expect = [&](size_t n) { return args.size() == n; };
    if (cl.Has("--force") && command != "extract") return Usage("--force belongs to extract");

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
    if (command == "extract") {
        if (!expect(2)) return Usage("extract takes CARRIER DIR");
        return Extract(args[0], offset, args[1], cl.Has("--force"));
    }
    return Usage("unknown command " + command);
}
