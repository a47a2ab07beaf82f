#include "BufferDescription.h"

#include "PcmSink.h"

#include <cstdint>
#include <cstring>

namespace rilvane::dsound {

HRESULT checkBufferDescription(const DSBUFFERDESC* desc, BufferShape& shape)
{
    if (!desc) return DSERR_INVALIDPARAM;
    if (desc->dwSize != sizeof(DSBUFFERDESC) && desc->dwSize != LongBufferDescSize) return DSERR_INVALIDPARAM;
    if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) return DSERR_UNSUPPORTED;
    if (desc->lpwfxFormat == 0) return DSERR_INVALIDPARAM;

    // The format field holds a 32-bit address (the caller keeps the record
    // below 4 GiB). Copy the packed record out before reading it.
    WAVEFORMATEX format;
    std::memcpy(&format, reinterpret_cast<const void*>(static_cast<uintptr_t>(desc->lpwfxFormat)), sizeof format);

    if (format.wFormatTag != WAVE_FORMAT_PCM) return DSERR_INVALIDPARAM;
    if (format.nChannels == 0 || format.nSamplesPerSec == 0) return DSERR_INVALIDPARAM;
    if (format.wBitsPerSample != 8 && format.wBitsPerSample != 16) return DSERR_INVALIDPARAM;
    if (format.nBlockAlign != format.nChannels * (format.wBitsPerSample / 8)) return DSERR_INVALIDPARAM;
    if (format.nAvgBytesPerSec != format.nSamplesPerSec * format.nBlockAlign) return DSERR_INVALIDPARAM;
    if (format.nChannels != SinkChannels || format.nSamplesPerSec != SinkRate || format.wBitsPerSample != 16)
        return DSERR_UNSUPPORTED;

    if (desc->dwBufferBytes < MinBufferBytes || desc->dwBufferBytes > MaxBufferBytes) return DSERR_INVALIDPARAM;
    if (desc->dwBufferBytes % format.nBlockAlign != 0) return DSERR_INVALIDPARAM;

    shape.bytes = desc->dwBufferBytes;
    shape.flags = desc->dwFlags;
    return DS_OK;
}

}  // namespace rilvane::dsound
