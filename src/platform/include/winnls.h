// Code pages and locale formatting: UTF-8, Windows-1252 (the device's ANSI
// code page) and UTF-16; short dates and times from the user's locale.
#pragma once

#include "winbase.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_UTF8 65001
#define CP_1252 1252

#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_NO_BEST_FIT_CHARS 0x00000400

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteLength,
                        LPWSTR wide, int wideLength);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength,
                        LPSTR multiByte, int multiByteLength, LPCSTR defaultChar,
                        LPBOOL usedDefaultChar);

#define DATE_SHORTDATE 0x00000001
#define DATE_LONGDATE 0x00000002
#define TIME_NOMINUTESORSECONDS 0x00000001
#define TIME_NOSECONDS 0x00000002
#define TIME_NOTIMEMARKER 0x00000004
#define TIME_FORCE24HOURFORMAT 0x00000008
#define LOCALE_NOUSEROVERRIDE 0x80000000

// With a null system time the current local time is formatted. A null format
// uses the locale's; the result length includes the terminator, and a zero
// buffer length asks for the length needed.
int GetDateFormatW(DWORD locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR format,
                   LPWSTR dateText, int dateLength);
int GetTimeFormatW(DWORD locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR format,
                   LPWSTR timeText, int timeLength);
