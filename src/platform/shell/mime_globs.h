// The host's shared MIME database, read from its "globs2" and "globs" files
// (the compiled form update-mime-database writes under each data folder's
// "mime"), to name the media type of a file extension as the desktop does.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace shell {

struct MimeGlob {
    int weight = 50;
    std::string type;
    std::string pattern;
    bool caseSensitive = false;
};

// Every glob of a "globs2" ("weight:type:pattern[:flags]") or "globs"
// ("type:pattern") text. Comments, blank lines, lines longer than 4 KiB and
// lines that do not parse are skipped.
std::vector<MimeGlob> ParseMimeGlobs(std::string_view text);

// The type the globs give files named "*.extension": the heaviest simple
// glob of that extension (letter case ignored unless the glob says "cs"),
// the first one found on a tie; empty when none names it.
std::string MediaTypeOfExtension(const std::vector<MimeGlob>& globs, std::string_view extension);

// The host database's globs: $XDG_DATA_HOME/mime first, then each folder of
// $XDG_DATA_DIRS (default /usr/local/share:/usr/share). Each file is read up
// to 16 MiB; a larger or unreadable one is skipped.
std::vector<MimeGlob> HostMimeGlobs();

}  // namespace shell
