#include "rip/RipSession.h"

#include "drive/AspiBlockReader.h"
#include "drive/AspiSession.h"
#include "drive/CommandCatalogue.h"
#include "drive/DriveMessages.h"
#include "drive/ReadLoop.h"
#include "drive/SptiBlockReader.h"
#include "drive/SptiSession.h"
#include "drive/TocExchange.h"
#include "playback/Karaoke.h"
#include "rip/RipMessages.h"

namespace rilvane {

namespace {
constexpr size_t kReadBlockBytes = 23520;
constexpr size_t kReadBlockFrames = kReadBlockBytes / 4;
}  // namespace

RipSession::RipSession(SessionWindow& window, const DriveRecord& drive, TransportMode mode, int track)
    : window_(window), drive_(drive), mode_(mode), track_(track)
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
    const End end = mode_ == TransportMode::Spti ? overSpti() : overAspi();
    if (end == End::Abandon) {
        writer_.abandon();
        return;
    }
    finish();
}

RipSession::End RipSession::overSpti()
{
    LogSink& log = window_.log();
    SptiSession session;
    if (!session.open(drive_.letter)) {
        log.logLine(DriveMessages::kSptiNoAccess);
        return End::Finish;
    }
    window_.setCurrentSector(window_.positionValue());
    TocExchange toc(DriveCaller::Ripping, window_.trackTable(), log, track_);
    const TocResult result = toc.overSpti(session);
    if (result.outcome == TocOutcome::TrackRejected) return End::Abandon;
    if (result.outcome == TocOutcome::Read && result.ripRange) {
        window_.setCurrentSector(result.ripRange->firstSector);
        endSector_ = result.ripRange->endSector;
        rangeSet_ = true;
    }
    log.logLine(RipMessages::kStarting);
    SptiBlockReader reader(session, log);
    readLoop(reader);
    window_.showPosition(window_.currentSector());
    return End::Finish;
}

RipSession::End RipSession::overAspi()
{
    LogSink& log = window_.log();
    AspiSession session;
    if (!session.open(DriveCaller::Ripping, log)) return End::Finish;

    window_.setCurrentSector(window_.positionValue());
    TocExchange toc(DriveCaller::Ripping, window_.trackTable(), log, track_);
    const TocResult result = toc.overAspi(session, drive_);
    if (result.outcome == TocOutcome::TrackRejected) return End::Abandon;
    if (result.outcome == TocOutcome::Read && result.ripRange) {
        window_.setCurrentSector(result.ripRange->firstSector);
        endSector_ = result.ripRange->endSector;
        rangeSet_ = true;
    }
    log.logLine(RipMessages::kStarting);
    if (!session.openEvent(log)) return End::Finish;
    AspiBlockReader reader(session, drive_, log);
    readLoop(reader);
    session.closeEvent();
    return End::Finish;
}

void RipSession::readLoop(BlockReader& reader)
{
    ReadLoop loop(reader, *this);
    loop.run();
}

void RipSession::goodBlock(uint8_t* data)
{
    if (writer_.writeFailed()) return;
    if (window_.karaokeChecked()) applyKaraoke(data, kReadBlockFrames);
    if (!writer_.appendBlock(data, kReadBlockBytes)) {
        window_.log().logLine(RipMessages::kWriteFailed);
        requestStop();
    }
}

void RipSession::finish()
{
    window_.log().logLine(RipMessages::kFinished);
    if (!writer_.finish()) window_.log().logLine(RipMessages::kHeaderFailed);
}

}  // namespace rilvane
