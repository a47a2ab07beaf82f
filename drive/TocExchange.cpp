#include "drive/TocExchange.h"

#include <algorithm>

#include "drive/AspiSession.h"
#include "drive/CommandCatalogue.h"
#include "drive/DriveMessages.h"
#include "drive/SptiSession.h"
#include "drive/TocParser.h"
#include "drive/TransientRetry.h"

namespace rilvane {

using cd::kDefaultFirstTrack;
using cd::kDefaultLeadOut;

TocExchange::TocExchange(DriveCaller handler, TrackTable& table, LogSink& log, int ripTrack)
    : handler_(handler), table_(table), log_(log), ripTrack_(ripTrack)
{
}

TocResult TocExchange::overSpti(SptiSession& session)
{
    table_.slot(1) = kDefaultFirstTrack;
    if (handler_ == DriveCaller::Ripping)
        table_.slot(2) = kDefaultLeadOut;
    table_.count = 1;

    bool read = session.execute(CommandCatalogue::readToc());
    for (TransientRetry retry; !read && retry.again(session.scsiStatus(), session.request().sense);)
        read = session.execute(CommandCatalogue::readToc());
    if (!read) {
        log_.logLine(DriveMessages::kTocNotRead);
        // Why: the drive's own answer, where it gave one.
        if (session.hasSense())
            log_.logLine(session.errorLine());
        return {TocOutcome::Failed, std::nullopt, std::nullopt, {}, {}};
    }
    // Only what the drive reported as sent is parsed.
    const size_t received = std::min<size_t>(session.transferredLength(), CommandCatalogue::kTocBytes);
    return accept(session.data(), received);
}

TocResult TocExchange::overAspi(AspiSession& session, const DriveRecord& drive)
{
    if (!session.openEvent(log_))
        return {TocOutcome::Skipped, std::nullopt, std::nullopt, {}, {}};

    table_.slot(1) = kDefaultFirstTrack;
    table_.count = 1;

    uint8_t status = session.execute(drive, CommandCatalogue::readToc());
    for (TransientRetry retry;
         status != SS_COMP && retry.again(session.request().SRB_TargStat, session.request().SenseArea);)
        status = session.execute(drive, CommandCatalogue::readToc());
    TocResult result;
    if (status == SS_COMP) {
        result = accept(session.window(), CommandCatalogue::kTocBytes);
    } else {
        log_.logLine(DriveMessages::aspiTocFailed(status));
        if (const std::string why = session.senseLine(); !why.empty())
            log_.logLine(why);
        result = {TocOutcome::Failed, std::nullopt, std::nullopt, {}, {}};
    }
    session.closeEvent();
    return result;
}

TocResult TocExchange::accept(const uint8_t* response, size_t received)
{
    log_.logLine(DriveMessages::kTocRead);
    const int32_t count = parseToc(response, received, table_);

    TocResult result{TocOutcome::Read, std::nullopt, std::nullopt, parseTocEntries(response, received), {}};
    if (count >= 1 && count < kTrackSlots) result.leadOut = table_.slot(count + 1);
    for (int t = 1; t <= count && t < kTrackSlots; ++t)
        if (table_.isData(t)) result.dataRanges.emplace_back(table_.slot(t), table_.slot(t + 1));
    if (handler_ == DriveCaller::Ripping) {
        result.ripRange = RipRange::forTrack(table_, ripTrack_);
        if (!result.ripRange) {
            log_.logLine(DriveMessages::kInvalidTrack);
            result.outcome = TocOutcome::TrackRejected;
            return result;
        }
    }
    log_.logLine(DriveMessages::tracksFound(count));
    return result;
}

}  // namespace rilvane
