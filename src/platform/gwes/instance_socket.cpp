// Top-level windows of other programs on the same device root. Each class
// that has a top-level window in this process is published as a Unix-domain
// socket in the root's "\Windows" folder, named after a hash of the class
// name and the process id. FindWindowW in another process connects to it,
// asks for a window of that class (and title), and gets back a stand-in
// HWND through which it can test the window, post it plain integer messages
// and bring it to the foreground. One short text request per connection:
//   FIND <class hex> <title hex or ->   -> OK <hwnd> | NO
//   ISWINDOW <hwnd>                      -> OK 1 | OK 0
//   POST <hwnd> <message> <wParam> <lParam> -> OK 1 | OK 0
//   FOREGROUND <hwnd>                    -> OK 1 | OK 0
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>

#include "gwes/window_manager.h"
#include "platform/device.h"
#include "platform/wstr.h"

namespace gwes {

namespace {

constexpr const char* kPrefix = ".kestrava-wnd-";

struct Published {
    std::string path;
    int fd = -1;
    int windows = 0;  // top-level windows of the class in this process
};

struct RemoteRef {
    std::string path;
    uint64_t remoteHandle = 0;
};

std::map<std::string, Published>& PublishedByPath() {
    static auto* published = new std::map<std::string, Published>;
    return *published;
}

std::map<uintptr_t, RemoteRef>& Remotes() {
    static auto* remotes = new std::map<uintptr_t, RemoteRef>;
    return *remotes;
}

// Listening sockets of classes that went away; the server closes them
// between two polls, when it no longer waits on them.
std::vector<int>& ClosingFds() {
    static auto* fds = new std::vector<int>;
    return *fds;
}

int g_wakePipe[2] = {-1, -1};
bool g_serverStarted = false;

uint64_t ClassHash(std::u16string_view name) {
    uint64_t h = 1469598103934665603ull;  // FNV-1a over the case-folded UTF-16 units
    for (char16_t c : name) {
        c = platform::FoldCase(c);
        h = (h ^ static_cast<uint8_t>(c & 0xFF)) * 1099511628211ull;
        h = (h ^ static_cast<uint8_t>(c >> 8)) * 1099511628211ull;
    }
    return h;
}

std::string WindowsFolder() {
    std::string host;
    if (!platform::DeviceToHostPath(u"\\Windows", &host)) return {};
    return host;
}

std::string SocketPath(const std::string& folder, std::u16string_view className, long pid) {
    char name[96];
    std::snprintf(name, sizeof name, "%s%016" PRIx64 "-%ld", kPrefix, ClassHash(className), pid);
    return folder + "/" + name;
}

std::string Hex(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out.empty() ? "-" : out;
}

std::string Unhex(const std::string& hex) {
    if (hex == "-") return {};
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        auto v = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
        out += static_cast<char>(v(hex[i]) * 16 + v(hex[i + 1]));
    }
    return out;
}

// Fills a socket address; paths too long for sun_path go through an O_PATH
// descriptor of their folder ("/proc/self/fd/N/name"), closed by the caller.
bool MakeAddress(const std::string& path, sockaddr_un* addr, int* dirFd) {
    std::memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    *dirFd = -1;
    std::string use = path;
    if (use.size() >= sizeof addr->sun_path) {
        size_t slash = path.rfind('/');
        if (slash == std::string::npos) return false;
        *dirFd = open(path.substr(0, slash).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (*dirFd < 0) return false;
        use = "/proc/self/fd/" + std::to_string(*dirFd) + path.substr(slash);
        if (use.size() >= sizeof addr->sun_path) {
            close(*dirFd);
            *dirFd = -1;
            return false;
        }
    }
    std::memcpy(addr->sun_path, use.c_str(), use.size());
    return true;
}

bool ReadLine(int fd, std::string* line) {
    line->clear();
    char c;
    while (line->size() < 4096) {
        ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        if (c == '\n') return true;
        *line += c;
    }
    return false;
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void SetTimeouts(int fd, int milliseconds) {
    timeval tv = {milliseconds / 1000, (milliseconds % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

// Answers one request from another process.
void Serve(int client) {
    SetTimeouts(client, 1000);
    std::string line;
    if (!ReadLine(client, &line)) return;
    char verb[16] = {};
    char a[1024] = {}, b[1024] = {};
    unsigned long long handle = 0, message = 0, wp = 0;
    long long lp = 0;
    std::string reply = "NO\n";
    HWND foreground = nullptr;
    if (std::sscanf(line.c_str(), "%15s", verb) != 1) return;
    if (!std::strcmp(verb, "FIND") && std::sscanf(line.c_str(), "%*s %1023s %1023s", a, b) == 2) {
        std::u16string cls = platform::Utf8ToUtf16(Unhex(a));
        std::string title = Unhex(b);
        std::u16string title16 = platform::Utf8ToUtf16(title);
        HWND h = FindLocalTopLevel(cls.c_str(), std::strcmp(b, "-") ? title16.c_str() : nullptr);
        if (h) reply = "OK " + std::to_string(reinterpret_cast<uintptr_t>(h)) + "\n";
    } else if (!std::strcmp(verb, "ISWINDOW") && std::sscanf(line.c_str(), "%*s %llu", &handle) == 1) {
        HWND h = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
        Guard guard(Lock());
        auto w = FindWindowObject(h);
        reply = (w && !w->destroyed) ? "OK 1\n" : "OK 0\n";
    } else if (!std::strcmp(verb, "POST") &&
               std::sscanf(line.c_str(), "%*s %llu %llu %llu %lld", &handle, &message, &wp, &lp) == 4) {
        HWND h = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
        bool ok = PostMessageInternal(h, static_cast<UINT>(message), static_cast<WPARAM>(wp),
                                      static_cast<LPARAM>(lp));
        reply = ok ? "OK 1\n" : "OK 0\n";
    } else if (!std::strcmp(verb, "FOREGROUND") && std::sscanf(line.c_str(), "%*s %llu", &handle) == 1) {
        HWND h = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
        Guard guard(Lock());
        auto w = FindWindowObject(h);
        reply = w ? "OK 1\n" : "OK 0\n";
        if (w) foreground = h;
    }
    WriteAll(client, reply);
    // Activation sends messages to the window's thread: answer first, so the
    // asking process does not wait for this one's message loop.
    if (foreground) SetForegroundWindow(foreground);
}

void ServerLoop() {
    for (;;) {
        std::vector<pollfd> fds;
        fds.push_back({g_wakePipe[0], POLLIN, 0});
        {
            Guard guard(Lock());
            for (int fd : ClosingFds()) close(fd);
            ClosingFds().clear();
            for (auto& [path, p] : PublishedByPath())
                if (p.fd >= 0) fds.push_back({p.fd, POLLIN, 0});
        }
        int n = poll(fds.data(), fds.size(), -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents & POLLIN) {
            char buffer[64];
            while (read(g_wakePipe[0], buffer, sizeof buffer) > 0) {
            }
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!(fds[i].revents & POLLIN)) continue;
            int client = accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            Serve(client);
            close(client);
        }
    }
}

void WakeServer() {
    if (g_wakePipe[1] >= 0) {
        char c = 1;
        ssize_t ignored = write(g_wakePipe[1], &c, 1);
        (void)ignored;
    }
}

void UnlinkAllAtExit() {
    // Best effort: a crashed process leaves its sockets, which the next
    // search finds refusing connections and removes.
    Guard guard(Lock());
    for (auto& [path, p] : PublishedByPath()) unlink(path.c_str());
}

// Sends one request and reads the reply line; false when the other side is gone.
bool Ask(const std::string& path, const std::string& request, std::string* reply) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un addr;
    int dirFd;
    if (!MakeAddress(path, &addr, &dirFd)) {
        close(fd);
        return false;
    }
    SetTimeouts(fd, 2000);
    int rc = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    int err = errno;
    if (dirFd >= 0) close(dirFd);
    if (rc != 0) {
        close(fd);
        if (err == ECONNREFUSED) unlink(path.c_str());  // left behind by a process that ended
        return false;
    }
    bool ok = WriteAll(fd, request) && ReadLine(fd, reply);
    close(fd);
    return ok;
}

bool RemoteOf(HWND hwnd, RemoteRef* ref) {
    Guard guard(Lock());
    auto it = Remotes().find(reinterpret_cast<uintptr_t>(hwnd));
    if (it == Remotes().end()) return false;
    *ref = it->second;
    return true;
}

}  // namespace

void PublishTopLevel(const Window& w) {
    if (!w.cls) return;
    std::string folder = WindowsFolder();
    if (folder.empty()) return;
    std::string path = SocketPath(folder, w.cls->name, static_cast<long>(getpid()));
    auto& published = PublishedByPath();
    auto it = published.find(path);
    if (it != published.end()) {
        ++it->second.windows;
        return;
    }
    Published p;
    p.path = path;
    p.windows = 1;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un addr;
    int dirFd = -1;
    if (fd >= 0 && MakeAddress(path, &addr, &dirFd)) {
        unlink(path.c_str());
        if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && listen(fd, 8) == 0) {
            p.fd = fd;
            fd = -1;
        }
    }
    if (dirFd >= 0) close(dirFd);
    if (fd >= 0) close(fd);
    if (p.fd < 0) return;  // publishing is best effort; the window works without it
    published[path] = p;
    if (!g_serverStarted) {
        g_serverStarted = true;
        if (pipe2(g_wakePipe, O_CLOEXEC | O_NONBLOCK) == 0) {
            std::atexit(UnlinkAllAtExit);
            std::thread(ServerLoop).detach();
        }
    }
    WakeServer();
}

void UnpublishTopLevel(const Window& w) {
    if (!w.cls) return;
    auto& published = PublishedByPath();
    for (auto it = published.begin(); it != published.end(); ++it) {
        std::string tail = it->first.substr(it->first.rfind('/') + 1);
        char expected[96];
        std::snprintf(expected, sizeof expected, "%s%016" PRIx64 "-%ld", kPrefix, ClassHash(w.cls->name),
                      static_cast<long>(getpid()));
        if (tail != expected) continue;
        if (--it->second.windows > 0) return;
        unlink(it->first.c_str());
        // The server thread may be polling this descriptor: it closes it.
        ClosingFds().push_back(it->second.fd);
        published.erase(it);
        WakeServer();
        return;
    }
}

HWND FindRemoteWindow(LPCWSTR className, LPCWSTR windowName) {
    std::string folder = WindowsFolder();
    if (folder.empty() || !className) return nullptr;
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "%s%016" PRIx64 "-", kPrefix, ClassHash(className));
    std::vector<std::string> candidates;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* e = readdir(dir)) {
            if (std::strncmp(e->d_name, prefix, std::strlen(prefix)) != 0) continue;
            long pid = std::strtol(e->d_name + std::strlen(prefix), nullptr, 10);
            if (pid == static_cast<long>(getpid())) continue;
            candidates.push_back(folder + "/" + e->d_name);
        }
        closedir(dir);
    }
    std::string request = "FIND " + Hex(platform::Utf16ToUtf8(className)) + " " +
                          (windowName ? Hex(platform::Utf16ToUtf8(windowName)) : std::string("-")) + "\n";
    for (const std::string& path : candidates) {
        std::string reply;
        unsigned long long handle = 0;
        if (!Ask(path, request, &reply) || std::sscanf(reply.c_str(), "OK %llu", &handle) != 1) continue;
        Guard guard(Lock());
        for (auto& [local, ref] : Remotes())
            if (ref.path == path && ref.remoteHandle == handle) return reinterpret_cast<HWND>(local);
        HWND local = NewWindowHandle();
        Remotes()[reinterpret_cast<uintptr_t>(local)] = {path, handle};
        return local;
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
}

