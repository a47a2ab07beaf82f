// One track from the rescued audio into its file: WAV (the default) or FLAC,
// the drive's read offset applied, silence where nothing could be read, and
// the track's checksums computed on the way from the same samples (before
// the karaoke transform, which changes only what goes into the file).
#pragma once

#include <cstdint>
#include <string>

#include "proof/FlacWriter.h"
#include "proof/ShiftedAudio.h"
#include "proof/TrackChecksums.h"

namespace rilvane::rescue {

enum class AudioFormat { Wav, Flac };

struct TrackExport {
    int number = 0;
    int32_t firstSector = 0;
    int32_t endSector = 0;
    bool firstAudio = false;   // the disc's first audio track
    bool lastAudio = false;    // the disc's last audio track
    std::string path;          // empty: checksums only, no file
    proof::VorbisComments comments;  // FLAC only
};

struct TrackExportResult {
    bool sourceFailed = false;  // the working copy could not be read
    bool fileFailed = false;    // the file could not be made or written whole
    std::string problem;        // German, with the system's reason, when something failed
    proof::Checksums checksums;
};

TrackExportResult exportTrack(proof::ShiftedAudio& audio, const TrackExport& track, AudioFormat format,
                              bool karaoke);

}  // namespace rilvane::rescue
