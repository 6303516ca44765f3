// klog command line; see docs/log-reader.md.
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "cli.h"
#include "codes.h"
#include "display_text.h"
#include "exit_codes.h"
#include "output_file.h"
#include "standard_output.h"
#include "version.h"
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
    "      one line per machine (each DIR is one machine's KivraLog folder, or a\n"
    "      folder that holds it, named after the machine) with its last run's\n"
    "      outcome, then the counts by outcome; --html also writes one\n"
    "      self-contained page with a chart and the table (FILE may replace only a\n"
    "      page klog wrote); a DIR that is no folder is left out with a warning\n"
    "  klog --help | --version\n"
    "\n"
    "CP is the code page the logs were written in: auto (the default: UTF-8, else\n"
    "GBK, else Windows-1252), 936 (GBK) or 1252. Output is UTF-8.\n"
    "--json prints the JSON document of docs/klog-json.md instead of the text.\n"
    "On a terminal, a long folder shows klog's progress on stderr.\n"
    "-- ends the options.\n"
    "\n";

// Prints a message of klog on stderr, as the one rule shows outside text.
void Say(const std::string& message) { fprintf(stderr, "klog: %s\n", tools::DisplayText(message).c_str()); }

// Reports a usage error; returns its exit code.
int Usage(const std::string& problem) {
    Say(problem);
    fputs("(see klog --help)\n", stderr);
    return tools::kExitUsage;
}

// Shows a line of progress on stderr (set as klog::g_progress on a terminal).
void ShowProgress(const std::string& line) { Say(line); }

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
    if (report.missing) Say("cannot read the folder " + dir + ": " + report.error);
    return report.missing ? tools::kExitIo : tools::kExitOk;
}

// The arguments of fleet that are folders, or may be (a missing one is an
// unreadable machine); the others are left out with a warning, but for the
// page itself, which a collection's wildcard takes in again.
std::vector<std::string> MachineFolders(const std::vector<std::string>& args, const std::string& html) {
    std::vector<std::string> dirs;
    for (const std::string& arg : args) {
        std::error_code ec;
        const std::filesystem::file_status status = std::filesystem::status(arg, ec);
        if (!std::filesystem::exists(status) || std::filesystem::is_directory(status))
            dirs.push_back(arg);
        else if (html.empty() || !tools::SameFile(arg, html))
            Say("warning: " + arg + " is not a folder; it is left out");
    }
    return dirs;
}

// klog fleet: 1 when a folder cannot be read or the page cannot be written;
// the page is judged (tools/common/output_guard.h) before any folder is read.
int Fleet(const std::vector<std::string>& args, bool json, const std::string& html, klog::CodePage page) {
    const std::vector<std::string> dirs = MachineFolders(args, html);
    if (dirs.empty()) {
        Say("no machine folder among the arguments");
        return tools::kExitInputRefused;
    }
    tools::OutputFile out(html);
    std::string error;
    if (!html.empty()) {
        tools::OutputRule rule;
        rule.inputs = dirs;
        rule.replaceable = klog::IsFleetPage;
        rule.what = "a page that klog fleet wrote";
        const int code = out.Open(rule, &error);
        if (code != tools::kExitOk) {
            Say(error);
            return code;
        }
    }
    std::vector<klog::MachineReport> machines;
    machines.reserve(dirs.size());
    int status = tools::kExitOk;
    for (const std::string& dir : dirs) {
        machines.push_back(klog::AnalyseMachine(dir, page));
        if (machines.back().missing) {
            Say("cannot read the folder " + dir + ": " + machines.back().error);
            status = tools::kExitIo;
        }
        if (klog::g_progress && machines.size() % 200 == 0)
            klog::g_progress("read " + std::to_string(machines.size()) + " of " + std::to_string(dirs.size()) +
                             " folders");
    }
    if (json)
        fputs(klog::FleetJson(machines).c_str(), stdout);
    else
        klog::WriteFleetText(stdout, machines);
    if (!html.empty()) {
        const std::string pageText = klog::FleetHtml(machines);
        if (!out.Write(pageText.data(), pageText.size())) {
            Say("cannot write " + html + ": " + tools::ErrnoText());
            return tools::kExitIo;
        }
        if (out.Commit(&error) != tools::kExitOk) {
            Say(error);
            return tools::kExitIo;
        }
    }
    return status;
}

// Whether stderr is a terminal that a person watches.
bool StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

// Runs the command of the command line; returns the exit code.
int Run(const tools::CommandLine& cl) {
    if (cl.help) {
        fputs(kUsageText, stdout);
        fputs(tools::kExitCodeHelp, stdout);
        return tools::kExitOk;
    }
    if (cl.version) {
        tools::PrintVersion("klog");
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
    if (cl.values.count("--html") && cl.Value("--html").empty()) return Usage("--html needs a FILE");
    if (cl.Has("--all") && command != "show") return Usage("--all belongs to show");
    if (json && command == "explain") return Usage("--json belongs to show and fleet");
    if (StderrIsTerminal()) klog::g_progress = ShowProgress;

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

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // The output is UTF-8; a console shows it so only when told.
    SetConsoleOutputCP(CP_UTF8);
#endif
    tools::CommandLine cl = tools::ParseCommandLine(argc, argv, {"--html", "--codepage"}, {"--json", "--all"});
    return tools::FinishStandardOutput("klog", Run(cl));
}
