// The maker's web site and mail address, shown and opened by the main window
// and the information dialog.
#pragma once

#include <string>

namespace rilvane {

inline constexpr char kWebHost[] = "www.tormend.de";

// The address opened for the host above: "http://" + host + "/".
inline const char* webAddress()
{
    static const std::string address = std::string("http://") + kWebHost + "/";
    return address.c_str();
}
inline constexpr char kMakerMail[] = "info@tormend.de";

}  // namespace rilvane
