// SettingsStore: one registry key opened below a base path, with the value
// rules every setting follows: numbers are 4-byte binary values and count
// only when exactly 4 bytes come back; an empty string is never written, so
// a cleared entry keeps what was stored. One instance per use, on the stack;
// each Open appends its subkey to the path, so an instance opens one subkey.
#pragma once

#include <windows.h>
#include <winreg.h>

// The base path of every setting under the local-machine root.
#define KESTRAVA_SETTINGS_BASE u"Software\\Halvoric\\Kestrava\\"

class SettingsStore {
public:
    // Copies `basePath` (empty when null) and ends it with "\".
    explicit SettingsStore(LPCWSTR basePath, HKEY root = HKEY_LOCAL_MACHINE);
    virtual ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Closes any open key, appends `subkey` to the path and opens it: created
    // or opened for writing with `write`, else opened for reading.
    bool Open(LPCWSTR subkey, bool write);
    bool Close();

    bool ReadNumber(LPCWSTR name, DWORD* out);
    bool WriteNumber(LPCWSTR name, DWORD value);
    // *size: the buffer's size in, the bytes read out.
    bool ReadBinary(LPCWSTR name, void* buffer, DWORD* size);
    bool WriteBinary(LPCWSTR name, const void* data, DWORD size);
    // On failure the buffer is emptied; on success the text ends after the
    // bytes that came back (a stored text longer than the buffer fails).
    bool ReadString(LPCWSTR name, LPWSTR buffer, DWORD capacity);
    // Whether a value of that name is stored, whatever its type and size.
    bool HasValue(LPCWSTR name);
    // An empty text is not written and counts as a failure.
    bool WriteString(LPCWSTR name, LPCWSTR text);

    // Opens `keyPath` below `root` for writing and writes one string.
    static bool WriteStringAt(HKEY root, LPCWSTR keyPath, LPCWSTR name, LPCWSTR text);

    LPCWSTR Path() const { return path_; }

private:
    WCHAR path_[MAX_PATH];
    HKEY root_;
    HKEY key_ = nullptr;
    DWORD scratch_ = 0;  // value type on reads, disposition on writes
};
