#include "rescue/Handover.h"

#include <cstring>

#include "proof/CueSheetWriter.h"
#include "rescue/TextFile.h"

namespace rilvane::rescue {

bool writeTextFile(const std::string& path, const std::string& text, std::string& problem)
{
    std::string reason;
    if (replaceFile(path, text, reason)) return true;
    problem = "Konnte " + path + " nicht schreiben (" + reason + ")";
    return false;
}

Handover::Handover(proof::DiscToc toc, HandoverOptions options)
    : toc_(std::move(toc)), options_(std::move(options)), ids_(proof::DiscIds::of(toc_))
{
}

proof::VorbisComments Handover::comments(int number) const
{
    proof::VorbisComments c;
    int total = 0;
    for (const proof::TocTrack& t : toc_.tracks) total += t.audio() ? 1 : 0;
    c.emplace_back("TRACKNUMBER", std::to_string(number));
    c.emplace_back("TRACKTOTAL", std::to_string(total));
    c.emplace_back("DISCID", proof::hex8(ids_.freedbId));
    c.emplace_back("ACCURATERIPID", ids_.accurateRipName());
    if (!ids_.musicBrainzId.empty()) c.emplace_back("MUSICBRAINZ_DISCID", ids_.musicBrainzId);
    for (const proof::TocTrack& t : toc_.tracks)
        if (t.number == number && (t.preEmphasis() || (t.audio() && facts().track(number) && facts().track(number)->preEmphasis)))
            c.emplace_back("PRE_EMPHASIS", "yes");
    if (!facts().title.empty()) c.emplace_back("ALBUM", facts().title);
    if (!facts().performer.empty()) c.emplace_back("ALBUMARTIST", facts().performer);
    if (const proof::TrackFacts* t = facts().track(number)) {
        if (!t->title.empty()) c.emplace_back("TITLE", t->title);
        const std::string& artist = t->performer.empty() ? facts().performer : t->performer;
        if (!artist.empty()) c.emplace_back("ARTIST", artist);
        if (!t->isrc.empty()) c.emplace_back("ISRC", t->isrc);
    }
    if (!facts().catalog.empty()) c.emplace_back("CATALOGNUMBER", facts().catalog);
    if (options_.offset != 0) c.emplace_back("READ_OFFSET", std::to_string(options_.offset));
    c.emplace_back("COMMENT", options_.program);
    return c;
}

HandedTrack Handover::exportTrack(proof::SectorSource& source, int number, int32_t first, int32_t end,
                                  const std::string& path) const
{
    bool firstAudio = false;
    bool lastAudio = false;
    const auto audio = toc_.audioTracks();
    if (!audio.empty()) {
        firstAudio = audio.front().number == number;
        lastAudio = audio.back().number == number;
    }
    // The audio a shifted track may reach into: the disc up to the lead-out,
    // or up to a data track that follows the audio.
    int32_t audioEnd = toc_.leadOut;
    for (const proof::TocTrack& t : toc_.tracks)
        if (!t.audio() && t.start > first) {
            audioEnd = t.start;
            break;
        }
    int32_t audioFirst = 0;
    for (const proof::TocTrack& t : toc_.tracks)
        if (!t.audio() && t.start < first) audioFirst = toc_.trackEnd(static_cast<size_t>(&t - toc_.tracks.data()));

    proof::ShiftedAudio shifted(source, audioFirst, audioEnd, options_.offset);
    TrackExport job;
    job.number = number;
    job.firstSector = first;
    job.endSector = end;
    job.firstAudio = firstAudio;
    job.lastAudio = lastAudio;
    job.path = path;
    job.comments = comments(number);
    const TrackExportResult r = rescue::exportTrack(shifted, job, options_.format, options_.karaoke);

    HandedTrack handed;
    handed.number = number;
    handed.file = path;
    handed.fileFailed = r.fileFailed;
    handed.problem = r.problem;
    if (!r.sourceFailed) handed.checksums = r.checksums;
    if (database_ && handed.checksums) {
        int place = 0;
        for (const proof::TocTrack& t : audio) {
            ++place;
            if (t.number == number) handed.accurateRip = database_->match(place, *handed.checksums);
        }
    }
    return handed;
}

std::string Handover::describe(const proof::AccurateRipMatch& m)
{
    switch (m.result) {
    case proof::AccurateRipMatch::Result::Match:
        return std::string("stimmt überein (") + (m.version2 ? "v2" : "v1") + ", " + std::to_string(m.confidence) +
               (m.confidence == 1 ? " gleicher Rip)" : " gleiche Rips)");
    case proof::AccurateRipMatch::Result::NoMatch:
        return "stimmt NICHT überein";
    case proof::AccurateRipMatch::Result::NotListed:
        break;
    }
    return "nicht in der Datenbank";
}

bool Handover::writeTrackCue(const std::string& path, const std::vector<std::string>& names, std::string& problem) const
{
    const auto text = proof::CueSheetWriter(toc_, ids_, options_.program, &facts()).trackFiles(names);
    if (!text) {
        problem = "Kein CUE-Blatt: ein Dateiname lässt sich darin nicht schreiben (Anführungszeichen?)";
        return false;
    }
    return writeTextFile(path, *text, problem);
}

void Handover::printSummary(std::ostream& out, const std::vector<HandedTrack>& tracks,
                            const proof::LogContents& contents) const
{
    out << "\nDisc-IDs: AccurateRip " << ids_.accurateRipName() << ", FreeDB " << proof::hex8(ids_.freedbId)
        << ", MusicBrainz " << (ids_.musicBrainzId.empty() ? "-" : ids_.musicBrainzId) << "\n";
    out << "  " << ids_.accurateRipUrl() << "\n";
    if (!ids_.musicBrainzUrl.empty()) out << "  " << ids_.musicBrainzUrl << "\n";
    if (options_.offset != 0) out << "Leseversatz: " << (options_.offset > 0 ? "+" : "") << options_.offset << " Samples\n";
    std::string emphasised;
    for (const proof::TocTrack& t : toc_.tracks)
        if (t.preEmphasis()) emphasised += (emphasised.empty() ? "" : ", ") + std::to_string(t.number);
    if (!emphasised.empty())
        out << "Pre-Emphasis: Track " << emphasised << " (wird so gespeichert, nicht entzerrt)\n";
    bool any = false;
    for (const HandedTrack& t : tracks) any = any || t.checksums.has_value();
    if (any) {
        out << "Track  AccurateRip v1  v2        CRC32     ohne Stille\n";
        for (const HandedTrack& t : tracks) {
            if (!t.checksums) continue;
            char row[96];
            std::snprintf(row, sizeof row, "%5d  %s        %s  %s  %s", t.number,
                          proof::hex8(t.checksums->accurateRipV1).c_str(), proof::hex8(t.checksums->accurateRipV2).c_str(),
                          proof::hex8(t.checksums->crc).c_str(), proof::hex8(t.checksums->crcWithoutSilence).c_str());
            out << row;
            if (t.accurateRip) out << "  AccurateRip: " << describe(*t.accurateRip);
            for (const proof::TocTrack& tt : toc_.tracks)
                if (tt.number == t.number && tt.preEmphasis()) out << "  (Pre-Emphasis)";
            out << "\n";
        }
    }
    out << proof::RipLog::verdict(contents) << "\n";
}

}  // namespace rilvane::rescue
