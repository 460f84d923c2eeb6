// The host libraries behind the display, the fonts and the screenshots (SDL2,
// FreeType, fontconfig, libpng) are opened when first used, not when the
// program starts: a batch tool that never draws text or opens a window then
// loads none of them (nor the sixty libraries they pull in). Each library's
// functions sit in a table of pointers named as the library names them; the
// table is filled on first use from one thread and never changes after.
// A library or function that is missing makes its accessor return null, and
// the caller fails as it fails when the host refuses the service.
#pragma once

namespace platform {

// dlopen of a soname, with the error on stderr when it fails; null then.
void* OpenHostLibrary(const char* soname);
// A function of an opened library; null (with a message) when missing.
void* HostFunction(void* library, const char* soname, const char* name);

}  // namespace platform

// Declares a table member for each function of the list.
#define KESTRAVA_HOST_MEMBER(name) decltype(&::name) name = nullptr;
// Fills the member from the opened library `lib`; `ok` turns false when
// a function is missing.
#define KESTRAVA_HOST_BIND(name)                                                              \
    table.name = reinterpret_cast<decltype(&::name)>(platform::HostFunction(lib, soname, #name)); \
    ok = ok && table.name != nullptr;
