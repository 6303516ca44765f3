#include "integrity/cipher.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "integrity/base64.h"
#include "integrity/des.h"
#include "integrity/wipe.h"

namespace {

// The built-in key. Every stored password was enciphered under it; changing it
// makes every customisation file's password unreadable.
const unsigned char kCipherKey[8] = {'q', 'e', 'b', 't', 'o', 'r', '2', '7'};

DesKeyState g_keys;
// 0: not built, 1: being built by some thread, 2: built.
int g_keysState;

// Builds the key schedules once per process. A failed build leaves the state
// clear, so that the next call tries again. GCC's atomic built-ins work alike in
// the Windows and the host tree and need no runtime library.
int EnsureKeys() {
    for (;;) {
        int state = __atomic_load_n(&g_keysState, __ATOMIC_ACQUIRE);
        if (state == 2) return 1;
        int expected = 0;
        if (state == 0 && __atomic_compare_exchange_n(&g_keysState, &expected, 1, false,
                                                      __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
            int built = DesKeySetup(kCipherKey, &g_keys);
            __atomic_store_n(&g_keysState, built ? 2 : 0, __ATOMIC_RELEASE);
            return built;
        }
        // Another thread is building: a key set-up takes microseconds.
    }
}

} // namespace

int utl_EncryptStr(char* out, unsigned capacity, const char* plain, unsigned plainLen) {
    if (!EnsureKeys()) return 1;
    // 64-bit arithmetic: a length near the top of the range must not wrap
    // into a small P that would pass the capacity test.
    uint64_t padded = ((uint64_t)plainLen & ~(uint64_t)7) + 8;
    if (!out || padded / 3 * 4 + 4 >= capacity) return 2;
    if (!plain && plainLen) return 3;

    unsigned char* work = (unsigned char*)malloc((size_t)padded);
    if (!work) return 4;
    int code = 0;
    int produced = DesEncryptEcb((const unsigned char*)plain, plainLen, work, (size_t)padded,
                                 &g_keys);
    if (produced <= 0) {
        code = 3;
    } else if (Base64Encode(work, (size_t)produced, out, capacity) != 0) {
        code = 5;
    }
    free(work);
    return code;
}

int utl_DecryptStr(char* out, unsigned* length, const char* cipherText) {
    if (!EnsureKeys()) return 1;
    if (!out || !length || !cipherText) return 4;
    size_t textLen = strlen(cipherText);
    if (textLen == 0) return 4;

    unsigned char* decoded = (unsigned char*)malloc(textLen);
    if (!decoded) return 4;
    size_t d = 0;
    if (Base64Decode(cipherText, decoded, textLen, &d) != 0) {
        free(decoded);
        return 5;
    }
    unsigned capacity = *length;
    if (((uint64_t)capacity & ~(uint64_t)7) + 8 < d) {
        free(decoded);
        return 6;
    }

    // The decrypted bytes, padding included, need d bytes; d is at most
    // capacity + 8 by the test above, so this is never more than a buffer of
    // capacity + 8 bytes would be, and it cannot wrap for a capacity near the
    // top of the range.
    unsigned char* plain = (unsigned char*)malloc(d ? d : 1);
    if (!plain) {
        free(decoded);
        return 4;
    }
    int code = 0;
    int plainLen = DesDecryptEcb(decoded, d, plain, d, &g_keys);
    if (plainLen < 0 || (unsigned)plainLen > capacity) {
        code = 6;
    } else {
        memcpy(out, plain, (size_t)plainLen);
        *length = (unsigned)plainLen;
    }
    // The buffers held a password in clear and in enciphered form.
    WipeBytes(plain, d);
    free(plain);
    free(decoded);
    return code;
}
