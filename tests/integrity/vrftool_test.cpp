// vrftool as a release engineer runs it: exit codes, the stored password form,
// and pairs it writes and checks.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "integrity/cipher.h"

namespace {

struct ToolRun {
    int exitCode;
    std::string out;
};

// Runs the tool with arguments through the shell; stdinLine, when given, is
// its standard input.
ToolRun Tool(const std::string& arguments, const std::string& stdinLine = "",
             const std::string& errFile = "/dev/null") {
    std::string command = std::string(VRFTOOL_EXE) + " " + arguments + " 2>" + errFile;
    if (!stdinLine.empty()) command = "echo '" + stdinLine + "' | " + command;
    FILE* pipe = popen(command.c_str(), "r");
    ToolRun run{-1, ""};
    if (!pipe) return run;
    char chunk[512];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) run.out.append(chunk, got);
    int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Spit(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

class VrfTool : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vrftool_test_XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        dir_ = pattern;
    }
    void TearDown() override { ASSERT_EQ(0, system(("rm -rf " + dir_).c_str())); }
    std::string Path(const std::string& name) { return dir_ + "/" + name; }
    std::string dir_;
};

TEST_F(VrfTool, UsageAndExitCodes) {
    EXPECT_EQ(0, Tool("--help").exitCode);
    EXPECT_NE(std::string::npos, Tool("--help").out.find("exit codes"));
    EXPECT_EQ(2, Tool("").exitCode);
    EXPECT_EQ(2, Tool("frobnicate").exitCode);
    EXPECT_EQ(2, Tool("make").exitCode);
    EXPECT_EQ(2, Tool("make /tmp/x.txt").exitCode) << "no default .vrf name for .txt";
    EXPECT_EQ(1, Tool("make /nonexistent/KivraCustom.ini").exitCode);
    EXPECT_EQ(6, Tool("decrypt AAAAAAAAAAAA").exitCode);
    EXPECT_EQ(2, Tool("decrypt --icon x.ico AAAA").exitCode) << "an option of another command";

    // --help after a command too, and -- before a text that starts with a dash.
    ToolRun help = Tool("make --help");
    EXPECT_EQ(0, help.exitCode);
    EXPECT_NE(std::string::npos, help.out.find("exit codes"));
    EXPECT_EQ(2, Tool("encrypt -pw").exitCode);
    ToolRun dashed = Tool("encrypt -- -pw");
    ASSERT_EQ(0, dashed.exitCode);
    EXPECT_EQ("-pw\n", Tool("decrypt -- " + dashed.out.substr(0, dashed.out.size() - 1)).out);
}

TEST_F(VrfTool, PasswordsInStoredForm) {
    ToolRun enc = Tool("encrypt 'S3cret pw'");
    ASSERT_EQ(0, enc.exitCode);
    char expected[64];
    ASSERT_EQ(0, utl_EncryptStr(expected, sizeof expected, "S3cret pw", 9));
    EXPECT_EQ(std::string(expected) + "\n", enc.out) << "the form the setup compares against";
    EXPECT_EQ("S3cret pw\n", Tool("decrypt " + std::string(expected)).out);
    EXPECT_EQ(enc.out, Tool("encrypt", "S3cret pw").out) << "from stdin, without the newline";
    EXPECT_EQ("533363726574207077\n", Tool("decrypt --hex " + std::string(expected)).out);
    // A line written on Windows ends in CR LF; the CR is no part of the password.
    Spit(Path("line"), "S3cret pw\r\n");
    EXPECT_EQ(enc.out, Tool("encrypt < " + Path("line")).out);

    // The setup's dialog takes 32 characters: one more is enciphered, with a warning.
    ASSERT_EQ(0, Tool("encrypt " + std::string(32, 'p'), "", Path("err")).exitCode);
    EXPECT_EQ("", Slurp(Path("err")));
    ASSERT_EQ(0, Tool("encrypt " + std::string(33, 'p'), "", Path("err")).exitCode);
    EXPECT_NE(std::string::npos, Slurp(Path("err")).find("takes at most 32")) << Slurp(Path("err"));
}

