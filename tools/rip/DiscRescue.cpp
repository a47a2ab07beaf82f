#include "DiscRescue.h"

#include <cstdio>

#include <filesystem>
#include <memory>
#include <sstream>
#include <vector>

#include "audio/Karaoke.h"
#include "drive/BlockReader.h"
#include "drive/BlockSink.h"
#include "drive/CdAudio.h"
#include "drive/DriveDiscovery.h"
#include "drive/DriveListEntry.h"
#include "drive/DriveMessages.h"
#include "drive/DriveTransport.h"
#include "drive/ReadLoop.h"
#include "drive/ReadObserver.h"
#include "drive/ReadingState.h"
#include "drive/TocExchange.h"
#include "platform/Console.h"
#include "platform/OutputFile.h"
#include "rip/RipMessages.h"
#include "rip/WavWriter.h"

namespace rilvane {
namespace riptool {

namespace {

namespace fs = std::filesystem;

// The read loop's progress on the console.
class RescueProgress : public ReadObserver {
public:
    explicit RescueProgress(RescueConsole& console) : console_(console) {}

    void showPosition(int32_t sector) override { console_.progress(sector, failed); }

    int64_t failed = 0;  // failed blocks of the track being read

private:
    RescueConsole& console_;
};

// Where the blocks of one track go: into its WAV file (or nowhere with
// --scan), with failed blocks left out or, with --fill-silence, written as
// silence of the same length.
class TrackSink : public BlockSink {
public:
    TrackSink(TrackReport& report, ReadingState& state, RescueProgress& progress, LogSink& log, WavWriter* writer,
              bool fillSilence, bool karaoke)
        : report_(report), state_(state), progress_(progress), log_(log), writer_(writer), fillSilence_(fillSilence),
          karaoke_(karaoke)
    {
    }

    bool tocDone(const TocResult&) override { return true; }
    // Ctrl+C ends the track like the stop request does, before the next read.
    bool keepReading(int32_t sector) override { return sector < report_.endSector && !platform::stopSignalled(); }

    void goodBlock(uint8_t* data, uint32_t bytes) override
    {
        ++report_.blocksRead;
        if (!writer_) return;
        if (karaoke_) applyKaraoke(data, bytes / cd::kFrameBytes);
        write(data, bytes);
    }

    void failedBlock(int32_t sector, int32_t sectors)
    {
        ++report_.blocksFailed;
        ++progress_.failed;
        report_.addFailure(sector, sectors);
        if (writer_ && fillSilence_) {
            static const uint8_t silence[cd::kReadBlockBytes] = {};
            write(silence, static_cast<uint32_t>(sectors) * cd::kSectorBytes);
        }
    }

private:
    void write(const uint8_t* data, uint32_t bytes)
    {
        if (report_.fileFailed) return;
        if (!writer_->appendBlock(data, bytes)) {
            log_.logLine(RipMessages::kWriteFailed);
            report_.fileFailed = true;
            state_.stopRequest = true;
        }
    }

