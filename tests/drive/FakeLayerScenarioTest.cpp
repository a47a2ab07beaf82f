// ASPI layers the real one never is, played by the fake layer in
// FakeAspi.cpp: other support statuses, requests that complete at once or
// later, more CD devices than the table holds, missing entry points.
#include <gtest/gtest.h>

#include <cstdlib>

#include "RecordingLog.h"
#include "Scenario.h"
#include "drive/DriveDiscovery.h"
#include "drive/DriveMessages.h"
#include "platform/WnAspi32.h"

namespace rilvane {
namespace {

using Lines = std::vector<std::string>;
using test::RecordingLog;

class Env {
public:
    Env(const char* name, const char* value) : name_(name)
    {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~Env() { unsetenv(name_); }

private:
    const char* name_;
};

// Keeps the fake layer loaded between discoveries and reads its counters.
class FakeLayer {
public:
    FakeLayer()
    {
        library_ = LoadLibraryA("WNASPI32");
        counts_ = reinterpret_cast<CountsFn>(GetProcAddress(library_, "FakeAspiCounts"));
        reset_ = reinterpret_cast<ResetFn>(GetProcAddress(library_, "FakeAspiReset"));
        if (reset_)
            reset_();
    }
    ~FakeLayer()
    {
        if (library_)
            FreeLibrary(library_);
    }
    bool loaded() const { return counts_ != nullptr && reset_ != nullptr; }
    int typeQueries() { return read().typeQueries; }
    int executes() { return read().executes; }
    SRB_ExecSCSICmd lastRequest() { return read().last; }

private:
    using CountsFn = void (*)(int*, int*, SRB_ExecSCSICmd*);
    using ResetFn = void (*)();
    struct Counts {
        int typeQueries = 0;
        int executes = 0;
        SRB_ExecSCSICmd last{};
    };
    Counts read()
    {
        Counts c;
        counts_(&c.typeQueries, &c.executes, &c.last);
        return c;
    }
    HMODULE library_ = nullptr;
    CountsFn counts_ = nullptr;
    ResetFn reset_ = nullptr;
};

struct Discovery {
    DriveTable table;
    TransportMode mode = TransportMode::Spti;
    RecordingLog log;
    Discovery() { findAllCDDrives(table, mode, log); }
};

TEST(FakeLayer, MissingLayer)
{
    Env dir("RILVANE_LIBRARY_DIR", test::emptyFolder().c_str());
    Discovery d;
    EXPECT_EQ(d.mode, TransportMode::Aspi);
    EXPECT_EQ(d.table.count, 0);
    EXPECT_EQ(d.log.lines, (Lines{"Konnte ASPI Layer nicht laden..."}));
}

TEST(FakeLayer, LayerWithoutSendEntryPointIsNotInitialised)
{
    Env dir("RILVANE_LIBRARY_DIR", RILVANE_FAKE_ASPI_NOSEND_DIR);
    Discovery d;
    EXPECT_EQ(d.table.count, 0);
    EXPECT_EQ(d.log.lines, (Lines{"Konnte ASPI Layer nicht initialisieren..."}));
}

TEST(FakeLayer, SupportStatus)
{
    Env dir("RILVANE_LIBRARY_DIR", RILVANE_FAKE_ASPI_DIR);
    {
        Env support("RILVANE_FAKE_ASPI_SUPPORT", "0x8201");  // accepted like 0x01
        Discovery d;
        EXPECT_EQ(d.table.count, 16);
        EXPECT_TRUE(d.log.lines.empty());
    }
    for (const char* refused : {"0x0302", "0x0002", "0xE801"}) {
        Env support("RILVANE_FAKE_ASPI_SUPPORT", refused);
        Discovery d;
        EXPECT_EQ(d.table.count, 0) << refused;
        EXPECT_EQ(d.log.lines, (Lines{"Konnte ASPI Layer nicht initialisieren..."})) << refused;
    }
    {
        Env support("RILVANE_FAKE_ASPI_SUPPORT", "0x0100");  // no adapters: nothing, silently
        Discovery d;
        EXPECT_EQ(d.table.count, 0);
        EXPECT_TRUE(d.log.lines.empty());
    }
}

// Requests that complete at once (send returns 1) are never waited for: the
// fake never signals their event, so a wait would not return.
TEST(FakeLayer, MoreDevicesThanTheTableHolds)
{
    Env dir("RILVANE_LIBRARY_DIR", RILVANE_FAKE_ASPI_DIR);
    Env support("RILVANE_FAKE_ASPI_SUPPORT", "0x0103");  // 3 adapters x 16 CD targets
    FakeLayer fake;
    ASSERT_TRUE(fake.loaded());
    Discovery d;

    ASSERT_EQ(d.table.count, kDriveTableSize);
    for (int i = 0; i < kDriveTableSize; ++i) {
        const DriveRecord& r = d.table.records[static_cast<size_t>(i)];
        EXPECT_EQ(r.adapterId, i / 16);
        EXPECT_EQ(r.targetId, i % 16);
        EXPECT_EQ(r.lun, 0);
    }
    EXPECT_EQ(d.table.records[0].name.str(), "FAKE A0 T0      ");
    EXPECT_EQ(d.table.records[31].name.str(), "FAKE A1 T15     ");
    EXPECT_EQ(d.log.lines, (Lines{DriveMessages::kDriveTableFull}));
    // The 33rd device was found but not asked for its name.
    EXPECT_EQ(fake.typeQueries(), 33);
    EXPECT_EQ(fake.executes(), 32);

    const SRB_ExecSCSICmd last = fake.lastRequest();
    EXPECT_EQ(last.SRB_Cmd, SC_EXEC_SCSI_CMD);
    EXPECT_EQ(last.SRB_Flags, 0x48);
    EXPECT_EQ(last.SRB_HaId, 1);
    EXPECT_EQ(last.SRB_Target, 15);
    EXPECT_EQ(last.SRB_BufLen, 255u);
    EXPECT_EQ(last.SRB_SenseLen, 24);
    EXPECT_EQ(last.SRB_CDBLen, 6);
    EXPECT_EQ(last.CDBByte[0], 0x12);
    EXPECT_EQ(last.CDBByte[4], 0xFF);
    EXPECT_EQ(last.SRB_BufPointer % 0x10000u, 0u);
    EXPECT_NE(last.SRB_PostProc, 0u);
}

TEST(FakeLayer, PendingRequestsAreWaitedFor)
{
    Env dir("RILVANE_LIBRARY_DIR", RILVANE_FAKE_ASPI_DIR);
    Env support("RILVANE_FAKE_ASPI_SUPPORT", "0x0101");
    Env pending("RILVANE_FAKE_ASPI_PENDING", "1");
    Discovery d;
    ASSERT_EQ(d.table.count, 16);
    EXPECT_EQ(d.table.records[7].name.str(), "FAKE A0 T7      ");
    EXPECT_TRUE(d.log.lines.empty());
}

TEST(FakeLayer, FailedInquiryKeepsTheDefaultName)
{
    Env dir("RILVANE_LIBRARY_DIR", RILVANE_FAKE_ASPI_DIR);
    Env support("RILVANE_FAKE_ASPI_SUPPORT", "0x0101");
    Env inquiry("RILVANE_FAKE_ASPI_INQUIRY_STATUS", "4");
    Discovery d;
    ASSERT_EQ(d.table.count, 16);
    EXPECT_EQ(d.table.records[0].name.str(), "CD-DRIVE");
    EXPECT_EQ(d.table.records[15].name.str(), "CD-DRIVE");
    EXPECT_EQ(d.log.lines, Lines(16, "Fehler 4 beim Ausführen des SCSI Kommandos..."));
}

}  // namespace
}  // namespace rilvane
