// UTF-16 text helpers for the layer and its callers: conversions between the
// system's UTF-16 and the host's UTF-8. Invalid sequences become U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// *hadInvalid (when given) tells whether any sequence was replaced.
std::u16string Utf8ToUtf16(std::string_view text, bool* hadInvalid = nullptr);
std::string Utf16ToUtf8(std::u16string_view text);

// ASCII-only case folding, the comparison file names and registry keys use.
char16_t FoldCase(char16_t c);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);

}  // namespace platform
