// FileReader: the one bounded, buffered reader the decoders read files
// through. It knows the file size and its position; a read never goes past
// the end of the file and says how much it delivered, ReadByte returns -1 at
// the end, so a truncated file can never make a decoder read out of bounds.
// Positions are absolute file offsets.
#pragma once

#include <windows.h>

#include <cstdint>

class FileReader {
public:
    // Starts at the file's current position.
    explicit FileReader(HANDLE file);
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Reads up to `count` bytes; returns how many arrived (0 at the end or
    // after a read error, which Failed() then reports).
    size_t Read(void* destination, size_t count);
    // The next byte, or -1 at the end of the file.
    int ReadByte() {
        if (next_ < end_) return *next_++;
        return Refill() ? *next_++ : -1;
    }
    // Moves to an absolute position (clamped to the file size).
    void Seek(uint64_t position);
    uint64_t Position() const { return bufferPosition_ + static_cast<uint64_t>(next_ - buffer_); }
    uint64_t Size() const { return size_; }
    uint64_t Remaining() const { return size_ > Position() ? size_ - Position() : 0; }
    bool Failed() const { return failed_; }

private:
    bool Refill();
    bool SeekFile(uint64_t position);

    static constexpr size_t kBufferSize = 64 * 1024;
    HANDLE file_;
    uint64_t size_ = 0;
    uint64_t bufferPosition_ = 0;  // file offset of buffer_[0]
    uint64_t filePosition_ = 0;    // where the handle stands
    BYTE* next_;
    BYTE* end_;
    bool failed_ = false;
    BYTE buffer_[kBufferSize];
};
