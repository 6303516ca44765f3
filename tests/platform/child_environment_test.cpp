// The environment the setup builds for the programs it starts: each step fed
// keys of the real registry that hold what Windows records, while this
// process carries what a hostile session sets.
#include <gtest/gtest.h>

#include <string>

#include "platform/child_environment.h"
#include "support/session_record.h"

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::string Value(const EnvBlock& env, const char* name) {
    const wchar_t* v = env.Get(Wide(name).c_str());
    return v ? std::string(v, v + wcslen(v)) : "(unset)";
}

// A key of the test's own under HKCU, laid out as the system's; gone at the end.
class FactKey {
public:
    explicit FactKey(const std::string& name) : path_("Software\\KivraEnvTest\\" + name) {
        RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
        RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    }
    ~FactKey() {
        RegCloseKey(key_);
        RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    }
    HKEY Get() const { return key_; }
    void Put(const std::string& name, const std::string& value, DWORD type = REG_SZ) {
        std::wstring v = Wide(value);
        RegSetValueExW(key_, Wide(name).c_str(), 0, type, (const BYTE*)v.c_str(), (DWORD)((v.size() + 1) * 2));
    }

private:
    std::string path_;
    HKEY key_ = nullptr;
};

TEST(EnvBlockTest, OneSortedVariableANameAndNothingPastItsBounds) {
    EnvBlock env;
    env.Set(L"windir", L"C:\\W");
    env.Set(L"__COMPAT_LAYER", L"x");
    env.Set(L"PATH", L"%windir%;%unknown%;100%", kEnvExpand);
    env.Set(L"path", L"C:\\c", kEnvKeep);
    const wchar_t expected[] = L"PATH=C:\\W;%unknown%;100%\0windir=C:\\W\0__COMPAT_LAYER=x\0";
    EXPECT_EQ(std::wstring(env.Block(), sizeof expected / 2), std::wstring(expected, sizeof expected / 2));

    EXPECT_FALSE(env.Set(L"a=b", L"x"));
    std::wstring longest(kEnvMaxValueChars, L'v');
    EXPECT_FALSE(env.Set(L"grown", (longest + L"%windir%").c_str(), kEnvExpand));
    unsigned taken = 0;
    for (int i = 0; i < 9; ++i) taken += env.Set(Wide("v" + std::to_string(i)).c_str(), longest.c_str());
    EXPECT_EQ(taken, 3u) << "three of the longest values fill the block";
    EnvBlock many;
    for (unsigned i = 0; i < kEnvMaxVariables + 5; ++i) many.Set(Wide("n" + std::to_string(i)).c_str(), L"1");
    EXPECT_EQ(many.Count(), kEnvMaxVariables);
}

