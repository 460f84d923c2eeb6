// Opening host libraries on first use (see host_library.h).
#include "host/host_library.h"

#include <dlfcn.h>

#include <cstdio>

namespace platform {

void* OpenHostLibrary(const char* soname) {
    // Local binding: the program's own symbols never resolve into it, and
    // nothing of it is unloaded again (its tables live as long as the process).
    void* library = dlopen(soname, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!library) std::fprintf(stderr, "kestrava: cannot load %s: %s\n", soname, dlerror());
    return library;
}

void* HostFunction(void* library, const char* soname, const char* name) {
    void* function = library ? dlsym(library, name) : nullptr;
    if (library && !function) std::fprintf(stderr, "kestrava: %s has no %s\n", soname, name);
    return function;
}

}  // namespace platform
