// The diagnostic hook: one sink for the process, none by default.
#include "dicom/dicom_log.h"

namespace dicom_log_detail {

DicomLogSink sink = nullptr;
void* context = nullptr;

}  // namespace dicom_log_detail

void SetDicomLogSink(DicomLogSink sink, void* context, DicomLogSink* oldSink, void** oldContext) {
    if (oldSink != nullptr) *oldSink = dicom_log_detail::sink;
    if (oldContext != nullptr) *oldContext = dicom_log_detail::context;
    dicom_log_detail::sink = sink;
    dicom_log_detail::context = context;
}
