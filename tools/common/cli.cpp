#include "cli.h"

#include <algorithm>

namespace tools {

CommandLine ParseCommandLine(int argc, char** argv, const std::vector<std::string>& valueOptions,
                             const std::vector<std::string>& flagOptions) {
    CommandLine cl;
    auto listed = [](const std::vector<std::string>& list, const std::string& a) {
        return std::find(list.begin(), list.end(), a) != list.end();
    };
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            cl.words.push_back(a);
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--help" || a == "-h") {
            cl.help = true;
        } else if (a == "--version") {
            cl.version = true;
        } else if (listed(valueOptions, a)) {
            if (i + 1 >= argc) {
                if (cl.error.empty()) cl.error = a + " needs a value";
            } else {
                cl.values[a] = argv[++i];
            }
        } else if (listed(flagOptions, a)) {
            cl.flags.insert(a);
        } else if (cl.error.empty()) {
            cl.error = "unknown option " + a + " (put -- before an operand that starts with -)";
        }
    }
    return cl;
}

}  // namespace tools
