// kpack: the build-side packer. Writes a payload folder as a pack, stamps a
// pack into a carrier (Setup.exe, or the installer-package copy) at its offset,
// and lists and checks the pack inside a carrier. The format itself lives in
// pack/pack_format.h, shared with the unpacker.
#pragma once
#include <stdint.h>

#include <cstdio>
#include <string>
#include <vector>

#include "exit_codes.h"

namespace kpack {

// kpack's outcomes in the tools' one exit-code table (tools/common/exit_codes.h).
enum ExitCode {
    kOk = tools::kExitOk,
    kIoError = tools::kExitIo,
    kUsage = tools::kExitUsage,
    kInputRefused = tools::kExitInputRefused,    // the payload, the carrier or the pack file is not what kpack takes
    kOutputRefused = tools::kExitOutputRefused,  // the output may not go there, or would break the carrier
    kPackDamaged = tools::kExitCheckFailed,      // list, extract: the pack does not read to its end
};

// Outcome of one operation: kOk, or another code with a message for stderr;
// warnings are for stderr either way.
struct Result {
    int code = kOk;
    std::string message;
    std::vector<std::string> warnings;
    bool ok() const { return code == kOk; }
};

struct PayloadFile {
    std::string name;  // the record name: the file's plain name
    std::string path;  // where the file is read from
    uint64_t size = 0;
};

// Collects the files of a payload folder, sorted by name. Refuses (kInputRefused)
// a folder holding anything but plain files (links included, judged without
// following them), a name longer than 64 bytes or not a plain file name, the
// end record's name, two names that differ only in letter case (one file on
// Windows), and a file of 4 GiB or more; a folder that cannot be read is
// kIoError.
Result CollectPayload(const std::string& folder, std::vector<PayloadFile>* files);

// What the user should hear of a payload that kpack packs but the setup would
// not get far with: none at all, or none of the programs it starts.
std::vector<std::string> PayloadWarnings(const std::string& folder, const std::vector<PayloadFile>& files);

// Bytes the pack of these files takes, end record included.
uint64_t PackSize(const std::vector<PayloadFile>& files);

// Writes the pack of these files to out: marker, one record per file, end
// record. Fails when a file cannot be read or its size changed since collecting;
// outName names out in messages.
Result WritePack(const std::vector<PayloadFile>& files, std::FILE* out, const std::string& outName);

// Writes a pack file from a payload folder. The output is judged before any
// work (tools/common/output_guard.h): not the folder, not inside it, and an
// existing file only when it is a pack.
Result PackFolder(const std::string& folder, const std::string& packPath);

// Writes output: the carrier, zero bytes up to offset, then the pack file.
// Refuses (kInputRefused) a carrier that is neither a Windows executable nor
// an installer package, and a pack file that does not read to its end;
// refuses (kOutputRefused) an output that is an input or an existing file other
// than a carrier, a carrier longer than offset, a result of 4 GiB or more (the
// unpacker refuses such a carrier), and a signed carrier (the stamp would break
// the signature: sign after stamping). When the carrier is an executable whose
// header holds a checksum, the output's checksum is set for its new bytes.
// Output is written whole or not at all.
Result StampPack(const std::string& carrier, const std::string& packPath, uint32_t offset,
                 const std::string& output);

// Pack and stamp in one step, without a pack file in between; the output may
// not lie inside the payload folder either.
Result MakeCarrier(const std::string& folder, const std::string& carrier, uint32_t offset,
                   const std::string& output);

// Whether the file at path is a carrier by its content: a Windows executable,
// or an installer package (the copy KivraSetup.msi).
bool IsCarrierFile(const std::string& path);

// Whether the file at path is a pack file that reads to its end.
bool IsPackFile(const std::string& path);

struct ListedRecord {
    std::string name;
    uint32_t size = 0;
};

struct Listing {
    std::vector<ListedRecord> records;  // the end record not included
    bool endRecord = false;             // ended with the end record, not by filling the region
    uint64_t packEnd = 0;               // carrier offset just after the pack's last record read
    uint64_t trailing = 0;              // carrier bytes after the end record (ignored)
    bool executable = false;            // the carrier is a Windows executable; then:
    bool checksumOk = false;            //   its header checksum matches its bytes
    uint32_t signatureSize = 0;         //   bytes of Authenticode signature, 0 when unsigned
    std::vector<std::string> notes;     // extract: what the user should know, for stderr
};

// Reads the pack at offset in a carrier with the unpacker's own walk
// (pack/pack_walk.h) and lists its records. kPackDamaged, with what is wrong
// and the records before it, when the pack would not unpack to its end; a
// name with a folder part is such a stop, as it is for extract and the setup.
Result ListPack(const std::string& carrier, uint32_t offset, Listing* listing);

// Writes the files of the pack at offset into dir (made when missing), as the
// setup would unpack them into its fresh work folder, and lists them. The end
// record's empty file is not made. Each file is written under a temporary name
// and renamed when whole. Refuses (kOutputRefused) a dir that is a link, holds
// the carrier, or holds anything unless force is set; never writes through a
// link inside dir. On a damaged pack, writes the records the setup would have
// written, then returns kPackDamaged naming the record where the setup stops.
Result ExtractPack(const std::string& carrier, uint32_t offset, const std::string& dir, bool force,
                   Listing* listing);

}  // namespace kpack
