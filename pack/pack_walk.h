// The one reader of a pack's records, for the unpacker (Setup.exe) and for
// kpack's list and extract: the rules that decide how far a pack reads and
// where it stops live here only. Portable C++; no heap, no exceptions.
//
// A step function: WalkBegin judges the region, then each WalkNext call reads
// what the next step needs through a Source and says what it found. The
// caller logs or acts between steps (the setup opens each output file at
// kStepName and writes each kStepData), and may stop at any step. A record
// goes:
//   kStepRecord, kStepNameLength, kStepLengths, then
//   kStepName, kStepData (none for no data), kStepFileDone   a file, or
//   kStepEnd                                                 the end record;
// after the marker (kStepMarker). The walk ends with kStepEnd, kStepFilled or
// kStepStop, and repeats that last step if called again.
#pragma once
#include <stdint.h>

#include "pack/pack_format.h"

namespace pack {

// Where a walk reads its region: the carrier, positioned at the pack's start.
class Source {
public:
    // Reads up to length bytes from the current position into buffer with one
    // read, storing the bytes read in *got. Returns 0 when the read itself
    // failed (then *got does not count), 1 otherwise, also for a short read.
    virtual int Read(void* buffer, uint32_t length, uint32_t* got) = 0;

protected:
    ~Source() {}
};

enum Step {
    kStepMarker,      // the marker matched; total is its length
    kStepRecord,      // record number `record` starts at region offset recordAt
    kStepNameLength,  // the name length field came: got bytes of it, nameLen
    kStepLengths,     // the data length came too; total now counts this record
    kStepName,        // name (nameLen bytes and a NUL) is a file's, judged safe
    kStepData,        // data holds the next chunk bytes of the file, un-mixed
    kStepFileDone,    // the file's data is all reported
    kStepEnd,         // the end record (name holds its name): the pack is whole
    kStepFilled,      // the records fill the region exactly: the pack is whole
    kStepStop,        // the pack stops short: why says where, StopCode the code
};

// Why a walk stopped, in the order the checks come. The setup's code of each
// is StopCode's.
enum Why {
    kWhyNone,
    kWhyTooLarge,        // 155: the carrier is 4 GiB or more
    kWhyNoRegion,        // 155: the pack's offset is not below the carrier's size
    kWhyMarkerCut,       // 159: the marker cannot be read in full
    kWhyMarker,          // 160: the marker does not match
    kWhyNameLengthCut,   // 161: the name length cannot be read in full
    kWhyNameTooLong,     // 161: above kMaxNameLen, or no room beside the directory
    kWhyDataLengthCut,   // 162: the data length cannot be read in full
    kWhyPastRegion,      // 163: the record reaches past the region's end
    kWhyNameCut,         // 164: the name cannot be read in full
    kWhyNameRefused,     // 161: the name could land outside the directory
    kWhyNameEmpty,       // 165: the empty name names the directory itself
    kWhyDataCut,         // 166: a chunk of the data cannot be read in full
};

// The state of one walk, on its caller's stack. Fields are valid as the steps
// above say; the caller only reads them.
struct Walk {
    uint64_t region;    // bytes from the pack's start to the carrier's end
    uint64_t dirLen;    // length of the directory the names are joined to
    uint64_t total;     // region bytes that the marker and the records so far claim
    uint64_t recordAt;  // region offset of the current record
    uint64_t at;        // region offset of the next byte to read
    uint32_t record;    // the current record's number, from 1
    uint32_t got;       // bytes of the name length field that its read brought
    uint32_t nameLen;
    uint32_t dataLen;
    uint32_t done;      // bytes of the current file's data reported so far
    uint32_t chunk;     // bytes in data at kStepData, 1 to kChunkLen
    int readFailed;     // at kStepStop: a read itself failed, not came short
    Why why;
    int next;           // what WalkNext does next (its own)
    char name[kMaxNameLen + 1];
    unsigned char data[kChunkLen];
};

// A name and the directory it is joined to stay below this many characters
// together (the system's MAX_PATH).
const uint32_t kMaxPathLen = 260;

// Starts a walk of the pack at offset in a carrier of carrierSize bytes whose
// names are joined to a directory of dirLen characters. Returns 1 when the
// region can hold a pack; 0 with why kWhyTooLarge or kWhyNoRegion.
int WalkBegin(Walk* walk, uint64_t carrierSize, uint32_t offset, uint64_t dirLen);

// Reads through source what the next step needs and returns that step.
Step WalkNext(Walk* walk, Source* source);

// The setup's code for why (150-166), 0 for kWhyNone.
uint32_t StopCode(Why why);

}  // namespace pack
