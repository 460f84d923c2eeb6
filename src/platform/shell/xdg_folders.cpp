#include "shell/xdg_folders.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace shell {
namespace {

std::string Home() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/tmp";
}

// An absolute folder from the environment, else the fallback.
std::string FolderFromEnvironment(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? std::string(value) : fallback;
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t n = write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

}  // namespace

std::string DataHome() { return FolderFromEnvironment("XDG_DATA_HOME", Home() + "/.local/share"); }

std::string ConfigHome() { return FolderFromEnvironment("XDG_CONFIG_HOME", Home() + "/.config"); }

std::vector<std::string> DataFolders() {
    std::vector<std::string> folders{DataHome()};
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string_view list = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
    while (!list.empty()) {
        size_t colon = list.find(':');
        std::string_view folder = list.substr(0, colon);
        if (!folder.empty() && folder.front() == '/') folders.emplace_back(folder);
        if (colon == std::string_view::npos) break;
        list.remove_prefix(colon + 1);
    }
    return folders;
}

bool MakeFolders(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash))) return false;
    return mkdir(path.c_str(), 0755) == 0 || (errno == EEXIST && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
}

bool ReadHostFile(const std::string& path, size_t largest, std::string* text) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<size_t>(st.st_size) <= largest;
    if (ok) {
        text->resize(static_cast<size_t>(st.st_size));
        size_t done = 0;
        while (done < text->size()) {
            ssize_t n = read(fd, text->data() + done, text->size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        text->resize(done);
    }
    close(fd);
    return ok;
}

bool ReplaceHostFile(const std::string& given, std::string_view text) {
    // A file kept as a link elsewhere (as dotfile managers keep them) is
    // replaced where it lies, so the link survives.
    std::string path = given;
    struct stat link;
    if (lstat(given.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char* target = realpath(given.c_str(), nullptr);
        if (!target) return false;
        path = target;
        std::free(target);
    }
    std::string temporary = path + ".XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) return false;
    // A file that existed keeps its permissions; a new one is readable by all.
    struct stat st;
    fchmod(fd, stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
    bool ok = WriteAll(fd, text) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok && rename(temporary.c_str(), path.c_str()) == 0) return true;
    unlink(temporary.c_str());
    return false;
}

}  // namespace shell
