#include "shell/host_associations.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/device.h"
#include "platform/wstr.h"
#include "shell/mime_globs.h"
#include "shell/mimeapps_list.h"
#include "shell/xdg_folders.h"
#include "shlobj.h"
#include "winreg.h"

extern char** environ;

namespace shell {
namespace {

// Albums share "*.mab" with Markaby files; the desktop tells them apart by
// the album's first bytes.
constexpr const char* kAlbumType = "application/x-kestrava-album";
// Extensions the host database does not know get types of their own.
constexpr const char* kOwnTypePrefix = "application/x-kestrava-";
constexpr DWORD kMostClassKeys = 100000;

// The default value of a classes-root key when it is a text of at most
// `capacity` - 1 characters.
std::u16string DefaultText(const std::u16string& key, DWORD capacity) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return {};
    std::u16string text(capacity, u'\0');
    DWORD type = 0, size = capacity * sizeof(WCHAR);
    LONG result = RegQueryValueExW(h, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(text.data()), &size);
    RegCloseKey(h);
    if (result != ERROR_SUCCESS || type != REG_SZ) return {};
    text.resize(std::min<size_t>(size / sizeof(WCHAR), capacity));
    return text.substr(0, text.find(u'\0'));
}

// Whether an open command starts `program`: quoted, or unquoted and
// followed by a blank or nothing (as the device finds "\Program Files\x.exe
// %1": the longest existing name).
bool CommandStarts(std::u16string_view command, std::u16string_view program) {
    while (!command.empty() && command.front() == u' ') command.remove_prefix(1);
    if (!command.empty() && command.front() == u'"') {
        command.remove_prefix(1);
        return platform::EqualsIgnoreCase(command.substr(0, command.find(u'"')), program);
    }
    if (command.size() < program.size() || !platform::EqualsIgnoreCase(command.substr(0, program.size()), program))
        return false;
    return command.size() == program.size() || command[program.size()] == u' ';
}

// Extensions the desktop can carry in a glob and a type name.
bool PlainExtension(const std::u16string& extension) {
    if (extension.empty() || extension.size() > 32) return false;
    for (char16_t c : extension) {
        bool plain = (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_' || c == u'+';
        if (!plain) return false;
    }
    return true;
}

std::u16string Lower(std::u16string text) {
    for (char16_t& c : text)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    return text;
}

// The same name for the same root in every run.
std::string RootTag(const std::string& root) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : root) hash = (hash ^ c) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

bool AtDesktopRoot() { return platform::DeviceRoot() == platform::DesktopDeviceRoot(); }

std::string PackageName() { return AtDesktopRoot() ? "kestrava.xml" : "kestrava-" + RootTag(platform::DeviceRoot()) + ".xml"; }

// Text the desktop entry can hold: valid UTF-8 without control characters.
bool Representable(const std::string& text) {
    bool invalid = false;
    platform::Utf8ToUtf16(text, &invalid);
    if (invalid) return false;
    return std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

// A string value of a desktop entry: backslashes doubled.
std::string EscapeValue(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += '\\';
        out += c;
    }
    return out;
}

// One argument of the Exec line: quoted with the reserved characters
// escaped, "%" doubled, then escaped again as a string value.
std::string ExecArgument(const std::string& argument) {
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    return EscapeValue(quoted + "\"");
}

std::string DesktopEntry(const std::string& executable, const std::vector<std::string>& types) {
    std::string exec = ExecArgument(executable);
    std::string comment = "Medical images, DICOM studies and albums";
    if (!AtDesktopRoot()) {
        exec += " --root " + ExecArgument(platform::DeviceRoot());
        comment += " of the device in " + EscapeValue(platform::DeviceRoot());
    }
    std::string text =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Version=1.4\n"
        "Name=Kestrava\n"
        "GenericName=Medical Image Viewer\n"
        "Comment=" + comment + "\n"
        "Exec=" + exec + " %f\n"
        "Terminal=false\n"
        "Categories=Graphics;Viewer;MedicalSoftware;\n"
        "MimeType=";
    for (const std::string& type : types) text += type + ";";
    return text + "\n";
}

std::string MimePackage(const std::vector<std::pair<std::string, std::string>>& ownTypes) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const auto& [type, extension] : ownTypes) {
        text += "  <mime-type type=\"" + type + "\">\n";
        if (type == kAlbumType) {
            text += "    <comment>Kestrava album</comment>\n"
                    "    <magic priority=\"50\">\n"
                    "      <match type=\"string\" offset=\"0\" value=\"RAB 100\"/>\n"
                    "    </magic>\n";
        } else {
            std::string upper = extension;
            std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
            text += "    <comment>" + upper + " file</comment>\n";
        }
        text += "    <glob pattern=\"*." + extension + "\"/>\n";
        text += "  </mime-type>\n";
    }
    return text + "</mime-info>\n";
}

