#include "LoadedLibrary.h"

#include "LastError.h"
#include "LibraryName.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace rilvane::platform {

LoadedLibrary::LoadedLibrary(void* dlHandle, std::string path) : dlHandle_(dlHandle), path_(std::move(path)) {}

LoadedLibrary::~LoadedLibrary()
{
    if (dlHandle_ != nullptr) dlclose(dlHandle_);
}

void* LoadedLibrary::symbol(const char* name) const
{
    return dlsym(dlHandle_, name);
}

std::string executableDirectory()
{
    std::vector<char> buffer(4096);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) return {};
    std::string path(buffer.data(), static_cast<std::size_t>(length));
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string platformLibraryDirectory()
{
    // Any address inside this shared object names the file it was loaded from.
    static const char insideThisLibrary = 0;
    Dl_info info{};
    if (dladdr(&insideThisLibrary, &info) == 0 || info.dli_fname == nullptr) return {};
    std::string path(info.dli_fname);
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    path.resize(slash);
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr) return {};
    return resolved;
}

namespace {

bool isFile(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void* openFile(const std::string& path)
{
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        // The file is there but does not load (wrong architecture, missing
        // dependency): worth one line, since the caller only sees NULL.
        const char* why = dlerror();
        std::fprintf(stderr, "rilvane: cannot load %s: %s\n", path.c_str(), why ? why : "unknown error");
    }
    return handle;
}

// The folders the dynamic loader searches for a bare file name, in its order:
// LD_LIBRARY_PATH, the cache built from /etc/ld.so.conf, then the trusted
// default folders.
std::string systemSearchPath()
{
    std::string text;
    if (const char* variable = std::getenv("LD_LIBRARY_PATH"); variable != nullptr && variable[0] != '\0')
        text += std::string("LD_LIBRARY_PATH (") + variable + "), ";
    return text + "the folders listed in /etc/ld.so.conf, /lib, /usr/lib";
}

// Where a library is looked for: only in RILVANE_LIBRARY_DIR when that is
// set, otherwise beside the executable, then beside the platform library and
// then on the system's path. In the build tree all of them share one folder;
// installed, the program sits in bin/ and the libraries in a folder of their
// own under lib/, which the executable's RUNPATH names. `searched` names the
// places looked at, for the line about a missing one.
void* openLibrary(const std::string& fileName, std::string& path, std::string& searched, bool& found)
{
    found = true;
    const char* onlyHere = std::getenv("RILVANE_LIBRARY_DIR");
    if (onlyHere != nullptr && onlyHere[0] != '\0') {
        path = std::string(onlyHere) + "/" + fileName;
        searched = std::string(onlyHere) + " (RILVANE_LIBRARY_DIR)";
        found = isFile(path);
        return found ? openFile(path) : nullptr;
    }
    const std::string besideProgram = executableDirectory();
    searched.clear();
    if (!besideProgram.empty()) {
        path = besideProgram + "/" + fileName;
        searched = besideProgram + " (beside the program), ";
        if (isFile(path)) return openFile(path);
    }
    const std::string besidePlatform = platformLibraryDirectory();
    if (!besidePlatform.empty() && besidePlatform != besideProgram) {
        path = besidePlatform + "/" + fileName;
        searched += besidePlatform + " (beside the platform library), ";
        if (isFile(path)) return openFile(path);
    }
    path = fileName;
    searched += systemSearchPath();
    void* handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        // Found on the path but not loadable is told like a file beside the
        // program; not found at all is told by the caller.
        const char* why = dlerror();
        found = why != nullptr && std::strstr(why, "No such file") == nullptr;
        if (found) std::fprintf(stderr, "rilvane: cannot load %s: %s\n", fileName.c_str(), why);
    }
    return handle;
}

}  // namespace

}  // namespace rilvane::platform

using rilvane::platform::HandleTable;
using rilvane::platform::LoadedLibrary;
using rilvane::platform::setLastError;

HMODULE LoadLibraryA(LPCSTR fileName)
{
    const std::string name = fileName ? rilvane::platform::libraryFileName(fileName) : std::string();
    if (name.empty()) {
        setLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    std::string path;
    std::string searched;
    bool found = true;
    void* dlHandle = rilvane::platform::openLibrary(name, path, searched, found);
    if (dlHandle == nullptr) {
        // The caller only sees NULL; a person needs to know what was looked
        // for and where.
        if (!found)
            std::fprintf(stderr, "rilvane: %s not found; looked in %s\n", name.c_str(), searched.c_str());
        setLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // Each load gets its own handle holding its own reference on the shared
    // object; FreeLibrary drops exactly that one.
    HANDLE handle = HandleTable::instance().add(std::make_shared<LoadedLibrary>(dlHandle, path));
    if (handle == nullptr) setLastError(ERROR_NOT_ENOUGH_MEMORY);
    return reinterpret_cast<HMODULE>(handle);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName)
{
    auto library = HandleTable::instance().getAs<LoadedLibrary>(reinterpret_cast<HANDLE>(module));
    if (!library) {
        setLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // Small values stand for export ordinals on Windows; shared objects have none.
    if (reinterpret_cast<uintptr_t>(procName) < 0x10000u) {
        setLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* address = library->symbol(procName);
    if (address == nullptr) {
        setLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(address);
}

BOOL FreeLibrary(HMODULE module)
{
    if (!HandleTable::instance().removeIf<LoadedLibrary>(reinterpret_cast<HANDLE>(module))) {
        setLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
