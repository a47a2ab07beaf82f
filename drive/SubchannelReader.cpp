#include "drive/SubchannelReader.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "drive/CommandCatalogue.h"

namespace rilvane {

namespace {

constexpr uint8_t kFormatCatalog = 0x02;
constexpr uint8_t kFormatIsrc = 0x03;
constexpr uint32_t kSubChannelBytes = 24;
// READ TOC's allocation length for CD-Text: as much as one transfer holds
// (a block of 256 packs is 4612 bytes).
constexpr uint32_t kCdTextBytes = 8192;
constexpr uint8_t kValid = 0x80;  // MCVAL / TCVAL

}  // namespace

ScsiCommand SubchannelReader::readSubChannel(uint8_t format, int track)
{
    ScsiCommand c;
    c.cdb[0] = 0x42;
    c.cdb[2] = 0x40;  // SubQ: return the sub-channel data
    c.cdb[3] = format;
    c.cdb[6] = static_cast<uint8_t>(track);
    c.cdb[8] = kSubChannelBytes;
    c.cdbLength = 10;
    c.dataLength = kSubChannelBytes;
    c.timeoutSeconds = CommandCatalogue::kShortTimeoutSeconds * 5;
    return c;
}

ScsiCommand SubchannelReader::readCdText()
{
    ScsiCommand c;
    c.cdb[0] = 0x43;
    c.cdb[2] = 0x05;
    c.cdb[7] = static_cast<uint8_t>(kCdTextBytes >> 8);
    c.cdb[8] = static_cast<uint8_t>(kCdTextBytes);
    c.cdbLength = 10;
    c.dataLength = kCdTextBytes;
    c.timeoutSeconds = CommandCatalogue::kShortTimeoutSeconds * 5;
    return c;
}

ScsiCommand SubchannelReader::readCdWithQ(int32_t sector)
{
    ScsiCommand c = CommandCatalogue::readCd(sector, 1);
    c.cdb[10] = 0x02;  // formatted Q after the sector's 2352 bytes
    c.dataLength = CommandCatalogue::kSectorBytes + QFrame::kBytes;
    return c;
}

std::optional<std::string> SubchannelReader::catalog()
{
    std::vector<uint8_t> a;
    ++commands_;
    if (!reader_.query(readSubChannel(kFormatCatalog, 0), a) || a.size() < 22 || a[4] != kFormatCatalog ||
        !(a[8] & kValid))
        return std::nullopt;
    const std::string mcn(a.begin() + 9, a.begin() + 22);
    if (!std::all_of(mcn.begin(), mcn.end(), [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
    if (mcn == std::string(13, '0')) return std::nullopt;
    return mcn;
}

std::optional<std::string> SubchannelReader::isrc(int track)
{
    std::vector<uint8_t> a;
    ++commands_;
    if (!reader_.query(readSubChannel(kFormatIsrc, track), a) || a.size() < 21 || a[4] != kFormatIsrc ||
        !(a[8] & kValid))
        return std::nullopt;
    const std::string code(a.begin() + 9, a.begin() + 21);
    for (size_t i = 0; i < code.size(); ++i) {
        const auto c = static_cast<unsigned char>(code[i]);
        const bool ok = i < 5 ? (std::isdigit(c) || std::isupper(c)) : std::isdigit(c) != 0;
        if (!ok) return std::nullopt;
    }
    if (code == std::string(12, '0')) return std::nullopt;
    return code;
}

std::optional<CdTextPacks> SubchannelReader::cdText()
{
    std::vector<uint8_t> a;
    ++commands_;
    if (!reader_.query(readCdText(), a)) return std::nullopt;
    return CdTextPacks::parse(a.data(), a.size());
}

SubchannelReader::QRead SubchannelReader::q(int32_t sector, QFrame& frame)
{
    std::vector<uint8_t> a;
    ++commands_;
    if (!reader_.query(readCdWithQ(sector), a) || a.size() < CommandCatalogue::kSectorBytes + QFrame::kBytes)
        return QRead::Failed;
    const auto decoded = QFrame::decode(a.data() + CommandCatalogue::kSectorBytes);
    if (!decoded) return QRead::BadCrc;
    frame = *decoded;
    return QRead::Good;
}

}  // namespace rilvane
