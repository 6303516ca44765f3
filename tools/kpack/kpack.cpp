#include "kpack.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

#include "pack/pack_format.h"

namespace fs = std::filesystem;

namespace kpack {
namespace {

const uint64_t kFourGiB = 1ULL << 32;

Result Fail(int code, const std::string& message) {
    Result r;
    r.code = code;
    r.message = message;
    return r;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File Open(const std::string& path, const char* mode) { return File(std::fopen(path.c_str(), mode)); }

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return s;
}

bool WriteAll(std::FILE* out, const void* data, size_t length) {
    return std::fwrite(data, 1, length, out) == length;
}

bool WriteRecordHead(std::FILE* out, uint32_t nameLen, uint32_t dataLen) {
    unsigned char head[pack::kRecordHeadLen];
    pack::WriteLe32(head, nameLen);
    pack::WriteLe32(head + 4, dataLen);
    return WriteAll(out, head, sizeof head);
}

bool WriteMixed(std::FILE* out, const char* bytes, size_t length) {
    std::string mixed(bytes, length);
    pack::MixBuffer(&mixed[0], mixed.size());
    return WriteAll(out, mixed.data(), mixed.size());
}

// Copies a file's bytes, mixed, and fails unless it holds exactly size bytes.
Result WriteFileData(std::FILE* out, const PayloadFile& file) {
    File in = Open(file.path, "rb");
    if (!in) return Fail(kIoError, "cannot read " + file.path);
    std::vector<char> buffer(1 << 16);
    uint64_t done = 0;
    for (;;) {
        size_t got = std::fread(buffer.data(), 1, buffer.size(), in.get());
        if (got == 0) break;
        done += got;
        if (done > file.size) break;
        pack::MixBuffer(buffer.data(), got);
        if (!WriteAll(out, buffer.data(), got)) return Fail(kIoError, "cannot write the pack");
    }
    if (std::ferror(in.get())) return Fail(kIoError, "cannot read " + file.path);
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

bool WriteZeros(std::FILE* out, uint64_t count) {
    std::vector<char> zeros(1 << 16, 0);
    while (count > 0) {
        size_t n = (size_t)std::min<uint64_t>(count, zeros.size());
        if (!WriteAll(out, zeros.data(), n)) return false;
        count -= n;
    }
    return true;
}

// Output is written to a temporary file beside it and renamed into place when
// complete, so that a failure never leaves a half-written Setup.exe behind.
class PendingOutput {
public:
    explicit PendingOutput(const std::string& path) : path_(path), temp_(path + ".kpack-tmp") {}
    ~PendingOutput() {
        file_.reset();
        if (!committed_) {
            std::error_code ec;
            fs::remove(temp_, ec);
        }
    }
    bool Open() {
        file_ = kpack::Open(temp_, "wb");
        return file_ != nullptr;
    }
    std::FILE* get() const { return file_.get(); }
    Result Commit() {
        bool closed = std::fclose(file_.release()) == 0;
        if (!closed) return Fail(kIoError, "cannot write " + path_);
        std::error_code ec;
        fs::rename(temp_, path_, ec);
        if (ec) return Fail(kIoError, "cannot write " + path_ + ": " + ec.message());
        committed_ = true;
        return Result();
    }

private:
    std::string path_;
    std::string temp_;
    File file_;
    bool committed_ = false;
};

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

// Checks the carrier, and writes it padded with zeros to offset into out.
Result WriteCarrierPart(const std::string& carrier, uint32_t offset, uint64_t packSize,
                        std::FILE* out) {
    std::error_code ec;
    uint64_t carrierSize = fs::file_size(carrier, ec);
    if (ec || !fs::is_regular_file(carrier, ec)) return Fail(kIoError, "cannot read carrier " + carrier);
    if (carrierSize > offset)
        return Fail(kCarrierRefused, "carrier " + carrier + " is " + std::to_string(carrierSize) +
                                         " bytes, longer than the pack offset " +
                                         std::to_string(offset) + "; it would be overwritten");
    if ((uint64_t)offset + packSize >= kFourGiB)
        return Fail(kCarrierRefused, "the pack of " + std::to_string(packSize) +
                                         " bytes at offset " + std::to_string(offset) +
                                         " would make a carrier of 4 GiB or more");
    File in = Open(carrier, "rb");
    if (!in || !CopyStream(in.get(), out)) return Fail(kIoError, "cannot copy carrier " + carrier);
    if (!WriteZeros(out, offset - carrierSize)) return Fail(kIoError, "cannot write the output");
    return Result();
}

}  // namespace

Result CollectPayload(const std::string& folder, std::vector<PayloadFile>* files) {
    files->clear();
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return Fail(kPayloadRefused, "payload folder " + folder + " is not a folder");
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const fs::directory_entry& entry = *it;
        std::string name = entry.path().filename().string();
        std::error_code kindEc;
        if (!entry.is_regular_file(kindEc))
            return Fail(kPayloadRefused, "payload entry " + name +
                                             " is not a plain file (a pack carries plain files only)");
        if (name.size() > pack::kMaxNameLen)
            return Fail(kPayloadRefused, "payload file name " + name + " is " +
                                             std::to_string(name.size()) + " bytes; at most " +
                                             std::to_string(pack::kMaxNameLen) + " are allowed");
        if (pack::IsEndName(name.data(), name.size()))
            return Fail(kPayloadRefused, "payload file name " + name + " is reserved for the end record");
        if (!pack::IsSafeRecordName(name.data(), name.size(), 0))
            return Fail(kPayloadRefused,
                        "payload file name " + name +
                            " is not a plain Windows file name (no \\ / : < > \" | ? * or control "
                            "characters, no trailing dot or blank, no device name)");
        std::error_code sizeEc;
        uint64_t size = entry.file_size(sizeEc);
        if (sizeEc) return Fail(kIoError, "cannot read " + entry.path().string());
        if (size >= kFourGiB) return Fail(kPayloadRefused, "payload file " + name + " is 4 GiB or more");
        PayloadFile file;
        file.name = name;
        file.path = entry.path().string();
        file.size = size;
        files->push_back(file);
    }
    if (ec) return Fail(kIoError, "cannot list payload folder " + folder + ": " + ec.message());

