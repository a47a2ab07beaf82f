// LoadLibraryA: name mapping and where libraries are looked for.

#include "LoadedLibrary.h"
#include "LibraryName.h"
#include "ScopedEnv.h"
#include "platform/Win32.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using rilvane::platform::libraryFileName;
using rilvane::platform::test::ScopedEnv;
using rilvane::platform::test::TempDir;

using AnswerFunction = int (*)();

TEST(LibraryName, WindowsNamesBecomeSharedObjectNames)
{
    EXPECT_EQ(libraryFileName("WNASPI32"), "libwnaspi32.so");
    EXPECT_EQ(libraryFileName("wnaspi32.dll"), "libwnaspi32.so");
    EXPECT_EQ(libraryFileName("DSound.dll"), "libdsound.so");
    EXPECT_EQ(libraryFileName("uxtheme.DLL"), "libuxtheme.so");
    EXPECT_EQ(libraryFileName("C:\\Windows\\System32\\WNASPI32.DLL"), "libwnaspi32.so");
    EXPECT_EQ(libraryFileName("/opt/lib/DSound.dll"), "libdsound.so");
    EXPECT_EQ(libraryFileName("name.with.dots"), "libname.with.dots.so");
    EXPECT_EQ(libraryFileName("noext."), "libnoext.so");
    EXPECT_EQ(libraryFileName(""), "");
    EXPECT_EQ(libraryFileName(".dll"), "");
    EXPECT_EQ(libraryFileName("C:\\dir\\"), "");
}

TEST(LoadLibrary, FindsALibraryBesideTheExecutable)
{
    ScopedEnv noOverride("RILVANE_LIBRARY_DIR", std::nullopt);
    HMODULE module = LoadLibraryA("PlatformTestPlugin.dll");
    ASSERT_NE(module, nullptr);
    auto answer = reinterpret_cast<AnswerFunction>(GetProcAddress(module, "rilvaneTestPluginAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);

    EXPECT_EQ(GetProcAddress(module, "noSuchFunction"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    EXPECT_EQ(GetProcAddress(module, reinterpret_cast<LPCSTR>(uintptr_t{3})), nullptr);  // ordinal

    // A second load is a second reference with its own handle.
    HMODULE again = LoadLibraryA("PLATFORMTESTPLUGIN");
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(FreeLibrary(again));

    EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(module)));  // libraries need FreeLibrary
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_FALSE(FreeLibrary(module));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetProcAddress(module, "rilvaneTestPluginAnswer"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(LoadLibrary, MissingLibraryGivesNullAndModNotFound)
{
    // The caller only gets NULL; stderr names the file and where it was looked for.
    ScopedEnv noOverride("RILVANE_LIBRARY_DIR", std::nullopt);
    ScopedEnv searchPath("LD_LIBRARY_PATH", "/opt/nowhere");
    testing::internal::CaptureStderr();
    EXPECT_EQ(LoadLibraryA("NoSuchLibraryAnywhere.dll"), nullptr);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(said, "rilvane: libnosuchlibraryanywhere.so not found; looked in " + rilvane::platform::executableDirectory() +
                        " (beside the program), LD_LIBRARY_PATH (/opt/nowhere), the folders listed in "
                        "/etc/ld.so.conf, /lib, /usr/lib\n");
    {
        TempDir empty;
        ScopedEnv only("RILVANE_LIBRARY_DIR", empty.path().string());
        testing::internal::CaptureStderr();
        EXPECT_EQ(LoadLibraryA("WNASPI32"), nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "rilvane: libwnaspi32.so not found; looked in " + empty.path().string() + " (RILVANE_LIBRARY_DIR)\n");
    }
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
    EXPECT_EQ(LoadLibraryA(""), nullptr);
}

TEST(LoadLibrary, LibraryDirectoryIsTheOnlyPlaceLookedAt)
{
    TempDir empty;
    {
        ScopedEnv only("RILVANE_LIBRARY_DIR", empty.path().string());
        EXPECT_EQ(LoadLibraryA("PlatformTestPlugin.dll"), nullptr);  // present beside the program, not here
        EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
        EXPECT_EQ(LoadLibraryA("libc.so.6"), nullptr);  // nor on the system path
    }

    // A stand-in for the ASPI layer: any library with the right file name.
    TempDir fake;
    std::filesystem::copy_file(RILVANE_TEST_PLUGIN_PATH, fake / "libwnaspi32.so");
    ScopedEnv only("RILVANE_LIBRARY_DIR", fake.path().string());
    HMODULE module = LoadLibraryA("WNASPI32");
    ASSERT_NE(module, nullptr);
    EXPECT_NE(GetProcAddress(module, "rilvaneTestPluginAnswer"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "SendASPI32Command"), nullptr);
    FreeLibrary(module);
}

TEST(LoadLibrary, AFileThatIsNoLibraryIsNotLoaded)
{
    TempDir dir;
    {
        std::FILE* file = std::fopen((dir / "libbroken.so").c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs("not an ELF file\n", file);
        std::fclose(file);
    }
    ScopedEnv only("RILVANE_LIBRARY_DIR", dir.path().string());
    EXPECT_EQ(LoadLibraryA("broken.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

}  // namespace
