// The system information dialog: the values, their texts and the gauges.
#include "tools/system_info.h"

#include <aygshell.h>

#include <cstdio>

#include "app/dialog_base.h"
#include "app/shell_helpers.h"
#include "res/resource.h"

namespace {

constexpr double kMegabyte = 1048576.0;

// The gauges' geometry at 96 dots per inch; doubled on the large screens.
constexpr int kBarHeight = 14;
constexpr int kBarRowOffset = 10;   // from the headings to the bar row
constexpr int kTextInset = 2;       // the percentages over the bar
constexpr int kLineOffset = 12;     // from the percentages to the sizes
constexpr int kFontHeight = -9;
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);

struct ProcessorRow {
    DWORD type;
    const WCHAR* name;
};
constexpr ProcessorRow kProcessors[] = {
    {403, u"PPC 403"},          {1824, u"ARM720"},       {2577, u"STRONGARM"},
    {4000, u"MIPS R4000"},      {10003, u"HITACHI SH3"}, {10005, u"HITACHI SH4"},
};

std::u16string Ascii(const char* text) {
    std::u16string out;
    for (const char* p = text; *p; ++p) out += static_cast<char16_t>(static_cast<unsigned char>(*p));
    return out;
}

std::u16string Number(long long value, int width = 0) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*lld", width, value);
    return Ascii(buffer);
}

// "%.1fMB of %.1fMB free".
std::u16string SizeText(double freeMB, double totalMB) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%.1fMB of %.1fMB ", freeMB, totalMB);
    return Ascii(buffer) + LoadResString(IDS_SI_FREE);
}

std::u16string PercentText(int percent) { return Number(percent) + u"%"; }

void FillBar(HDC dc, int x0, int x1, int top, int height, int percent, COLORREF first, COLORREF second) {
    if (x1 <= x0) return;
    const int split = BarSplit(x0, x1, percent);
    RECT left = {x0, top, split, top + height};
    RECT right = {split, top, x1, top + height};
    HBRUSH firstBrush = CreateSolidBrush(first);
    HBRUSH secondBrush = CreateSolidBrush(second);
    if (split > x0) FillRect(dc, &left, firstBrush);
    if (x1 > split) FillRect(dc, &right, secondBrush);
    DeleteObject(firstBrush);
    DeleteObject(secondBrush);
}

void Text(HDC dc, const std::u16string& text, int left, int top, int right, UINT align) {
    RECT r = {left, top, right, top + 64};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, align | DT_SINGLELINE | DT_NOPREFIX | DT_TOP);
}

class SystemInfoDialog : public DialogBase {
public:
    explicit SystemInfoDialog(HWND owner) : DialogBase(IDD_SYSTEM_INFO, owner) {}
    ~SystemInfoDialog() override {
        if (font_) DeleteObject(font_);
        if (boldFont_) DeleteObject(boldFont_);
    }

    LRESULT OnInitDialog() override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void MakeFonts(HDC dc);
    void DrawMemory(HDC dc, const RECT& r);
    void DrawCard(HDC dc, const RECT& r);
    void DrawBattery(HDC dc, const RECT& r);

    SystemInfoValues values_;
    int scale_ = 1;
    HFONT font_ = nullptr;
    HFONT boldFont_ = nullptr;
};