bool IsRemoteWindow(HWND hwnd) {
    Guard guard(Lock());
    return Remotes().count(reinterpret_cast<uintptr_t>(hwnd)) != 0;
}

BOOL RemoteIsWindow(HWND hwnd) {
    RemoteRef ref;
    if (!RemoteOf(hwnd, &ref)) return FALSE;
    std::string reply;
    return Ask(ref.path, "ISWINDOW " + std::to_string(ref.remoteHandle) + "\n", &reply) && reply == "OK 1";
}

BOOL RemotePostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    RemoteRef ref;
    if (!RemoteOf(hwnd, &ref)) return FALSE;
    std::string reply;
    char request[160];
    std::snprintf(request, sizeof request, "POST %llu %u %llu %lld\n",
                  static_cast<unsigned long long>(ref.remoteHandle), message,
                  static_cast<unsigned long long>(wParam), static_cast<long long>(lParam));
    if (Ask(ref.path, request, &reply) && reply == "OK 1") return TRUE;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
}

BOOL RemoteSetForeground(HWND hwnd) {
    RemoteRef ref;
    if (!RemoteOf(hwnd, &ref)) return FALSE;
    std::string reply;
    return Ask(ref.path, "FOREGROUND " + std::to_string(ref.remoteHandle) + "\n", &reply) && reply == "OK 1";
}

}  // namespace gwes
