#include "rescue/RescueSession.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <vector>

#include "rescue/DriveSpeed.h"
#include "rescue/CopyCheck.h"
#include "rescue/RescueEngine.h"
#include "rescue/HiddenTrack.h"
#include "rescue/RescueMap.h"
#include "rescue/RescueText.h"
#include "rescue/SubchannelScan.h"
#include "rescue/ToolFiles.h"
#include "rescue/TocForms.h"
#include "rescue/WorkingCopy.h"
#include "drive/BlockReader.h"
#include "drive/CdAudio.h"
#include "drive/DriveCapabilities.h"
#include "drive/DriveDiscovery.h"
#include "drive/DriveListEntry.h"
#include "drive/DriveMessages.h"
#include "drive/DriveTransport.h"
#include "drive/TocExchange.h"
#include "platform/OutputFile.h"
#include "platform/OwnFiles.h"
#include "proof/CueSheetWriter.h"
#include "proof/RipLog.h"

namespace rilvane {
namespace rescue {

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
// The rescued audio: the working copy, with silence for every sector the
// map has no reading of, whatever the copy holds there.
class RescuedAudio : public proof::SectorSource {
public:
    RescuedAudio(const WorkingCopy& copy, const RescueMap& map) : copy_(copy), map_(map) {}
    bool read(int32_t first, int32_t count, uint8_t* out) override
    {
        if (!copy_.read(first, out, count)) return false;
        for (int32_t i = 0; i < count; ++i)
            if (!map_.hasReading(first + i)) std::memset(out + size_t(i) * cd::kSectorBytes, 0, cd::kSectorBytes);
        return true;
    }

private:
    const WorkingCopy& copy_;
    const RescueMap& map_;
};

// The sectors the samples of the track [first, end) come from once the
// read offset has moved them by `offset` samples, within the tracks of the
// disc (what lies before the first track is never read: silence).
std::pair<int32_t, int32_t> shiftedSectors(int32_t first, int32_t end, int offset, const DiscLayout& layout)
{
    const int32_t lowest = layout.trackStarts.empty() ? 0 : layout.trackStarts.front();
    const int32_t sectors = layout.leadOut;
    constexpr int64_t kSamples = cd::kSectorBytes / 4;
    auto floorDiv = [](int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
    const int64_t from = floorDiv(int64_t{first} * kSamples + offset, kSamples);
    const int64_t to = -floorDiv(-(int64_t{end} * kSamples + offset), kSamples);
    return {static_cast<int32_t>(std::clamp<int64_t>(from, lowest, sectors)),
            static_cast<int32_t>(std::clamp<int64_t>(to, lowest, sectors))};
}

// Removes what a run that was killed while it wrote one of the rescue's
// files left: the file under its hidden name of its own while it was being
// written (".NAME.<hex>.part", beside the file).
void removeStaleParts(const std::string& outDir, const std::vector<TrackReport>& tracks)
{
    std::vector<fs::path> files;
    for (const char* name : {RescueFiles::kCueSheet, RescueFiles::kTrackCueSheet, RescueFiles::kLog})
        files.push_back(fs::path(outDir) / name);
    for (const TrackReport& t : tracks)
        if (!t.file.empty()) files.push_back(t.file);
    for (const fs::path& file : files) {
        const std::string prefix = "." + file.filename().string().substr(0, 160) + ".";
        const std::string suffix = ".part";
        std::error_code ec;
        const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
                continue;
            const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
            if (middle.find_first_not_of("0123456789abcdef") != std::string::npos) continue;
            std::error_code ignored;
            if (fs::is_regular_file(it->symlink_status(ignored))) fs::remove(it->path(), ignored);
        }
    }
}

std::string utcNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

std::string sectorRangeText(const SectorRange& r, int32_t trackStart)
{
    const int64_t n = int64_t{r.lastSector} - r.firstSector + 1;
    return rangeStartTime(r, trackStart) + "-" + rangeEndTime(r, trackStart) + " (" +
           counted(n, "Sektor", "Sektoren") + " ab " + std::to_string(r.firstSector) + ")";
}

// The form of C2 pointers the drive gives: 294 bytes a sector, else 296 (with
// the block error byte); 0 when it refuses both. A sector that fails to read
// for another reason says nothing: the next of a few is tried.
uint32_t c2FormOf(BlockReader& reader, const DiscLayout& layout)
{
    std::vector<int32_t> places;
    for (size_t t = 0; t < layout.trackStarts.size(); ++t)
        if (!layout.dataTrack[t]) {
            const int32_t end = t + 1 < layout.trackStarts.size() ? layout.trackStarts[t + 1] : layout.leadOut;
            for (int32_t s = layout.trackStarts[t]; s < end && places.size() < 8; s += std::max<int32_t>(1, (end - s) / 4))
                places.push_back(s);
        }
    for (const uint32_t form : {CommandCatalogue::kC2PointerBytes, CommandCatalogue::kC2WithBlockErrorBytes}) {
        reader.setC2Bytes(form);
        for (const int32_t s : places) {
            if (reader.readBlockWithC2(s, 1)) return form;
            if (reader.driveGone() || reader.mediumGone()) return 0;
            if (reader.lastSense().key == 0x05) break;  // this form refused
        }
    }
    reader.setC2Bytes(CommandCatalogue::kC2PointerBytes);
    return 0;
}

}  // namespace

RescueSession::RescueSession(RescueRequest request, RescueObserver& observer, const StopToken& stop)
    : request_(std::move(request)), log_(observer), stop_(stop)
{
    report_.scan = request_.scan;
    report_.karaoke = request_.karaoke;
    report_.verify = request_.verify;
    report_.retries = request_.retries;
    report_.passesAllowed = request_.passes;
    for (size_t i = 0; i < report_.passes.size(); ++i) report_.passes[i].name = passName(static_cast<PassId>(i));
}

RescueSession::~RescueSession() = default;

RescueOutcome RescueSession::run()
{
    if (!request_.reportPath.empty() && !request_.force) {
        std::error_code ec;
        if (fs::exists(fs::symlink_status(request_.reportPath, ec))) {
            // The file that is there stays as it is.
            reportAllowed_ = false;
            const RescueResult result = finish(refuse(
                RescueResult::BadRequest, "Die Datei " + request_.reportPath + " gibt es schon (überschreiben mit --force)"));
            return {result, report_};
        }
    }
    const RescueResult result = finish(rescue());
    return {result, report_};
}

RescueResult RescueSession::refuse(RescueResult code, const std::string& problem)
{
    report_.refused = true;
    report_.problem = problem;
    report_.tracks.clear();
    log_.logLine(problem);
    return code;
}

RescueResult RescueSession::rescue()
{
    DriveTable drives;
    TransportMode mode = TransportMode::Spti;
    CollectingLog discoveryLog;
    findAllCDDrives(drives, mode, discoveryLog);
    if (drives.count == 0) {
        for (const std::string& line : discoveryLog.lines) log_.logLine(line);
        return refuse(RescueResult::NoDisc, DriveMessages::kNoDrives);
    }
    if (request_.drive >= drives.count)
        return refuse(RescueResult::NoDisc, "Laufwerk " + std::to_string(request_.drive) + " gibt es nicht (" +
                                             std::to_string(drives.count) + " gefunden)");
    const DriveRecord drive = drives.records[static_cast<size_t>(request_.drive)];
    report_.drive = trimmedRight(driveListEntry(drive, mode));
    // Which drive it is, for the map: on the ASPI layer the list names a
    // drive by its model alone, so its address goes with it.
    const std::string driveIdentity =
        mode == TransportMode::Aspi ? "ASPI " + std::to_string(drive.adapterId) + ":" + std::to_string(drive.targetId) +
                                          ":" + std::to_string(drive.lun) + " " + report_.drive
                                    : report_.drive;
    mode_ = mode;

    // One session for the whole disc: the transport is opened and the table
    // of contents read once.
    const std::unique_ptr<DriveTransport> transport =
        DriveTransport::create(mode, drive, DriveCaller::Ripping, log_);
    if (!transport->open()) return refuse(RescueResult::NoDisc, "Kein Zugriff auf das Laufwerk");
    TrackTable table;
    table.presetStartup();
    TocExchange exchange(DriveCaller::Ripping, table, log_);
    const TocResult toc = transport->readToc(exchange);
    if (stop_.stopRequested()) {
        report_.interrupted = true;
        return RescueResult::Stopped;
    }
    if (toc.outcome != TocOutcome::Read || !toc.leadOut || table.count < 1)
        return refuse(RescueResult::NoDisc, "Kein Inhaltsverzeichnis");

    const DiscLayout layout = layoutFromTable(table, *toc.leadOut);
    for (size_t t = 0; t < layout.trackStarts.size(); ++t) {
        const int32_t end = layout.trackEnd(t);
        if (layout.trackStarts[t] < 0 || end < layout.trackStarts[t] || end > layout.leadOut)
            return refuse(RescueResult::NoDisc, "Das Inhaltsverzeichnis ist nicht lesbar (Track " + std::to_string(t + 1) +
                                                 " liegt außerhalb der CD)");
    }

    std::vector<int> chosen(request_.tracks.begin(), request_.tracks.end());
    if (chosen.empty())
        for (int t = 1; t <= table.count && t < kTrackSlots; ++t) chosen.push_back(t);
    for (const int t : chosen)
        if (t > table.count)
            return refuse(RescueResult::BadRequest, "Track " + std::to_string(t) + " gibt es nicht (die CD hat " +
                                                std::to_string(table.count) + " Tracks)");

    const std::unique_ptr<BlockReader> reader = transport->blockReader();
    if (!reader) return refuse(RescueResult::NoDisc, "Kein Lesezugriff auf das Laufwerk");
    reader->setReadTimeout(kReadTimeoutSeconds);
    // The capabilities page may claim C2 pointers; the drive shows in
    // which form it really gives them.
    const auto capabilities = DriveCapabilities::query(*reader);
    const bool c2 = capabilities && capabilities->c2Pointers && c2FormOf(*reader, layout) != 0;
    report_.c2 = c2;
    report_.c2Bytes = c2 ? static_cast<int>(reader->c2Bytes()) : 0;

    HandoverOptions handing;
    handing.format = request_.flac ? AudioFormat::Flac : AudioFormat::Wav;
    handing.offset = request_.offset;
    handing.karaoke = request_.karaoke;
    handing.program = request_.program;
    handover_ = std::make_unique<Handover>(discTocOf(toc, layout), handing);
    report_.ids = handover_->ids();
    // The sub-channel's facts before the copy: the sheets and files need them.
    handover_->setSubchannel(SubchannelScan(*reader, handover_->toc(), stop_).run());
    report_.readOffset = request_.offset;
    if (!request_.accurateRipFile.empty()) {
        std::string text;
        std::string error;
        if (!readToolFile(request_.accurateRipFile, FileLimits::kAccurateRip, text, error))
            return refuse(RescueResult::BadRequest, "Die AccurateRip-Datei " + request_.accurateRipFile + " " + error);
        const auto database =
            proof::AccurateRipDatabase::parse(std::vector<uint8_t>(text.begin(), text.end()), error);
        if (!database)
            return refuse(RescueResult::BadRequest, "Die AccurateRip-Datei " + request_.accurateRipFile + " ist nicht lesbar: " + error);
        if (!database->isFor(handover_->ids()))
            return refuse(RescueResult::BadRequest, "Die AccurateRip-Datei " + request_.accurateRipFile +
                                                " gehört nicht zu dieser CD (sie hat " + handover_->ids().accurateRipName() + ")");
        handover_->compareWith(*database);
    }

    for (const int t : chosen) {
        TrackReport track;
        track.track = t;
        track.firstSector = layout.trackStarts[static_cast<size_t>(t - 1)];
        track.endSector = layout.trackEnd(static_cast<size_t>(t - 1));
        track.dataTrack = layout.dataTrack[static_cast<size_t>(t - 1)];
        if (!request_.scan && !track.dataTrack) {
            const proof::TrackFacts* facts = handover_->facts().track(tocNumber(t));
            track.file = pathIn(request_.outDir, facts ? request_.name.fileName(t, facts->title, facts->performer)
                                                       : request_.name.fileName(t));
        }
        track.preEmphasis = handover_->toc().tracks[static_cast<size_t>(t - 1)].preEmphasis();
        report_.tracks.push_back(track);
    }

    // Said on the console and, once the log file is open, in the log too.
    const auto sayDataTracks = [&] {
        for (const TrackReport& t : report_.tracks)
            if (t.dataTrack) {
                char label[16];
                std::snprintf(label, sizeof label, "Track %02d", t.track);
                log_.logLine(std::string(label) + " ist ein Datentrack und wird übersprungen");
            }
    };
    bool anyAudio = false;
    for (const TrackReport& t : report_.tracks) anyAudio = anyAudio || !t.dataTrack;
    if (!anyAudio) {
        sayDataTracks();
        return refuse(RescueResult::NoDisc, "Keine Audio-Tracks zu lesen");
    }

    // Every file the run writes, checked against every other before
    // anything is read.
    const std::string binPath = pathIn(request_.outDir, RescueFiles::kWorkingCopy);
    const std::string cuePath = pathIn(request_.outDir, RescueFiles::kCueSheet);
    const std::string mapPath = pathIn(request_.outDir, RescueFiles::kMap);
    const std::string logPath = pathIn(request_.outDir, RescueFiles::kLog);
    const std::string trackCuePath = pathIn(request_.outDir, RescueFiles::kTrackCueSheet);
    const std::string lockPath = pathIn(request_.outDir, RescueFiles::kLock);
    std::vector<std::pair<std::string, fs::path>> outputs;
    if (!request_.scan) {
        for (const std::string& p :
             {binPath, cuePath, mapPath, logPath, mapPath + ".neu", trackCuePath, lockPath})
            outputs.emplace_back(p, comparable(p));
        for (const TrackReport& t : report_.tracks)
            if (!t.file.empty()) outputs.emplace_back(t.file, comparable(t.file));
    }
    if (!request_.reportPath.empty()) outputs.emplace_back(request_.reportPath, comparable(request_.reportPath));
    for (size_t i = 0; i < outputs.size(); ++i)
        for (size_t k = i + 1; k < outputs.size(); ++k) {
            std::error_code ec;
            if (outputs[i].second == outputs[k].second || fs::equivalent(outputs[i].first, outputs[k].first, ec)) {
                reportAllowed_ = false;
                return refuse(RescueResult::BadRequest, "Die Ausgaben " + outputs[i].first + " und " + outputs[k].first +
                                                    " wären dieselbe Datei");
            }
        }

    std::unique_ptr<RescueMap>& map = map_;
    std::unique_ptr<WorkingCopy> copy;
    if (request_.scan) {
        map = std::make_unique<RescueMap>(layout);
    } else {
        std::error_code ec;
        fs::create_directories(request_.outDir, ec);
        if (!fs::is_directory(request_.outDir)) {
            const std::string reason = ec ? ec.message() : std::strerror(ENOTDIR);
            return refuse(RescueResult::BadRequest, "Konnte den Ordner " + request_.outDir + " nicht anlegen: " + reason);
        }
        // One run at a time in a folder: two would write the same copy, map
        // and track files, each trusting what the other changed.
        platform::FolderLock::Outcome locking{};
        long holder = 0;
        int lockError = 0;
        folderLock_ = platform::FolderLock::take(platform::FilePath::fromUtf8(lockPath), locking, holder, lockError);
        if (!folderLock_) {
            if (locking == platform::FolderLock::Outcome::Busy)
                return refuse(RescueResult::BadRequest,
                              "Im Ordner " + request_.outDir + " arbeitet schon eine Rettung" +
                                  (holder > 0 ? " (Prozess " + std::to_string(holder) + ")" : std::string()) +
                                  "; ein zweiter Lauf im selben Ordner würde ihre Dateien vermischen. Warten, bis "
                                  "sie endet, oder einen anderen Ordner wählen");
            return refuse(RescueResult::BadRequest, "Konnte den Ordner " + request_.outDir + " nicht für diesen Lauf sperren (" +
                                                lockPath + "): " + std::strerror(lockError));
        }
        if (fs::exists(fs::symlink_status(mapPath, ec))) {
            std::string error;
            auto loaded = RescueMap::load(mapPath, error);
            if (!loaded)
                return refuse(RescueResult::BadRequest, "Die Karte " + mapPath + " " + error);
            if (!(loaded->layout() == layout))
                return refuse(RescueResult::NoDisc,
                              "Die CD im Laufwerk ist nicht die CD der Rettung in " + request_.outDir +
                                  " (Inhaltsverzeichnis " + layout.tocText() + ", die Rettung hat " +
                                  loaded->layout().tocText() + "); anderen Zielordner wählen");
            bool anyReading = false;
            for (int32_t s = 0; s < loaded->sectors() && !anyReading; ++s) anyReading = loaded->hasReading(s);
            // A copy may be missing only where the map says nothing was read
            // into it yet (a run stopped right after it made the map).
            if (const platform::FileKind kind = platform::kindAt(platform::FilePath::fromUtf8(binPath));
                kind != platform::FileKind::Regular && (kind != platform::FileKind::Missing || anyReading)) {
                platform::FileProblem problem;
                problem.kind = kind;
                return refuse(RescueResult::BadRequest, "Die Arbeitskopie " + binPath + " zur Karte " + mapPath + " " +
                                                    (kind == platform::FileKind::Missing ? std::string("fehlt")
                                                                                         : fileProblemText(problem, 0)));
            }
            map = std::make_unique<RescueMap>(std::move(*loaded));
            report_.resumed = true;
        } else {
            // Without a map the rescue's names hold files of someone else (or
            // of a rescue whose map is gone): taken over only when asked, and
            // then the rescue begins afresh.
            for (const std::string& p : {binPath, cuePath, logPath, trackCuePath})
                if (fs::exists(fs::symlink_status(p, ec)) && !request_.force)
                    return refuse(RescueResult::BadRequest,
                                  "Im Ordner " + request_.outDir + " liegt schon " + fs::path(p).filename().string() +
                                      ", aber keine Karte " + RescueFiles::kMap +
                                      ": das ist keine Rettung, die fortgesetzt werden kann, und nichts davon wird "
                                      "überschrieben (neu beginnen und überschreiben mit --force, oder einen anderen "
                                      "Ordner wählen)");
            for (const std::string& p : {binPath, logPath})
                if (fs::is_regular_file(fs::symlink_status(p, ec)) || fs::is_symlink(fs::symlink_status(p, ec)))
                    fs::remove(p, ec);
            map = std::make_unique<RescueMap>(layout);
            if (!request_.force)
                for (const TrackReport& track : report_.tracks)
                    if (!track.file.empty() && fs::exists(fs::symlink_status(track.file, ec)))
                        return refuse(RescueResult::BadRequest,
                                      "Die Datei " + track.file + " gibt es schon (überschreiben mit --force)");
        }
        // The table of contents says which tracks hold data, not the map.
        if (const int changed = map->takeDataTracks(layout.dataTrack); changed > 0)
            log_.logLine("Die Karte nannte " + std::to_string(changed) +
                         (changed == 1 ? " Track" : " Tracks") + " anders als das Inhaltsverzeichnis Daten- oder "
                         "Audio-Track; es gilt das Inhaltsverzeichnis");
        removeStaleParts(request_.outDir, report_.tracks);
        // Which drive read what the map calls read: readings of two drives
        // that differ are a finding, not a replacement.
        if (report_.resumed && !map->drive().empty()) {
            if (RescueMap::driveName(driveIdentity) != map->drive()) {
                report_.earlierDrive = map->drive();
                log_.logLine("Fortsetzung mit einem anderen Laufwerk; die früheren Lesungen stammen von " +
                             map->drive());
            }
        }
        map->setDrive(driveIdentity);
        std::string error;
        // The map is there before anything else of the rescue, so that a
        // run stopped at any point leaves a folder the next one continues.
        if (!map->save(mapPath, error))
            return refuse(RescueResult::BadRequest, "Konnte die Karte " + mapPath + " nicht schreiben: " + error);
        if (std::string problem; !log_.openFile(logPath, problem))
            return refuse(RescueResult::BadRequest, "Das Protokoll " + logPath + " " + problem);
        logPath_ = logPath;
        log_.fileLine("---- rilvane-rip: " + report_.drive + ", Inhaltsverzeichnis " + layout.tocText() +
                      (report_.resumed ? ", Fortsetzung" : "") +
                      (c2 ? ", mit C2 (" + std::to_string(report_.c2Bytes) + " Bytes je Sektor)" : ", ohne C2"));
        copy = std::make_unique<WorkingCopy>();
        if (!copy->open(binPath, layout.leadOut, error))
            return refuse(RescueResult::BadRequest, "Konnte die Arbeitskopie " + binPath + " nicht anlegen: " + error);
        if (report_.resumed) {
            const CopyCheck check = checkCopy(*copy, *map);
            if (check.readFailed)
                return refuse(RescueResult::BadRequest, "Konnte die Arbeitskopie " + binPath + " nicht lesen: " + copy->error());
            if (check.dropped() > 0) {
                std::string why;
                if (check.beyondEnd > 0)
                    why = std::to_string(check.beyondEnd) + " hinter ihrem Ende (sie ist kürzer, als sie sein muss)";
                if (check.changed > 0)
                    why += (why.empty() ? "" : ", ") + std::to_string(check.changed) + " verändert";
                if (check.unsummed > 0)
                    why += (why.empty() ? "" : ", ") + std::to_string(check.unsummed) + " ohne Prüfsumme in der Karte";
                log_.logLine("Die Arbeitskopie " + binPath + " hält nicht, was die Karte gelesen nennt: " +
                             std::to_string(check.dropped()) + " Sektoren (" + why + ") werden neu gelesen");
            }
        }
        const auto cue = proof::CueSheetWriter(handover_->toc(), handover_->ids(), handing.program, &handover_->facts())
                             .discImage(RescueFiles::kWorkingCopy);
        if (!cue || !WorkingCopy::writeCue(cuePath, *cue, error))
            return refuse(RescueResult::BadRequest, "Konnte " + cuePath + " nicht schreiben: " + error);
        if (!updateSums(*copy, *map) || !map->save(mapPath, error))
            return refuse(RescueResult::BadRequest, "Konnte die Karte " + mapPath + " nicht schreiben: " + error);
        report_.workingCopy = binPath;
        report_.mapFile = mapPath;
        mapPath_ = mapPath;
    }
    sayDataTracks();
    for (const std::string& line : handover_->subchannel().lines) log_.logLine(line);
    if (!request_.verify && !request_.scan)
        log_.logLine("Ohne Prüfen (--no-verify): was nicht bewährte C2-Fehlerzeiger bestätigen, bleibt unbestätigt");
    log_.setTrackStarts(layout.trackStarts);

    EngineOptions options;
    options.passes = request_.passes;
    options.retries = request_.retries;
    options.verify = request_.verify;
    options.verifyAll = request_.verifyAll;
    options.useC2 = c2;
    options.cacheSectors = static_cast<uint32_t>(request_.cacheSectors);
    options.learnCache = !request_.cacheSectorsGiven;
    options.retrySpeed = request_.retrySpeed;
    options.earlierFromOtherDrive = !report_.earlierDrive.empty();
    if (request_.maxSeconds) options.deadline = Clock::now() + std::chrono::seconds(*request_.maxSeconds);
    if (!request_.tracks.empty()) {
        options.wanted.assign(static_cast<size_t>(layout.leadOut), false);
        for (const TrackReport& t : report_.tracks) {
            const auto [from, to] = shiftedSectors(t.firstSector, t.endSector, request_.offset, layout);
            for (int32_t s = std::min(from, t.firstSector); s < std::max(to, t.endSector); ++s)
                options.wanted[static_cast<size_t>(s)] = true;
        }
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
            report_.mapSaved = false;
            return false;
        }
        std::string error;
        if (!updateSums(*copy, *map)) error = "Konnte die Arbeitskopie nicht lesen: " + copy->error();
        if (!error.empty() || !map->save(mapPath, error)) {
            saveError = "Konnte die Karte " + mapPath + " nicht schreiben: " + error;
            report_.mapSaved = false;
            return false;
        }
        report_.mapSaved = true;
        return true;
    };
    HiddenTrack hidden(handover_->toc(), report_);
    if (copy) hidden.read(*reader, *copy, request_.retries, stop_, log_);
    mapShown_.store(map.get(), std::memory_order_release);
    RescueEngine engine(*reader, *map, copy.get(), options, log_, stop_, checkpoint);
    EngineEnd end = engine.run();
    transport->close();
    // The last save is made here, whatever the engine made of its own: a
    // map that is not on the disk is never called saved.
    if (copy && !checkpoint(true) && end != EngineEnd::CopyFailed) end = EngineEnd::CopyFailed;
    fillReport(*map, engine);
    report_.contested = static_cast<int64_t>(engine.contested().size());
    if (report_.contested > 0)
        log_.logLine(std::to_string(report_.contested) + " Sektoren las dieses Laufwerk anders als das frühere (" +
                     report_.earlierDrive + "): beide Lesungen bleiben zweifelhaft, bis ein drittes Laufwerk entscheidet");

