// A device root with helpers that lay out files and folders for album tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "album/image_album.h"
#include "device_fixture.h"
#include "platform/wstr.h"

class AlbumTest : public DeviceTest {
protected:
    // Creates a device file ("\My Documents\a.jpg") holding `size` bytes.
    static void MakeFile(const std::u16string& path, size_t size = 1) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << platform::Utf16ToUtf8(path);
        std::vector<BYTE> bytes(size, 0x5A);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file, bytes.data(), DWORD(size), &written, nullptr));
        CloseHandle(file);
    }
    static void MakeFolder(const std::u16string& path) {
        ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << platform::Utf16ToUtf8(path);
    }
    static void WriteBytes(const std::u16string& path, const std::vector<BYTE>& bytes) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        if (!bytes.empty()) {
            ASSERT_TRUE(WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr));
        }
        CloseHandle(file);
    }
    static std::vector<BYTE> ReadBytes(const std::u16string& path) {
        std::vector<BYTE> bytes;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return bytes;
        bytes.resize(GetFileSize(file, nullptr));
        DWORD done = 0;
        if (!bytes.empty()) ReadFile(file, bytes.data(), DWORD(bytes.size()), &done, nullptr);
        CloseHandle(file);
        return bytes;
    }
    // Entry names in album order.
    static std::vector<std::u16string> Names(const ImageAlbum& album) {
        std::vector<std::u16string> names;
        for (int i = 0; i < album.Count(); ++i) names.push_back(album.Entry(i)->path);
        return names;
    }
};
