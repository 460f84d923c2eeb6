// The DICOM format handler of the image library: scans a data set up to its
// pixel data, creates the image, builds the frame source that locates every
// frame, and decodes frame 0 through the image's display adjustment.
#pragma once

#include "image/format_handler.h"

// Registers the handler for the image library's "DICOM Format" row. The
// program and kestrava-cli call it once at start-up.
void InstallDicomHandler();

// The handler itself. Constructing it attaches the reader's stream to the
// local-file kind without a handle, so that a load reads the file it is
// given; a caller that loads a remote file attaches the remote resource
// after construction instead. Load results: 0, 1 out of memory, 8 corrupted
// or unsupported data, 9 not a readable DICOM stream, 15 aborted.
class DicomHandler : public FormatHandler {
public:
    DicomHandler();
    LoadError Load(HANDLE file, DWORD flags) override;
};
