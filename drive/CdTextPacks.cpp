#include "drive/CdTextPacks.h"

#include <algorithm>
#include <vector>

#include "drive/QFrame.h"

namespace rilvane {

namespace {

constexpr uint8_t kTitle = 0x80;
constexpr uint8_t kPerformer = 0x81;

std::string utf8FromLatin1(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20) continue;
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | b >> 6);
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

// The strings of one kind of text, by track number (0: the disc).
std::map<int, std::string> stringsOf(const std::vector<const uint8_t*>& packs)
{
    std::map<int, std::string> out;
    if (packs.empty()) return out;
    std::string text;
    for (const uint8_t* p : packs) text.append(reinterpret_cast<const char*>(p + 4), 12);
    int track = packs.front()[1] & 0x7F;
    std::string previous;
    size_t at = 0;
    while (at < text.size() && track <= 99) {
        const size_t end = text.find('\0', at);
        if (end == std::string::npos) break;  // the last string is cut off
        std::string s = text.substr(at, end - at);
        if (s == "\t") s = previous;  // a tab: the same as the track before
        if (!s.empty()) out[track] = utf8FromLatin1(s);
        previous = s;
        ++track;
        at = end + 1;
        // The rest of a pack after the last string is padding.
    }
    return out;
}

}  // namespace

CdTextPacks CdTextPacks::parse(const uint8_t* answer, size_t received)
{
    CdTextPacks result;
    if (received < 4) return result;
    const size_t told = size_t{answer[0]} << 8 | answer[1];
    const size_t bytes = std::min(received - 4, told >= 2 ? told - 2 : 0);
    std::vector<const uint8_t*> titles;
    std::vector<const uint8_t*> performers;
    bool badTitle = false;
    bool badPerformer = false;
    for (size_t at = 4; at + kPackBytes <= 4 + bytes; at += kPackBytes) {
        const uint8_t* p = answer + at;
        ++result.packs;
        const bool good = static_cast<uint16_t>(~QFrame::crc16(p, 16)) == (p[16] << 8 | p[17]);
        if (!good) ++result.badPacks;
        // The first block, single-byte characters only.
        if ((p[3] & 0x80) != 0 || ((p[3] >> 4) & 0x07) != 0) continue;
        if (p[0] == kTitle) {
            badTitle = badTitle || !good;
            titles.push_back(p);
        } else if (p[0] == kPerformer) {
            badPerformer = badPerformer || !good;
            performers.push_back(p);
        }
    }
    if (!badTitle) {
        auto t = stringsOf(titles);
        if (auto d = t.find(0); d != t.end()) {
            result.title = d->second;
            t.erase(d);
        }
        result.trackTitles = std::move(t);
    }
    if (!badPerformer) {
        auto t = stringsOf(performers);
        if (auto d = t.find(0); d != t.end()) {
            result.performer = d->second;
            t.erase(d);
        }
        result.trackPerformers = std::move(t);
    }
    return result;
}

}  // namespace rilvane
