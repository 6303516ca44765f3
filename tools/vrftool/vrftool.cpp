// vrftool: the release engineer's tool for a customer's customisation files.
// It enciphers passwords into the stored text form and back, writes the .vrf
// verification file of a guarded file and checks a pair, with the very code the
// setup uses (integrity/), so that what it writes is what the setup accepts.
#include <ctype.h>
#include <errno.h>
#include <stdio.h>
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

#include "integrity/cipher.h"
#include "integrity/vrf_file.h"

namespace {

// Exit codes; stable, documented in docs/integrity-tool.md.
enum ExitCode {
    kExitOk = 0,
    kExitMismatch = 1,  // check: the pair does not verify
    kExitUsage = 2,
    kExitFile = 3,      // a file cannot be read or written, or is out of limits
    kExitCipher = 4,    // the cipher refused the text
    kExitRandom = 5,    // no random bytes from the system
};

// The setup's password dialog takes at most 32 characters.
const size_t kDialogMaxPassword = 32;

const char kUsage[] =
    "usage:\n"
    "  vrftool encrypt [TEXT]              print the stored (enciphered) form of TEXT;\n"
    "                                      without TEXT, one line is read from stdin\n"
    "  vrftool decrypt [--hex] CIPHERTEXT  print the clear text of a stored form\n"
    "  vrftool make FILE [--icon ICON] [--out VRF]\n"
    "                                      write the verification file of FILE\n"
    "  vrftool check FILE [VRF] [--icon ICON]\n"
    "                                      tell whether FILE matches its verification file\n"
    "  vrftool --help\n"
    "\n"
    "VRF defaults to the name the setup looks for: X.ini -> X.vrf, X.xml -> XXml.vrf.\n"
    "With --icon the verification file is bound to the icon's bytes 512 to 543\n"
    "(KivraCustom.ini with LogoOptions/CustomIcon set, or KivraCustom.xml with its icon).\n"
    "\n"
    "exit codes: 0 done (check: the pair verifies), 1 the pair does not verify,\n"
    "  2 usage error, 3 file error or size out of limits, 4 the cipher refused the\n"
    "  text, 5 no random bytes from the system\n";

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
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        fprintf(stderr, "vrftool: cannot create %s: %s\n", path.c_str(), strerror(errno));
        return false;
    }
    bool ok = fwrite(bytes, 1, size, f) == size;
    ok = (fclose(f) == 0) && ok;
    if (!ok) fprintf(stderr, "vrftool: cannot write %s\n", path.c_str());
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

