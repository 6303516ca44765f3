// klog command line; see docs/log-reader.md.
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "cli.h"
#include "codes.h"
#include "exit_codes.h"
#include "output_file.h"
#include "writers.h"

namespace {

const char kUsageText[] =
    "usage:\n"
    "  klog show [--json] [--all] [--codepage CP] DIR\n"
    "      one block per run of Setup.exe in the KivraLog folder DIR, in time order:\n"
    "      when it started, its outcome and the lines that show it (--all: every line)\n"
    "  klog explain CODE\n"
    "      the meaning of a code of \"install failed with Err CODE.\" or of the command\n"
    "      runner's \"ErrCode:CODE\"\n"
    "  klog fleet [--json] [--html FILE] [--codepage CP] DIR...\n"
    "      one line per machine (each DIR is one machine's KivraLog folder, named after\n"
    "      the machine) with its last run's outcome, then the counts by outcome;\n"
    "      --html also writes one self-contained page with a chart and the table\n"
    "  klog --help\n"
    "\n"
    "CP is the code page the logs were written in: auto (the default: UTF-8, else\n"
    "GBK, else Windows-1252), 936 (GBK) or 1252. Output is UTF-8.\n"
    "--json prints the JSON document of docs/klog-json.md instead of the text.\n"
    "-- ends the options.\n"
    "\n"
    "exit codes (shared with kpack and vrftool):\n"
    "  0 done\n"
    "  1 a folder could not be read, or the page could not be written\n"
    "  2 bad command line\n"
    "  3 explain: no code that klog knows\n";

// Reports a usage error; returns its exit code.
int Usage(const std::string& problem) {
    fprintf(stderr, "klog: %s\n(see klog --help)\n", problem.c_str());
    return tools::kExitUsage;
}

// Prints one code's meaning and what to check.
void Print(const klog::CodeMeaning& m, const char* what) {
    printf("%lld, %s: %s\n  check: %s\n", (long long)m.code, what, m.meaning, m.check);
}

// klog explain: the code's meanings; 3 when klog knows none.
int Explain(const std::string& text) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return Usage("explain takes a code, a number such as 160");
    long long code = atoll(text.c_str());
    const klog::CodeMeaning* setup = klog::SetupCode(code);
    const klog::CodeMeaning* runner = klog::RunnerCode(code);
    if (setup) Print(*setup, "in \"install failed with Err N.\"");
    if (runner) Print(*runner, "in the command runner's \"GetCmd: ... ErrCode:N\"");
    if (setup || runner) return tools::kExitOk;
    printf("%lld: no code of the setup. As the command runner's ErrCode it is %s\n", code,
           klog::kUnlistedRunnerCode);
    return tools::kExitInputRefused;
}

// klog show: 1 when the folder cannot be read.
int Show(const std::string& dir, bool json, bool all, klog::CodePage page) {
    klog::FolderReport report = klog::AnalyseFolder(dir, page, all);
    if (json)
        fputs(klog::ShowJson(report).c_str(), stdout);
    else
        klog::WriteShowText(stdout, report);
    if (report.missing) fprintf(stderr, "klog: cannot read the folder %s\n", dir.c_str());
    return report.missing ? tools::kExitIo : tools::kExitOk;
}

// klog fleet: 1 when a folder cannot be read or the page cannot be written.
int Fleet(const std::vector<std::string>& dirs, bool json, const std::string& html, klog::CodePage page) {
    std::vector<klog::MachineReport> machines;
    machines.reserve(dirs.size());
    int status = tools::kExitOk;
    for (const std::string& dir : dirs) {
        machines.push_back(klog::AnalyseMachine(dir, page));
        if (machines.back().missing) {
            fprintf(stderr, "klog: cannot read the folder %s\n", dir.c_str());
            status = tools::kExitIo;
        }
    }
    if (json)
        fputs(klog::FleetJson(machines).c_str(), stdout);
    else
        klog::WriteFleetText(stdout, machines);
    if (!html.empty()) {
        tools::OutputFile out(html);
        std::string error;
        const std::string pageText = klog::FleetHtml(machines);
        if (!out.Open(&error) || fwrite(pageText.data(), 1, pageText.size(), out.get()) != pageText.size() ||
            !out.Commit(&error)) {
            fprintf(stderr, "klog: %s\n", error.empty() ? ("cannot write " + html).c_str() : error.c_str());
            return tools::kExitIo;
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // The output is UTF-8; a console shows it so only when told.
    SetConsoleOutputCP(CP_UTF8);
#endif
    tools::CommandLine cl = tools::ParseCommandLine(argc, argv, {"--html", "--codepage"}, {"--json", "--all"});
    if (cl.help) {
        fputs(kUsageText, stdout);
        return tools::kExitOk;
    }
    if (!cl.error.empty()) return Usage(cl.error);
    klog::CodePage page = klog::kCodePageAuto;
    if (cl.values.count("--codepage") && !klog::ParseCodePage(cl.Value("--codepage"), &page))
        return Usage("--codepage takes auto, 936 or 1252");
    std::vector<std::string> args = cl.words;
    if (args.empty()) return Usage("no command");
    const std::string command = args[0];
    args.erase(args.begin());
    const bool json = cl.Has("--json");
    if (cl.values.count("--html") && command != "fleet") return Usage("--html belongs to fleet");
    if (cl.Has("--all") && command != "show") return Usage("--all belongs to show");
    if (json && command == "explain") return Usage("--json belongs to show and fleet");

    if (command == "show") {
        if (args.size() != 1) return Usage("show takes one DIR");
        return Show(args[0], json, cl.Has("--all"), page);
    }
    if (command == "explain") {
        if (args.size() != 1) return Usage("explain takes one CODE");
        return Explain(args[0]);
    }
    if (command == "fleet") {
        if (args.empty()) return Usage("fleet takes one DIR per machine");
        return Fleet(args, json, cl.Value("--html"), page);
    }
    return Usage("unknown command " + command);
}