LRESULT SystemInfoDialog::OnInitDialog() {
    DialogBase::OnInitDialog();
    values_ = GatherSystemInfo();
    for (int id : {IDC_SI_DEVICE_LABEL, IDC_SI_SYSTEM_LABEL, IDC_SI_MEMORY_LABEL, IDC_SI_CARD_LABEL,
                   IDC_SI_BATTERY_LABEL}) {
        MakeBold(id);
    }
    if (values_.haveOem) SetDlgItemTextW(hwnd_, IDC_SI_DEVICE, values_.oem);
    if (values_.haveVersion) {
        SetDlgItemTextW(hwnd_, IDC_SI_SYSTEM, SystemLine(values_.major, values_.minor, values_.build).c_str());
    }
    SetDlgItemTextW(hwnd_, IDC_SI_PROCESSOR, ProcessorLine(values_.processorType).c_str());
    std::u16string total = LoadResString(IDS_SI_TOTAL);
    SetDlgItemTextW(hwnd_, IDC_SI_MEMORY,
                    (total + u" " + Number(static_cast<long long>(values_.TotalMemory() / 1048576)) + u"MB").c_str());
    if (values_.cardTotalMB > 0) {
        SetDlgItemTextW(hwnd_, IDC_SI_CARD,
                        (total + u" " + Number(static_cast<long long>(values_.cardTotalMB)) + u"MB").c_str());
    } else {
        SetDlgItemTextW(hwnd_, IDC_SI_CARD, LoadResString(IDS_SI_NOT_INSTALLED));
    }
    if (BatteryShown(values_.batteryPercent)) {
        SetDlgItemTextW(hwnd_, IDC_SI_BATTERY, PercentText(values_.batteryPercent).c_str());
    } else {
        for (int id : {IDC_SI_BATTERY_LABEL, IDC_SI_BATTERY, IDC_SI_BATTERY_GAUGE}) {
            ShowWindow(GetDlgItem(hwnd_, id), SW_HIDE);
        }
    }
    for (int id : {IDC_SI_MEMORY_GAUGE, IDC_SI_CARD_GAUGE, IDC_SI_BATTERY_GAUGE}) {
        InvalidateRect(GetDlgItem(hwnd_, id), nullptr, TRUE);
    }
    InitFullScreenDialog(hwnd_, SHIDIF_DONEBUTTON | SHIDIF_SIPDOWN | SHIDIF_SIZEDLGFULLSCREEN);
    return TRUE;
}

bool SystemInfoDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    if (id == IDC_SI_BATTERY_SETTINGS || id == IDC_SI_MEMORY_SETTINGS) {
        // The control panel's pages; a device without it simply has none,
        // and the dialog stays.
        WCHAR commandLine[32];
        lstrcpynW(commandLine, id == IDC_SI_BATTERY_SETTINGS ? u"cplmain.cpl 3,0" : u"cplmain.cpl 4,0", 32);
        PROCESS_INFORMATION process = {};
        if (CreateProcessW(u"CtlPnl.exe", commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                           &process)) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        return true;
    }
    if (id == IDC_SI_MEMORY_GAUGE || id == IDC_SI_CARD_GAUGE || id == IDC_SI_BATTERY_GAUGE) return true;
    return DialogBase::OnCommand(wParam, lParam);
}

LRESULT SystemInfoDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DRAWITEM) {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (wParam == IDC_SI_MEMORY_GAUGE || wParam == IDC_SI_CARD_GAUGE || wParam == IDC_SI_BATTERY_GAUGE) {
            HDC dc = item->hDC;
            MakeFonts(dc);
            FillRect(dc, &item->rcItem, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            const int savedMode = SetBkMode(dc, TRANSPARENT);
            const COLORREF savedColour = SetTextColor(dc, RGB(0, 0, 0));
            HGDIOBJ savedFont = SelectObject(dc, font_);
            if (wParam == IDC_SI_MEMORY_GAUGE) DrawMemory(dc, item->rcItem);
            if (wParam == IDC_SI_CARD_GAUGE) DrawCard(dc, item->rcItem);
            if (wParam == IDC_SI_BATTERY_GAUGE) DrawBattery(dc, item->rcItem);
            SelectObject(dc, savedFont);
            SetTextColor(dc, savedColour);
            SetBkMode(dc, savedMode);
            return TRUE;
        }
    }
    return DialogBase::WindowProc(message, wParam, lParam);
}

void SystemInfoDialog::MakeFonts(HDC dc) {
    if (font_) return;
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    scale_ = dpi >= 192 ? 2 : 1;
    LOGFONTW font = {};
    if (GetObjectW(GetStockObject(SYSTEM_FONT), sizeof font, &font) != sizeof font) {
        font = LOGFONTW{};
        lstrcpynW(font.lfFaceName, u"Tahoma", LF_FACESIZE);
    }
    font.lfHeight = kFontHeight * scale_;
    font.lfWidth = 0;
    font.lfWeight = FW_NORMAL;
    font_ = CreateFontIndirectW(&font);
    font.lfWeight = FW_BOLD;
    boldFont_ = CreateFontIndirectW(&font);
}

