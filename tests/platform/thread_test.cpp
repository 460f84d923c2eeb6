// Threads, events, waits and critical sections. Nothing here depends on how
// long anything takes: every cross-thread step is ordered by an event.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "windows.h"

namespace {

// Closes a handle at the end of a test, whatever the test's outcome.
class ScopedHandle {
public:
    explicit ScopedHandle(HANDLE h = nullptr) : handle_(h) {}
    ~ScopedHandle() {
        if (handle_) CloseHandle(handle_);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

HANDLE NewEvent(bool manual, bool initial) { return CreateEventW(nullptr, manual, initial, nullptr); }

// ---- Events -------------------------------------------------------------------

// Each step of a script: S set, R reset, P pulse, 0 expect the wait to be
// satisfied, T expect it to time out (waits never block).
struct EventCase {
    const char* name;
    bool manual;
    bool initial;
    const char* script;
};

const EventCase kEventCases[] = {
    {"auto, initially set: one wait takes it", false, true, "0T"},
    {"manual, initially set: stays set", true, true, "000RT"},
    {"auto, initially clear", false, false, "TS0T"},
    {"manual, set twice, reset once", true, false, "SS00RTS0"},
    {"auto, reset before the wait", false, false, "SRT"},
    {"pulse without waiters leaves auto clear", false, true, "PTS0"},
    {"pulse without waiters leaves manual clear", true, true, "PTPTS00"},
};

TEST(EventTest, ScriptsOfSetResetPulseAndWait) {
    for (const EventCase& c : kEventCases) {
        SCOPED_TRACE(c.name);
        ScopedHandle event(NewEvent(c.manual, c.initial));
        ASSERT_NE(event.get(), nullptr);
        for (const char* step = c.script; *step; ++step) {
            switch (*step) {
            case 'S': EXPECT_TRUE(SetEvent(event.get())); break;
            case 'R': EXPECT_TRUE(ResetEvent(event.get())); break;
            case 'P': EXPECT_TRUE(PulseEvent(event.get())); break;
            case '0': EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_OBJECT_0) << "step " << step - c.script; break;
            case 'T': EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_TIMEOUT) << "step " << step - c.script; break;
            }
        }
    }
}

TEST(EventTest, BadHandlesAreRefused) {
    HANDLE bogus = reinterpret_cast<HANDLE>(0x7FF0);
    SetLastError(0);
    EXPECT_FALSE(SetEvent(bogus));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(ResetEvent(bogus));
    EXPECT_FALSE(PulseEvent(bogus));

    HANDLE event = NewEvent(true, true);
    ASSERT_TRUE(CloseHandle(event));
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseHandle(event));
}

TEST(EventTest, TimedWaitOnAClearEventTimesOut) {
    ScopedHandle event(NewEvent(false, false));
    EXPECT_EQ(WaitForSingleObject(event.get(), 30), WAIT_TIMEOUT);
}

DWORD WINAPI SetEventThread(LPVOID parameter) {
    SetEvent(static_cast<HANDLE>(parameter));
    return 0;
}

TEST(EventTest, InfiniteWaitWakesWhenAnotherThreadSets) {
    ScopedHandle event(NewEvent(false, false));
    ScopedHandle thread(CreateThread(nullptr, 0, SetEventThread, event.get(), 0, nullptr));
    ASSERT_NE(thread.get(), nullptr);
    EXPECT_EQ(WaitForSingleObject(event.get(), INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread.get(), INFINITE), WAIT_OBJECT_0);
}

struct PulseContext {
    HANDLE event;
    HANDLE waiting;  // set just before the wait begins
    DWORD result;
};

DWORD WINAPI WaitForPulseThread(LPVOID parameter) {
    auto* context = static_cast<PulseContext*>(parameter);
    SetEvent(context->waiting);
    context->result = WaitForSingleObject(context->event, INFINITE);
    return 0;
}

