// Helpers of the dialog tests: the fixtures of make_dialog_fixtures.py (made
// once per script version into a shared temporary folder), a headless
// screen with the program's resources and an image library with the DICOM
// handler, and a driver that feeds steps into a running modal loop from a
// thread timer.
#pragma once

#include <gtest/gtest.h>
#include <sipapi.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/window_base.h"
#include "dicom/dicom_handler.h"
#include "gwes_fixture.h"
#include "image/format_handler.h"
#include "image/image_library.h"
#include "platform/registry.h"
#include "platform/wstr.h"
#include "view/display_adjustment.h"

namespace dialog_test {

namespace fs = std::filesystem;

// The fixture folder (host path), or empty with an error.
class DialogFixtures {
public:
    static DialogFixtures& Get() {
        static DialogFixtures fixtures;
        return fixtures;
    }
    const std::string& Error() const { return error_; }
    std::string Host(const std::string& name) const { return (dir_ / name).string(); }
    // The device path of a fixture (the host's file system is \Storage Card).
    std::u16string Device(const std::string& name) const {
        std::string path = "\\Storage Card" + Host(name);
        for (char& c : path) {
            if (c == '/') c = '\\';
        }
        return platform::Utf8ToUtf16(path);
    }

private:
    DialogFixtures() {
        const fs::path script = fs::path(__FILE__).parent_path() / "make_dialog_fixtures.py";
        std::ifstream in(script, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        std::ostringstream name;
        name << "kestrava-dialog-fixtures-" << std::hex << std::hash<std::string>()(text.str());
        dir_ = fs::temp_directory_path() / name.str();
        if (fs::exists(dir_ / "done")) return;
        fs::path work = dir_;
        work += ".tmp" + std::to_string(getpid());
        const std::string command =
            "/usr/bin/python3 '" + script.string() + "' '" + work.string() + "'";
        const int status = std::system(command.c_str());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            error_ = "make_dialog_fixtures.py failed";
            fs::remove_all(work);
            return;
        }
        std::error_code ec;
        fs::rename(work, dir_, ec);
        if (ec) fs::remove_all(work);  // another process got there first
    }
    fs::path dir_;
    std::string error_;
};

// ---- The driver: one step per timer tick; a step that returns false is
// tried again on the next tick. When the steps run out and a modal loop is
// still up, Escape ends it after a while and the test fails.
using Step = std::function<bool()>;

struct Driver {
    std::vector<Step> steps;
    size_t next = 0;
    int idle = 0;
    bool stuck = false;
};
inline Driver& TheDriver() {
    static Driver driver;
    return driver;
}

inline void CALLBACK DriverTick(HWND, UINT, UINT_PTR, DWORD) {
    Driver& d = TheDriver();
    if (d.next < d.steps.size()) {
        Step step = d.steps[d.next];
        if (step()) {
            ++d.next;
            d.idle = 0;
        } else if (++d.idle > 500) {
            d.stuck = true;
            d.next = d.steps.size();
        }
        return;
    }
    if (++d.idle > 200) {
        d.idle = 0;
        d.stuck = true;
        platform::InjectKey(VK_ESCAPE, true);
        platform::InjectKey(VK_ESCAPE, false);
    }
}

// Runs `run` with the steps fed in from a thread timer.
template <typename Run>
auto Drive(std::vector<Step> steps, Run run) {
    Driver& d = TheDriver();
    d.steps = std::move(steps);
    d.next = 0;
    d.idle = 0;
    d.stuck = false;
    UINT_PTR timer = SetTimer(nullptr, 0, 10, DriverTick);
    auto result = run();
    KillTimer(nullptr, timer);
    EXPECT_EQ(d.next, d.steps.size()) << "steps left undone";
    EXPECT_FALSE(d.stuck) << "the dialog had to be escaped or a step never came true";
    d.steps.clear();
    return result;
}

inline Step Check(std::function<void()> f) {
    return [f] {
        f();
        return true;
    };
}
inline Step WaitForWindow(const char16_t* caption) {
    return [caption] {
        HWND w = FindWindowW(nullptr, caption);
        return w != nullptr && IsWindowVisible(w);
    };
}
inline Step Command(const char16_t* caption, int id, int code = 0) {
    return [caption, id, code] {
        HWND w = FindWindowW(nullptr, caption);
        EXPECT_NE(w, nullptr);
        if (w) {
            SendMessageW(w, WM_COMMAND, MAKEWPARAM(id, code),
                         reinterpret_cast<LPARAM>(GetDlgItem(w, id)));
        }
        return true;
    };
}
// Posts the ending command: the modal loop ends after this tick.
inline Step End(const char16_t* caption, int id) {
    return [caption, id] {
        HWND w = FindWindowW(nullptr, caption);
        EXPECT_NE(w, nullptr);
        if (w) PostMessageW(w, WM_COMMAND, id, 0);
        return true;
    };
}

// A headless 240x320 screen, the program's resources and an image library
// with the DICOM handler and the display adjustment's hooks.
class DialogTest : public gwes_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_EQ(DialogFixtures::Get().Error(), "");
        platform::ReloadRegistryForTest();
        SetAppInstance(GetModuleHandleW(nullptr));
        SipShowIM(SIPF_OFF);
        fs::create_directories(Host("Plugins"));
        library_.BuildLibraryFrom(u"\\Plugins");
        PublishImageLibrary(&library_);
        InstallDicomHandler();
        InstallDisplayAdjustment();
        ClearAbortFlag();
        owner_ = Top(0, 0, 240, 320);
    }
    void TearDown() override {
        library_.TeardownLibrary();
        PublishImageLibrary(nullptr);
        WindowTest::TearDown();
    }
    const DialogFixtures& Fixtures() const { return DialogFixtures::Get(); }

    ImageLibrary library_;
    HWND owner_ = nullptr;
};

}  // namespace dialog_test