void SystemInfoDialog::DrawMemory(HDC dc, const RECT& r) {
    const int s = scale_;
    const int width = r.right - r.left;
    const MemoryGauge gauge = ComputeMemoryGauge(values_, r.left, width);
    SelectObject(dc, boldFont_);
    Text(dc, LoadResString(IDS_SI_STORAGE), r.left, r.top, r.right, DT_LEFT);
    Text(dc, LoadResString(IDS_SI_PROGRAM), r.left, r.top, r.right, DT_RIGHT);
    SelectObject(dc, font_);
    const int bar = r.top + kBarRowOffset * s;
    FillBar(dc, r.left, gauge.split, bar, kBarHeight * s, gauge.storageFreePercent, kGreen, kRed);
    FillBar(dc, gauge.split, r.right, bar, kBarHeight * s, gauge.programUsedPercent, kRed, kGreen);
    const int inset = kTextInset * s;
    Text(dc, PercentText(gauge.storageOfTotal), r.left + inset, bar + inset, r.right, DT_LEFT);
    Text(dc, PercentText(gauge.programOfTotal), r.left, bar + inset, r.right - inset, DT_RIGHT);
    const int sizes = bar + inset + kLineOffset * s;
    const std::u16string storage = SizeText(values_.storeFree / kMegabyte, values_.storeSize / kMegabyte);
    const std::u16string program = SizeText(values_.availPhys / kMegabyte, values_.totalPhys / kMegabyte);
    Text(dc, storage, r.left, sizes, r.right, DT_LEFT);
    // Sizes of gigabytes do not fit side by side: the program's goes below.
    SIZE left = {}, right = {};
    GetTextExtentPoint32W(dc, storage.c_str(), static_cast<int>(storage.size()), &left);
    GetTextExtentPoint32W(dc, program.c_str(), static_cast<int>(program.size()), &right);
    const bool fits = left.cx + right.cx + 2 * inset <= width;
    Text(dc, program, r.left, fits ? sizes : sizes + kLineOffset * s, r.right, DT_RIGHT);
}

void SystemInfoDialog::DrawCard(HDC dc, const RECT& r) {
    if (!(values_.cardTotalMB > 0)) return;
    const int s = scale_;
    const int percent = PercentOf(values_.cardFreeMB, values_.cardTotalMB);
    FillBar(dc, r.left, r.right, r.top, kBarHeight * s, percent, kGreen, kRed);
    const int line = r.top + (kBarHeight + kTextInset) * s;
    Text(dc, PercentText(percent), r.left, line, r.right, DT_LEFT);
    Text(dc, SizeText(values_.cardFreeMB, values_.cardTotalMB), r.left, line, r.right, DT_RIGHT);
}

void SystemInfoDialog::DrawBattery(HDC dc, const RECT& r) {
    if (!BatteryShown(values_.batteryPercent)) return;
    const int s = scale_;
    FillBar(dc, r.left, r.right, r.top, kBarHeight * s, values_.batteryPercent, kGreen, kRed);
    int line = r.top + (kBarHeight + kTextInset) * s;
    Text(dc, BatteryStateText(values_.batteryFlag), r.left, line, r.right, DT_LEFT);
    const std::u16string life = LifeRemainingText(values_.batteryLifeTime);
    if (!life.empty()) Text(dc, life, r.left, line + kLineOffset * s, r.right, DT_LEFT);
}

}  // namespace

SystemInfoValues GatherSystemInfo() {
    SystemInfoValues values;
    values.haveOem = SystemParametersInfoW(SPI_GETOEMINFO, 255, values.oem, 0) != FALSE;
    if (!values.haveOem) values.oem[0] = 0;
    values.oem[255] = 0;
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExW(&version)) {
        values.haveVersion = true;
        values.major = version.dwMajorVersion;
        values.minor = version.dwMinorVersion;
        values.build = version.dwBuildNumber;
    }
    SYSTEM_INFO system = {};
    GetSystemInfo(&system);
    values.processorType = system.dwProcessorType;
    STORE_INFORMATION store = {};
    if (GetStoreInformation(&store)) {
        values.storeSize = store.dwStoreSize;
        values.storeFree = store.dwFreeSize;
    }
    MEMORYSTATUS memory = {};
    memory.dwLength = sizeof memory;
    GlobalMemoryStatus(&memory);
    values.totalPhys = memory.dwTotalPhys;
    values.availPhys = memory.dwAvailPhys < memory.dwTotalPhys ? memory.dwAvailPhys : memory.dwTotalPhys;
    // The storage card: the first entry of the root with the temporary attribute.
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(u"\\*", &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_TEMPORARY)) continue;
            WCHAR card[MAX_PATH] = u"\\";
            lstrcpynW(card + 1, found.cFileName, MAX_PATH - 1);
            ULARGE_INTEGER available = {}, total = {}, free = {};
            if (GetDiskFreeSpaceExW(card, &available, &total, &free)) {
                values.cardTotalMB = static_cast<double>(total.QuadPart) / kMegabyte;
                values.cardFreeMB = static_cast<double>(available.QuadPart) / kMegabyte;
            }
            break;
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    SYSTEM_POWER_STATUS_EX power = {};
    if (GetSystemPowerStatusEx(&power, TRUE)) {
        values.batteryFlag = power.BatteryFlag;
        values.batteryPercent = power.BatteryLifePercent;
        values.batteryLifeTime = power.BatteryLifeTime;
    }
    return values;
}

