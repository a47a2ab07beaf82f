#include "TestSink.h"

#include <algorithm>
#include <chrono>

long TestSink::write(const int16_t* frames, size_t count)
{
    std::unique_lock<std::mutex> lock(mutex_);
    writing_ = true;
    parked_ = false;
    changed_.notify_all();
    changed_.wait(lock, [&] { return credit_ > 0 || interrupted_ || lost_; });
    writing_ = false;
    if (lost_) return Lost;
    if (interrupted_) {
        interrupted_ = false;
        return 0;
    }
    const size_t taken = std::min(credit_, count);
    credit_ -= taken;
    const auto* bytes = reinterpret_cast<const uint8_t*>(frames);
    played_.insert(played_.end(), bytes, bytes + taken * rilvane::dsound::SinkFrameBytes);
    changed_.notify_all();
    return static_cast<long>(taken);
}

void TestSink::discard()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++discards_;
    parked_ = true;
    changed_.notify_all();
}

void TestSink::interrupt()
{
    std::lock_guard<std::mutex> lock(mutex_);
    interrupted_ = true;
    changed_.notify_all();
}

void TestSink::release()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++releases_;
}

bool TestSink::reopen()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!back_) return false;
    lost_ = back_ = false;
    return true;
}

void TestSink::comeBack()
{
    std::lock_guard<std::mutex> lock(mutex_);
    back_ = true;
}

size_t TestSink::releases() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return releases_;
}

void TestSink::advance(size_t frames)
{
    std::lock_guard<std::mutex> lock(mutex_);
    credit_ += frames;
    changed_.notify_all();
}

bool TestSink::settle()
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(30),
                             [&] { return lost_ || (credit_ == 0 && (writing_ || parked_)); });
}

void TestSink::lose()
{
    std::lock_guard<std::mutex> lock(mutex_);
    lost_ = true;
    changed_.notify_all();
}

std::vector<uint8_t> TestSink::played() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return played_;
}

size_t TestSink::discards() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return discards_;
}
