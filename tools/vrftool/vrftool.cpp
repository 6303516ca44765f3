// vrftool: the release engineer's tool for a customer's customisation files.
// It enciphers passwords into the stored text form and back, writes the .vrf
// verification file of a guarded file and checks a pair, with the very code the
// setup uses (integrity/), so that what it writes is what the setup accepts.
#include <ctype.h>
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <bcrypt.h>
#else
#include <sys/random.h>
#endif

#include "cli.h"
#include "exit_codes.h"
#include "integrity/cipher.h"
#include "integrity/vrf_file.h"
#include "output_file.h"

using namespace tools;

namespace {

// For tests only: with this variable set to a number, the 240 "random" bytes
// of make come from a fixed sequence, so that two builds of the tool can be
// compared byte for byte. A file made so is announced on stderr, never silently.
const char kFixedRandomVariable[] = "KIVRA_VRFTOOL_FIXED_RANDOM";

const char kUsage[] =
    "usage:\n"
    "  vrftool encrypt [TEXT]              print the stored (enciphered) form of TEXT;\n"
    "                                      without TEXT, one line is read from stdin\n"
    "  vrftool decrypt [--hex] CIPHERTEXT  print the clear text of a stored form\n"
    "  vrftool make FILE [--icon ICON] [--out VRF]\n"
    "                                      write the verification file of FILE\n"
    "  vrftool check FILE [VRF] [--icon ICON]\n"
    "                                      tell whether FILE matches its verification file\n"
    "  vrftool --help                      (also after a command)\n"
    "\n"
    "VRF defaults to the name the setup looks for: X.ini -> X.vrf, X.xml -> XXml.vrf.\n"
    "With --icon the verification file is bound to the icon's bytes 512 to 543\n"
    "(KivraCustom.ini with LogoOptions/CustomIcon set, or KivraCustom.xml with its icon).\n"
    "-- ends the options (a TEXT may then start with -).\n"
    "\n"
    "exit codes (shared with kpack):\n"
    "  0 done; check: the pair verifies\n"
    "  1 a file could not be read or written\n"
    "  2 bad command line\n"
    "  3 an input is out of limits (a guarded file over 40588 bytes, an icon too\n"
    "    short to bind)\n"
    "  4 the output would overwrite an input\n"
    "  5 check: the pair does not verify\n"
    "  6 the cipher refused the text\n"
    "  7 the system gave no random bytes\n";

int UsageError(const char* message) {
    fprintf(stderr, "vrftool: %s\n(see vrftool --help)\n", message);
    return kExitUsage;
}

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>* bytes) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        fprintf(stderr, "vrftool: cannot open %s: %s\n", path.c_str(), strerror(errno));
        return false;
    }
    bytes->clear();
    unsigned char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
    bool ok = !ferror(f);
    fclose(f);
    if (!ok) fprintf(stderr, "vrftool: cannot read %s\n", path.c_str());
    return ok;
}

bool WriteWholeFile(const std::string& path, const unsigned char* bytes, size_t size) {
    OutputFile out(path);
    std::string error;
    bool ok = out.Open(&error);
    if (ok && fwrite(bytes, 1, size, out.get()) != size) {
        error = "cannot write " + path + ": " + ErrnoText();
        ok = false;
    }
    ok = ok && out.Commit(&error);
    if (!ok) fprintf(stderr, "vrftool: %s\n", error.c_str());
    return ok;
}

