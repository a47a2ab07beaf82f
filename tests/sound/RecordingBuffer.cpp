#include "RecordingBuffer.h"

#include <chrono>
#include <cstring>

HRESULT RecordingBuffer::QueryInterface(REFIID iid, void** object)
{
    if (iid == IID_IDirectSoundBuffer || iid == IID_IUnknown) {
        *object = this;
        AddRef();
        return S_OK;
    }
    return inner_->QueryInterface(iid, object);
}

ULONG RecordingBuffer::AddRef()
{
    return ++references_;
}

ULONG RecordingBuffer::Release()
{
    const ULONG left = --references_;
    if (left == 0) {
        inner_->Release();
        delete this;
    }
    return left;
}

HRESULT RecordingBuffer::GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor)
{
    return inner_->GetCurrentPosition(playCursor, writeCursor);
}

HRESULT RecordingBuffer::GetStatus(DWORD* status)
{
    return inner_->GetStatus(status);
}

HRESULT RecordingBuffer::Lock(DWORD offset, DWORD bytes, LPVOID* audioPtr1, DWORD* audioBytes1, LPVOID* audioPtr2,
                              DWORD* audioBytes2, DWORD flags)
{
    if (failLocks) return DSERR_INVALIDCALL;
    if (const DWORD limit = lockLimit) return inner_->Lock(0, limit, audioPtr1, audioBytes1, audioPtr2, audioBytes2, 0);
    return inner_->Lock(offset, bytes, audioPtr1, audioBytes1, audioPtr2, audioBytes2, flags);
}

HRESULT RecordingBuffer::Play(DWORD reserved1, DWORD priority, DWORD flags)
{
    return inner_->Play(reserved1, priority, flags);
}

HRESULT RecordingBuffer::Stop()
{
    return inner_->Stop();
}

HRESULT RecordingBuffer::Unlock(LPVOID audioPtr1, DWORD audioBytes1, LPVOID audioPtr2, DWORD audioBytes2)
{
    const HRESULT result = inner_->Unlock(audioPtr1, audioBytes1, audioPtr2, audioBytes2);
    std::lock_guard<std::mutex> lock(mutex_);
    ++unlocks_;
    unlocked_.notify_all();
    return result;
}

int RecordingBuffer::unlocks() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return unlocks_;
}

bool RecordingBuffer::waitForUnlocks(int count) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return unlocked_.wait_for(lock, std::chrono::seconds(30), [&] { return unlocks_ >= count; });
}

HRESULT RecordingDirectSound::QueryInterface(REFIID iid, void** object)
{
    return inner_->QueryInterface(iid, object);
}

ULONG RecordingDirectSound::AddRef()
{
    return ++references_;
}

ULONG RecordingDirectSound::Release()
{
    const ULONG left = --references_;
    if (left == 0) {
        inner_->Release();
        delete this;
    }
    return left;
}

HRESULT RecordingDirectSound::CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer,
                                                IUnknown* outer)
{
    lastDesc = *desc;
    std::memcpy(&lastFormat, reinterpret_cast<const void*>(static_cast<uintptr_t>(desc->lpwfxFormat)),
                sizeof lastFormat);
    if (failCreateBuffer) return DSERR_GENERIC;
    IDirectSoundBuffer* inner = nullptr;
    const HRESULT result = inner_->CreateSoundBuffer(desc, &inner, outer);
    if (result != DS_OK) return result;
    lastBuffer = new RecordingBuffer(inner);
    *buffer = lastBuffer;
    return DS_OK;
}

HRESULT RecordingDirectSound::SetCooperativeLevel(HWND window, DWORD level)
{
    lastLevel = level;
    return inner_->SetCooperativeLevel(window, level);
}