TEST(EventTest, PulseReleasesAWaitingThreadAndLeavesTheEventClear) {
    for (bool manual : {false, true}) {
        SCOPED_TRACE(manual ? "manual reset" : "auto reset");
        ScopedHandle event(NewEvent(manual, false));
        ScopedHandle waiting(NewEvent(true, false));
        PulseContext context{event.get(), waiting.get(), WAIT_FAILED};
        ScopedHandle thread(CreateThread(nullptr, 0, WaitForPulseThread, &context, 0, nullptr));
        ASSERT_NE(thread.get(), nullptr);
        ASSERT_EQ(WaitForSingleObject(waiting.get(), INFINITE), WAIT_OBJECT_0);
        // The thread may not be inside its wait yet; a pulse only releases
        // threads already waiting, so pulse until one lands.
        do {
            ASSERT_TRUE(PulseEvent(event.get()));
        } while (WaitForSingleObject(thread.get(), 1) == WAIT_TIMEOUT);
        EXPECT_EQ(context.result, WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_TIMEOUT);
    }
}

// ---- Waiting for several objects -----------------------------------------------

TEST(WaitMultipleTest, AnyReturnsTheLowestSignalledIndexAndTakesOnlyIt) {
    ScopedHandle a(NewEvent(false, false)), b(NewEvent(false, true)), c(NewEvent(false, true));
    HANDLE handles[] = {a.get(), b.get(), c.get()};
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_TIMEOUT);
    SetEvent(a.get());
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0);
}

