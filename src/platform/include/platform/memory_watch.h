// The device's low-memory notice on the host. A Windows CE device posts
// WM_HIBERNATE to its top-level windows when memory runs short, and programs
// drop their caches; a Linux host never does, so the layer watches two
// figures itself: the host's available physical memory against a threshold,
// and the program's image memory (which its image library reports here as it
// allocates and frees) against a budget. The watch runs from the message
// loop: each GetMessage/PeekMessage looks at it, the host's figure is read
// at most once every kHostPollMs, and a notice goes out once per crossing
// (the figure must fall back under its limit before the next) and never
// sooner than the minimum interval after the previous one. A crossing of the
// image budget wakes the waiting message loops, so a program at rest still
// hears of memory its worker threads took. Not part of the Win32 API.
#pragma once

#include <cstdint>

namespace platform {

// The host's available memory is read no more often than this.
constexpr uint32_t kHostPollMs = 1000;
// The least time between two notices unless set otherwise: long enough for
// a program to have answered the last one, short enough that a fast loader
// cannot refill a cache far past its budget in between.
constexpr uint32_t kDefaultNoticeIntervalMs = 250;

// The image memory in use: the image library adds what it allocates and
// subtracts what it frees (any thread).
void AddImageMemory(int64_t bytes);
uint64_t ImageMemoryInUse();

// The budget of image memory; 0 restores the default, a quarter of the
// host's physical memory. The notice goes out when the image memory passes
// fifteen sixteenths of it (ImageMemoryNoticeMark): the pictures decoded
// while the notice is on its way to the windows then still fit.
void SetImageMemoryBudget(uint64_t bytes);
uint64_t ImageMemoryBudget();
uint64_t ImageMemoryNoticeMark();

// The host's available memory below which the notice goes out; 0 restores
// the default (a sixteenth of physical memory, at most 512 MiB).
void SetLowMemoryThreshold(uint64_t bytes);
uint64_t LowMemoryThreshold();

// The least time between two notices (tests set 0).
void SetLowMemoryNoticeInterval(uint32_t milliseconds);

// Looks at the figures now (the message loop calls this). True when a
// notice is due: the caller posts WM_HIBERNATE to the top-level windows.
// *wakeAt is lowered to the time a held-back notice falls due.
bool LowMemoryNoticeDue(uint64_t nowMs, uint64_t* wakeAt);

// Called (on the allocating thread) when the image memory passes the mark;
// the window system installs one that wakes the message loops. The count of
// such crossings lets a loop that looked at the figures just before a wake
// see that it must look again instead of sleeping through it.
void SetImageBudgetWake(void (*wake)());
uint64_t ImageBudgetCrossings();

// Forgets crossings and the last notice (tests start each case afresh).
void ResetMemoryWatch();

}  // namespace platform