TEST(ChildEnvironmentTest, TheMachineKeyFillsWhatTheSystemAndTheProfileLeaveOpen) {
    HostileSession session("C:\\users\\Public\\planted"); // nothing of it may show
    FactKey machine("machine"), profiles("profiles"), ann("profiles\\S-1-5-21-1-2-3-1001");
    // As Windows records them, and a few values a machine may also hold.
    machine.Put("ComSpec", "%SystemRoot%\\system32\\cmd.exe", REG_EXPAND_SZ);
    machine.Put("Path", "%SystemRoot%\\system32;%SYSTEMROOT%\\System32\\Wbem", REG_EXPAND_SZ);
    machine.Put("TEMP", "%SystemRoot%\\TEMP", REG_EXPAND_SZ);
    machine.Put("USERNAME", "SYSTEM");
    machine.Put("OS", "Windows_NT");
    machine.Put("ToolDir", "%ProgramFiles%\\Tool", REG_EXPAND_SZ);
    machine.Put(std::string(300, 'N'), "a name no one uses");
    machine.Put("Huge", std::string(kEnvMaxValueChars + 1, 'h'));
    profiles.Put("ProgramData", "%SystemDrive%\\ProgramData", REG_EXPAND_SZ);
    ann.Put("ProfileImagePath", "%SystemDrive%\\Users\\ann", REG_EXPAND_SZ);

    EnvBlock env;
    AddSystemRoot(&env, L"D:\\Win");
    env.Set(L"ProgramFiles", L"D:\\Program Files");
    AddProfileFolders(&env, profiles.Get(), L"S-1-5-21-1-2-3-1001", L"ann", L"OFFICE");
    AddMachineVariables(&env, machine.Get());
    AddSystemDefaults(&env);
    const char* const expected[][2] = {
        {"SystemDrive", "D:"}, {"ComSpec", "D:\\Win\\system32\\cmd.exe"},
        {"Path", "D:\\Win\\system32;D:\\Win\\System32\\Wbem"}, {"windir", "D:\\Win"}, {"OS", "Windows_NT"},
        {"ToolDir", "D:\\Program Files\\Tool"}, {"ALLUSERSPROFILE", "D:\\ProgramData"},
        {"APPDATA", "D:\\Users\\ann\\AppData\\Roaming"}, {"TEMP", "D:\\Users\\ann\\AppData\\Local\\Temp"},
        {"HOMEDRIVE", "D:"}, {"HOMEPATH", "\\Users\\ann"}, {"USERNAME", "ann"}, {"USERDOMAIN", "OFFICE"},
        {"PATHEXT", ".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC"}, {"Huge", "(unset)"}};
    for (const auto& e : expected) EXPECT_EQ(Value(env, e[0]), e[1]) << e[0];
    EXPECT_EQ(env.Count(), 20u) << "nothing else, the 300-character name neither";

    // A user without a profile gets the machine's folders, never the session's.
    EnvBlock stranger;
    AddSystemRoot(&stranger, L"C:\\Windows");
    AddProfileFolders(&stranger, profiles.Get(), L"S-1-5-21-9-9-9-1002", nullptr, nullptr);
    AddMachineVariables(&stranger, machine.Get());
    EXPECT_EQ(Value(stranger, "TEMP") + Value(stranger, "USERNAME") + Value(stranger, "ToolDir"),
              "C:\\Windows\\TEMPSYSTEM%ProgramFiles%\\Tool");
}

TEST(ChildEnvironmentTest, ProgramFoldersAndArchitectureFollowTheViewAndTheProcess) {
    const struct {
        const char* what;
        const char* programFilesDir; // what the view holds
        bool sixtyFourBit;           // with the (x86) and W6432 values
        bool wow64;
        const char* seen; // ProgramFiles|ProgramW6432|PROCESSOR_ARCHITECTURE|PROCESSOR_ARCHITEW6432
    } cases[] = {
        {"32-bit Windows", "C:\\PF", false, false, "C:\\PF|(unset)|x86|(unset)"},
        {"a 64-bit process", "C:\\PF", true, false, "C:\\PF|C:\\PF|AMD64|(unset)"},
        {"the 32-bit setup on 64-bit Windows", "C:\\PF86", true, true, "C:\\PF86|C:\\PF|x86|AMD64"},
    };
    for (const auto& c : cases) {
        FactKey currentVersion("currentVersion");
        currentVersion.Put("ProgramFilesDir", c.programFilesDir);
        currentVersion.Put("ProgramFilesPath", "%ProgramFiles%", REG_EXPAND_SZ);
        if (c.sixtyFourBit) {
            currentVersion.Put("ProgramFilesDir (x86)", "C:\\PF86");
            currentVersion.Put("ProgramW6432Dir", "C:\\PF");
        }
        EnvBlock env;
        env.Set(L"PROCESSOR_ARCHITECTURE", c.sixtyFourBit ? L"AMD64" : L"x86");
        AddProgramFolders(&env, currentVersion.Get());
        AdjustForWow64(&env, c.wow64);
        EXPECT_EQ(Value(env, "ProgramFiles") + "|" + Value(env, "ProgramW6432") + "|" +
                      Value(env, "PROCESSOR_ARCHITECTURE") + "|" + Value(env, "PROCESSOR_ARCHITEW6432"),
                  c.seen)
            << c.what;
        EXPECT_EQ(Value(env, "ProgramFiles(x86)"), c.sixtyFourBit ? "C:\\PF86" : "(unset)") << c.what;
        EXPECT_EQ(env.Count(), c.sixtyFourBit ? 4u + c.wow64 : 2u) << c.what;
    }
}

} // namespace
