// Keeps a read loop out of data tracks: a block that touches one fails with
// a log line of its own and is never read as audio. Drives are asked for
// CD-DA sectors and should refuse data sectors themselves, but some (and
// some kernels' residual counts) let 2048-byte data sectors through as if
// they were whole audio blocks.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "drive/BlockReader.h"
#include "drive/LogSink.h"

namespace rilvane {

class DataTrackGuard : public BlockReader {
public:
    // `dataRanges`: [first, end) sector ranges of the data tracks.
    DataTrackGuard(BlockReader& inner, std::vector<std::pair<int32_t, int32_t>> dataRanges, LogSink& log)
        : inner_(inner), ranges_(std::move(dataRanges)), log_(log)
    {
    }

    // "Fehler: Block ab Sektor <n> liegt in einem Datentrack, nicht als Audio gelesen..."
    static std::string dataBlockLine(int32_t sector);

protected:
    uint8_t* read(int32_t sector, int32_t sectors) override;

private:
    BlockReader& inner_;
    std::vector<std::pair<int32_t, int32_t>> ranges_;
    LogSink& log_;
};

}  // namespace rilvane
