#include "support/pack_damage.h"

#include "pack/pack_format.h"
#include "pack/unpack.h"
#include "support/pack_bytes.h"
#include "support/winsupport.h"

namespace {

const DWORD kPackOffset = 64;

}  // namespace

std::string RandomBytes(std::mt19937& rng, size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = (char)(rng() & 0xFF);
    return s;
}

std::string Damage(const std::string& pack, const std::vector<size_t>& heads, std::mt19937& rng) {
    static const char* const kHostile[] = {
        "..\\kivra_escape.txt", "..\\..\\kivra_escape.txt", "C:\\kivra_escape.txt", "\\kivra_escape.txt",
        "C:kivra_escape.txt", "sub\\..\\..\\kivra_escape.txt", "../kivra_escape.txt", "x:kivra_escape",
        "\\\\?\\C:\\kivra_escape.txt", "sub\\kivra_escape.txt", "nosub\\kivra_escape.txt"};
    static const uint32_t kEdges[] = {0, 1, 11, 63, 64, 65, 4095, 4096, 4097, 0x7FFFFFFF,
                                      0x80000000u, 0xFFFFFFF0u, 0xFFFFFFFFu};
    std::string p = pack;
    int kinds = 1 + (int)(rng() % 3);
    for (int k = 0; k < kinds; ++k) {
        switch (rng() % 7) {
            case 0:  // flip bytes
                for (int n = 1 + rng() % 4; n > 0 && !p.empty(); --n) p[rng() % p.size()] ^= (char)(1 + rng() % 255);
                break;
            case 1:  // cut the pack short
                p.resize(rng() % (p.size() + 1));
                break;
            case 2:  // insert bytes
                p.insert(rng() % (p.size() + 1), RandomBytes(rng, 1 + rng() % 9));
                break;
            case 3:  // remove bytes
                if (!p.empty()) p.erase(rng() % p.size(), 1 + rng() % 9);
                break;
            case 4:
            case 5: {  // a length field set to an edge value
                size_t at = heads[rng() % heads.size()] + (rng() % 2) * 4;
                if (at + 4 <= p.size())
                    pack::WriteLe32(reinterpret_cast<unsigned char*>(&p[at]), kEdges[rng() % (sizeof kEdges / 4)]);
                break;
            }
            default: {  // a hostile name in place of a record's, its lengths kept true
                size_t at = heads[rng() % heads.size()];
                if (at + 8 > p.size()) break;
                uint32_t nameLen = pack::ReadLe32(reinterpret_cast<const unsigned char*>(&p[at]));
                if (nameLen > 64 || at + 8 + nameLen > p.size()) break;
                std::string name = kHostile[rng() % (sizeof kHostile / sizeof *kHostile)];
                pack::MixBuffer(&name[0], name.size());
                p.replace(at + 8, nameLen, name);
                pack::WriteLe32(reinterpret_cast<unsigned char*>(&p[at]), (uint32_t)name.size());
                break;
            }
        }
    }
    return p;
}

DamageBox::DamageBox(const std::string& root, std::mt19937& rng)
    : root_(root + "\\box"), dst_(root + "\\box\\dst") {
    // The payload in name order, as kpack would pack it.
    std::string chunky = RandomBytes(rng, 4100);
    pack_ = BuildPack({{"a.txt", "alpha"}, {"chunky.bin", chunky}, {"empty", ""}});
    for (size_t at = pack::kMarkerLen; at + pack::kRecordHeadLen <= pack_.size();) {
        heads_.push_back(at);
        const unsigned char* head = reinterpret_cast<const unsigned char*>(&pack_[at]);
        at += pack::kRecordHeadLen + pack::ReadLe32(head) + (size_t)pack::ReadLe32(head + 4);
    }
    MakeDirs(dst_ + "\\sub");
}

DWORD DamageBox::RunOne(std::mt19937& rng, std::string* fault) {
    fault->clear();
    WriteFileBytes(root_ + "\\carrier.bin", BuildCarrier("MZ", kPackOffset, Damage(pack_, heads_, rng)));
    const DWORD kUntouched = 0xC0FFEE;
    DWORD err = kUntouched;
    int ok = utl_FileUnpack(root_.c_str(), "carrier.bin", dst_.c_str(), &err, kPackOffset);
    DWORD code = ok ? 0 : err;
    if (ok && err != kUntouched) *fault = "code " + std::to_string(err) + " written on success";
    if (!ok && (err < 150 || err > 166)) *fault = "code " + std::to_string(err) + " outside 150-166";
    if (ListDir(root_) != std::vector<std::string>{"carrier.bin", "dst"}) *fault = "a file beside dst";
    for (const std::string& n : ListDir(dst_))
        if (n.find("kivra_escape") != std::string::npos) *fault = "a name escaped: " + n;
    for (const std::string& n : ListDir(dst_ + "\\sub")) DeleteFileA((dst_ + "\\sub\\" + n).c_str());
    for (const std::string& n : ListDir(dst_))
        if (n != "sub") DeleteFileA((dst_ + "\\" + n).c_str());
    return code;
}
