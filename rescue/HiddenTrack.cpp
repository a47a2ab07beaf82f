#include "rescue/HiddenTrack.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#include "drive/CdAudio.h"

namespace rilvane::rescue {

namespace {

class CopyAudio : public proof::SectorSource {
public:
    explicit CopyAudio(const WorkingCopy& copy) : copy_(copy) {}
    bool read(int32_t first, int32_t count, uint8_t* out) override { return copy_.read(first, out, count); }

private:
    const WorkingCopy& copy_;
};

}  // namespace

HiddenTrack::HiddenTrack(const proof::DiscToc& toc, const RescueReport& report)
{
    if (toc.tracks.empty() || !toc.tracks.front().audio() || toc.tracks.front().start <= 0) return;
    const bool chosen = std::any_of(report.tracks.begin(), report.tracks.end(),
                                    [](const TrackReport& t) { return t.track == 1 && !t.file.empty(); });
    if (!chosen) return;
    end_ = toc.tracks.front().start;
    number_ = toc.tracks.front().number;
}

void HiddenTrack::read(BlockReader& reader, WorkingCopy& copy, int retries, const StopToken& stop, RescueLog& log)
{
    if (!wanted()) return;
    std::vector<uint8_t> first(cd::kReadBlockBytes);
    for (int32_t s = 0; s < end_; s += cd::kSectorsPerRead) {
        const int32_t n = std::min(cd::kSectorsPerRead, end_ - s);
        const size_t bytes = static_cast<size_t>(n) * cd::kSectorBytes;
        bool agreed = false;
        for (int attempt = 0; attempt <= retries && !agreed && !stop.stopRequested(); ++attempt) {
            const uint8_t* a = reader.readBlock(s, n);
            if (!a) continue;
            std::memcpy(first.data(), a, bytes);
            const uint8_t* b = reader.readBlock(s, n);
            agreed = b && std::memcmp(first.data(), b, bytes) == 0;
        }
        if (!agreed) {
            log.logLine("Audio vor Track " + std::to_string(number_) + ": Sektoren " + std::to_string(s) + "-" +
                        std::to_string(s + n - 1) + " nicht zweimal gleich gelesen");
            return;
        }
        if (!copy.write(s, first.data(), n)) {
            log.logLine("Audio vor Track " + std::to_string(number_) + ": konnte die Arbeitskopie nicht schreiben");
            return;
        }
        silent_ = silent_ && std::all_of(first.begin(), first.begin() + static_cast<long>(bytes),
                                         [](uint8_t x) { return x == 0; });
    }
    complete_ = true;
}

bool HiddenTrack::write(Handover& handover, const WorkingCopy& copy, const RescueRequest& request, bool resumed,
                        RescueLog& log) const
{
    if (!wanted()) return true;
    const std::string what =
        "Audio vor Track " + std::to_string(number_) + " (" + std::to_string(end_) + " Sektoren)";
    if (!complete_) {
        log.logLine(what + ": nicht vollständig gelesen, keine Datei");
        return true;
    }
    if (silent_) {
        log.logLine(what + ": digitale Stille, keine Datei");
        return true;
    }
    const std::string name = request.name.fileName(0);
    const std::string path = (std::filesystem::path(request.outDir) / name).string();
    std::error_code ec;
    if (!request.force && !resumed && std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
        log.logLine(what + ": die Datei " + path + " gibt es schon (überschreiben mit --force)");
        return false;
    }
    CopyAudio audio(copy);
    const HandedTrack handed = handover.exportTrack(audio, 0, 0, end_, path);
    if (!handed.problem.empty()) log.logLine(handed.problem);
    if (handed.fileFailed || !handed.checksums) return false;
    handover.setHiddenTrackFile(name);
    log.logLine("Versteckter Track: " + what + " in " + name);
    return true;
}

}  // namespace rilvane::rescue
