#include "read_pack.h"

#include <filesystem>
#include <system_error>

#include "kpack_files.h"
#include "pack/pack_walk.h"
#include "pe_image.h"

namespace fs = std::filesystem;

namespace kpack {

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

}  // namespace

Result WalkPack(const std::string& carrier, uint32_t offset, Listing* listing, RecordSink& sink) {
    *listing = Listing();
    std::error_code ec;
    uint64_t size = fs::file_size(carrier, ec);
    if (ec) return Fail(kIoError, "cannot read carrier " + carrier + ": " + ec.message());
    File in = OpenForReading(carrier);
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
                // The setup joins the name to its fresh work folder, where no
                // sub-folder exists: it cannot create such a file and stops.
                listed = ListedRecord{walk.name, walk.dataLen};
                if (listed.name.find_first_of("\\/") != std::string::npos)
                    return Fail(kPackDamaged, where + "name " + listed.name +
                                                  " has a folder part; the setup cannot create it and stops here");
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

Result ListPack(const std::string& carrier, uint32_t offset, Listing* listing) {
    RecordSink nothing;
    return WalkPack(carrier, offset, listing, nothing);
}

}  // namespace kpack
