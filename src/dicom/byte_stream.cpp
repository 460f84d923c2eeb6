// The byte stream over a local file (through a read window) or a remote
// resource of the HTTP source.
#include "dicom/byte_stream.h"

#include <cstring>

namespace {

RemoteOpener g_remoteOpener = nullptr;

}  // namespace

void SetRemoteOpener(RemoteOpener opener) {
    g_remoteOpener = opener;
}

ByteStream::~ByteStream() {
    if (kind == kStreamRemote && remote != nullptr) remote->Release();
}

void ByteStream::attach_file(HANDLE file) {
    detach();
    kind = kStreamLocalFile;
    handle = file;
    failed = 0;
    // The stream starts where the handle stands, asked when first needed.
    positionKnown = false;
    ResetWindow(0);
}

bool ByteStream::LearnPosition() {
    LONG high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(handle, 0, &high, FILE_CURRENT);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
        failed = 1;
        return false;
    }
    positionKnown = true;
    ResetWindow((int64_t)(((uint64_t)(DWORD)high << 32) | low));
    return true;
}

bool ByteStream::attach_url(const char* url) {
    detach();
    RemoteResource* resource = (g_remoteOpener != nullptr && url != nullptr) ? g_remoteOpener(url)
                                                                            : nullptr;
    if (resource == nullptr) return false;
    kind = kStreamRemote;
    remote = resource;
    return true;
}

void ByteStream::detach() {
    if (kind == kStreamRemote && remote != nullptr) {
        remote->Release();
    } else if (kind == kStreamLocalFile && positionKnown && windowOffset != windowLength) {
        // Leave the handle where the stream stood, not at the window's end.
        MoveFilePointer(windowStart + windowOffset);
    }
    handle = nullptr;
    remote = nullptr;
    kind = kStreamNone;
    failed = 0;
    fileSize = -1;
    positionKnown = true;
    ResetWindow(0);
}

void ByteStream::ResetWindow(int64_t position) {
    windowStart = position;
    windowLength = 0;
    windowOffset = 0;
}

bool ByteStream::MoveFilePointer(int64_t position) {
    LONG high = (LONG)(position >> 32);
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(handle, (LONG)(DWORD)position, &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

BOOL ByteStream::ReadFileAt(void* buffer, DWORD count, DWORD* got) {
    // ReadFile stops early only at the end of the file; a second call would
    // deliver nothing more.
    *got = 0;
    if (!ReadFile(handle, buffer, count, got, nullptr)) {
        failed = 1;
        return FALSE;
    }
    return TRUE;
}

BOOL ByteStream::ReadSlow(void* buffer, DWORD count, DWORD* outCount) {
    DWORD dummy;
    if (outCount == nullptr) outCount = &dummy;
    *outCount = 0;
    if (kind == kStreamRemote) {
        if (!remote->Read(buffer, count, outCount)) {
            failed = 1;
            return FALSE;
        }
        return TRUE;
    }
    if (kind != kStreamLocalFile || (!positionKnown && !LearnPosition())) {
        failed = 1;
        return FALSE;
    }
    BYTE* out = static_cast<BYTE*>(buffer);
    DWORD done = 0;
    while (done < count) {
        DWORD available = windowLength - windowOffset;
        if (available > 0) {
            const DWORD take = count - done < available ? count - done : available;
            std::memcpy(out + done, window + windowOffset, take);
            windowOffset += take;
            done += take;
            continue;
        }
        const int64_t position = windowStart + windowLength;
        const DWORD wanted = count - done;
        DWORD got = 0;
        if (wanted >= kWindowSize) {
            // A large value goes straight into its buffer.
            if (!ReadFileAt(out + done, wanted, &got)) {
                *outCount = done;
                return FALSE;
            }
            done += got;
            ResetWindow(position + got);
            break;
        }
        if (!ReadFileAt(window, kWindowSize, &got)) {
            *outCount = done;
            return FALSE;
        }
        windowStart = position;
        windowLength = got;
        windowOffset = 0;
        if (got == 0) break;  // the end of the file
    }
    *outCount = done;
    return TRUE;
}

int64_t ByteStream::seek(int64_t offset, int whence) {
    if (kind == kStreamRemote) {
        const int64_t position = remote->Seek(offset, whence);
        if (position < 0) failed = 1;
        return position;
    }
    if (kind != kStreamLocalFile) {
        failed = 1;
        return -1;
    }
    int64_t base = 0;
    switch (whence) {
        case FILE_BEGIN:
            break;
        case FILE_CURRENT:
            if (!positionKnown && !LearnPosition()) return -1;
            base = windowStart + windowOffset;
            break;
        case FILE_END:
            base = size();
            if (base < 0) return -1;
            break;
        default:
            failed = 1;
            return -1;
    }
    int64_t target;
    if (__builtin_add_overflow(base, offset, &target) || target < 0) {
        failed = 1;
        return -1;
    }
    if (positionKnown && target >= windowStart && target <= windowStart + windowLength) {
        windowOffset = (DWORD)(target - windowStart);
        return target;
    }
    if (!MoveFilePointer(target)) {
        failed = 1;
        return -1;
    }
    positionKnown = true;
    ResetWindow(target);
    return target;
}

int64_t ByteStream::TellSlow() {
    if (kind == kStreamRemote) {
        const int64_t position = remote->Tell();
        if (position < 0) failed = 1;
        return position;
    }
    if (kind != kStreamLocalFile || (!positionKnown && !LearnPosition())) {
        failed = 1;
        return -1;
    }
    return windowStart + windowOffset;
}

int64_t ByteStream::size() {
    if (kind == kStreamRemote) {
        const int64_t total = remote->Size();
        if (total < 0) failed = 1;
        return total;
    }
    if (kind != kStreamLocalFile) {
        failed = 1;
        return -1;
    }
    if (fileSize < 0) {
        DWORD high = 0;
        SetLastError(NO_ERROR);
        const DWORD low = GetFileSize(handle, &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
            failed = 1;
            return -1;
        }
        fileSize = (int64_t)(((uint64_t)high << 32) | low);
    }
    return fileSize;
}

bool ByteStream::at_end() {
    if (kind != kStreamLocalFile && kind != kStreamRemote) {
        failed = 1;
        return true;
    }
    const int64_t position = tell();
    const int64_t total = size();
    return position < 0 || total < 0 || position >= total;
}

