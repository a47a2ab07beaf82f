// Who opens a drive session: the messages and table defaults differ by caller.
#pragma once

namespace rilvane {

enum class DriveCaller { Discovery, Playback, Ripping };

}  // namespace rilvane
