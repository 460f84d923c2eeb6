// The fault guard. One process-wide handler for SIGSEGV, SIGBUS, SIGFPE and
// SIGILL runs on a per-thread alternate stack (so that even a stack overflow
// can be caught) and jumps back to the innermost guard of the faulting
// thread. A fault outside any guard goes to whatever handler was there
// before, or crashes exactly as it would without the guard.
#include "platform/fault_guard.h"

#ifndef KESTRAVA_SANITIZE

#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>

namespace platform {
namespace {

constexpr int kGuardedSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr int kSignalCount = sizeof(kGuardedSignals) / sizeof(kGuardedSignals[0]);

// One active RunGuarded call; frames of one thread form a stack through
// `outer`, innermost first.
struct GuardFrame {
    sigjmp_buf resume;
    GuardFrame* outer = nullptr;
    volatile sig_atomic_t signal = 0;
};

thread_local GuardFrame* t_innermost = nullptr;

// The handlers that were installed before ours, to chain unguarded faults to.
struct sigaction g_previous[kSignalCount];

// The thread's alternate signal stack: a fault caused by running out of
// stack cannot be handled on the stack that ran out.
struct AltStack {
    void* memory = nullptr;
    size_t size = 0;
    bool checked = false;  // looked at the thread's alternate stack already

    ~AltStack() {
        if (!memory) return;
        stack_t off = {};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
        munmap(memory, size);
    }
};

thread_local AltStack t_altStack;

void EnsureAltStack() {
    AltStack& alt = t_altStack;
    if (alt.checked) return;
    alt.checked = true;
    stack_t current;
    // A thread that has an alternate stack of its own keeps it.
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return;
    size_t size = std::max<size_t>(static_cast<size_t>(SIGSTKSZ), 64 * 1024);
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return;  // faults are still caught, just not stack overflows
    stack_t stack = {};
    stack.ss_sp = memory;
    stack.ss_size = size;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(memory, size);
        return;
    }
    alt.memory = memory;
    alt.size = size;
}

int IndexOf(int signal) {
    for (int i = 0; i < kSignalCount; ++i) {
        if (kGuardedSignals[i] == signal) return i;
    }
    return -1;
}

void OnFault(int signal, siginfo_t* info, void* context) {
    GuardFrame* frame = t_innermost;
    if (frame) {
        frame->signal = signal;
        siglongjmp(frame->resume, 1);
    }
    // Not inside a guard on this thread.
    int index = IndexOf(signal);
    const struct sigaction* previous = index >= 0 ? &g_previous[index] : nullptr;
    if (previous && (previous->sa_flags & SA_SIGINFO) && previous->sa_sigaction) {
        previous->sa_sigaction(signal, info, context);
        return;
    }
    if (previous && !(previous->sa_flags & SA_SIGINFO) && previous->sa_handler != SIG_DFL &&
        previous->sa_handler != SIG_IGN) {
        previous->sa_handler(signal);
        return;
    }
    // Crash as if the guard did not exist: with the default action back in
    // place the signal, blocked while this handler runs, is delivered again
    // on return (and a faulting instruction faults again anyway).
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

void InstallHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int i = 0; i < kSignalCount; ++i) {
            struct sigaction action = {};
            action.sa_sigaction = OnFault;
            action.sa_flags = SA_SIGINFO | SA_ONSTACK;
            sigemptyset(&action.sa_mask);
            sigaction(kGuardedSignals[i], &action, &g_previous[i]);
        }
    });
}

}  // namespace

bool RunGuarded(void (*fn)(void* context), void* context, int* signal) {
    InstallHandlers();
    EnsureAltStack();
    GuardFrame frame;
    frame.outer = t_innermost;
    // Saves the signal mask too, so that the jump out of a handler unblocks
    // the signal that was being handled.
    if (sigsetjmp(frame.resume, 1) == 0) {
        t_innermost = &frame;
        fn(context);
        t_innermost = frame.outer;
        return true;
    }
    t_innermost = frame.outer;
    if (signal) *signal = frame.signal;
    return false;
}

bool FaultGuardEnabled() { return true; }

}  // namespace platform

#else  // KESTRAVA_SANITIZE: faults are left to the sanitizer, which reports them.

namespace platform {

bool RunGuarded(void (*fn)(void* context), void* context, int*) {
    fn(context);
    return true;
}

bool FaultGuardEnabled() { return false; }

}  // namespace platform

#endif
