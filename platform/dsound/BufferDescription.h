// Checks a sound buffer description (DSBUFFERDESC) and the wave format its
// 32-bit format address points at.
#pragma once

#include "platform/DirectSound.h"

namespace rilvane::dsound {

constexpr DWORD MinBufferBytes = 4;             // DSBSIZE_MIN
constexpr DWORD MaxBufferBytes = 64u << 20;     // about six minutes of CD audio
constexpr DWORD LongBufferDescSize = 36;        // the later form with a 3D-algorithm GUID

struct BufferShape {
    DWORD bytes = 0;
    DWORD flags = 0;
};

// DS_OK and the buffer's size and flags when the description asks for a
// secondary buffer this device can play: description size 20 (or 36), PCM,
// 2 channels, 44100 Hz, 16 bits, consistent block align and byte rate, a
// size that is a whole number of frames between MinBufferBytes and
// MaxBufferBytes. DSERR_UNSUPPORTED for a primary buffer or another valid
// PCM format; DSERR_INVALIDPARAM for anything malformed.
HRESULT checkBufferDescription(const DSBUFFERDESC* desc, BufferShape& shape);

}  // namespace rilvane::dsound
