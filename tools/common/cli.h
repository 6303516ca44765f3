// The command-line convention that the build-side tools follow: options may
// stand before or after the command word; "--help" (or "-h") anywhere before
// "--" asks for the usage text, "--version" for the version; "--" ends the
// options, so that a file or a password may start with a dash.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tools {

struct CommandLine {
    std::vector<std::string> words;               // the command and its operands, in order
    std::map<std::string, std::string> values;    // options that take a value
    std::set<std::string> flags;                  // options without a value
    bool help = false;
    bool version = false;
    std::string error;                            // not empty: a usage error
    bool Has(const std::string& flag) const { return flags.count(flag) != 0; }
    std::string Value(const std::string& option) const {
        auto it = values.find(option);
        return it == values.end() ? std::string() : it->second;
    }
};

// Splits argv by the convention above. valueOptions take the next argument as
// their value; flagOptions take none; any other argument starting with '-'
// (but "-" alone) before "--" is an error.
CommandLine ParseCommandLine(int argc, char** argv, const std::vector<std::string>& valueOptions,
                             const std::vector<std::string>& flagOptions);

}  // namespace tools
