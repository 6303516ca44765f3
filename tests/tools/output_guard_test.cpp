// The three tools as a careless hand or a full disk meets them: an output
// never lands on what the run reads, a failed write is a failure, and nothing
// half-written stays behind, not even after a signal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "support/host_files.h"
#include "support/pack_bytes.h"

namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int code;
    std::string out, err;
};

// The executable of a tool by its name.
std::string Exe(const std::string& tool) {
    return tool == "kpack" ? KPACK_EXE : tool == "vrftool" ? VRFTOOL_EXE : KLOG_EXE;
}

// A run's lines of setup.log: one failed run of the setup.
std::string RunLog() {
    std::string log;
    for (const char* m : {"The C: free space is 5000M.", "install failed with Err 160.", "Exit main"})
        log += std::string("[2026-12-07 10:00:00] [1c4] ") + m + "\r\n";
    return log;
}

class OutputGuard : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/output-guard-test-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        root_ = pattern;
        fs::create_directories(root_ / "payload");
        for (const char* program : {"7za.exe", "kopApxSvr.exe", "KivraSetup.exe"})
            WriteAll(root_ / "payload" / program, program);
        WriteAll(root_ / "Setup.exe", PeCarrier());
        WriteAll(root_ / "p.pack", Marker() + Record("a", "1") + EndRecord());
        // A carrier whose pack starts at 2000.
        WriteAll(root_ / "c.exe", PeCarrier() + std::string(976, '\0') + Marker() + Record("a", "1") + EndRecord());
        WriteAll(root_ / "KivraCustom.ini", "[Functions]\r\n");
        fs::create_directories(root_ / "logs" / "PC-1");
        WriteAll(root_ / "logs" / "PC-1" / "setup2026120701.log", RunLog());
        WriteAll(root_ / "notes.txt", "notes");
        fs::create_directory(root_ / "dir");
    }
    void TearDown() override { fs::remove_all(root_); }

    // Runs a tool with arguments in the test's folder; stdout goes to out,
    // or where redirect says.
    ToolRun Tool(const std::string& tool, const std::string& args, const std::string& redirect = "") {
        const std::string out = (root_ / ".stdout").string(), err = (root_ / ".stderr").string();
        const std::string cmd = "cd " + root_.string() + " && " + Exe(tool) + " " + args + " " +
                                (redirect.empty() ? ">" + out : redirect) + " 2>" + err;
        const int status = std::system(cmd.c_str());
        ToolRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(out), ReadAll(err)};
        fs::remove(out);
        fs::remove(err);
        return run;
    }
    // The temporary files left anywhere below the test's folder.
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> found;
        for (const auto& e : fs::recursive_directory_iterator(root_))
            if (e.path().filename().string().rfind(".kivra-", 0) == 0) found.push_back(e.path().string());
        return found;
    }

    fs::path root_;
};

TEST_F(OutputGuard, AnOutputNeverLandsOnWhatTheRunReads) {
    struct Case {
        const char* tool;
        std::string args;
        int code;
        const char* target;  // must be as it was (or stay absent)
    };
    const std::string log = "logs/PC-1/setup2026120701.log";
    const Case cases[] = {
        // onto an input
        {"kpack", "make payload Setup.exe ./Setup.exe", 4, "Setup.exe"},
        {"kpack", "stamp Setup.exe p.pack p.pack", 4, "p.pack"},
        {"vrftool", "make KivraCustom.ini --out ./KivraCustom.ini", 4, "KivraCustom.ini"},
        {"klog", "fleet --html " + log + " logs/PC-1", 4, "logs/PC-1/setup2026120701.log"},
        // into an input folder
        {"kpack", "pack payload payload/7za.exe", 4, "payload/7za.exe"},
        {"kpack", "make payload Setup.exe payload/new.exe", 4, "payload/new.exe"},
        {"kpack", "extract --offset 2000 --force c.exe .", 4, "a"},
        {"klog", "fleet --html logs/PC-1/page.html logs/PC-1", 4, "logs/PC-1/page.html"},
        // onto a folder
        {"kpack", "pack payload dir", 4, "dir/payload"},
        {"vrftool", "make KivraCustom.ini --out dir", 4, "dir/KivraCustom.vrf"},
        {"klog", "fleet --html dir logs/PC-1", 4, "dir/index.html"},
        // onto a file of another kind: the --html FILE forgotten
        {"klog", "fleet --html notes.txt logs/*", 4, "notes.txt"},
        {"kpack", "make payload Setup.exe notes.txt", 4, "notes.txt"},
        {"vrftool", "make KivraCustom.ini --out notes.txt", 4, "notes.txt"},
        // into a folder that is not there: found before any work
        {"kpack", "make payload Setup.exe nosuch/out.exe", 1, "nosuch"},
    };
    for (const Case& c : cases) {
        const fs::path target = root_ / c.target;
        const bool existed = fs::exists(target);
        const std::string before = existed && fs::is_regular_file(target) ? ReadAll(target) : "";
        ToolRun run = Tool(c.tool, c.args);
        EXPECT_EQ(c.code, run.code) << c.tool << " " << c.args << ": " << run.err;
        EXPECT_EQ(existed, fs::exists(target)) << c.tool << " " << c.args;
        if (existed && fs::is_regular_file(target)) {
            EXPECT_EQ(before, ReadAll(target)) << c.tool << " " << c.args;
        }
        EXPECT_EQ(std::vector<std::string>(), Leftovers()) << c.tool << " " << c.args;
    }
    // What the guard lets through: a page klog wrote is replaced by the next,
    // also when the collection's wildcard names it again; another argument
    // that is no folder is left out with a warning.
    EXPECT_EQ(0, Tool("klog", "fleet --html logs/fleet.html logs/*").code);
    ToolRun again = Tool("klog", "fleet --html logs/fleet.html logs/* notes.txt");
    EXPECT_EQ(0, again.code) << again.err;
    EXPECT_EQ("klog: warning: notes.txt is not a folder; it is left out\n", again.err);
}