    RescueResult code = RescueResult::Complete;
    switch (end) {
    case EngineEnd::CopyFailed:
        report_.problem = saveError.empty() ? "Konnte die Arbeitskopie nicht schreiben" : saveError;
        log_.logLine(report_.problem);
        code = RescueResult::Incomplete;
        break;
    case EngineEnd::DriveGone:
        report_.driveGone = true;
        report_.problem = "Das Laufwerk ist nicht mehr erreichbar";
        code = RescueResult::Incomplete;
        break;
    case EngineEnd::NoMedium:
        report_.problem = "Keine CD im Laufwerk";
        code = RescueResult::Incomplete;
        break;
    case EngineEnd::Stopped: report_.interrupted = true; break;
    case EngineEnd::TimeUp: report_.timeUp = true; break;
    case EngineEnd::Done: break;
    }
    if (copy && !hidden.write(*handover_, *copy, request_, report_.resumed, log_)) code = RescueResult::Incomplete;
    if (!request_.scan && !writeTrackFiles(*map, copy.get())) code = RescueResult::Incomplete;
    if (!request_.scan && !writeTrackCue()) code = RescueResult::Incomplete;
    report_.subchannel = handover_->subchannel().json();
    const SectorCounts totals = report_.totals();
    if (totals.missing + totals.suspect + totals.unconfirmed > 0 || report_.anyFileFailed())
        code = RescueResult::Incomplete;
    if (report_.interrupted) code = RescueResult::Stopped;
    return code;
}

