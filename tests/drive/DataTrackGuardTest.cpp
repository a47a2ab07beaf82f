// The guard in front of a block reader: blocks touching a data track fail
// with their own line and never reach the drive.
#include <gtest/gtest.h>

#include <vector>

#include "RecordingLog.h"
#include "drive/DataTrackGuard.h"

namespace rilvane {
namespace {

class CountingReader : public BlockReader {
public:
    std::vector<int32_t> asked;
    uint8_t block[CommandCatalogue::kSectorsPerRead * CommandCatalogue::kSectorBytes] = {};

protected:
    uint8_t* read(int32_t sector, int32_t) override
    {
        asked.push_back(sector);
        return block;
    }
};

TEST(DataTrackGuard, BlocksTouchingADataTrackFailWithTheirOwnLine)
{
    CountingReader drive;
    test::RecordingLog log;
    // Audio up to 100, data from 100 to 200, audio again from 200.
    DataTrackGuard guard(drive, {{100, 200}}, log);
    EXPECT_NE(guard.readBlock(90), nullptr);    // 90..99: all audio
    EXPECT_EQ(guard.readBlock(95), nullptr);    // 95..104: runs into the data track
    EXPECT_EQ(guard.readBlock(190), nullptr);   // 190..199: the data track's end
    EXPECT_NE(guard.readBlock(200), nullptr);   // audio again
    EXPECT_NE(guard.readBlock(96, 4), nullptr); // 96..99: up to the data track only
    EXPECT_EQ(drive.asked, (std::vector<int32_t>{90, 200, 96}));
    EXPECT_EQ(log.lines, (std::vector<std::string>{
                             "Fehler: Block ab Sektor 95 liegt in einem Datentrack, nicht als Audio gelesen...",
                             "Fehler: Block ab Sektor 190 liegt in einem Datentrack, nicht als Audio gelesen..."}));
}

}  // namespace
}  // namespace rilvane
