// Memory, power and system information, and local memory. The device is a
// Windows CE 3.0 Pocket PC; memory figures come from /proc/meminfo (the file
// can be replaced through KESTRAVA_MEMINFO, which tests use), power
// from the host's power supplies in /sys/class/power_supply (the folder can
// be replaced through KESTRAVA_POWER_SUPPLY, which tests use), processor and
// page size from the host.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/display.h"
#include "windows.h"

namespace platform {
namespace {

// ---- Memory -----------------------------------------------------------------

// Values of /proc/meminfo-style files ("MemTotal:  8048576 kB") in bytes.
std::map<std::string, unsigned long long> ReadKilobyteTable(const char* path) {
    std::map<std::string, unsigned long long> values;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        unsigned long long kb = std::strtoull(line.c_str() + colon + 1, nullptr, 10);
        if (kb > UINT64_MAX / 1024) continue;
        values[line.substr(0, colon)] = kb * 1024;
    }
    return values;
}

SIZE_T ClampToSize(unsigned long long value) {
    return value > SIZE_MAX ? SIZE_MAX : static_cast<SIZE_T>(value);
}

// Top of the address space a program can use, as the device reports it.
constexpr uintptr_t kMinimumApplicationAddress = 0x10000;
constexpr uintptr_t kMaximumApplicationAddress =
    sizeof(void*) == 8 ? static_cast<uintptr_t>(0x00007FFFFFFEFFFFULL) : static_cast<uintptr_t>(0x7FFEFFFFUL);

// ---- Power ------------------------------------------------------------------

std::string ReadFirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

bool ReadNumber(const std::string& path, long long* value) {
    std::string text = ReadFirstLine(path);
    if (text.empty()) return false;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str()) return false;
    *value = v;
    return true;
}

struct Battery {
    int percent = -1;          // 0..100, -1 unknown
    std::string status;        // "Charging", "Discharging", "Full", "Not charging", "Unknown"
    long long secondsLeft = -1;
    long long secondsFull = -1;
};

// Remaining and full running time of a discharging battery, from its energy
// (µWh over µW) or charge (µAh over µA) figures, whichever the driver gives.
void EstimateLifetime(const std::string& folder, Battery* battery) {
    long long now = 0, full = 0, rate = 0;
    bool energy = ReadNumber(folder + "/energy_now", &now) && ReadNumber(folder + "/power_now", &rate);
    if (energy) {
        ReadNumber(folder + "/energy_full", &full);
    } else if (ReadNumber(folder + "/charge_now", &now) && ReadNumber(folder + "/current_now", &rate)) {
        ReadNumber(folder + "/charge_full", &full);
    } else {
        return;
    }
    rate = rate < 0 ? -rate : rate;  // some drivers report discharge as negative current
    if (rate <= 0 || now < 0) return;
    battery->secondsLeft = now * 3600 / rate;
    if (full > 0) battery->secondsFull = full * 3600 / rate;
}

bool ReadBattery(const std::string& folder, Battery* battery) {
    long long present = 1;
    if (ReadNumber(folder + "/present", &present) && present == 0) return false;
    // Batteries of a mouse or a headset ("scope" Device) are not the machine's.
    if (ReadFirstLine(folder + "/scope") == "Device") return false;
    long long capacity = -1;
    if (ReadNumber(folder + "/capacity", &capacity)) {
        battery->percent = static_cast<int>(std::clamp<long long>(capacity, 0, 100));
    } else {
        long long now = 0, full = 0;
        if ((ReadNumber(folder + "/energy_now", &now) && ReadNumber(folder + "/energy_full", &full)) ||
            (ReadNumber(folder + "/charge_now", &now) && ReadNumber(folder + "/charge_full", &full))) {
            if (full > 0 && now >= 0) battery->percent = static_cast<int>(std::min<long long>(now * 100 / full, 100));
        }
    }
    battery->status = ReadFirstLine(folder + "/status");
    if (battery->status == "Discharging") EstimateLifetime(folder, battery);
    return true;
}

BYTE BatteryLevelFlag(int percent) {
    // A handheld's battery driver always names one of the three levels, and
    // the system dialog shows the level by name, so the levels leave no gap.
    if (percent < 5) return BATTERY_FLAG_CRITICAL;
    if (percent < 33) return BATTERY_FLAG_LOW;
    return BATTERY_FLAG_HIGH;
}

DWORD LifetimeValue(long long seconds) {
    return seconds < 0 || seconds >= static_cast<long long>(BATTERY_LIFE_UNKNOWN) ? BATTERY_LIFE_UNKNOWN
                                                                                    : static_cast<DWORD>(seconds);
}

