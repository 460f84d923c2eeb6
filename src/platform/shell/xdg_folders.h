// The host desktop's base folders (the XDG base directories), and a file
// written whole or not at all.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace shell {

// $XDG_DATA_HOME, else ~/.local/share.
std::string DataHome();
// $XDG_CONFIG_HOME, else ~/.config.
std::string ConfigHome();
// DataHome(), then each folder of $XDG_DATA_DIRS (default
// /usr/local/share:/usr/share). Relative entries are ignored, as the
// desktop ignores them.
std::vector<std::string> DataFolders();

// Creates a folder and its parents; false when it is not a folder after.
bool MakeFolders(const std::string& path);
// Reads a regular file of at most `largest` bytes; false otherwise.
bool ReadHostFile(const std::string& path, size_t largest, std::string* text);
// Writes `text` to a temporary file beside `path`, flushes it and renames it
// over `path`, so a failure leaves the old file as it was.
bool ReplaceHostFile(const std::string& path, std::string_view text);

}  // namespace shell
