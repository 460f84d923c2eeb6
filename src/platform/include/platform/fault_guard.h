// The fault guard: runs a function so that a processor fault on the calling
// thread (SIGSEGV, SIGBUS, SIGFPE, SIGILL) returns to the caller as a failure
// instead of ending the process, as structured exception handling does on
// the device. The last line of defence around decoders and plug-ins, which
// bound-check their input anyway. Any thread may use it; guards nest. In the
// sanitizer build the guard is off and a fault reaches the sanitizer.
#pragma once

#include <type_traits>

namespace platform {

// Returns true when fn returned normally; false after a fault, with the
// signal number in *signal when given. After a fault the function's locals
// are abandoned without destructors: guarded code must not hold locks.
bool RunGuarded(void (*fn)(void* context), void* context, int* signal = nullptr);

template <class F>
bool RunGuarded(F&& f, int* signal = nullptr) {
    using Fn = std::remove_reference_t<F>;
    return RunGuarded([](void* c) { (*static_cast<Fn*>(c))(); }, static_cast<void*>(&f), signal);
}

// False in the sanitizer build, where faults are left to the sanitizer.
bool FaultGuardEnabled();

}  // namespace platform
