// Times and their text, power status from a made-up power_supply folder,
// version and system parameters, memory, and starting the help viewer
// through a recording stand-in for the desktop's opener.
#include <gtest/gtest.h>

#include <locale.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "device_fixture.h"
#include "windows.h"

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
        tzset();
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
        tzset();
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

FILETIME MakeFileTime(ULONGLONG value) { return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)}; }
ULONGLONG ValueOf(const FILETIME& f) { return (static_cast<ULONGLONG>(f.dwHighDateTime) << 32) | f.dwLowDateTime; }

SYSTEMTIME MakeSystemTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0) {
    SYSTEMTIME t = {};
    t.wYear = static_cast<WORD>(year);
    t.wMonth = static_cast<WORD>(month);
    t.wDay = static_cast<WORD>(day);
    t.wHour = static_cast<WORD>(hour);
    t.wMinute = static_cast<WORD>(minute);
    t.wSecond = static_cast<WORD>(second);
    t.wMilliseconds = static_cast<WORD>(ms);
    return t;
}

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

// ---- FILETIME and SYSTEMTIME -------------------------------------------------------

struct KnownDate {
    ULONGLONG fileTime;
    int year, month, day, hour, minute, second, ms;
    int dayOfWeek;  // 0 = Sunday
};

// Values computed independently (Python's datetime; the last one is the
// largest FILETIME the device accepts).
const KnownDate kKnownDates[] = {
    {0ULL, 1601, 1, 1, 0, 0, 0, 0, 1},
    {116444736000000000ULL, 1970, 1, 1, 0, 0, 0, 0, 4},
    {94406058000000000ULL, 1900, 3, 1, 6, 30, 0, 0, 4},
    {125963012967890000ULL, 2000, 2, 29, 12, 34, 56, 789, 2},
    {133489335090000000ULL, 2024, 1, 5, 13, 5, 9, 0, 5},
    {137919572480000000ULL, 2038, 1, 19, 3, 14, 8, 0, 2},
    {2650467743999990000ULL, 9999, 12, 31, 23, 59, 59, 999, 5},
    {0x7FFFFFFFFFFFFFFFULL - 4775807ULL, 30828, 9, 14, 2, 48, 5, 0, 4},
};

TEST(TimeTest, KnownDatesConvertBothWays) {
    for (const KnownDate& k : kKnownDates) {
        SCOPED_TRACE(k.fileTime);
        FILETIME f = MakeFileTime(k.fileTime);
        SYSTEMTIME t;
        ASSERT_TRUE(FileTimeToSystemTime(&f, &t));
        EXPECT_EQ(t.wYear, k.year);
        EXPECT_EQ(t.wMonth, k.month);
        EXPECT_EQ(t.wDay, k.day);
        EXPECT_EQ(t.wHour, k.hour);
        EXPECT_EQ(t.wMinute, k.minute);
        EXPECT_EQ(t.wSecond, k.second);
        EXPECT_EQ(t.wMilliseconds, k.ms);
        EXPECT_EQ(t.wDayOfWeek, k.dayOfWeek);
        if (k.year > 30827) continue;  // beyond what SystemTimeToFileTime takes
        FILETIME back;
        ASSERT_TRUE(SystemTimeToFileTime(&t, &back));
        EXPECT_EQ(ValueOf(back), k.fileTime);
    }
    // Sub-millisecond ticks are dropped, not rounded.
    FILETIME f = MakeFileTime(133489335090000000ULL + 9999);
    SYSTEMTIME t;
    ASSERT_TRUE(FileTimeToSystemTime(&f, &t));
    EXPECT_EQ(t.wMilliseconds, 0);
}

