#include "pe_image.h"

#include <vector>

#include "pack/pack_format.h"

namespace tools {
namespace {

uint16_t Le16(const unsigned char* p) { return (uint16_t)(p[0] | (p[1] << 8)); }

}  // namespace

bool SeekTo(std::FILE* f, uint64_t offset) {
#ifdef _WIN32
    return _fseeki64(f, (__int64)offset, SEEK_SET) == 0;
#else
    return fseeko(f, (off_t)offset, SEEK_SET) == 0;
#endif
}

bool ReadPeHeader(std::FILE* f, PeHeader* header) {
    *header = PeHeader();
    unsigned char head[4096];
    if (!SeekTo(f, 0)) return false;
    size_t got = std::fread(head, 1, sizeof head, f);
    if (got < 0x40 || head[0] != 'M' || head[1] != 'Z') return false;
    uint32_t pe = pack::ReadLe32(head + 0x3C);
    // Signature, file header (20 bytes), then the optional header.
    if (pe > got || got - pe < 24 + 0x70) return false;
    if (head[pe] != 'P' || head[pe + 1] != 'E' || head[pe + 2] != 0 || head[pe + 3] != 0) return false;
    const unsigned char* opt = head + pe + 24;
    uint16_t magic = Le16(opt);
    uint32_t dirCountAt, dirsAt;
    if (magic == 0x10B) {
        dirCountAt = 92;
        dirsAt = 96;
    } else if (magic == 0x20B) {
        dirCountAt = 108;
        dirsAt = 112;
    } else {
        return false;
    }
    header->timeStamp = pack::ReadLe32(head + pe + 8);
    header->checksumAt = pe + 24 + 64;
    header->checksum = pack::ReadLe32(opt + 64);
    const uint32_t kSecurityDir = 4;
    if ((size_t)(opt - head) + dirsAt + (kSecurityDir + 1) * 8 <= got &&
        pack::ReadLe32(opt + dirCountAt) > kSecurityDir) {
        header->signatureAt = pack::ReadLe32(opt + dirsAt + kSecurityDir * 8);
        header->signatureSize = pack::ReadLe32(opt + dirsAt + kSecurityDir * 8 + 4);
    }
    return true;
}

bool ComputePeChecksum(std::FILE* f, uint64_t checksumAt, uint32_t* sum) {
    if (!SeekTo(f, 0)) return false;
    std::vector<unsigned char> buffer(1 << 16);
    uint64_t total = 0, at = 0;
    uint64_t acc = 0;
    size_t got;
    // Chunks are even-sized, so a word never straddles two reads but the last.
    while ((got = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) {
        for (size_t i = 0; i < got; i += 2, at += 2) {
            if (at >= checksumAt && at < checksumAt + 4) continue;
            acc += i + 1 < got ? Le16(&buffer[i]) : buffer[i];
            acc = (acc & 0xFFFF) + (acc >> 16);
        }
        total += got;
    }
    if (std::ferror(f)) return false;
    acc = (acc & 0xFFFF) + (acc >> 16);
    *sum = (uint32_t)(acc + total);
    return true;
}

bool WritePeChecksum(std::FILE* f, const PeHeader& header) {
    uint32_t sum = 0;
    if (std::fflush(f) != 0 || !ComputePeChecksum(f, header.checksumAt, &sum)) return false;
    unsigned char bytes[4];
    pack::WriteLe32(bytes, sum);
    return SeekTo(f, header.checksumAt) && std::fwrite(bytes, 1, 4, f) == 4 && std::fflush(f) == 0;
}

}  // namespace tools
