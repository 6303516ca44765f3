// The walk of a carrier's pack that list and extract share: the unpacker's
// own walk (pack/pack_walk.h), with the one name rule of the setup's fresh
// work folder, handing each file record to a sink.
#pragma once
#include <stdint.h>

#include <string>

#include "kpack.h"

namespace kpack {

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

// Walks the pack at offset in carrier, handing each file record to sink, and
// stops where the unpacker would stop, or at the first failure of the sink.
Result WalkPack(const std::string& carrier, uint32_t offset, Listing* listing, RecordSink& sink);

}  // namespace kpack
