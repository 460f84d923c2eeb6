// CreateProcessW. The device's only program this layer can start is the help
// viewer, "PegHelp.exe": the help file named on its command line is handed
// to the desktop's opener (xdg-open, or the program in KESTRAVA_OPENER),
// started detached in its own session. A reaper thread collects the child
// when it ends and signals the process handle. Any other platform program
// (the control panel, ...) is not present and the call fails.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>
#include <thread>

#include "kernel_object.h"
#include "platform/device.h"
#include "platform/wstr.h"

extern char** environ;

namespace platform {
namespace {

// What is known of a started program; shared by its process handle, its
// thread handle and the reaper, whichever outlives the others.
struct ChildState {
    pid_t pid = 0;
    bool exited = false;  // guarded by WaitLock()
    DWORD exitCode = STILL_ACTIVE;
};

struct ProcessObject : Waitable {
    explicit ProcessObject(std::shared_ptr<ChildState> s) : Waitable(Kind::Process), state(std::move(s)) {}
    bool IsSignaled() const override { return state->exited; }
    std::shared_ptr<ChildState> state;
};

// The program's primary thread: on this host it ends with the process.
struct PrimaryThreadObject : Waitable {
    explicit PrimaryThreadObject(std::shared_ptr<ChildState> s) : Waitable(Kind::Thread), state(std::move(s)) {}
    bool IsSignaled() const override { return state->exited; }
    std::shared_ptr<ChildState> state;
};

std::u16string_view Trim(std::u16string_view text) {
    while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) text.remove_suffix(1);
    return text;
}

// Splits "program rest" as the desktop's command lines do, honouring quotes
// around the program name.
void SplitCommandLine(std::u16string_view line, std::u16string_view* program, std::u16string_view* rest) {
    line = Trim(line);
    if (!line.empty() && line.front() == u'"') {
        size_t close = line.find(u'"', 1);
        if (close == std::u16string_view::npos) close = line.size();
        *program = line.substr(1, close - 1);
        *rest = close < line.size() ? line.substr(close + 1) : std::u16string_view();
    } else {
        size_t space = line.find_first_of(u" \t");
        *program = line.substr(0, space);
        *rest = space == std::u16string_view::npos ? std::u16string_view() : line.substr(space);
    }
    *rest = Trim(*rest);
}

bool IsHelpViewer(std::u16string_view program) {
    program = Trim(program);
    if (program.size() >= 2 && program.front() == u'"' && program.back() == u'"') {
        program = program.substr(1, program.size() - 2);
    }
    size_t slash = program.find_last_of(u"\\/");
    if (slash != std::u16string_view::npos) program.remove_prefix(slash + 1);
    return EqualsIgnoreCase(program, u"PegHelp.exe") || EqualsIgnoreCase(program, u"PegHelp");
}

// The device file named by the help viewer's argument: "file:" and a device
// path, optionally followed by "#anchor". The anchor is dropped: desktop
// openers take a file, not a position inside it.
std::u16string HelpFile(std::u16string_view argument) {
    argument = Trim(argument);
    if (argument.size() >= 2 && argument.front() == u'"' && argument.back() == u'"') {
        argument = argument.substr(1, argument.size() - 2);
    }
    if (argument.size() >= 5 && EqualsIgnoreCase(argument.substr(0, 5), u"file:")) argument.remove_prefix(5);
    size_t anchor = argument.find(u'#');
    if (anchor != std::u16string_view::npos) argument = argument.substr(0, anchor);
    return std::u16string(argument);
}

// Starts the opener on one host file; false when it cannot be started.
bool SpawnOpener(const std::string& hostFile, pid_t* pid) {
    const char* configured = std::getenv("KESTRAVA_OPENER");
    std::string opener = configured && *configured ? configured : "xdg-open";

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own session, so that the opener and whatever it starts outlive us
    // and never receive the terminal's signals meant for this program.
    short flags = POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    posix_spawnattr_setflags(&attributes, flags);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int s : {SIGPIPE, SIGCHLD, SIGHUP, SIGINT, SIGQUIT, SIGTERM}) sigaddset(&defaults, s);
    posix_spawnattr_setsigdefault(&attributes, &defaults);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    std::string file = hostFile;
    char* argv[] = {opener.data(), file.data(), nullptr};
    int error = posix_spawnp(pid, opener.c_str(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return error == 0;
}

// Waits for the child so that it never lingers as a zombie, then signals
// its handles.
void Reap(std::shared_ptr<ChildState> state) {
    int status = 0;
    pid_t result;
    do {
        result = waitpid(state->pid, &status, 0);
    } while (result < 0 && errno == EINTR);
    DWORD code = 0;
    if (result == state->pid) {
        if (WIFEXITED(status)) {
            code = static_cast<DWORD>(WEXITSTATUS(status));
        } else if (WIFSIGNALED(status)) {
            code = 128u + static_cast<DWORD>(WTERMSIG(status));
        }
    }
    // Otherwise (ECHILD) the child was collected elsewhere, e.g. with
    // SIGCHLD ignored; it has ended all the same.
    {
        std::lock_guard<std::mutex> guard(WaitLock());
        state->exited = true;
        state->exitCode = code;
    }
    NotifyWaiters();
}

}  // namespace
}  // namespace platform

BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES,
                    LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW,
                    LPPROCESS_INFORMATION processInformation) {
    // On the device the program comes in applicationName and commandLine
    // holds only its arguments; without a program name the command line's
    // first word names it, as on the desktop.
    std::u16string_view program;
    std::u16string_view arguments;
    if (applicationName && *applicationName) {
        program = applicationName;
        if (commandLine) arguments = commandLine;
    } else if (commandLine && *commandLine) {
        platform::SplitCommandLine(commandLine, &program, &arguments);
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }

    if (!platform::IsHelpViewer(program)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::u16string helpFile = platform::HelpFile(arguments);
    std::string hostFile;
    if (helpFile.empty() || !platform::DeviceToHostPath(helpFile, &hostFile)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }

    auto state = std::make_shared<platform::ChildState>();
    if (!platform::SpawnOpener(hostFile, &state->pid)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    try {
        std::thread(platform::Reap, state).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the opener still runs, its handle just never
        // becomes signalled.
    }

    if (processInformation) {
        processInformation->hProcess = platform::InsertHandle(std::make_shared<platform::ProcessObject>(state));
        processInformation->hThread = platform::InsertHandle(std::make_shared<platform::PrimaryThreadObject>(state));
        processInformation->dwProcessId = static_cast<DWORD>(state->pid);
        processInformation->dwThreadId = static_cast<DWORD>(state->pid);  // a process's first thread id is its pid
    }
    return TRUE;
}
