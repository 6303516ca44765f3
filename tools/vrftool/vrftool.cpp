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
#include "display_text.h"
#include "exit_codes.h"
#include "integrity/cipher.h"
#include "integrity/vrf_file.h"
#include "output_file.h"
#include "standard_output.h"
#include "version.h"

using namespace tools;

namespace {

// For tests only: with this variable set to a number, the 240 "random" bytes
// of make come from a fixed sequence, so that two builds of the tool can be
// compared byte for byte. A file made so is announced on stderr, never silently.
const char kFixedRandomVariable[] = "KIVRA_VRFTOOL_FIXED_RANDOM";

const char kUsage[] =
    "usage:\n"
    "  vrftool encrypt [--empty] [TEXT]    print the stored (enciphered) form of TEXT;\n"
    "                                      without TEXT, one line is read from stdin;\n"
    "                                      an empty TEXT only with --empty\n"
    "  vrftool decrypt [--hex] CIPHERTEXT  print the clear text of a stored form\n"
    "  vrftool make FILE [--icon ICON] [--out VRF]\n"
    "                                      write the verification file of FILE\n"
    "  vrftool check FILE [VRF] [--icon ICON]\n"
    "                                      tell whether FILE matches its verification file\n"
    "  vrftool --help | --version          (also after a command)\n"
    "\n"
    "VRF defaults to the name the setup looks for: X.ini -> X.vrf, X.xml -> XXml.vrf.\n"
    "The setup reads KivraCustom.ini, KivraCustom.xml, KivraUninstallInfo.ini and\n"
    "KivraUninstallInfo.xml, each with its .vrf; other names get a warning.\n"
    "With --icon the verification file is bound to the icon's bytes 512 to 543\n"
    "(KivraCustom.ini with LogoOptions/CustomIcon set, or KivraCustom.xml with its icon).\n"
    "-- ends the options (a TEXT may then start with -).\n"
    "\n";

// Prints a message of vrftool on stderr, as the one rule shows outside text.
void Say(const std::string& message) { fprintf(stderr, "vrftool: %s\n", DisplayText(message).c_str()); }

// Reports a usage error; returns its exit code.
int UsageError(const std::string& message) {
    Say(message);
    fputs("(see vrftool --help)\n", stderr);
    return kExitUsage;
}

// Reads a whole file into bytes; false, said on stderr, when it cannot.
bool ReadWholeFile(const std::string& path, std::vector<unsigned char>* bytes) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        Say("cannot open " + path + ": " + ErrnoText());
        return false;
    }
    bytes->clear();
    unsigned char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
    bool ok = !ferror(f);
    const std::string why = ErrnoText();
    fclose(f);
    if (!ok) Say("cannot read " + path + ": " + why);
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
        Say(std::string("warning: ") + kFixedRandomVariable +
            " is set: the random bytes are a fixed test sequence; never ship this file");
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

// The last part of a path, after its folders.
std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ASCII letters in lower case: names as Windows compares them.
std::string Lower(std::string s) {
    for (char& c : s) c = (char)tolower((unsigned char)c);
    return s;
}

// The verification file's name by the setup's convention: X.ini -> X.vrf,
// X.xml -> XXml.vrf; "" for any other extension.
std::string DefaultVrfName(const std::string& guarded) {
    size_t dot = guarded.find_last_of('.');
    size_t slash = guarded.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string stem = guarded.substr(0, dot);
    std::string ext = Lower(guarded.substr(dot + 1));
    if (ext == "ini") return stem + ".vrf";
    if (ext == "xml") return stem + "Xml.vrf";
    return "";
}

// A warning when the setup would never read a verification file of this name
// beside this guarded file, naming the pair it does read; "" when it would.
std::string VrfNameWarning(const std::string& guarded, const std::string& vrf) {
    const std::string file = Lower(BaseName(guarded)), name = BaseName(vrf);
    std::string pairs;
    for (const VrfPair& pair : kVrfPairs) {
        if (file == Lower(pair.guarded)) {
            if (Lower(name) == Lower(pair.vrf)) return "";
            return "warning: the setup reads " + std::string(pair.vrf) + " beside " + pair.guarded + ", not " + name;
        }
        if (!pairs.empty()) pairs += ", ";
        pairs += std::string(pair.vrf) + " beside " + pair.guarded;
    }
    return "warning: the setup reads no " + name + ": it reads only " + pairs;
}