TEST(WaitMultipleTest, AllWaitsForEveryObjectAndTakesNothingUntilThen) {
    ScopedHandle a(NewEvent(false, true)), b(NewEvent(false, false)), m(NewEvent(true, true));
    HANDLE handles[] = {a.get(), b.get(), m.get()};
    EXPECT_EQ(WaitForMultipleObjects(3, handles, TRUE, 10), WAIT_TIMEOUT);
    // The failed wait must not have consumed the auto-reset event a.
    EXPECT_EQ(WaitForSingleObject(a.get(), 0), WAIT_OBJECT_0);
    SetEvent(a.get());
    SetEvent(b.get());
    EXPECT_EQ(WaitForMultipleObjects(3, handles, TRUE, 0), WAIT_OBJECT_0);
    // Both auto-reset events were taken, the manual-reset one stays set.
    EXPECT_EQ(WaitForSingleObject(a.get(), 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(b.get(), 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(m.get(), 0), WAIT_OBJECT_0);
}

TEST(WaitMultipleTest, AllCompletesWhenAnotherThreadSetsTheLastOne) {
    ScopedHandle a(NewEvent(true, true)), b(NewEvent(false, false));
    ScopedHandle thread(CreateThread(nullptr, 0, SetEventThread, b.get(), 0, nullptr));
    HANDLE handles[] = {a.get(), b.get()};
    EXPECT_EQ(WaitForMultipleObjects(2, handles, TRUE, INFINITE), WAIT_OBJECT_0);
    WaitForSingleObject(thread.get(), INFINITE);
}

TEST(WaitMultipleTest, MalformedRequestsFail) {
    ScopedHandle a(NewEvent(true, true));
    HANDLE many[MAXIMUM_WAIT_OBJECTS + 1];
    for (HANDLE& h : many) h = a.get();
    HANDLE withBogus[] = {a.get(), reinterpret_cast<HANDLE>(0x7FF0)};
    HANDLE twice[] = {a.get(), a.get()};
    struct Case {
        const char* name;
        DWORD count;
        const HANDLE* handles;
        BOOL waitAll;
        DWORD error;
    } cases[] = {
        {"no handles", 0, many, FALSE, ERROR_INVALID_PARAMETER},
        {"null array", 1, nullptr, FALSE, ERROR_INVALID_PARAMETER},
        {"too many", MAXIMUM_WAIT_OBJECTS + 1, many, FALSE, ERROR_INVALID_PARAMETER},
        {"an unknown handle", 2, withBogus, FALSE, ERROR_INVALID_HANDLE},
        {"one object twice in wait-all", 2, twice, TRUE, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(0);
        EXPECT_EQ(WaitForMultipleObjects(c.count, c.handles, c.waitAll, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), c.error);
    }
    // The same object twice is fine when any one will do.
    EXPECT_EQ(WaitForMultipleObjects(2, twice, FALSE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, many, FALSE, 0), WAIT_OBJECT_0);
}

// ---- Threads -------------------------------------------------------------------

struct ThreadContext {
    HANDLE started = nullptr;  // the thread sets it first thing when given
    HANDLE release = nullptr;  // the thread waits for it when set
    HANDLE done = nullptr;     // the thread sets it just before it returns
    DWORD id = 0;              // GetCurrentThreadId inside the thread
    bool ran = false;
    DWORD result = 0;          // what the routine returns
};

DWORD WINAPI ContextThread(LPVOID parameter) {
    auto* context = static_cast<ThreadContext*>(parameter);
    context->ran = true;
    context->id = GetCurrentThreadId();
    if (context->started) SetEvent(context->started);
    if (context->release) WaitForSingleObject(context->release, INFINITE);
    DWORD result = context->result;
    if (context->done) SetEvent(context->done);
    return result;
}

TEST(ThreadTest, ExitCodeIsStillActiveUntilTheRoutineReturns) {
    ScopedHandle release(NewEvent(true, false));
    ThreadContext context;
    context.release = release.get();
    context.result = 42;
    DWORD id = 0;
    ScopedHandle thread(CreateThread(nullptr, 0, ContextThread, &context, 0, &id));
    ASSERT_NE(thread.get(), nullptr);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread.get(), &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(thread.get(), 0), WAIT_TIMEOUT);

    SetEvent(release.get());
    ASSERT_EQ(WaitForSingleObject(thread.get(), INFINITE), WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeThread(thread.get(), &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(context.id, id);
    EXPECT_NE(id, GetCurrentThreadId());
    // A finished thread stays signalled.
    EXPECT_EQ(WaitForSingleObject(thread.get(), 0), WAIT_OBJECT_0);
}

TEST(ThreadTest, SuspendedThreadRunsOnlyAfterResume) {
    ThreadContext context;
    context.result = 3;
    ScopedHandle thread(CreateThread(nullptr, 0, ContextThread, &context, CREATE_SUSPENDED, nullptr));
    ASSERT_NE(thread.get(), nullptr);
    EXPECT_EQ(WaitForSingleObject(thread.get(), 10), WAIT_TIMEOUT);
    EXPECT_FALSE(context.ran);
    EXPECT_EQ(ResumeThread(thread.get()), 1u);
    ASSERT_EQ(WaitForSingleObject(thread.get(), INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(context.ran);
    EXPECT_EQ(ResumeThread(thread.get()), 0u);  // not suspended any more
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread.get(), &code));
    EXPECT_EQ(code, 3u);
}

struct UnwindWitness {
    bool* destroyed;
    ~UnwindWitness() { *destroyed = true; }
};

DWORD WINAPI ExitThreadEarly(LPVOID parameter) {
    UnwindWitness witness{static_cast<bool*>(parameter)};
    ExitThread(7);
}

TEST(ThreadTest, ExitThreadSetsTheCodeAndUnwinds) {
    bool destroyed = false;
    ScopedHandle thread(CreateThread(nullptr, 0, ExitThreadEarly, &destroyed, 0, nullptr));
    ASSERT_EQ(WaitForSingleObject(thread.get(), INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread.get(), &code));
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(destroyed);
}

TEST(ThreadTest, TerminatingAStuckThreadSignalsAtOnceAndIgnoresItsLaterResult) {
    ScopedHandle started(NewEvent(true, false));
    ScopedHandle release(NewEvent(true, false));
    ScopedHandle done(NewEvent(true, false));
    ThreadContext context;
    context.started = started.get();
    context.release = release.get();
    context.done = done.get();
    context.result = 5;
    ScopedHandle thread(CreateThread(nullptr, 0, ContextThread, &context, 0, nullptr));
    ASSERT_NE(thread.get(), nullptr);
    // Stuck for real: inside its routine, waiting for `release`.
    ASSERT_EQ(WaitForSingleObject(started.get(), INFINITE), WAIT_OBJECT_0);

    ASSERT_TRUE(TerminateThread(thread.get(), 99));
    EXPECT_EQ(WaitForSingleObject(thread.get(), 0), WAIT_OBJECT_0);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread.get(), &code));
    EXPECT_EQ(code, 99u);

    // Let the abandoned thread run to its end; its own result must not count.
    SetEvent(release.get());
    ASSERT_EQ(WaitForSingleObject(done.get(), INFINITE), WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeThread(thread.get(), &code));
    EXPECT_EQ(code, 99u);
}

TEST(ThreadTest, TerminatingASuspendedThreadMeansItNeverRuns) {
    ThreadContext context;
    ScopedHandle thread(CreateThread(nullptr, 0, ContextThread, &context, CREATE_SUSPENDED, nullptr));
    ASSERT_TRUE(TerminateThread(thread.get(), 11));
    EXPECT_EQ(WaitForSingleObject(thread.get(), 0), WAIT_OBJECT_0);
    ResumeThread(thread.get());
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread.get(), &code));
    EXPECT_EQ(code, 11u);
    EXPECT_FALSE(context.ran);
}

