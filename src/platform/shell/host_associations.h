// The classes root's associations with the running program, published to
// the host desktop: a desktop entry per device root that starts this
// executable on the file, the media types of the associated extensions
// (types of its own for extensions the host database does not know, and
// for albums), and the desktop's defaults for those types. Nothing is
// published unless the program says its associations changed.
#pragma once

#include <string>
#include <vector>

namespace shell {

// The extensions (lower case, without dot) whose type's open command starts
// the program at `programPath` (a device path, compared ignoring case).
std::vector<std::u16string> ExtensionsOpenedBy(const std::u16string& programPath);

// The desktop entry's file name for the current device root:
// "kestrava.desktop" for the root a desktop start uses, else one named
// after the root.
std::string DesktopEntryName();

// Publishes the running program's associations; false when something could
// not be written (what was written stays consistent).
bool PublishHostAssociations();

}  // namespace shell
