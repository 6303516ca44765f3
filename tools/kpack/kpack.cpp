#include "kpack.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "output_file.h"
#include "pack/pack_format.h"
#include "pack/pack_walk.h"
#include "pe_image.h"

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

// A failed read or write, naming the file and the system's reason.
Result CannotRead(const std::string& path) { return Fail(kIoError, "cannot read " + path + ": " + tools::ErrnoText()); }
Result CannotWrite(const std::string& path) { return Fail(kIoError, "cannot write " + path + ": " + tools::ErrnoText()); }

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
Result WriteFileData(std::FILE* out, const std::string& outName, const PayloadFile& file) {
    File in = Open(file.path, "rb");
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
    File in = Open(carrier, "rb");
    return in && tools::ReadPeHeader(in.get(), header);
}

Result Commit(tools::OutputFile& out) {
    std::string error;
    if (!out.Commit(&error)) return Fail(kIoError, error);
    return Result();
}

// After the pack is written: the header checksum of an executable carrier is
// set for the whole new file, as the linker set it for the bare program.
Result FinishCarrier(const std::string& carrier, const std::string& output, tools::OutputFile& out) {
    tools::PeHeader header;
    if (CarrierHeader(carrier, &header) && header.checksum != 0 && !tools::WritePeChecksum(out.get(), header))
        return CannotWrite(output);
    return Commit(out);
}

Result OpenOutput(tools::OutputFile& out) {
    std::string error;
    if (!out.Open(&error)) return Fail(kIoError, error);
    return Result();
}

