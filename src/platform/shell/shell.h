// What the shell's parts share: the navigation bar (task_bar.cpp), the input
// panel (input_panel.cpp) and the menu bars (menu_bar.cpp). The shell's
// windows are created on the thread of the first call that makes something
// visible, and again whenever the thread that had them has destroyed them.
// No function here is called with the window manager's lock held.
#pragma once

#include "aygshell.h"

namespace shell {

// Creates the navigation bar on the calling thread unless one is alive, and
// shows or hides it as the task bar's state says.
void EnsureTaskBar();
// Repaints the navigation bar (its title, buttons or the panel's state changed).
void RefreshTaskBar();
bool TaskBarShown();
// Moves a shell window to its place and shows or hides it, doing nothing
// (and sending nothing) when it is already so.
void PlaceShellWindow(HWND window, const RECT& place, bool show);

// Raises or lowers the input panel; false when nothing changed. Every change
// moves the work area and sends WM_SETTINGCHANGE (SPI_SETSIPINFO) to the
// top-level windows.
bool SetInputPanel(bool up);
bool InputPanelUp();
void FillSipInfo(SIPINFO* info);

// The menu bar a window owns (null for none) and whether it asked for the
// input-panel button to be hidden.
HWND MenuBarOf(HWND owner);
bool MenuBarHidesSipButton(HWND owner);

// The navigation bar's OK (or cancel) button for a window.
enum class DoneButton { None, Ok, Cancel };
void SetDoneButton(HWND window, DoneButton button);
DoneButton DoneButtonOf(HWND window);

}  // namespace shell
