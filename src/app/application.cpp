// The application object and its message loop.
#include "app/application.h"

#include "app/main_frame_messages.h"
#include "app/window_base.h"

namespace {
Application* g_application = nullptr;
HIMAGELIST g_disabledButtons = nullptr;
constexpr UINT kSystemTimer = 0x118;
}  // namespace

Application* TheApplication() { return g_application; }

Application::Application(HINSTANCE instance, LPCWSTR title) : instance_(instance) {
    lstrcpynW(title_, title ? title : u"", 64);  // at most 63 characters, always terminated
    g_application = this;
    INITCOMMONCONTROLSEX init = {sizeof init, kViewerControlClasses};
    InitCommonControlsEx(&init);
}

Application::~Application() {
    if (g_application == this) g_application = nullptr;
}

void Application::OnIdle() {
    // The frame object sits in the main window's user data; the refresh is
    // its own message, so that the loop needs no knowledge of the frame.
    if (mainWindow_ && WindowBase::FromHandle(mainWindow_)) {
        SendMessageW(mainWindow_, MSG_UPDATE_TOOLBAR, 0, 0);
    }
}

bool Application::IsIdleMessage(const MSG& message) {
    if (message.message == WM_PAINT || message.message == kSystemTimer) return false;
    if (message.message == WM_MOUSEMOVE) {
        if (lastMoveMessage_ == WM_MOUSEMOVE && lastMovePoint_.x == message.pt.x &&
            lastMovePoint_.y == message.pt.y) {
            return false;
        }
        lastMoveMessage_ = message.message;
        lastMovePoint_ = message.pt;
    }
    return true;
}

int Application::Run(HWND mainWindow) {
    mainWindow_ = mainWindow;
    bool idle = true;
    int idleCount = 0;
    MSG msg;
    for (;;) {
        while (idle && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (idleCount == 0 && mainWindow_) {
                OnIdle();
                idle = false;
            }
            ++idleCount;
        }
        do {
            if (!GetMessageW(&msg, nullptr, 0, 0)) return 0;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            if (IsIdleMessage(msg)) {
                idle = true;
                idleCount = 0;
            }
        } while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
    }
}

HIMAGELIST DisabledButtonImages() { return g_disabledButtons; }

void BuildDisabledButtonImages(HINSTANCE instance) {
    ReleaseDisabledButtonImages();
    g_disabledButtons = ImageList_Create(16, 16, ILC_COLOR | ILC_MASK, 7, 0);
    if (!g_disabledButtons) return;
    HBITMAP strip = LoadBitmapW(instance, MAKEINTRESOURCEW(kDisabledButtonsBitmap));
    if (strip) {
        ImageList_AddMasked(g_disabledButtons, strip, RGB(255, 0, 255));
        DeleteObject(strip);
    }
}

void ReleaseDisabledButtonImages() {
    if (g_disabledButtons) ImageList_Destroy(g_disabledButtons);
    g_disabledButtons = nullptr;
}