// Reads a guarded file: kExitOk, kExitIo, or kExitInputRefused when it is
// larger than the setup takes.
int LoadGuarded(const std::string& path, std::vector<unsigned char>* bytes) {
    if (!ReadWholeFile(path, bytes)) return kExitIo;
    if (bytes->size() > kVrfMaxGuardedSize) {
        Say(path + " is " + std::to_string(bytes->size()) + " bytes; a guarded file may hold at most " +
            std::to_string((unsigned)kVrfMaxGuardedSize));
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
    Say(icon + " is " + std::to_string(bytes.size()) + " bytes; binding to an icon needs at least " +
        std::to_string((unsigned)kVrfIconMinSize) + (strict ? "" : " (the setup uses the default block)"));
    return strict ? kExitInputRefused : kExitOk;
}

// Reads one line of standard input, whatever its length, without its line
// end; false when there is none.
bool ReadLine(std::string* line) {
    line->clear();
    int c;
    bool any = false;
    while ((c = getchar()) != EOF) {
        any = true;
        if (c == '\n') break;
        line->push_back((char)c);
    }
    while (!line->empty() && line->back() == '\r') line->pop_back();
    return any;
}

// vrftool encrypt: prints the stored form of TEXT or of stdin's line.
int Encrypt(const std::vector<std::string>& args, bool allowEmpty) {
    std::string text;
    if (args.size() > 1) return UsageError("encrypt takes one TEXT");
    if (args.size() == 1) {
        text = args[0];
    } else if (!ReadLine(&text)) {
        return UsageError("no TEXT on stdin");
    }
    if (text.empty() && !allowEmpty) {
        Say("the password is empty; give --empty if an empty password is meant");
        return kExitInputRefused;
    }
    if (text.size() > (size_t)kMaxPasswordChars)
        Say("warning: " + std::to_string(text.size()) + " characters; the setup's password dialog takes at most " +
            std::to_string(kMaxPasswordChars));
    std::vector<char> out(text.size() / 3 * 4 + 64);
    int code = utl_EncryptStr(out.data(), (unsigned)out.size(), text.data(), (unsigned)text.size());
    if (code != 0) {
        Say("the cipher refused the text (cipher step " + std::to_string(code) + ")");
        return kExitCipher;
    }
    printf("%s\n", out.data());
    return kExitOk;
}

// Whether clear is what a stored form holds: enciphered again, it gives the
// very text it came from. Stored forms are made only so (the password dialog
// compares enciphered forms), so anything else is no password's form, however
// its padding happened to decode.
bool IsStoredForm(const std::string& cipherText, const std::vector<char>& clear, unsigned length) {
    std::vector<char> again(length / 3 * 4 + 64);
    return utl_EncryptStr(again.data(), (unsigned)again.size(), clear.data(), length) == 0 &&
           cipherText == again.data();
}

// Whether bytes hold a control character, which no typed password does.
bool HoldsControl(const std::vector<char>& bytes, unsigned length) {
    for (unsigned i = 0; i < length; ++i) {
        const unsigned char c = (unsigned char)bytes[i];
        if (c < 0x20 || c == 0x7F) return true;
    }
    return false;
}

// vrftool decrypt: prints the clear text of a stored form, or its bytes in hex.
int Decrypt(const std::vector<std::string>& args, bool hex) {
    if (args.size() != 1) return UsageError("decrypt takes one CIPHERTEXT");
    const std::string& text = args[0];
    // The decoded bytes never outnumber the text's characters.
    std::vector<char> out(text.size() + 8, 0);
    unsigned length = (unsigned)out.size();
    int code = utl_DecryptStr(out.data(), &length, text.c_str());
    const bool stored = code == 0 && IsStoredForm(text, out, length);
    const char* why = code == 4   ? "empty text"
                    : code == 5   ? "not Base64 text"
                    : code == 6   ? "not a cipher text of this product (length or padding)"
                    : code != 0   ? "internal failure"
                    : hex         ? nullptr
                    : !stored     ? "no encrypt made this text: its padding is not the cipher's own (--hex shows "
                                    "what the setup would read from it)"
                    : HoldsControl(out, length) ? "the clear text holds control bytes, which no password holds "
                                                  "(--hex shows them)"
                                                : nullptr;
    if (why) {
        Say(std::string("cannot decipher: ") + why);
        return kExitCipher;
    }
    if (!stored) Say("warning: no encrypt made this text: its padding is not the cipher's own");
    if (hex) {
        for (unsigned i = 0; i < length; ++i) printf("%02x", (unsigned char)out[i]);
    } else {
        const std::string clear = DisplayText(std::string(out.data(), length));
        if (clear.size() != length) Say("warning: the clear text is no UTF-8 text; --hex shows its bytes");
        fputs(clear.c_str(), stdout);
    }
    printf("\n");
    return kExitOk;
}

// Writes the verification file image to out; the rule was judged at Open.
int WriteImage(OutputFile& out, const std::string& path, const unsigned char* image, size_t size) {
    std::string error;
    if (!out.Write(image, size)) {
        Say("cannot write " + path + ": " + ErrnoText());
        return kExitIo;
    }
    if (out.Commit(&error) != kExitOk) {
        Say(error);
        return kExitIo;
    }
    return kExitOk;
}

// Whether the existing file at path may be replaced by a verification file:
// it is one, by its size.
bool IsVrfFile(const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    const bool sized = fseek(f, 0, SEEK_END) == 0 && ftell(f) == (long)kVrfFileSize;
    fclose(f);
    return sized;
}

// vrftool make: writes the verification file of FILE, its output judged first.
int Make(const std::vector<std::string>& files, const std::string& icon, std::string out) {
    if (files.size() != 1) return UsageError("make takes one FILE");
    if (out.empty()) out = DefaultVrfName(files[0]);
    if (out.empty()) return UsageError("FILE is neither .ini nor .xml: name the output with --out");
    OutputRule rule;
    rule.inputs = {files[0]};
    if (!icon.empty()) rule.inputs.push_back(icon);
    rule.replaceable = IsVrfFile;
    rule.what = "a verification file (256 bytes)";
    OutputFile output(out);
    std::string error;
    int code = output.Open(rule, &error);
    if (code != kExitOk) {
        Say(error);
        return code;
    }
    const std::string warning = VrfNameWarning(files[0], out);
    if (!warning.empty()) Say(warning);

    std::vector<unsigned char> guarded;
    unsigned char block[kVrfBlockSize];
    int loaded = LoadGuarded(files[0], &guarded);
    if (loaded == kExitOk) loaded = LoadBlock(icon, true, block);
    if (loaded != kExitOk) return loaded;
    unsigned char r[kVrfRandomSize];
    if (!DrawRandom(r)) {
        Say("the system gave no random bytes");
        return kExitRandom;
    }
    unsigned char image[kVrfFileSize];
    if (!VrfMakeImage(guarded.data(), guarded.size(), r, block, image)) {
        Say("cannot compute the digest of " + files[0]);
        return kExitInputRefused;
    }
    code = WriteImage(output, out, image, sizeof image);
    if (code != kExitOk) return code;
    printf("wrote %s (%s block)\n", DisplayText(out).c_str(), icon.empty() ? "default" : "icon-bound");
    return kExitOk;
}

// vrftool check: whether FILE matches its verification file.
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
    const std::string file = DisplayText(files[0]), shownVrf = DisplayText(vrf);
    if (image.size() != kVrfFileSize) {
        Say(vrf + " is " + std::to_string(image.size()) + " bytes; a verification file has " +
            std::to_string((unsigned)kVrfFileSize));
        printf("FAILED: %s does not verify\n", file.c_str());
        return kExitCheckFailed;
    }
    if (!VrfCheckImage(guarded.data(), guarded.size(), image.data(), image.size(), block)) {
        printf("FAILED: %s does not verify against %s\n", file.c_str(), shownVrf.c_str());
        return kExitCheckFailed;
    }
    printf("OK: %s verifies against %s\n", file.c_str(), shownVrf.c_str());
    return kExitOk;
}

