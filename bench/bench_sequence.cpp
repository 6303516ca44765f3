// How long Setup.exe takes from its start to the start of the installer, run
// under Wine by bench/bench.sh. The carrier is Setup.exe with the payload of
// <build tree>/bench-payload (the demo payload plus about 20 MB of filler, most
// of it inside Qt.7z), made by the script.
//
// Each run starts the carrier in a job and keeps a handle to every process
// started in it (Setup.exe, its three 7za.exe runs, the admission program twice,
// the installer), whose creation and exit times are read afterwards. From those:
//   total     Setup.exe created -> KivraSetup.exe created
//   sleeps    the two 300 ms sleeps after the admission-program starts, plus
//             the 500 ms steps of the bounded waits that found the admission
//             program still running (0 when it had ended within the 300 ms)
// Then, on the same carrier and in this process:
//   unpack    utl_FileUnpack into C:\tmp\KivraSetup0, timed
//   archiver  the driver's three 7za.exe command lines through GetCmd, timed
// and overhead = total - sleeps - unpack - archiver: what the driver itself,
// and Wine's start of Setup.exe, add on top.
//
//   bench_sequence.exe [RUNS]     (default 5; medians are reported)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pack/pack_format.h"
#include "pack/unpack.h"
#include "platform/cmd.h"
#include "support/winsupport.h"

namespace {

const std::string W = "C:\\tmp\\KivraSetup0";
const std::string kRoot = "C:\\tmp\\kivra-bench-seq";
const char* const kArchives[] = {"Qt.7z", "tool.7z", "UrlCmdCustomCfg.7z"};

// A process started in the run, and its times once it has ended.
struct Watched {
    std::string name;
    DWORD pid;
    HANDLE handle;
    ULONGLONG created;  // FILETIME units (100 ns)
    ULONGLONG exited;   // 0 while it runs
};

ULONGLONG Ticks(const FILETIME& t) { return ((ULONGLONG)t.dwHighDateTime << 32) | t.dwLowDateTime; }

double Ms(ULONGLONG from, ULONGLONG to) { return ((double)to - (double)from) / 10000.0; }

bool Times(HANDLE process, ULONGLONG* created, ULONGLONG* exited) {
    FILETIME c, e, k, u;
    if (!GetProcessTimes(process, &c, &e, &k, &u)) return false;
    *created = Ticks(c);
    *exited = WaitForSingleObject(process, 0) == WAIT_OBJECT_0 ? Ticks(e) : 0;
    return true;
}

// Setup.exe runs in a job whose completion port reports every process started
// in it (Setup.exe, its archiver runs, the admission program, the installer):
// the watch costs nothing while the run goes on. Each new process is opened at
// once, so that its creation and exit times can be read after its end.
class JobWatch {
public:
    JobWatch()
        : job_(CreateJobObjectA(nullptr, nullptr)),
          port_(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1)) {
        JOBOBJECT_ASSOCIATE_COMPLETION_PORT link = {};
        link.CompletionKey = (PVOID)1;
        link.CompletionPort = port_;
        ok_ = job_ && port_ &&
              SetInformationJobObject(job_, JobObjectAssociateCompletionPortInformation, &link, sizeof link);
    }
    ~JobWatch() {
        for (Watched& w : watched_) CloseHandle(w.handle);
        if (job_) CloseHandle(job_);
        if (port_) CloseHandle(port_);
    }
    // Starts commandLine inside the job; its process handle, or nullptr.
    HANDLE Start(const std::string& commandLine) {
        if (!ok_) return nullptr;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                            &si, &pi))
            return nullptr;
        if (!AssignProcessToJobObject(job_, pi.hProcess)) {
            TerminateProcess(pi.hProcess, 99);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
            return nullptr;
        }
        ResumeThread(pi.hThread);
        CloseHandle(pi.hThread);
        return pi.hProcess;
    }
    // Collects the job's processes until none is left in it or timeoutMs passed.
    bool WaitAll(DWORD timeoutMs) {
        DWORD begin = GetTickCount();
        for (;;) {
            DWORD elapsed = GetTickCount() - begin;
            if (elapsed >= timeoutMs) return false;
            DWORD code = 0;
            ULONG_PTR key = 0;
            LPOVERLAPPED detail = nullptr;
            if (!GetQueuedCompletionStatus(port_, &code, &key, &detail, timeoutMs - elapsed)) return false;
            if (code == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO) return true;
            if (code == JOB_OBJECT_MSG_NEW_PROCESS) Add((DWORD)(ULONG_PTR)detail);
        }
    }
    // The watched processes of one executable name, by creation time.
    std::vector<Watched> Named(const char* name) {
        std::vector<Watched> found;
        for (Watched& w : watched_) {
            Times(w.handle, &w.created, &w.exited);
            Name(w);
            if (lstrcmpiA(w.name.c_str(), name) == 0) found.push_back(w);
        }
        std::sort(found.begin(), found.end(),
                  [](const Watched& a, const Watched& b) { return a.created < b.created; });
        return found;
    }
    const std::vector<Watched>& All() const { return watched_; }

