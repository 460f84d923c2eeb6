// The file chooser's path rules.
#include "tools/file_choice.h"

#include "app/file_chooser.h"
#include "platform/wstr.h"

namespace {

bool Exists(const std::u16string& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Choice Refused(UINT id) {
    Choice c;
    c.verdict = ChoiceVerdict::Refuse;
    c.messageId = id;
    return c;
}

}  // namespace

std::u16string WithoutTrailingSlash(std::u16string path) {
    while (path.size() > 1 && path.back() == u'\\') path.pop_back();
    return path;
}

std::u16string ParentFolder(const std::u16string& path) {
    const size_t slash = path.rfind(u'\\');
    if (slash == std::u16string::npos) return std::u16string();
    if (slash == 0) return u"\\";
    return path.substr(0, slash);
}

std::u16string LastComponent(const std::u16string& path) {
    const size_t slash = path.rfind(u'\\');
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

std::u16string JoinFolder(const std::u16string& folder, const std::u16string& name) {
    std::u16string path = folder;
    if (path.empty() || path.back() != u'\\') path += u'\\';
    return path + name;
}

std::u16string ExtensionOfName(const std::u16string& name) {
    const size_t dot = name.rfind(u'.');
    return dot == std::u16string::npos ? std::u16string() : name.substr(dot + 1);
}

bool ExtensionListed(LPCWSTR extensions, const std::u16string& extension) {
    for (LPCWSTR e = extensions; e && *e; e += lstrlenW(e) + 1) {
        if (platform::EqualsIgnoreCase(e, extension)) return true;
    }
    return false;
}

ChooserStart FindStartFolder(LPCWSTR requestPath) {
    ChooserStart start;
    start.folder = IsFolder(u"\\My Documents") ? u"\\My Documents" : u"\\";
    if (!requestPath || !requestPath[0] || lstrlenW(requestPath) > int(kMaxPathChars)) return start;
    const std::u16string path = WithoutTrailingSlash(requestPath);
    if (path[0] != u'\\') return start;  // only device paths name a place
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        start.folder = path;
        return start;
    }
    const std::u16string parent = ParentFolder(path);
    if (parent.empty() || !IsFolder(parent)) return start;
    start.folder = parent;
    start.presetName = LastComponent(path);
    return start;
}

Choice ConfirmChoice(DWORD flags, LPCWSTR extensions, const std::u16string& folder, const std::u16string& name) {
    std::u16string candidate = folder;
    if (!(flags & kChooseFolder)) {
        if (candidate.empty() || candidate.back() != u'\\') candidate += u'\\';
        candidate += name;
    }
    if (candidate.size() > kMaxPathChars) return Refused(kPathNotFoundId);
    const std::u16string last = LastComponent(candidate);
    if (!(flags & kChooseWildcards) && last.find_first_of(u"*?") != std::u16string::npos) {
        return Refused(kNoWildcardsId);
    }
    if ((flags & kChooseMustExist) && !Exists(candidate)) return Refused(kPathNotFoundId);
    if ((flags & kChooseMustBeFile) && (!Exists(candidate) || IsFolder(candidate))) return Refused(kFileNotFoundId);
    Choice choice;
    choice.verdict = ChoiceVerdict::Accept;
    if ((flags & kChooseSave) && extensions && extensions[0]) {
        // The extension is the name's: a "." in a folder above it does not
        // count ("\v1.2\scan" becomes "\v1.2\scan.bmp").
        const std::u16string defaultExtension = extensions;
        const size_t nameStart = candidate.size() - last.size();
        const size_t dot = last.rfind(u'.');
        if (dot == std::u16string::npos) {
            candidate += u'.';
            candidate += defaultExtension;
        } else if (!platform::EqualsIgnoreCase(last.substr(dot + 1), defaultExtension)) {
            candidate.resize(nameStart + dot + 1);
            candidate += defaultExtension;
        }
        if (candidate.size() > kMaxPathChars) return Refused(kPathNotFoundId);
        // A folder of that name cannot be replaced by a file.
        if (IsFolder(candidate)) return Refused(kFileNotFoundId);
        if (Exists(candidate)) choice.verdict = ChoiceVerdict::AskOverwrite;
    }
    choice.path = candidate;
    return choice;
}