TEST(TimeTest, OutOfRangeValuesAreRefused) {
    FILETIME tooLarge = MakeFileTime(0x8000000000000000ULL);
    SYSTEMTIME t;
    SetLastError(0);
    EXPECT_FALSE(FileTimeToSystemTime(&tooLarge, &t));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    const SYSTEMTIME invalid[] = {
        MakeSystemTime(2024, 0, 1),         MakeSystemTime(2024, 13, 1),
        MakeSystemTime(2024, 1, 0),         MakeSystemTime(2024, 4, 31),
        MakeSystemTime(2023, 2, 29),        MakeSystemTime(1900, 2, 29),
        MakeSystemTime(2024, 1, 1, 24),     MakeSystemTime(2024, 1, 1, 0, 60),
        MakeSystemTime(2024, 1, 1, 0, 0, 60), MakeSystemTime(2024, 1, 1, 0, 0, 0, 1000),
        MakeSystemTime(1600, 12, 31),       MakeSystemTime(30828, 1, 1),
    };
    for (const SYSTEMTIME& s : invalid) {
        SCOPED_TRACE(testing::Message() << s.wYear << "-" << s.wMonth << "-" << s.wDay << " " << s.wHour << ":"
                                        << s.wMinute << ":" << s.wSecond << "." << s.wMilliseconds);
        FILETIME f;
        SetLastError(0);
        EXPECT_FALSE(SystemTimeToFileTime(&s, &f));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    // The day of the week is ignored on input.
    SYSTEMTIME leap = MakeSystemTime(2000, 2, 29);
    leap.wDayOfWeek = 6;
    FILETIME f;
    EXPECT_TRUE(SystemTimeToFileTime(&leap, &f));
}

TEST(TimeTest, CompareFileTimeOrders) {
    struct Case {
        ULONGLONG a, b;
        LONG result;
    } cases[] = {
        {1, 2, -1}, {2, 1, 1}, {5, 5, 0}, {0x100000000ULL, 0xFFFFFFFFULL, 1}, {0xFFFFFFFFULL, 0x100000000ULL, -1},
    };
    for (const Case& c : cases) {
        FILETIME a = MakeFileTime(c.a), b = MakeFileTime(c.b);
        EXPECT_EQ(CompareFileTime(&a, &b), c.result) << c.a << " vs " << c.b;
    }
}

TEST(TimeTest, LocalTimeFollowsTheHostZoneAtThatInstant) {
    // A POSIX rule string needs no time zone database.
    ScopedEnv zone("TZ", "EST5EDT,M3.2.0,M11.1.0");
    struct Case {
        SYSTEMTIME utc;
        SYSTEMTIME local;
    } cases[] = {
        {MakeSystemTime(2024, 1, 15, 12, 0, 0, 250), MakeSystemTime(2024, 1, 15, 7, 0, 0, 250)},  // standard
        {MakeSystemTime(2024, 7, 15, 12, 0), MakeSystemTime(2024, 7, 15, 8, 0)},                  // daylight
        {MakeSystemTime(2024, 1, 1, 3, 0), MakeSystemTime(2023, 12, 31, 22, 0)},                  // day before
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.utc.wMonth << "/" << c.utc.wDay);
        FILETIME utc, local, expected, back;
        ASSERT_TRUE(SystemTimeToFileTime(&c.utc, &utc));
        ASSERT_TRUE(SystemTimeToFileTime(&c.local, &expected));
        ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
        EXPECT_EQ(ValueOf(local), ValueOf(expected));
        ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
        EXPECT_EQ(ValueOf(back), ValueOf(utc));
    }
}

TEST(TimeTest, CurrentTimesAreValidDates) {
    SYSTEMTIME system, local;
    GetSystemTime(&system);
    GetLocalTime(&local);
    FILETIME f;
    EXPECT_TRUE(SystemTimeToFileTime(&system, &f));
    EXPECT_TRUE(SystemTimeToFileTime(&local, &f));
    EXPECT_GE(system.wYear, 2024);
}

// ---- Date and time text ----------------------------------------------------------------

