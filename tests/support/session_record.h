// What the payload's stand-ins recorded of their starts (<name>-session.txt
// beside them), and the session that tries to reach them.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

// One start: the program's current directory and its variables, by name in
// upper case (Windows' names ignore case).
struct SessionSeen {
    std::string directory;
    std::map<std::string, std::string> variables;
};

// The starts recorded in the file at path, in order; none for a missing file.
std::vector<SessionSeen> ReadSessions(const std::string& path);
// The value of name (any case) in one start, "(unset)" when it had none.
std::string VariableSeen(const SessionSeen& start, std::string name);

// Sets in this process, for one scope, what the unelevated session sets to
// take over a program that an elevated one starts: .NET profilers and
// start-up hooks, a compatibility layer, PATH with userFolder first, the
// system and profile folders moved into userFolder.
class HostileSession {
public:
    explicit HostileSession(const std::string& userFolder);
    ~HostileSession(); // the process's variables as they were
    HostileSession(const HostileSession&) = delete;
    HostileSession& operator=(const HostileSession&) = delete;
    std::vector<std::pair<std::string, std::string>> planted;

private:
    std::wstring saved_;
};
