// The DICOM reader walking every element of a file, as the information
// dialog does: BuildDicomInfoList on a file handle.
#include <cstddef>
#include <cstdint>

#include "dicom/dicom_info_list.h"
#include "fuzz_device.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::InitFuzzDevice();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string path = fuzz::PutInput(data, size, "dcm");
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DicomInfoList list;
    BuildDicomInfoList(file, &list);
    DicomInfoListRelease(&list);
    CloseHandle(file);
    return 0;
}
