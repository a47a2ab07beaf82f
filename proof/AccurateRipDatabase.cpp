#include "proof/AccurateRipDatabase.h"

namespace rilvane::proof {

namespace {

uint32_t le32(const uint8_t* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

constexpr size_t kHeaderBytes = 13;
constexpr size_t kTrackBytes = 9;

}  // namespace

std::optional<AccurateRipDatabase> AccurateRipDatabase::parse(const std::vector<uint8_t>& bytes, std::string& error)
{
    AccurateRipDatabase db;
    size_t at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < kHeaderBytes) {
            error = "die Datei endet mitten in einem Eintrag (Byte " + std::to_string(at) + ")";
            return std::nullopt;
        }
        AccurateRipSubmission s;
        s.tracks = bytes[at];
        s.id1 = le32(&bytes[at + 1]);
        s.id2 = le32(&bytes[at + 5]);
        s.freedbId = le32(&bytes[at + 9]);
        at += kHeaderBytes;
        if (s.tracks == 0 || bytes.size() - at < s.tracks * kTrackBytes) {
            error = "kein AccurateRip-Eintrag bei Byte " + std::to_string(at - kHeaderBytes);
            return std::nullopt;
        }
        for (int t = 0; t < s.tracks; ++t, at += kTrackBytes) s.entries.emplace_back(bytes[at], le32(&bytes[at + 1]));
        db.submissions_.push_back(std::move(s));
    }
    if (db.submissions_.empty()) {
        error = "die Datei ist leer";
        return std::nullopt;
    }
    return db;
}

bool AccurateRipDatabase::isFor(const DiscIds& ids) const
{
    for (const AccurateRipSubmission& s : submissions_)
        if (s.tracks != ids.audioTracks || s.id1 != ids.accurateRipId1 || s.id2 != ids.accurateRipId2 ||
            s.freedbId != ids.freedbId)
            return false;
    return true;
}

AccurateRipMatch AccurateRipDatabase::match(int place, const Checksums& sums) const
{
    AccurateRipMatch best;
    for (const AccurateRipSubmission& s : submissions_) {
        if (place < 1 || place > static_cast<int>(s.entries.size())) continue;
        const auto& [confidence, checksum] = s.entries[static_cast<size_t>(place - 1)];
        if (best.result == AccurateRipMatch::Result::NotListed) best.result = AccurateRipMatch::Result::NoMatch;
        const bool v2 = checksum == sums.accurateRipV2;
        if ((checksum == sums.accurateRipV1 || v2) && confidence >= best.confidence) {
            best.result = AccurateRipMatch::Result::Match;
            best.confidence = confidence;
            best.version2 = v2 && checksum != sums.accurateRipV1;
        }
    }
    return best;
}

}  // namespace rilvane::proof
