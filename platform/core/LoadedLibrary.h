// A shared object opened by LoadLibraryA; its handle is the HMODULE.
#pragma once

#include "HandleTable.h"

#include <string>

namespace rilvane::platform {

class LoadedLibrary : public HandleObject {
public:
    LoadedLibrary(void* dlHandle, std::string path);
    ~LoadedLibrary() override;

    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    bool closedByCloseHandle() const override { return false; }

    void* symbol(const char* name) const;
    const std::string& path() const { return path_; }

private:
    void* dlHandle_;
    std::string path_;
};

// The folder the running program was started from (from /proc/self/exe),
// empty when it cannot be read.
std::string executableDirectory();

// The folder the platform library itself was loaded from, empty when it
// cannot be told.
std::string platformLibraryDirectory();

}  // namespace rilvane::platform