private:
    void Add(DWORD pid) {
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, pid);
        if (process) watched_.push_back({"", pid, process, 0, 0});
    }
    // The executable's name, known only once the new process has loaded it.
    static void Name(Watched& w) {
        if (!w.name.empty()) return;
        char path[MAX_PATH] = "";
        DWORD size = sizeof path;
        if (!QueryFullProcessImageNameA(w.handle, 0, path, &size)) {
            std::fprintf(stderr, "bench: no image name for pid %lu: error %lu\n", (unsigned long)w.pid,
                         (unsigned long)GetLastError());
            return;
        }
        const char* slash = std::strrchr(path, '\\');
        w.name = slash ? slash + 1 : path;
    }
    HANDLE job_;
    HANDLE port_;
    bool ok_;
    std::vector<Watched> watched_;
};

// The 500 ms steps of one bounded wait: the checks at 300, 800, 1300... ms after
// the start that still found the program running.
int WaitSteps(const Watched& admission) {
    double life = Ms(admission.created, admission.exited);
    int steps = 0;
    while (300.0 + 500.0 * steps < life) ++steps;
    return steps;
}

struct Run {
    double total = 0, sleeps = 0, unpack = 0, archiver = 0;
    int steps1 = 0, steps2 = 0;
    // Where the time of the run goes, from the watched processes.
    double toArchiver = 0, archiverLives = 0, archiverGaps = 0, toAdmission = 0, between = 0, toInstaller = 0;
    double admissionLife = 0, recordWritten = 0, overhead = 0;
    double Overhead() const { return total - sleeps - unpack - archiver; }
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Seconds(LARGE_INTEGER a, LARGE_INTEGER b) {
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    return (double)(b.QuadPart - a.QuadPart) / (double)freq.QuadPart;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// One run of the carrier under the watch; fills the sequence's figures.
bool RunSetup(const std::string& carrier, Run* run) {
    ClearLogs();
    RemoveTree(W);
    JobWatch watch;
    HANDLE setup = watch.Start("\"" + carrier + "\"");
    if (!setup) {
        std::fprintf(stderr, "bench: cannot start %s in a job\n", carrier.c_str());
        return false;
    }
    if (!watch.WaitAll(180000)) {
        std::fprintf(stderr, "bench: the run did not end within 180 s\n");
        TerminateProcess(setup, 99);
    }
    WaitForSingleObject(setup, 30000);
    ULONGLONG setupCreated = 0, setupExited = 0;
    Times(setup, &setupCreated, &setupExited);
    CloseHandle(setup);
    std::vector<Watched> archivers = watch.Named("7za.exe"), admissions = watch.Named("kopApxSvr.exe"),
                         installers = watch.Named("KivraSetup.exe");

    std::vector<std::string> log = TodayLogMessages("setup");
    for (const std::string& line : log)
        if (line.rfind("install failed", 0) == 0) {
            std::fprintf(stderr, "bench: the setup log says \"%s\"\n", line.c_str());
            return false;
        }
    if (archivers.size() != 3 || admissions.size() != 2 || installers.size() != 1) {
        std::fprintf(stderr,
                     "bench: saw %u archiver, %u admission-program and %u installer processes, not 3, 2, 1\n",
                     (unsigned)archivers.size(), (unsigned)admissions.size(), (unsigned)installers.size());
        for (const Watched& w : watch.All())
            std::fprintf(stderr, "  %s pid %lu: %+.0f ms to %+.0f ms\n", w.name.c_str(), (unsigned long)w.pid,
                         Ms(setupCreated, w.created), w.exited ? Ms(setupCreated, w.exited) : -1.0);
        return false;
    }
    const Watched &a1 = admissions[0], &a2 = admissions[1], &installer = installers[0];
    run->total = Ms(setupCreated, installer.created);
    run->steps1 = WaitSteps(a1);
    run->steps2 = WaitSteps(a2);
    run->sleeps = 600.0 + 500.0 * (run->steps1 + run->steps2);
    run->toArchiver = Ms(setupCreated, archivers.front().created);
    for (size_t i = 0; i < archivers.size(); ++i) {
        run->archiverLives += Ms(archivers[i].created, archivers[i].exited);
        if (i > 0) run->archiverGaps += Ms(archivers[i - 1].exited, archivers[i].created);
    }
    run->toAdmission = Ms(archivers.back().exited, a1.created);
    run->between = Ms(a1.created, a2.created);
    run->toInstaller = Ms(a2.created, installer.created);
    run->admissionLife = (Ms(a1.created, a1.exited) + Ms(a2.created, a2.exited)) / 2;

    WIN32_FILE_ATTRIBUTE_DATA record;
    if (GetFileAttributesExA((W + "\\KivraSetup-record.txt").c_str(), GetFileExInfoStandard, &record))
        run->recordWritten = Ms(setupCreated, Ticks(record.ftLastWriteTime));
    return true;
}

// The unpack and the archiver runs of the sequence, on the same carrier, here.
bool RunShares(Run* run) {
    RemoveTree(W);
    MakeDirs(W);
    DWORD err = 0;
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    int ok = utl_FileUnpack(kRoot.c_str(), "Setup.exe", W.c_str(), &err, pack::kSetupExeOffset);
    QueryPerformanceCounter(&b);
    if (!ok) {
        std::fprintf(stderr, "bench: utl_FileUnpack failed with %lu\n", (unsigned long)err);
        return false;
    }
    run->unpack = Seconds(a, b) * 1000.0;

    CreateDirectoryA((W + "\\Qt").c_str(), nullptr);
    CreateDirectoryA((W + "\\UrlCmdCustomCfg").c_str(), nullptr);
    run->archiver = 0;
    for (const char* archive : kArchives) {
        if (!Exists(W + "\\" + archive)) continue;
        std::string command = W + "\\7za.exe x \"" + W + "\\" + archive + "\" -o\"" + W + "\" -y";
        CmdOutput output;
        QueryPerformanceCounter(&a);
        int ran = GetCmd(command.c_str(), &output, "bench", (W + "\\7za.exe").c_str(), W.c_str());
        QueryPerformanceCounter(&b);
        if (!ran || !std::strstr(output.Text(), "Everything is Ok")) {
            std::fprintf(stderr, "bench: %s failed:\n%s\n", command.c_str(), output.Text());
            return false;
        }
        run->archiver += Seconds(a, b) * 1000.0;
    }
    return true;
}

// How long a program lives under Wine, from its creation to its end.
double LifeMs(const std::string& commandLine) {
    HANDLE p = StartChild(commandLine);
    if (!p) return 0;
    WaitForSingleObject(p, 60000);
    ULONGLONG created = 0, exited = 0;
    Times(p, &created, &exited);
    CloseHandle(p);
    return exited ? Ms(created, exited) : 0;
}

typedef double Run::*Column;

double MedianOf(const std::vector<Run>& runs, Column column) {
    std::vector<double> values;
    for (const Run& r : runs) values.push_back(r.*column);
    return Median(values);
}

void PrintRow(const char* label, const std::vector<double>& values) {
    std::printf("%-7s", label);
    for (double v : values) std::printf(" %9.0f", v);
    std::printf("\n");
}

void PrintTable(const std::vector<Run>& runs, const std::vector<std::pair<const char*, Column>>& columns) {
    std::printf("%-7s", "run");
    for (const auto& c : columns) std::printf(" %9s", c.first);
    std::printf("\n");
    for (size_t i = 0; i < runs.size(); ++i) {
        std::vector<double> values;
        for (const auto& c : columns) values.push_back(runs[i].*(c.second));
        PrintRow(std::to_string(i + 1).c_str(), values);
    }
    std::vector<double> medians;
    for (const auto& c : columns) medians.push_back(MedianOf(runs, c.second));
    PrintRow("median", medians);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    if (runs < 1) runs = 1;
    // The installer stand-in then shows its window only briefly.
    SetStandInShownMs(200);

    const std::string payloadDir = BuildPath("bench-payload");
    Payload payload = ReadFolder(payloadDir);
    if (payload.size() < 10) {
        std::fprintf(stderr, "bench: %s holds no payload; run bench/bench.sh\n", payloadDir.c_str());
        return 1;
    }
    std::string exe = ReadFileBytes(SetupExe());
    if (exe.empty()) {
        std::fprintf(stderr, "bench: %s is missing\n", SetupExe().c_str());
        return 1;
    }
    size_t payloadBytes = 0, qtBytes = 0, files = payload.size();
    for (const auto& file : payload) {
        payloadBytes += file.second.size();
        if (file.first == "Qt.7z") qtBytes = file.second.size();
    }
    RemoveTree(kRoot);
    MakeDirs(kRoot + "\\bare");
    const std::string carrier = kRoot + "\\Setup.exe", bare = kRoot + "\\bare\\Setup.exe";
    if (!WriteFileBytes(carrier, BuildCarrier(exe, pack::kSetupExeOffset, BuildPack(payload))) ||
        !WriteFileBytes(bare, BuildCarrier(exe, pack::kSetupExeOffset, ""))) {
        std::fprintf(stderr, "bench: cannot write the carriers in %s\n", kRoot.c_str());
        return 1;
    }
    payload.clear();

    std::printf(
        "Setup.exe start to installer start: payload %.1f MB in %u files (Qt.7z %.1f MB), %d runs,\n"
        "times in ms\n\n",
        payloadBytes / 1048576.0, (unsigned)files, qtBytes / 1048576.0, runs);
    std::vector<Run> done;
    std::vector<double> trivial, bareLives, steps;
    for (int i = 1; i <= runs; ++i) {
        Run run;
        if (!RunSetup(carrier, &run) || !RunShares(&run)) return 1;
        trivial.push_back(LifeMs("\"" + W + "\\kopApxSvr.exe\" -bench"));
        RemoveTree(W);
        ClearLogs();
        bareLives.push_back(LifeMs("\"" + bare + "\""));
        steps.push_back(run.steps1 + run.steps2);
        done.push_back(run);
        std::fprintf(stderr, "bench: run %d of %d done\n", i, runs);
    }
    RemoveTree(kRoot);

    for (Run& r : done) r.overhead = r.Overhead();
    std::printf(
        "overhead = total - sleeps - unpack - archiver; sleeps = 2 x 300 + 500 per bounded-wait step\n");
    PrintTable(done, {{"total", &Run::total},
                      {"sleeps", &Run::sleeps},
                      {"unpack", &Run::unpack},
                      {"archiver", &Run::archiver},
                      {"overhead", &Run::overhead}});
    std::printf(
        "\nwhere the run's time goes, from the processes it started: Setup.exe start -> 1st 7za.exe\n"
        "start; the three 7za.exe lives; the gaps between them; last 7za.exe end -> 1st admission\n"
        "start -> 2nd -> installer start; installer's record file written (after Setup.exe start)\n");
    PrintTable(done, {{"to-7za", &Run::toArchiver},
                      {"7za-lives", &Run::archiverLives},
                      {"7za-gaps", &Run::archiverGaps},
                      {"7za-adm1", &Run::toAdmission},
                      {"adm1-adm2", &Run::between},
                      {"adm2-inst", &Run::toInstaller},
                      {"adm-life", &Run::admissionLife},
                      {"record", &Run::recordWritten}});
    double overhead = MedianOf(done, &Run::overhead);
    std::printf(
        "\nbounded-wait steps (median) %.0f; a trivial program lives %.0f ms; Setup.exe with no pack\n"
        "(ends at the size test) lives %.0f ms (medians)\n",
        Median(steps), Median(trivial), Median(bareLives));
    std::printf("overhead %.0f ms (median): %s the 1000 ms target\n", overhead,
                overhead < 1000 ? "within" : "OVER");
    return 0;
}
