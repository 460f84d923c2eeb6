// FILETIME is a count of 100-nanosecond intervals since 1 January 1601 (UTC);
// host times count seconds and nanoseconds since 1970.
#pragma once

#include <ctime>

#include "windows.h"

namespace platform {

constexpr ULONGLONG kFileTimeUnixEpoch = 116444736000000000ULL;  // 1970-01-01 in FILETIME units

inline FILETIME FileTimeFromUnix(const timespec& t) {
    ULONGLONG v = kFileTimeUnixEpoch + static_cast<ULONGLONG>(t.tv_sec) * 10000000ULL +
                  static_cast<ULONGLONG>(t.tv_nsec) / 100;
    return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)};
}

inline ULONGLONG FileTimeValue(const FILETIME& f) {
    return (static_cast<ULONGLONG>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
}

inline timespec UnixFromFileTime(const FILETIME& f) {
    LONGLONG v = static_cast<LONGLONG>(FileTimeValue(f)) - static_cast<LONGLONG>(kFileTimeUnixEpoch);
    timespec t;
    t.tv_sec = static_cast<time_t>(v / 10000000LL);
    t.tv_nsec = static_cast<long>((v % 10000000LL) * 100);
    if (t.tv_nsec < 0) {
        t.tv_nsec += 1000000000L;
        t.tv_sec -= 1;
    }
    return t;
}

}  // namespace platform
