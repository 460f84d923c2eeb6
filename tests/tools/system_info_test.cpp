// System information: test batteries in the kernel's power-supply layout
// (charging, discharging with a known time left, none, critical, garbage),
// memory tables that are huge, empty or unreadable, the processor table, the
// system line, the gauges' arithmetic, and the dialog itself.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "gwes_fixture.h"
#include "platform/wstr.h"
#include "res/resource.h"
#include "tools/system_info.h"

namespace {

namespace fs = std::filesystem;

// Points the kernel at a test battery and a memory table for one test.
class SystemInfoTest : public gwes_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        supplies_ = root_ + "-power";
        fs::create_directories(supplies_);
        setenv("KESTRAVA_POWER_SUPPLY", supplies_.c_str(), 1);
        meminfo_ = root_ + "-meminfo";
        std::ofstream(meminfo_) << "MemTotal:       65536 kB\nMemFree:         1024 kB\nMemAvailable:   16384 kB\n";
        setenv("KESTRAVA_MEMINFO", meminfo_.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("KESTRAVA_POWER_SUPPLY");
        unsetenv("KESTRAVA_MEMINFO");
        std::error_code ignored;
        fs::remove_all(supplies_, ignored);
        fs::remove(meminfo_, ignored);
        WindowTest::TearDown();
    }
    // A supply folder with the given files ("name=value").
    void Supply(const std::string& name, const std::vector<std::pair<std::string, std::string>>& files) {
        fs::create_directories(supplies_ + "/" + name);
        for (const auto& [file, value] : files) std::ofstream(supplies_ + "/" + name + "/" + file) << value;
    }

    std::string supplies_;
    std::string meminfo_;
};

TEST_F(SystemInfoTest, TestBatteries) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files;  // of BAT0; none: no battery
        bool shown;
        int percent;
        const char16_t* state;
        const char16_t* life;
    } cases[] = {
        {"charging at 75 %", {{"type", "Battery\n"}, {"capacity", "75\n"}, {"status", "Charging\n"}},
         true, 75, u"Charging", u""},
        {"discharging with 3725 s left",
         {{"type", "Battery"}, {"capacity", "50"}, {"status", "Discharging"}, {"energy_now", "3725000"},
          {"power_now", "3600000"}, {"energy_full", "7450000"}},
         true, 50, u"High", u"Battery life remaining 01:02:05"},
        {"none", {}, false, 255, u"Unknown status", u""},
        {"critical", {{"type", "Battery"}, {"capacity", "3"}, {"status", "Discharging"}},
         true, 3, u"Critical", u""},
        {"garbage", {{"type", "Battery"}, {"capacity", "\xff\xfe lots"}, {"status", "\x01\x02"},
                     {"energy_now", "99999999999999999999999"}, {"power_now", "-0"}},
         false, 255, u"Unknown status", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(supplies_);
        fs::create_directories(supplies_);
        if (!c.files.empty()) Supply("BAT0", c.files);
        Supply("AC", {{"type", "Mains"}, {"online", "1"}});
        const SystemInfoValues values = GatherSystemInfo();
        EXPECT_EQ(BatteryShown(values.batteryPercent), c.shown);
        EXPECT_EQ(values.batteryPercent, c.percent);
        EXPECT_EQ(BatteryStateText(values.batteryFlag), c.state);
        EXPECT_EQ(LifeRemainingText(values.batteryLifeTime), c.life);
    }
    // The charging bit names the state whatever level bits come with it.
    EXPECT_EQ(BatteryStateText(BATTERY_FLAG_CHARGING | BATTERY_FLAG_LOW), u"Charging");
    EXPECT_EQ(BatteryStateText(BATTERY_FLAG_LOW), u"Low");
    EXPECT_EQ(BatteryStateText(BATTERY_FLAG_NO_BATTERY), u"Unknown status");
    EXPECT_EQ(LifeRemainingText(0), u"Battery life remaining 00:00:00");
    EXPECT_EQ(LifeRemainingText(360000), u"Battery life remaining 100:00:00");
    EXPECT_FALSE(BatteryShown(0));
    EXPECT_TRUE(BatteryShown(100));
    EXPECT_FALSE(BatteryShown(101));
}

TEST_F(SystemInfoTest, ProcessorTableAndSystemLine) {
    const struct {
        DWORD type;
        const char16_t* name;
    } processors[] = {
        {403, u"PPC 403"},       {1824, u"ARM720"},       {2577, u"STRONGARM"}, {4000, u"MIPS R4000"},
        {10003, u"HITACHI SH3"}, {10005, u"HITACHI SH4"}, {8664, u"UNKNOWN"},   {0, u"UNKNOWN"},
    };
    for (const auto& p : processors) EXPECT_EQ(std::u16string(ProcessorName(p.type)), p.name) << p.type;
    EXPECT_EQ(ProcessorLine(2577), u"Processor: STRONGARM");
    EXPECT_EQ(SystemLine(3, 0, 0), u"Microsoft Windows CE 3.00");
    EXPECT_EQ(SystemLine(3, 0, 11171), u"Microsoft Windows CE 3.00 [Build 11171]");
    EXPECT_EQ(SystemLine(4, 21, 7), u"Microsoft Windows CE 4.21 [Build 7]");
}

