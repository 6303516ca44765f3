// One entry of a setup log file, and the reader that cuts a file's bytes into
// entries. An entry is what one call of a log writer appended:
//   "[YYYY-MM-DD hh:mm:ss] " ["[DTL] "] "[%x] " or "[0x%x] " message "\r\n"
// A message may hold line breaks of its own (the archiver's output), so an
// entry ends only where the next one's time stamp begins a line.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace klog {

// What went wrong in an entry's bytes, as bit flags.
enum EntryFlag : uint8_t {
    kEntryTruncated = 1,    // the file ends inside it: its message may be cut
    kEntryInterleaved = 2,  // another writer's pieces came between its own
    kEntryNoThread = 4,     // no thread tag after the time stamp
};

struct LogEntry {
    int64_t time = 0;        // seconds since 0000-03-01 local time, for order and spans
    uint32_t thread = 0;     // the writer's thread identifier
    uint8_t flags = 0;       // EntryFlag bits
    bool detail = false;     // "[DTL] " was written
    uint16_t file = 0;       // index of its file in the folder
    uint32_t offset = 0;     // byte offset of its time stamp in that file
    std::string message;     // the message bytes, in the writer's code page
};

struct ReadStats {
    size_t unreadableBytes = 0;  // bytes that belong to no entry (garbage, a cut header, NULs)
    bool truncatedEnd = false;   // the file does not end with a complete entry
};

// Appends the entries of one file's bytes to out, each tagged with file.
// Never fails: bytes that form no entry are counted in stats and skipped.
void ReadLogEntries(const std::string& bytes, uint16_t file, std::vector<LogEntry>* out, ReadStats* stats);

// Parses "[YYYY-MM-DD hh:mm:ss] " at p (n bytes available). Returns its length
// (22) and the time in *time, or 0 when the bytes are no such time stamp.
size_t ParseTimeStamp(const char* p, size_t n, int64_t* time);

// "YYYY-MM-DD hh:mm:ss" of a time from ParseTimeStamp.
std::string FormatTime(int64_t time);

}  // namespace klog
