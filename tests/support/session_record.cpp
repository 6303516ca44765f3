#include "support/session_record.h"

#include <ctype.h>

#include "support/winsupport.h"

std::vector<SessionSeen> ReadSessions(const std::string& path) {
    std::vector<SessionSeen> starts;
    const std::string text = ReadFileBytes(path);
    for (size_t at = 0, end; at < text.size(); at = end + 2) {
        end = text.find("\r\n", at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        if (line.rfind("cd=", 0) == 0) {
            starts.push_back({line.substr(3), {}});
        } else if (!line.empty() && !starts.empty()) {
            // "=C:=C:\..." is a drive's current folder: a name ends at the first '=' after its start.
            size_t eq = line.find('=', 1);
            std::string name = line.substr(0, eq);
            for (char& c : name) c = (char)toupper((unsigned char)c);
            starts.back().variables[name] = eq == std::string::npos ? "" : line.substr(eq + 1);
        }
    }
    return starts;
}

std::string VariableSeen(const SessionSeen& start, std::string name) {
    for (char& c : name) c = (char)toupper((unsigned char)c);
    auto found = start.variables.find(name);
    return found == start.variables.end() ? "(unset)" : found->second;
}

HostileSession::HostileSession(const std::string& userFolder) {
    wchar_t* block = GetEnvironmentStringsW();
    const wchar_t* end = block;
    while (*end) end += wcslen(end) + 1;
    saved_.assign(block, (size_t)(end + 1 - block));
    FreeEnvironmentStringsW(block);
    char path[32768] = "";
    GetEnvironmentVariableA("PATH", path, sizeof path);
    planted = {{"COR_ENABLE_PROFILING", "1"},
               {"COR_PROFILER", "{8A0C4B1E-0000-4000-8000-00000000C0DE}"},
               {"COR_PROFILER_PATH", userFolder + "\\profiler.dll"},
               {"CORECLR_ENABLE_PROFILING", "1"},
               {"DOTNET_STARTUP_HOOKS", userFolder + "\\hook.dll"},
               {"__COMPAT_LAYER", "RunAsInvoker"},
               {"PATH", userFolder + ";" + path},
               {"USERPROFILE", userFolder},
               {"TEMP", userFolder},
               {"APPDATA", userFolder},
               {"ComSpec", userFolder + "\\cmd.exe"},
               {"windir", userFolder},
               {"PATHEXT", ".DLL;.EXE"},
               {"COMPUTERNAME", "PLANTED"}};
    for (const auto& p : planted) SetEnvironmentVariableA(p.first.c_str(), p.second.c_str());
}

HostileSession::~HostileSession() { SetEnvironmentStringsW(&saved_[0]); }
