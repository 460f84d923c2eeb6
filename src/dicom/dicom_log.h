// The DICOM reader's diagnostic hook. Severities: 3 error, 4 warning,
// 6 information, 7 trace. Messages are discarded unless a sink is set; a
// test or kestrava-cli's verbose mode sets one. The sink is process-wide and
// called on the reading thread; the text lives only for the call.
#pragma once

typedef void (*DicomLogSink)(int severity, const char* text, void* context);

namespace dicom_log_detail {
extern DicomLogSink sink;
extern void* context;
}  // namespace dicom_log_detail

// Inline: the reader traces every element, and nobody listens by default.
inline void dicom_log(int severity, const char* text) {
    if (dicom_log_detail::sink != nullptr) {
        dicom_log_detail::sink(severity, text, dicom_log_detail::context);
    }
}

// Routes dicom_log to `sink` (nullptr: discard again). Returns the old sink
// and its context through the optional out parameters.
void SetDicomLogSink(DicomLogSink sink, void* context, DicomLogSink* oldSink = nullptr,
                     void** oldContext = nullptr);
