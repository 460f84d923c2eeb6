// "kestrava-cli dump [--verbose] IN...": the element list of DICOM files, as
// the information dialog shows it. For each file a line with its path, then
// one line per element: "gggg,eeee<TAB>name<TAB>text", control characters in
// the text written as spaces. --verbose copies the reader's diagnostics to
// stderr.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"
#include "dicom/dicom_info_list.h"
#include "dicom/dicom_log.h"
#include "platform/device.h"

namespace {

const char* SeverityName(int severity) {
    switch (severity) {
        case 3: return "error";
        case 4: return "warning";
        case 6: return "info";
        case 7: return "trace";
        default: return "note";
    }
}

void PrintDiagnostic(int severity, const char* text, void*) {
    std::fprintf(stderr, "%s %d: %s\n", SeverityName(severity), severity, text);
}

// Control characters (the line breaks of LT and UT values) become spaces, so
// that every element keeps to one line.
void PrintText(const char* text) {
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
        std::putchar(*c < 0x20 || *c == 0x7F ? ' ' : *c);
    }
}

}  // namespace

int RunDumpCommand(int argc, char** argv) {
    int i = 0;
    bool verbose = false;
    if (i < argc && std::strcmp(argv[i], "--verbose") == 0) {
        verbose = true;
        ++i;
    }
    if (i >= argc) {
        std::fprintf(stderr, "usage: kestrava-cli dump [--verbose] IN...\n");
        return 2;
    }
    if (verbose) SetDicomLogSink(PrintDiagnostic, nullptr);

    int status = 0;
    for (; i < argc; ++i) {
        const std::u16string path = platform::HostToDevicePath(argv[i]);
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            std::fprintf(stderr, "kestrava-cli dump: cannot open %s (error %u)\n", argv[i],
                         (unsigned)GetLastError());
            status = 1;
            continue;
        }
        std::printf("%s\n", argv[i]);
        if (verbose) std::fflush(stdout);
        DicomInfoList list;
        BuildDicomInfoList(file, &list);
        CloseHandle(file);
        for (size_t r = 0; r < list.count; ++r) {
            const DicomInfoRecord& record = list.records[r];
            std::printf("%04X,%04X\t%s\t", record.entry->group, record.entry->element,
                        record.entry->name);
            PrintText(record.text);
            std::putchar('\n');
        }
        DicomInfoListRelease(&list);
    }
    if (verbose) SetDicomLogSink(nullptr, nullptr);
    return status;
}