// Fills out with bytes from the system's cryptographic random source.
bool SystemRandom(unsigned char* out, size_t size) {
#ifdef _WIN32
    return BCryptGenRandom(nullptr, out, (ULONG)size, BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0;
#else
    while (size > 0) {
        ssize_t got = getrandom(out, size, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        out += got;
        size -= (size_t)got;
    }
    return true;
#endif
}

// The test sequence: a 32-bit xorshift from the seed, the same on every system.
bool FixedRandom(uint32_t* state, unsigned char* out, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        *state ^= *state << 13;
        *state ^= *state >> 17;
        *state ^= *state << 5;
        out[i] = (unsigned char)(*state >> 24);
    }
    return true;
}

// Draws R: each byte uniform over 0 to 254 (255 is rejected and drawn again).
bool DrawRandom(unsigned char r[kVrfRandomSize]) {
    const char* seedText = getenv(kFixedRandomVariable);
    uint32_t state = seedText ? (uint32_t)strtoul(seedText, nullptr, 10) | 1u : 0;
    if (seedText)
        fprintf(stderr, "vrftool: warning: %s is set: the random bytes are a fixed test sequence; "
                        "never ship this file\n", kFixedRandomVariable);
    size_t filled = 0;
    unsigned char pool[64];
    while (filled < kVrfRandomSize) {
        if (seedText ? !FixedRandom(&state, pool, sizeof pool) : !SystemRandom(pool, sizeof pool)) return false;
        for (size_t i = 0; i < sizeof pool && filled < kVrfRandomSize; ++i) {
            if (pool[i] != 255) r[filled++] = pool[i];
        }
    }
    return true;
}

std::string DefaultVrfName(const std::string& guarded) {
    size_t dot = guarded.find_last_of('.');
    size_t slash = guarded.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string stem = guarded.substr(0, dot);
    std::string ext = guarded.substr(dot + 1);
    for (char& c : ext) c = (char)tolower((unsigned char)c);
    if (ext == "ini") return stem + ".vrf";
    if (ext == "xml") return stem + "Xml.vrf";
    return "";
}

int LoadGuarded(const std::string& path, std::vector<unsigned char>* bytes) {
    if (!ReadWholeFile(path, bytes)) return kExitIo;
    if (bytes->size() > kVrfMaxGuardedSize) {
        fprintf(stderr, "vrftool: %s is %zu bytes; a guarded file may hold at most %u\n",
                path.c_str(), bytes->size(), (unsigned)kVrfMaxGuardedSize);
        return kExitInputRefused;
    }
    return kExitOk;
}

// The block of a pair: default, or the icon's 32 bytes at offset 512. With
// strict set, an icon too short to bind is an error; otherwise it leaves the
// default block in force, as in the setup.
int LoadBlock(const std::string& icon, bool strict, unsigned char block[kVrfBlockSize]) {
    VrfDefaultBlock(block);
    if (icon.empty()) return kExitOk;
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(icon, &bytes)) return kExitIo;
    if (VrfIconBlock(bytes.data(), bytes.size(), block)) return kExitOk;
    fprintf(stderr, "vrftool: %s is %zu bytes; binding to an icon needs at least %u%s\n",
            icon.c_str(), bytes.size(), (unsigned)kVrfIconMinSize,
            strict ? "" : " (the setup uses the default block)");
    return strict ? kExitInputRefused : kExitOk;
}

int Encrypt(const std::vector<std::string>& args) {
    std::string text;
    if (args.size() > 1) return UsageError("encrypt takes one TEXT");
    if (args.size() == 1) {
        text = args[0];
    } else {
        char line[4096];
        if (!fgets(line, sizeof line, stdin)) return UsageError("no TEXT on stdin");
        text = line;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    }
    if (text.size() > (size_t)kMaxPasswordChars) {
        fprintf(stderr, "vrftool: warning: %zu characters; the setup's password dialog takes "
                        "at most %d\n", text.size(), kMaxPasswordChars);
    }
    std::vector<char> out(text.size() / 3 * 4 + 64);
    int code = utl_EncryptStr(out.data(), (unsigned)out.size(), text.data(), (unsigned)text.size());
    if (code != 0) {
        fprintf(stderr, "vrftool: the cipher failed with code %d\n", code);
        return kExitCipher;
    }
    printf("%s\n", out.data());
    return kExitOk;
}

int Decrypt(const std::vector<std::string>& args, bool hex) {
    if (args.size() != 1) return UsageError("decrypt takes one CIPHERTEXT");
    const std::string& text = args[0];
    // The decoded bytes never outnumber the text's characters.
    std::vector<char> out(text.size() + 8, 0);
    unsigned length = (unsigned)out.size();
    int code = utl_DecryptStr(out.data(), &length, text.c_str());
    if (code != 0) {
        const char* why = code == 4 ? "empty text"
                        : code == 5 ? "not Base64 text"
                        : code == 6 ? "not a cipher text of this product (length or padding)"
                                    : "internal failure";
        fprintf(stderr, "vrftool: cannot decipher: %s (code %d)\n", why, code);
        return kExitCipher;
    }
    if (hex) {
        for (unsigned i = 0; i < length; ++i) printf("%02x", (unsigned char)out[i]);
    } else {
        fwrite(out.data(), 1, length, stdout);
    }
    printf("\n");
    return kExitOk;
}