TEST(ThreadTest, ClosingTheHandleLeavesTheThreadRunning) {
    ScopedHandle release(NewEvent(true, false));
    ScopedHandle done(NewEvent(true, false));
    ThreadContext context;
    context.release = release.get();
    context.done = done.get();
    HANDLE thread = CreateThread(nullptr, 0, ContextThread, &context, 0, nullptr);
    ASSERT_TRUE(CloseHandle(thread));
    SetEvent(release.get());
    EXPECT_EQ(WaitForSingleObject(done.get(), INFINITE), WAIT_OBJECT_0);
}

TEST(ThreadTest, WaitingForAThreadOrAnEvent) {
    ScopedHandle release(NewEvent(true, false));
    ScopedHandle never(NewEvent(true, false));
    ThreadContext context;
    context.release = release.get();
    ScopedHandle thread(CreateThread(nullptr, 0, ContextThread, &context, 0, nullptr));
    HANDLE handles[] = {never.get(), thread.get()};
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 0), WAIT_TIMEOUT);
    SetEvent(release.get());
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, INFINITE), WAIT_OBJECT_0 + 1);
}

TEST(ThreadTest, PrioritiesAreKeptPerThread) {
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
    ASSERT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL));
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_ABOVE_NORMAL);
    SetLastError(0);
    EXPECT_FALSE(SetThreadPriority(GetCurrentThread(), 8));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    ASSERT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL));

    ThreadContext context;
    ScopedHandle thread(CreateThread(nullptr, 0, ContextThread, &context, CREATE_SUSPENDED, nullptr));
    ASSERT_TRUE(SetThreadPriority(thread.get(), THREAD_PRIORITY_IDLE));
    EXPECT_EQ(GetThreadPriority(thread.get()), THREAD_PRIORITY_IDLE);
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
    ResumeThread(thread.get());
    WaitForSingleObject(thread.get(), INFINITE);

    EXPECT_EQ(GetThreadPriority(reinterpret_cast<HANDLE>(0x7FF0)), THREAD_PRIORITY_ERROR_RETURN);
}

