// The registry accessor of the settings.
#include "app/settings_store.h"

SettingsStore::SettingsStore(LPCWSTR basePath, HKEY root) : root_(root) {
    path_[0] = 0;
    if (basePath) lstrcpynW(path_, basePath, MAX_PATH);
    int length = lstrlenW(path_);
    if (length > 0 && path_[length - 1] != u'\\' && length < MAX_PATH - 1) {
        path_[length] = u'\\';
        path_[length + 1] = 0;
    }
}

SettingsStore::~SettingsStore() { Close(); }

bool SettingsStore::Open(LPCWSTR subkey, bool write) {
    Close();
    if (subkey) {
        int length = lstrlenW(path_);
        lstrcpynW(path_ + length, subkey, MAX_PATH - length);
    }
    LONG result;
    if (write) {
        result = RegCreateKeyExW(root_, path_, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                 nullptr, &key_, &scratch_);
    } else {
        result = RegOpenKeyExW(root_, path_, 0, KEY_READ, &key_);
    }
    if (result != ERROR_SUCCESS) key_ = nullptr;
    return key_ != nullptr;
}

bool SettingsStore::Close() {
    if (key_) {
        RegCloseKey(key_);
        key_ = nullptr;
    }
    return true;
}

bool SettingsStore::ReadNumber(LPCWSTR name, DWORD* out) {
    if (!key_) return false;
    DWORD value = 0;
    DWORD size = sizeof(value);
    // A longer stored value fails with "more data" and a shorter one comes
    // back short: either way the caller keeps its default.
    if (RegQueryValueExW(key_, name, nullptr, &scratch_, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        size != sizeof(value)) {
        return false;
    }
    *out = value;
    return true;
}

bool SettingsStore::WriteNumber(LPCWSTR name, DWORD value) {
    return WriteBinary(name, &value, sizeof(value));
}

bool SettingsStore::ReadBinary(LPCWSTR name, void* buffer, DWORD* size) {
    if (!key_) return false;
    return RegQueryValueExW(key_, name, nullptr, &scratch_, static_cast<BYTE*>(buffer), size) ==
           ERROR_SUCCESS;
}

bool SettingsStore::WriteBinary(LPCWSTR name, const void* data, DWORD size) {
    if (!key_) return false;
    return RegSetValueExW(key_, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size) ==
           ERROR_SUCCESS;
}

bool SettingsStore::ReadString(LPCWSTR name, LPWSTR buffer, DWORD capacity) {
    if (!buffer || capacity == 0) return false;
    buffer[0] = 0;
    if (!key_) return false;
    // One character is kept back for the terminator the stored bytes may lack.
    DWORD size = (capacity - 1) * sizeof(WCHAR);
    if (RegQueryValueExW(key_, name, nullptr, &scratch_, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS) {
        buffer[0] = 0;
        return false;
    }
    // A foreign value type (a number where a text belongs) reads as no text.
    if (scratch_ != REG_SZ && scratch_ != REG_EXPAND_SZ) {
        buffer[0] = 0;
        return false;
    }
    buffer[size / sizeof(WCHAR)] = 0;
    return true;
}

bool SettingsStore::HasValue(LPCWSTR name) {
    DWORD size = 0;
    return key_ && RegQueryValueExW(key_, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
}

bool SettingsStore::WriteString(LPCWSTR name, LPCWSTR text) {
    if (!key_ || !text || !text[0]) return false;
    DWORD size = (lstrlenW(text) + 1) * sizeof(WCHAR);
    return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size) ==
           ERROR_SUCCESS;
}

bool SettingsStore::WriteStringAt(HKEY root, LPCWSTR keyPath, LPCWSTR name, LPCWSTR text) {
    SettingsStore store(nullptr, root);
    return store.Open(keyPath, true) && store.WriteString(name, text);
}