TEST_F(VrfTool, WhatNoPasswordIsIsRefusedUnlessAskedFor) {
    // An empty line is a slip more often than a choice.
    EXPECT_EQ(3, Tool("encrypt ''").exitCode);
    EXPECT_EQ(2, Tool("encrypt < /dev/null").exitCode) << "no line at all is a usage error";
    ToolRun empty = Tool("encrypt --empty ''");
    ASSERT_EQ(0, empty.exitCode);
    EXPECT_EQ("\n", Tool("decrypt " + empty.out.substr(0, empty.out.size() - 1)).out);

    // A text that deciphers, but that no encrypt made (its padding is not the
    // cipher's own), or whose clear text holds control bytes, is no password.
    const char* const kForeignPadding = "MszKKy2IK0E=";
    EXPECT_EQ(6, Tool(std::string("decrypt ") + kForeignPadding).exitCode);
    EXPECT_EQ("6a0d\n", Tool(std::string("decrypt --hex ") + kForeignPadding).out)
        << "--hex shows what the setup would read";
    char escaped[64];
    ASSERT_EQ(0, utl_EncryptStr(escaped, sizeof escaped, "a\x1b[2Jb", 6));
    EXPECT_EQ(6, Tool(std::string("decrypt ") + escaped).exitCode);
    EXPECT_EQ("611b5b324a62\n", Tool(std::string("decrypt --hex ") + escaped).out);
}

TEST_F(VrfTool, PairsItWritesVerify) {
    std::string ini = Path("KivraCustom.ini"), xml = Path("KivraCustom.xml");
    Spit(ini, "[Functions]\r\nUninstall=1\r\n");
    Spit(xml, "");
    std::string icon(600, 'i');
    icon[520] = 'X';
    Spit(Path("logo.ico"), icon);
    Spit(Path("short.ico"), icon.substr(0, 543));

    ASSERT_EQ(0, Tool("make " + ini).exitCode);
    ASSERT_EQ(0, Tool("make " + xml + " --icon " + Path("logo.ico")).exitCode);
    EXPECT_EQ(256u, Slurp(Path("KivraCustom.vrf")).size());
    EXPECT_EQ(256u, Slurp(Path("KivraCustomXml.vrf")).size());
    EXPECT_EQ(0, Tool("check " + ini).exitCode);
    EXPECT_EQ(0, Tool("check " + xml + " --icon " + Path("logo.ico")).exitCode);
    EXPECT_EQ(5, Tool("check " + xml).exitCode) << "icon-bound does not pass as default";
    // An icon too short to bind: make refuses it; check, like the setup, uses the default block.
    EXPECT_EQ(3, Tool("make " + xml + " --icon " + Path("short.ico")).exitCode);
    EXPECT_EQ(0, Tool("check " + ini + " --icon " + Path("short.ico")).exitCode);

    // R is drawn afresh, from 0 to 254, and the file's bytes are guarded.
    std::string first = Slurp(Path("KivraCustom.vrf"));
    ASSERT_EQ(0, Tool("make " + ini + " --out " + Path("second.vrf")).exitCode);
    std::string second = Slurp(Path("second.vrf"));
    EXPECT_NE(first.substr(0, 240), second.substr(0, 240));
    for (char c : first.substr(0, 240) + second.substr(0, 240)) EXPECT_NE('\xff', c);
    EXPECT_EQ(0, Tool("check " + ini + " " + Path("second.vrf")).exitCode);
    Spit(ini, "[Functions]\r\nUninstall=0\r\n");
    EXPECT_EQ(5, Tool("check " + ini).exitCode);
    // Made again, its verification file is replaced; a file of another kind never is.
    ASSERT_EQ(0, Tool("make " + ini).exitCode);
    EXPECT_EQ(0, Tool("check " + ini).exitCode);
    Spit(Path("other.bin"), std::string(257, 'o'));
    EXPECT_EQ(4, Tool("make " + ini + " --out " + Path("other.bin")).exitCode);
    EXPECT_EQ(std::string(257, 'o'), Slurp(Path("other.bin")));

    // The output is compared with the inputs as files, not as spellings.
    std::string before = Slurp(ini);
    EXPECT_EQ(4, Tool("make " + ini + " --out " + dir_ + "/./KivraCustom.ini").exitCode);
    EXPECT_EQ(before, Slurp(ini));

    // The setup guards files of up to 40588 bytes.
    Spit(Path("big.ini"), std::string(40588, 'b'));
    EXPECT_EQ(0, Tool("make " + Path("big.ini")).exitCode);
    EXPECT_EQ(0, Tool("check " + Path("big.ini")).exitCode);
    Spit(Path("big.ini"), std::string(40589, 'b'));
    EXPECT_EQ(3, Tool("make " + Path("big.ini")).exitCode);
    EXPECT_EQ(3, Tool("check " + Path("big.ini")).exitCode);
}