// Runs a desktop tool on a folder and waits for it; false when it cannot be
// started or fails.
bool RunTool(const char* tool, const std::string& folder) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY, 0);
    std::string name = tool, argument = folder;
    char* argv[] = {name.data(), argument.data(), nullptr};
    pid_t pid = 0;
    int error = posix_spawnp(&pid, tool, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Writes `text` to `path`, or removes the file when `text` is empty; true
// when the file changed.
bool Place(const std::string& path, const std::string& text, bool* ok) {
    std::string old;
    bool exists = ReadHostFile(path, 1 << 20, &old);
    if (text.empty()) {
        if (!exists) return false;
        if (unlink(path.c_str()) != 0) *ok = false;
        return true;
    }
    if (exists && old == text) return false;
    size_t slash = path.find_last_of('/');
    if (!MakeFolders(path.substr(0, slash)) || !ReplaceHostFile(path, text)) {
        *ok = false;
        return false;
    }
    return true;
}

}  // namespace

std::vector<std::u16string> ExtensionsOpenedBy(const std::u16string& programPath) {
    std::vector<std::u16string> extensions;
    for (DWORD i = 0; i < kMostClassKeys; ++i) {
        WCHAR name[256];
        DWORD length = 256;
        LONG result = RegEnumKeyExW(HKEY_CLASSES_ROOT, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || length < 2 || name[0] != u'.') continue;
        std::u16string key(name, length);
        std::u16string type = DefaultText(key, MAX_PATH);
        if (type.empty()) continue;
        std::u16string command = DefaultText(type + u"\\Shell\\Open\\Command", 1024);
        if (!programPath.empty() && CommandStarts(command, programPath)) {
            std::u16string extension = Lower(key.substr(1));
            if (std::find(extensions.begin(), extensions.end(), extension) == extensions.end())
                extensions.push_back(extension);
        }
    }
    return extensions;
}

std::string DesktopEntryName() {
    return AtDesktopRoot() ? "kestrava.desktop" : "kestrava-" + RootTag(platform::DeviceRoot()) + ".desktop";
}

bool PublishHostAssociations() {
    WCHAR module[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    std::u16string program(module, n);
    std::string executable;
    struct stat st;
    if (!platform::DeviceToHostPath(program, &executable) || stat(executable.c_str(), &st) != 0 ||
        !S_ISREG(st.st_mode) || !Representable(executable) || !Representable(platform::DeviceRoot())) {
        return false;
    }

    // Each associated extension's media type.
    std::vector<MimeGlob> globs = HostMimeGlobs();
    globs.erase(std::remove_if(globs.begin(), globs.end(),
                               [](const MimeGlob& g) { return g.type.rfind(kOwnTypePrefix, 0) == 0; }),
                globs.end());
    std::vector<std::string> types;
    std::vector<std::pair<std::string, std::string>> ownTypes;  // type, extension
    for (const std::u16string& wide : ExtensionsOpenedBy(program)) {
        if (!PlainExtension(wide)) continue;
        std::string extension = platform::Utf16ToUtf8(wide);
        std::string type = extension == "mab" ? std::string() : MediaTypeOfExtension(globs, extension);
        if (type.empty()) {
            type = extension == "mab" ? kAlbumType : kOwnTypePrefix + extension;
            ownTypes.emplace_back(type, extension);
        }
        if (std::find(types.begin(), types.end(), type) == types.end()) types.push_back(type);
    }

    bool ok = true;
    const std::string data = DataHome();
    if (Place(data + "/mime/packages/" + PackageName(), ownTypes.empty() ? std::string() : MimePackage(ownTypes), &ok)) {
        ok = RunTool("update-mime-database", data + "/mime") && ok;
    }
    const std::string entryName = DesktopEntryName();
    if (Place(data + "/applications/" + entryName, types.empty() ? std::string() : DesktopEntry(executable, types), &ok)) {
        ok = RunTool("update-desktop-database", data + "/applications") && ok;
    }

    // The desktop's defaults: this viewer first for its types, and out of
    // the defaults of types no longer its own.
    const std::string listPath = ConfigHome() + "/mimeapps.list";
    std::string text;
    if (!ReadHostFile(listPath, MimeAppsList::kLargestFile, &text) && access(listPath.c_str(), F_OK) == 0) {
        return false;  // too large or unreadable: left alone
    }
    MimeAppsList list(text);
    for (const std::string& type : types) list.SetDefault(type, entryName);
    list.RemoveDefaults(entryName, [&](std::string_view type) {
        return std::find(types.begin(), types.end(), type) != types.end();
    });
    if (list.Changed()) ok = MakeFolders(ConfigHome()) && ReplaceHostFile(listPath, list.Text()) && ok;
    return ok;
}

}  // namespace shell

void SHChangeNotify(LONG eventId, UINT, LPCVOID, LPCVOID) {
    if (eventId & SHCNE_ASSOCCHANGED) shell::PublishHostAssociations();
}
