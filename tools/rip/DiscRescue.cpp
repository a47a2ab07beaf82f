#include "DiscRescue.h"

#include <cerrno>
#include <cstdio>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <vector>

#include "RescueEngine.h"
#include "RescueMap.h"
#include "WorkingCopy.h"
#include "drive/BlockReader.h"
#include "drive/CdAudio.h"
#include "drive/CommandCatalogue.h"
#include "drive/DriveDiscovery.h"
#include "drive/DriveListEntry.h"
#include "drive/DriveMessages.h"
#include "drive/DriveTransport.h"
#include "drive/TocExchange.h"
#include "platform/Console.h"
#include "platform/OutputFile.h"
#include "audio/Karaoke.h"
#include "rip/RipMessages.h"
#include "rip/WavWriter.h"

namespace rilvane {
namespace riptool {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The map is saved at least this often while reading.
constexpr auto kCheckpointInterval = std::chrono::seconds(1);

// Collects discovery's lines; they are shown only when they matter.
struct CollectingLog : LogSink {
    std::vector<std::string> lines;
    void logLine(const std::string& line) override { lines.push_back(line); }
};

std::string pathIn(const std::string& dir, const std::string& name)
{
    return (fs::path(dir) / name).string();
}

// A path as it will be opened: absolute, without "." and "..", links of
// existing folders followed.
fs::path comparable(const std::string& path)
{
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
    if (ec) p = fs::absolute(path, ec).lexically_normal();
    return p;
}

std::string trimmedRight(std::string text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
    return text;
}

// Which tracks are data tracks, from the control field of each descriptor
// of the table of contents (bit 2: data).
std::vector<bool> dataTracks(BlockReader& reader, size_t tracks)
{
    std::vector<bool> data(tracks, false);
    std::vector<uint8_t> toc;
    if (!reader.query(CommandCatalogue::readToc(), toc) || toc.size() < 4) return data;
    const size_t length = std::min<size_t>(toc.size(), size_t{2} + (size_t{toc[0]} << 8 | toc[1]));
    const int first = toc[2];
    for (size_t at = 4; at + 8 <= length; at += 8) {
        const int number = toc[at + 2];
        const size_t index = static_cast<size_t>(number - first);
        if (number != 0xAA && number >= first && index < tracks) data[index] = (toc[at + 1] & 0x04) != 0;
    }
    return data;
}

// Whether the capabilities page says the drive reports C2 error pointers.
bool reportsC2(BlockReader& reader)
{
    std::vector<uint8_t> page;
    if (!reader.query(CommandCatalogue::modeSenseCapabilities(), page) || page.size() < 8) return false;
    const size_t descriptors = size_t{page[6]} << 8 | page[7];
    const size_t at = 8 + descriptors;
    if (page.size() < at + 6 || (page[at] & 0x3F) != 0x2A) return false;
    return (page[at + 5] & 0x10) != 0;
}

}  // namespace

DiscRescue::DiscRescue(const RipToolArguments& args, RescueConsole& console, std::ostream& out)
    : args_(args), console_(console), out_(out)
{
    report_.scan = args.scan;
    report_.karaoke = args.karaoke;
    report_.verify = args.verify;
    report_.retries = args.retries;
    report_.passesAllowed = args.passes;
    const char* names[] = {"Kopieren", "Eingrenzen", "Wiederholen", "Prüfen"};
    for (size_t i = 0; i < report_.passes.size(); ++i) report_.passes[i].name = names[i];
}

int DiscRescue::run()
{
    if (!args_.reportPath.empty() && !args_.force) {
        std::error_code ec;
        if (fs::exists(fs::symlink_status(args_.reportPath, ec))) {
            // The file that is there stays as it is.
            reportAllowed_ = false;
            return finish(refuse(ExitCode::kUsage,
                                 "Die Datei " + args_.reportPath + " gibt es schon (überschreiben mit --force)"));
        }
    }
    return finish(rescue());
}

int DiscRescue::refuse(int code, const std::string& problem)
{
    report_.refused = true;
    report_.problem = problem;
    report_.tracks.clear();
    console_.logLine(problem);
    return code;
}

int DiscRescue::rescue()
{
    DriveTable drives;
    TransportMode mode = TransportMode::Spti;
    CollectingLog discoveryLog;
    findAllCDDrives(drives, mode, discoveryLog);
    if (drives.count == 0) {
        for (const std::string& line : discoveryLog.lines) console_.logLine(line);
        return refuse(ExitCode::kNoDisc, DriveMessages::kNoDrives);
    }
    if (args_.drive >= drives.count)
        return refuse(ExitCode::kNoDisc, "Laufwerk " + std::to_string(args_.drive) + " gibt es nicht (" +
                                             std::to_string(drives.count) + " gefunden)");
    const DriveRecord drive = drives.records[static_cast<size_t>(args_.drive)];
    report_.drive = trimmedRight(driveListEntry(drive, mode));

    // One session for the whole disc: the transport is opened and the table
    // of contents read once.
    const std::unique_ptr<DriveTransport> transport =
        DriveTransport::create(mode, drive, DriveCaller::Ripping, console_);
    if (!transport->open()) return refuse(ExitCode::kNoDisc, "Kein Zugriff auf das Laufwerk");
    TrackTable table;
    table.presetStartup();
    TocExchange exchange(DriveCaller::Ripping, table, console_);
    const TocResult toc = transport->readToc(exchange);
    if (platform::stopSignalled()) {
        report_.interrupted = true;
        return ExitCode::kInterrupted;
    }
    if (toc.outcome != TocOutcome::Read || !toc.leadOut || table.count < 1)
        return refuse(ExitCode::kNoDisc, "Kein Inhaltsverzeichnis");

    DiscLayout layout;
    for (int t = 1; t <= table.count && t < kTrackSlots; ++t) layout.trackStarts.push_back(table.slot(t));
    layout.leadOut = *toc.leadOut;
    for (size_t t = 0; t < layout.trackStarts.size(); ++t) {
        const int32_t end = t + 1 < layout.trackStarts.size() ? layout.trackStarts[t + 1] : layout.leadOut;
        if (layout.trackStarts[t] < 0 || end < layout.trackStarts[t] || end > layout.leadOut)
            return refuse(ExitCode::kNoDisc, "Das Inhaltsverzeichnis ist nicht lesbar (Track " + std::to_string(t + 1) +
                                                 " liegt außerhalb der CD)");
    }

    std::vector<int> chosen(args_.tracks.begin(), args_.tracks.end());
    if (chosen.empty())
        for (int t = 1; t <= table.count && t < kTrackSlots; ++t) chosen.push_back(t);
    for (const int t : chosen)
        if (t > table.count)
            return refuse(ExitCode::kUsage, "Track " + std::to_string(t) + " gibt es nicht (die CD hat " +
                                                std::to_string(table.count) + " Tracks)");

    const std::unique_ptr<BlockReader> reader = transport->blockReader();
    if (!reader) return refuse(ExitCode::kNoDisc, "Kein Lesezugriff auf das Laufwerk");
    reader->setReadTimeout(kReadTimeoutSeconds);
    layout.dataTrack = dataTracks(*reader, layout.trackStarts.size());
    const bool c2 = reportsC2(*reader);
    report_.c2 = c2;

    for (const int t : chosen) {
        TrackReport track;
        track.track = t;
        track.firstSector = layout.trackStarts[static_cast<size_t>(t - 1)];
        track.endSector = static_cast<size_t>(t) < layout.trackStarts.size() ? layout.trackStarts[static_cast<size_t>(t)]
                                                                              : layout.leadOut;
        track.dataTrack = layout.dataTrack[static_cast<size_t>(t - 1)];
        if (!args_.scan && !track.dataTrack) track.file = pathIn(args_.outDir, args_.name.fileName(t));
        report_.tracks.push_back(track);
    }

    bool anyAudio = false;
    for (const TrackReport& t : report_.tracks) anyAudio = anyAudio || !t.dataTrack;
    if (!anyAudio) return refuse(ExitCode::kNoDisc, "Keine Audio-Tracks zu lesen");

    // Every file the run writes, checked against every other before
    // anything is read.
    const std::string binPath = pathIn(args_.outDir, RescueFiles::kWorkingCopy);
    const std::string cuePath = pathIn(args_.outDir, RescueFiles::kCueSheet);
    const std::string mapPath = pathIn(args_.outDir, RescueFiles::kMap);
    const std::string logPath = pathIn(args_.outDir, RescueFiles::kLog);
    std::vector<std::pair<std::string, fs::path>> outputs;
    if (!args_.scan) {
        for (const std::string& p : {binPath, cuePath, mapPath, logPath, mapPath + ".neu", cuePath + ".neu"})
            outputs.emplace_back(p, comparable(p));
        for (const TrackReport& t : report_.tracks)
            if (!t.file.empty()) outputs.emplace_back(t.file, comparable(t.file));
    }
    if (!args_.reportPath.empty()) outputs.emplace_back(args_.reportPath, comparable(args_.reportPath));
    for (size_t i = 0; i < outputs.size(); ++i)
        for (size_t k = i + 1; k < outputs.size(); ++k) {
            std::error_code ec;
            if (outputs[i].second == outputs[k].second || fs::equivalent(outputs[i].first, outputs[k].first, ec)) {
                reportAllowed_ = false;
                return refuse(ExitCode::kUsage, "Die Ausgaben " + outputs[i].first + " und " + outputs[k].first +
                                                    " wären dieselbe Datei");
            }
        }

    std::unique_ptr<RescueMap> map;
    std::unique_ptr<WorkingCopy> copy;
    if (args_.scan) {
        map = std::make_unique<RescueMap>(layout);
    } else {
        std::error_code ec;
        fs::create_directories(args_.outDir, ec);
        if (!fs::is_directory(args_.outDir)) {
            const std::string reason = ec ? ec.message() : std::strerror(ENOTDIR);
            return refuse(ExitCode::kUsage, "Konnte den Ordner " + args_.outDir + " nicht anlegen: " + reason);
        }
        if (fs::exists(fs::symlink_status(mapPath, ec))) {
            std::string error;
            auto loaded = RescueMap::load(mapPath, error);
            if (!loaded)
                return refuse(ExitCode::kUsage, "Die Karte " + mapPath + " ist nicht lesbar: " + error);
            if (!(loaded->layout() == layout))
                return refuse(ExitCode::kNoDisc,
                              "Die CD im Laufwerk ist nicht die CD der Rettung in " + args_.outDir +
                                  " (Inhaltsverzeichnis " + layout.tocText() + ", die Rettung hat " +
                                  loaded->layout().tocText() + "); anderen Zielordner wählen");
            if (!fs::is_regular_file(binPath, ec))
                return refuse(ExitCode::kUsage, "Die Arbeitskopie " + binPath + " fehlt zur Karte " + mapPath);
            map = std::make_unique<RescueMap>(std::move(*loaded));
            report_.resumed = true;
        } else {
            map = std::make_unique<RescueMap>(layout);
            if (!args_.force)
                for (const TrackReport& track : report_.tracks)
                    if (!track.file.empty() && fs::exists(fs::symlink_status(track.file, ec)))
                        return refuse(ExitCode::kUsage,
                                      "Die Datei " + track.file + " gibt es schon (überschreiben mit --force)");
        }
        if (!console_.openLogFile(logPath))
            return refuse(ExitCode::kUsage, "Konnte das Protokoll " + logPath + " nicht anlegen: " + std::strerror(errno));
        copy = std::make_unique<WorkingCopy>();
        std::string error;
        if (!copy->open(binPath, layout.leadOut, error))
            return refuse(ExitCode::kUsage, "Konnte die Arbeitskopie " + binPath + " nicht anlegen: " + error);
        if (!WorkingCopy::writeCue(cuePath, RescueFiles::kWorkingCopy, layout, error))
            return refuse(ExitCode::kUsage, "Konnte " + cuePath + " nicht schreiben: " + error);
        if (!map->save(mapPath, error))
            return refuse(ExitCode::kUsage, "Konnte die Karte " + mapPath + " nicht schreiben: " + error);
        report_.workingCopy = binPath;
        report_.mapFile = mapPath;
    }

    console_.fileLine("---- rilvane-rip: " + report_.drive + ", Inhaltsverzeichnis " +
                      layout.tocText() + (report_.resumed ? ", Fortsetzung" : "") + (c2 ? ", mit C2" : ", ohne C2"));
    for (const TrackReport& t : report_.tracks)
        if (t.dataTrack) {
            char label[16];
            std::snprintf(label, sizeof label, "Track %02d", t.track);
            console_.logLine(std::string(label) + " ist ein Datentrack und wird übersprungen");
        }
    if (!c2 && !args_.verify)
        console_.logLine("Das Laufwerk meldet keine C2-Fehlerzeiger: falsch gelesene Sektoren erkennt nur --verify");
    console_.setTrackStarts(layout.trackStarts);

    EngineOptions options;
    options.passes = args_.passes;
    options.retries = args_.retries;
    options.verify = args_.verify;
    options.useC2 = c2;
    options.cacheSectors = static_cast<uint32_t>(args_.cacheSectors);
    if (args_.maxSeconds) options.deadline = Clock::now() + std::chrono::seconds(*args_.maxSeconds);
    if (!args_.tracks.empty()) {
        options.wanted.assign(static_cast<size_t>(layout.leadOut), false);
        for (const TrackReport& t : report_.tracks)
            for (int32_t s = t.firstSector; s < t.endSector; ++s) options.wanted[static_cast<size_t>(s)] = true;
    }

    Clock::time_point lastSaved = Clock::now();
    std::string saveError;
    auto checkpoint = [&](bool force) {
        if (!copy) return true;
        if (!force && Clock::now() - lastSaved < kCheckpointInterval) return true;
        lastSaved = Clock::now();
        // What the map calls read must be on the disk before the map says so.
        if (!copy->sync()) {
            saveError = "Konnte die Arbeitskopie nicht sichern: " + copy->error();
            return false;
        }
        std::string error;
        if (!map->save(mapPath, error)) {
            saveError = "Konnte die Karte " + mapPath + " nicht schreiben: " + error;
            return false;
        }
        return true;
    };
    RescueEngine engine(*reader, *map, copy.get(), options, console_, checkpoint);
    const EngineEnd end = engine.run();
    transport->close();
    fillReport(*map, engine);

    int code = ExitCode::kAllRead;
    switch (end) {
    case EngineEnd::CopyFailed:
        report_.problem = saveError.empty() ? "Konnte die Arbeitskopie nicht schreiben" : saveError;
        console_.logLine(report_.problem);
        code = ExitCode::kBlocksFailed;
        break;
    case EngineEnd::DriveGone:
        report_.driveGone = true;
        report_.problem = "Das Laufwerk ist nicht mehr erreichbar";
        code = ExitCode::kBlocksFailed;
        break;
    case EngineEnd::NoMedium:
        report_.problem = "Keine CD im Laufwerk";
        code = ExitCode::kBlocksFailed;
        break;
    case EngineEnd::Stopped: report_.interrupted = true; break;
    case EngineEnd::TimeUp: report_.timeUp = true; break;
    case EngineEnd::Done: break;
    }
    if (!args_.scan && !writeTrackFiles(*map, copy.get())) code = ExitCode::kBlocksFailed;
    const SectorCounts totals = report_.totals();
    if (totals.missing + totals.suspect > 0 || report_.anyFileFailed()) code = ExitCode::kBlocksFailed;
    if (report_.interrupted) code = ExitCode::kInterrupted;
    return code;
}

void DiscRescue::fillReport(const RescueMap& map, const RescueEngine& engine)
{
    for (size_t i = 0; i < report_.passes.size(); ++i) {
        const PassStats& p = engine.passes()[i];
        report_.passes[i].ran = p.ran;
        report_.passes[i].reads = p.reads;
        report_.passes[i].failedReads = p.failedReads;
        report_.passes[i].seconds = p.seconds;
    }
    for (TrackReport& t : report_.tracks) {
        SectorCounts& c = t.counts;
        c.reads = engine.readsIn(t.firstSector, t.endSector);
        c.failedReads = engine.failedReadsIn(t.firstSector, t.endSector);
        const auto seconds = engine.secondsIn(t.firstSector, t.endSector);
        for (size_t p = 0; p < seconds.size(); ++p) c.passSeconds[p] = seconds[p];
        if (t.dataTrack) continue;
        auto addTo = [](std::vector<SectorRange>& ranges, int32_t s) {
            if (!ranges.empty() && ranges.back().lastSector + 1 == s) ranges.back().lastSector = s;
            else ranges.push_back({s, s});
        };
        for (int32_t s = t.firstSector; s < t.endSector; ++s) {
            const SectorState st = map.state(s);
            if (st == SectorState::Suspect) {
                ++c.suspect;
                addTo(t.suspect, s);
                continue;
            }
            if (!map.isGood(s)) {
                ++c.missing;
                addTo(t.missing, s);
                continue;
            }
            if (st == SectorState::Verified) ++c.verified;
            switch (engine.origin(s)) {
            case Origin::Earlier:
            case Origin::Verify: ++c.earlier; break;
            case Origin::Copy: ++c.copied; break;
            case Origin::Narrow: ++c.narrowed; break;
            case Origin::Retry: ++c.retried; break;
            }
        }
    }
}

bool DiscRescue::writeTrackFiles(const RescueMap& map, const WorkingCopy* copy)
{
    bool ok = true;
    std::vector<uint8_t> block(cd::kReadBlockBytes);
    for (TrackReport& track : report_.tracks) {
        if (track.file.empty() || !copy) continue;
        WavWriter writer;
        auto failed = [&](const std::string& what) {
            const int error = writer.lastError() != 0 ? writer.lastError() : errno;
            console_.logLine(what + " (" + track.file + "): " + std::strerror(error));
            track.fileFailed = true;
            ok = false;
        };
        if (!writer.create(track.file)) {
            failed(RipMessages::kCannotCreate);
            continue;
        }
        if (!writer.writeProvisionalHeader()) {
            failed(RipMessages::kWriteFailed);
            writer.abandon();
            continue;
        }
        for (int32_t s = track.firstSector; s < track.endSector && !track.fileFailed;) {
            const int32_t count = std::min<int32_t>(cd::kSectorsPerRead, track.endSector - s);
            if (!copy->read(s, block.data(), count)) {
                console_.logLine("Konnte die Arbeitskopie nicht lesen: " + copy->error());
                track.fileFailed = true;
                ok = false;
                break;
            }
            // What was never read is silence, whatever the copy holds there.
            for (int32_t i = 0; i < count; ++i)
                if (!map.hasReading(s + i))
                    std::memset(block.data() + static_cast<size_t>(i) * cd::kSectorBytes, 0, cd::kSectorBytes);
            const uint32_t bytes = static_cast<uint32_t>(count) * cd::kSectorBytes;
            if (args_.karaoke) applyKaraoke(block.data(), bytes / cd::kFrameBytes);
            if (!writer.appendBlock(block.data(), bytes)) failed(RipMessages::kWriteFailed);
            s += count;
        }
        if (!track.fileFailed && !writer.flushBlocks()) failed(RipMessages::kWriteFailed);
        if (!writer.finish() && !track.fileFailed) failed(RipMessages::kHeaderFailed);
    }
    return ok;
}

int DiscRescue::finish(int code)
{
    if (platform::stopSignalled() && code != ExitCode::kUsage && !report_.refused) {
        report_.interrupted = true;
        code = ExitCode::kInterrupted;
    }
    bool outputFailed = false;
    if (!report_.refused) {
        std::ostringstream summary;
        report_.printSummary(summary);
        out_ << summary.str();
        out_.flush();
        if (!out_) {
            outputFailed = true;
            console_.logLine(std::string("Konnte die Zusammenfassung nicht ausgeben: ") + std::strerror(errno));
        }
        std::istringstream lines(summary.str());
        for (std::string line; std::getline(lines, line);) console_.fileLine(line);
    }
    if (!args_.reportPath.empty() && reportAllowed_) {
        std::ostringstream json;
        report_.writeJson(json);
        const std::string text = json.str();
        int error = 0;
        const std::unique_ptr<platform::OutputFile> file =
            platform::createOutputFile(platform::FilePath::fromUtf8(args_.reportPath), error);
        const bool ok = file && file->write(reinterpret_cast<const uint8_t*>(text.data()), text.size()) &&
                        file->flush() && file->close();
        if (!ok) {
            console_.logLine("Konnte den Bericht " + args_.reportPath + " nicht schreiben: " +
                             std::strerror(error != 0 ? error : errno));
            outputFailed = true;
        }
    }
    console_.closeLogFile();
    if (console_.logFileFailed()) {
        console_.logLine("Konnte das Protokoll nicht vollständig schreiben");
        outputFailed = true;
    }
    if (outputFailed && code == ExitCode::kAllRead) code = ExitCode::kBlocksFailed;
    return code;
}

}  // namespace riptool
}  // namespace rilvane