int PercentOf(ULONGLONG part, ULONGLONG whole) {
    if (whole == 0) return 0;
    if (part >= whole) return 100;
    return static_cast<int>(static_cast<double>(part) * 100.0 / static_cast<double>(whole));
}

int PercentOf(double part, double whole) {
    // Also false for a NaN: no value turns into an integer it cannot be.
    if (!(whole > 0) || !(part > 0)) return 0;
    if (part >= whole) return 100;
    return static_cast<int>(part * 100.0 / whole);
}

int BarSplit(int x0, int x1, int percent) {
    if (percent < 0) percent = 0;
    if (percent > 100) percent = 100;
    return x0 + static_cast<int>(static_cast<float>(x1 - x0) * 0.01f * static_cast<float>(percent));
}

LPCWSTR ProcessorName(DWORD processorType) {
    for (const ProcessorRow& row : kProcessors) {
        if (row.type == processorType) return row.name;
    }
    return LoadResString(IDS_SI_UNKNOWN_PROCESSOR);
}

std::u16string SystemLine(DWORD major, DWORD minor, DWORD build) {
    std::u16string line = u"Microsoft Windows CE " + Number(major) + u"." + Number(minor, 2);
    if (build != 0) line += u" [" + std::u16string(LoadResString(IDS_SI_BUILD)) + u" " + Number(build) + u"]";
    return line;
}

std::u16string ProcessorLine(DWORD processorType) {
    std::u16string line = LoadResString(IDS_SI_PROCESSOR);
    return line + u": " + ProcessorName(processorType);
}

std::u16string BatteryStateText(BYTE batteryFlag) {
    UINT id = IDS_SI_UNKNOWN_STATUS;
    if (batteryFlag != BATTERY_FLAG_UNKNOWN && (batteryFlag & BATTERY_FLAG_CHARGING)) {
        id = IDS_SI_CHARGING;
    } else if (batteryFlag == BATTERY_FLAG_HIGH) {
        id = IDS_SI_HIGH;
    } else if (batteryFlag == BATTERY_FLAG_LOW) {
        id = IDS_SI_LOW;
    } else if (batteryFlag == BATTERY_FLAG_CRITICAL) {
        id = IDS_SI_CRITICAL;
    }
    return LoadResString(id);
}

std::u16string LifeRemainingText(DWORD seconds) {
    if (seconds == BATTERY_LIFE_UNKNOWN) return {};
    return std::u16string(LoadResString(IDS_SI_LIFE_REMAINING)) + u" " + Number(seconds / 3600, 2) + u":" +
           Number(seconds / 60 % 60, 2) + u":" + Number(seconds % 60, 2);
}

bool BatteryShown(BYTE percent) { return percent >= 1 && percent <= 100; }

MemoryGauge ComputeMemoryGauge(const SystemInfoValues& values, int left, int width) {
    MemoryGauge gauge;
    const ULONGLONG total = values.TotalMemory();
    const int storeShare = PercentOf(values.storeSize, total);
    gauge.split = left + storeShare * (width / 100);
    gauge.storageFreePercent = PercentOf(values.storeFree, values.storeSize);
    gauge.programUsedPercent =
        values.totalPhys ? static_cast<int>(100.0 - static_cast<double>(values.availPhys) * 100.0 /
                                                        static_cast<double>(values.totalPhys))
                         : 0;
    if (gauge.programUsedPercent < 0) gauge.programUsedPercent = 0;
    gauge.storageOfTotal = PercentOf(values.storeFree, total);
    gauge.programOfTotal = PercentOf(values.availPhys, total);
    return gauge;
}

void ShowSystemInfo(HWND owner) {
    SystemInfoDialog dialog(owner);
    dialog.DoModal();
}
