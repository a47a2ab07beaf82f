// Helpers shared by the sound tests: records, events and buffer contents.
#pragma once

#include "platform/DirectSound.h"

#include <cstdint>
#include <vector>

// The CD audio wave format in memory below 4 GiB (the 32-bit format field of
// the buffer description needs that). One record, shared by the tests.
WAVEFORMATEX* lowCdFormat();
void setCdFormat(WAVEFORMATEX* format);
DSBUFFERDESC describeCdBuffer(DWORD bytes, DWORD flags);

// A manual-reset event, closed when it goes.
struct TestEvent {
    TestEvent();
    ~TestEvent();
    TestEvent(const TestEvent&) = delete;
    TestEvent& operator=(const TestEvent&) = delete;
    bool isSet() const;
    void reset() const;
    HANDLE handle;
};

// Frame f of the buffer holds f as a 32-bit little-endian number, so every
// frame of one lap is different.
std::vector<uint8_t> frameNumbers(DWORD bytes);
void fillWithFrameNumbers(IDirectSoundBuffer* buffer);
// A staging buffer of 117600 bytes that differs from every other seed's,
// repeats nothing within itself, and starts with a non-zero byte.
std::vector<uint8_t> stagingPattern(uint32_t seed);
// Every sample of the buffer set to value.
void fillWithSample(IDirectSoundBuffer* buffer, int16_t value);
std::vector<uint8_t> readAll(IDirectSoundBuffer* buffer);
void writeAll(IDirectSoundBuffer* buffer, const std::vector<uint8_t>& bytes);
