// System information (command 17000): one full-screen dialog with what the
// handheld is: its name, the system and processor, how memory splits between
// storage and programs and how much of each is free, the storage card and
// the main battery, drawn as three gauges. Memory is counted in 64 bits (the
// host's store and memory together pass 4 GB); a zero total gives 0 % and an
// empty bar. A charging battery shows the charge it reports. Main thread only.
#pragma once

#include <windows.h>

#include <string>

// What the dialog shows, gathered once when it opens.
struct SystemInfoValues {
    bool haveOem = false;
    WCHAR oem[256] = {};
    bool haveVersion = false;
    DWORD major = 0, minor = 0, build = 0;
    DWORD processorType = 0;
    ULONGLONG storeSize = 0, storeFree = 0;  // object store
    ULONGLONG totalPhys = 0, availPhys = 0;  // program memory
    double cardTotalMB = 0, cardFreeMB = 0;   // 0 total: no card
    BYTE batteryFlag = BATTERY_FLAG_UNKNOWN;
    BYTE batteryPercent = BATTERY_PERCENTAGE_UNKNOWN;
    DWORD batteryLifeTime = BATTERY_LIFE_UNKNOWN;  // seconds

    ULONGLONG TotalMemory() const { return storeSize + totalPhys; }
};

SystemInfoValues GatherSystemInfo();

// part / whole x 100 truncated to 0..100; 0 for an empty whole.
int PercentOf(ULONGLONG part, ULONGLONG whole);
int PercentOf(double part, double whole);
// The x where a bar of `percent` from x0 to x1 changes colour.
int BarSplit(int x0, int x1, int percent);

// The texts of the dialog (strings from the program's resources).
LPCWSTR ProcessorName(DWORD processorType);
// "Microsoft Windows CE 3.00 [Build 11171]"; no brackets for build 0.
std::u16string SystemLine(DWORD major, DWORD minor, DWORD build);
// "Processor: STRONGARM".
std::u16string ProcessorLine(DWORD processorType);
// The battery state by its flag: the charging bit names it whatever level
// bits come with it; otherwise High, Low, Critical or Unknown status.
std::u16string BatteryStateText(BYTE batteryFlag);
// "Battery life remaining 01:02:05"; empty when unknown.
std::u16string LifeRemainingText(DWORD seconds);
// Whether the battery row is shown: a percentage of 1 to 100.
bool BatteryShown(BYTE percent);

// How the memory gauge divides its width (tests read it).
struct MemoryGauge {
    int split = 0;               // x of the storage/program boundary
    int storageFreePercent = 0;  // of the store
    int programUsedPercent = 0;  // of physical memory
    int storageOfTotal = 0;      // free storage of total memory
    int programOfTotal = 0;      // available physical memory of total memory
};
MemoryGauge ComputeMemoryGauge(const SystemInfoValues& values, int left, int width);

// Runs dialog 608 over `owner`.
void ShowSystemInfo(HWND owner);
