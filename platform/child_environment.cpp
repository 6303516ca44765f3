#include "platform/child_environment.h"

#include <sddl.h>
#include <stdlib.h>
#include <string.h>

#include "platform/handle.h"

namespace {

// Owns a text from the heap.
struct HeapText {
    wchar_t* text = nullptr;
    ~HeapText() { free(text); }
};

// Reads a REG_SZ or REG_EXPAND_SZ value of at most kEnvMaxValueChars into
// out->text (terminated whether or not the registry stored a terminator) and
// its type into *type. Returns false for any other value, a longer one, or a
// value that changed size between the two reads.
bool ReadText(HKEY key, const wchar_t* name, HeapText* out, DWORD* type) {
    DWORD bytes = 0;
    if (RegQueryValueExW(key, name, nullptr, type, nullptr, &bytes) != ERROR_SUCCESS ||
        (*type != REG_SZ && *type != REG_EXPAND_SZ) || bytes > kEnvMaxValueChars * sizeof(wchar_t) + 2)
        return false;
    wchar_t* text = (wchar_t*)malloc(bytes + 2 * sizeof(wchar_t));
    if (!text) return false;
    out->text = text;
    DWORD again = bytes;
    if (RegQueryValueExW(key, name, nullptr, type, (BYTE*)text, &again) != ERROR_SUCCESS ||
        (*type != REG_SZ && *type != REG_EXPAND_SZ))
        return false;
    text[again / sizeof(wchar_t)] = L'\0';
    return true;
}

// Sets variable from the key's value, expanded when the registry says so.
// Returns whether the variable holds it (or kept its own under kEnvKeep).
bool SetFromValue(EnvBlock* env, const wchar_t* variable, HKEY key, const wchar_t* valueName, int flags) {
    HeapText value;
    DWORD type = 0;
    if (!ReadText(key, valueName, &value, &type)) return false;
    return env->Set(variable, value.text, flags | (type == REG_EXPAND_SZ ? kEnvExpand : 0));
}

// The user of this process's token: its SID as a string, its name and domain.
// Returns false when the token cannot be read; the names stay empty when the
// account cannot be looked up.
bool ReadTokenUser(wchar_t* sid, size_t sidSize, wchar_t* name, DWORD nameSize, wchar_t* domain,
                   DWORD domainSize) {
    name[0] = domain[0] = L'\0';
    ScopedHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return false;
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } info;
    DWORD got = 0;
    if (!GetTokenInformation(token.Get(), TokenUser, &info, sizeof info, &got)) return false;
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(info.user.User.Sid, &text)) return false;
    size_t length = wcslen(text);
    bool fits = length < sidSize;
    if (fits) memcpy(sid, text, (length + 1) * sizeof(wchar_t));
    LocalFree(text);
    SID_NAME_USE use;
    if (fits && !LookupAccountSidW(nullptr, info.user.User.Sid, name, &nameSize, domain, &domainSize, &use))
        name[0] = domain[0] = L'\0';
    return fits;
}

} // namespace

void AddSystemRoot(EnvBlock* env, const wchar_t* systemRoot) {
    if (!env->Set(L"SystemRoot", systemRoot)) return;
    if (systemRoot[0] && systemRoot[1] == L':') {
        const wchar_t drive[3] = {systemRoot[0], L':', L'\0'};
        env->Set(L"SystemDrive", drive);
    }
}

void AddProgramFolders(EnvBlock* env, HKEY currentVersion) {
    static const wchar_t* const kFolders[][2] = {
        {L"ProgramFiles", L"ProgramFilesDir"},
        {L"CommonProgramFiles", L"CommonFilesDir"},
        {L"ProgramFiles(x86)", L"ProgramFilesDir (x86)"},
        {L"CommonProgramFiles(x86)", L"CommonFilesDir (x86)"},
        {L"ProgramW6432", L"ProgramW6432Dir"},
        {L"CommonProgramW6432", L"CommonW6432Dir"},
    };
    for (const auto& folder : kFolders) SetFromValue(env, folder[0], currentVersion, folder[1], kEnvReplace);
}

