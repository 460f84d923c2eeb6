// Answers the message boxes a utility shows while a test runs it: a thread
// timer, whose messages every modal loop of the thread dispatches, finds the
// active box, writes down its caption and text and ends it with the next of
// the answers given (IDOK once they run out). Install one per test step.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tools_test {

struct ShownBox {
    std::u16string caption;
    std::u16string text;
};

class MessageBoxes {
public:
    // `other`: a dialog of the test's own that is not a message box.
    explicit MessageBoxes(std::vector<int> answers = {}, HWND other = nullptr)
        : answers_(std::move(answers)), other_(other) {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 10, Tick);
    }
    ~MessageBoxes() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    MessageBoxes(const MessageBoxes&) = delete;
    MessageBoxes& operator=(const MessageBoxes&) = delete;

    const std::vector<ShownBox>& Shown() const { return shown_; }

private:
    static std::u16string TextOf(HWND window) {
        WCHAR text[2048];
        GetWindowTextW(window, text, 2048);
        return text;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        MessageBoxes* self = current_;
        HWND box = GetActiveWindow();
        if (!self || !box || box == self->other_) return;
        WCHAR cls[32];
        GetClassNameW(box, cls, 32);
        // A message box is a dialog whose static child holds the text.
        if (lstrcmpW(cls, u"Dialog") != 0 && lstrcmpW(cls, u"#32770") != 0) return;
        ShownBox shown{TextOf(box), {}};
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            GetClassNameW(child, cls, 32);
            if (lstrcmpiW(cls, u"Static") == 0) shown.text += TextOf(child);
        }
        self->shown_.push_back(shown);
        const size_t index = self->shown_.size() - 1;
        EndDialog(box, index < self->answers_.size() ? self->answers_[index] : IDOK);
    }

    static inline MessageBoxes* current_ = nullptr;
    std::vector<int> answers_;
    HWND other_;
    std::vector<ShownBox> shown_;
    UINT_PTR timer_ = 0;
};

}  // namespace tools_test
