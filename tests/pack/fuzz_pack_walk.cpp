// libFuzzer target: any bytes as a pack region for the pack walk, read through
// a source that may fail or come short at one read. Checked against a model of
// its own, a plain loop over the same rules:
//   - the steps come in their order, and a walk ends once: it reads to its end
//     (kStepEnd, kStepFilled) or stops with one code, never both, and repeats
//     that last step when called again;
//   - every chunk lies inside the region, where the model puts the file's data,
//     and holds those bytes un-mixed; a file gets exactly its data length;
//   - the files, the end and the code are the model's.
// Input: byte 0 the directory length the names are joined to; byte 1 a read
// fault (below 128 none, else read number (b & 63) + 1 fails, as a failed call
// when b & 64, else as a short read); then the region.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "pack/pack_format.h"
#include "pack/pack_walk.h"

namespace {

#define CHECK(c) \
    do {         \
        if (!(c)) abort(); \
    } while (0)

// The region in memory; read number failAt (from 1) fails or comes short.
class FaultySource : public pack::Source {
public:
    FaultySource(const uint8_t* region, size_t size, int failAt, bool failCall)
        : region_(region), size_(size), failAt_(failAt), failCall_(failCall) {}
    int Read(void* buffer, uint32_t length, uint32_t* got) override {
        ++reads_;
        size_t n = size_ - pos_ < length ? size_ - pos_ : length;
        if (reads_ == failAt_) {
            if (failCall_) return 0;
            n /= 2;
        }
        memcpy(buffer, region_ + pos_, n);
        pos_ += n;
        *got = (uint32_t)n;
        return 1;
    }
    // The model's read: all length bytes, or false.
    bool ReadAll(void* buffer, uint32_t length, uint32_t* got) {
        *got = 0;
        return Read(buffer, length, got) && *got == length;
    }
    // Region bytes read so far.
    size_t Pos() const { return pos_; }

private:
    const uint8_t* region_;
    size_t size_, pos_ = 0;
    int reads_ = 0, failAt_;
    bool failCall_;
};

struct ModelFile {
    std::string name;
    uint32_t dataLen;
    size_t dataAt;  // region offset of its data
};

struct Model {
    uint32_t code = 0;  // 0: the region reads to its end
    bool end = false;   // ended by the end record
    std::vector<ModelFile> files;
};

// m, stopped with code.
Model Stopped(Model m, uint32_t code) {
    m.code = code;
    return m;
}

// The rules as one loop: the unpacker's order of reads and checks.
Model Expected(const uint8_t* region, size_t size, uint32_t dirLen, int failAt, bool failCall) {
    Model m;
    FaultySource in(region, size, failAt, failCall);
    uint8_t buf[pack::kChunkLen];
    uint32_t got;
    if (size == 0) return Stopped(m, 155);
    if (!in.ReadAll(buf, pack::kMarkerLen, &got)) return Stopped(m, 159);
    pack::MixBuffer(buf, pack::kMarkerLen);
    if (memcmp(buf, pack::kMarker, pack::kMarkerLen) != 0) return Stopped(m, 160);
    uint64_t total = pack::kMarkerLen;
    while (total < size) {
        uint8_t len[4] = {0, 0, 0, 0};
        if (!in.ReadAll(len, 4, &got)) return Stopped(m, 161);
        uint32_t nameLen = pack::ReadLe32(len);
        if (nameLen > pack::kMaxNameLen || nameLen + dirLen >= pack::kMaxPathLen) return Stopped(m, 161);
        memset(len, 0, 4);
        if (!in.ReadAll(len, 4, &got)) return Stopped(m, 162);
        uint32_t dataLen = pack::ReadLe32(len);
        total += pack::kRecordHeadLen + (uint64_t)nameLen + dataLen;
        if (total > size) return Stopped(m, 163);
        char name[pack::kMaxNameLen];
        if (!in.ReadAll(name, nameLen, &got)) return Stopped(m, 164);
        pack::MixBuffer(name, nameLen);
        if (nameLen == 0) return Stopped(m, 165);
        if (!pack::IsSafeRecordName(name, nameLen, 1)) return Stopped(m, 161);
        if (pack::IsEndName(name, nameLen)) {
            m.end = true;
            return m;
        }
        m.files.push_back(ModelFile{std::string(name, nameLen), dataLen, in.Pos()});
        for (uint32_t done = 0; done < dataLen; done += got)
            if (!in.ReadAll(buf, dataLen - done < pack::kChunkLen ? dataLen - done : pack::kChunkLen, &got))
                return Stopped(m, 166);
    }
    return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint32_t dirLen = data[0];
    const int failAt = data[1] < 128 ? 0 : (data[1] & 63) + 1;
    const bool failCall = (data[1] & 64) != 0;
    const uint8_t* region = data + 2;
    const size_t regionLen = size - 2;
    const Model model = Expected(region, regionLen, dirLen, failAt, failCall);

    FaultySource source(region, regionLen, failAt, failCall);
    pack::Walk walk;
    pack::Step last = pack::kStepStop;
    size_t files = 0;
    if (pack::WalkBegin(&walk, regionLen, 0, dirLen)) {
        CHECK(walk.region == regionLen);
        int prev = -1;  // no step yet
        for (;;) {
            pack::Step step = pack::WalkNext(&walk, &source);
            CHECK(walk.at == source.Pos());
            switch (step) {
                case pack::kStepMarker:
                    CHECK(prev == -1 && walk.total == pack::kMarkerLen);
                    break;
                case pack::kStepRecord:
                    CHECK(prev == pack::kStepMarker || prev == pack::kStepFileDone);
                    CHECK(walk.recordAt == walk.total && walk.total < regionLen);
                    break;
                case pack::kStepNameLength:
                    CHECK(prev == pack::kStepRecord && walk.got <= 4);
                    break;
                case pack::kStepLengths:
                    CHECK(prev == pack::kStepNameLength && walk.nameLen <= pack::kMaxNameLen);
                    CHECK(walk.total == walk.recordAt + 8 + walk.nameLen + (uint64_t)walk.dataLen);
                    break;
                case pack::kStepName: {
                    CHECK(prev == pack::kStepLengths && walk.total <= regionLen);
                    CHECK(files < model.files.size());
                    const ModelFile& f = model.files[files];
                    CHECK(f.name == walk.name && strlen(walk.name) == walk.nameLen && f.dataLen == walk.dataLen);
                    CHECK(walk.done == 0);
                    break;
                }
                case pack::kStepData: {
                    CHECK(prev == pack::kStepName || prev == pack::kStepData);
                    // Full chunks, the last one shorter: one read each.
                    CHECK(walk.done <= walk.dataLen);
                    const uint32_t left = walk.dataLen - (walk.done - walk.chunk);
                    CHECK(walk.chunk == (left < pack::kChunkLen ? left : pack::kChunkLen));
                    const ModelFile& f = model.files[files];
                    const size_t at = f.dataAt + walk.done - walk.chunk;
                    CHECK(at + walk.chunk <= regionLen);  // never a chunk past the region
                    uint8_t expected[pack::kChunkLen];
                    memcpy(expected, region + at, walk.chunk);
                    pack::MixBuffer(expected, walk.chunk);
                    CHECK(memcmp(expected, walk.data, walk.chunk) == 0);
                    break;
                }
                case pack::kStepFileDone:
                    CHECK((prev == pack::kStepName || prev == pack::kStepData) && walk.done == walk.dataLen);
                    ++files;
                    break;
                case pack::kStepEnd:
                    CHECK(prev == pack::kStepLengths && pack::IsEndName(walk.name, walk.nameLen));
                    break;
                case pack::kStepFilled:
                    CHECK((prev == pack::kStepMarker || prev == pack::kStepFileDone) && walk.total == regionLen);
                    break;
                case pack::kStepStop:
                    break;
            }
            prev = step;
            if (step == pack::kStepEnd || step == pack::kStepFilled || step == pack::kStepStop) break;
        }
        last = (pack::Step)prev;
        // Over means over: the same last step, nothing read any more.
        const size_t pos = source.Pos();
        for (int i = 0; i < 3; ++i) CHECK(pack::WalkNext(&walk, &source) == last);
        CHECK(source.Pos() == pos);
    }

    const uint32_t code = pack::StopCode(walk.why);
    if (last == pack::kStepStop) {
        CHECK(walk.why != pack::kWhyNone && code >= 155 && code <= 166);
    } else {
        CHECK(walk.why == pack::kWhyNone && code == 0);
    }
    CHECK(code == model.code);
    CHECK((last == pack::kStepEnd) == model.end);
    // A file stopped in its data was named but not done.
    CHECK(files == model.files.size() - (code == 166 ? 1 : 0));
    return 0;
}
