#include "support/winsupport.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

#include "support/pack_bytes.h"

std::string ReadFileBytes(const std::string& path) {
    std::string bytes;
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(f, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    CloseHandle(f);
    return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(f, bytes.data(), (DWORD)bytes.size(), &written, nullptr) &&
              written == bytes.size();
    CloseHandle(f);
    return ok;
}

void RemoveTree(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((path + "\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::string name = found.cFileName;
                if (name != "." && name != "..") RemoveTree(path + "\\" + name);
            } while (FindNextFileA(find, &found));
            FindClose(find);
        }
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!RemoveDirectoryA(path.c_str())) DeleteFileA(path.c_str());
}

std::vector<std::string> ListDir(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::string n = found.cFileName;
        if (n != "." && n != "..") names.push_back(n);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

void MakeDirs(const std::string& path) {
    for (size_t i = 3; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
}

std::string LogDateStamp() { return LogDateStampDaysAway(0); }

std::string LogDateStampDaysAway(int days) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME ft;
    SystemTimeToFileTime(&now, &ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    t.QuadPart += (long long)days * 24 * 3600 * 10000000LL;
    ft.dwLowDateTime = t.LowPart;
    ft.dwHighDateTime = t.HighPart;
    SYSTEMTIME then;
    FileTimeToSystemTime(&ft, &then);
    char stamp[16];
    snprintf(stamp, sizeof stamp, "%04u%02u%02u%02u", then.wYear, then.wMonth, then.wDay,
             then.wDayOfWeek);
    return stamp;
}

std::vector<std::string> TodayLogMessages(const std::string& stem) {
    std::string text = ReadFileBytes("C:\\KivraLog\\" + stem + LogDateStamp() + ".log");
    std::vector<std::string> messages;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n[", start);
        // An entry may hold line breaks of its own: it ends where the next
        // entry's time stamp begins.
        std::string entry = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (end == std::string::npos && entry.size() >= 2 && entry.compare(entry.size() - 2, 2, "\r\n") == 0)
            entry.resize(entry.size() - 2);
        // Drop "[YYYY-MM-DD hh:mm:ss] ", an optional "[DTL] " and the thread tag.
        size_t head = 22;
        if (entry.size() > head && entry.compare(head, 6, "[DTL] ") == 0) head += 6;
        size_t p = entry.size() > head ? entry.find("] ", head) : std::string::npos;
        messages.push_back(p == std::string::npos ? entry : entry.substr(p + 2));
        if (end == std::string::npos) break;
        start = end + 2;
    }
    return messages;
}

std::string LastMessage(const std::vector<std::string>& messages) {
    return messages.empty() ? "(no message)" : messages.back();
}

void ClearLogs() {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA("C:\\KivraLog\\*", &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::string path = std::string("C:\\KivraLog\\") + found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

void KeepLogs(const std::string& scenario) {
    const std::string kept =
        BuildPath("kivralogs/" + scenario + (GetSystemDefaultLangID() == 2052 ? "-zh" : ""));
    RemoveTree(kept);
    MakeDirs(kept);
    for (const std::string& name : ListDir("C:\\KivraLog"))
        CopyFileA(("C:\\KivraLog\\" + name).c_str(), (kept + "\\" + name).c_str(), FALSE);
}

namespace {
std::string UnixToWindows(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}
} // namespace

std::string BuildPath(const std::string& relative) {
    return UnixToWindows(std::string(KIVRA_BUILD_DIR_UNIX) + "/" + relative);
}
std::string SetupExe() { return UnixToWindows(KIVRA_SETUP_EXE_UNIX); }
void ResetSharedState() {
    // Links are removed on the Unix side: Windows calls would reach what they
    // lead to. C:\tmp moved aside for a link is put back.
    const std::string tmp = UnixPathOf("C:\\tmp"), logs = UnixPathOf("C:\\KivraLog");
    std::string script;
    for (const std::string& place : {tmp + "/KivraSetup0", tmp, logs})
        script += "if [ -L '" + place + "' ]; then rm -f '" + place + "'; fi; ";
    script += "if [ -d '" + tmp + ".kept' ] && [ ! -e '" + tmp + "' ]; then mv '" + tmp + ".kept' '" + tmp + "'; fi; ";
    script += "if [ -d '" + logs + "' ]; then find '" + logs + "' -maxdepth 1 -type l -exec rm -f {} +; fi";
    RunUnixShell(script);
    MakeDirs("C:\\tmp");
    MakeDirs("C:\\KivraLog");
    RemoveTree("C:\\tmp\\KivraSetup0");
    // The carrier of the executable, not of a package copy.
    DeleteRegValue("SOFTWARE\\Kivra", "InstallByMsi");
    DeleteRegValue("SOFTWARE\\Kivra", "MsiSourceName");
    DeleteRegValue("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{E3C27A15-6D49-4B8E-9F03-52A6C1D7B480}",
                   "MsiSourceName");
    // Wine's own debug-help library, not one found beside a program.
    RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", "dbghelp");
}

void PrepareSetupRun() {
    ResetSharedState();
    RemoveTree("C:\\carrier");
    MakeDirs("C:\\carrier");
    SetStandInShownMs(300);
}

void SetStandInShownMs(DWORD ms) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\KivraStandIn", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr))
        return;
    RegSetValueExA(key, "ShownMs", 0, REG_DWORD, (const BYTE*)&ms, sizeof ms);
    RegCloseKey(key);
}

std::string HelperExe(const std::string& name) { return BuildPath("tests/helpers/" + name + ".exe"); }
std::string SevenZipExe() { return UnixToWindows(KIVRA_7ZA_UNIX); }

std::string UnixPathOf(const std::string& windowsPath) {
    const char* root = getenv("KIVRA_WINE_ROOT");
    // Drive Z is the Unix root in every prefix (this build tree lies there).
    bool unixRoot = windowsPath.size() >= 2 && (windowsPath[0] == 'Z' || windowsPath[0] == 'z') && windowsPath[1] == ':';
    std::string path = (unixRoot ? "" : std::string(root ? root : "") + "/prefix/drive_c") + windowsPath.substr(2);
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

bool RunUnixShell(const std::string& script) {
    // Wine starts a Unix program without a Windows process: CreateProcess
    // succeeds, but what it leaves in PROCESS_INFORMATION is stack garbage
    // that may equal a handle of this process (the cached HKEY_LOCAL_MACHINE
    // key, once), so nothing of it is used or closed. The script leaves its
    // exit status in a marker when it is done.
    const std::string windowsMarker = "C:\\unix-shell-done";
    const std::string marker = UnixPathOf(windowsMarker);
    DeleteFileA(windowsMarker.c_str());
    std::string line = "/bin/sh -c \"(" + script + "); echo $? > '" + marker + ".new' && mv '" + marker +
                       ".new' '" + marker + "'\"";
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    for (int i = 0; i < 200; ++i) {
        if (GetFileAttributesA(windowsMarker.c_str()) != INVALID_FILE_ATTRIBUTES)
            return ReadFileBytes(windowsMarker) == "0\n";
        Sleep(50);
    }
    return false;
}

BoxWatcher::BoxWatcher(DWORD processId)
    : processId_(processId ? processId : GetCurrentProcessId()), thread_(nullptr), stop_(0) {
    InitializeCriticalSection(&lock_);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

BoxWatcher::~BoxWatcher() {
    InterlockedExchange(&stop_, 1);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    DeleteCriticalSection(&lock_);
}

std::vector<SeenBox> BoxWatcher::Boxes() {
    EnterCriticalSection(&lock_);
    std::vector<SeenBox> copy = boxes_;
    LeaveCriticalSection(&lock_);
    return copy;
}

namespace {
struct FindState {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
    FindState* state = (FindState*)param;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char cls[64] = {0};
    GetClassNameA(window, cls, sizeof cls);
    // A message box has an OK button (IDOK) and a static text beside its icon.
    // The password dialog has both too, and its edit control (1001) besides.
    if (pid == state->processId && strcmp(cls, "#32770") == 0 && IsWindowVisible(window) &&
        GetDlgItem(window, IDOK) && GetDlgItem(window, 0xFFFF) && !GetDlgItem(window, 1001)) {
        state->found = window;
        return FALSE;
    }
    return TRUE;
}
} // namespace

DWORD WINAPI BoxWatcher::Run(void* param) {
    BoxWatcher* self = (BoxWatcher*)param;
    while (!self->stop_) {
        FindState state = {self->processId_, nullptr};
        EnumWindows(FindBox, (LPARAM)&state);
        if (state.found) {
            SeenBox box;
            char text[1024] = {0};
            GetWindowTextA(state.found, text, sizeof text);
            box.caption = text;
            text[0] = '\0';
            GetDlgItemTextA(state.found, 0xFFFF, text, sizeof text);
            box.text = text;
            EnterCriticalSection(&self->lock_);
            self->boxes_.push_back(box);
            LeaveCriticalSection(&self->lock_);
            PostMessageA(state.found, WM_COMMAND, IDOK, 0);
            // Wait until this box is gone before looking for the next one.
            for (int i = 0; i < 200 && IsWindow(state.found); ++i) Sleep(25);
        }
        Sleep(50);
    }
    return 0;
}

HANDLE StartChild(const std::string& commandLine) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return nullptr;
    // Only a Windows program's start fills PROCESS_INFORMATION (see
    // RunUnixShell): its handles are used only when the process handle is the
    // process the start reported.
    if (pi.dwProcessId == 0 || GetProcessId(pi.hProcess) != pi.dwProcessId) return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

ChildRun RunChild(const std::string& commandLine, DWORD timeoutMs) {
    ChildRun run;
    HANDLE process = StartChild(commandLine);
    if (!process) return run;
    BoxWatcher watcher(GetProcessId(process));
    if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process, &code);
        run.exitCode = (long)code;
    } else {
        TerminateProcess(process, 99);
    }
    CloseHandle(process);
    run.boxes = watcher.Boxes();
    return run;
}

Payload ReadFolder(const std::string& dir) {
    Payload payload;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return payload;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            payload.emplace_back(found.cFileName, ReadFileBytes(dir + "\\" + found.cFileName));
    } while (FindNextFileA(find, &found));
    FindClose(find);
    std::sort(payload.begin(), payload.end());
    return payload;
}

std::string BuildPack(const Payload& payload, bool endRecord) {
    std::string bytes = Marker();
    for (const auto& record : payload) bytes += Record(record.first, record.second);
    return endRecord ? bytes + EndRecord() : bytes;
}

std::string BuildCarrier(const std::string& exe, size_t offset, const std::string& pack) {
    std::string carrier = exe;
    if (carrier.size() < offset) carrier.resize(offset, '\0');
    return carrier + pack;
}

void SetRegString(const char* subKey, const char* name, const char* value) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr))
        return;
    RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)value, (DWORD)strlen(value) + 1);
    RegCloseKey(key);
}

void SetRegDword(const char* subKey, const char* name, DWORD value) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr))
        return;
    RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof value);
    RegCloseKey(key);
}

void DeleteRegValue(const char* subKey, const char* name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_SET_VALUE, &key)) return;
    RegDeleteValueA(key, name);
    RegCloseKey(key);
}
