#include "Probe.h"

#include <iomanip>

#include "drive/DriveDiscovery.h"
#include "drive/DriveListEntry.h"
#include "drive/DriveMessages.h"
#include "drive/DriveTransport.h"
#include "drive/ReadLoop.h"
#include "drive/TocExchange.h"

namespace rilvane::probe {

namespace {

// Reads a fixed number of blocks and keeps nothing of them.
class CountingSink : public BlockSink {
public:
    explicit CountingSink(int64_t blocks) : blocks_(blocks) {}

    bool tocDone(const TocResult&) override { return true; }
    // Asked once before every block, good or failed.
    bool keepReading(int32_t) override { return asked_++ < blocks_; }
    void goodBlock(uint8_t*, uint32_t) override {}

private:
    int64_t blocks_;
    int64_t asked_ = 0;
};

}  // namespace

Probe::Probe(std::ostream& out) : out_(out), log_(out) {}

int Probe::run(const ProbeArguments& args)
{
    switch (args.action) {
    case ProbeArguments::Action::List:
        return list();
    case ProbeArguments::Action::Toc:
        return toc(args.drive);
    case ProbeArguments::Action::Read:
        return read(args.drive, args.sector, args.blocks);
    case ProbeArguments::Action::Help:
    case ProbeArguments::Action::Version:
        break;  // answered by main() without touching a drive
    }
    return 2;
}

int Probe::list()
{
    // Discovery's own lines come after the mode and the drives.
    struct Collected : LogSink {
        std::vector<std::string> lines;
        void logLine(const std::string& line) override { lines.push_back(line); }
    } collected;
    findAllCDDrives(table_, mode_, collected);

    out_ << (mode_ == TransportMode::Spti ? "SPTI" : "ASPI") << '\n';
    for (int i = 0; i < table_.count; ++i)
        out_ << driveListEntry(table_.records[static_cast<size_t>(i)], mode_) << '\n';
    for (const std::string& line : collected.lines)
        out_ << line << '\n';
    if (table_.count == 0)
        out_ << DriveMessages::kNoDrives << '\n';

    // Every optical node the platform looked at, so that a drive that is
    // there but cannot be used is told apart from no drive at all.
    const auto nodes = platform::opticalNodes();
    if (!nodes.empty())
        out_ << "Geprüfte Gerätedateien:\n";
    for (const platform::OpticalNode& node : nodes)
        out_ << "  " << (node.error == 0 ? node.path + ": nutzbar" : unusableDriveLine(node)) << '\n';
    return table_.count > 0 ? 0 : 1;
}

bool Probe::selectDrive(int drive)
{
    struct Quiet : LogSink {
        void logLine(const std::string&) override {}
    } quiet;
    findAllCDDrives(table_, mode_, quiet);
    if (drive < 0 || drive >= table_.count) {
        out_ << "Laufwerk " << drive << " gibt es nicht (" << table_.count << " gefunden)\n";
        return false;
    }
    drive_ = table_.records[static_cast<size_t>(drive)];
    return true;
}

int Probe::toc(int drive)
{
    if (!selectDrive(drive))
        return 1;

    TrackTable tracks;
    tracks.presetStartup();
    TocExchange exchange(DriveCaller::Playback, tracks, log_);
    const std::unique_ptr<DriveTransport> transport =
        DriveTransport::create(mode_, drive_, DriveCaller::Playback, log_);
    if (!transport->open())
        return 1;
    // The program goes on with its default table when the drive refuses;
    // printing that here would pass it off as the disc's.
    if (transport->readToc(exchange).outcome != TocOutcome::Read)
        return 1;

    for (int slot = 1; slot <= tracks.count + 1 && slot <= kTrackSlots; ++slot)
        out_ << std::setw(3) << slot << ' ' << tracks.slot(slot) << '\n';
    return 0;
}

int Probe::read(int drive, int32_t sector, int64_t blocks)
{
    if (!selectDrive(drive))
        return 1;

    ReadingState state;
    state.currentSector = sector;
    CountingSink sink(blocks);
    const std::unique_ptr<DriveTransport> transport =
        DriveTransport::create(mode_, drive_, DriveCaller::Playback, log_);
    if (!transport->open())
        return 1;
    const std::unique_ptr<BlockReader> reader = transport->blockReader();
    if (!reader)
        return 1;
    const ReadLoopStats stats = ReadLoop(*reader, state, sink).run();

    out_ << stats.goodBlocks << (stats.goodBlocks == 1 ? " guter Block, " : " gute Blöcke, ") << stats.failedBlocks
         << (stats.failedBlocks == 1 ? " fehlerhafter Block\n" : " fehlerhafte Blöcke\n");
    if (stats.errorLimitReached)
        out_ << "Abgebrochen: mehr als " << ReadLoop::kErrorLimit << " fehlerhafte Blöcke in Folge\n";
    return 0;
}

}  // namespace rilvane::probe