// ---- Version and parameters ---------------------------------------------------

constexpr DWORD kMajorVersion = 3;
constexpr DWORD kMinorVersion = 0;
constexpr DWORD kBuildNumber = 11171;  // the Pocket PC 2002 release of Windows CE 3.0
constexpr char16_t kOemInfo[] = u"Kestrava virtual device";
constexpr char16_t kPlatformType[] = u"PocketPC";

// Copies a text with its terminator into a buffer of `capacity` characters.
BOOL CopyParameterText(const char16_t* text, UINT capacity, PVOID data) {
    size_t length = std::char_traits<char16_t>::length(text);
    if (!data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (capacity < length + 1) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(data, text, (length + 1) * sizeof(char16_t));
    return TRUE;
}

}  // namespace
}  // namespace platform

void GlobalMemoryStatus(LPMEMORYSTATUS buffer) {
    if (!buffer) return;
    const char* table = std::getenv("KESTRAVA_MEMINFO");
    // An unreadable table reads as no memory at all, never as garbage.
    auto info = platform::ReadKilobyteTable(table && *table ? table : "/proc/meminfo");
    unsigned long long total = info["MemTotal"];
    unsigned long long available;
    if (info.count("MemAvailable")) {
        available = info["MemAvailable"];
    } else {
        // Kernels before 3.14 do not estimate it; free plus caches comes close.
        available = info["MemFree"] + info["Buffers"] + info["Cached"];
    }
    available = std::min(available, total);

    auto self = platform::ReadKilobyteTable("/proc/self/status");
    unsigned long long totalVirtual = platform::kMaximumApplicationAddress - platform::kMinimumApplicationAddress + 1;
    unsigned long long usedVirtual = std::min<unsigned long long>(self["VmSize"], totalVirtual);

    buffer->dwLength = sizeof(MEMORYSTATUS);
    buffer->dwMemoryLoad = total ? static_cast<DWORD>((total - available) * 100 / total) : 0;
    buffer->dwTotalPhys = platform::ClampToSize(total);
    buffer->dwAvailPhys = platform::ClampToSize(available);
    buffer->dwTotalPageFile = platform::ClampToSize(info["SwapTotal"]);
    buffer->dwAvailPageFile = platform::ClampToSize(std::min(info["SwapFree"], info["SwapTotal"]));
    buffer->dwTotalVirtual = platform::ClampToSize(totalVirtual);
    buffer->dwAvailVirtual = platform::ClampToSize(totalVirtual - usedVirtual);
}

BOOL GetSystemPowerStatusEx(PSYSTEM_POWER_STATUS_EX status, BOOL) {
    if (!status) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const char* configured = std::getenv("KESTRAVA_POWER_SUPPLY");
    std::string folder = configured && *configured ? configured : "/sys/class/power_supply";

    std::vector<std::string> supplies;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') supplies.push_back(entry->d_name);
        }
        closedir(dir);
    }
    std::sort(supplies.begin(), supplies.end());  // BAT0 before BAT1: the first is the main battery

    bool haveLine = false, lineOnline = false, haveBattery = false;
    platform::Battery battery;
    for (const std::string& name : supplies) {
        std::string path = folder + "/" + name;
        std::string type = platform::ReadFirstLine(path + "/type");
        if (type == "Battery") {
            if (!haveBattery) haveBattery = platform::ReadBattery(path, &battery);
        } else if (type == "Mains" || type == "USB" || type == "USB_C" || type == "USB_PD") {
            long long online = 0;
            haveLine = true;
            if (platform::ReadNumber(path + "/online", &online) && online != 0) lineOnline = true;
        }
    }

    *status = SYSTEM_POWER_STATUS_EX{};
    if (haveLine) {
        status->ACLineStatus = lineOnline ? AC_LINE_ONLINE : AC_LINE_OFFLINE;
    } else if (haveBattery && battery.status == "Discharging") {
        status->ACLineStatus = AC_LINE_OFFLINE;
    } else if (haveBattery && (battery.status == "Charging" || battery.status == "Full")) {
        status->ACLineStatus = AC_LINE_ONLINE;
    } else {
        status->ACLineStatus = AC_LINE_UNKNOWN;
    }

    if (haveBattery && battery.percent >= 0) {
        status->BatteryFlag =
            battery.status == "Charging" ? BATTERY_FLAG_CHARGING : platform::BatteryLevelFlag(battery.percent);
        status->BatteryLifePercent = static_cast<BYTE>(battery.percent);
    } else {
        // No battery the host can describe (a desktop, a virtual machine).
        status->BatteryFlag = BATTERY_FLAG_UNKNOWN;
        status->BatteryLifePercent = BATTERY_PERCENTAGE_UNKNOWN;
    }
    status->BatteryLifeTime = platform::LifetimeValue(battery.secondsLeft);
    status->BatteryFullLifeTime = platform::LifetimeValue(battery.secondsFull);
    // The host has no backup battery to report.
    status->BackupBatteryFlag = BATTERY_FLAG_UNKNOWN;
    status->BackupBatteryLifePercent = BATTERY_PERCENTAGE_UNKNOWN;
    status->BackupBatteryLifeTime = BATTERY_LIFE_UNKNOWN;
    status->BackupBatteryFullLifeTime = BATTERY_LIFE_UNKNOWN;
    return TRUE;
}

