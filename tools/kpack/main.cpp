// kpack command line; see docs/pack-tool.md.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"
#include "display_text.h"
#include "kpack.h"
#include "pack/pack_format.h"
#include "standard_output.h"
#include "version.h"

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
    "  kpack --help | --version\n"
    "\n"
    "N is 490000 (Setup.exe, the default) or 3300000 (the KivraSetup.msi copy).\n"
    "CARRIER is a Windows executable or an installer package; one longer than N,\n"
    "or already signed, is refused: stamp first, then sign. An output never goes\n"
    "onto an input or into the payload folder, and replaces only a file of its kind.\n"
    "-- ends the options.\n"
    "\n";

// Prints a message of kpack on stderr, as the one rule shows outside text.
void Say(const char* prefix, const std::string& message) {
    std::fprintf(stderr, "kpack: %s%s\n", prefix, tools::DisplayText(message).c_str());
}

// Reports a usage error; returns its exit code.
int Usage(const std::string& problem) {
    Say("", problem);
    std::fputs("(see kpack --help)\n", stderr);
    return kpack::kUsage;
}

// Prints a result's warnings and failure; returns its code.
int Report(const kpack::Result& r) {
    for (const std::string& w : r.warnings) Say("warning: ", w);
    if (!r.ok()) Say("", r.message);
    return r.code;
}

// Parses a decimal offset below 4 GiB; false for anything else.
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

// Prints each record's size and name.
void PrintListing(const kpack::Listing& listing) {
    for (const kpack::ListedRecord& rec : listing.records)
        std::printf("%12u  %s\n", (unsigned)rec.size, tools::DisplayText(rec.name).c_str());
}

// Prints the carrier's header checksum and signature, when it is an executable.
void PrintCarrier(const kpack::Listing& listing) {
    if (!listing.executable) return;
    std::printf("carrier: Windows executable, header checksum %s, ",
                listing.checksumOk ? "correct" : "not matching its bytes");
    if (listing.signatureSize)
        std::printf("signed (%u bytes of Authenticode signature)\n", (unsigned)listing.signatureSize);
    else
        std::printf("not signed\n");
}

// Prints the listing's summary lines; returns kOk.
int Summary(const kpack::Listing& listing, uint32_t offset) {
    std::printf("%zu %s at offset %u; ", listing.records.size(), listing.records.size() == 1 ? "file" : "files",
                (unsigned)offset);
    if (listing.endRecord)
        std::printf("end record found, %llu bytes after it (ignored)\n", (unsigned long long)listing.trailing);
    else
        std::printf("no end record, the records fill the carrier exactly\n");
    PrintCarrier(listing);
    return kpack::kOk;
}

// kpack list: the records and whether the pack reads to its end.
int List(const std::string& carrier, uint32_t offset) {
    kpack::Listing listing;
    kpack::Result r = kpack::ListPack(carrier, offset, &listing);
    PrintListing(listing);
    if (!r.ok()) return Report(r);
    return Summary(listing, offset);
}

// kpack extract: the pack's files into dir, listed.
int Extract(const std::string& carrier, uint32_t offset, const std::string& dir, bool force) {
    kpack::Listing listing;
    kpack::Result r = kpack::ExtractPack(carrier, offset, dir, force, &listing);
    PrintListing(listing);
    for (const std::string& note : listing.notes) Say("warning: ", note);
    if (!r.ok()) return Report(r);
    return Summary(listing, offset);
}

// Runs the command of the command line; returns the exit code.
int Run(const tools::CommandLine& cl) {
    if (cl.help) {
        std::fputs(kUsageText, stdout);
        std::fputs(tools::kExitCodeHelp, stdout);
        return kpack::kOk;
    }
    if (cl.version) {
        tools::PrintVersion("kpack");
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

}  // namespace

int main(int argc, char** argv) {
    tools::CommandLine cl = tools::ParseCommandLine(argc, argv, {"--offset"}, {"--force"});
    return tools::FinishStandardOutput("kpack", Run(cl));
}