void AddProfileFolders(EnvBlock* env, HKEY profileList, const wchar_t* sid, const wchar_t* userName,
                       const wchar_t* userDomain) {
    if (SetFromValue(env, L"ProgramData", profileList, L"ProgramData", kEnvReplace))
        env->Set(L"ALLUSERSPROFILE", env->Get(L"ProgramData"));
    SetFromValue(env, L"PUBLIC", profileList, L"Public", kEnvReplace);
    if (userName && userName[0]) env->Set(L"USERNAME", userName);
    if (userDomain && userDomain[0]) env->Set(L"USERDOMAIN", userDomain);

    ScopedRegKey user;
    if (!sid || RegOpenKeyExW(profileList, sid, 0, KEY_QUERY_VALUE, user.Receive()) != ERROR_SUCCESS ||
        !SetFromValue(env, L"USERPROFILE", user.Get(), L"ProfileImagePath", kEnvReplace))
        return;
    // The layout every profile has since Windows Vista; these are the folders'
    // default places, not where the user's own registry may have moved them.
    env->Set(L"APPDATA", L"%USERPROFILE%\\AppData\\Roaming", kEnvExpand);
    env->Set(L"LOCALAPPDATA", L"%USERPROFILE%\\AppData\\Local", kEnvExpand);
    env->Set(L"TEMP", L"%USERPROFILE%\\AppData\\Local\\Temp", kEnvExpand);
    env->Set(L"TMP", L"%USERPROFILE%\\AppData\\Local\\Temp", kEnvExpand);
    const wchar_t* profile = env->Get(L"USERPROFILE");
    if (profile && profile[0] && profile[1] == L':') {
        const wchar_t drive[3] = {profile[0], L':', L'\0'};
        env->Set(L"HOMEDRIVE", drive);
        env->Set(L"HOMEPATH", profile[2] ? profile + 2 : L"\\");
    }
}

void AddMachineVariables(EnvBlock* env, HKEY machineEnvironment) {
    // Plain values first, so that an expanded one may refer to any of them.
    for (DWORD pass = REG_SZ; pass <= REG_EXPAND_SZ; ++pass) {
        for (DWORD i = 0;; ++i) {
            wchar_t name[256];
            DWORD nameLength = sizeof name / sizeof name[0], type = 0;
            LONG status = RegEnumValueW(machineEnvironment, i, name, &nameLength, nullptr, &type, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS) break;
            // A longer name is no variable name anyone uses: it is left out.
            if (status == ERROR_SUCCESS && type == pass) SetFromValue(env, name, machineEnvironment, name, kEnvKeep);
        }
    }
}

void AddSystemDefaults(EnvBlock* env) {
    const int keepExpanded = kEnvKeep | kEnvExpand;
    env->Set(L"windir", L"%SystemRoot%", keepExpanded);
    env->Set(L"ComSpec", L"%SystemRoot%\\system32\\cmd.exe", keepExpanded);
    env->Set(L"PATHEXT", L".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC", kEnvKeep);
    env->Set(L"Path", L"%SystemRoot%\\system32;%SystemRoot%;%SystemRoot%\\System32\\Wbem", keepExpanded);
}

void AdjustForWow64(EnvBlock* env, bool wow64) {
    const wchar_t* machine = env->Get(L"PROCESSOR_ARCHITECTURE");
    if (!wow64 || !machine || wcscmp(machine, L"x86") == 0) return;
    if (env->Set(L"PROCESSOR_ARCHITEW6432", machine)) env->Set(L"PROCESSOR_ARCHITECTURE", L"x86");
}

bool BuildChildEnvironment(EnvBlock* env) {
    wchar_t systemRoot[MAX_PATH];
    UINT length = GetSystemWindowsDirectoryW(systemRoot, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    AddSystemRoot(env, systemRoot);
    if (!env->Get(L"SystemRoot")) return false;

    ScopedRegKey computer;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName",
                      0, KEY_QUERY_VALUE, computer.Receive()) == ERROR_SUCCESS)
        SetFromValue(env, L"COMPUTERNAME", computer.Get(), L"ComputerName", kEnvReplace);

    // The process's own view: a 32-bit setup on 64-bit Windows gets the
    // Program Files (x86) folders, as every 32-bit process has them.
    ScopedRegKey currentVersion;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_QUERY_VALUE,
                      currentVersion.Receive()) == ERROR_SUCCESS)
        AddProgramFolders(env, currentVersion.Get());

    // Profiles are kept in the machine's own (64-bit) view only.
    wchar_t sid[192], userName[257], userDomain[257];
    ScopedRegKey profileList;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                      profileList.Receive()) == ERROR_SUCCESS) {
        bool known = ReadTokenUser(sid, sizeof sid / sizeof sid[0], userName, 257, userDomain, 257);
        AddProfileFolders(env, profileList.Get(), known ? sid : nullptr, known ? userName : nullptr,
                          known ? userDomain : nullptr);
    }

    ScopedRegKey machine;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", 0,
                      KEY_QUERY_VALUE, machine.Receive()) == ERROR_SUCCESS)
        AddMachineVariables(env, machine.Get());
    AddSystemDefaults(env);

    BOOL wow64 = FALSE;
    AdjustForWow64(env, IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
    return true;
}
