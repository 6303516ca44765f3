// Our DES, MD5, Base64 and string cipher against OpenSSL's libcrypto over
// thousands of random inputs. The counts are printed for the record.
#define OPENSSL_SUPPRESS_DEPRECATED // DES_* is the plain block API we compare with
#include <gtest/gtest.h>
#include <openssl/des.h>
#include <openssl/evp.h>
#include <string.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "hex.h"
#include "integrity/base64.h"
#include "integrity/cipher.h"
#include "integrity/des.h"
#include "integrity/md5.h"

namespace {

std::mt19937 g_random(20240605);

std::string RandomBytes(size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = (char)(g_random() & 0xFF);
    return s;
}

std::string OpenSslBase64(const std::string& bytes) {
    std::vector<unsigned char> out(bytes.size() / 3 * 4 + 8);
    int n = EVP_EncodeBlock(out.data(), Bytes(bytes), (int)bytes.size());
    return std::string((char*)out.data(), n);
}

// DES-ECB with PKCS#5 padding by OpenSSL's block API.
std::string OpenSslDesEcb(const std::string& key, const std::string& plain) {
    DES_key_schedule schedule;
    DES_cblock k;
    memcpy(k, key.data(), 8);
    DES_set_key_unchecked(&k, &schedule);
    std::string padded = plain + std::string(8 - plain.size() % 8, (char)(8 - plain.size() % 8));
    std::string out(padded.size(), '\0');
    for (size_t i = 0; i < padded.size(); i += 8) {
        DES_ecb_encrypt((const_DES_cblock*)(padded.data() + i), (DES_cblock*)&out[i], &schedule,
                        DES_ENCRYPT);
    }
    return out;
}

TEST(Differential, DesWithRandomKeysAndTexts) {
    const int kCases = 20000;
    for (int i = 0; i < kCases; ++i) {
        std::string key = RandomBytes(8), plain = RandomBytes(g_random() % 41);
        DesKeyState state;
        ASSERT_EQ(1, DesKeySetup(Bytes(key), &state));
        std::string ours(plain.size() + 8, '\0'), back(ours.size(), '\0');
        int p = DesEncryptEcb(Bytes(plain), plain.size(), (unsigned char*)&ours[0], ours.size(), &state);
        ASSERT_EQ((int)(plain.size() / 8 * 8 + 8), p);
        ours.resize(p);
        ASSERT_EQ(OpenSslDesEcb(key, plain), ours) << ToHex(key.data(), 8);
        ASSERT_EQ((int)plain.size(),
                  DesDecryptEcb(Bytes(ours), ours.size(), (unsigned char*)&back[0], back.size(), &state));
        ASSERT_EQ(plain, back.substr(0, plain.size()));
    }
    printf("[differential] DES-ECB: %d random keys and texts\n", kCases);
}

TEST(Differential, CipherTextsEqualOpenSsl) {
    const int kCases = 10000;
    for (int i = 0; i < kCases; ++i) {
        std::string plain = RandomBytes(g_random() % 130);
        char out[256];
        ASSERT_EQ(0, utl_EncryptStr(out, sizeof out, plain.data(), (unsigned)plain.size()));
        ASSERT_EQ(OpenSslBase64(OpenSslDesEcb("qebtor27", plain)), out);
        char back[256];
        unsigned length = sizeof back;
        ASSERT_EQ(0, utl_DecryptStr(back, &length, out));
        ASSERT_EQ(plain, std::string(back, length));
    }
    printf("[differential] string cipher: %d random plain texts\n", kCases);
}

TEST(Differential, Md5InRandomPieces) {
    const int kCases = 5000;
    for (int i = 0; i < kCases; ++i) {
        std::string data = RandomBytes(g_random() % 3000);
        unsigned char theirs[EVP_MAX_MD_SIZE], ours[16], pieces[16];
        unsigned int n = 0;
        ASSERT_EQ(1, EVP_Digest(data.data(), data.size(), theirs, &n, EVP_md5(), nullptr));
        Md5(data.data(), data.size(), ours);
        ASSERT_EQ(ToHex(theirs, n), ToHex(ours, 16));
        Md5Context context;
        Md5Init(&context);
        for (size_t at = 0; at < data.size();) {
            size_t take = std::min(data.size() - at, (size_t)(g_random() % 130));
            Md5Update(&context, data.data() + at, take);
            at += take;
        }
        Md5Final(&context, pieces);
        ASSERT_EQ(ToHex(theirs, n), ToHex(pieces, 16));
    }
    printf("[differential] MD5: %d random messages, whole and in pieces\n", kCases);
}

TEST(Differential, Base64BothWays) {
    const int kCases = 10000;
    for (int i = 0; i < kCases; ++i) {
        std::string bytes = RandomBytes(g_random() % 300);
        std::vector<char> text(bytes.size() / 3 * 4 + 5);
        ASSERT_EQ(0, Base64Encode(Bytes(bytes), bytes.size(), text.data(), text.size()));
        ASSERT_EQ(OpenSslBase64(bytes), text.data());
        std::vector<unsigned char> back(text.size());
        size_t length = 0;
        ASSERT_EQ(0, Base64Decode(text.data(), back.data(), back.size(), &length));
        ASSERT_EQ(bytes, std::string((char*)back.data(), length));
    }
    printf("[differential] Base64: %d random byte strings, encoded and decoded\n", kCases);
}

} // namespace
