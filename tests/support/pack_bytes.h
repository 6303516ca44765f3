// Pack bytes written by hand, for tests on both trees: records as the format
// lays them out, including ones that no packer would write.
#pragma once
#include <stdint.h>

#include <string>

#include "pack/pack_format.h"

inline std::string Mixed(std::string s) {
    if (!s.empty()) pack::MixBuffer(&s[0], s.size());
    return s;
}

inline std::string Le32(uint32_t v) {
    unsigned char b[4];
    pack::WriteLe32(b, v);
    return std::string(reinterpret_cast<char*>(b), 4);
}

// A record's two clear length fields.
inline std::string Head(uint32_t nameLen, uint32_t dataLen) { return Le32(nameLen) + Le32(dataLen); }

inline std::string Record(const std::string& name, const std::string& data) {
    return Head((uint32_t)name.size(), (uint32_t)data.size()) + Mixed(name) + Mixed(data);
}

inline std::string Marker() { return Mixed(std::string(pack::kMarker, pack::kMarkerLen)); }
inline std::string EndRecord() { return Record(pack::kEndName, ""); }

// The smallest PE32 header the tools read as a carrier: time stamp, checksum,
// certificate table; 1024 bytes.
inline std::string PeCarrier(uint32_t checksum = 0, uint32_t signatureSize = 0) {
    std::string pe(1024, '\0');
    pe[0] = 'M';
    pe[1] = 'Z';
    pe.replace(0x3C, 4, Le32(0x80));
    pe.replace(0x80, 4, std::string("PE\0\0", 4));
    const size_t opt = 0x80 + 24;
    pe[opt] = 0x0B;
    pe[opt + 1] = 0x01;
    pe.replace(opt + 64, 4, Le32(checksum));
    pe.replace(opt + 92, 4, Le32(16));
    pe.replace(opt + 96 + 4 * 8, 8, Le32(signatureSize ? 1000 : 0) + Le32(signatureSize));
    return pe;
}
