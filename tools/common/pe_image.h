// The few fields of a Windows executable's header that the build-side tools
// look at: the link time stamp, the header checksum, and the certificate table
// in which an Authenticode signature lives.
#pragma once
#include <stdint.h>

#include <cstdio>

namespace tools {

struct PeHeader {
    uint32_t timeStamp = 0;
    uint64_t checksumAt = 0;      // file offset of the CheckSum field
    uint32_t checksum = 0;
    uint32_t signatureAt = 0;     // certificate table: file offset and size;
    uint32_t signatureSize = 0;   // a size other than 0 means the file is signed
};

// Reads the header of the file open in f. Returns false when the file is not
// a PE executable (then the tools treat it as plain bytes).
bool ReadPeHeader(std::FILE* f, PeHeader* header);

// The header checksum of the whole file open in f, computed as the loader and
// the signing tools do: 16-bit little-endian words summed with end-around
// carry, the CheckSum field itself left out, plus the file's length. Returns
// false when the file cannot be read.
bool ComputePeChecksum(std::FILE* f, uint64_t checksumAt, uint32_t* sum);

// Computes the checksum of the file open in f and writes it into its header.
bool WritePeChecksum(std::FILE* f, const PeHeader& header);

// Seeks to a 64-bit offset, also where long is 32 bits.
bool SeekTo(std::FILE* f, uint64_t offset);

}  // namespace tools
