// The maker's web site and mail address, shown and opened by the main window
// and the information dialog.
#pragma once

namespace rilvane {

inline constexpr char kWebHost[] = "www.tormend.de";
inline constexpr char kWebAddress[] = "http://www.tormend.de/";
inline constexpr char kMakerMail[] = "info@tormend.de";

}  // namespace rilvane