int Make(const std::vector<std::string>& files, const std::string& icon, std::string out) {
    if (files.size() != 1) return UsageError("make takes one FILE");
    if (out.empty()) out = DefaultVrfName(files[0]);
    if (out.empty()) return UsageError("FILE is neither .ini nor .xml: name the output with --out");
    if (SameFile(out, files[0]) || (!icon.empty() && SameFile(out, icon))) {
        fprintf(stderr, "vrftool: %s: the output would overwrite an input\n", out.c_str());
        return kExitOutputRefused;
    }

    std::vector<unsigned char> guarded;
    unsigned char block[kVrfBlockSize];
    int loaded = LoadGuarded(files[0], &guarded);
    if (loaded == kExitOk) loaded = LoadBlock(icon, true, block);
    if (loaded != kExitOk) return loaded;
    unsigned char r[kVrfRandomSize];
    if (!DrawRandom(r)) {
        fprintf(stderr, "vrftool: the system gave no random bytes\n");
        return kExitRandom;
    }
    unsigned char image[kVrfFileSize];
    if (!VrfMakeImage(guarded.data(), guarded.size(), r, block, image)) {
        fprintf(stderr, "vrftool: cannot compute the digest of %s\n", files[0].c_str());
        return kExitInputRefused;
    }
    if (!WriteWholeFile(out, image, sizeof image)) return kExitIo;
    printf("wrote %s (%s block)\n", out.c_str(), icon.empty() ? "default" : "icon-bound");
    return kExitOk;
}

int Check(const std::vector<std::string>& files, const std::string& icon) {
    if (files.empty() || files.size() > 2) return UsageError("check takes FILE and optionally VRF");
    std::string vrf = files.size() == 2 ? files[1] : DefaultVrfName(files[0]);
    if (vrf.empty()) return UsageError("FILE is neither .ini nor .xml: name its VRF");

    std::vector<unsigned char> guarded, image;
    unsigned char block[kVrfBlockSize];
    int loaded = LoadGuarded(files[0], &guarded);
    if (loaded == kExitOk) loaded = ReadWholeFile(vrf, &image) ? kExitOk : kExitIo;
    if (loaded == kExitOk) loaded = LoadBlock(icon, false, block);
    if (loaded != kExitOk) return loaded;
    if (image.size() != kVrfFileSize) {
        fprintf(stderr, "vrftool: %s is %zu bytes; a verification file has %u\n", vrf.c_str(),
                image.size(), (unsigned)kVrfFileSize);
        printf("FAILED: %s does not verify\n", files[0].c_str());
        return kExitCheckFailed;
    }
    if (!VrfCheckImage(guarded.data(), guarded.size(), image.data(), image.size(), block)) {
        printf("FAILED: %s does not verify against %s\n", files[0].c_str(), vrf.c_str());
        return kExitCheckFailed;
    }
    printf("OK: %s verifies against %s\n", files[0].c_str(), vrf.c_str());
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // Clear texts may hold any byte; no CR may be slipped in.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    CommandLine cl = ParseCommandLine(argc, argv, {"--icon", "--out"}, {"--hex"});
    if (cl.help || (!cl.words.empty() && cl.words[0] == "help")) {
        fputs(kUsage, stdout);
        return kExitOk;
    }
    if (!cl.error.empty()) return UsageError(cl.error.c_str());
    if (cl.words.empty()) return UsageError("no command");
    const std::string command = cl.words[0];
    std::vector<std::string> args(cl.words.begin() + 1, cl.words.end());
    const std::string icon = cl.Value("--icon"), out = cl.Value("--out");
    if (cl.Has("--hex") && command != "decrypt") return UsageError("--hex belongs to decrypt");
    if (!icon.empty() && command != "make" && command != "check") return UsageError("--icon belongs to make and check");
    if (cl.values.count("--out") && command != "make") return UsageError("--out belongs to make");
    if (command == "encrypt") return Encrypt(args);
    if (command == "decrypt") return Decrypt(args, cl.Has("--hex"));
    if (command == "make") return Make(args, icon, out);
    if (command == "check") return Check(args, icon);
    return UsageError(("unknown command " + command).c_str());
}