TEST_F(OutputGuard, AFullDiskIsAFailureAndLeavesNothingHalfWritten) {
    // Standard output on a full disk.
    EXPECT_EQ(1, Tool("kpack", "list --offset 2000 c.exe", ">/dev/full").code);
    EXPECT_EQ(1, Tool("vrftool", "encrypt secret", ">/dev/full").code);
    EXPECT_EQ(1, Tool("klog", "show logs/PC-1", ">/dev/full").code);
    EXPECT_EQ(1, Tool("klog", "fleet --json logs/PC-1", ">/dev/full").code);

    // Files on a full disk: a small tmpfs in a mount namespace of the run's
    // own where this machine allows one, else a file size limit of 0.
    static const bool tmpfs = std::system("unshare -m true 2>/dev/null") == 0;
    WriteAll(root_ / "payload" / "big.bin", std::string(300000, 'b'));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"kpack", "make payload Setup.exe full/out.exe"},
        {"kpack", "extract --offset 2000 c.exe full/x"},
        {"vrftool", "make KivraCustom.ini --out full/KivraCustom.vrf"},
        {"klog", "fleet --html full/fleet.html logs/PC-1"},
    };
    for (const auto& c : cases) {
        fs::remove_all(root_ / "full");
        fs::create_directory(root_ / "full");
        const std::string run = Exe(c.first) + " " + c.second +
                                " >/dev/null 2>.stderr; rc=$?; find full -mindepth 1 ! -name filler; exit $rc";
        const std::string shell =
            tmpfs ? "unshare -m sh -c 'mount -t tmpfs -o size=64k tmpfs full && "
                    "(head -c 1048576 /dev/zero >full/filler) 2>/dev/null; " + run + "'"
                  : "sh -c 'trap \"\" XFSZ; ulimit -f 0; " + run + "'";
        const std::string cmd = "cd " + root_.string() + " && " + shell + " >.listing";
        const int status = std::system(cmd.c_str());
        EXPECT_EQ(1, WIFEXITED(status) ? WEXITSTATUS(status) : -1) << c.second << ": " << ReadAll(root_ / ".stderr");
        // extract made its folder, and nothing in it.
        EXPECT_EQ(c.second.find("extract") == 0 ? "full/x\n" : "", ReadAll(root_ / ".listing")) << c.second;
    }
}

// Starts a tool in the test's folder, its output thrown away; returns its pid.
pid_t Start(const fs::path& root, const std::string& tool, const std::string& args) {
    const std::string cmd = "cd " + root.string() + " && exec " + Exe(tool) + " " + args + " >/dev/null 2>&1";
    const pid_t pid = fork();
    if (pid == 0) {
        // A signal the test's own parent ignores must still reach the tool.
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        execl("/bin/sh", "sh", "-c", cmd.c_str(), (char*)nullptr);
        _exit(127);
    }
    return pid;
}

TEST_F(OutputGuard, ASignalMidWriteLeavesNoTemporaryFile) {
    // Big enough that the write is under way when the signal comes: a sparse
    // payload file for make, the carrier it makes for extract, a large log
    // for klog, which holds its page's temporary file while it reads.
    WriteAll(root_ / "payload" / "big.bin", "");
    fs::resize_file(root_ / "payload" / "big.bin", 96u << 20);
    ASSERT_EQ(0, Tool("kpack", "make payload Setup.exe big.exe").code);
    std::string log;
    while (log.size() < (24u << 20)) log += RunLog();
    WriteAll(root_ / "logs" / "PC-1" / "setup2026120701.log", log);
    struct Case {
        const char* tool;
        const char* args;
        int signal;
        size_t written;  // bytes in the temporary file before the signal
        const char* target;
    };
    const Case cases[] = {
        {"kpack", "make payload Setup.exe out.exe", SIGINT, 1u << 20, "out.exe"},
        {"kpack", "extract big.exe files", SIGTERM, 1u << 20, "files/big.bin"},
        {"klog", "fleet --html fleet.html logs/PC-1", SIGTERM, 0, "fleet.html"},
    };
    for (const Case& c : cases) {
        const pid_t pid = Start(root_, c.tool, c.args);
        ASSERT_GT(pid, 0);
        bool caught = false;
        for (int i = 0; i < 20000 && !caught; ++i) {
            for (const std::string& temp : Leftovers()) {
                std::error_code ec;
                if (fs::file_size(temp, ec) >= c.written && !ec) caught = true;
            }
            if (!caught) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_TRUE(caught) << c.tool << " " << c.args << ": no temporary file seen";
        kill(pid, c.signal);
        int status = 0;
        ASSERT_EQ(pid, waitpid(pid, &status, 0));
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << c.tool << " " << c.args;
        EXPECT_EQ(std::vector<std::string>(), Leftovers()) << c.tool << " " << c.args;
        EXPECT_FALSE(fs::exists(root_ / c.target)) << c.tool << " " << c.args;
    }
}

}  // namespace
