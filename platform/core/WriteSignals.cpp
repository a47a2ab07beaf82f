// Writes that cannot be done end with an error code, never with a signal.
//
// On Linux a write past the file-size limit (RLIMIT_FSIZE) raises SIGXFSZ,
// and a write into a pipe or socket without a reader raises SIGPIPE; both
// end the process by default, before the write returns. The calls this
// library supplies report such failures as errors instead, the way the
// program expects them (a full disk while saving, a sound device that went
// away), so the library sets both signals to "ignored" as soon as it is
// loaded. The writes then fail with EFBIG or EPIPE and the caller's own
// handling runs. Every program and tool links this library, so none of them
// can be ended mid-write.
//
// The linker drops a shared library nothing refers to (--as-needed); every
// user of the library therefore gets LoadPlatform.cpp compiled in, which
// refers to rilvaneWriteSignals, so that the library, and with it this
// set-up, is loaded even by a tool that uses nothing else of it.
//
// A disposition somebody else has already chosen (a handler, or "ignored"
// inherited from the parent) is left as it is. Child processes started by
// the library get the default dispositions back (see ShellExecute.cpp).

#include <csignal>

// Set once the library has set a signal to "ignored"; a bit per signal
// (1: SIGPIPE, 2: SIGXFSZ).
extern "C" {
__attribute__((visibility("default"))) int rilvaneWriteSignals = 0;
}

namespace {

bool ignoreIfDefault(int signalNumber)
{
    struct sigaction current {};
    if (sigaction(signalNumber, nullptr, &current) != 0) return false;
    if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) return false;
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    return sigaction(signalNumber, &ignore, nullptr) == 0;
}

__attribute__((constructor)) void ignoreWriteSignals()
{
    rilvaneWriteSignals = (ignoreIfDefault(SIGPIPE) ? 1 : 0) | (ignoreIfDefault(SIGXFSZ) ? 2 : 0);
}

}  // namespace
