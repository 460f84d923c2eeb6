// "\Windows\Cleaner.log": one entry per cleaner run (on request or at exit)
// with its date and time, what each folder gave (counts and bytes, or why it
// was refused) and how many items stayed, by reason. It never names a
// deleted or remaining item: cleaning is how patient files leave the device.
// The log stays under 64 KB by dropping its oldest entries, and is written
// whole to "\Windows\Cleaner.log.new" and renamed over the old one, so a
// crash leaves one or the other complete. UTF-8 text, CRLF lines, entries
// separated by an empty line.
#pragma once

#include <windows.h>

#include <string>

struct CleanReport;

constexpr const WCHAR* kCleanerLogPath = u"\\Windows\\Cleaner.log";
constexpr const WCHAR* kCleanerLogNewPath = u"\\Windows\\Cleaner.log.new";
constexpr size_t kCleanerLogLimit = 64 * 1024;

// The entry of one run.
std::string CleanerLogEntry(const CleanReport& report, bool atExit, const SYSTEMTIME& time);

// Appends an entry, dropping the oldest ones until the log fits the limit;
// false when the log could not be written (the old one is kept then).
bool AppendCleanerLog(const std::string& entry);
