// The registry's keys and values in memory, and their text file: the format
// "Windows Registry Editor Version 5.00" (UTF-8 written; UTF-8 or UTF-16LE
// with a byte-order mark read). Parsing never trusts the file: every name,
// value and count has a hard cap, and a file that breaks the format or a cap
// yields a RegFileError with its line instead of a partial tree. No locking.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "windows.h"

namespace platform::reg {

constexpr size_t kMaxKeyNameChars = 255;  // one path component
constexpr size_t kMaxValueNameChars = 16383;
constexpr size_t kMaxDepth = 512;  // components below a root
constexpr size_t kMaxValueBytes = 1 << 20;
constexpr size_t kMaxEntries = 1 << 18;  // keys plus values in the whole file
constexpr size_t kMaxFileBytes = 32u << 20;

enum class Hive { LocalMachine, ClassesRoot, CurrentUser };
constexpr int kHiveCount = 3;

struct RegValue {
    std::u16string name;  // empty for the default value ("@")
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// Names compare ignoring ASCII case; the key keeps the case it was created with.
std::u16string FoldName(std::u16string_view name);

struct RegKey {
    std::u16string name;
    FILETIME lastWrite{};
    // Values in the order they were first set: that is the enumeration order,
    // and the file keeps it.
    std::vector<RegValue> values;
    std::unordered_map<std::u16string, size_t> valueIndex;  // folded name -> position
    // Subkeys by folded name, which is also their enumeration order.
    std::map<std::u16string, std::unique_ptr<RegKey>> subkeys;

    const RegValue* FindValue(std::u16string_view name) const;
    // Both return whether anything changed.
    bool SetValue(std::u16string_view name, DWORD type, const BYTE* data, size_t size);
    bool DeleteValue(std::u16string_view name);
    RegKey* FindSubkey(std::u16string_view name) const;
};

struct RegTree {
    RegKey roots[kHiveCount];
    RegKey& Root(Hive hive) { return roots[static_cast<int>(hive)]; }
};

using KeyPath = std::vector<std::u16string>;

RegKey* FindKey(RegTree& tree, Hive hive, const KeyPath& path);
// Creates the missing keys along the path; *created receives how many were new.
RegKey* CreateKey(RegTree& tree, Hive hive, const KeyPath& path, const FILETIME& now,
                  size_t* created);
// Removes the key with everything below it; false when it does not exist.
// A root cannot be removed.
bool DeleteKey(RegTree& tree, Hive hive, const KeyPath& path);

enum class RegFileError {
    None,
    Unreadable,
    FileTooLarge,
    NotText,  // neither UTF-8 nor UTF-16LE text, or a NUL character
    BadHeader,
    UnterminatedSection,
    UnknownRoot,
    BadKeyName,  // an empty path component
    TooDeep,
    NameTooLong,
    ValueOutsideSection,
    BadValueLine,
    BadString,
    BadDword,
    BadHex,
    ValueTooLarge,
    TooManyEntries,
};
const char* RegFileErrorText(RegFileError error);

struct ParseResult {
    RegFileError error = RegFileError::None;
    size_t line = 0;  // 1-based line of the error, 0 when not tied to a line
};

// Parses a whole file into *tree (which should be empty). Every key read gets
// loadTime as its last write time. On error *tree holds whatever was read before it.
ParseResult ParseRegistryFile(const uint8_t* bytes, size_t size, const FILETIME& loadTime,
                              RegTree* tree);

// The file text for the tree, and how many keys and values it holds.
std::string SerializeRegistry(const RegTree& tree, size_t* entries);

}  // namespace platform::reg