class FormatTest : public ::testing::Test {
protected:
    // The C locale: English names, "%m/%d/%y" and "%H:%M:%S".
    ScopedEnv locale_{"LC_ALL", "C"};
    const SYSTEMTIME friday_ = MakeSystemTime(2024, 1, 5, 13, 5, 9);
};

std::u16string DateText(const SYSTEMTIME& t, const char16_t* format, DWORD flags = 0) {
    WCHAR buffer[128];
    int length = GetDateFormatW(LOCALE_USER_DEFAULT, flags, &t, format, buffer, 128);
    return length > 0 ? std::u16string(buffer, static_cast<size_t>(length - 1)) : u"<failed>";
}

std::u16string TimeText(const SYSTEMTIME& t, const char16_t* format, DWORD flags = 0) {
    WCHAR buffer[128];
    int length = GetTimeFormatW(LOCALE_USER_DEFAULT, flags, &t, format, buffer, 128);
    return length > 0 ? std::u16string(buffer, static_cast<size_t>(length - 1)) : u"<failed>";
}

struct PictureCase {
    const char16_t* picture;
    DWORD flags;
    const char16_t* expected;
};

TEST_F(FormatTest, DatePictures) {
    const PictureCase cases[] = {
        {u"d/M/yy", 0, u"5/1/24"},
        {u"dd.MM.yyyy", 0, u"05.01.2024"},
        {u"ddd, MMM d yyyy", 0, u"Fri, Jan 5 2024"},
        {u"dddd MMMM", 0, u"Friday January"},
        {u"ddddd", 0, u"Friday"},
        {u"y", 0, u"24"},
        {u"'Day' d", 0, u"Day 5"},
        {u"'It''s' yyyy", 0, u"It's 2024"},
        {u"yyyy 'unterminated", 0, u"2024 unterminated"},
        {u"hh:mm d", 0, u"hh:mm 5"},  // time letters are plain text in a date
        {u"", 0, u""},
    };
    for (const PictureCase& c : cases) {
        EXPECT_EQ(DateText(friday_, c.picture, c.flags), c.expected) << Narrow(c.picture);
    }
    EXPECT_EQ(Narrow(DateText(MakeSystemTime(2005, 3, 9), u"y/M/d")), "5/3/9");
}

TEST_F(FormatTest, TimePictures) {
    const SYSTEMTIME midnight = MakeSystemTime(2024, 1, 5, 0, 7, 0);
    const PictureCase cases[] = {
        {u"h:mm:ss tt", 0, u"1:05:09 PM"},
        {u"HH:mm", 0, u"13:05"},
        {u"hh:mm t", 0, u"01:05 P"},
        {u"H:m:s", 0, u"13:5:9"},
        {u"'at' H 'o''clock'", 0, u"at 13 o'clock"},
        {u"HH:mm:ss", TIME_NOSECONDS, u"13:05"},
        {u"HH:mm:ss", TIME_NOMINUTESORSECONDS, u"13"},
        {u"hh:mm tt", TIME_NOTIMEMARKER, u"01:05"},
        {u"tt hh:mm", TIME_NOTIMEMARKER, u"01:05"},
        {u"hh:mm", TIME_FORCE24HOURFORMAT, u"13:05"},
        {u"dd HH", 0, u"dd 13"},  // date letters are plain text in a time
        // Units written after their fields go with them.
        {u"H'時'mm'分'ss'秒'", TIME_NOSECONDS, u"13時05分"},
        {u"H'h'mm", TIME_NOMINUTESORSECONDS, u"13h"},
    };
    for (const PictureCase& c : cases) {
        EXPECT_EQ(TimeText(friday_, c.picture, c.flags), c.expected) << Narrow(c.picture) << " flags " << c.flags;
    }
    EXPECT_EQ(Narrow(TimeText(midnight, u"h:mm tt")), "12:07 AM");
}

