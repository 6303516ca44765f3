// The string cipher: the shapes of its texts, every result code, and what the
// layers beneath it refuse.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "hex.h"
#include "integrity/base64.h"
#include "integrity/cipher.h"
#include "integrity/des.h"

namespace {

std::string Encrypt(const std::string& plain, unsigned capacity = 512, int* code = nullptr) {
    std::string out(capacity, '\0');
    int c = utl_EncryptStr(&out[0], capacity, plain.data(), (unsigned)plain.size());
    if (code) *code = c;
    return c == 0 ? std::string(out.c_str()) : std::string();
}

// Deciphers into a buffer of capacity bytes filled with '#', so that a write
// past the plain text shows; returns the code, the plain text in *plain.
int Decrypt(const std::string& text, unsigned capacity, std::string* plain = nullptr) {
    std::string out(capacity, '#');
    unsigned length = capacity;
    int code = utl_DecryptStr(&out[0], &length, text.c_str());
    if (code == 0) {
        EXPECT_LE(length, capacity);
        EXPECT_EQ(std::string(capacity - length, '#'), out.substr(length)) << "written past the text";
        if (plain) *plain = out.substr(0, length);
    } else {
        EXPECT_EQ(capacity, length) << "length changed on failure";
        EXPECT_EQ(std::string(capacity, '#'), out) << "out changed on failure";
    }
    return code;
}

TEST(Cipher, LengthsOfCipherTexts) {
    EXPECT_EQ(12u, Encrypt("").size());
    EXPECT_EQ(12u, Encrypt("1234567").size());
    EXPECT_EQ(24u, Encrypt("12345678").size());
    EXPECT_EQ(24u, Encrypt("123456789012345").size());
    EXPECT_EQ(Encrypt("secret"), Encrypt("secret")) << "equal plain texts, equal cipher texts";
    EXPECT_NE(Encrypt("secret"), Encrypt("secreT"));
}

TEST(Cipher, EncryptCapacityRule) {
    // 16 bytes: P = 24, and 24 / 3 * 4 + 4 = 36 must stay below the capacity.
    int code = -1;
    std::string sixteen(16, 'x');
    EXPECT_EQ("", Encrypt(sixteen, 36, &code));
    EXPECT_EQ(2, code);
    EXPECT_EQ(32u, Encrypt(sixteen, 37, &code).size());
    EXPECT_EQ(0, code);

    char out[128] = "keep";
    EXPECT_EQ(2, utl_EncryptStr(out, 12, "a", 1)) << "P = 8: 8 / 3 * 4 + 4 = 12 is not below 12";
    EXPECT_STREQ("keep", out) << "out untouched on failure";
    EXPECT_EQ(2, utl_EncryptStr(nullptr, 100, "a", 1));
    EXPECT_EQ(3, utl_EncryptStr(out, 100, nullptr, 1));
    // A length near the top of the range must not wrap into a small padded length.
    EXPECT_EQ(2, utl_EncryptStr(out, 100, "a", 0xFFFFFFFFu));
}

TEST(Cipher, RoundTripsExactBytes) {
    // A fixed-width field: text, NUL, then leftovers, ciphered at full width.
    std::string field("pw\0\x01\xff" "zz\0", 8);
    std::string plain;
    ASSERT_EQ(0, Decrypt(Encrypt(field), 16, &plain));
    EXPECT_EQ(field, plain);
    for (size_t n = 0; n <= 33; ++n) {
        std::string text;
        for (size_t i = 0; i < n; ++i) text += (char)(i * 37 + n);
        ASSERT_EQ(0, Decrypt(Encrypt(text), (unsigned)n, &plain)) << n;
        EXPECT_EQ(text, plain);
    }
}

TEST(Cipher, DecryptCodes) {
    std::string twentyFour = Encrypt("0123456789abcdef"); // 24 bytes decoded
    EXPECT_EQ(4, Decrypt("", 64));
    EXPECT_EQ(5, Decrypt(twentyFour.substr(0, 31), 64)) << "length not a multiple of 4";
    EXPECT_EQ(5, Decrypt("AAAA*AAAAAAA", 64)) << "character outside the alphabet";
    EXPECT_EQ(5, Decrypt("AAAA AAAAAAA", 64));
    EXPECT_EQ(5, Decrypt("=AAAAAAAAAAA", 64)) << "'=' first in a group";
    EXPECT_EQ(5, Decrypt("AAAAA=AAAAAA", 64)) << "'=' second in a group";
    EXPECT_EQ(6, Decrypt("AAAAAAAAAAAA", 64)) << "12 characters decode to 9 bytes";
    EXPECT_EQ(6, Decrypt(twentyFour, 8)) << "8 + 8 < 24";
    std::string plain;
    EXPECT_EQ(0, Decrypt(twentyFour, 16, &plain)) << "16 + 8 >= 24 and 16 bytes fit";
    EXPECT_EQ("0123456789abcdef", plain);
    EXPECT_EQ(6, Decrypt(twentyFour, 15)) << "(15 & ~7) + 8 < 24";
    EXPECT_EQ(6, Decrypt(Encrypt("0123456789"), 9)) << "10 bytes into 9";

    unsigned length = 8;
    char out[8];
    EXPECT_EQ(4, utl_DecryptStr(out, &length, nullptr));
    EXPECT_EQ(4, utl_DecryptStr(nullptr, &length, "AAAA"));
    EXPECT_EQ(4, utl_DecryptStr(out, nullptr, "AAAA"));
}

// Cipher texts that decode to whole blocks but whose last byte is no valid
// padding value: 0 removes nothing; above the decoded length is refused.
TEST(Cipher, DecryptPaddingValues) {
    DesKeyState keys;
    ASSERT_EQ(1, DesKeySetup((const unsigned char*)"qebtor27", &keys));
    for (int last : {0, 9, 16, 17, 255}) {
        unsigned char block[16] = {'a', 'b'}, cipher[24];
        block[15] = (unsigned char)last;
        // Encrypt 16 raw bytes: the padding block that DesEncryptEcb adds is
        // dropped, leaving the two blocks with our own last byte.
        ASSERT_EQ(24, DesEncryptEcb(block, 16, cipher, sizeof cipher, &keys));
        char text[32];
        ASSERT_EQ(0, Base64Encode(cipher, 16, text, sizeof text));
        std::string plain;
        int code = Decrypt(text, 64, &plain);
        if (last <= 16) {
            EXPECT_EQ(0, code) << last;
            EXPECT_EQ(16u - last, plain.size());
        } else {
            EXPECT_EQ(6, code) << last;
        }
    }
}

TEST(DesLayer, RefusesWhatWouldOverrun) {
    DesKeyState keys;
    ASSERT_EQ(0, DesKeySetup(nullptr, &keys));
    ASSERT_EQ(1, DesKeySetup((const unsigned char*)"12345678", &keys));
    unsigned char in[24] = {0}, out[24];
    EXPECT_EQ(-1, DesEncryptEcb(in, 8, out, 15, &keys)) << "P = 16 needs 16 bytes";
    EXPECT_EQ(8, DesEncryptEcb(in, 0, out, 8, &keys));
    EXPECT_EQ(-1, DesDecryptEcb(in, 0, out, 24, &keys));
    EXPECT_EQ(-1, DesDecryptEcb(in, 12, out, 24, &keys)) << "not whole blocks";
    EXPECT_EQ(-1, DesDecryptEcb(in, 24, out, 16, &keys)) << "more than out holds";
}

TEST(Base64Layer, DecodeRules) {
    unsigned char out[16];
    size_t length = 77;
    EXPECT_EQ(-1, Base64Decode("Zm9vYg=", out, sizeof out, &length));
    EXPECT_EQ(-1, Base64Decode("Zm9vY===", out, sizeof out, &length));
    EXPECT_EQ(-1, Base64Decode("Zm9v-mFy", out, sizeof out, &length)) << "URL alphabet is not ours";
    EXPECT_EQ(-1, Base64Decode("Zm9vYmFy", out, 6, &length)) << "no room for the NUL";
    EXPECT_EQ(77u, length);
    ASSERT_EQ(0, Base64Decode("Zm9vYmFy", out, 7, &length));
    EXPECT_EQ(6u, length);
    // "=" in a group other than the last: the group loses one byte per "=".
    ASSERT_EQ(0, Base64Decode("Zg==Zm8=", out, sizeof out, &length));
    EXPECT_EQ("ffo", std::string((char*)out, length));
    ASSERT_EQ(0, Base64Decode("Zm=v", out, sizeof out, &length));
    EXPECT_EQ(2u, length);

    char text[9];
    EXPECT_EQ(-1, Base64Encode(Bytes("foobar"), 6, text, 8)) << "8 characters and a NUL";
    EXPECT_EQ(0, Base64Encode(Bytes("foobar"), 6, text, 9));
}

} // namespace