// Checks the carrier, and writes it padded with zeros to offset into out.
Result WriteCarrierPart(const std::string& carrier, uint32_t offset, uint64_t packSize,
                        std::FILE* out, const std::string& outName) {
    std::error_code ec;
    uint64_t carrierSize = fs::file_size(carrier, ec);
    if (ec || !fs::is_regular_file(carrier, ec))
        return Fail(kIoError, "cannot read carrier " + carrier + ": " + (ec ? ec.message() : "not a plain file"));
    tools::PeHeader header;
    if (CarrierHeader(carrier, &header) && header.signatureSize != 0)
        return Fail(kCarrierRefused, "carrier " + carrier + " is signed (" +
                                         std::to_string(header.signatureSize) +
                                         " bytes of Authenticode signature); a pack stamped into it "
                                         "would break the signature: stamp the unsigned program, then sign");
    if (carrierSize > offset)
        return Fail(kCarrierRefused, "carrier " + carrier + " is " + std::to_string(carrierSize) +
                                         " bytes, longer than the pack offset " +
                                         std::to_string(offset) + "; it would be overwritten");
    if ((uint64_t)offset + packSize >= kFourGiB)
        return Fail(kCarrierRefused, "the pack of " + std::to_string(packSize) +
                                         " bytes at offset " + std::to_string(offset) +
                                         " would make a carrier of 4 GiB or more");
    File in = Open(carrier, "rb");
    if (!in) return CannotRead(carrier);
    if (!CopyStream(in.get(), out) || !WriteZeros(out, offset - carrierSize)) return CannotWrite(outName);
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
        if (sizeEc) return Fail(kIoError, "cannot read " + entry.path().string() + ": " + sizeEc.message());
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

Result WritePack(const std::vector<PayloadFile>& files, std::FILE* out, const std::string& outName) {
    if (PackSize(files) >= kFourGiB) return Fail(kPayloadRefused, "the payload makes a pack of 4 GiB or more");
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
    std::vector<PayloadFile> files;
    Result r = CollectPayload(folder, &files);
    if (!r.ok()) return r;
    tools::OutputFile out(packPath);
    r = OpenOutput(out);
    if (r.ok()) r = WritePack(files, out.get(), packPath);
    if (!r.ok()) return r;
    return Commit(out);
}

Result StampPack(const std::string& carrier, const std::string& packPath, uint32_t offset,
                 const std::string& output) {
    if (tools::SameFile(carrier, output) || tools::SameFile(packPath, output))
        return Fail(kUsage, "the output must be a new file, not the carrier or the pack");
    std::error_code ec;
    uint64_t packSize = fs::file_size(packPath, ec);
    if (ec) return Fail(kIoError, "cannot read pack " + packPath + ": " + ec.message());
    tools::OutputFile out(output);
    Result r = OpenOutput(out);
    if (r.ok()) r = WriteCarrierPart(carrier, offset, packSize, out.get(), output);
    if (!r.ok()) return r;
    File in = Open(packPath, "rb");
    if (!in) return CannotRead(packPath);
    if (!CopyStream(in.get(), out.get())) return CannotWrite(output);
    return FinishCarrier(carrier, output, out);
}

Result MakeCarrier(const std::string& folder, const std::string& carrier, uint32_t offset,
                   const std::string& output) {
    if (tools::SameFile(carrier, output)) return Fail(kUsage, "the output must be a new file, not the carrier");
    std::vector<PayloadFile> files;
    Result r = CollectPayload(folder, &files);
    if (!r.ok()) return r;
    tools::OutputFile out(output);
    r = OpenOutput(out);
    if (r.ok()) r = WriteCarrierPart(carrier, offset, PackSize(files), out.get(), output);
    if (r.ok()) r = WritePack(files, out.get(), output);
    if (!r.ok()) return r;
    return FinishCarrier(carrier, output, out);
}

namespace {

// The carrier as the pack walk reads it, from the pack's start on.
class FileSource : public pack::Source {
public:
    explicit FileSource(std::FILE* file) : file_(file) {}
    int Read(void* buffer, uint32_t length, uint32_t* got) override {
        *got = (uint32_t)std::fread(buffer, 1, length, file_);
        return !std::ferror(file_);
    }

private:
    std::FILE* file_;
};

// What a walk does with each file record: list does nothing, extract writes it.
struct RecordSink {
    virtual ~RecordSink() {}
    // The record's name was accepted; where names it in messages.
    virtual Result Begin(const ListedRecord&, const std::string& /*where*/) { return Result(); }
    // The next chunk of its data.
    virtual Result Write(const unsigned char* /*data*/, uint32_t /*length*/) { return Result(); }
    // All its data has come.
    virtual Result Finish() { return Result(); }
};

// A carrier whose pack could not be read.
Result CarrierReadError(const std::string& carrier) {
    return Fail(kIoError, "cannot read carrier " + carrier + ": it ended early or failed");
}

// What is wrong with a pack that the walk stopped in, in kpack's words.
Result Damaged(const pack::Walk& walk, uint64_t size, uint32_t offset, const std::string& carrier,
               const std::string& where) {
    const Result readError = CarrierReadError(carrier);
    const std::string atStart = "at carrier byte " + std::to_string(offset);
    switch (walk.why) {
        case pack::kWhyTooLarge:
            return Fail(kPackDamaged, "carrier is 4 GiB or more; the unpacker refuses it");
        case pack::kWhyNoRegion:
            return Fail(kPackDamaged, "carrier is " + std::to_string(size) + " bytes; no pack at offset " +
                                          std::to_string(offset));
        case pack::kWhyMarkerCut:
            if (walk.readFailed) return readError;
            return Fail(kPackDamaged, "no room for the pack marker " + atStart);
        case pack::kWhyMarker:
            return Fail(kPackDamaged, "no pack marker " + atStart);
        case pack::kWhyNameLengthCut:
        case pack::kWhyNameTooLong:
        case pack::kWhyDataLengthCut:
            // The setup judges the name length before it misses the data
            // length; either way the record's lengths do not fit.
            if (walk.region - walk.recordAt < pack::kRecordHeadLen)
                return Fail(kPackDamaged, where + "its lengths are cut off by the end of the carrier");
            if (walk.why != pack::kWhyNameTooLong) return readError;
            return Fail(kPackDamaged, where + "name length " + std::to_string(walk.nameLen) + " exceeds " +
                                          std::to_string(pack::kMaxNameLen));
        case pack::kWhyPastRegion:
            return Fail(kPackDamaged, where + "reaches " + std::to_string(walk.total - walk.region) +
                                          " bytes past the end of the carrier");
        case pack::kWhyNameRefused:
        case pack::kWhyNameEmpty:
            return Fail(kPackDamaged, where + "name is not allowed; the unpacker refuses it");
        default:
            return readError;
    }
}

// Walks the pack at offset with the unpacker's own walk, handing each file
// record to sink, and stops where the unpacker would stop.
Result WalkPack(const std::string& carrier, uint32_t offset, Listing* listing, RecordSink& sink) {
    *listing = Listing();
    std::error_code ec;
    uint64_t size = fs::file_size(carrier, ec);
    if (ec) return Fail(kIoError, "cannot read carrier " + carrier + ": " + ec.message());
    File in = Open(carrier, "rb");
    if (!in) return CannotRead(carrier);
    tools::PeHeader header;
    if (tools::ReadPeHeader(in.get(), &header)) {
        listing->executable = true;
        listing->signatureSize = header.signatureSize;
        uint32_t sum = 0;
        listing->checksumOk = tools::ComputePeChecksum(in.get(), header.checksumAt, &sum) && sum == header.checksum;
    }
    // Names are judged alone: the setup's work folder is short enough for any.
    pack::Walk walk;
    if (!pack::WalkBegin(&walk, size, offset, 0)) return Damaged(walk, size, offset, carrier, "");
    if (!tools::SeekTo(in.get(), offset)) return CarrierReadError(carrier);

    FileSource source(in.get());
    std::string where;
    ListedRecord listed;
    for (;;) {
        Result r;
        switch (pack::WalkNext(&walk, &source)) {
            case pack::kStepRecord:
                where = "record " + std::to_string(walk.record) + " at carrier byte " +
                        std::to_string(offset + walk.recordAt) + ": ";
                break;
            case pack::kStepName:
                listed = ListedRecord{walk.name, walk.dataLen, offset + walk.at};
                r = sink.Begin(listed, where);
                break;
            case pack::kStepData:
                r = sink.Write(walk.data, walk.chunk);
                break;
            case pack::kStepFileDone:
                r = sink.Finish();
                if (r.ok()) listing->records.push_back(listed);
                break;
            case pack::kStepEnd:
                listing->endRecord = true;
                listing->packEnd = offset + walk.at;
                listing->trailing = size - listing->packEnd;
                return Result();
            case pack::kStepFilled:
                listing->packEnd = size;
                return Result();
            case pack::kStepStop:
                return Damaged(walk, size, offset, carrier, where);
            default:
                break;
        }
        if (!r.ok()) return r;
    }
}

// Where extract writes: a folder opened once, whose entries are opened without
// following links. Create returns a descriptor open for writing, or -1 with why
// set; a name that is a link gets kIsLink as its why.
const char kIsLink[] = "is a link; extract never writes through a link";
#ifdef _WIN32
struct OutputDir {
    std::string path;
    Result Open(const std::string& dir) {
        path = dir;
        DWORD attributes = GetFileAttributesA(dir.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            if (!CreateDirectoryA(dir.c_str(), nullptr)) return Fail(kIoError, "cannot make folder " + dir);
            attributes = GetFileAttributesA(dir.c_str());
        }
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return Fail(kCarrierRefused, dir + " is a link; extract never writes through a link");
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return Fail(kCarrierRefused, dir + " is not a folder");
        return Result();
    }
    int Create(const std::string& name, std::string* why) {
        std::string file = path + "\\" + name;
        DWORD attributes = GetFileAttributesA(file.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            *why = kIsLink;
            return -1;
        }
        HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            *why = "cannot be written (error " + std::to_string(GetLastError()) + ")";
            return -1;
        }
        int fd = _open_osfhandle((intptr_t)h, 0);
        if (fd < 0) CloseHandle(h);
        return fd;
    }
};
std::FILE* OpenDescriptor(int fd) { return _fdopen(fd, "wb"); }
void CloseDescriptor(int fd) { _close(fd); }
#else
struct OutputDir {
    int fd = -1;
    ~OutputDir() {
        if (fd >= 0) close(fd);
    }
    Result Open(const std::string& dir) {
        if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST)
            return Fail(kIoError, "cannot make folder " + dir + ": " + tools::ErrnoText());
        fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && (errno == ELOOP || errno == ENOTDIR)) {
            struct stat st;
            bool link = lstat(dir.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
            return Fail(kCarrierRefused, dir + (link ? " is a link; extract never writes through a link"
                                                     : " is not a folder"));
        }
        if (fd < 0) return Fail(kIoError, "cannot open folder " + dir + ": " + tools::ErrnoText());
        return Result();
    }
    int Create(const std::string& name, std::string* why) {
        // Non-blocking, so that a pipe planted under the name cannot stall us.
        int out = openat(fd, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666);
        if (out < 0) {
            *why = errno == ELOOP ? kIsLink : "cannot be written: " + tools::ErrnoText();
            return -1;
        }
        struct stat st;
        if (fstat(out, &st) != 0 || !S_ISREG(st.st_mode)) {
            close(out);
            *why = "is not a plain file";
            return -1;
        }
        fcntl(out, F_SETFL, fcntl(out, F_GETFL) & ~O_NONBLOCK);
        return out;
    }
};
std::FILE* OpenDescriptor(int fd) { return fdopen(fd, "wb"); }
void CloseDescriptor(int fd) { close(fd); }
#endif

