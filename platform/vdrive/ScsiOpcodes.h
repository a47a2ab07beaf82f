// The commands the virtual drive knows, by operation code: one table for the
// drive itself, the tray in front of it and the kernel drive's trace.
#pragma once

#include <cstdint>
#include <string_view>

namespace rilvane::vdrive::op {

inline constexpr uint8_t kTestUnitReady = 0x00;
inline constexpr uint8_t kRezeroUnit = 0x01;
inline constexpr uint8_t kRequestSense = 0x03;
inline constexpr uint8_t kInquiry = 0x12;
inline constexpr uint8_t kModeSelect6 = 0x15;
inline constexpr uint8_t kModeSense6 = 0x1A;
inline constexpr uint8_t kStartStopUnit = 0x1B;
inline constexpr uint8_t kPreventAllowRemoval = 0x1E;
inline constexpr uint8_t kReadCapacity = 0x25;
inline constexpr uint8_t kRead10 = 0x28;
inline constexpr uint8_t kSeek10 = 0x2B;
inline constexpr uint8_t kReadSubChannel = 0x42;
inline constexpr uint8_t kReadToc = 0x43;
inline constexpr uint8_t kPlayAudio10 = 0x45;
inline constexpr uint8_t kGetConfiguration = 0x46;
inline constexpr uint8_t kPlayAudioMsf = 0x47;
inline constexpr uint8_t kGetEventStatus = 0x4A;
inline constexpr uint8_t kPauseResume = 0x4B;
inline constexpr uint8_t kStopPlayScan = 0x4E;
inline constexpr uint8_t kReadDiscInformation = 0x51;
inline constexpr uint8_t kReadTrackInformation = 0x52;
inline constexpr uint8_t kModeSelect10 = 0x55;
inline constexpr uint8_t kModeSense10 = 0x5A;
inline constexpr uint8_t kPlayAudio12 = 0xA5;
inline constexpr uint8_t kRead12 = 0xA8;
inline constexpr uint8_t kGetPerformance = 0xAC;
inline constexpr uint8_t kReadCdMsf = 0xB9;
inline constexpr uint8_t kSetCdSpeed = 0xBB;
inline constexpr uint8_t kMechanismStatus = 0xBD;
inline constexpr uint8_t kReadCd = 0xBE;

struct OpcodeName {
    uint8_t code;
    std::string_view name;
};

// Every command above with its name, in order of operation code.
inline constexpr OpcodeName kOpcodeNames[] = {
    {kTestUnitReady, "TEST UNIT READY"},
    {kRezeroUnit, "REZERO UNIT"},
    {kRequestSense, "REQUEST SENSE"},
    {kInquiry, "INQUIRY"},
    {kModeSelect6, "MODE SELECT(6)"},
    {kModeSense6, "MODE SENSE(6)"},
    {kStartStopUnit, "START STOP UNIT"},
    {kPreventAllowRemoval, "PREVENT ALLOW MEDIUM REMOVAL"},
    {kReadCapacity, "READ CAPACITY"},
    {kRead10, "READ(10)"},
    {kSeek10, "SEEK(10)"},
    {kReadSubChannel, "READ SUB-CHANNEL"},
    {kReadToc, "READ TOC/PMA/ATIP"},
    {kPlayAudio10, "PLAY AUDIO(10)"},
    {kGetConfiguration, "GET CONFIGURATION"},
    {kPlayAudioMsf, "PLAY AUDIO MSF"},
    {kGetEventStatus, "GET EVENT STATUS NOTIFICATION"},
    {kPauseResume, "PAUSE/RESUME"},
    {kStopPlayScan, "STOP PLAY/SCAN"},
    {kReadDiscInformation, "READ DISC INFORMATION"},
    {kReadTrackInformation, "READ TRACK INFORMATION"},
    {kModeSelect10, "MODE SELECT(10)"},
    {kModeSense10, "MODE SENSE(10)"},
    {kPlayAudio12, "PLAY AUDIO(12)"},
    {kRead12, "READ(12)"},
    {kGetPerformance, "GET PERFORMANCE"},
    {kReadCdMsf, "READ CD MSF"},
    {kSetCdSpeed, "SET CD SPEED"},
    {kMechanismStatus, "MECHANISM STATUS"},
    {kReadCd, "READ CD"},
};

// The command's name, or an empty view for an operation code not listed.
constexpr std::string_view nameOf(uint8_t code)
{
    for (const OpcodeName& entry : kOpcodeNames)
        if (entry.code == code)
            return entry.name;
    return {};
}

// Commands that read sectors of the medium.
constexpr bool readsMedium(uint8_t code)
{
    return code == kReadCd || code == kReadCdMsf || code == kRead10 || code == kRead12;
}

}  // namespace rilvane::vdrive::op
