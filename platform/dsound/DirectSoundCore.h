// What the DirectSound layer offers beside the exported entry points: a
// DirectSound object over any PCM sink. The library's DirectSoundCreate uses
// it with the ALSA sink; tests use it with a sink of their own.
#pragma once

#include "PcmSink.h"
#include "platform/DirectSound.h"

#include <memory>

namespace rilvane::dsound {

// DS_OK and a new IDirectSound (reference count 1) that plays into sink.
HRESULT createDirectSound(std::shared_ptr<PcmSink> sink, IDirectSound** directSound);

// {279AFA83-4981-11CE-A521-0020AF0BE560}
inline constexpr GUID IID_IDirectSound = {
    0x279AFA83u, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

}  // namespace rilvane::dsound
