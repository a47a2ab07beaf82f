// The six entry points libdsound.so exports (and one of its own, for the
// reason of a failed DirectSoundCreate), with the callback types of the
// enumeration functions. Wide strings are UTF-16 (char16_t), as on Windows.
#pragma once

#include "platform/DirectSound.h"

#if defined(__GNUC__)
#define RILVANE_DSOUND_API extern "C" __attribute__((visibility("default")))
#else
#define RILVANE_DSOUND_API extern "C"
#endif

typedef BOOL (*LPDSENUMCALLBACKA)(LPGUID guid, LPCSTR description, LPCSTR module, LPVOID context);
typedef BOOL (*LPDSENUMCALLBACKW)(LPGUID guid, const char16_t* description, const char16_t* module, LPVOID context);

// {DEF00000-9C6D-47ED-AAF1-4DDA8F2B5C03}
inline constexpr GUID DSDEVID_DefaultPlayback = {
    0xDEF00000u, 0x9C6D, 0x47ED, {0xAA, 0xF1, 0x4D, 0xDA, 0x8F, 0x2B, 0x5C, 0x03}};
// {DEF00002-9C6D-47ED-AAF1-4DDA8F2B5C03}
inline constexpr GUID DSDEVID_DefaultVoicePlayback = {
    0xDEF00002u, 0x9C6D, 0x47ED, {0xAA, 0xF1, 0x4D, 0xDA, 0x8F, 0x2B, 0x5C, 0x03}};

// The default playback device (device null, GUID_NULL or one of the two
// default-playback identifiers); DSERR_NODRIVER when ALSA cannot open and
// set up its default PCM for 16-bit stereo at 44100 Hz.
RILVANE_DSOUND_API HRESULT DirectSoundCreate(LPCGUID device, LPDIRECTSOUND* directSound, IUnknown* outer);
// Calls back once, for the default device (null GUID).
RILVANE_DSOUND_API HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, LPVOID context);
RILVANE_DSOUND_API HRESULT DirectSoundEnumerateW(LPDSENUMCALLBACKW callback, LPVOID context);
// Recording is not offered: DSERR_NODRIVER, and no capture device is listed.
RILVANE_DSOUND_API HRESULT DirectSoundCaptureCreate(LPCGUID device, void** capture, IUnknown* outer);
RILVANE_DSOUND_API HRESULT DirectSoundCaptureEnumerateA(LPDSENUMCALLBACKA callback, LPVOID context);
RILVANE_DSOUND_API HRESULT DirectSoundCaptureEnumerateW(LPDSENUMCALLBACKW callback, LPVOID context);

// Why the last DirectSoundCreate failed to open the default device, as ALSA
// put it (English, one line); empty when it worked or failed for another
// reason. Copies at most size - 1 bytes and a terminating zero into text
// (nothing when text is null or size 0) and returns the whole length.
RILVANE_DSOUND_API DWORD RilvaneSoundDeviceErrorA(LPSTR text, DWORD size);