BOOL GetVersionExW(LPOSVERSIONINFOW versionInfo) {
    if (!versionInfo) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (versionInfo->dwOSVersionInfoSize < sizeof(OSVERSIONINFOW)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    versionInfo->dwMajorVersion = platform::kMajorVersion;
    versionInfo->dwMinorVersion = platform::kMinorVersion;
    versionInfo->dwBuildNumber = platform::kBuildNumber;
    versionInfo->dwPlatformId = VER_PLATFORM_WIN32_CE;
    versionInfo->szCSDVersion[0] = u'\0';
    return TRUE;
}

void GetSystemInfo(LPSYSTEM_INFO systemInfo) {
    if (!systemInfo) return;
    *systemInfo = SYSTEM_INFO{};
#if defined(__x86_64__)
    systemInfo->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
    systemInfo->dwProcessorType = PROCESSOR_AMD_X8664;
#elif defined(__i386__)
    systemInfo->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
    systemInfo->dwProcessorType = PROCESSOR_INTEL_PENTIUM;
#elif defined(__arm__) || defined(__aarch64__)
    // The handhelds' own processor family.
    systemInfo->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_ARM;
    systemInfo->dwProcessorType = PROCESSOR_STRONGARM;
#else
    systemInfo->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_UNKNOWN;
#endif
    long pageSize = sysconf(_SC_PAGESIZE);
    systemInfo->dwPageSize = pageSize > 0 ? static_cast<DWORD>(pageSize) : 4096;
    systemInfo->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(platform::kMinimumApplicationAddress);
    systemInfo->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(platform::kMaximumApplicationAddress);
    long processors = sysconf(_SC_NPROCESSORS_ONLN);
    if (processors < 1) processors = 1;
    systemInfo->dwNumberOfProcessors = static_cast<DWORD>(processors);
    const int maskBits = static_cast<int>(sizeof(DWORD_PTR) * 8);
    systemInfo->dwActiveProcessorMask =
        processors >= maskBits ? ~DWORD_PTR{0} : (DWORD_PTR{1} << processors) - 1;
    systemInfo->dwAllocationGranularity = 64 * 1024;

#if defined(__x86_64__) || defined(__i386__)
    // Family, model and stepping, as the desktop reports an x86 processor.
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    long family = -1, model = -1, stepping = -1;
    while (std::getline(cpuinfo, line) && line.find_first_not_of(" \t") != std::string::npos) {
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string key = line.substr(0, line.find_last_not_of(" \t", colon - 1) + 1);
        long value = std::strtol(line.c_str() + colon + 1, nullptr, 10);
        if (key == "cpu family") family = value;
        if (key == "model") model = value;
        if (key == "stepping") stepping = value;
    }
    if (family >= 0) systemInfo->wProcessorLevel = static_cast<WORD>(family);
    if (model >= 0 && stepping >= 0) {
        systemInfo->wProcessorRevision = static_cast<WORD>(((model & 0xFF) << 8) | (stepping & 0xFF));
    }
#endif
}

BOOL SystemParametersInfoW(UINT action, UINT param, PVOID data, UINT) {
    switch (action) {
    case SPI_GETOEMINFO:
        return platform::CopyParameterText(platform::kOemInfo, param, data);
    case SPI_GETPLATFORMTYPE:
        return platform::CopyParameterText(platform::kPlatformType, param, data);
    case SPI_GETWORKAREA:
        // The window manager knows the screen and the navigation bar.
        if (!data) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        platform::GetWorkArea(static_cast<RECT*>(data));
        return TRUE;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
}

// ---- Local memory -------------------------------------------------------------

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
    // A zero-byte block is still a distinct, freeable block.
    size_t size = bytes == 0 ? 1 : bytes;
    void* memory = (flags & LMEM_ZEROINIT) ? std::calloc(1, size) : std::malloc(size);
    if (!memory) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return memory;
}

HLOCAL LocalFree(HLOCAL memory) {
    std::free(memory);
    return nullptr;
}