// Writes each file record into the output folder, as the setup would into its
// fresh work folder.
struct ExtractSink : RecordSink {
    ExtractSink(OutputDir& out, const std::string& dir) : out(out), dir(dir) {}

    Result Begin(const ListedRecord& record, const std::string& at) override {
        // The setup joins the name to its fresh work folder, where no
        // sub-folder exists: it cannot create such a file and stops there.
        if (record.name.find_first_of("\\/") != std::string::npos)
            return Fail(kPackDamaged, at + "name " + record.name +
                                          " has a folder part; the setup cannot create it and stops here");
        const std::string key = Lower(record.name);
        if (std::find(seen.begin(), seen.end(), key) != seen.end())
            notes.push_back(at + "name " + record.name +
                            " repeats an earlier name (letter case aside); Windows would write both "
                            "into one file, here the later replaces the earlier");
        seen.push_back(key);
        std::string why;
        int fd = out.Create(record.name, &why);
        if (fd < 0)
            return Fail(why == kIsLink ? kCarrierRefused : kIoError, at + dir + "/" + record.name + " " + why);
        file.reset(OpenDescriptor(fd));
        if (!file) {
            CloseDescriptor(fd);
            return CannotWrite(dir + "/" + record.name);
        }
        where = at;
        name = record.name;
        return Result();
    }
    Result Write(const unsigned char* data, uint32_t length) override {
        return WriteAll(file.get(), data, length) ? Result() : WriteFailed();
    }
    Result Finish() override { return std::fclose(file.release()) == 0 ? Result() : WriteFailed(); }

