// Writing packs: a pack file from a payload folder, a pack stamped into a
// carrier, or both in one step. Every output is judged before any work and
// written whole or not at all.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "kpack_files.h"
#include "pack/pack_format.h"
#include "pe_image.h"

namespace fs = std::filesystem;

namespace kpack {

namespace {

const uint64_t kFourGiB = 1ULL << 32;

// The first bytes of an installer package (a compound document).
const unsigned char kPackageSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

const char kCarrierKind[] = "a carrier (a Windows executable or an installer package)";

// Writes length bytes; false when they were not all written.
bool WriteAll(std::FILE* out, const void* data, size_t length) { return std::fwrite(data, 1, length, out) == length; }

// Writes a record's two clear length fields.
bool WriteRecordHead(std::FILE* out, uint32_t nameLen, uint32_t dataLen) {
    unsigned char head[pack::kRecordHeadLen];
    pack::WriteLe32(head, nameLen);
    pack::WriteLe32(head + 4, dataLen);
    return WriteAll(out, head, sizeof head);
}

// Writes bytes mixed, as a pack stores names and data.
bool WriteMixed(std::FILE* out, const char* bytes, size_t length) {
    std::string mixed(bytes, length);
    pack::MixBuffer(&mixed[0], mixed.size());
    return WriteAll(out, mixed.data(), mixed.size());
}

// Opens a payload file for reading, refusing whatever is no plain file by now
// (a link or a pipe put in its place since it was collected).
File OpenPayloadFile(const std::string& path) {
#ifdef _WIN32
    return OpenForReading(path);
#else
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return File();
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        errno = EINVAL;
        return File();
    }
    std::FILE* f = fdopen(fd, "rb");
    if (!f) close(fd);
    return File(f);
#endif
}

// Copies a file's bytes, mixed, and fails unless it holds exactly size bytes.
Result WriteFileData(std::FILE* out, const std::string& outName, const PayloadFile& file) {
    File in = OpenPayloadFile(file.path);
    if (!in) return CannotRead(file.path);
    std::vector<char> buffer(1 << 16);
    uint64_t done = 0;
    for (;;) {
        size_t got = std::fread(buffer.data(), 1, buffer.size(), in.get());
        if (got == 0) break;
        done += got;
        if (done > file.size) break;
        pack::MixBuffer(buffer.data(), got);
        if (!WriteAll(out, buffer.data(), got)) return CannotWrite(outName);
    }
    if (std::ferror(in.get())) return CannotRead(file.path);
    if (done != file.size) return Fail(kIoError, file.path + " changed while it was packed");
    return Result();
}

// Copies the whole of one open file to another.
bool CopyStream(std::FILE* in, std::FILE* out) {
    std::vector<char> buffer(1 << 16);
    size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0)
        if (!WriteAll(out, buffer.data(), got)) return false;
    return !std::ferror(in);
}

// Writes count zero bytes: the padding up to the pack's offset.
bool WriteZeros(std::FILE* out, uint64_t count) {
    std::vector<char> zeros(1 << 16, 0);
    while (count > 0) {
        size_t n = (size_t)std::min<uint64_t>(count, zeros.size());
        if (!WriteAll(out, zeros.data(), n)) return false;
        count -= n;
    }
    return true;
}

// The carrier's executable header, when it is one.
bool CarrierHeader(const std::string& carrier, tools::PeHeader* header) {
    File in = OpenForReading(carrier);
    return in && tools::ReadPeHeader(in.get(), header);
}

// The output rule of a carrier written from inputs.
tools::OutputRule CarrierOutput(std::vector<std::string> inputs) {
    tools::OutputRule rule;
    rule.inputs = std::move(inputs);
    rule.replaceable = IsCarrierFile;
    rule.what = kCarrierKind;
    return rule;
}

// The carrier's refusal by its content: not readable, or no carrier.
Result JudgeCarrier(const std::string& carrier) {
    std::error_code ec;
    if (!fs::is_regular_file(carrier, ec))
        return Fail(kIoError, "cannot read carrier " + carrier + ": " +
                                  (fs::exists(carrier, ec) ? "it is not a plain file" : "it does not exist"));
    File in = OpenForReading(carrier);
    if (!in) return CannotRead(carrier);
    if (!IsCarrierFile(carrier))
        return Fail(kInputRefused, "carrier " + carrier + " is not " + kCarrierKind + " by its first bytes");
    return Result();
}

// The pack file's refusal: not readable, or a pack that would not unpack.
Result JudgePackFile(const std::string& packPath) {
    Listing listing;
    Result r = ListPack(packPath, 0, &listing);
    if (r.code == kPackDamaged)
        return Fail(kInputRefused, "pack file " + packPath + " is no pack that reads to its end: " + r.message);
    return r;
}

// After the pack is written: the header checksum of an executable carrier is
// set for the whole new file, as the linker set it for the bare program.
Result FinishCarrier(const std::string& carrier, const std::string& output, tools::OutputFile& out) {
    tools::PeHeader header;
    if (CarrierHeader(carrier, &header) && header.checksum != 0 && !tools::WritePeChecksum(out.get(), header))
        return CannotWrite(output);
    return CommitOutput(out);
}

