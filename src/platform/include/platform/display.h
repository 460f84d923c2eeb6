// The virtual device's screen for programs and tests: start-up from the
// command line and the environment, the backends (headless, sdl), PNG
// screenshots of the display memory, the automation script and input
// injection. Not part of the Win32 API; a program's entry calls
// StartDisplay before anything else and StopDisplay at the end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "windows.h"

namespace platform {

struct DisplayOptions {
    std::string root;        // --root DIR: the device root (else KESTRAVA_ROOT, else the default)
    std::string screen;      // --screen WxH[xBPP] (else KESTRAVA_SCREEN, else 240x320x16)
    std::string script;      // --script FILE: the automation script
    std::string screenshot;  // --screenshot PATH: save the screen at the first idle moment, then quit
    std::string backend;     // "headless" or "sdl" (else KESTRAVA_DISPLAY, else sdl when reachable)
    int scale = 0;           // sdl window scale (else KESTRAVA_SCALE, else 2)
};

// Reads the platform options out of argv ("--root DIR", "--screen WxH[xBPP]",
// "--script FILE", "--screenshot PATH", also as "--opt=value") and removes
// them, leaving the program's own arguments. False with a message on stderr
// for a malformed or incomplete option.
bool ParseDisplayOptions(int* argc, char** argv, DisplayOptions* options);

// Sets up the device root, the screen and the backend, and loads the script
// (run by the calling thread's message loop, which becomes the program's main
// loop). False with a message on stderr when something cannot be set up.
bool StartDisplay(const DisplayOptions& options);
// ParseDisplayOptions followed by StartDisplay.
bool StartDisplay(int* argc, char** argv);
// Stops the backend (closes the sdl window); the display memory stays.
void StopDisplay();
// The backend in use: "headless", "sdl", or "" before StartDisplay.
const char* DisplayBackendName();

// Writes the display memory as an 8-bit RGB PNG (through a temporary file
// and a rename). False when the file cannot be written.
bool SaveScreenshot(const std::string& path);
// Reads a PNG (any bit depth or colour type) back as 8-bit R, G, B bytes,
// top row first: tests and end-to-end checks compare screens with it.
bool LoadScreenshot(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgb);

// Runs an automation script on the calling thread's message loop: from a
// file, or from text with one command per line. False (message on stderr)
// for a file that cannot be read or a line that is not a command. Commands:
// tap X Y, hold X Y, drag X1 Y1 X2 Y2, key NAME, text STRING, command ID,
// wait MS, idle, screenshot PATH.png, screenshot-external PATH.png (the
// external display last opened; an error when none is), quit; '#' starts a
// comment line.
bool StartScript(const std::string& path);
bool StartScriptText(std::string_view text);
// True once the script has run its last command (or when there is none).
bool ScriptFinished();

// A busy source (such as the thumbnail loader) that the script's "idle"
// command waits for: the probe returns true while the source is idle.
void RegisterIdleProbe(bool (*probe)());

// Input as the backends deliver it, in screen pixels.
enum class Pen { Down, Move, Up };
void InjectPen(Pen action, int x, int y);
void InjectKey(UINT virtualKey, bool down);
void InjectText(std::u16string_view text);

// The work area (the screen below the navigation bar), for SPI_GETWORKAREA.
void GetWorkArea(RECT* rect);

}  // namespace platform