    // The failure of a write to the current file, with the system's reason.
    Result WriteFailed() const {
        return Fail(kIoError, where + "cannot write " + dir + "/" + name + ": " + tools::ErrnoText());
    }

    OutputDir& out;
    const std::string& dir;
    std::vector<std::string> seen;   // the names so far, in lower case
    std::vector<std::string> notes;
    File file;                       // the file being written
    std::string where, name;         // its record, for messages
};

}  // namespace

Result ListPack(const std::string& carrier, uint32_t offset, Listing* listing) {
    RecordSink nothing;
    return WalkPack(carrier, offset, listing, nothing);
}

Result ExtractPack(const std::string& carrier, uint32_t offset, const std::string& dir, bool force,
                   Listing* listing) {
    *listing = Listing();
    std::error_code ec;
    if (!fs::exists(carrier, ec)) return Fail(kIoError, "cannot read carrier " + carrier + ": it does not exist");
    OutputDir out;
    Result r = out.Open(dir);
    if (!r.ok()) return r;
    if (!force && !fs::is_empty(dir, ec))
        return Fail(kCarrierRefused, "folder " + dir + " is not empty (give --force to write into it)");
    ExtractSink sink(out, dir);
    r = WalkPack(carrier, offset, listing, sink);
    listing->notes = sink.notes;
    return r;
}

}  // namespace kpack
