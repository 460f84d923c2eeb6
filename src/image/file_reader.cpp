// The buffered file reader.
#include "file_reader.h"

#include <cstring>

FileReader::FileReader(HANDLE file) : file_(file), next_(buffer_), end_(buffer_) {
    LONG high = 0;
    DWORD low = SetFilePointer(file_, 0, &high, FILE_CURRENT);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
        failed_ = true;
        return;
    }
    filePosition_ = (static_cast<uint64_t>(static_cast<DWORD>(high)) << 32) | low;
    bufferPosition_ = filePosition_;
    DWORD sizeHigh = 0;
    DWORD sizeLow = GetFileSize(file_, &sizeHigh);
    if (sizeLow == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        failed_ = true;
        return;
    }
    size_ = (static_cast<uint64_t>(sizeHigh) << 32) | sizeLow;
}

bool FileReader::SeekFile(uint64_t position) {
    if (position == filePosition_) return true;
    LONG high = static_cast<LONG>(position >> 32);
    DWORD low = SetFilePointer(file_, static_cast<LONG>(position & 0xFFFFFFFFu), &high, FILE_BEGIN);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
        failed_ = true;
        return false;
    }
    filePosition_ = position;
    return true;
}

bool FileReader::Refill() {
    if (failed_) return false;
    uint64_t position = Position();
    if (position >= size_) return false;
    if (!SeekFile(position)) return false;
    uint64_t left = size_ - position;
    DWORD want = static_cast<DWORD>(left < kBufferSize ? left : kBufferSize);
    DWORD got = 0;
    if (!ReadFile(file_, buffer_, want, &got, nullptr)) {
        failed_ = true;
        got = 0;
    }
    filePosition_ = position + got;
    bufferPosition_ = position;
    next_ = buffer_;
    end_ = buffer_ + got;
    return got > 0;
}

size_t FileReader::Read(void* destination, size_t count) {
    BYTE* out = static_cast<BYTE*>(destination);
    size_t done = 0;
    size_t buffered = static_cast<size_t>(end_ - next_);
    if (buffered > 0) {
        size_t n = buffered < count ? buffered : count;
        std::memcpy(out, next_, n);
        next_ += n;
        done = n;
    }
    while (done < count && !failed_) {
        size_t want = count - done;
        if (want >= kBufferSize) {
            // Large reads go straight into the caller's memory.
            uint64_t position = Position();
            if (position >= size_ || !SeekFile(position)) break;
            uint64_t left = size_ - position;
            if (want > left) want = static_cast<size_t>(left);
            if (want > 0x40000000u) want = 0x40000000u;
            DWORD got = 0;
            if (!ReadFile(file_, out + done, static_cast<DWORD>(want), &got, nullptr)) {
                failed_ = true;
                got = 0;
            }
            filePosition_ = position + got;
            bufferPosition_ = filePosition_;
            next_ = end_ = buffer_;
            done += got;
            if (got == 0) break;
        } else {
            if (!Refill()) break;
            size_t n = static_cast<size_t>(end_ - next_);
            if (n > want) n = want;
            std::memcpy(out + done, next_, n);
            next_ += n;
            done += n;
        }
    }
    return done;
}

void FileReader::Seek(uint64_t position) {
    if (position > size_) position = size_;
    if (position >= bufferPosition_ && position <= bufferPosition_ + static_cast<uint64_t>(end_ - buffer_)) {
        next_ = buffer_ + (position - bufferPosition_);
        return;
    }
    bufferPosition_ = position;
    next_ = end_ = buffer_;
}