// Checks that the carrier takes a pack of packSize at offset, and writes it
// padded with zeros to offset into out.
Result WriteCarrierPart(const std::string& carrier, uint32_t offset, uint64_t packSize, std::FILE* out,
                        const std::string& outName) {
    std::error_code ec;
    const uint64_t carrierSize = fs::file_size(carrier, ec);
    if (ec) return Fail(kIoError, "cannot read carrier " + carrier + ": " + ec.message());
    tools::PeHeader header;
    if (CarrierHeader(carrier, &header) && header.signatureSize != 0)
        return Fail(kOutputRefused, "carrier " + carrier + " is signed (" + std::to_string(header.signatureSize) +
                                        " bytes of Authenticode signature); a pack stamped into it would break the "
                                        "signature: stamp the unsigned program, then sign");
    if (carrierSize > offset)
        return Fail(kOutputRefused, "carrier " + carrier + " is " + std::to_string(carrierSize) +
                                        " bytes, longer than the pack offset " + std::to_string(offset) +
                                        "; it would be overwritten");
    if ((uint64_t)offset + packSize >= kFourGiB)
        return Fail(kOutputRefused, "the pack of " + std::to_string(packSize) + " bytes at offset " +
                                        std::to_string(offset) + " would make a carrier of 4 GiB or more");
    File in = OpenForReading(carrier);
    if (!in) return CannotRead(carrier);
    if (!CopyStream(in.get(), out) || !WriteZeros(out, offset - carrierSize)) return CannotWrite(outName);
    return Result();
}

}  // namespace

bool IsCarrierFile(const std::string& path) {
    File in = OpenForReading(path);
    if (!in) return false;
    tools::PeHeader header;
    if (tools::ReadPeHeader(in.get(), &header)) return true;
    unsigned char head[sizeof kPackageSignature];
    return tools::SeekTo(in.get(), 0) && std::fread(head, 1, sizeof head, in.get()) == sizeof head &&
           std::memcmp(head, kPackageSignature, sizeof head) == 0;
}

bool IsPackFile(const std::string& path) {
    Listing listing;
    return ListPack(path, 0, &listing).ok();
}

uint64_t PackSize(const std::vector<PayloadFile>& files) {
    uint64_t size = pack::kMarkerLen + pack::kRecordHeadLen + pack::kEndNameLen;
    for (const PayloadFile& f : files) size += pack::kRecordHeadLen + f.name.size() + f.size;
    return size;
}

Result WritePack(const std::vector<PayloadFile>& files, std::FILE* out, const std::string& outName) {
    if (PackSize(files) >= kFourGiB) return Fail(kInputRefused, "the payload makes a pack of 4 GiB or more");
    if (!WriteMixed(out, pack::kMarker, pack::kMarkerLen)) return CannotWrite(outName);
    for (const PayloadFile& f : files) {
        if (!WriteRecordHead(out, (uint32_t)f.name.size(), (uint32_t)f.size) ||
            !WriteMixed(out, f.name.data(), f.name.size()))
            return CannotWrite(outName);
        Result r = WriteFileData(out, outName, f);
        if (!r.ok()) return r;
    }
    // Always the end record: whatever is appended to the carrier later, a
    // signature for one, is then ignored by the unpacker.
    if (!WriteRecordHead(out, pack::kEndNameLen, 0) || !WriteMixed(out, pack::kEndName, pack::kEndNameLen))
        return CannotWrite(outName);
    return Result();
}

Result PackFolder(const std::string& folder, const std::string& packPath) {
    tools::OutputRule rule;
    rule.inputs = {folder};
    rule.replaceable = IsPackFile;
    rule.what = "a pack file";
    tools::OutputFile out(packPath);
    Result r = OpenOutput(out, rule);
    if (!r.ok()) return r;
    std::vector<PayloadFile> files;
    r = CollectPayload(folder, &files);
    if (!r.ok()) return r;
    const std::vector<std::string> warnings = PayloadWarnings(folder, files);
    r = WritePack(files, out.get(), packPath);
    if (r.ok()) r = CommitOutput(out);
    r.warnings = warnings;
    return r;
}

Result StampPack(const std::string& carrier, const std::string& packPath, uint32_t offset,
                 const std::string& output) {
    tools::OutputFile out(output);
    Result r = OpenOutput(out, CarrierOutput({carrier, packPath}));
    if (r.ok()) r = JudgeCarrier(carrier);
    if (r.ok()) r = JudgePackFile(packPath);
    if (!r.ok()) return r;
    std::error_code ec;
    const uint64_t packSize = fs::file_size(packPath, ec);
    if (ec) return Fail(kIoError, "cannot read pack file " + packPath + ": " + ec.message());
    r = WriteCarrierPart(carrier, offset, packSize, out.get(), output);
    if (!r.ok()) return r;
    File in = OpenForReading(packPath);
    if (!in) return CannotRead(packPath);
    if (!CopyStream(in.get(), out.get())) return CannotWrite(output);
    return FinishCarrier(carrier, output, out);
}

Result MakeCarrier(const std::string& folder, const std::string& carrier, uint32_t offset,
                   const std::string& output) {
    tools::OutputFile out(output);
    Result r = OpenOutput(out, CarrierOutput({folder, carrier}));
    if (!r.ok()) return r;
    std::vector<PayloadFile> files;
    r = JudgeCarrier(carrier);
    if (r.ok()) r = CollectPayload(folder, &files);
    if (!r.ok()) return r;
    const std::vector<std::string> warnings = PayloadWarnings(folder, files);
    r = WriteCarrierPart(carrier, offset, PackSize(files), out.get(), output);
    if (r.ok()) r = WritePack(files, out.get(), output);
    if (r.ok()) r = FinishCarrier(carrier, output, out);
    r.warnings = warnings;
    return r;
}

}  // namespace kpack
