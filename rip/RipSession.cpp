#include "rip/RipSession.h"

#include "audio/Karaoke.h"
#include "drive/DiscSession.h"
#include "drive/DriveCaller.h"
#include "rip/RipMessages.h"

namespace rilvane {

RipSession::RipSession(SessionWindow& window, ReadingState& state, const DriveRecord& drive, TransportMode mode,
                       int track)
    : window_(window), state_(state), drive_(drive), mode_(mode), track_(track)
{
}

void RipSession::run(const std::string& path)
{
    LogSink& log = window_.log();
    if (!writer_.create(path)) {
        log.logLine(RipMessages::kCannotCreate);
        return;
    }
    if (!writer_.writeProvisionalHeader()) {
        // Not even the header fits: nothing could be saved, so nothing is read.
        log.logLine(RipMessages::kWriteFailed);
        finish();
        return;
    }
    endSector_ = 0;
    rangeSet_ = false;
    const std::unique_ptr<DriveTransport> transport = DriveTransport::create(mode_, drive_, DriveCaller::Ripping, log);
    TocExchange toc(DriveCaller::Ripping, state_.trackTable, log, track_);
    const DiscSessionEnd end = readDisc(*transport, window_, state_, toc, *this);
    if (end == DiscSessionEnd::Declined) {
        writer_.abandon();
        return;
    }
    // Stopped before anything was read: no file is made, the name keeps
    // what it had.
    if (end == DiscSessionEnd::Stopped) {
        writer_.abandon();
        log.logLine(RipMessages::kStoppedBeforeReading);
        return;
    }
    // Also after a loop that read nothing, the position field shows where
    // the rip left the current sector.
    if (end == DiscSessionEnd::Read) window_.showPosition(state_.currentSector);
    finish();
}

bool RipSession::tocDone(const TocResult& result)
{
    if (result.outcome == TocOutcome::TrackRejected) return false;
    if (result.outcome == TocOutcome::Read && result.ripRange) {
        state_.currentSector = result.ripRange->firstSector;
        endSector_ = result.ripRange->endSector;
        rangeSet_ = true;
    }
    window_.log().logLine(RipMessages::kStarting);
    return true;
}

void RipSession::goodBlock(uint8_t* data, uint32_t bytes)
{
    if (writer_.writeFailed()) return;
    if (karaoke_) applyKaraoke(data, bytes / 4);
    if (!writer_.appendBlock(data, bytes)) {
        window_.log().logLine(RipMessages::kWriteFailed);
        state_.stopRequest = true;
    }
}

void RipSession::finish()
{
    // The last collected blocks: a failure to write them is a failed write
    // like any other, logged before the rip is reported finished. So is a
    // file that lost its name on the way (its folder was removed): what was
    // written cannot be found.
    bool nameLost = false;
    if (!writer_.writeFailed()) {
        const bool flushed = writer_.flushBlocks();
        nameLost = flushed && !writer_.checkName();
        if (!flushed || nameLost) window_.log().logLine(RipMessages::kWriteFailed);
    }
    // The file is finished (header, hand-over to the disk, its name) before
    // the rip is reported finished, so that whoever sees that line finds the
    // file under its name; a failure to finish it is reported after it.
    const bool finished = writer_.finish();
    window_.log().logLine(RipMessages::kFinished);
    if (!finished && !nameLost) window_.log().logLine(RipMessages::kHeaderFailed);
}

}  // namespace rilvane
