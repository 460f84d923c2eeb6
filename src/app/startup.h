// The viewer's start-up and shutdown, from the process entry's point of view:
// the single-instance hand-over, the image library, the application object,
// the main frame and the message loop, then the teardown in reverse.
#pragma once

#include <windows.h>

// Runs the viewer for `commandLine` (one path, possibly empty); 0 in every
// case. A running instance on the same device root gets the file instead.
int RunViewer(HINSTANCE instance, LPCWSTR commandLine);

// The help page the Help command opens.
constexpr const WCHAR* kHelpPagePath = u"\\Windows\\Kestrava.htm";
// Writes the help page from the program's resources unless it is there;
// true when it is there afterwards.
bool InstallHelpPage(HINSTANCE instance);
