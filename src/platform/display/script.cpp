// The automation script. It runs inside the message loop of the thread that
// started it: GetMessage calls the next step whenever that thread has no
// posted, sent or paint messages left, so each command sees the effects of
// the one before it and programs need no change. Input is injected as the
// backends would deliver it; "wait" and the hold of "hold" let time pass
// while the loop keeps running timers.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "gwes/window_manager.h"
#include "platform/display.h"
#include "platform/external_display.h"
#include "platform/wstr.h"

namespace platform {

namespace {

enum class Op { Tap, Hold, Drag, Key, Text, Command, Wait, Idle, Screenshot, ScreenshotExternal, Quit };

struct Command {
    Op op;
    int a = 0, b = 0, c = 0, d = 0;
    std::string path;
    std::u16string text;
    int line = 0;
};

// A "hold" keeps the pen down past the 400 ms that makes a tap-and-hold.
constexpr uint64_t kHoldMs = 450;
// Steps of a "drag" between its end points.
constexpr int kDragSteps = 8;
// "idle" gives up after this long, so a program that never settles cannot
// hang a test run.
constexpr uint64_t kIdleLimitMs = 60000;

struct ScriptState {
    std::vector<Command> commands;
    size_t next = 0;
    int phase = 0;
    uint64_t until = 0;
    std::atomic<bool> active{false};
};

ScriptState& State() {
    static auto* state = new ScriptState;
    return *state;
}

struct KeyName {
    const char* name;
    UINT vk;
};
const KeyName kKeys[] = {
    {"up", VK_UP},         {"down", VK_DOWN},        {"left", VK_LEFT},     {"right", VK_RIGHT},
    {"action", VK_RETURN}, {"enter", VK_RETURN},     {"return", VK_RETURN}, {"escape", VK_ESCAPE},
    {"esc", VK_ESCAPE},    {"back", VK_BACK},        {"backspace", VK_BACK}, {"tab", VK_TAB},
    {"space", VK_SPACE},   {"delete", VK_DELETE},    {"home", VK_HOME},     {"end", VK_END},
    {"pageup", VK_PRIOR},  {"pagedown", VK_NEXT},    {"soft1", VK_F1},      {"soft2", VK_F2},
    {"f1", VK_F1},         {"f2", VK_F2},            {"f3", VK_F3},         {"f4", VK_F4},
    {"f5", VK_F5},         {"f6", VK_F6},            {"f7", VK_F7},         {"f8", VK_F8},
    {"f9", VK_F9},         {"f10", VK_F10},          {"f11", VK_F11},       {"f12", VK_F12},
};

bool KeyCode(const std::string& name, UINT* vk) {
    std::string lower;
    for (char c : name) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    for (const KeyName& k : kKeys) {
        if (lower == k.name) {
            *vk = k.vk;
            return true;
        }
    }
    if (lower.size() == 1 && ((lower[0] >= 'a' && lower[0] <= 'z') || (lower[0] >= '0' && lower[0] <= '9'))) {
        *vk = static_cast<UINT>(lower[0] >= 'a' ? lower[0] - 'a' + 'A' : lower[0]);
        return true;
    }
    return false;
}

// Reads whole-number arguments; false unless exactly `count` are there.
bool Numbers(std::istringstream& in, int count, int* out) {
    for (int i = 0; i < count; ++i)
        if (!(in >> out[i])) return false;
    std::string extra;
    return !(in >> extra);
}

bool ParseLine(const std::string& raw, int lineNumber, std::vector<Command>* out, std::string* error) {
    std::string line = raw;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') return true;
    std::istringstream in(line.substr(start));
    std::string verb;
    in >> verb;
    Command c;
    c.line = lineNumber;
    int n[4] = {};
    if (verb == "tap" || verb == "hold") {
        c.op = verb == "tap" ? Op::Tap : Op::Hold;
        if (!Numbers(in, 2, n)) return *error = "expects X Y", false;
        c.a = n[0];
        c.b = n[1];
    } else if (verb == "drag") {
        c.op = Op::Drag;
        if (!Numbers(in, 4, n)) return *error = "expects X1 Y1 X2 Y2", false;
        c.a = n[0];
        c.b = n[1];
        c.c = n[2];
        c.d = n[3];
    } else if (verb == "key") {
        c.op = Op::Key;
        std::string name, extra;
        UINT vk = 0;
        if (!(in >> name) || (in >> extra) || !KeyCode(name, &vk)) return *error = "unknown key", false;
        c.a = static_cast<int>(vk);
    } else if (verb == "text") {
        c.op = Op::Text;
        std::string rest;
        std::getline(in, rest);
        if (!rest.empty() && rest.front() == ' ') rest.erase(0, 1);
        if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') rest = rest.substr(1, rest.size() - 2);
        c.text = Utf8ToUtf16(rest);
    } else if (verb == "command") {
        c.op = Op::Command;
        if (!Numbers(in, 1, n) || n[0] < 0 || n[0] > 0xFFFF) return *error = "expects a command id", false;
        c.a = n[0];
    } else if (verb == "wait") {
        c.op = Op::Wait;
        if (!Numbers(in, 1, n) || n[0] < 0) return *error = "expects milliseconds", false;
        c.a = n[0];
    } else if (verb == "idle") {
        c.op = Op::Idle;
        if (!Numbers(in, 0, n)) return *error = "takes no arguments", false;
    } else if (verb == "screenshot" || verb == "screenshot-external") {
        c.op = verb == "screenshot" ? Op::Screenshot : Op::ScreenshotExternal;
        std::string rest;
        std::getline(in, rest);
        size_t s = rest.find_first_not_of(" \t");
        if (s == std::string::npos) return *error = "expects a file name", false;
        c.path = rest.substr(s);
    } else if (verb == "quit") {
        c.op = Op::Quit;
        if (!Numbers(in, 0, n)) return *error = "takes no arguments", false;
    } else {
        *error = "unknown command '" + verb + "'";
        return false;
    }
    out->push_back(c);
    return true;
}

bool ParseScript(std::string_view text, const std::string& name, std::vector<Command>* out) {
    std::istringstream in{std::string(text)};
    std::string line, error;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!ParseLine(line, number, out, &error)) {
            std::fprintf(stderr, "kestrava: %s:%d: %s\n", name.c_str(), number, error.c_str());
            return false;
        }
    }
    return true;
}

