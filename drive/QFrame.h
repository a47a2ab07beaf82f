// One frame of the Q sub-channel as READ CD returns it formatted (sub-channel
// selection 010b: ten bytes of Q, its CRC-16, three zero bytes, the P bit),
// decoded. Only a frame whose CRC is right decodes at all.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace rilvane {

struct QFrame {
    static constexpr uint32_t kBytes = 16;
    static constexpr uint8_t kAdrPosition = 1;
    static constexpr uint8_t kAdrCatalog = 2;
    static constexpr uint8_t kAdrIsrc = 3;
    static constexpr int kLeadOutTrack = 0xAA;

    uint8_t control = 0;  // the four control bits: 1 pre-emphasis, 2 copy permitted, 4 data, 8 four channels
    uint8_t adr = 0;
    // ADR 1: where the frame lies.
    int track = 0;         // 0 in the lead-in, 0xAA in the lead-out
    int index = 0;
    int32_t relative = 0;  // frames from INDEX 01; in a pregap the frames still to go to it
    int32_t absolute = 0;  // the sector (the disc's time less its first two seconds)
    // ADR 2: the catalogue number (13 digits); ADR 3: the ISRC (12 characters).
    std::string catalog;
    std::string isrc;

    // The frame from its 12 bytes of Q (CRC included; the CRC is stored
    // inverted); nullopt when the CRC does not fit or a field is no number.
    static std::optional<QFrame> decode(const uint8_t* q);

    // CRC-16 (x^16 + x^12 + x^5 + 1, start 0) as Q frames and CD-Text packs
    // carry it.
    static uint16_t crc16(const uint8_t* data, size_t length);
};

}  // namespace rilvane
