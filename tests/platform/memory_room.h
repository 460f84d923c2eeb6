// A child process with little room to allocate: runs a piece of a test in a
// forked copy of the test process whose address space may grow by a given
// number of bytes only, so that a parser that allocates what a forged length
// says fails there (or, in the sanitizer build, ends the child) instead of
// passing because the host has memory to spare.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

// What WithAddressSpaceRoom answers when the child gave no result.
constexpr int kNoResult = -1000;

// The current size of the address space, from /proc/self/status.
inline uint64_t AddressSpaceBytes() {
    std::ifstream status("/proc/self/status");
    std::string key;
    uint64_t kilobytes = 0;
    while (status >> key) {
        if (key == "VmSize:") {
            status >> kilobytes;
            return kilobytes * 1024;
        }
        status.ignore(1 << 10, '\n');
    }
    return 0;
}

// Runs `body` (which returns -100 to 100) in a child whose address space may
// grow by at most `room` bytes; the child's result, or kNoResult when it did
// not return one (it was ended, or the limit could not be set).
template <class Body>
int WithAddressSpaceRoom(uint64_t room, Body body) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const uint64_t limit = AddressSpaceBytes() + room;
        rlimit r = {limit, limit};
        if (setrlimit(RLIMIT_AS, &r) != 0) _exit(0);
        _exit(128 + body());  // exit codes below 28 are the child's failures
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return kNoResult;
    if (!WIFEXITED(status) || WEXITSTATUS(status) < 28) return kNoResult;
    return WEXITSTATUS(status) - 128;
}
