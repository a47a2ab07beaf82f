// The DirectSound interfaces the program uses ("DSound.dll").
//
// On Linux, libdsound.so implements them over ALSA. The interfaces are plain
// C++ abstract classes with the COM method names; objects are reference
// counted and freed by Release().
#pragma once

#include "platform/Win32.h"

#ifdef _WIN32
#include <mmreg.h>
#include <dsound.h>
#else

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
typedef GUID IID;
typedef const GUID& REFIID;
typedef GUID* LPGUID;
typedef const GUID* LPCGUID;

inline bool operator==(const GUID& a, const GUID& b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}

// {B0210783-89CD-11D0-AF08-00A0C925CD16}
inline constexpr GUID IID_IDirectSoundNotify = {
    0xB0210783u, 0x89CD, 0x11D0, {0xAF, 0x08, 0x00, 0xA0, 0xC9, 0x25, 0xCD, 0x16}};
// {279AFA85-4981-11CE-A521-0020AF0BE560}
inline constexpr GUID IID_IDirectSoundBuffer = {
    0x279AFA85u, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
// {00000000-0000-0000-C000-000000000046}
inline constexpr GUID IID_IUnknown = {0x00000000u, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

constexpr HRESULT S_OK = 0;
constexpr HRESULT DS_OK = 0;
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT DSERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DSERR_GENERIC = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078u);
constexpr HRESULT DSERR_BUFFERLOST = static_cast<HRESULT>(0x88780096u);
constexpr HRESULT DSERR_UNINITIALIZED = static_cast<HRESULT>(0x887800AAu);
constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032u);
constexpr HRESULT DSERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);

constexpr WORD WAVE_FORMAT_PCM = 1;

constexpr DWORD DSSCL_NORMAL = 1;
constexpr DWORD DSSCL_PRIORITY = 2;

constexpr DWORD DSBCAPS_PRIMARYBUFFER = 0x00000001u;
constexpr DWORD DSBCAPS_STATIC = 0x00000002u;
constexpr DWORD DSBCAPS_CTRLPOSITIONNOTIFY = 0x00000100u;
constexpr DWORD DSBCAPS_GLOBALFOCUS = 0x00008000u;

constexpr DWORD DSBLOCK_FROMWRITECURSOR = 0x00000001u;
constexpr DWORD DSBLOCK_ENTIREBUFFER = 0x00000002u;

constexpr DWORD DSBPLAY_LOOPING = 0x00000001u;

constexpr DWORD DSBSTATUS_PLAYING = 0x00000001u;
constexpr DWORD DSBSTATUS_BUFFERLOST = 0x00000002u;
constexpr DWORD DSBSTATUS_LOOPING = 0x00000004u;

#pragma pack(push, 1)
// 18 bytes, as in mmreg.h.
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX is 18 bytes");

// The 20-byte form of the buffer description (no 3D-algorithm field). Its
// last field is the 32-bit address of the wave format record; on 64-bit
// Linux the record must therefore live below 4 GiB (see VirtualAlloc).
struct DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    DWORD lpwfxFormat;
};
static_assert(sizeof(DSBUFFERDESC) == 20, "DSBUFFERDESC is the 20-byte form");

struct DSBPOSITIONNOTIFY {
    DWORD dwOffset;
    HANDLE hEventNotify;
};

class IUnknown {
public:
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

class IDirectSoundBuffer : public IUnknown {
public:
    virtual HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) = 0;
    virtual HRESULT GetStatus(DWORD* status) = 0;
    virtual HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* audioPtr1, DWORD* audioBytes1, LPVOID* audioPtr2,
                         DWORD* audioBytes2, DWORD flags) = 0;
    virtual HRESULT Play(DWORD reserved1, DWORD priority, DWORD flags) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Unlock(LPVOID audioPtr1, DWORD audioBytes1, LPVOID audioPtr2, DWORD audioBytes2) = 0;
};

class IDirectSoundNotify : public IUnknown {
public:
    virtual HRESULT SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions) = 0;
};

class IDirectSound : public IUnknown {
public:
    virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, IUnknown* outer) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
};

typedef IDirectSound* LPDIRECTSOUND;
typedef IDirectSoundBuffer* LPDIRECTSOUNDBUFFER;
typedef IDirectSoundNotify* LPDIRECTSOUNDNOTIFY;

// Entry points of the library, resolved by name.
typedef HRESULT (*DirectSoundCreateFunc)(LPCGUID device, LPDIRECTSOUND* ds, IUnknown* outer);
typedef HRESULT (*DirectSoundEnumerateFunc)(void* callback, LPVOID context);
typedef HRESULT (*DirectSoundCaptureCreateFunc)(LPCGUID device, void** capture, IUnknown* outer);
typedef HRESULT (*DirectSoundCaptureEnumerateFunc)(void* callback, LPVOID context);
// libdsound.so's own: why the default device could not be opened.
typedef DWORD (*SoundDeviceErrorFunc)(LPSTR text, DWORD size);

#endif  // _WIN32
