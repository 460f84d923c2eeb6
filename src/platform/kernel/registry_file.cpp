// The registry tree and its text file. The parser works on the decoded text
// one line at a time; each tolerance of a hand-edited or regedit-exported file
// is its own branch below.
#include "registry_file.h"

#include <algorithm>
#include <cstring>

namespace platform::reg {
namespace {

constexpr std::u16string_view kHeader = u"Windows Registry Editor Version 5.00";
constexpr const char* kHeaderUtf8 = "Windows Registry Editor Version 5.00\n";
constexpr const char* kHiveNames[kHiveCount] = {"HKEY_LOCAL_MACHINE", "HKEY_CLASSES_ROOT",
                                                "HKEY_CURRENT_USER"};
constexpr size_t kHexLineWidth = 76;  // where regedit wraps long hex lists

char16_t FoldChar(char16_t c) {
    return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
}

bool EqualsAsciiIgnoreCase(std::u16string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldChar(a[i]) != FoldChar(static_cast<char16_t>(b[i]))) return false;
    }
    return true;
}

bool StartsWithAsciiIgnoreCase(std::u16string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           EqualsAsciiIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string_view TrimLeft(std::u16string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return s;
}

std::u16string_view TrimRight(std::u16string_view s) {
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Reads 1 to maxDigits hex digits from the front of *s.
bool TakeHex(std::u16string_view* s, size_t maxDigits, uint32_t* value) {
    size_t n = 0;
    uint32_t v = 0;
    while (n < s->size() && HexDigit((*s)[n]) >= 0) {
        if (++n > maxDigits) return false;
        v = (v << 4) | static_cast<uint32_t>(HexDigit((*s)[n - 1]));
    }
    if (n == 0) return false;
    s->remove_prefix(n);
    *value = v;
    return true;
}

// Only blanks or a ';' comment may follow a complete value.
bool OnlyTrailer(std::u16string_view rest) {
    rest = TrimLeft(rest);
    return rest.empty() || rest.front() == u';';
}

bool IsHighSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// Strict UTF-8: overlong forms, encoded surrogates, values above U+10FFFF and
// truncated sequences are refused. *bad receives the offending offset.
bool DecodeUtf8(const uint8_t* p, size_t n, std::u16string* out, size_t* bad) {
    out->reserve(n);
    size_t i = 0;
    while (i < n) {
        uint8_t b = p[i];
        char32_t cp;
        size_t len;
        if (b < 0x80) {
            out->push_back(b);
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            cp = b & 0x1F;
            len = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            cp = b & 0x0F;
            len = 3;
        } else if (b >= 0xF0 && b <= 0xF4) {
            cp = b & 0x07;
            len = 4;
        } else {
            *bad = i;
            return false;
        }
        if (n - i < len) {
            *bad = i;
            return false;
        }
        for (size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) {
                *bad = i;
                return false;
            }
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            IsHighSurrogate(cp) || IsLowSurrogate(cp)) {
            *bad = i;
            return false;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out->push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return true;
}

// Units must pair up as UTF-16 does; *bad receives the unit index that does not.
bool CheckUtf16(std::u16string_view s, size_t* bad) {
    for (size_t i = 0; i < s.size(); ++i) {
        if (IsHighSurrogate(s[i]) && i + 1 < s.size() && IsLowSurrogate(s[i + 1])) {
            ++i;
        } else if (IsHighSurrogate(s[i]) || IsLowSurrogate(s[i])) {
            *bad = i;
            return false;
        }
    }
    return true;
}

void AppendUtf8(std::string* out, std::u16string_view s) {
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (IsHighSurrogate(c) && i + 1 < s.size() && IsLowSurrogate(s[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            c = 0xFFFD;  // names are checked before they get here; never expected
        }
        if (c < 0x80) {
            out->push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out->push_back(static_cast<char>(0xC0 | (c >> 6)));
            out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out->push_back(static_cast<char>(0xE0 | (c >> 12)));
            out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out->push_back(static_cast<char>(0xF0 | (c >> 18)));
            out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

char16_t UnitAt(const std::vector<BYTE>& data, size_t index) {
    return static_cast<char16_t>(data[2 * index] | (data[2 * index + 1] << 8));
}

// A REG_SZ that can be written as "text": one terminating NUL at the end and
// nothing that would break the line or the UTF-8 encoding. Anything else is
// written as hex(1) so it comes back byte for byte.
bool IsPlainString(const RegValue& v) {
    if (v.type != REG_SZ || v.data.size() < 2 || v.data.size() % 2 != 0) return false;
    size_t units = v.data.size() / 2;
    if (UnitAt(v.data, units - 1) != 0) return false;
    for (size_t i = 0; i + 1 < units; ++i) {
        char16_t c = UnitAt(v.data, i);
        if ((c < 0x20 && c != u'\t') || c == 0x7F) return false;
        if (IsHighSurrogate(c) && i + 2 < units && IsLowSurrogate(UnitAt(v.data, i + 1))) {
            ++i;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            return false;
        }
    }
    return true;
}

void AppendQuoted(std::string* out, std::u16string_view s) {
    out->push_back('"');
    std::string utf8;
    AppendUtf8(&utf8, s);
    for (char c : utf8) {
        if (c == '\\' || c == '"') out->push_back('\\');
        out->push_back(c);
    }
    out->push_back('"');
}

void AppendValue(std::string* out, const RegValue& v) {
    static const char kDigits[] = "0123456789abcdef";
    size_t start = out->size();
    if (v.name.empty()) {
        out->push_back('@');
    } else {
        AppendQuoted(out, v.name);
    }
    out->push_back('=');
    if (IsPlainString(v)) {
        std::u16string text(v.data.size() / 2 - 1, u'\0');
        for (size_t i = 0; i < text.size(); ++i) text[i] = UnitAt(v.data, i);
        AppendQuoted(out, text);
        out->push_back('\n');
        return;
    }
    if (v.type == REG_DWORD && v.data.size() == 4) {
        uint32_t d = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (uint32_t(v.data[3]) << 24);
        out->append("dword:");
        for (int shift = 28; shift >= 0; shift -= 4) out->push_back(kDigits[(d >> shift) & 0xF]);
        out->push_back('\n');
        return;
    }
    if (v.type == REG_BINARY) {
        out->append("hex:");
    } else {
        out->append("hex(");
        bool digits = false;
        for (int shift = 28; shift >= 0; shift -= 4) {
            uint32_t d = (v.type >> shift) & 0xF;
            if (d != 0 || digits || shift == 0) {
                out->push_back(kDigits[d]);
                digits = true;
            }
        }
        out->append("):");
    }
    size_t lineStart = start;
    for (size_t i = 0; i < v.data.size(); ++i) {
        out->push_back(kDigits[v.data[i] >> 4]);
        out->push_back(kDigits[v.data[i] & 0xF]);
        if (i + 1 == v.data.size()) break;
        out->push_back(',');
        if (out->size() - lineStart > kHexLineWidth) {
            out->append("\\\n  ");
            lineStart = out->size() - 2;
        }
    }
    out->push_back('\n');
}

void AppendKey(std::string* out, const RegKey& key, std::string* path, bool isRoot,
               size_t* entries) {
    if (!isRoot) ++*entries;
    if (!isRoot || !key.values.empty()) {
        out->append("\n[").append(*path).append("]\n");
        for (const RegValue& v : key.values) AppendValue(out, v);
        *entries += key.values.size();
    }
    for (const auto& [folded, sub] : key.subkeys) {
        size_t length = path->size();
        path->push_back('\\');
        AppendUtf8(path, sub->name);
        AppendKey(out, *sub, path, false, entries);
        path->resize(length);
    }
}

class Parser {
public:
    Parser(std::u16string_view text, const FILETIME& loadTime, RegTree* tree)
        : text_(text), loadTime_(loadTime), tree_(tree) {}

    ParseResult Run() {
        std::u16string_view line;
        if (!NextLine(&line) || TrimRight(line) != kHeader) return {RegFileError::BadHeader, 1};
        while (NextLine(&line)) {
            line = TrimLeft(line);
            // Blank lines and ';' comments appear in regedit exports and hand-edited files.
            if (line.empty() || line.front() == u';') continue;
            RegFileError e = line.front() == u'[' ? Section(line) : ValueLine(line);
            if (e != RegFileError::None) return {e, lineNumber_};
        }
        return {};
    }

private:
    bool NextLine(std::u16string_view* line) {
        if (pos_ >= text_.size()) return false;
        size_t end = text_.find(u'\n', pos_);
        if (end == std::u16string_view::npos) end = text_.size();
        *line = text_.substr(pos_, end - pos_);
        // Files saved on Windows end their lines with CRLF.
        if (!line->empty() && line->back() == u'\r') line->remove_suffix(1);
        pos_ = end + 1;
        ++lineNumber_;
        return true;
    }

    RegFileError Section(std::u16string_view line) {
        line = TrimRight(line);
        if (line.size() < 2 || line.back() != u']') return RegFileError::UnterminatedSection;
        std::u16string_view inner = line.substr(1, line.size() - 2);
        // "[-KEY]" is how regedit files remove a key; the values that follow are ignored.
        bool remove = !inner.empty() && inner.front() == u'-';
        if (remove) inner.remove_prefix(1);
        size_t slash = inner.find(u'\\');
        std::u16string_view rootName = inner.substr(0, slash);
        int hive = -1;
        for (int h = 0; h < kHiveCount; ++h) {
            if (EqualsAsciiIgnoreCase(rootName, kHiveNames[h])) hive = h;
        }
        if (hive < 0) return RegFileError::UnknownRoot;
        KeyPath path;
        while (slash != std::u16string_view::npos) {
            inner.remove_prefix(slash + 1);
            slash = inner.find(u'\\');
            std::u16string_view part = inner.substr(0, slash);
            if (part.empty()) return RegFileError::BadKeyName;
            if (part.size() > kMaxKeyNameChars) return RegFileError::NameTooLong;
            if (path.size() == kMaxDepth) return RegFileError::TooDeep;
            path.emplace_back(part);
        }
        sawSection_ = true;
        if (remove) {
            DeleteKey(*tree_, static_cast<Hive>(hive), path);
            section_ = nullptr;
            return RegFileError::None;
        }
        size_t created = 0;
        section_ = CreateKey(*tree_, static_cast<Hive>(hive), path, loadTime_, &created);
        entries_ += created;
        return entries_ > kMaxEntries ? RegFileError::TooManyEntries : RegFileError::None;
    }

    // *rest starts after the opening quote and ends up after the closing one.
    RegFileError Quoted(std::u16string_view* rest, std::u16string* out, size_t maxChars,
                        RegFileError tooLong) {
        std::u16string_view s = *rest;
        for (size_t i = 0; i < s.size(); ++i) {
            if (out->size() > maxChars) return tooLong;
            char16_t c = s[i];
            if (c == u'"') {
                rest->remove_prefix(i + 1);
                return RegFileError::None;
            }
            if (c == u'\\' && i + 1 < s.size() && (s[i + 1] == u'\\' || s[i + 1] == u'"')) {
                c = s[++i];
            }
            // Any other backslash is kept as it stands: hand-written paths such as
            // "C:\Temp" are meant literally.
            out->push_back(c);
        }
        return RegFileError::BadString;
    }

    // Bytes of a hex list, following regedit's continuation lines ending in '\'.
    RegFileError HexList(std::u16string_view piece, std::vector<BYTE>* out) {
        for (;;) {
            piece = TrimRight(piece);
            bool more = !piece.empty() && piece.back() == u'\\';
            if (more) piece.remove_suffix(1);
            size_t start = 0;
            for (;;) {
                size_t comma = piece.find(u',', start);
                std::u16string_view token = TrimRight(TrimLeft(piece.substr(start, comma - start)));
                bool last = comma == std::u16string_view::npos;
                if (token.empty()) {
                    // A list may end with a comma, as regedit writes it before a line break.
                    if (!last) return RegFileError::BadHex;
                } else {
                    uint32_t byte;
                    if (!TakeHex(&token, 2, &byte) || !token.empty()) return RegFileError::BadHex;
                    if (out->size() >= kMaxValueBytes) return RegFileError::ValueTooLarge;
                    out->push_back(static_cast<BYTE>(byte));
                }
                if (last) break;
                start = comma + 1;
            }
            // A continuation on the last line of the file simply ends the list.
            if (!more || !NextLine(&piece)) return RegFileError::None;
            piece = TrimLeft(piece);
        }
    }

    RegFileError ValueLine(std::u16string_view line) {
        if (!sawSection_) return RegFileError::ValueOutsideSection;
        std::u16string name;
        std::u16string_view rest;
        if (line.front() == u'@') {
            rest = line.substr(1);
        } else if (line.front() == u'"') {
            rest = line.substr(1);
            RegFileError e = Quoted(&rest, &name, kMaxValueNameChars, RegFileError::NameTooLong);
            if (e != RegFileError::None)
                return e == RegFileError::BadString ? RegFileError::BadValueLine : e;
            if (name.size() > kMaxValueNameChars) return RegFileError::NameTooLong;
        } else {
            return RegFileError::BadValueLine;
        }
        // Hand-edited files put blanks around '='.
        rest = TrimLeft(rest);
        if (rest.empty() || rest.front() != u'=') return RegFileError::BadValueLine;
        rest = TrimLeft(rest.substr(1));

        DWORD type;
        std::vector<BYTE> data;
        if (!rest.empty() && rest.front() == u'"') {
            rest.remove_prefix(1);
            std::u16string text;
            RegFileError e =
                Quoted(&rest, &text, kMaxValueBytes / 2 - 1, RegFileError::ValueTooLarge);
            if (e != RegFileError::None) return e;
            if ((text.size() + 1) * 2 > kMaxValueBytes) return RegFileError::ValueTooLarge;
            if (!OnlyTrailer(rest)) return RegFileError::BadString;
            type = REG_SZ;
            data.resize((text.size() + 1) * 2);
            for (size_t i = 0; i < text.size(); ++i) {
                data[2 * i] = static_cast<BYTE>(text[i]);
                data[2 * i + 1] = static_cast<BYTE>(text[i] >> 8);
            }
        } else if (!rest.empty() && rest.front() == u'-') {
            // "name"=- removes the value in regedit files.
            if (!OnlyTrailer(rest.substr(1))) return RegFileError::BadValueLine;
            if (section_) section_->DeleteValue(name);
            return RegFileError::None;
        } else if (StartsWithAsciiIgnoreCase(rest, "dword:")) {
            rest.remove_prefix(6);
            uint32_t d;
            if (!TakeHex(&rest, 8, &d) || !OnlyTrailer(rest)) return RegFileError::BadDword;
            type = REG_DWORD;
            data = {BYTE(d), BYTE(d >> 8), BYTE(d >> 16), BYTE(d >> 24)};
        } else if (StartsWithAsciiIgnoreCase(rest, "hex:")) {
            type = REG_BINARY;
            RegFileError e = HexList(rest.substr(4), &data);
            if (e != RegFileError::None) return e;
        } else if (StartsWithAsciiIgnoreCase(rest, "hex(")) {
            rest.remove_prefix(4);
            uint32_t t;
            if (!TakeHex(&rest, 8, &t) || rest.size() < 2 || rest[0] != u')' || rest[1] != u':') {
                return RegFileError::BadHex;
            }
            type = t;
            RegFileError e = HexList(rest.substr(2), &data);
            if (e != RegFileError::None) return e;
        } else {
            return RegFileError::BadValueLine;
        }
        if (!section_) return RegFileError::None;  // inside a "[-KEY]" section
        if (!section_->FindValue(name) && ++entries_ > kMaxEntries) {
            return RegFileError::TooManyEntries;
        }
        section_->SetValue(name, type, data.data(), data.size());
        return RegFileError::None;
    }

    std::u16string_view text_;
    size_t pos_ = 0;
    size_t lineNumber_ = 0;
    FILETIME loadTime_;
    RegTree* tree_;
    RegKey* section_ = nullptr;  // null before the first section and in "[-KEY]" sections
    bool sawSection_ = false;
    size_t entries_ = 0;
};

size_t LineOfOffset(const uint8_t* bytes, size_t offset) {
    return 1 + static_cast<size_t>(std::count(bytes, bytes + offset, uint8_t('\n')));
}

}  // namespace

std::u16string FoldName(std::u16string_view name) {
    std::u16string folded(name);
    for (char16_t& c : folded) c = FoldChar(c);
    return folded;
}

const RegValue* RegKey::FindValue(std::u16string_view name) const {
    auto it = valueIndex.find(FoldName(name));
    return it == valueIndex.end() ? nullptr : &values[it->second];
}

bool RegKey::SetValue(std::u16string_view name, DWORD type, const BYTE* data, size_t size) {
    std::u16string folded = FoldName(name);
    auto it = valueIndex.find(folded);
    if (it != valueIndex.end()) {
        RegValue& v = values[it->second];
        if (v.type == type && v.data.size() == size &&
            (size == 0 || std::memcmp(v.data.data(), data, size) == 0)) {
            return false;
        }
        v.type = type;
        v.data.assign(data, data + size);  // the name keeps the case it was created with
        return true;
    }
    valueIndex.emplace(std::move(folded), values.size());
    values.push_back(RegValue{std::u16string(name), type, std::vector<BYTE>(data, data + size)});
    return true;
}

bool RegKey::DeleteValue(std::u16string_view name) {
    auto it = valueIndex.find(FoldName(name));
    if (it == valueIndex.end()) return false;
    size_t position = it->second;
    valueIndex.erase(it);
    values.erase(values.begin() + static_cast<ptrdiff_t>(position));
    for (auto& [folded, index] : valueIndex) {
        if (index > position) --index;
    }
    return true;
}

RegKey* RegKey::FindSubkey(std::u16string_view name) const {
    auto it = subkeys.find(FoldName(name));
    return it == subkeys.end() ? nullptr : it->second.get();
}

RegKey* FindKey(RegTree& tree, Hive hive, const KeyPath& path) {
    RegKey* key = &tree.Root(hive);
    for (const std::u16string& part : path) {
        key = key->FindSubkey(part);
        if (!key) return nullptr;
    }
    return key;
}

RegKey* CreateKey(RegTree& tree, Hive hive, const KeyPath& path, const FILETIME& now,
                  size_t* created) {
    *created = 0;
    RegKey* key = &tree.Root(hive);
    for (const std::u16string& part : path) {
        std::unique_ptr<RegKey>& slot = key->subkeys[FoldName(part)];
        if (!slot) {
            slot = std::make_unique<RegKey>();
            slot->name = part;
            slot->lastWrite = now;
            key->lastWrite = now;
            ++*created;
        }
        key = slot.get();
    }
    return key;
}

bool DeleteKey(RegTree& tree, Hive hive, const KeyPath& path) {
    if (path.empty()) return false;
    KeyPath parentPath(path.begin(), path.end() - 1);
    RegKey* parent = FindKey(tree, hive, parentPath);
    return parent && parent->subkeys.erase(FoldName(path.back())) > 0;
}

const char* RegFileErrorText(RegFileError error) {
    switch (error) {
        case RegFileError::None:
            return "no error";
        case RegFileError::Unreadable:
            return "the file cannot be read";
        case RegFileError::FileTooLarge:
            return "the file is too large";
        case RegFileError::NotText:
            return "not UTF-8 or UTF-16LE text";
        case RegFileError::BadHeader:
            return "the first line is not \"Windows Registry Editor Version 5.00\"";
        case RegFileError::UnterminatedSection:
            return "a key line lacks its closing ']'";
        case RegFileError::UnknownRoot:
            return "a key is not below a known root";
        case RegFileError::BadKeyName:
            return "a key path has an empty name";
        case RegFileError::TooDeep:
            return "keys are nested too deeply";
        case RegFileError::NameTooLong:
            return "a key or value name is too long";
        case RegFileError::ValueOutsideSection:
            return "a value comes before the first key";
        case RegFileError::BadValueLine:
            return "a line is neither a key nor a value";
        case RegFileError::BadString:
            return "a string value is not properly quoted";
        case RegFileError::BadDword:
            return "a dword value is not 1 to 8 hex digits";
        case RegFileError::BadHex:
            return "a hex value is malformed";
        case RegFileError::ValueTooLarge:
            return "a value exceeds 1 MB";
        case RegFileError::TooManyEntries:
            return "the file holds too many keys and values";
    }
    return "unknown error";
}

ParseResult ParseRegistryFile(const uint8_t* bytes, size_t size, const FILETIME& loadTime,
                              RegTree* tree) {
    if (size > kMaxFileBytes) return {RegFileError::FileTooLarge, 0};
    std::u16string text;
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        // regedit's own exports are UTF-16LE with a byte-order mark.
        if (size % 2 != 0) return {RegFileError::NotText, 0};
        text.resize((size - 2) / 2);
        for (size_t i = 0; i < text.size(); ++i) {
            text[i] = static_cast<char16_t>(bytes[2 + 2 * i] | (bytes[3 + 2 * i] << 8));
        }
        size_t bad;
        if (!CheckUtf16(text, &bad)) {
            return {RegFileError::NotText,
                    1 + static_cast<size_t>(std::count(text.begin(), text.begin() + bad, u'\n'))};
        }
    } else {
        // Editors on Windows put a UTF-8 byte-order mark in front.
        size_t skip =
            (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) ? 3 : 0;
        size_t bad;
        if (!DecodeUtf8(bytes + skip, size - skip, &text, &bad)) {
            return {RegFileError::NotText, LineOfOffset(bytes, skip + bad)};
        }
    }
    size_t nul = text.find(u'\0');
    if (nul != std::u16string::npos) {
        return {RegFileError::NotText,
                1 + static_cast<size_t>(std::count(text.begin(), text.begin() + nul, u'\n'))};
    }
    for (RegKey& root : tree->roots) root.lastWrite = loadTime;
    return Parser(text, loadTime, tree).Run();
}

std::string SerializeRegistry(const RegTree& tree, size_t* entries) {
    std::string out = kHeaderUtf8;
    *entries = 0;
    for (int h = 0; h < kHiveCount; ++h) {
        std::string path = kHiveNames[h];
        AppendKey(&out, tree.roots[h], &path, true, entries);
    }
    return out;
}

}  // namespace platform::reg
