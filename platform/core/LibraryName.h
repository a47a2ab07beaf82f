// How a Windows library name becomes the name of a Linux shared object.
#pragma once

#include <string>
#include <string_view>

namespace rilvane::platform {

// "WNASPI32" and "C:\\Windows\\wnaspi32.dll" -> "libwnaspi32.so",
// "DSound.dll" -> "libdsound.so": the folder and a ".dll" ending are
// dropped, the rest is lower-cased and wrapped in "lib" ... ".so". Returns an
// empty string for a name that is empty once stripped.
std::string libraryFileName(std::string_view windowsName);

}  // namespace rilvane::platform
