#include "shell/mimeapps_list.h"

#include <algorithm>

namespace shell {
namespace {

constexpr std::string_view kDefaults = "[Default Applications]";

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

bool IsSection(std::string_view line) {
    line = Trim(line);
    return !line.empty() && line.front() == '[';
}

std::vector<std::string> SplitPrograms(std::string_view value) {
    std::vector<std::string> programs;
    while (!value.empty()) {
        size_t semicolon = value.find(';');
        std::string_view program = Trim(value.substr(0, semicolon));
        if (!program.empty()) programs.emplace_back(program);
        if (semicolon == std::string_view::npos) break;
        value.remove_prefix(semicolon + 1);
    }
    return programs;
}

}  // namespace

MimeAppsList::MimeAppsList(std::string_view text) {
    endsWithNewline_ = text.empty() || text.back() == '\n';
    while (!text.empty()) {
        size_t end = text.find('\n');
        lines_.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

// The key lines of every [Default Applications] section.
std::vector<MimeAppsList::Entry> MimeAppsList::Entries() const {
    std::vector<Entry> entries;
    bool inDefaults = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        std::string_view line = Trim(lines_[i]);
        if (IsSection(line)) {
            inDefaults = line == kDefaults;
            continue;
        }
        if (!inDefaults || line.empty() || line.front() == '#') continue;
        size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        entries.push_back({i, std::string(Trim(line.substr(0, equals))), SplitPrograms(line.substr(equals + 1))});
    }
    return entries;
}

std::vector<std::string> MimeAppsList::DefaultsOf(std::string_view type) const {
    for (const Entry& entry : Entries())
        if (entry.type == type) return entry.programs;
    return {};
}

void MimeAppsList::WriteEntry(size_t line, std::string_view type, const std::vector<std::string>& programs) {
    std::string text(type);
    text += '=';
    for (const std::string& program : programs) text += program + ";";
    if (lines_[line] != text) {
        lines_[line] = std::move(text);
        changed_ = true;
    }
}

void MimeAppsList::SetDefault(std::string_view type, std::string_view program) {
    for (const Entry& entry : Entries()) {
        if (entry.type != type) continue;
        std::vector<std::string> programs{std::string(program)};
        for (const std::string& other : entry.programs)
            if (other != program) programs.push_back(other);
        WriteEntry(entry.line, type, programs);
        return;
    }
    // A new line goes at the end of the first [Default Applications]
    // section, made at the end of the file when there is none.
    size_t at = lines_.size();
    bool found = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (!IsSection(lines_[i])) continue;
        if (found) {
            at = i;
            break;
        }
        found = Trim(lines_[i]) == kDefaults;
    }
    if (!found) {
        if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.emplace_back();
        lines_.emplace_back(kDefaults);
        at = lines_.size();
    } else {
        // Before the blank lines that end the section.
        while (at > 0 && Trim(lines_[at - 1]).empty()) --at;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::string());
    WriteEntry(at, type, {std::string(program)});
    changed_ = true;
}

void MimeAppsList::RemoveDefaults(std::string_view program,
                                  const std::function<bool(std::string_view type)>& keep) {
    std::vector<size_t> emptied;
    for (Entry& entry : Entries()) {
        auto mine = std::remove(entry.programs.begin(), entry.programs.end(), program);
        if (mine == entry.programs.end() || keep(entry.type)) continue;
        entry.programs.erase(mine, entry.programs.end());
        if (entry.programs.empty()) {
            emptied.push_back(entry.line);
        } else {
            WriteEntry(entry.line, entry.type, entry.programs);
        }
    }
    for (auto line = emptied.rbegin(); line != emptied.rend(); ++line) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*line));
        changed_ = true;
    }
}

std::string MimeAppsList::Text() const {
    std::string text;
    for (size_t i = 0; i < lines_.size(); ++i) {
        text += lines_[i];
        if (i + 1 < lines_.size() || endsWithNewline_) text += '\n';
    }
    return text;
}

}  // namespace shell