TEST_F(FormatTest, WithoutAPictureTheLocaleDecides) {
    EXPECT_EQ(Narrow(DateText(friday_, nullptr)), "01/05/24");
    EXPECT_EQ(Narrow(DateText(friday_, nullptr, DATE_SHORTDATE)), "01/05/24");
    EXPECT_EQ(Narrow(DateText(friday_, nullptr, DATE_LONGDATE)), "Friday, January 5, 2024");
    EXPECT_EQ(Narrow(TimeText(friday_, nullptr)), "13:05:09");
    EXPECT_EQ(Narrow(TimeText(friday_, nullptr, TIME_NOSECONDS)), "13:05");
}

// Locales beyond C are used when the host has them; they are optional.
TEST(LocaleFormatTest, InstalledLocalesGiveTheirOwnOrder) {
    struct Case {
        const char* locale;
        const char* shortDate;
        const char* time;  // without seconds
    } cases[] = {
        {"de_DE.UTF-8", "05.01.2024", "13:05"},
        {"en_US.UTF-8", "01/05/2024", "01:05 PM"},
    };
    const SYSTEMTIME friday = MakeSystemTime(2024, 1, 5, 13, 5, 9);
    int tested = 0;
    for (const Case& c : cases) {
        locale_t probe = newlocale(LC_TIME_MASK, c.locale, locale_t(0));
        if (!probe) continue;
        freelocale(probe);
        ++tested;
        SCOPED_TRACE(c.locale);
        ScopedEnv locale("LC_ALL", c.locale);
        EXPECT_EQ(Narrow(DateText(friday, nullptr)), c.shortDate);
        EXPECT_EQ(Narrow(TimeText(friday, nullptr, TIME_NOSECONDS)), c.time);
    }
    if (tested == 0) GTEST_SKIP() << "no de_DE or en_US locale installed";
}

TEST_F(FormatTest, LengthRules) {
    // "01/05/24" is 8 characters, 9 with the terminator.
    EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, 0, &friday_, nullptr, nullptr, 0), 9);
    WCHAR buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, 0, &friday_, nullptr, buffer, 9), 9);
    EXPECT_EQ(std::u16string(buffer), u"01/05/24");
    EXPECT_EQ(buffer[9], u'#');

    SetLastError(0);
    EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, 0, &friday_, nullptr, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    SetLastError(0);
    EXPECT_EQ(GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &friday_, u"HH:mm", buffer, 5), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &friday_, u"HH:mm", nullptr, 0), 6);

    struct Case {
        const char* name;
        bool date;
        SYSTEMTIME t;
        DWORD flags;
        const char16_t* format;
        int length;
        DWORD error;
    } cases[] = {
        {"invalid date", true, MakeSystemTime(2023, 2, 29), 0, nullptr, 16, ERROR_INVALID_PARAMETER},
        {"invalid time", false, MakeSystemTime(2024, 1, 1, 25), 0, nullptr, 16, ERROR_INVALID_PARAMETER},
        {"negative length", true, friday_, 0, nullptr, -1, ERROR_INVALID_PARAMETER},
        {"short and long", true, friday_, DATE_SHORTDATE | DATE_LONGDATE, nullptr, 16, ERROR_INVALID_FLAGS},
        {"picture with short date", true, friday_, DATE_SHORTDATE, u"d", 16, ERROR_INVALID_FLAGS},
        {"picture without overrides", false, friday_, LOCALE_NOUSEROVERRIDE, u"H", 16, ERROR_INVALID_FLAGS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(0);
        int result = c.date ? GetDateFormatW(LOCALE_USER_DEFAULT, c.flags, &c.t, c.format, buffer, c.length)
                            : GetTimeFormatW(LOCALE_USER_DEFAULT, c.flags, &c.t, c.format, buffer, c.length);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(GetLastError(), c.error);
    }
    // No time given: now, which always formats.
    EXPECT_GT(GetDateFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buffer, 16), 0);
    EXPECT_GT(GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buffer, 16), 0);
}

// ---- Power ------------------------------------------------------------------------------

class PowerTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        folder_ = Host("power_supply");
    }
    // Writes one made-up supply from "NAME key=value key=value ...": its
    // folder and one file per attribute.
    void Supply(const std::string& description) {
        std::istringstream in(description);
        std::string name, pair;
        in >> name;
        std::filesystem::create_directories(folder_ + "/" + name);
        while (in >> pair) {
            size_t equals = pair.find('=');
            std::ofstream(folder_ + "/" + name + "/" + pair.substr(0, equals)) << pair.substr(equals + 1) << "\n";
        }
    }
    SYSTEM_POWER_STATUS_EX Status() {
        ScopedEnv supply("KESTRAVA_POWER_SUPPLY", folder_);
        SYSTEM_POWER_STATUS_EX status;
        std::memset(&status, 0xA5, sizeof(status));
        EXPECT_TRUE(GetSystemPowerStatusEx(&status, TRUE));
        return status;
    }
    std::string folder_;
};

struct PowerCase {
    const char* name;
    std::vector<const char*> supplies;
    BYTE line;
    BYTE flag;
    BYTE percent;
    DWORD lifetime;
    DWORD fullLifetime;
};

TEST_F(PowerTest, StatusFromTheSupplyFolder) {
    const DWORD unknown = BATTERY_LIFE_UNKNOWN;
    const PowerCase cases[] = {
        {"nothing at all", {}, AC_LINE_UNKNOWN, BATTERY_FLAG_UNKNOWN, BATTERY_PERCENTAGE_UNKNOWN, unknown, unknown},
        {"mains only, online",
         {"AC type=Mains online=1"},
         AC_LINE_ONLINE, BATTERY_FLAG_UNKNOWN, BATTERY_PERCENTAGE_UNKNOWN, unknown, unknown},
        {"charging on mains",
         {"AC type=Mains online=1", "BAT0 type=Battery present=1 capacity=75 status=Charging"},
         AC_LINE_ONLINE, BATTERY_FLAG_CHARGING, 75, unknown, unknown},
        {"discharging with energy figures (uWh over uW)",
         {"AC type=Mains online=0",
          "BAT0 type=Battery capacity=50 status=Discharging energy_now=20000000 energy_full=40000000 "
          "power_now=10000000"},
         AC_LINE_OFFLINE, BATTERY_FLAG_HIGH, 50, 7200, 14400},
        {"low, line inferred from the battery",
         {"BAT0 type=Battery capacity=20 status=Discharging"},
         AC_LINE_OFFLINE, BATTERY_FLAG_LOW, 20, unknown, unknown},
        {"critical from charge figures, negative current",
         {"BAT1 type=Battery status=Discharging charge_now=100000 charge_full=4000000 current_now=-200000"},
         AC_LINE_OFFLINE, BATTERY_FLAG_CRITICAL, 2, 1800, 72000},
        {"full on USB power",
         {"usb type=USB online=1", "BAT0 type=Battery capacity=100 status=Full"},
         AC_LINE_ONLINE, BATTERY_FLAG_HIGH, 100, unknown, unknown},
        {"the first battery is the main one",
         {"BAT1 type=Battery capacity=90 status=Discharging", "BAT0 type=Battery capacity=40 status=Discharging"},
         AC_LINE_OFFLINE, BATTERY_FLAG_HIGH, 40, unknown, unknown},
        {"an empty slot and a mouse battery are no battery",
         {"AC type=Mains online=1", "BAT0 type=Battery present=0 capacity=80",
          "hidpp_battery_0 type=Battery scope=Device capacity=60"},
         AC_LINE_ONLINE, BATTERY_FLAG_UNKNOWN, BATTERY_PERCENTAGE_UNKNOWN, unknown, unknown},
    };
    for (const PowerCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        for (const char* supply : c.supplies) Supply(supply);
        SYSTEM_POWER_STATUS_EX s = Status();
        EXPECT_EQ(s.ACLineStatus, c.line);
        EXPECT_EQ(s.BatteryFlag, c.flag);
        EXPECT_EQ(s.BatteryLifePercent, c.percent);
        EXPECT_EQ(s.BatteryLifeTime, c.lifetime);
        EXPECT_EQ(s.BatteryFullLifeTime, c.fullLifetime);
        EXPECT_EQ(s.BackupBatteryFlag, BATTERY_FLAG_UNKNOWN);
        EXPECT_EQ(s.BackupBatteryLifeTime, unknown);
    }
}

