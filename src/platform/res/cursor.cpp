// LoadCursorW, SetCursor and GetCursor. The device draws no pointer, so the
// system's cursors are plain distinct values; the current one is recorded so
// that code can swap in the wait cursor and restore what was there before.
#include <atomic>

#include "windows.h"

namespace {

// One object per system cursor: its address is the cursor's value, so it never
// collides with a real handle or an integer resource id.
struct SystemCursor {
    WORD id;
};
const SystemCursor kSystemCursors[] = {{32512}, {32513}, {32514}, {32515}, {32516}};

std::atomic<HCURSOR> currentCursor{nullptr};

}  // namespace

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
    if (instance || !IS_INTRESOURCE(name)) {
        // Cursor resources of a module are not provided.
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    WORD id = static_cast<WORD>(reinterpret_cast<uintptr_t>(name));
    for (const SystemCursor& cursor : kSystemCursors) {
        if (cursor.id == id) return reinterpret_cast<HCURSOR>(const_cast<SystemCursor*>(&cursor));
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) { return currentCursor.exchange(cursor); }

HCURSOR GetCursor(void) { return currentCursor.load(); }
