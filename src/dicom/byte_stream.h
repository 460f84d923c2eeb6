// ByteStream: the byte source of the DICOM reader and of the engines that read
// through it. Kind 0 is nothing, kind 1 a local file (a handle its caller
// opened and closes), kind 2 a remote resource mirrored by the HTTP source.
// Positions are byte offsets from the start. A local file is read through a
// 16 KB window, so the reader's many small reads cost no system call each;
// while a file is attached, move and read it only through the stream.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>

// A remote resource as the HTTP source provides it: a file mirrored in memory
// that fetches missing parts on demand and keeps its own position. The stream
// hands it back with Release() when it detaches.
class RemoteResource {
public:
    // Reads up to `count` bytes at the position; fewer at the end. False on a
    // failure (the fetch failed, the resource is gone).
    virtual bool Read(void* buffer, DWORD count, DWORD* got) = 0;
    // whence 0 from the start, 1 from the position, 2 from the end; the new
    // position or -1.
    virtual int64_t Seek(int64_t offset, int whence) = 0;
    virtual int64_t Tell() = 0;
    // Total size in bytes, or -1 when unknown.
    virtual int64_t Size() = 0;
    virtual void Release() = 0;

protected:
    ~RemoteResource() = default;
};

// Opens a URL as a remote resource, or returns nullptr. The HTTP source
// installs its opener; until then attach_url fails.
typedef RemoteResource* (*RemoteOpener)(const char* url);
void SetRemoteOpener(RemoteOpener opener);

enum ByteStreamKind : signed char {
    kStreamNone = 0,
    kStreamLocalFile = 1,
    kStreamRemote = 2,
};

class ByteStream {
public:
    ByteStream() = default;
    ByteStream(const ByteStream&) = delete;
    ByteStream& operator=(const ByteStream&) = delete;
    // Releases a remote resource; a file handle is left alone (detach first
    // to leave the file at the stream's position).
    ~ByteStream();

    // Detaches, then reads the file from the handle's current position.
    void attach_file(HANDLE file);
    // Detaches, then opens the URL through the HTTP source; kind 2 on
    // success, else kind 0 and false.
    bool attach_url(const char* url);
    // A remote resource is released; a file is left at the stream's
    // position, open, for its owner to close.
    void detach();

    // Reads up to `count` bytes; *outCount gets how many came. Fewer than
    // asked means the end came first and is not a failure. FALSE on a
    // failure (and for kind 0), with `failed` set.
    BOOL read(void* buffer, DWORD count, DWORD* outCount) {
        // The reader's many small reads come straight from the window.
        if (kind == kStreamLocalFile && positionKnown && windowLength - windowOffset >= count) {
            std::memcpy(buffer, window + windowOffset, count);
            windowOffset += count;
            *outCount = count;
            return TRUE;
        }
        return ReadSlow(buffer, count, outCount);
    }
    // whence 0 from the start, 1 from the position, 2 from the end; the new
    // position, or -1 with `failed` set (a position before the start fails).
    int64_t seek(int64_t offset, int whence);
    // The position, or -1 with `failed` set.
    int64_t tell() {
        if (kind == kStreamLocalFile && positionKnown) return windowStart + windowOffset;
        return TellSlow();
    }
    // True at the end of the data; kind 0 fails and answers true.
    bool at_end();
    // The failed flag; always true for kind 0.
    bool has_failed() const {
        return (kind == kStreamLocalFile || kind == kStreamRemote) ? failed != 0 : true;
    }
    // The total size in bytes, or -1 with `failed` set.
    int64_t size();
    // Whether `count` more bytes are there after the position (the window
    // answers when it holds them, the size otherwise); true when the size
    // cannot be known.
    bool has_bytes(uint64_t count) {
        if (kind == kStreamLocalFile && positionKnown && windowLength - windowOffset >= count) {
            return true;
        }
        const int64_t position = tell();
        const int64_t total = size();
        if (position < 0 || total < 0) return true;  // the read will tell
        return position <= total && (uint64_t)(total - position) >= count;
    }

    // The next `count` bytes when the read window of a local file holds
    // them, else nullptr; advance() then moves past what was used.
    const BYTE* peek(DWORD count) const {
        if (kind == kStreamLocalFile && positionKnown && windowLength - windowOffset >= count) {
            return window + windowOffset;
        }
        return nullptr;
    }
    void advance(DWORD count) { windowOffset += count; }

    HANDLE handle = nullptr;            // kind 1
    signed char kind = kStreamNone;
    signed char failed = 0;             // set by any failing operation, cleared on attach
    RemoteResource* remote = nullptr;  // kind 2

private:
    static constexpr DWORD kWindowSize = 16384;

    BOOL ReadSlow(void* buffer, DWORD count, DWORD* outCount);
    int64_t TellSlow();
    BOOL ReadFileAt(void* buffer, DWORD count, DWORD* got);
    bool MoveFilePointer(int64_t position);
    bool LearnPosition();
    void ResetWindow(int64_t position);

    // The window holds the file's bytes [windowStart, windowStart + windowLength);
    // the stream's position is windowStart + windowOffset, and the handle's own
    // file pointer always stands at windowStart + windowLength.
    int64_t windowStart = 0;
    DWORD windowLength = 0;
    DWORD windowOffset = 0;
    int64_t fileSize = -1;  // learnt on first need
    // Where the handle stood when it was attached is asked only when a read
    // or tell needs it; callers usually seek to 0 first.
    bool positionKnown = true;
    BYTE window[kWindowSize];
};

// The DICOM reader's stream: one instance for the process (not locked; one
// reader at a time). Never destroyed: the process may end while a file is
// attached, and the handle table may already be gone by then.
inline ByteStream& DicomStream() {
    static ByteStream* const stream = new ByteStream;
    return *stream;
}
