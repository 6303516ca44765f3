// Damaged copies of one small pack, unpacked in a sandbox under Wine: what the
// mutation test (tests/pack) and the mutation benchmark (bench/) share.
#pragma once
#include <windows.h>

#include <random>
#include <string>
#include <vector>

// n bytes from rng.
std::string RandomBytes(std::mt19937& rng, size_t n);

// One damaged copy of pack: bytes flipped, cut, inserted or removed, a length
// field (at one of heads, where records start) set to an edge value, or a name
// swapped for a hostile one.
std::string Damage(const std::string& pack, const std::vector<size_t>& heads, std::mt19937& rng);

// A sandbox root\box holding the carrier and the destination dst (with an
// empty sub-folder sub), and the good pack that every run damages: a.txt,
// chunky.bin (4100 bytes from rng), empty, and the end record, after 64 bytes
// of carrier head.
class DamageBox {
public:
    DamageBox(const std::string& root, std::mt19937& rng);

    // Unpacks one damaged copy with utl_FileUnpack and empties dst again.
    // Returns 0 when the pack read to its end, else the code it stopped with.
    // *fault is left empty, or says what must never happen: a code outside
    // 150-166, a code written on success, a file beside dst, a name that
    // escaped.
    DWORD RunOne(std::mt19937& rng, std::string* fault);

    const std::string& Pack() const { return pack_; }

private:
    std::string root_, dst_, pack_;
    std::vector<size_t> heads_;
};
