// What rilvane-probe does: discovery, then the table of contents or a run of
// reads on one drive, with every log line printed as it comes.
#pragma once

#include <cstdint>
#include <ostream>

#include "ProbeArguments.h"
#include "drive/DriveTable.h"
#include "drive/LogSink.h"

namespace rilvane::probe {

class Probe {
public:
    explicit Probe(std::ostream& out);

    // Returns the exit code: 0 done; 1 no usable drive (listing), the drive
    // could not be used or its table of contents not read.
    int run(const ProbeArguments& args);

private:
    int list();
    int toc(int drive);
    int read(int drive, int32_t sector, int64_t blocks);
    bool selectDrive(int drive);

    class PrintingLog : public LogSink {
    public:
        explicit PrintingLog(std::ostream& out) : out_(out) {}
        void logLine(const std::string& line) override { out_ << line << '\n'; }

    private:
        std::ostream& out_;
    };

    std::ostream& out_;
    PrintingLog log_;
    DriveTable table_;
    TransportMode mode_ = TransportMode::Spti;
    DriveRecord drive_;
};

}  // namespace rilvane::probe
