#include "CdText.h"

#include "SubChannel.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace rilvane::vdrive {

namespace {

constexpr uint8_t kTitlePack = 0x80;
constexpr uint8_t kSizeInfoPack = 0x8F;
constexpr int kTextBytesPerPack = 12;
constexpr int kSizeInfoPacks = 3;
constexpr uint8_t kIso8859_1 = 0x00;
constexpr uint8_t kEnglish = 0x09;

// CD-Text is ISO 8859-1. A sheet's text in UTF-8 is converted (characters
// beyond it become '?'); text that is not UTF-8 is taken as ISO 8859-1.
std::string toLatin1(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= text.size())
            return text;
        uint32_t code = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            if ((next & 0xC0) != 0x80)
                return text;
            code = code << 6 | (next & 0x3F);
        }
        out += code <= 0xFF ? static_cast<char>(code) : '?';
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

const std::string& fieldOf(const CdTextFields& fields, int type)
{
    return type == 0 ? fields.title : type == 1 ? fields.performer : fields.songwriter;
}

// The strings of one pack type, each with the track it belongs to.
struct Entry {
    int track;
    std::string text;  // in ISO 8859-1
};

std::vector<Entry> entriesOf(const CueSheet& sheet, int type)
{
    std::vector<Entry> entries;
    bool any = !fieldOf(sheet.text(), type).empty();
    for (const CueTrack& track : sheet.tracks())
        any = any || !fieldOf(track.text, type).empty();
    if (!any)
        return entries;
    entries.push_back({0, toLatin1(fieldOf(sheet.text(), type))});
    for (const CueTrack& track : sheet.tracks())
        entries.push_back({track.number, toLatin1(fieldOf(track.text, type))});
    return entries;
}

int packsOf(const std::vector<Entry>& entries)
{
    size_t bytes = 0;
    for (const Entry& e : entries)
        bytes += e.text.size() + 1;
    return static_cast<int>((bytes + kTextBytesPerPack - 1) / kTextBytesPerPack);
}

void closePack(uint8_t* pack)
{
    const uint16_t crc = static_cast<uint16_t>(~subChannelCrc(pack, 16));
    pack[16] = static_cast<uint8_t>(crc >> 8);
    pack[17] = static_cast<uint8_t>(crc);
}

}  // namespace

int cdTextPackCount(const CueSheet& sheet)
{
    int packs = 0;
    for (int type = 0; type < 3; ++type)
        packs += packsOf(entriesOf(sheet, type));
    return packs == 0 ? 0 : packs + kSizeInfoPacks;
}

std::vector<uint8_t> cdTextPacks(const CueSheet& sheet)
{
    std::vector<uint8_t> out;
    const int total = cdTextPackCount(sheet);
    if (total == 0 || total > kMaxCdTextPacks)
        return out;
    std::array<uint8_t, 16> packsPerType{};
    int sequence = 0;
    for (int type = 0; type < 3; ++type) {
        const std::vector<Entry> entries = entriesOf(sheet, type);
        if (entries.empty())
            continue;
        // The type's strings, each closed by a zero byte, cut into packs of 12.
        std::string stream;
        std::vector<size_t> startOf;  // where each entry's string begins in the stream
        for (const Entry& e : entries) {
            startOf.push_back(stream.size());
            stream += e.text;
            stream += '\0';
        }
        const int packs = packsOf(entries);
        packsPerType[static_cast<size_t>(type)] = static_cast<uint8_t>(packs);
        for (int p = 0; p < packs; ++p) {
            const size_t from = static_cast<size_t>(p) * kTextBytesPerPack;
            size_t entry = 0;
            while (entry + 1 < entries.size() && startOf[entry + 1] <= from)
                ++entry;
            uint8_t pack[kCdTextPackBytes] = {};
            pack[0] = static_cast<uint8_t>(kTitlePack + type);
            pack[1] = static_cast<uint8_t>(entries[entry].track);
            pack[2] = static_cast<uint8_t>(sequence++);
            pack[3] = static_cast<uint8_t>(std::min<size_t>(from - startOf[entry], 15));  // block 0
            const size_t n = std::min<size_t>(kTextBytesPerPack, stream.size() - from);
            std::memcpy(pack + 4, stream.data() + from, n);
            closePack(pack);
            out.insert(out.end(), pack, pack + kCdTextPackBytes);
        }
    }
    packsPerType[kSizeInfoPack - kTitlePack] = kSizeInfoPacks;
    // The size information: character set, track range, copyright, packs of
    // each type, the last sequence number and language of each block.
    std::array<uint8_t, kSizeInfoPacks * kTextBytesPerPack> info{};
    info[0] = kIso8859_1;
    info[1] = static_cast<uint8_t>(sheet.tracks().front().number);
    info[2] = static_cast<uint8_t>(sheet.tracks().back().number);
    std::memcpy(&info[4], packsPerType.data(), packsPerType.size());
    info[20] = static_cast<uint8_t>(total - 1);
    info[28] = kEnglish;
    for (int p = 0; p < kSizeInfoPacks; ++p) {
        uint8_t pack[kCdTextPackBytes] = {};
        pack[0] = kSizeInfoPack;
        pack[1] = static_cast<uint8_t>(p);
        pack[2] = static_cast<uint8_t>(sequence++);
        std::memcpy(pack + 4, &info[static_cast<size_t>(p) * kTextBytesPerPack], kTextBytesPerPack);
        closePack(pack);
        out.insert(out.end(), pack, pack + kCdTextPackBytes);
    }
    return out;
}

}  // namespace rilvane::vdrive
