// MessageBeep: the beep is recorded in the sound log (platform/sound_log.h)
// and passed to the player the audio layer installed, if any.
#include <deque>
#include <mutex>

#include "platform/sound_log.h"
#include "windows.h"

namespace {

constexpr size_t kLogLimit = 256;

struct BeepState {
    std::mutex lock;
    std::deque<UINT> log;
    platform::BeepPlayer player = nullptr;
};

BeepState& State() {
    static auto* state = new BeepState;  // never destroyed: threads may beep during exit
    return *state;
}

}  // namespace

namespace platform {

std::vector<UINT> TakeBeepLog() {
    BeepState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    std::vector<UINT> out(s.log.begin(), s.log.end());
    s.log.clear();
    return out;
}

void SetBeepPlayer(BeepPlayer player) {
    BeepState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.player = player;
}

}  // namespace platform

BOOL MessageBeep(UINT type) {
    BeepState& s = State();
    platform::BeepPlayer player;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (s.log.size() == kLogLimit) s.log.pop_front();
        s.log.push_back(type);
        player = s.player;
    }
    if (player) player(type);
    return TRUE;
}
