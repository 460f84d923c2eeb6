// The thumbnail bar's tests: a headless screen and device root, the image
// library with the display adjustment, a TestViewerHost standing in for the
// main frame, and a bar created as its child with the size a test asks for.
// Helpers write small BMP files, wait for the loader, and record what the
// image library allocates (a budget of DIB bytes makes a decode run out of
// memory for real).
#pragma once

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "album/thumbnail_bar.h"
#include "app/window_base.h"
#include "gwes_fixture.h"
#include "image/image_library.h"
#include "image/image_memory.h"
#include "platform/wstr.h"
#include "view/display_adjustment.h"
#include "view/picture_view.h"
#include "viewer_host_fixture.h"

namespace thumbnail_test {

constexpr const WCHAR* kPaneClass = u"KestravaTestPane";

// 24-bit BMP bytes of width x height; pixel (x, y) = (seed + x, seed + y, seed).
inline std::vector<BYTE> BmpBytes(int width, int height, int seed = 0) {
    const int stride = (width * 3 + 3) & ~3;
    const DWORD imageSize = DWORD(stride * height);
    std::vector<BYTE> bytes(54 + imageSize, 0);
    auto put16 = [&](size_t at, unsigned v) {
        bytes[at] = BYTE(v);
        bytes[at + 1] = BYTE(v >> 8);
    };
    auto put32 = [&](size_t at, DWORD v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = BYTE(v >> (8 * i));
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, DWORD(bytes.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, DWORD(width));
    put32(22, DWORD(height));
    put16(26, 1);
    put16(28, 24);
    put32(34, imageSize);
    for (int y = 0; y < height; ++y) {
        BYTE* row = bytes.data() + 54 + size_t(y) * stride;
        for (int x = 0; x < width; ++x) {
            row[x * 3] = BYTE(seed);
            row[x * 3 + 1] = BYTE(seed + (height - 1 - y));
            row[x * 3 + 2] = BYTE(seed + x);
        }
    }
    return bytes;
}

inline void WriteFileBytes(const std::u16string& path, const std::vector<BYTE>& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << platform::Utf16ToUtf8(path);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr));
    CloseHandle(file);
}

// The image library's DIB sections, counted: a budget (0 = none) refuses a
// section that would take the live total above it, as a full memory would.
// Deleted sections are logged in order.
class DibLedger {
public:
    static DibLedger& Instance() {
        static DibLedger ledger;
        return ledger;
    }
    void Install(size_t budget) {
        std::lock_guard<std::mutex> guard(lock_);
        budget_ = budget;
        live_.clear();
        total_ = 0;
        deleted_.clear();
        RegisterAllocationHooks(nullptr, 0, nullptr, &Create, &Delete);
    }
    void Remove() {
        RegisterAllocationHooks(nullptr, 0, nullptr, nullptr, nullptr);
        onCreate = nullptr;
    }
    // Called (on the allocating thread, outside the ledger's lock) before
    // each section is made; set it before the loader runs.
    std::function<void(const BITMAPINFOHEADER&)> onCreate;
    void SetBudget(size_t budget) {
        std::lock_guard<std::mutex> guard(lock_);
        budget_ = budget;
    }
    size_t Total() {
        std::lock_guard<std::mutex> guard(lock_);
        return total_;
    }
    std::vector<HBITMAP> Deleted() {
        std::lock_guard<std::mutex> guard(lock_);
        return deleted_;
    }

private:
    static size_t SizeOf(const BITMAPINFO* info) {
        const BITMAPINFOHEADER& h = info->bmiHeader;
        const size_t stride = ((size_t(h.biBitCount) * size_t(std::abs(h.biWidth)) + 31) / 32) * 4;
        return stride * size_t(std::abs(h.biHeight));
    }
    static HBITMAP Create(HDC dc, const BITMAPINFO* info, void** pixels) {
        DibLedger& self = Instance();
        const size_t size = SizeOf(info);
        if (self.onCreate) self.onCreate(info->bmiHeader);
        std::lock_guard<std::mutex> guard(self.lock_);
        if (self.budget_ && self.total_ + size > self.budget_) return nullptr;
        HBITMAP bitmap = CreateDIBSection(dc, info, DIB_RGB_COLORS, pixels, nullptr, 0);
        if (bitmap) {
            self.live_[bitmap] = size;
            self.total_ += size;
        }
        return bitmap;
    }
    static BOOL Delete(HGDIOBJ object) {
        DibLedger& self = Instance();
        {
            std::lock_guard<std::mutex> guard(self.lock_);
            auto found = self.live_.find(static_cast<HBITMAP>(object));
            if (found != self.live_.end()) {
                self.total_ -= found->second;
                self.live_.erase(found);
                self.deleted_.push_back(static_cast<HBITMAP>(object));
            }
        }
        return DeleteObject(object);
    }

    std::mutex lock_;
    size_t budget_ = 0;
    size_t total_ = 0;
    std::map<HBITMAP, size_t> live_;
    std::vector<HBITMAP> deleted_;
};

