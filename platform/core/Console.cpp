#include "platform/Console.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace rilvane::platform {

namespace {

// Written in the signal handler: a lock-free atomic is async-signal-safe.
std::atomic<bool> stopFlag{false};
static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<void (*)()> stopCallback{nullptr};
static_assert(std::atomic<void (*)()>::is_always_lock_free);

extern "C" void onStopSignal(int)
{
    stopFlag.store(true, std::memory_order_relaxed);
    if (void (*call)() = stopCallback.load(std::memory_order_relaxed)) call();
}

}  // namespace

bool isTerminal(ConsoleStream stream)
{
    return ::isatty(stream == ConsoleStream::Output ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

void catchStopSignals()
{
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted writes carry on; the handler is reset after the first
    // signal, so a second Ctrl+C ends a tool that does not react.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void catchStopSignals(void (*onStop)())
{
    stopCallback.store(onStop, std::memory_order_relaxed);
    catchStopSignals();
}

bool stopSignalled()
{
    return stopFlag.load(std::memory_order_relaxed);
}

}  // namespace rilvane::platform