void RescueSession::fillReport(const RescueMap& map, const RescueEngine& engine)
{
    report_.c2Trusted = engine.c2Trusted();
    report_.cacheSectors = static_cast<int64_t>(engine.cache().sectors);
    report_.cacheMeasured = engine.cache().measured;
    report_.cacheFua = engine.cache().fua;
    report_.cacheText = engine.cache().how;
    report_.failedFlushes = engine.cache().failedFlushes;
    report_.retrySpeed = engine.retrySpeedGranted();
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
        // What is missing or unsure in the track's file: the sectors its
        // samples come from once the read offset has moved them (beyond
        // the disc, or in a data track, there is nothing to read).
        const auto [from, to] = shiftedSectors(t.firstSector, t.endSector, request_.offset, map.layout());
        for (int32_t s = from; s < to; ++s) {
            const SectorState st = map.state(s);
            if (st == SectorState::Data) continue;
            if (st == SectorState::Suspect) {
                ++c.suspect;
                addTo(t.suspect, s);
            } else if (!map.isGood(s)) {
                ++c.missing;
                addTo(t.missing, s);
            }
        }
        for (int32_t s = t.firstSector; s < t.endSector; ++s) {
            const SectorState st = map.state(s);
            if (!map.isGood(s)) continue;
            if (st == SectorState::Verified) ++c.verified;
            // Read once, and no trusted C2 pointers vouch for it (a scan
            // only says how the disc reads).
            else if (!request_.scan && !engine.c2Trusted()) {
                ++c.unconfirmed;
                addTo(t.unconfirmed, s);
            }
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

bool RescueSession::writeTrackFiles(const RescueMap& map, const WorkingCopy* copy)
{
    if (!copy || !handover_) return true;
    bool ok = true;
    RescuedAudio audio(*copy, map);
    for (TrackReport& track : report_.tracks) {
        if (track.file.empty()) continue;
        HandedTrack handed =
            handover_->exportTrack(audio, tocNumber(track.track), track.firstSector, track.endSector, track.file);
        if (!handed.problem.empty()) log_.logLine(handed.problem);
        if (handed.fileFailed || !handed.checksums) {
            track.fileFailed = true;
            ok = false;
        }
        track.checksums = handed.checksums;
        if (handed.accurateRip) track.accurateRip = Handover::describe(*handed.accurateRip);
        handed_.push_back(std::move(handed));
    }
    return ok;
}

int RescueSession::tocNumber(int place) const
{
    // The tool counts tracks by their place in the table of contents; the
    // proof names them by the number the disc gives them.
    const auto& tracks = handover_->toc().tracks;
    return place >= 1 && static_cast<size_t>(place) <= tracks.size() ? tracks[static_cast<size_t>(place - 1)].number
                                                                      : place;
}

bool RescueSession::writeTrackCue()
{
    if (!handover_) return true;
    // One file for every audio track of the disc, or no sheet: a sheet with
    // holes would not play or burn as the disc.
    std::vector<std::string> names;
    for (const proof::TocTrack& t : handover_->toc().audioTracks()) {
        const auto written = std::find_if(report_.tracks.begin(), report_.tracks.end(), [&](const TrackReport& r) {
            return tocNumber(r.track) == t.number && !r.file.empty() && !r.fileFailed;
        });
        if (written == report_.tracks.end()) return true;
        names.push_back(fs::path(written->file).filename().string());
    }
    std::string problem;
    if (handover_->writeTrackCue(pathIn(request_.outDir, RescueFiles::kTrackCueSheet), names, problem)) return true;
    log_.logLine(problem);
    return false;
}

proof::LogContents RescueSession::logContents() const
{
    proof::LogContents c;
    c.program = request_.program;
    c.date = utcNow();
    c.drive = report_.drive;
    c.transport = mode_ == TransportMode::Spti ? "Pass-Through (SPTI)" : "ASPI";
    c.readOffset = request_.offset;
    c.options = request_.options;
    c.format = request_.flac ? "FLAC" : "WAV";
    if (handover_) {
        c.toc = handover_->toc();
        c.ids = handover_->ids();
    }
    c.discFigures.emplace_back("C2-Fehlerzeiger",
                               !report_.c2 ? "nein"
                                           : std::to_string(report_.c2Bytes) + " Bytes je Sektor, " +
                                                 (report_.c2Trusted ? "bewährt" : "nicht vertraut"));
    if (!report_.cacheText.empty()) c.discFigures.emplace_back("Laufwerkspuffer", report_.cacheText);
    if (report_.retrySpeed > 0) c.discFigures.emplace_back("Wiederholen mit", speedText(report_.retrySpeed));
    for (const PassReport& p : report_.passes)
        if (p.ran)
            c.discFigures.emplace_back("Durchgang " + p.name, std::to_string(p.reads) + " Lesungen, " +
                                                                  std::to_string(p.failedReads) + " fehlgeschlagen, " +
                                                                  std::to_string(static_cast<int64_t>(p.seconds + 0.5)) + " s");
    int audioChosen = 0;
    for (const TrackReport& t : report_.tracks) {
        if (t.dataTrack) continue;
        ++audioChosen;
        proof::LogTrack lt;
        lt.number = tocNumber(t.track);
        lt.file = t.file;
        lt.fileFailed = t.fileFailed;
        lt.checksums = t.checksums;
        lt.accurateRip = t.accurateRip;
        const SectorCounts& n = t.counts;
        lt.figures = {{"Sektoren", std::to_string(t.endSector - t.firstSector) + " (" + std::to_string(t.firstSector) +
                                       "-" + std::to_string(t.endSector - 1) + ")"},
                      {"Gelesen", std::to_string(n.copied) + " beim Kopieren, " + std::to_string(n.narrowed) +
                                      " beim Eingrenzen, " + std::to_string(n.retried) + " bei Wiederholungen" +
                                      (n.earlier ? ", " + std::to_string(n.earlier) + " schon früher" : "")},
                      {"Bestätigt", std::to_string(n.verified)},
                      {"Lesungen", std::to_string(n.reads) + ", davon " + std::to_string(n.failedReads) + " fehlgeschlagen"}};
        lt.missingSectors = n.missing;
        for (const SectorRange& r : t.missing) lt.missingRanges.push_back(sectorRangeText(r, t.firstSector));
        lt.unconfirmedSectors = n.unconfirmed;
        lt.suspectSectors = n.suspect;
        for (const SectorRange& r : t.suspect) lt.suspectRanges.push_back(sectorRangeText(r, t.firstSector));
        c.tracks.push_back(std::move(lt));
    }
    c.allTracksChosen = handover_ && audioChosen == static_cast<int>(handover_->toc().audioTracks().size());
    c.interrupted = report_.interrupted || report_.timeUp || report_.driveGone;
    c.scanOnly = request_.scan;
    c.verificationSkipped = !request_.verify;
    return c;
}

bool RescueSession::sealLog()
{
    if (logPath_.empty()) return true;
    std::string text;
    std::string problem;
    if (!readToolFile(logPath_, FileLimits::kLog, text, problem, platform::Links::Refuse)) {
        log_.logLine("Das Protokoll " + logPath_ + " " + problem);
        return false;
    }
    if (!text.empty() && text.back() != '\n') text += '\n';
    // The seal covers the whole log, earlier runs on the same output
    // included. The log is replaced as a whole: a link at its name is
    // replaced, not followed.
    const std::string sealed = proof::RipLog::seal(text + "\n" + proof::RipLog::body(logContents()));
    if (!writeTextFile(logPath_, sealed, problem)) {
        log_.logLine(problem);
        return false;
    }
    // The map counts the sealed runs, so that a log cut after an earlier
    // run's seal can be told from a whole one. Only a map that is up to
    // date is saved again; one that is not would say less, never more.
    if (map_ && !mapPath_.empty() && report_.mapSaved) {
        map_->setRuns(proof::RipLog::inspect(sealed).sealedRuns);
        std::string error;
        if (!map_->save(mapPath_, error)) log_.logLine("Konnte die Karte " + mapPath_ + " nicht schreiben: " + error);
    }
    return true;
}

RescueResult RescueSession::finish(RescueResult code)
{
    if (stop_.stopRequested() && code != RescueResult::BadRequest && !report_.refused) {
        report_.interrupted = true;
        code = RescueResult::Stopped;
    }
    bool outputFailed = false;
    if (!report_.refused) {
        std::ostringstream summary;
        report_.printSummary(summary);
        if (handover_) handover_->printSummary(summary, handed_, logContents());
        if (!log_.observer().summary(summary.str())) {
            outputFailed = true;
            log_.logLine(std::string("Konnte die Zusammenfassung nicht ausgeben: ") + std::strerror(errno));
        }
        std::istringstream lines(summary.str());
        for (std::string line; std::getline(lines, line);) log_.fileLine(line);
    }
    if (!request_.reportPath.empty() && reportAllowed_) {
        std::ostringstream json;
        report_.writeJson(json);
        const std::string text = json.str();
        int error = 0;
        const std::unique_ptr<platform::OutputFile> file =
            platform::createOutputFile(platform::FilePath::fromUtf8(request_.reportPath), error);
        const bool ok = file && file->write(reinterpret_cast<const uint8_t*>(text.data()), text.size()) &&
                        file->flush() && file->close();
        if (!ok) {
            log_.logLine("Konnte den Bericht " + request_.reportPath + " nicht schreiben: " +
                             std::strerror(error != 0 ? error : errno));
            outputFailed = true;
        }
    }
    log_.closeFile();
    if (!report_.refused && !sealLog()) outputFailed = true;
    if (log_.fileFailed()) {
        log_.logLine("Konnte das Protokoll nicht vollständig schreiben");
        outputFailed = true;
    }
    if (outputFailed && code == RescueResult::Complete) code = RescueResult::Incomplete;
    return code;
}

}  // namespace rescue
}  // namespace rilvane
