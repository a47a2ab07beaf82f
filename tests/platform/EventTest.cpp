// Handles and events across threads.

#include "Event.h"
#include "HandleTable.h"
#include "platform/Win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using rilvane::platform::Event;
using rilvane::platform::HandleTable;

HANDLE makeEvent(bool manual, bool initial)
{
    HANDLE event = CreateEventA(nullptr, manual ? TRUE : FALSE, initial ? TRUE : FALSE, nullptr);
    EXPECT_NE(event, nullptr);
    return event;
}

TEST(Handles, AreSmallDistinctAndNeverZero)
{
    std::vector<HANDLE> events;
    for (int i = 0; i < 64; ++i) events.push_back(makeEvent(true, false));
    for (std::size_t i = 0; i < events.size(); ++i) {
        const auto value = reinterpret_cast<uintptr_t>(events[i]);
        EXPECT_NE(value, 0u);
        EXPECT_LE(value, 0x7FFFFFFFu);  // fits the 32-bit post-handle field of an ASPI record
        EXPECT_NE(events[i], INVALID_HANDLE_VALUE);
        for (std::size_t j = 0; j < i; ++j) EXPECT_NE(events[i], events[j]);
    }
    for (HANDLE event : events) EXPECT_TRUE(CloseHandle(event));
}

TEST(Handles, ClosedOrForeignHandlesAreRejected)
{
    HANDLE event = makeEvent(true, false);
    ASSERT_TRUE(CloseHandle(event));
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(SetEvent(event));
    EXPECT_FALSE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_EQ(WaitForSingleObject(INVALID_HANDLE_VALUE, 0), WAIT_FAILED);
}

TEST(Handles, LastErrorIsPerThread)
{
    EXPECT_FALSE(CloseHandle(nullptr));
    ASSERT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    DWORD other = 12345;
    std::thread([&] { other = GetLastError(); }).join();
    EXPECT_EQ(other, ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Events, ManualResetStaysSignalledUntilReset)
{
    HANDLE event = makeEvent(true, false);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(event, 20), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);

    HANDLE initiallySet = makeEvent(true, true);
    EXPECT_EQ(WaitForSingleObject(initiallySet, 0), WAIT_OBJECT_0);
    CloseHandle(initiallySet);
}

TEST(Events, AutoResetReleasesOneWaitOnly)
{
    HANDLE event = makeEvent(false, true);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    SetEvent(event);
    SetEvent(event);  // an event is not a counter
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST(Events, SetOnAnotherThreadReleasesTheWaiter)
{
    for (bool manual : {true, false}) {
        HANDLE event = makeEvent(manual, false);
        std::atomic<bool> released{false};
        std::thread waiter([&] {
            EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
            released = true;
        });
        EXPECT_FALSE(released.load());
        SetEvent(event);
        waiter.join();
        EXPECT_TRUE(released.load());
        CloseHandle(event);
    }
}

TEST(Events, ManualResetReleasesEveryWaiter)
{
    HANDLE event = makeEvent(true, false);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            if (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0) ++released;
        });
    SetEvent(event);
    for (auto& waiter : waiters) waiter.join();
    EXPECT_EQ(released.load(), 4);
    CloseHandle(event);
}

TEST(Events, AutoResetHandsEachSignalToOneWaiter)
{
    HANDLE event = makeEvent(false, false);
    HANDLE done = makeEvent(false, false);
    constexpr int waiters = 3;
    std::atomic<int> released{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < waiters; ++i)
        threads.emplace_back([&] {
            ASSERT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
            ++released;
            SetEvent(done);
        });
    for (int i = 0; i < waiters; ++i) {
        SetEvent(event);
        ASSERT_EQ(WaitForSingleObject(done, INFINITE), WAIT_OBJECT_0);
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(released.load(), waiters);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
    CloseHandle(done);
}

TEST(Events, ClosingDuringAWaitIsSafe)
{
    HANDLE event = makeEvent(true, false);
    auto object = HandleTable::instance().getAs<Event>(event);
    ASSERT_TRUE(object);
    DWORD result = WAIT_FAILED;
    std::thread waiter([&] { result = WaitForSingleObject(event, INFINITE); });
    // The waiter holds its own reference once it is inside the wait.
    while (object.use_count() < 3) std::this_thread::yield();
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_FALSE(SetEvent(event));
    object->set();  // the wait goes on after the close and ends normally
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0);
}

TEST(Events, WaitOnAClosedHandleFails)
{
    HANDLE event = makeEvent(true, true);
    CloseHandle(event);
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_FAILED);
}

TEST(Events, ConcurrentCreateSetCloseKeepsTheTableConsistent)
{
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
                if (event == nullptr || !SetEvent(event) || WaitForSingleObject(event, 0) != WAIT_OBJECT_0 ||
                    !CloseHandle(event))
                    ++failures;
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST(Events, NamedEventsAreRefused)
{
    EXPECT_EQ(CreateEventA(nullptr, TRUE, FALSE, "Global\\shared"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
