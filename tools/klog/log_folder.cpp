#include "log_folder.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace klog {

namespace {

// A week of one log is a few hundred kilobytes; a file beyond this is damage
// or garbage, and only its newest part is read.
const size_t kMaxFileBytes = 64u << 20;

bool StartsNoCase(const std::string& a, const char* prefix) {
    size_t n = strlen(prefix);
    return a.size() >= n && EqualsNoCase(a.substr(0, n), prefix);
}

}  // namespace

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

bool ReadFileTail(const std::string& path, size_t limit, std::string* bytes) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    bool ok = fseek(f, 0, SEEK_END) == 0;
    long size = ok ? ftell(f) : -1;
    ok = size >= 0;
    size_t take = ok ? std::min((size_t)size, limit) : 0;
    if (ok) ok = fseek(f, (long)((size_t)size - take), SEEK_SET) == 0;
    if (ok) {
        bytes->resize(take);
        ok = take == 0 || fread(&(*bytes)[0], 1, take, f) == take;
    }
    fclose(f);
    return ok;
}

LogFolder ReadLogFolder(const std::string& path) {
    LogFolder folder;
    folder.path = path;
    std::error_code ec;
    std::filesystem::directory_iterator it(path, ec), end;
    if (ec) {
        folder.missing = true;
        return folder;
    }
    for (; it != end; it.increment(ec)) {
        if (ec) break;
        std::string name = it->path().filename().string();
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
        if (!ReadFileTail((std::filesystem::path(path) / file.name).string(), kMaxFileBytes, &bytes)) {
            file.unreadable = true;
            continue;
        }
        size_t before = folder.entries.size();
        ReadLogEntries(bytes, (uint16_t)i, &folder.entries, &file.stats);
        file.entries = folder.entries.size() - before;
    }
    return folder;
}

}  // namespace klog
