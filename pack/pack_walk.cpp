#include "pack/pack_walk.h"

#include <string.h>

namespace pack {
namespace {

// What WalkNext does next.
enum Next {
    kReadMarker,
    kStartRecord,
    kReadNameLength,
    kReadDataLength,
    kReadName,
    kReadData,
    kOverEnd,
    kOverFilled,
    kOverStop,
};

// Ends the walk, why and how; every later WalkNext repeats kStepStop.
Step Stop(Walk* walk, Why why, int readFailed) {
    walk->why = why;
    walk->readFailed = readFailed;
    walk->next = kOverStop;
    return kStepStop;
}

// One read of length bytes: 1 when all came, 0 when fewer, -1 when the read
// itself failed.
int ReadAll(Walk* walk, Source* source, void* buffer, uint32_t length, uint32_t* got) {
    *got = 0;
    if (!source->Read(buffer, length, got)) return -1;
    if (*got > length) *got = length;  // a source's fault must not move us past the buffer
    walk->at += *got;
    return *got == length ? 1 : 0;
}

// Reads a clear length field. After a short read it holds the bytes that came,
// over zeros, as a read straight into a zeroed field would.
int ReadLength(Walk* walk, Source* source, uint32_t* value, uint32_t* got) {
    unsigned char bytes[4] = {0, 0, 0, 0};
    int r = ReadAll(walk, source, bytes, sizeof bytes, got);
    *value = ReadLe32(bytes);
    return r;
}

}  // namespace

int WalkBegin(Walk* walk, uint64_t carrierSize, uint32_t offset, uint64_t dirLen) {
    walk->region = 0;
    walk->dirLen = dirLen;
    walk->total = walk->recordAt = walk->at = 0;
    walk->record = walk->got = walk->nameLen = walk->dataLen = walk->done = walk->chunk = 0;
    walk->readFailed = 0;
    walk->why = kWhyNone;
    walk->next = kReadMarker;
    walk->name[0] = '\0';
    // The unpacker takes the carrier's size in one 32-bit word.
    Why why = carrierSize >= (1ULL << 32) ? kWhyTooLarge : offset >= carrierSize ? kWhyNoRegion : kWhyNone;
    if (why != kWhyNone) {
        Stop(walk, why, 0);
        return 0;
    }
    walk->region = carrierSize - offset;
    return 1;
}

Step WalkNext(Walk* walk, Source* source) {
    uint32_t got = 0;
    int r;
    switch (walk->next) {
        case kReadMarker:
            r = ReadAll(walk, source, walk->data, kMarkerLen, &got);
            if (r <= 0) return Stop(walk, kWhyMarkerCut, r < 0);
            MixBuffer(walk->data, kMarkerLen);
            if (memcmp(walk->data, kMarker, kMarkerLen) != 0) return Stop(walk, kWhyMarker, 0);
            walk->total = kMarkerLen;
            walk->next = kStartRecord;
            return kStepMarker;

        case kStartRecord:
            // The total never passes the region (kWhyPastRegion stops first).
            if (walk->total >= walk->region) {
                walk->next = kOverFilled;
                return kStepFilled;
            }
            ++walk->record;
            walk->recordAt = walk->total;
            walk->next = kReadNameLength;
            return kStepRecord;

        case kReadNameLength:
            r = ReadLength(walk, source, &walk->nameLen, &walk->got);
            if (r < 0) return Stop(walk, kWhyNameLengthCut, 1);
            // Reported even when short: the setup logs what the field holds.
            walk->next = kReadDataLength;
            return kStepNameLength;

        case kReadDataLength:
            if (walk->got != 4) return Stop(walk, kWhyNameLengthCut, 0);
            if (walk->nameLen > kMaxNameLen || walk->nameLen + walk->dirLen >= kMaxPathLen)
                return Stop(walk, kWhyNameTooLong, 0);
            r = ReadLength(walk, source, &walk->dataLen, &got);
            if (r <= 0) return Stop(walk, kWhyDataLengthCut, r < 0);
            // In 64 bits: two large length fields must not wrap the total
            // round to a small number that seems to fit the region.
            walk->total += (uint64_t)walk->nameLen + walk->dataLen + kRecordHeadLen;
            walk->next = kReadName;
            return kStepLengths;

        case kReadName:
            if (walk->total > walk->region) return Stop(walk, kWhyPastRegion, 0);
            // Read even when empty: one read a field, as the unpacker always did.
            r = ReadAll(walk, source, walk->name, walk->nameLen, &got);
            if (r <= 0) return Stop(walk, kWhyNameCut, r < 0);
            MixBuffer(walk->name, walk->nameLen);
            walk->name[walk->nameLen] = '\0';
            if (walk->nameLen == 0) return Stop(walk, kWhyNameEmpty, 0);
            if (!IsSafeRecordName(walk->name, walk->nameLen, 1)) return Stop(walk, kWhyNameRefused, 0);
            // The end record's data length is counted but its data never read.
            if (IsEndName(walk->name, walk->nameLen)) {
                walk->next = kOverEnd;
                return kStepEnd;
            }
            walk->done = 0;
            walk->next = kReadData;
            return kStepName;

        case kReadData:
            if (walk->done == walk->dataLen) {
                walk->next = kStartRecord;
                return kStepFileDone;
            }
            walk->chunk = walk->dataLen - walk->done < kChunkLen ? walk->dataLen - walk->done : kChunkLen;
            r = ReadAll(walk, source, walk->data, walk->chunk, &got);
            if (r <= 0) return Stop(walk, kWhyDataCut, r < 0);
            MixBuffer(walk->data, walk->chunk);
            walk->done += walk->chunk;
            return kStepData;

        case kOverEnd:
            return kStepEnd;
        case kOverFilled:
            return kStepFilled;
        default:
            return kStepStop;
    }
}

uint32_t StopCode(Why why) {
    switch (why) {
        case kWhyNone: return 0;
        case kWhyTooLarge:
        case kWhyNoRegion: return 155;
        case kWhyMarkerCut: return 159;
        case kWhyMarker: return 160;
        case kWhyNameLengthCut:
        case kWhyNameTooLong:
        case kWhyNameRefused: return 161;
        case kWhyDataLengthCut: return 162;
        case kWhyPastRegion: return 163;
        case kWhyNameCut: return 164;
        case kWhyNameEmpty: return 165;
        case kWhyDataCut: return 166;
    }
    return 0;
}

}  // namespace pack