TEST_F(VrfTool, ANameTheSetupNeverReadsIsNamedSo) {
    Spit(Path("MyCustom.xml"), "<x/>");
    Spit(Path("KivraCustom.xml"), "<x/>");
    Spit(Path("KivraCustom.INI"), "[Functions]\r\n");
    struct Case {
        std::string args;
        const char* warning;  // in stderr; null: none
    };
    const Case cases[] = {
        {"make " + Path("KivraCustom.xml"), nullptr},
        {"make " + Path("KivraCustom.INI"), nullptr},  // Windows names have no letter case
        {"make " + Path("MyCustom.xml"), "it reads only KivraCustom.vrf beside KivraCustom.ini, KivraCustomXml.vrf"},
        {"make " + Path("KivraCustom.xml") + " --out " + Path("other.vrf"),
         "the setup reads KivraCustomXml.vrf beside KivraCustom.xml, not other.vrf"},
    };
    for (const Case& c : cases) {
        ToolRun run = Tool(c.args, "", Path("err"));
        EXPECT_EQ(0, run.exitCode) << c.args << " is written all the same";
        const std::string err = Slurp(Path("err"));
        if (c.warning) {
            EXPECT_NE(std::string::npos, err.find(c.warning)) << c.args << ": " << err;
        } else {
            EXPECT_EQ("", err) << c.args;
        }
    }
}

TEST_F(VrfTool, AFixedRandomSourceIsForTestsAndSaysSo) {
    std::string ini = Path("KivraCustom.ini");
    Spit(ini, "[Functions]\r\n");
    // Seed 3's sequence holds the byte 255 twice in its first 240: drawn again.
    setenv("KIVRA_VRFTOOL_FIXED_RANDOM", "3", 1);
    ToolRun first = Tool("make " + ini + " --out " + Path("a.vrf"), "", Path("err"));
    ToolRun second = Tool("make " + ini + " --out " + Path("b.vrf"));
    unsetenv("KIVRA_VRFTOOL_FIXED_RANDOM");
    ASSERT_EQ(0, first.exitCode);
    ASSERT_EQ(0, second.exitCode);
    EXPECT_EQ(Slurp(Path("a.vrf")), Slurp(Path("b.vrf")));
    EXPECT_NE(std::string::npos, Slurp(Path("err")).find("never ship this file"));
    for (char c : Slurp(Path("a.vrf")).substr(0, 240)) EXPECT_NE('\xff', c);
    EXPECT_EQ(0, Tool("check " + ini + " " + Path("a.vrf")).exitCode);
    // Without the variable the bytes are the system's again.
    ASSERT_EQ(0, Tool("make " + ini + " --out " + Path("c.vrf")).exitCode);
    EXPECT_NE(Slurp(Path("a.vrf")), Slurp(Path("c.vrf")));
}

} // namespace
