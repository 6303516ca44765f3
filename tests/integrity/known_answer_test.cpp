// Published test vectors: DES (NBS validation set of FIPS 46), MD5 (RFC 1321)
// and Base64 (RFC 4648).
#include <gtest/gtest.h>
#include <string.h>

#include "hex.h"
#include "integrity/base64.h"
#include "integrity/des.h"
#include "integrity/md5.h"

namespace {

// Enciphers one 8-byte block under key and returns the first cipher block
// (the second is the padding block); also checks that deciphering gives the
// plain block back with the padding removed.
std::string DesBlock(const std::string& keyHex, const std::string& plainHex) {
    DesKeyState state;
    EXPECT_EQ(1, DesKeySetup(Bytes(FromHex(keyHex)), &state));
    std::string plain = FromHex(plainHex);
    unsigned char cipher[16], back[16];
    EXPECT_EQ(16, DesEncryptEcb(Bytes(plain), 8, cipher, sizeof cipher, &state));
    EXPECT_EQ(8, DesDecryptEcb(cipher, 16, back, sizeof back, &state));
    EXPECT_EQ(plain, std::string((char*)back, 8));
    return ToHex(cipher, 8);
}

TEST(DesKnownAnswer, NbsValidationVectors) {
    struct Vector { const char* key; const char* plain; const char* cipher; } vectors[] = {
        // Variable plain text, key of parity bits only.
        {"0101010101010101", "8000000000000000", "95f8a5e5dd31d900"},
        {"0101010101010101", "4000000000000000", "dd7f121ca5015619"},
        {"0101010101010101", "2000000000000000", "2e8653104f3834ea"},
        {"0101010101010101", "0000000000000001", "166b40b44aba4bd6"},
        // Variable key.
        {"8001010101010101", "0000000000000000", "95a8d72813daa94d"},
        {"4001010101010101", "0000000000000000", "0eec1487dd8c26d5"},
        // Permutation operation.
        {"1046913489980131", "0000000000000000", "88d55e54f54c97b4"},
        {"1007103489988020", "0000000000000000", "0c0cc00c83ea48fd"},
        // Substitution tables.
        {"7ca110454a1a6e57", "01a1d6d039776742", "690f5b0d9a26939b"},
        {"0131d9619dc1376e", "5cd54ca83def57da", "7a389d10354bd271"},
        {"07a1133e4a0b2686", "0248d43806f67172", "868ebb51cab4599a"},
        // The classic worked example and "Now is t" under 0123456789abcdef.
        {"133457799bbcdff1", "0123456789abcdef", "85e813540f0ab405"},
        {"0123456789abcdef", "4e6f772069732074", "3fa40e8a984d4815"},
    };
    for (const Vector& v : vectors) {
        EXPECT_EQ(v.cipher, DesBlock(v.key, v.plain)) << v.key << " " << v.plain;
        // The parity bits are ignored: flipping every low bit changes nothing.
        std::string key = FromHex(v.key);
        for (char& c : key) c ^= 1;
        EXPECT_EQ(v.cipher, DesBlock(ToHex(key.data(), 8), v.plain));
    }
}

TEST(Md5KnownAnswer, Rfc1321Suite) {
    struct Vector { const char* text; const char* digest; } vectors[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0", "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const Vector& v : vectors) {
        unsigned char digest[16];
        Md5(v.text, strlen(v.text), digest);
        EXPECT_EQ(v.digest, ToHex(digest, 16)) << '"' << v.text << '"';
    }
}

TEST(Base64KnownAnswer, Rfc4648Vectors) {
    const char* vectors[][2] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
                                {"foo", "Zm9v"},  {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
                                {"foobar", "Zm9vYmFy"}};
    for (auto& v : vectors) {
        char text[16];
        ASSERT_EQ(0, Base64Encode(Bytes(v[0]), strlen(v[0]), text, sizeof text));
        EXPECT_STREQ(v[1], text);
        unsigned char bytes[16];
        size_t length = 99;
        ASSERT_EQ(0, Base64Decode(v[1], bytes, sizeof bytes, &length));
        EXPECT_EQ(std::string(v[0]), std::string((char*)bytes, length));
        EXPECT_EQ(0, bytes[length]) << "a NUL follows the decoded bytes";
    }
}

} // namespace
