// The fault guard: real processor faults inside a guard come back as a
// failure with their signal, on the main thread and on others, and the
// process carries on. Skipped in the sanitizer build, where the guard is off.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include "platform/fault_guard.h"
#include "windows.h"

namespace {

void WriteThroughNull() {
    // Both volatile: the compiler must load the pointer and really store.
    volatile int* volatile pointer = nullptr;
    *pointer = 1;
}

void DivideByZero() {
#if defined(__x86_64__) || defined(__i386__)
    // Volatile operands: no constant folding, no shortcut for a dividend of 1.
    volatile int dividend = 7;
    volatile int zero = 0;
    volatile int result = dividend / zero;
    (void)result;
#else
    // Other processors return 0 for an integer division by zero.
    raise(SIGFPE);
#endif
}

void RaiseIllegalInstruction() { raise(SIGILL); }

void TrapInstruction() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_trap();  // ud2: a real illegal instruction
#else
    raise(SIGILL);
#endif
}

// Reads a mapped page beyond the end of an empty file: a bus error.
void ReadPastEndOfMappedFile() {
    char name[] = "/tmp/kestrava-sigbus-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) return;
    unlink(name);
    void* page = mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (page == MAP_FAILED) return;
    volatile char c = *static_cast<volatile char*>(page);
    (void)c;
}

volatile int g_depthLimit = 1 << 30;  // far beyond any stack; the compiler cannot know

int Recurse(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth > g_depthLimit) return depth;
    return Recurse(depth + 1) + frame[0];  // not a tail call
}

void OverflowTheStack() { Recurse(0); }

// In a death test's child: the expected crash should not leave a core file.
void NoCoreDump() {
    rlimit none = {0, 0};
    setrlimit(RLIMIT_CORE, &none);
}

struct FaultCase {
    const char* name;
    void (*fault)();
    int signal;
};

const FaultCase kFaults[] = {
    {"null write", WriteThroughNull, SIGSEGV},
    {"integer division by zero", DivideByZero, SIGFPE},
    {"raised SIGILL", RaiseIllegalInstruction, SIGILL},
    {"trap instruction", TrapInstruction, SIGILL},
    {"read past a mapped file", ReadPastEndOfMappedFile, SIGBUS},
};

class FaultGuardTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!platform::FaultGuardEnabled()) GTEST_SKIP() << "the sanitizer build leaves faults to the sanitizer";
    }
};

TEST_F(FaultGuardTest, FaultsOnTheMainThreadReturnFalseWithTheSignal) {
    for (const FaultCase& c : kFaults) {
        SCOPED_TRACE(c.name);
        int signal = 0;
        EXPECT_FALSE(platform::RunGuarded([&] { c.fault(); }, &signal));
        EXPECT_EQ(signal, c.signal);
    }
    // The same fault again: the guard is reusable.
    EXPECT_FALSE(platform::RunGuarded([] { WriteThroughNull(); }));
}

TEST_F(FaultGuardTest, NormalReturnIsTrueAndRunsTheFunction) {
    int calls = 0;
    int signal = -1;
    EXPECT_TRUE(platform::RunGuarded([&] { ++calls; }, &signal));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(signal, -1);  // untouched
}

struct WorkerResult {
    bool returned[sizeof(kFaults) / sizeof(kFaults[0])] = {};
    int signals[sizeof(kFaults) / sizeof(kFaults[0])] = {};
    bool overflowReturned = true;
    int overflowSignal = 0;
};

DWORD WINAPI FaultOnWorker(LPVOID parameter) {
    auto* result = static_cast<WorkerResult*>(parameter);
    for (size_t i = 0; i < sizeof(kFaults) / sizeof(kFaults[0]); ++i) {
        result->returned[i] = platform::RunGuarded([&] { kFaults[i].fault(); }, &result->signals[i]);
    }
    // Running out of stack is caught on the thread's alternate signal stack.
    result->overflowReturned = platform::RunGuarded([] { OverflowTheStack(); }, &result->overflowSignal);
    return 0;
}

TEST_F(FaultGuardTest, FaultsOnAWorkerThreadIncludingStackOverflow) {
    WorkerResult result;
    HANDLE thread = CreateThread(nullptr, 0, FaultOnWorker, &result, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    CloseHandle(thread);
    for (size_t i = 0; i < sizeof(kFaults) / sizeof(kFaults[0]); ++i) {
        SCOPED_TRACE(kFaults[i].name);
        EXPECT_FALSE(result.returned[i]);
        EXPECT_EQ(result.signals[i], kFaults[i].signal);
    }
    EXPECT_FALSE(result.overflowReturned);
    EXPECT_EQ(result.overflowSignal, SIGSEGV);
}

TEST_F(FaultGuardTest, NestedGuardsCatchAtTheInnermostAndOuterGoesOn) {
    bool innerReturned = true;
    int innerSignal = 0;
    bool afterInner = false;
    int outerSignal = 0;
    bool outerReturned = platform::RunGuarded(
        [&] {
            innerReturned = platform::RunGuarded([] { DivideByZero(); }, &innerSignal);
            afterInner = true;
            // The outer guard is still armed after the inner one caught.
            WriteThroughNull();
        },
        &outerSignal);
    EXPECT_FALSE(innerReturned);
    EXPECT_EQ(innerSignal, SIGFPE);
    EXPECT_TRUE(afterInner);
    EXPECT_FALSE(outerReturned);
    EXPECT_EQ(outerSignal, SIGSEGV);

    // A clean inner guard leaves the outer one intact too.
    bool inner = false;
    EXPECT_TRUE(platform::RunGuarded([&] { inner = platform::RunGuarded([] {}); }));
    EXPECT_TRUE(inner);
}

TEST_F(FaultGuardTest, AFaultOutsideAnyGuardStillEndsTheProcess) {
    // Arm the handlers first, then fault without a guard.
    platform::RunGuarded([] {});
    EXPECT_EXIT((NoCoreDump(), WriteThroughNull()), ::testing::KilledBySignal(SIGSEGV), "");
    EXPECT_EXIT((NoCoreDump(), raise(SIGILL)), ::testing::KilledBySignal(SIGILL), "");
}

}  // namespace