void Pen(gwes::PenAction action, int x, int y) { gwes::InjectPen(action, POINT{x, y}); }

// Runs commands until one has injected input (true: the loop handles it
// before the next step) or has to wait (false, *wakeAt set).
bool Step(uint64_t* wakeAt) {
    ScriptState& s = State();
    for (;;) {
        if (!s.active || s.next >= s.commands.size()) {
            s.active = false;
            return false;
        }
        Command& c = s.commands[s.next];
        uint64_t now = gwes::NowMs();
        auto advance = [&] {
            ++s.next;
            s.phase = 0;
            s.until = 0;
        };
        switch (c.op) {
        case Op::Tap:
            Pen(gwes::PenAction::Down, c.a, c.b);
            Pen(gwes::PenAction::Up, c.a, c.b);
            advance();
            return true;
        case Op::Hold:
            if (s.phase == 0) {
                Pen(gwes::PenAction::Down, c.a, c.b);
                s.phase = 1;
                s.until = now + kHoldMs;
                return true;
            }
            if (now < s.until) {
                *wakeAt = s.until;
                return false;
            }
            Pen(gwes::PenAction::Up, c.a, c.b);
            advance();
            return true;
        case Op::Drag: {
            // One pen event per step, so the program sees the path as drawn.
            int p = s.phase;
            if (p == 0) {
                Pen(gwes::PenAction::Down, c.a, c.b);
            } else if (p <= kDragSteps) {
                Pen(gwes::PenAction::Move, c.a + (c.c - c.a) * p / kDragSteps, c.b + (c.d - c.b) * p / kDragSteps);
            } else {
                Pen(gwes::PenAction::Up, c.c, c.d);
                advance();
                return true;
            }
            ++s.phase;
            return true;
        }
        case Op::Key:
            gwes::InjectKey(static_cast<UINT>(c.a), true);
            gwes::InjectKey(static_cast<UINT>(c.a), false);
            advance();
            return true;
        case Op::Text:
            for (char16_t ch : c.text) gwes::InjectChar(ch);
            advance();
            return true;
        case Op::Command:
            if (!gwes::InjectCommand(static_cast<UINT>(c.a)))
                std::fprintf(stderr, "kestrava: script line %d: no foreground window for command %d\n", c.line, c.a);
            advance();
            return true;
        case Op::Wait:
            if (s.phase == 0) {
                s.phase = 1;
                s.until = now + static_cast<uint64_t>(c.a);
            }
            if (now < s.until) {
                *wakeAt = s.until;
                return false;
            }
            advance();
            continue;
        case Op::Idle:
            if (s.phase == 0) {
                s.phase = 1;
                s.until = now + kIdleLimitMs;
            }
            if (!gwes::SystemQuiet()) {
                if (now >= s.until) {
                    std::fprintf(stderr, "kestrava: script line %d: still busy after %llu ms, going on\n", c.line,
                                 static_cast<unsigned long long>(kIdleLimitMs));
                    advance();
                    continue;
                }
                // Other threads or probes may be busy: look again shortly.
                *wakeAt = now + 10;
                return false;
            }
            advance();
            continue;
        case Op::Screenshot:
            if (!SaveScreenshot(c.path))
                std::fprintf(stderr, "kestrava: script line %d: cannot write %s\n", c.line, c.path.c_str());
            advance();
            continue;
        case Op::ScreenshotExternal:
            if (ExternalDisplayCount() == 0) {
                std::fprintf(stderr, "kestrava: script line %d: no external display is on\n", c.line);
            } else if (!SaveExternalScreenshot(c.path)) {
                std::fprintf(stderr, "kestrava: script line %d: cannot write %s\n", c.line, c.path.c_str());
            }
            advance();
            continue;
        case Op::Quit:
            if (!gwes::InjectClose()) PostQuitMessage(0);
            advance();
            s.active = false;
            return true;
        }
    }
}

bool Install(std::vector<Command> commands) {
    ScriptState& s = State();
    s.commands = std::move(commands);
    s.next = 0;
    s.phase = 0;
    s.until = 0;
    s.active = true;
    gwes::SetScriptHook(GetCurrentThreadId(), Step);
    return true;
}

}  // namespace

bool StartScriptText(std::string_view text) {
    std::vector<Command> commands;
    if (!ParseScript(text, "script", &commands)) return false;
    return Install(std::move(commands));
}

bool StartScript(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "kestrava: cannot read script %s\n", path.c_str());
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::vector<Command> commands;
    if (!ParseScript(text.str(), path, &commands)) return false;
    return Install(std::move(commands));
}

// Appends commands to whatever script is installed (used by --screenshot).
bool AppendScriptText(std::string_view text) {
    std::vector<Command> more;
    if (!ParseScript(text, "script", &more)) return false;
    ScriptState& s = State();
    if (!s.active) return Install(std::move(more));
    s.commands.insert(s.commands.end(), more.begin(), more.end());
    return true;
}

bool ScriptFinished() { return !State().active; }

}  // namespace platform
