#include "shell/mime_globs.h"

#include <cstdlib>

#include "shell/xdg_folders.h"

namespace shell {
namespace {

constexpr size_t kLongestLine = 4096;
constexpr size_t kLargestFile = 16 << 20;

bool AllDigits(std::string_view text) {
    if (text.empty() || text.size() > 3) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

// Splits at ':' into at most `most` fields; the last keeps the rest.
std::vector<std::string_view> Fields(std::string_view line, size_t most) {
    std::vector<std::string_view> fields;
    while (fields.size() + 1 < most) {
        size_t colon = line.find(':');
        if (colon == std::string_view::npos) break;
        fields.push_back(line.substr(0, colon));
        line.remove_prefix(colon + 1);
    }
    fields.push_back(line);
    return fields;
}

bool ParseLine(std::string_view line, MimeGlob* glob) {
    if (line.empty() || line.front() == '#' || line.size() > kLongestLine) return false;
    std::vector<std::string_view> fields = Fields(line, 4);
    if (fields.size() >= 3 && AllDigits(fields[0])) {
        // globs2: weight:type:pattern[:flags[,flag...]]
        glob->weight = std::atoi(std::string(fields[0]).c_str());
        glob->type = fields[1];
        glob->pattern = fields[2];
        if (fields.size() == 4) {
            std::string_view flags = fields[3];
            while (!flags.empty()) {
                size_t comma = flags.find(',');
                if (flags.substr(0, comma) == "cs") glob->caseSensitive = true;
                if (comma == std::string_view::npos) break;
                flags.remove_prefix(comma + 1);
            }
        }
    } else {
        // globs: type:pattern (the pattern may hold ':')
        size_t colon = line.find(':');
        if (colon == std::string_view::npos) return false;
        glob->weight = 50;
        glob->type = line.substr(0, colon);
        glob->pattern = line.substr(colon + 1);
    }
    return !glob->type.empty() && glob->type.find('/') != std::string::npos && !glob->pattern.empty();
}

}  // namespace

std::vector<MimeGlob> ParseMimeGlobs(std::string_view text) {
    std::vector<MimeGlob> globs;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        MimeGlob glob;
        if (ParseLine(line, &glob)) globs.push_back(std::move(glob));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return globs;
}

std::string MediaTypeOfExtension(const std::vector<MimeGlob>& globs, std::string_view extension) {
    const MimeGlob* best = nullptr;
    for (const MimeGlob& glob : globs) {
        std::string_view pattern = glob.pattern;
        if (pattern.size() != extension.size() + 2 || pattern.substr(0, 2) != "*.") continue;
        pattern.remove_prefix(2);
        bool same = glob.caseSensitive ? pattern == extension : EqualsIgnoringCase(pattern, extension);
        if (same && (!best || glob.weight > best->weight)) best = &glob;
    }
    return best ? best->type : std::string();
}

std::vector<MimeGlob> HostMimeGlobs() {
    std::vector<MimeGlob> all;
    for (const std::string& folder : DataFolders()) {
        std::string text;
        // A folder's globs2 replaces its globs: they hold the same globs.
        if (ReadHostFile(folder + "/mime/globs2", kLargestFile, &text) ||
            ReadHostFile(folder + "/mime/globs", kLargestFile, &text)) {
            std::vector<MimeGlob> globs = ParseMimeGlobs(text);
            all.insert(all.end(), std::make_move_iterator(globs.begin()), std::make_move_iterator(globs.end()));
        }
    }
    return all;
}

}  // namespace shell
