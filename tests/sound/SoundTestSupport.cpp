#include "SoundTestSupport.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

WAVEFORMATEX* lowCdFormat()
{
    static WAVEFORMATEX* const format = [] {
        auto* f = static_cast<WAVEFORMATEX*>(
            VirtualAlloc(nullptr, sizeof(WAVEFORMATEX), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (!f || reinterpret_cast<uintptr_t>(f) > 0xFFFFFFFFu) throw std::runtime_error("no low memory");
        setCdFormat(f);
        return f;
    }();
    return format;
}

void setCdFormat(WAVEFORMATEX* format)
{
    std::memset(format, 0, sizeof *format);
    format->wFormatTag = WAVE_FORMAT_PCM;
    format->nChannels = 2;
    format->nSamplesPerSec = 44100;
    format->nAvgBytesPerSec = 176400;
    format->nBlockAlign = 4;
    format->wBitsPerSample = 16;
}

DSBUFFERDESC describeCdBuffer(DWORD bytes, DWORD flags)
{
    DSBUFFERDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = flags;
    desc.dwBufferBytes = bytes;
    desc.lpwfxFormat = static_cast<DWORD>(reinterpret_cast<uintptr_t>(lowCdFormat()));
    return desc;
}

TestEvent::TestEvent() : handle(CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
    if (!handle) throw std::runtime_error("CreateEventA failed");
}

TestEvent::~TestEvent()
{
    CloseHandle(handle);
}

bool TestEvent::isSet() const
{
    return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
}

void TestEvent::reset() const
{
    ResetEvent(handle);
}

std::vector<uint8_t> frameNumbers(DWORD bytes)
{
    std::vector<uint8_t> out(bytes);
    for (uint32_t frame = 0; frame < bytes / 4; ++frame) std::memcpy(out.data() + frame * 4, &frame, 4);
    return out;
}

std::vector<uint8_t> stagingPattern(uint32_t seed)
{
    std::vector<uint8_t> out(117600);
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < out.size(); i += 4) {
        state = state * 1664525u + 1013904223u;
        std::memcpy(out.data() + i, &state, 4);
    }
    out[0] |= 1;
    return out;
}

std::vector<uint8_t> readAll(IDirectSoundBuffer* buffer)
{
    LPVOID p1 = nullptr;
    LPVOID p2 = nullptr;
    DWORD b1 = 0;
    DWORD b2 = 0;
    if (buffer->Lock(0, 0, &p1, &b1, &p2, &b2, DSBLOCK_ENTIREBUFFER) != DS_OK) return {};
    std::vector<uint8_t> out(static_cast<uint8_t*>(p1), static_cast<uint8_t*>(p1) + b1);
    buffer->Unlock(p1, 0, p2, 0);
    return out;
}

void writeAll(IDirectSoundBuffer* buffer, const std::vector<uint8_t>& bytes)
{
    LPVOID p1 = nullptr;
    LPVOID p2 = nullptr;
    DWORD b1 = 0;
    DWORD b2 = 0;
    if (buffer->Lock(0, 0, &p1, &b1, &p2, &b2, DSBLOCK_ENTIREBUFFER) != DS_OK) return;
    std::memcpy(p1, bytes.data(), std::min<size_t>(b1, bytes.size()));
    buffer->Unlock(p1, b1, p2, b2);
}

void fillWithFrameNumbers(IDirectSoundBuffer* buffer)
{
    writeAll(buffer, frameNumbers(static_cast<DWORD>(readAll(buffer).size())));
}

void fillWithSample(IDirectSoundBuffer* buffer, int16_t value)
{
    std::vector<uint8_t> bytes(readAll(buffer).size());
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) std::memcpy(bytes.data() + i, &value, 2);
    writeAll(buffer, bytes);
}