    TrackReport& report_;
    ReadingState& state_;
    RescueProgress& progress_;
    LogSink& log_;
    WavWriter* writer_;
    bool fillSilence_;
    bool karaoke_;
};

// The transport's block reader, watched: a failed read is told to the sink,
// and the console learns which block each error line belongs to.
class WatchedReader : public BlockReader {
public:
    WatchedReader(BlockReader& inner, TrackSink& sink, RescueConsole& console)
        : inner_(inner), sink_(sink), console_(console)
    {
    }

protected:
    uint8_t* read(int32_t sector, int32_t sectors) override
    {
        console_.reading(sector);
        uint8_t* block = inner_.readBlock(sector, sectors);
        if (!block) sink_.failedBlock(sector, sectors);
        return block;
    }

private:
    BlockReader& inner_;
    TrackSink& sink_;
    RescueConsole& console_;
};

// Collects discovery's lines; they are shown only when they matter.
struct CollectingLog : LogSink {
    std::vector<std::string> lines;
    void logLine(const std::string& line) override { lines.push_back(line); }
};

std::string pathIn(const std::string& dir, const std::string& name)
{
    return (fs::path(dir) / name).string();
}

}  // namespace

DiscRescue::DiscRescue(const RipToolArguments& args, RescueConsole& console, std::ostream& out)
    : args_(args), console_(console), out_(out)
{
    report_.scan = args.scan;
    report_.fillSilence = args.fillSilence;
    report_.karaoke = args.karaoke;
}

int DiscRescue::run()
{
    if (!args_.reportPath.empty() && !args_.force) {
        std::error_code ec;
        if (fs::exists(fs::symlink_status(args_.reportPath, ec))) {
            console_.logLine("Die Datei " + args_.reportPath + " gibt es schon (überschreiben mit --force)");
            return ExitCode::kUsage;
        }
    }
    return finish(rescue());
}

int DiscRescue::rescue()
{
    DriveTable drives;
    TransportMode mode = TransportMode::Spti;
    CollectingLog discoveryLog;
    findAllCDDrives(drives, mode, discoveryLog);
    if (drives.count == 0) {
        for (const std::string& line : discoveryLog.lines) console_.logLine(line);
        report_.problem = DriveMessages::kNoDrives;
        console_.logLine(report_.problem);
        return ExitCode::kNoDisc;
    }
    if (args_.drive >= drives.count) {
        report_.problem = "Laufwerk " + std::to_string(args_.drive) + " gibt es nicht (" +
                          std::to_string(drives.count) + " gefunden)";
        console_.logLine(report_.problem);
        return ExitCode::kNoDisc;
    }
    const DriveRecord drive = drives.records[static_cast<size_t>(args_.drive)];
    report_.drive = driveListEntry(drive, mode);

    // One session for the whole disc: the transport is opened and the table
    // of contents read once, as a rip of the window does for one track.
    const std::unique_ptr<DriveTransport> transport =
        DriveTransport::create(mode, drive, DriveCaller::Ripping, console_);
    if (!transport->open()) {
        report_.problem = "Kein Zugriff auf das Laufwerk";
        return ExitCode::kNoDisc;
    }
    TrackTable table;
    table.presetStartup();
    TocExchange exchange(DriveCaller::Ripping, table, console_);
    const TocResult toc = transport->readToc(exchange);
    if (platform::stopSignalled()) {
        report_.interrupted = true;
        return ExitCode::kInterrupted;
    }
    if (toc.outcome != TocOutcome::Read || !toc.leadOut || table.count < 1) {
        report_.problem = "Kein Inhaltsverzeichnis";
        return ExitCode::kNoDisc;
    }

    std::vector<int> chosen(args_.tracks.begin(), args_.tracks.end());
    if (chosen.empty())
        for (int t = 1; t <= table.count && t < kTrackSlots; ++t) chosen.push_back(t);
    for (const int t : chosen) {
        const auto range = RipRange::forTrack(table, t);
        if (!range) {
            report_.problem = "Track " + std::to_string(t) + " gibt es nicht (die CD hat " +
                              std::to_string(table.count) + " Tracks)";
            console_.logLine(report_.problem);
            return ExitCode::kUsage;
        }
        // A data track holds no sound: reading it as audio would write its
        // bytes as noise, and its sectors are refused as CD-DA anyway.
        if (table.isData(t)) {
            char label[16];
            std::snprintf(label, sizeof label, "Track %02d", t);
            console_.logLine(std::string(label) + " ist ein Datentrack und wird übersprungen");
            continue;
        }
        TrackReport track;
        track.track = t;
        track.firstSector = range->firstSector;
        // Every track ends where the next begins, the last at the lead-out:
        // the files hold each sector of the disc once.
        track.endSector = t == table.count ? *toc.leadOut : range->endSector;
        if (!args_.scan) track.file = pathIn(args_.outDir, args_.name.fileName(t));
        report_.tracks.push_back(track);
    }

    if (report_.tracks.empty()) {
        report_.problem = "Keine Audio-Tracks zu lesen";
        console_.logLine(report_.problem);
        return ExitCode::kNoDisc;
    }

    if (!args_.scan) {
        std::error_code ec;
        fs::create_directories(args_.outDir, ec);
        if (!fs::is_directory(args_.outDir, ec)) {
            report_.problem = "Konnte den Ordner " + args_.outDir + " nicht anlegen";
            console_.logLine(report_.problem);
            report_.tracks.clear();
            return ExitCode::kUsage;
        }
        if (!args_.force) {
            for (const TrackReport& track : report_.tracks) {
                if (fs::exists(fs::symlink_status(track.file, ec))) {
                    report_.problem = "Die Datei " + track.file + " gibt es schon (überschreiben mit --force)";
                    console_.logLine(report_.problem);
                    report_.tracks.clear();
                    return ExitCode::kUsage;
                }
            }
        }
    }

    const std::unique_ptr<BlockReader> reader = transport->blockReader();
    if (!reader) {
        report_.problem = "Kein Lesezugriff auf das Laufwerk";
        report_.tracks.clear();
        return ExitCode::kNoDisc;
    }
    size_t done = 0;
    for (; done < report_.tracks.size() && !platform::stopSignalled(); ++done)
        ripTrack(*reader, report_.tracks[done]);
    // Tracks not begun are not part of the report.
    report_.tracks.resize(done);
    transport->close();

    if (platform::stopSignalled()) {
        report_.interrupted = true;
        return ExitCode::kInterrupted;
    }
    return report_.blocksFailed() > 0 || report_.anyFileFailed() ? ExitCode::kBlocksFailed : ExitCode::kAllRead;
}

void DiscRescue::ripTrack(BlockReader& reader, TrackReport& track)
{
    std::unique_ptr<WavWriter> writer;
    if (!args_.scan) {
        writer = std::make_unique<WavWriter>();
        if (!writer->create(track.file)) {
            console_.logLine(std::string(RipMessages::kCannotCreate) + " (" + track.file + ")");
            track.fileFailed = true;
            return;
        }
        if (!writer->writeProvisionalHeader()) {
            console_.logLine(RipMessages::kWriteFailed);
            track.fileFailed = true;
            writer->finish();
            return;
        }
    }

    ReadingState state;
    state.currentSector = track.firstSector;
    RescueProgress progress(console_);
    TrackSink sink(track, state, progress, console_, writer.get(), args_.fillSilence, args_.karaoke);
    WatchedReader watched(reader, sink, console_);
    console_.startTrack(track.track, track.firstSector, track.endSector);
    // The read loop shortens the block that would cross the track's end, so
    // the track stops exactly there; the error limit ends only this track.
    const ReadLoopStats stats = ReadLoop(watched, state, sink, &progress, track.endSector).run();
    track.errorLimitReached = stats.errorLimitReached;
    track.interrupted = platform::stopSignalled() && state.currentSector < track.endSector;

    if (writer && !track.fileFailed && !writer->flushBlocks()) {
        console_.logLine(RipMessages::kWriteFailed);
        track.fileFailed = true;
    }
    if (writer && !writer->finish()) {
        console_.logLine(RipMessages::kHeaderFailed);
        track.fileFailed = true;
    }
    std::string note;
    if (track.errorLimitReached) note = "  (Fehlerlimit erreicht, weiter mit dem nächsten Track)";
    else if (track.interrupted) note = "  (abgebrochen)";
    console_.finishTrack(note);
}

int DiscRescue::finish(int code)
{
    if (platform::stopSignalled() && code != ExitCode::kUsage) {
        report_.interrupted = true;
        code = ExitCode::kInterrupted;
    }
    if (code != ExitCode::kUsage || !report_.tracks.empty()) report_.printSummary(out_);
    if (!args_.reportPath.empty()) {
        std::ostringstream json;
        report_.writeJson(json);
        const std::string text = json.str();
        int error = 0;
        const std::unique_ptr<platform::OutputFile> file =
            platform::createOutputFile(platform::FilePath::fromUtf8(args_.reportPath), error);
        const bool ok = file && file->write(reinterpret_cast<const uint8_t*>(text.data()), text.size()) &&
                        file->flush() && file->close();
        if (!ok) {
            console_.logLine("Konnte den Bericht " + args_.reportPath + " nicht schreiben");
            if (code == ExitCode::kAllRead) code = ExitCode::kBlocksFailed;
        }
    }
    return code;
}

}  // namespace riptool
}  // namespace rilvane
