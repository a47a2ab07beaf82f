// ShellExecuteA: "open" hands a web address or a file to the desktop through
// xdg-open, found on PATH. The caller never waits for it: a small detached
// thread collects the child's exit status so that no zombie is left behind.

#include "platform/Win32.h"

#include "LastError.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>

extern char** environ;

namespace {

HINSTANCE shellResult(INT code)
{
    return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(code));
}

bool isOpenVerb(LPCSTR operation)
{
    return operation == nullptr || std::strcmp(operation, "open") == 0;
}

}  // namespace

HINSTANCE ShellExecuteA(HWND /*owner*/, LPCSTR operation, LPCSTR file, LPCSTR /*parameters*/,
                        LPCSTR /*directory*/, INT /*showCommand*/)
{
    using rilvane::platform::setLastError;
    if (!isOpenVerb(operation)) {
        setLastError(ERROR_INVALID_FUNCTION);
        return shellResult(SE_ERR_NOASSOC);
    }
    // xdg-open would read a leading '-' as one of its own options.
    if (file == nullptr || file[0] == '\0' || file[0] == '-') {
        setLastError(ERROR_FILE_NOT_FOUND);
        return shellResult(SE_ERR_FNF);
    }

    std::string program = "xdg-open";
    std::string target = file;
    char* argv[] = {program.data(), target.data(), nullptr};
    // The library ignores SIGPIPE and SIGXFSZ for this process
    // (WriteSignals.cpp); the desktop's programs start with the defaults.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGXFSZ);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t child = 0;
    const int error = posix_spawnp(&child, "xdg-open", nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        setLastError(rilvane::platform::errorFromErrno(error));
        return shellResult(error == ENOMEM ? SE_ERR_OOM : SE_ERR_FNF);
    }
    try {
        std::thread([child] {
            int status = 0;
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread for the reaper: collect the child here rather than
        // leave a zombie (xdg-open itself returns quickly).
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    return shellResult(42);  // any value above 32 means success
}