TEST(ThreadTest, IdentityOfThreadAndProcess) {
    EXPECT_NE(GetCurrentThreadId(), 0u);
    EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
    EXPECT_NE(GetCurrentThread(), nullptr);
    EXPECT_NE(GetCurrentProcess(), nullptr);
    EXPECT_NE(GetCurrentProcessId(), 0u);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(GetCurrentThread(), &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
}

TEST(ThreadTest, CreateThreadWithoutARoutineFails) {
    SetLastError(0);
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// ---- Critical sections ------------------------------------------------------------

struct SectionContext {
    CRITICAL_SECTION* section;
    BOOL tryResult = FALSE;
};

DWORD WINAPI TryEnterThread(LPVOID parameter) {
    auto* context = static_cast<SectionContext*>(parameter);
    context->tryResult = TryEnterCriticalSection(context->section);
    if (context->tryResult) LeaveCriticalSection(context->section);
    return 0;
}

BOOL TryEnterFromAnotherThread(CRITICAL_SECTION* section) {
    SectionContext context{section};
    HANDLE thread = CreateThread(nullptr, 0, TryEnterThread, &context, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return context.tryResult;
}

TEST(CriticalSectionTest, RecursiveOwnershipIsCountedAndExclusive) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_TRUE(TryEnterCriticalSection(&section));
    EXPECT_EQ(section.OwnerThread, GetCurrentThreadId());
    EXPECT_EQ(section.LockCount, 3u);
    EXPECT_FALSE(TryEnterFromAnotherThread(&section));

    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    EXPECT_FALSE(TryEnterFromAnotherThread(&section));  // still held once
    LeaveCriticalSection(&section);
    EXPECT_EQ(section.LockCount, 0u);
    EXPECT_EQ(section.OwnerThread, 0u);
    EXPECT_TRUE(TryEnterFromAnotherThread(&section));
    DeleteCriticalSection(&section);
}

struct CounterContext {
    CRITICAL_SECTION* section;
    long* counter;  // deliberately not atomic: the section protects it
    int rounds;
};

DWORD WINAPI CountUnderSection(LPVOID parameter) {
    auto* context = static_cast<CounterContext*>(parameter);
    for (int i = 0; i < context->rounds; ++i) {
        EnterCriticalSection(context->section);
        long value = *context->counter;
        *context->counter = value + 1;
        LeaveCriticalSection(context->section);
    }
    return 0;
}

TEST(CriticalSectionTest, ContendingThreadsLoseNoUpdates) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    long counter = 0;
    CounterContext context{&section, &counter, 5000};
    std::vector<HANDLE> threads;
    for (int i = 0; i < 4; ++i) threads.push_back(CreateThread(nullptr, 0, CountUnderSection, &context, 0, nullptr));
    ASSERT_EQ(WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE),
              WAIT_OBJECT_0);
    for (HANDLE h : threads) CloseHandle(h);
    EXPECT_EQ(counter, 4 * 5000);
    DeleteCriticalSection(&section);
}

// ---- Interlocked operations and ticks --------------------------------------------------

TEST(InterlockedTest, ReturnValuesFollowTheWin32Contract) {
    LONG value = 5;
    EXPECT_EQ(InterlockedIncrement(&value), 6);
    EXPECT_EQ(InterlockedDecrement(&value), 5);
    EXPECT_EQ(InterlockedExchange(&value, 9), 5);
    EXPECT_EQ(InterlockedExchangeAdd(&value, 3), 9);
    EXPECT_EQ(value, 12);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 7), 12);  // no match: unchanged
    EXPECT_EQ(value, 12);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 12), 12);  // match: exchanged
    EXPECT_EQ(value, 1);
    int a = 0, b = 0;
    PVOID pointer = &a;
    EXPECT_EQ(InterlockedExchangePointer(&pointer, &b), &a);
    EXPECT_EQ(pointer, &b);
}

TEST(TickTest, SleepAdvancesTheTickCountAtLeastThatFar) {
    DWORD before = GetTickCount();
    Sleep(20);
    DWORD after = GetTickCount();
    EXPECT_GE(after - before, 20u);
    Sleep(0);  // yields only
}

}  // namespace
