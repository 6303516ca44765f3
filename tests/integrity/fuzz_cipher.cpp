// libFuzzer target: any bytes as a cipher text, for Base64Decode and
// utl_DecryptStr, with buffers of exactly the size they are told, so that a
// write past them is caught by AddressSanitizer. What deciphers must encipher
// back to the same text.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "integrity/base64.h"
#include "integrity/cipher.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first two bytes choose the capacities; the rest is the text.
    unsigned capacity = data[0] % 80;
    size_t decodeCapacity = data[1] % 64 + 1;
    char* text = (char*)malloc(size - 1);
    memcpy(text, data + 2, size - 2);
    text[size - 2] = '\0';

    unsigned char* decoded = (unsigned char*)malloc(decodeCapacity);
    size_t decodedLen = 0;
    if (Base64Decode(text, decoded, decodeCapacity, &decodedLen) == 0) {
        if (decodedLen >= decodeCapacity || decoded[decodedLen] != 0) abort();
    }
    free(decoded);

    char* plain = (char*)malloc(capacity ? capacity : 1);
    unsigned length = capacity;
    int code = utl_DecryptStr(plain, &length, text);
    if (code == 0) {
        if (length > capacity) abort();
        // Padding other than PKCS#5 also deciphers (only the last byte is
        // read), so only the plain text's own round trip is checked.
        char again[512];
        if (utl_EncryptStr(again, sizeof again, plain, length) == 0) {
            char* back = (char*)malloc(length ? length : 1);
            unsigned backLen = length;
            if (utl_DecryptStr(back, &backLen, again) != 0 || backLen != length ||
                memcmp(back, plain, length) != 0) {
                abort();
            }
            free(back);
        }
    } else if (code != 4 && code != 5 && code != 6) {
        abort();
    }
    free(plain);
    free(text);
    return 0;
}
