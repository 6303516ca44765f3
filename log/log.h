// The setup's log files: one file per log and day in <system drive>:\KivraLog,
// named with the date and the weekday, so that the first line of a day removes
// the same weekday's file of an earlier week and each log keeps a rolling week.
//
// Line layout: "[YYYY-MM-DD hh:mm:ss] " [ "[DTL] " ] thread tag, message, "\r\n".
// Logging never fails its caller: a line that cannot be written is dropped.
#pragma once

// Detail switch: 0 for the whole run, so ModuleLog's detail lines are never written.
extern int bLogDetail;

// Appends one line to <dir>\setup<D>.log, thread tag "[%x] ".
void SetupLog(const char* message);

// Appends one line to <dir>\stp_<category><D>.log, thread tag "[0x%x] ".
// With a non-zero detail flag it writes "[DTL] " first, and nothing at all
// while bLogDetail is 0.
void ModuleLog(const char* category, const char* message, int detail);

// Appends one line to c:\KivraLog\<category><D>.log, thread tag "[%x] ".
void PlainLog(const char* category, const char* message);

// printf-style forms for short lines (cut at 1023 bytes); ModuleLogF has detail 0.
void SetupLogF(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ModuleLogF(const char* category, const char* format, ...) __attribute__((format(printf, 2, 3)));
