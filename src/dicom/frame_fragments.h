// Compressed DICOM frames: encapsulated pixel data is a sequence of fragment
// items (FFFE,E000) ended by a sequence delimiter (FFFE,E0DD); a frame starts
// at the fragment its slot's offset names and may go on over the following
// fragments, up to the next frame's first fragment (or the delimiter for the
// last frame). Every item length is checked against the data left in the
// stream before anything is allocated.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "dicom/byte_stream.h"
#include "image/frame_source.h"

// Reads frame `index` of `source` from the stream and joins its fragments
// into *out. 0 on success, 1 when memory fails, 8 when the slot's offset is
// not an item tag, an item runs past the data, or an offset points outside.
int ReadCompressedFrame(ByteStream& stream, const FrameSource& source, int index,
                        std::vector<uint8_t>* out);

// Without a handle (a remote stream): whether every byte of the frame (item
// headers and fragments) has arrived; 0 when it has, -1 otherwise.
int CheckCompressedFrameAvailable(ByteStream& stream, const FrameSource& source, int index);