TEST_F(PowerTest, MissingFolderMeansUnknown) {
    folder_ = Host("no_such_folder");
    SYSTEM_POWER_STATUS_EX s = Status();
    EXPECT_EQ(s.ACLineStatus, AC_LINE_UNKNOWN);
    EXPECT_EQ(s.BatteryFlag, BATTERY_FLAG_UNKNOWN);
    SetLastError(0);
    EXPECT_FALSE(GetSystemPowerStatusEx(nullptr, TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// ---- Version, parameters, memory ----------------------------------------------------------

TEST(SystemInfoTest, TheDeviceIsWindowsCe3) {
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(GetVersionExW(&version));
    EXPECT_EQ(version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_CE));
    EXPECT_EQ(version.dwMajorVersion, 3u);
    EXPECT_EQ(version.dwMinorVersion, 0u);
    EXPECT_GT(version.dwBuildNumber, 0u);

    OSVERSIONINFOW tooSmall = {};
    tooSmall.dwOSVersionInfoSize = sizeof(tooSmall) - 1;
    SetLastError(0);
    EXPECT_FALSE(GetVersionExW(&tooSmall));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(SystemInfoTest, ParameterTexts) {
    struct Case {
        UINT action;
        const char16_t* expected;
    } cases[] = {
        {SPI_GETOEMINFO, u"Kestrava virtual device"},
        {SPI_GETPLATFORMTYPE, u"PocketPC"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        WCHAR buffer[256];
        ASSERT_TRUE(SystemParametersInfoW(c.action, 256, buffer, 0));
        EXPECT_EQ(std::u16string(buffer), c.expected);
        UINT exact = static_cast<UINT>(std::char_traits<char16_t>::length(c.expected) + 1);
        EXPECT_TRUE(SystemParametersInfoW(c.action, exact, buffer, 0));
        SetLastError(0);
        EXPECT_FALSE(SystemParametersInfoW(c.action, exact - 1, buffer, 0));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    }
    WCHAR buffer[16];
    SetLastError(0);
    EXPECT_FALSE(SystemParametersInfoW(0x7777, 16, buffer, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    RECT work = {};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_LT(work.left, work.right);
    EXPECT_LT(work.top, work.bottom);
    EXPECT_FALSE(SystemParametersInfoW(SPI_GETWORKAREA, 0, nullptr, 0));
}

TEST(SystemInfoTest, ProcessorPagesAndMemory) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    EXPECT_EQ(info.dwPageSize, static_cast<DWORD>(sysconf(_SC_PAGESIZE)));
    EXPECT_GE(info.dwNumberOfProcessors, 1u);
    EXPECT_NE(info.dwActiveProcessorMask, 0u);
#if defined(__x86_64__)
    EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
#endif
    EXPECT_LT(info.lpMinimumApplicationAddress, info.lpMaximumApplicationAddress);

    MEMORYSTATUS memory = {};
    GlobalMemoryStatus(&memory);
    EXPECT_EQ(memory.dwLength, sizeof(MEMORYSTATUS));
    EXPECT_GT(memory.dwTotalPhys, 0u);
    EXPECT_LE(memory.dwAvailPhys, memory.dwTotalPhys);
    EXPECT_LE(memory.dwMemoryLoad, 100u);
    EXPECT_LE(memory.dwAvailVirtual, memory.dwTotalVirtual);
}

TEST(SystemInfoTest, LocalAllocZeroesOnRequest) {
    auto* block = static_cast<unsigned char*>(LocalAlloc(LPTR, 64));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 0) << i;
    EXPECT_EQ(LocalFree(block), nullptr);
    void* empty = LocalAlloc(LMEM_FIXED, 0);
    EXPECT_NE(empty, nullptr);
    LocalFree(empty);
}

// ---- Processes -----------------------------------------------------------------------------

class ProcessTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        // Records the argument it was given, in place of the desktop's opener.
        opener_ = Host("opener.sh");
        std::ofstream(opener_) << "#!/bin/sh\nprintf '%s' \"$1\" > \"" << Host("opened.txt") << "\"\n";
        chmod(opener_.c_str(), 0755);
        std::ofstream(Host("Windows/Kestrava.htm")) << "<html></html>\n";
        env_.emplace("KESTRAVA_OPENER", opener_);
    }
    void TearDown() override {
        env_.reset();
        DeviceTest::TearDown();
    }
    std::string Opened() {
        std::ifstream in(Host("opened.txt"));
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string opener_;
    std::optional<ScopedEnv> env_;
};

TEST_F(ProcessTest, HelpViewerOpensTheFileWithTheDesktopOpener) {
    struct Case {
        const char16_t* application;
        const char16_t* commandLine;
    } cases[] = {
        {u"PegHelp.exe", u"file:\\Windows\\Kestrava.htm"},
        {u"\\Windows\\peghelp.EXE", u"file:\\Windows\\Kestrava.htm#Zoom"},
        {u"PEGHELP", u"\"file:\\windows\\kestrava.htm\""},
        {nullptr, u"PegHelp.exe file:\\Windows\\Kestrava.htm"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.commandLine));
        std::filesystem::remove(Host("opened.txt"));
        std::u16string commandLine = c.commandLine;  // the call may write into it
        PROCESS_INFORMATION info = {};
        ASSERT_TRUE(CreateProcessW(c.application, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   nullptr, &info))
            << GetLastError();
        EXPECT_NE(info.dwProcessId, 0u);
        // A generous limit only so that a broken opener cannot hang the run.
        ASSERT_EQ(WaitForSingleObject(info.hProcess, 20000), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(info.hThread, 0), WAIT_OBJECT_0);
        EXPECT_EQ(Opened(), Host("Windows/Kestrava.htm"));
        EXPECT_TRUE(CloseHandle(info.hThread));
        EXPECT_TRUE(CloseHandle(info.hProcess));
    }
}

TEST_F(ProcessTest, OtherProgramsAreNotPresent) {
    struct Case {
        const char16_t* application;
        const char16_t* commandLine;
        DWORD error;
    } cases[] = {
        {u"CtlPnl.exe", u"cplmain.cpl 3,0", ERROR_FILE_NOT_FOUND},
        {nullptr, u"CtlPnl.exe cplmain.cpl 4,0", ERROR_FILE_NOT_FOUND},
        {u"PegHelp.exe", u"", ERROR_FILE_NOT_FOUND},  // nothing to open
        {nullptr, nullptr, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine ? Narrow(c.commandLine) : "no command line");
        std::u16string commandLine = c.commandLine ? c.commandLine : u"";
        PROCESS_INFORMATION info = {};
        SetLastError(0);
        EXPECT_FALSE(CreateProcessW(c.application, c.commandLine ? commandLine.data() : nullptr, nullptr, nullptr,
                                    FALSE, 0, nullptr, nullptr, nullptr, &info));
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(info.hProcess, nullptr);
    }
}

TEST_F(ProcessTest, AMissingOpenerFailsTheCall) {
    ScopedEnv missing("KESTRAVA_OPENER", Host("no-such-opener"));
    std::u16string commandLine = u"file:\\Windows\\Kestrava.htm";
    PROCESS_INFORMATION info = {};
    SetLastError(0);
    EXPECT_FALSE(CreateProcessW(u"PegHelp.exe", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                nullptr, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