// Records the messages windows receive (main thread only): each spied window
// is subclassed, and what it is sent or posted is logged before its own
// procedure runs.
class MessageSpy {
public:
    struct Seen {
        HWND window;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    static MessageSpy& Instance() {
        static MessageSpy spy;
        return spy;
    }
    void Watch(HWND window) {
        procs_[window] = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWL_WNDPROC));
        SetWindowLongPtrW(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc));
    }
    void Reset() {
        procs_.clear();
        seen_.clear();
    }
    // The messages of one kind a window received, in order.
    std::vector<Seen> Of(HWND window, UINT message) const {
        std::vector<Seen> out;
        for (const Seen& s : seen_) {
            if (s.window == window && s.message == message) out.push_back(s);
        }
        return out;
    }
    void Clear() { seen_.clear(); }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        MessageSpy& self = Instance();
        self.seen_.push_back({window, message, wParam, lParam});
        auto found = self.procs_.find(window);
        if (found == self.procs_.end()) return DefWindowProcW(window, message, wParam, lParam);
        return CallWindowProcW(found->second, window, message, wParam, lParam);
    }
    std::map<HWND, WNDPROC> procs_;
    std::vector<Seen> seen_;
};

class ThumbnailTest : public gwes_test::WindowTest {
protected:
    void SetUp() override {
        gwes_test::WindowTest::SetUp();
        SetAppInstance(GetModuleHandleW(nullptr));
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &WindowBase::SharedProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kPaneClass;
        ASSERT_NE(RegisterClassW(&wc), 0);
        InstallDisplayAdjustment();
        library_ = std::make_unique<ImageLibrary>();
        library_->BuildLibrary();
        PublishImageLibrary(library_.get());
        host_ = std::make_unique<TestViewerHost>();
        MessageSpy::Instance().Reset();
    }
    void TearDown() override {
        if (bar_) {
            bar_->StopLoader();
            if (IsWindow(bar_->Handle())) DestroyWindow(bar_->Handle());
            bar_.reset();
        }
        if (view_) {
            if (IsWindow(view_->Handle())) DestroyWindow(view_->Handle());
            view_.reset();
        }
        host_.reset();
        MessageSpy::Instance().Reset();
        DibLedger::Instance().Remove();
        PublishImageLibrary(nullptr);
        library_.reset();
        UnregisterClassW(kPaneClass, GetModuleHandleW(nullptr));
        gwes_test::WindowTest::TearDown();
    }

    ImageAlbum& Album() { return host_->HostAlbum(); }
    SettingsBlock& Options() { return host_->Options(); }

    // The bar as a visible child of the host at (0, 0), width x height.
    ThumbnailBar& MakeBar(int width, int height) {
        if (bar_ && IsWindow(bar_->Handle())) DestroyWindow(bar_->Handle());
        bar_ = std::make_unique<ThumbnailBar>();
        EXPECT_TRUE(bar_->Create(kPaneClass, host_->HostWindow(), 1, GetModuleHandleW(nullptr)));
        host_->thumbnails = bar_.get();
        MoveWindow(bar_->Handle(), 0, 0, width, height, TRUE);
        ShowWindow(bar_->Handle(), SW_SHOW);
        return *bar_;
    }
    // A picture view filling the host below the bar's strip.
    PictureView& MakeView() {
        if (view_ && IsWindow(view_->Handle())) DestroyWindow(view_->Handle());
        view_ = std::make_unique<PictureView>();
        RECT rect = {0, 72, 240, 196};
        EXPECT_TRUE(view_->Create(host_.get(), host_->HostWindow(), &rect, WS_CHILD | WS_VISIBLE, 2,
                                  GetModuleHandleW(nullptr)));
        host_->view = view_.get();
        return *view_;
    }
    // Entries that name no real file (for the grid: the loader stays off).
    void AddEntries(int count) {
        for (int i = 0; i < count; ++i) {
            WCHAR name[32];
            wsprintfW(name, u"\\none\\%02d.bmp", i);
            ASSERT_NE(Album().Append(name), nullptr);
        }
        if (Album().current < 0) Album().current = 0;
    }
    // BMP files in \My Documents\<folder>, named 00.bmp, 01.bmp, ... with
    // the given sizes; then the album opens the folder.
    void MakeFolder(const std::u16string& folder, const std::vector<SIZE>& sizes) {
        const std::u16string base = u"\\My Documents\\" + folder;
        ASSERT_TRUE(CreateDirectoryW(base.c_str(), nullptr));
        for (size_t i = 0; i < sizes.size(); ++i) {
            WCHAR name[32];
            wsprintfW(name, u"\\%02d.bmp", int(i));
            WriteFileBytes(base + name, BmpBytes(sizes[i].cx, sizes[i].cy, int(i * 16)));
        }
        ASSERT_EQ(Album().Load(base.c_str(), false, false), int(sizes.size()));
    }
    // Waits (a few seconds at most) until the loader thread has ended.
    static bool WaitForLoader(ThumbnailBar& bar) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (bar.LoaderRunning()) {
            if (std::chrono::steady_clock::now() > until) return false;
            Sleep(2);
        }
        return true;
    }
    // Dispatches everything waiting, for the host and the panes.
    void PumpAll() { gwes_test::WindowTest::Pump(); }

    std::unique_ptr<ImageLibrary> library_;
    std::unique_ptr<TestViewerHost> host_;
    std::unique_ptr<ThumbnailBar> bar_;
    std::unique_ptr<PictureView> view_;
};

}  // namespace thumbnail_test
