// The desktop's choice of default programs ("mimeapps.list" under the
// config folder), kept line by line so that a rewrite leaves every line it
// does not change, comments and unknown sections included, as it was.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace shell {

class MimeAppsList {
public:
    // The largest file taken; a larger one is left alone.
    static constexpr size_t kLargestFile = 1 << 20;

    explicit MimeAppsList(std::string_view text);

    // The programs (desktop file names) of `type` under
    // [Default Applications], first choice first.
    std::vector<std::string> DefaultsOf(std::string_view type) const;
    // Makes `program` the first default of `type`, keeping the others after it.
    void SetDefault(std::string_view type, std::string_view program);
    // Takes `program` out of the defaults of every type `keep` refuses; a
    // type left without programs loses its line.
    void RemoveDefaults(std::string_view program, const std::function<bool(std::string_view type)>& keep);

    bool Changed() const { return changed_; }
    std::string Text() const;

private:
    struct Entry {
        size_t line;
        std::string type;
        std::vector<std::string> programs;
    };
    std::vector<Entry> Entries() const;
    void WriteEntry(size_t line, std::string_view type, const std::vector<std::string>& programs);

    std::vector<std::string> lines_;
    bool endsWithNewline_ = true;
    bool changed_ = false;
};

}  // namespace shell