// Draws R: each byte uniform over 0 to 254 (255 is rejected and drawn again).
bool DrawRandom(unsigned char r[kVrfRandomSize]) {
    size_t filled = 0;
    unsigned char pool[64];
    while (filled < kVrfRandomSize) {
        if (!SystemRandom(pool, sizeof pool)) return false;
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

bool LoadGuarded(const std::string& path, std::vector<unsigned char>* bytes) {
    if (!ReadWholeFile(path, bytes)) return false;
    if (bytes->size() > kVrfMaxGuardedSize) {
        fprintf(stderr, "vrftool: %s is %zu bytes; a guarded file may hold at most %u\n",
                path.c_str(), bytes->size(), (unsigned)kVrfMaxGuardedSize);
        return false;
    }
    return true;
}

// The block of a pair: default, or the icon's 32 bytes at offset 512. With
// strict set, an icon too short to bind is an error; otherwise it leaves the
// default block in force, as in the setup.
bool LoadBlock(const std::string& icon, bool strict, unsigned char block[kVrfBlockSize]) {
    VrfDefaultBlock(block);
    if (icon.empty()) return true;
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(icon, &bytes)) return false;
    if (VrfIconBlock(bytes.data(), bytes.size(), block)) return true;
    fprintf(stderr, "vrftool: %s is %zu bytes; binding to an icon needs at least %u%s\n",
            icon.c_str(), bytes.size(), (unsigned)kVrfIconMinSize,
            strict ? "" : " (the setup uses the default block)");
    return !strict;
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
    if (text.size() > kDialogMaxPassword) {
        fprintf(stderr, "vrftool: warning: %zu characters; the setup's password dialog takes "
                        "at most %zu\n", text.size(), kDialogMaxPassword);
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

int Decrypt(const std::vector<std::string>& args) {
    bool hex = false;
    std::string text;
    int texts = 0;
    for (const std::string& a : args) {
        if (a == "--hex") {
            hex = true;
        } else {
            text = a;
            ++texts;
        }
    }
    if (texts != 1) return UsageError("decrypt takes one CIPHERTEXT");
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

// Splits FILE [VRF] [--icon ICON] [--out VRF].
bool ParsePairArgs(const std::vector<std::string>& args, bool allowOut, std::vector<std::string>* files,
                   std::string* icon, std::string* out) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--icon" || (allowOut && args[i] == "--out")) {
            if (i + 1 >= args.size()) {
                UsageError((args[i] + " needs a file name").c_str());
                return false;
            }
            std::string* target = args[i] == "--icon" ? icon : out;
            *target = args[i + 1];
            ++i;
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            UsageError(("unknown option " + args[i]).c_str());
            return false;
        } else {
            files->push_back(args[i]);
        }
    }
    return true;
}

int Make(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    std::string icon, out;
    if (!ParsePairArgs(args, true, &files, &icon, &out)) return kExitUsage;
    if (files.size() != 1) return UsageError("make takes one FILE");
    if (out.empty()) out = DefaultVrfName(files[0]);
    if (out.empty()) return UsageError("FILE is neither .ini nor .xml: name the output with --out");
    if (out == files[0] || out == icon) return UsageError("the output would overwrite an input");

    std::vector<unsigned char> guarded;
    unsigned char block[kVrfBlockSize];
    if (!LoadGuarded(files[0], &guarded) || !LoadBlock(icon, true, block)) return kExitFile;
    unsigned char r[kVrfRandomSize];
    if (!DrawRandom(r)) {
        fprintf(stderr, "vrftool: the system gave no random bytes\n");
        return kExitRandom;
    }
    unsigned char image[kVrfFileSize];
    if (!VrfMakeImage(guarded.data(), guarded.size(), r, block, image)) {
        fprintf(stderr, "vrftool: cannot compute the digest of %s\n", files[0].c_str());
        return kExitFile;
    }
    if (!WriteWholeFile(out, image, sizeof image)) return kExitFile;
    printf("wrote %s (%s block)\n", out.c_str(), icon.empty() ? "default" : "icon-bound");
    return kExitOk;
}

int Check(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    std::string icon, unused;
    if (!ParsePairArgs(args, false, &files, &icon, &unused)) return kExitUsage;
    if (files.empty() || files.size() > 2) return UsageError("check takes FILE and optionally VRF");
    std::string vrf = files.size() == 2 ? files[1] : DefaultVrfName(files[0]);
    if (vrf.empty()) return UsageError("FILE is neither .ini nor .xml: name its VRF");

    std::vector<unsigned char> guarded, image;
    unsigned char block[kVrfBlockSize];
    if (!LoadGuarded(files[0], &guarded) || !ReadWholeFile(vrf, &image) ||
        !LoadBlock(icon, false, block)) {
        return kExitFile;
    }
    if (image.size() != kVrfFileSize) {
        fprintf(stderr, "vrftool: %s is %zu bytes; a verification file has %u\n", vrf.c_str(),
                image.size(), (unsigned)kVrfFileSize);
        printf("FAILED: %s does not verify\n", files[0].c_str());
        return kExitMismatch;
    }
    if (!VrfCheckImage(guarded.data(), guarded.size(), image.data(), image.size(), block)) {
        printf("FAILED: %s does not verify against %s\n", files[0].c_str(), vrf.c_str());
        return kExitMismatch;
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
    if (argc < 2) return UsageError("no command");
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "--help" || command == "-h" || command == "help") {
        fputs(kUsage, stdout);
        return kExitOk;
    }
    if (command == "encrypt") return Encrypt(args);
    if (command == "decrypt") return Decrypt(args);
    if (command == "make") return Make(args);
    if (command == "check") return Check(args);
    return UsageError(("unknown command " + command).c_str());
}
