// A PCM sink whose clock the test advances by hand: the device takes only
// as many frames as it has been given, and keeps everything it took.
#pragma once

#include "PcmSink.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

class TestSink final : public rilvane::dsound::PcmSink {
public:
    explicit TestSink(size_t periodFrames = 1024) : period_(periodFrames) {}

    size_t periodFrames() const override { return period_; }
    long write(const int16_t* frames, size_t count) override;
    void discard() override;
    void interrupt() override;
    void release() override;
    bool reopen() override;

    // Lets the device take `frames` more frames.
    void advance(size_t frames);
    // Waits until the device has taken all it was given and the feeder either
    // waits for more or has dropped the stream (it stopped). False when that
    // does not happen within a generous guard (a hang is reported, not waited
    // out).
    bool settle();
    // From now on the device is gone: every write reports Lost, and it
    // cannot be opened again until comeBack().
    void lose();
    // The device can be opened again.
    void comeBack();
    size_t releases() const;

    std::vector<uint8_t> played() const;
    size_t discards() const;

private:
    const size_t period_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    size_t credit_ = 0;
    bool writing_ = false;
    bool parked_ = false;
    bool interrupted_ = false;
    bool lost_ = false;
    bool back_ = false;
    size_t releases_ = 0;
    size_t discards_ = 0;
    std::vector<uint8_t> played_;
};
