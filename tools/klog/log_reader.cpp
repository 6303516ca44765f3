#include <stdio.h>
#include <string.h>

#include "log_entry.h"

namespace klog {

namespace {

// Pieces of one entry that the writers emit in separate write calls; a second
// writer can slip its pieces in between (no lock), so at most this many time
// stamps in a row are taken as one interleaved group.
const size_t kMaxInterleaved = 8;

// Reads count decimal digits at p into *value; false at any other byte.
bool Digits(const char* p, size_t count, int* value) {
    int v = 0;
    for (size_t i = 0; i < count; ++i) {
        if (p[i] < '0' || p[i] > '9') return false;
        v = v * 10 + (p[i] - '0');
    }
    *value = v;
    return true;
}

// Days from 0000-03-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = y / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe;
}

// "[DTL] " at p.
size_t ParseDetail(const char* p, size_t n) { return n >= 6 && memcmp(p, "[DTL] ", 6) == 0 ? 6 : 0; }

// "[%x] " or "[0x%x] " at p: its length, the thread in *thread; 0 when absent.
size_t ParseThreadTag(const char* p, size_t n, uint32_t* thread) {
    if (n < 4 || p[0] != '[') return 0;
    size_t i = 1;
    if (n > 3 && p[1] == '0' && p[2] == 'x') i = 3;
    uint64_t value = 0;
    size_t digits = 0;
    for (; i < n && digits <= 8; ++i, ++digits) {
        char c = p[i];
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (d < 0) break;
        value = value * 16 + (uint64_t)d;
    }
    if (digits == 0 || digits > 8 || i + 1 >= n || p[i] != ']' || p[i + 1] != ' ') return 0;
    *thread = (uint32_t)value;
    return i + 2;
}

// Whether the n bytes at p begin a time stamp that the file's end cut off.
bool IsCutTimeStamp(const char* p, size_t n) {
    static const char kPattern[] = "[dddd-dd-dd dd:dd:dd] ";
    if (n == 0 || n >= sizeof kPattern - 1) return false;
    for (size_t i = 0; i < n; ++i)
        if (kPattern[i] == 'd' ? (p[i] < '0' || p[i] > '9') : p[i] != kPattern[i]) return false;
    return true;
}

// Where the entry whose message starts at from ends: the start of the next
// line that begins with a time stamp, or n.
size_t NextEntryStart(const std::string& bytes, size_t from) {
    const char* data = bytes.data();
    const size_t n = bytes.size();
    int64_t ignored;
    for (size_t p = from; p < n;) {
        const void* nl = memchr(data + p, '\n', n - p);
        if (!nl) return n;
        size_t next = (size_t)((const char*)nl - data) + 1;
        if (next < n && ParseTimeStamp(data + next, n - next, &ignored)) return next;
        p = next;
    }
    return n;
}

}  // namespace

size_t ParseTimeStamp(const char* p, size_t n, int64_t* time) {
    // [2026-12-07 10:00:01] and the blank after it
    if (n < 22 || p[0] != '[' || p[5] != '-' || p[8] != '-' || p[11] != ' ' || p[14] != ':' || p[17] != ':' ||
        p[20] != ']' || p[21] != ' ')
        return 0;
    int y, mo, d, h, mi, s;
    if (!Digits(p + 1, 4, &y) || !Digits(p + 6, 2, &mo) || !Digits(p + 9, 2, &d) || !Digits(p + 12, 2, &h) ||
        !Digits(p + 15, 2, &mi) || !Digits(p + 18, 2, &s))
        return 0;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59) return 0;
    *time = ((DaysFromCivil(y, mo, d) * 24 + h) * 60 + mi) * 60 + s;
    return 22;
}

std::string FormatTime(int64_t time) {
    int64_t days = time >= 0 ? time / 86400 : (time - 86399) / 86400;
    int64_t secs = time - days * 86400;
    // Civil date from days since 0000-03-01 (the inverse of DaysFromCivil).
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = yoe + era * 400 + (m <= 2);
    char text[32];
    snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", (int)y, (int)m, (int)d, (int)(secs / 3600),
             (int)(secs / 60 % 60), (int)(secs % 60));
    return text;
}

void ReadLogEntries(const std::string& bytes, uint16_t file, std::vector<LogEntry>* out, ReadStats* stats) {
    const char* data = bytes.data();
    const size_t n = bytes.size();
    size_t pos = 0;
    int64_t time;
    // Bytes before the first time stamp belong to no entry.
    if (!ParseTimeStamp(data, n, &time)) {
        size_t first = NextEntryStart(bytes, 0);
        stats->unreadableBytes += first;
        pos = first;
    }
    while (pos < n) {
        // The time stamps of one entry, or of several writers' pieces in a row.
        size_t heads = 0, p = pos, len;
        LogEntry group[kMaxInterleaved];
        while (heads < kMaxInterleaved && (len = ParseTimeStamp(data + p, n - p, &time)) != 0) {
            group[heads].time = time;
            group[heads].offset = (uint32_t)(p > 0xFFFFFFFFu ? 0xFFFFFFFFu : p);
            ++heads;
            p += len;
        }
        for (size_t i = 0; i < heads; ++i) {
            group[i].file = file;
            if ((len = ParseDetail(data + p, n - p)) != 0) {
                group[i].detail = true;
                p += len;
            }
            if ((len = ParseThreadTag(data + p, n - p, &group[i].thread)) != 0) {
                p += len;
            } else if (i == 0) {
                group[i].flags |= kEntryNoThread;
            } else {
                group[i].thread = group[0].thread;
            }
        }
        size_t end = NextEntryStart(bytes, p), next = end;
        if (end == n) {
            // A last line cut inside its time stamp is no part of the entry before.
            size_t tail = n;
            while (tail > p && data[tail - 1] != '\n') --tail;
            if (tail > p && IsCutTimeStamp(data + tail, n - tail)) {
                stats->unreadableBytes += n - tail;
                stats->truncatedEnd = true;
                end = tail;
            }
        }
        // A message is a C string: a NUL (such as the zeros a file keeps after
        // a power loss) ends it, and what follows up to the next entry is lost.
        const void* nul = memchr(data + p, '\0', end - p);
        size_t messageEnd = nul ? (size_t)((const char*)nul - data) : end;
        if (nul) stats->unreadableBytes += end - messageEnd;
        std::string message(data + p, messageEnd - p);
        bool complete = false;
        // The writer's own "\r\n"; an interleaved group carries one per writer.
        for (size_t i = 0; i < heads && !message.empty() && message.back() == '\n'; ++i) {
            message.pop_back();
            if (!message.empty() && message.back() == '\r') message.pop_back();
            complete = true;
        }
        if (!complete) {
            if (end == n) stats->truncatedEnd = true;
            group[0].flags |= kEntryTruncated;
        }
        group[0].message.swap(message);
        for (size_t i = 0; i < heads; ++i) {
            if (heads > 1) group[i].flags |= kEntryInterleaved;
            out->push_back(std::move(group[i]));
        }
        pos = next;
    }
}

}  // namespace klog