// Runs the command of the command line; returns the exit code.
int Run(const CommandLine& cl) {
    if (cl.help || (!cl.words.empty() && cl.words[0] == "help")) {
        fputs(kUsage, stdout);
        fputs(kExitCodeHelp, stdout);
        return kExitOk;
    }
    if (cl.version) {
        PrintVersion("vrftool");
        return kExitOk;
    }
    if (!cl.error.empty()) return UsageError(cl.error);
    if (cl.words.empty()) return UsageError("no command");
    const std::string command = cl.words[0];
    std::vector<std::string> args(cl.words.begin() + 1, cl.words.end());
    const std::string icon = cl.Value("--icon"), out = cl.Value("--out");
    if (cl.Has("--hex") && command != "decrypt") return UsageError("--hex belongs to decrypt");
    if (cl.Has("--empty") && command != "encrypt") return UsageError("--empty belongs to encrypt");
    if (!icon.empty() && command != "make" && command != "check") return UsageError("--icon belongs to make and check");
    if (cl.values.count("--out") && command != "make") return UsageError("--out belongs to make");
    if (command == "encrypt") return Encrypt(args, cl.Has("--empty"));
    if (command == "decrypt") return Decrypt(args, cl.Has("--hex"));
    if (command == "make") return Make(args, icon, out);
    if (command == "check") return Check(args, icon);
    return UsageError("unknown command " + command);
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // Clear texts may hold any byte; no CR may be slipped in.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    CommandLine cl = ParseCommandLine(argc, argv, {"--icon", "--out"}, {"--hex", "--empty"});
    return FinishStandardOutput("vrftool", Run(cl));
}
