// The entry sequence of the viewer.
#include "app/startup.h"

#include "app/application.h"
#include "app/main_frame.h"
#include "app/sample_album.h"
#include "app/settings.h"
#include "app/window_base.h"
#include "platform/display.h"
#include "dicom/dicom_handler.h"
#include "image/image_library.h"
#include "res/resource.h"
#include "view/display_adjustment.h"

bool InstallHelpPage(HINSTANCE instance) {
    if (GetFileAttributesW(kHelpPagePath) != INVALID_FILE_ATTRIBUTES) return true;
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(IDR_HELP_PAGE), RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = found ? SizeofResource(instance, found) : 0;
    if (!bytes || size == 0) return false;
    // Written beside the page and renamed, so that a failed write never
    // leaves half a page behind.
    const WCHAR* temporary = u"\\Windows\\Kestrava.htm.new";
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes, size, &written, nullptr) && written == size;
    CloseHandle(file);
    if (!ok || !MoveFileW(temporary, kHelpPagePath)) {
        DeleteFileW(temporary);
        return false;
    }
    return true;
}

int RunViewer(HINSTANCE instance, LPCWSTR commandLine) {
    if (!commandLine) commandLine = u"";
    SetAppInstance(instance);
    HWND running = FindWindowW(kMainWindowClass, nullptr);
    bool fileExists = false;
    if (*commandLine) {
        StoreFileName(commandLine);
        fileExists = GetFileAttributesW(commandLine) != INVALID_FILE_ATTRIBUTES;
    }
    if (running && IsWindow(running)) {
        // The running instance reads "FileName" back and opens it.
        if (fileExists) PostMessageW(running, MSG_OPEN_STORED_FILE, 0, 0);
        SetForegroundWindow(running);
        return 0;
    }

    BuildDisabledButtonImages(instance);
    InstallHelpPage(instance);
    // The first start copies the sample album and, unless a file was named,
    // opens it.
    WCHAR sampleAlbum[MAX_PATH];
    if (InstallSampleAlbum(sampleAlbum, MAX_PATH) && !*commandLine) StoreFileName(sampleAlbum);
    // The decoders and the adjustment every image goes through.
    InstallDisplayAdjustment();
    InstallDicomHandler();
    ApplyImageMemoryBudget();
    ImageLibrary* library = new ImageLibrary();
    PublishImageLibrary(library);
    if (library->BuildLibrary()) {
        Application application(instance, kProductTitle);
        MainFrame* frame = new MainFrame(commandLine);
        // An automation script's "idle" also waits for the thumbnail loader
        // (the probe answers "idle" once the frame is gone).
        platform::RegisterIdleProbe([] {
            MainFrame* main = TheMainFrame();
            return !main || !main->Thumbnails()->LoaderRunning();
        });
        if (frame->CreateMainWindow(instance)) application.Run(frame->Handle());
        delete frame;
    }
    PublishImageLibrary(nullptr);
    delete library;
    ReleaseDisabledButtonImages();
    return 0;
}