TEST_F(SystemInfoTest, GaugesCountIn64BitsAndEmptyTotalsGiveEmptyBars) {
    SystemInfoValues values;
    // Store plus memory pass 4 GB.
    values.storeSize = 0xFFFFFFFFULL;
    values.storeFree = 0x80000000ULL;
    values.totalPhys = 12ULL << 30;
    values.availPhys = 3ULL << 30;
    MemoryGauge gauge = ComputeMemoryGauge(values, 10, 230);
    EXPECT_EQ(gauge.split, 10 + 24 * 2);  // 24 % of the total, width / 100 = 2
    EXPECT_EQ(gauge.storageFreePercent, 50);
    EXPECT_EQ(gauge.programUsedPercent, 75);
    EXPECT_EQ(gauge.storageOfTotal, 12);
    EXPECT_EQ(gauge.programOfTotal, 18);

    gauge = ComputeMemoryGauge(SystemInfoValues{}, 10, 230);
    EXPECT_EQ(gauge.split, 10);
    EXPECT_EQ(gauge.storageFreePercent, 0);
    EXPECT_EQ(gauge.programUsedPercent, 0);
    EXPECT_EQ(gauge.storageOfTotal, 0);
    EXPECT_EQ(gauge.programOfTotal, 0);
    EXPECT_EQ(PercentOf(0.0, 0.0), 0);
    EXPECT_EQ(PercentOf(1.0, std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(PercentOf(5.0, std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(PercentOf(ULONGLONG(7), ULONGLONG(0)), 0);
    EXPECT_EQ(BarSplit(10, 110, 75), 85);
    EXPECT_EQ(BarSplit(10, 110, 0), 10);
    EXPECT_EQ(BarSplit(10, 110, 100), 110);
}

TEST_F(SystemInfoTest, MemoryTablesThatAreHugeEmptyOrUnreadable) {
    struct Case {
        const char* name;
        const char* text;  // null: no file at all
        ULONGLONG total, available;
    } cases[] = {
        {"a host past 4 GB", "MemTotal: 16777216 kB\nMemAvailable: 4194304 kB\n", 16ULL << 30, 4ULL << 30},
        {"unreadable", nullptr, 0, 0},
        {"empty", "", 0, 0},
        {"garbage", "MemTotal: lots kB\nMemAvailable: 99999999999999999999999 kB\n:\n\xff", 0, 0},
        {"more available than there is", "MemTotal: 1024 kB\nMemAvailable: 4096 kB\n", 1ULL << 20, 1ULL << 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(meminfo_);
        if (c.text) std::ofstream(meminfo_) << c.text;
        const SystemInfoValues values = GatherSystemInfo();
        EXPECT_EQ(values.totalPhys, c.total);
        EXPECT_EQ(values.availPhys, c.available);
        const MemoryGauge gauge = ComputeMemoryGauge(values, 0, 200);
        EXPECT_GE(gauge.programUsedPercent, 0);
        EXPECT_LE(gauge.programUsedPercent, 100);
    }
}

// The dialog: one tick of a thread timer reads it and closes it.
struct DialogProbe {
    bool seen = false;
    std::u16string battery, system, processor, card;
    bool batteryVisible = false;
    bool stayedAfterSettings = false;
};
DialogProbe* g_probe = nullptr;

std::u16string ItemText(HWND dialog, int id) {
    WCHAR text[256] = {};
    GetDlgItemTextW(dialog, id, text, 256);
    return text;
}

void CALLBACK ProbeDialog(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = GetActiveWindow();
    if (!g_probe || g_probe->seen || !dialog || !GetDlgItem(dialog, IDC_SI_BATTERY)) return;
    g_probe->seen = true;
    g_probe->battery = ItemText(dialog, IDC_SI_BATTERY);
    g_probe->system = ItemText(dialog, IDC_SI_SYSTEM);
    g_probe->processor = ItemText(dialog, IDC_SI_PROCESSOR);
    g_probe->card = ItemText(dialog, IDC_SI_CARD);
    g_probe->batteryVisible = IsWindowVisible(GetDlgItem(dialog, IDC_SI_BATTERY_GAUGE));
    // The control panel is absent: nothing happens and the dialog stays.
    SendMessageW(dialog, WM_COMMAND, IDC_SI_BATTERY_SETTINGS, 0);
    SendMessageW(dialog, WM_COMMAND, IDC_SI_MEMORY_SETTINGS, 0);
    g_probe->stayedAfterSettings = IsWindow(dialog);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

TEST_F(SystemInfoTest, DialogShowsTheRealChargeAndHidesAMissingBattery) {
    for (bool battery : {true, false}) {
        SCOPED_TRACE(battery ? "charging at 75 %" : "no battery");
        fs::remove_all(supplies_);
        fs::create_directories(supplies_);
        if (battery) Supply("BAT0", {{"type", "Battery"}, {"capacity", "75"}, {"status", "Charging"}});
        DialogProbe probe;
        g_probe = &probe;
        UINT_PTR timer = SetTimer(nullptr, 0, 20, ProbeDialog);
        ShowSystemInfo(nullptr);
        KillTimer(nullptr, timer);
        g_probe = nullptr;
        ASSERT_TRUE(probe.seen);
        EXPECT_EQ(probe.batteryVisible, battery);
        if (battery) {
            EXPECT_EQ(probe.battery, u"75%");
        }
        EXPECT_EQ(probe.system, u"Microsoft Windows CE 3.00 [Build 11171]");
        EXPECT_EQ(probe.processor.substr(0, 11), u"Processor: ");
        EXPECT_EQ(probe.card.substr(0, 6), u"Total ");
        EXPECT_TRUE(probe.stayedAfterSettings);
    }
}

}  // namespace
