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
