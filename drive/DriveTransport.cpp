#include "drive/DriveTransport.h"

#include "drive/AspiBlockReader.h"
#include "drive/AspiSession.h"
#include "drive/DriveMessages.h"
#include "drive/SptiBlockReader.h"
#include "drive/SptiSession.h"

namespace rilvane {

namespace {

class SptiTransport : public DriveTransport {
public:
    SptiTransport(char letter, LogSink& log) : letter_(letter), log_(log) {}

    bool open() override
    {
        if (session_.open(letter_)) return true;
        log_.logLine(DriveMessages::kSptiNoAccess);
        return false;
    }
    TocResult readToc(TocExchange& exchange) override { return exchange.overSpti(session_); }
    std::unique_ptr<BlockReader> blockReader() override
    {
        return std::make_unique<SptiBlockReader>(session_, log_);
    }
    void close() override { session_.close(); }

private:
    char letter_;
    LogSink& log_;
    SptiSession session_;
};

// The loop's reader owns the completion event its commands are signalled by.
class AspiLoopReader : public AspiBlockReader {
public:
    AspiLoopReader(AspiSession& session, const DriveRecord& drive, LogSink& log)
        : AspiBlockReader(session, drive, log), session_(session)
    {
    }
    ~AspiLoopReader() override { session_.closeEvent(); }

private:
    AspiSession& session_;
};

class AspiTransport : public DriveTransport {
public:
    AspiTransport(const DriveRecord& drive, DriveCaller caller, LogSink& log)
        : drive_(drive), caller_(caller), log_(log)
    {
    }

    bool open() override { return session_.open(caller_, log_); }
    TocResult readToc(TocExchange& exchange) override { return exchange.overAspi(session_, drive_); }
    std::unique_ptr<BlockReader> blockReader() override
    {
        if (!session_.openEvent(log_)) return nullptr;
        return std::make_unique<AspiLoopReader>(session_, drive_, log_);
    }
    void close() override { session_.close(); }

private:
    DriveRecord drive_;
    DriveCaller caller_;
    LogSink& log_;
    AspiSession session_;
};

}  // namespace

std::unique_ptr<DriveTransport> DriveTransport::create(TransportMode mode, const DriveRecord& drive,
                                                       DriveCaller caller, LogSink& log)
{
    if (mode == TransportMode::Spti) return std::make_unique<SptiTransport>(drive.letter, log);
    return std::make_unique<AspiTransport>(drive, caller, log);
}

}  // namespace rilvane
