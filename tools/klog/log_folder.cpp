#include "log_folder.h"

#include <string.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace klog {

namespace {

// A week of one log is a few hundred kilobytes; a file beyond this is damage
// or garbage, and only its newest part is read.
const size_t kMaxFileBytes = 64u << 20;

// Whether a begins with prefix, letter case aside.
bool StartsNoCase(const std::string& a, const char* prefix) {
    size_t n = strlen(prefix);
    return a.size() >= n && EqualsNoCase(a.substr(0, n), prefix);
}

// Reads the last bytes of a file, at most limit, into *bytes. False when the
// file cannot be opened or read. The path object opens names in any script,
// also on Windows, where a narrow name is in the ANSI code page.
bool ReadFileTail(const std::filesystem::path& path, size_t limit, std::string* bytes) {
    std::ifstream f(path, std::ios::binary | std::ios::ate);
    if (!f) return false;
    const std::streamoff size = f.tellg();
    if (size < 0) return false;
    const size_t take = std::min((size_t)size, limit);
    f.seekg(size - (std::streamoff)take);
    bytes->resize(take);
    return take == 0 || (f.read(&(*bytes)[0], (std::streamsize)take) && (size_t)f.gcount() == take);
}

}  // namespace

void (*g_progress)(const std::string& line) = nullptr;

bool EqualsNoCase(const std::string& a, const char* b) {
    size_t n = strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = (char)(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = (char)(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool ParseLogFileName(const std::string& name, LogFile* file) {
    // <log> YYYYMMDDWW .log
    if (name.size() < 15 || !EqualsNoCase(name.substr(name.size() - 4), ".log")) return false;
    const std::string stamp = name.substr(name.size() - 14, 10);
    for (char c : stamp)
        if (c < '0' || c > '9') return false;
    const std::string log = name.substr(0, name.size() - 14);
    int month = std::stoi(stamp.substr(4, 2)), day = std::stoi(stamp.substr(6, 2));
    int weekday = std::stoi(stamp.substr(8, 2));
    if (month < 1 || month > 12 || day < 1 || day > 31 || weekday > 6) return false;
    LogKind kind;
    if (EqualsNoCase(log, "setup"))
        kind = kLogSetup;
    else if (EqualsNoCase(log, "stp_setup"))
        kind = kLogStpSetup;
    else if (EqualsNoCase(log, "stp_UtlFile"))
        kind = kLogStpUtlFile;
    else if (EqualsNoCase(log, "stp_waitSetup") || EqualsNoCase(log, "stp_waitCpd"))
        kind = kLogStpWait;
    else if (EqualsNoCase(log, "IsCurUserAdmin"))
        kind = kLogIsCurUserAdmin;
    else if (StartsNoCase(log, "stp_") && log.size() > 4)
        kind = kLogOtherStp;
    else
        return false;
    file->name = name;
    file->log = log;
    file->kind = kind;
    file->date = stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 2);
    return true;
}

LogFolder ReadLogFolder(const std::string& path) {
    LogFolder folder;
    folder.path = path;
    std::error_code ec;
    std::filesystem::directory_iterator it(path, ec), end;
    if (ec) {
        folder.missing = true;
        folder.error = ec.message();
        return folder;
    }
    for (; it != end; it.increment(ec)) {
        if (ec) break;
        // UTF-8 whatever the platform, so that no name fails to convert.
        std::string name = it->path().filename().u8string();
        LogFile file;
        if (it->is_regular_file(ec) && ParseLogFileName(name, &file))
            folder.files.push_back(file);
        else
            folder.others.push_back(name);
    }
    // By log, then by date: a run that crosses midnight reads in order.
    std::sort(folder.files.begin(), folder.files.end(), [](const LogFile& a, const LogFile& b) {
        return a.date != b.date ? a.date < b.date : a.name < b.name;
    });
    std::sort(folder.others.begin(), folder.others.end());
    std::string bytes;
    for (size_t i = 0; i < folder.files.size() && i < 0xFFFF; ++i) {
        LogFile& file = folder.files[i];
        const std::filesystem::path filePath = std::filesystem::path(path) / std::filesystem::u8path(file.name);
        std::error_code sizeEc;
        const uint64_t size = std::filesystem::file_size(filePath, sizeEc);
        if (g_progress && !sizeEc && size >= kProgressBytes)
            g_progress("reading " + file.name + " (" + std::to_string(std::min<uint64_t>(size, kMaxFileBytes) >> 20) +
                       " MiB)");
        if (!ReadFileTail(filePath, kMaxFileBytes, &bytes)) {
            file.unreadable = true;
            continue;
        }
        size_t before = folder.entries.size();
        ReadLogEntries(bytes, (uint16_t)i, &folder.entries, &file.stats);
        file.entries = folder.entries.size() - before;
    }
    return folder;
}

std::string LogFolderOf(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(path, ec), end;
    std::string inner;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().u8string();
        LogFile file;
        std::error_code kindEc;
        if (ParseLogFileName(name, &file) && it->is_regular_file(kindEc)) return path;
        if (inner.empty() && EqualsNoCase(name, "KivraLog") && it->is_directory(kindEc)) inner = name;
    }
    if (ec || inner.empty()) return path;
    return (fs::path(path) / fs::u8path(inner)).string();
}

}  // namespace klog
