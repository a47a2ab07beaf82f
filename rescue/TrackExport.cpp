#include "rescue/TrackExport.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "drive/CdAudio.h"
#include "audio/Karaoke.h"
#include "rip/RipMessages.h"
#include "rip/WavWriter.h"

namespace rilvane::rescue {

namespace {

// "<what> (<file>): <the system's reason>", as the tool's other file errors.
std::string fileError(const char* what, const std::string& path, int error)
{
    return std::string(what) + " (" + path + ")" + (error ? std::string(": ") + std::strerror(error) : std::string());
}

// The file a track's frames go into.
class TrackFile {
public:
    virtual ~TrackFile() = default;
    virtual bool append(const uint8_t* frames, size_t count) = 0;
    virtual bool finish() = 0;
    virtual std::string problem() const = 0;
};

class WavTrackFile : public TrackFile {
public:
    bool create(const std::string& path, std::string& problem)
    {
        if (!writer_.create(path)) {
            problem = fileError(RipMessages::kCannotCreate, path, writer_.lastError() ? writer_.lastError() : errno);
            return false;
        }
        if (!writer_.writeProvisionalHeader()) {
            problem = fileError(RipMessages::kWriteFailed, path, writer_.lastError());
            writer_.abandon();
            return false;
        }
        path_ = path;
        return true;
    }
    bool append(const uint8_t* frames, size_t count) override { return writer_.appendBlock(frames, count * cd::kFrameBytes); }
    bool finish() override
    {
        const bool flushed = writer_.flushBlocks();
        const bool finished = writer_.finish();  // closes the file whatever came before
        return flushed && finished && !writer_.writeFailed();
    }
    std::string problem() const override
    {
        return fileError(writer_.writeFailed() ? RipMessages::kWriteFailed : RipMessages::kHeaderFailed, path_,
                         writer_.lastError());
    }

private:
    WavWriter writer_;
    std::string path_;
};

class FlacTrackFile : public TrackFile {
public:
    bool create(const TrackExport& track, std::string& problem)
    {
        path_ = track.path;
        const uint64_t frames = uint64_t(track.endSector - track.firstSector) * cd::kFramesPerSector;
        if (!writer_.create(track.path, frames, track.comments)) {
            problem = details(RipMessages::kCannotCreate);
            return false;
        }
        return true;
    }
    bool append(const uint8_t* frames, size_t count) override { return writer_.append(frames, count); }
    bool finish() override { return writer_.finish(); }
    std::string problem() const override { return details("Fehler beim Schreiben der FLAC-Datei!"); }

private:
    // With the system's reason, or the encoder's where it was the encoder.
    std::string details(const char* what) const
    {
        if (writer_.lastError() || writer_.encoderProblem().empty()) return fileError(what, path_, writer_.lastError());
        return fileError(what, path_, 0) + ": FLAC: " + writer_.encoderProblem();
    }

    proof::FlacWriter writer_;
    std::string path_;
};

}  // namespace

TrackExportResult exportTrack(proof::ShiftedAudio& audio, const TrackExport& track, AudioFormat format,
                              bool karaoke)
{
    TrackExportResult result;
    std::unique_ptr<TrackFile> file;
    if (!track.path.empty()) {
        if (format == AudioFormat::Flac) {
            auto flac = std::make_unique<FlacTrackFile>();
            if (flac->create(track, result.problem)) file = std::move(flac);
        } else {
            auto wav = std::make_unique<WavTrackFile>();
            if (wav->create(track.path, result.problem)) file = std::move(wav);
        }
        if (!file) result.fileFailed = true;
    }

    const int64_t frames = int64_t(track.endSector - track.firstSector) * cd::kFramesPerSector;
    proof::TrackChecksums sums(frames, track.firstAudio, track.lastAudio);
    std::vector<uint8_t> changed;
    const bool read = audio.stream(track.firstSector, track.endSector, [&](const uint8_t* data, size_t count) {
        sums.add(data, count);
        if (!file || result.fileFailed) return;
        const uint8_t* out = data;
        if (karaoke) {
            changed.assign(data, data + 4 * count);
            applyKaraoke(changed.data(), count);
            out = changed.data();
        }
        if (!file->append(out, count)) result.fileFailed = true;
    });
    result.checksums = sums.result();
    if (!read) {
        result.sourceFailed = true;
        result.problem = "Konnte die Arbeitskopie nicht lesen";
    }
    if (file) {
        const bool finished = file->finish();
        if ((result.fileFailed || !finished) && result.problem.empty()) result.problem = file->problem();
        result.fileFailed = result.fileFailed || !finished;
    }
    return result;
}

}  // namespace rilvane::rescue