    std::sort(files->begin(), files->end(),
              [](const PayloadFile& a, const PayloadFile& b) { return a.name < b.name; });
    for (size_t i = 1; i < files->size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (Lower((*files)[i].name) == Lower((*files)[j].name))
                return Fail(kPayloadRefused, "payload files " + (*files)[j].name + " and " +
                                                 (*files)[i].name +
                                                 " differ only in letter case; Windows would "
                                                 "write them to one file");
    return Result();
}

uint64_t PackSize(const std::vector<PayloadFile>& files) {
    uint64_t size = pack::kMarkerLen + pack::kRecordHeadLen + pack::kEndNameLen;
    for (const PayloadFile& f : files) size += pack::kRecordHeadLen + f.name.size() + f.size;
    return size;
}

Result WritePack(const std::vector<PayloadFile>& files, std::FILE* out) {
    if (PackSize(files) >= kFourGiB) return Fail(kPayloadRefused, "the payload makes a pack of 4 GiB or more");
    if (!WriteMixed(out, pack::kMarker, pack::kMarkerLen)) return Fail(kIoError, "cannot write the pack");
    for (const PayloadFile& f : files) {
        if (!WriteRecordHead(out, (uint32_t)f.name.size(), (uint32_t)f.size) ||
            !WriteMixed(out, f.name.data(), f.name.size()))
            return Fail(kIoError, "cannot write the pack");
        Result r = WriteFileData(out, f);
        if (!r.ok()) return r;
    }
    // Always the end record: whatever is appended to the carrier later, a
    // signature for one, is then ignored by the unpacker.
    if (!WriteRecordHead(out, pack::kEndNameLen, 0) || !WriteMixed(out, pack::kEndName, pack::kEndNameLen))
        return Fail(kIoError, "cannot write the pack");
    return Result();
}

Result PackFolder(const std::string& folder, const std::string& packPath) {
    std::vector<PayloadFile> files;
    Result r = CollectPayload(folder, &files);
    if (!r.ok()) return r;
    PendingOutput out(packPath);
    if (!out.Open()) return Fail(kIoError, "cannot write " + packPath);
    r = WritePack(files, out.get());
    if (!r.ok()) return r;
    return out.Commit();
}

Result StampPack(const std::string& carrier, const std::string& packPath, uint32_t offset,
                 const std::string& output) {
    if (SameFile(carrier, output) || SameFile(packPath, output))
        return Fail(kUsage, "the output must be a new file, not the carrier or the pack");
    std::error_code ec;
    uint64_t packSize = fs::file_size(packPath, ec);
    if (ec) return Fail(kIoError, "cannot read pack " + packPath);
    PendingOutput out(output);
    if (!out.Open()) return Fail(kIoError, "cannot write " + output);
    Result r = WriteCarrierPart(carrier, offset, packSize, out.get());
    if (!r.ok()) return r;
    File in = Open(packPath, "rb");
    if (!in || !CopyStream(in.get(), out.get())) return Fail(kIoError, "cannot copy pack " + packPath);
    return out.Commit();
}

Result MakeCarrier(const std::string& folder, const std::string& carrier, uint32_t offset,
                   const std::string& output) {
    if (SameFile(carrier, output)) return Fail(kUsage, "the output must be a new file, not the carrier");
    std::vector<PayloadFile> files;
    Result r = CollectPayload(folder, &files);
    if (!r.ok()) return r;
    PendingOutput out(output);
    if (!out.Open()) return Fail(kIoError, "cannot write " + output);
    r = WriteCarrierPart(carrier, offset, PackSize(files), out.get());
    if (!r.ok()) return r;
    r = WritePack(files, out.get());
    if (!r.ok()) return r;
    return out.Commit();
}

Result ListPack(const std::string& carrier, uint32_t offset, Listing* listing) {
    *listing = Listing();
    std::error_code ec;
    uint64_t size = fs::file_size(carrier, ec);
    if (ec) return Fail(kIoError, "cannot read carrier " + carrier);
    if (size >= kFourGiB) return Fail(kPackDamaged, "carrier is 4 GiB or more; the unpacker refuses it");
    if (offset >= size)
        return Fail(kPackDamaged, "carrier is " + std::to_string(size) + " bytes; no pack at offset " +
                                      std::to_string(offset));
    File in = Open(carrier, "rb");
    if (!in) return Fail(kIoError, "cannot read carrier " + carrier);
    std::vector<char> region((size_t)(size - offset));
    if (std::fseek(in.get(), (long)offset, SEEK_SET) != 0 ||
        std::fread(region.data(), 1, region.size(), in.get()) != region.size())
        return Fail(kIoError, "cannot read carrier " + carrier);

    const uint64_t regionLen = region.size();
    auto at = [&](uint64_t pos) { return "at carrier byte " + std::to_string(offset + pos); };
    if (regionLen < pack::kMarkerLen) return Fail(kPackDamaged, "no room for the pack marker " + at(0));
    std::string marker(region.data(), pack::kMarkerLen);
    pack::MixBuffer(&marker[0], marker.size());
    if (marker != std::string(pack::kMarker, pack::kMarkerLen))
        return Fail(kPackDamaged, "no pack marker " + at(0));

    uint64_t pos = pack::kMarkerLen;
    while (pos < regionLen) {
        const size_t index = listing->records.size() + 1;
        const std::string record = "record " + std::to_string(index) + " " + at(pos) + ": ";
        if (regionLen - pos < pack::kRecordHeadLen)
            return Fail(kPackDamaged, record + "its lengths are cut off by the end of the carrier");
        const unsigned char* head = reinterpret_cast<const unsigned char*>(region.data() + pos);
        uint32_t nameLen = pack::ReadLe32(head);
        uint32_t dataLen = pack::ReadLe32(head + 4);
        if (nameLen > pack::kMaxNameLen)
            return Fail(kPackDamaged, record + "name length " + std::to_string(nameLen) + " exceeds 64");
        uint64_t recordEnd = pos + pack::kRecordHeadLen + nameLen + (uint64_t)dataLen;
        if (recordEnd > regionLen)
            return Fail(kPackDamaged, record + "reaches " + std::to_string(recordEnd - regionLen) +
                                          " bytes past the end of the carrier");
        std::string name(region.data() + pos + pack::kRecordHeadLen, nameLen);
        pack::MixBuffer(&name[0], name.size());
        if (!pack::IsSafeRecordName(name.data(), name.size(), 1))
            return Fail(kPackDamaged, record + "name is not allowed; the unpacker refuses it");
        if (pack::IsEndName(name.data(), name.size())) {
            listing->endRecord = true;
            listing->packEnd = offset + pos + pack::kRecordHeadLen + nameLen;
            listing->trailing = size - listing->packEnd;
            return Result();
        }
        listing->records.push_back(ListedRecord{name, dataLen});
        pos = recordEnd;
    }
    listing->packEnd = size;
    return Result();
}

}  // namespace kpack
