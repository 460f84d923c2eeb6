// The cleaner's log: composing an entry and appending it within the limit.
#include "tools/cleaner_log.h"

#include <memory>

#include "tools/cleaner.h"

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kEntrySeparator[] = "\r\n\r\n";

std::string Utf8(const std::u16string& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                         0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size, nullptr,
                        nullptr);
    return out;
}

// The whole file, or its last `limit` bytes when it is longer; empty when
// it cannot be read.
std::string ReadTail(LPCWSTR path, size_t limit) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    const ULONGLONG size = (ULONGLONG(high) << 32) | low;
    std::string text;
    if (low != INVALID_FILE_SIZE || GetLastError() == NO_ERROR) {
        const size_t wanted = size > limit ? limit : static_cast<size_t>(size);
        if (size > limit) {
            const ULONGLONG skip = size - limit;
            LONG skipHigh = static_cast<LONG>(skip >> 32);
            SetFilePointer(file, static_cast<LONG>(skip & 0xFFFFFFFF), &skipHigh, FILE_BEGIN);
        }
        text.resize(wanted);
        DWORD read = 0;
        if (!ReadFile(file, text.data(), static_cast<DWORD>(wanted), &read, nullptr)) read = 0;
        text.resize(read);
        // A tail starts in the middle of some entry: from the next one on.
        if (size > limit) {
            const size_t next = text.find(kEntrySeparator);
            text = next == std::string::npos ? std::string() : text.substr(next + 4);
        }
    }
    CloseHandle(file);
    return text;
}

bool WriteWhole(LPCWSTR path, const std::string& text) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
              written == text.size();
    ok = FlushFileBuffers(file) && ok;
    CloseHandle(file);
    if (!ok) DeleteFileW(path);
    return ok;
}

void AppendPadded(std::string* text, int value, int width) {
    std::string digits = std::to_string(value < 0 ? 0 : value);
    while (static_cast<int>(digits.size()) < width) digits.insert(digits.begin(), '0');
    *text += digits;
}

}  // namespace

std::string CleanerLogEntry(const CleanReport& report, bool atExit, const SYSTEMTIME& time) {
    std::string entry;
    AppendPadded(&entry, time.wYear, 4);
    entry += '-';
    AppendPadded(&entry, time.wMonth, 2);
    entry += '-';
    AppendPadded(&entry, time.wDay, 2);
    entry += ' ';
    AppendPadded(&entry, time.wHour, 2);
    entry += ':';
    AppendPadded(&entry, time.wMinute, 2);
    entry += ':';
    AppendPadded(&entry, time.wSecond, 2);
    entry += atExit ? " cleaner run at exit: " : " cleaner run on request: ";
    entry += report.Complete() ? "complete" : "incomplete";
    entry += kLineEnd;
    int number = 0;
    for (const CleanedFolder& folder : report.folders) {
        // The folder the user chose is a setting, not a patient's file.
        entry += "  " + std::to_string(++number) + ". \"" + Utf8(folder.folder) + "\": ";
        if (folder.refusal != CleanRefusal::kNone) {
            entry += "not cleaned, " + Utf8(RefusalReason(folder.refusal));
        } else {
            entry += std::to_string(folder.files) + " files, " + std::to_string(folder.folders) +
                     " folders, " + std::to_string(folder.bytes) + " bytes freed";
            if (folder.failures) entry += ", " + std::to_string(folder.failures) + " items left";
        }
        entry += kLineEnd;
    }
    if (report.folders.empty()) entry += std::string("  no folder checked") + kLineEnd;
    if (report.failures) {
        entry += "  left: " + std::to_string(report.failures) + " items (";
        bool first = true;
        for (const auto& [error, count] : report.failuresByError) {
            if (!first) entry += ", ";
            first = false;
            entry += std::to_string(count) + " " + Utf8(FailureReason(error));
        }
        entry += ")";
        entry += kLineEnd;
    }
    return entry;
}

bool AppendCleanerLog(const std::string& entry) {
    // A rename that a crash interrupted leaves only the new file: it is the log.
    std::string log = ReadTail(kCleanerLogPath, kCleanerLogLimit);
    if (log.empty() && GetFileAttributesW(kCleanerLogPath) == INVALID_FILE_ATTRIBUTES) {
        log = ReadTail(kCleanerLogNewPath, kCleanerLogLimit);
    }
    std::string added = entry.size() < kCleanerLogLimit / 2 ? entry : entry.substr(0, kCleanerLogLimit / 2);
    // The oldest entries go until the new one fits.
    while (!log.empty() && log.size() + 4 + added.size() >= kCleanerLogLimit) {
        const size_t next = log.find(kEntrySeparator);
        log = next == std::string::npos ? std::string() : log.substr(next + 4);
    }
    if (!log.empty()) {
        while (log.size() >= 2 && log.compare(log.size() - 2, 2, kLineEnd) == 0) log.resize(log.size() - 2);
        log += kEntrySeparator;
    }
    log += added;
    if (!WriteWhole(kCleanerLogNewPath, log)) return false;
    // The device has no replacing rename: the old log goes first. Until the
    // new one takes its name it is read in its place (above).
    if (GetFileAttributesW(kCleanerLogPath) != INVALID_FILE_ATTRIBUTES && !DeleteFileW(kCleanerLogPath)) {
        DeleteFileW(kCleanerLogNewPath);
        return false;
    }
    return MoveFileW(kCleanerLogNewPath, kCleanerLogPath) != FALSE;
}
