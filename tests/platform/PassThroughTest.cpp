// IOCTL_SCSI_PASS_THROUGH: the request checks, the translation into SG_IO
// (through a fake kernel) and commands run in a virtual drive.

#include "DeviceMap.h"
#include "FakeScsiGeneric.h"
#include "PassThroughRecord.h"
#include "ScopedEnv.h"
#include "TestDisc.h"
#include "platform/Win32.h"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>

namespace {

using namespace rilvane::platform;
using namespace rilvane::platform::test;

const std::initializer_list<UCHAR> inquiry = {0x12, 0, 0, 0, 0xFF, 0};

class PassThroughTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string devDir = dir.path().string() + "/dev";
        std::filesystem::create_directory(devDir);
        std::ofstream(devDir + "/sr0").close();
        disc = writeTestDisc(dir.path().string(), "disc", 300, 150,
                             "name Scratchy Disc\n100-119 03/11/05\n200 gone\n");
        DeviceOptions options;
        options.deviceDirectory = devDir;
        options.virtualDrives = "E=" + disc.cuePath + "," + disc.defectsPath;
        reloadDevices(options);
        device = CreateFileA("\\\\.\\D:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(device, INVALID_HANDLE_VALUE);
        virtualDrive = CreateFileA("\\\\.\\E:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(virtualDrive, INVALID_HANDLE_VALUE);
    }

    void TearDown() override
    {
        CloseHandle(device);
        CloseHandle(virtualDrive);
        DeviceOptions empty;
        empty.realDrives = false;
        reloadDevices(empty);
    }

    TempDir dir;
    TestDisc disc;
    ScopedFakeScsiGeneric sg;
    HANDLE device = INVALID_HANDLE_VALUE;
    HANDLE virtualDrive = INVALID_HANDLE_VALUE;
};

TEST_F(PassThroughTest, DataInCommandBecomesSgIoAndTheAnswerComesBack)
{
    auto record = PassThroughRecord::make(inquiry, 255);
    std::memset(record.filler, 0xEE, sizeof record.filler);
    sg.fake->answer = [](sg_io_hdr_t& header) {
        auto* data = static_cast<uint8_t*>(header.dxferp);
        for (int i = 0; i < 96; ++i) data[i] = static_cast<uint8_t>(i + 1);
        header.resid = 255 - 96;
        header.status = 0;
        return 0;
    };
    DWORD returned = 0;
    ASSERT_TRUE(record.send(device, &returned));

    const auto seen = sg.fake->seen();
    ASSERT_EQ(seen.size(), 1u);
    const sg_io_hdr_t& header = seen[0].header;
    EXPECT_EQ(header.interface_id, 'S');
    EXPECT_EQ(header.dxfer_direction, SG_DXFER_FROM_DEV);
    EXPECT_EQ(seen[0].cdb, (std::vector<uint8_t>{0x12, 0, 0, 0, 0xFF, 0}));
    EXPECT_EQ(header.dxferp, record.data);
    EXPECT_EQ(header.dxfer_len, 255u);
    EXPECT_EQ(header.timeout, 2000u);
    EXPECT_GE(header.mx_sb_len, 24);
    EXPECT_EQ(seen[0].path, dir.path().string() + "/dev/sr0");

    EXPECT_EQ(record.spt.ScsiStatus, 0);
    EXPECT_EQ(record.spt.DataTransferLength, 96u);
    EXPECT_EQ(record.spt.SenseInfoLength, 0);
    EXPECT_EQ(record.data[0], 1);
    EXPECT_EQ(record.data[95], 96);
    EXPECT_EQ(returned, 80u + 96u);
    // Everything else of the request is as the caller left it.
    EXPECT_EQ(record.spt.Length, 44);
    EXPECT_EQ(record.spt.TimeOutValue, 2u);
    EXPECT_EQ(record.spt.DataBufferOffset, 80u);
    EXPECT_EQ(record.spt.SenseInfoOffset, 48u);
    EXPECT_EQ(record.spt.Cdb[4], 0xFF);
    EXPECT_EQ(record.filler[0], 0xEE);
}

TEST_F(PassThroughTest, CheckConditionIsASuccessfulCallWithClippedSense)
{
    auto record = PassThroughRecord::make({0xBE, 0, 0, 0, 1, 0xF4, 0, 0, 0x0A, 0x10, 0, 0}, 23520, 200);
    std::memset(record.sense, 0xCC, sizeof record.sense);
    sg.fake->answer = [](sg_io_hdr_t& header) {
        for (int i = 0; i < 30; ++i) header.sbp[i] = static_cast<uint8_t>(0x70 + i);
        header.sb_len_wr = 30;
        header.status = 2;
        header.masked_status = 1;
        header.driver_status = 0x08 | 0x10;  // sense available, with a "retry" suggestion
        header.resid = 23520;
        return 0;
    };
    ASSERT_TRUE(record.send(device));
    EXPECT_EQ(sg.fake->seen()[0].header.timeout, 200000u);
    EXPECT_EQ(sg.fake->seen()[0].header.cmd_len, 12);
    EXPECT_EQ(record.spt.ScsiStatus, 2);
    EXPECT_EQ(record.spt.SenseInfoLength, 24);
    EXPECT_EQ(record.spt.DataTransferLength, 0u);
    for (int i = 0; i < 24; ++i) EXPECT_EQ(record.sense[i], 0x70 + i) << i;
    for (int i = 24; i < 32; ++i) EXPECT_EQ(record.sense[i], 0xCC) << i;  // beyond the sense length: untouched
}

TEST_F(PassThroughTest, ResidOutsideTheTransferIsClamped)
{
    for (int resid : {-5, 0, 300}) {
        auto record = PassThroughRecord::make(inquiry, 255);
        sg.fake->answer = [resid](sg_io_hdr_t& header) {
            header.resid = resid;
            return 0;
        };
        ASSERT_TRUE(record.send(device));
        EXPECT_EQ(record.spt.DataTransferLength, resid > 255 ? 0u : 255u) << resid;
    }
}

TEST_F(PassThroughTest, DirectionsAndTimeOutsTranslate)
{
    struct Case {
        UCHAR dataIn;
        ULONG length;
        ULONG timeout;
        int direction;
        unsigned sgTimeout;
    };
    for (const Case& c : {Case{SCSI_IOCTL_DATA_OUT, 8, 1, SG_DXFER_TO_DEV, 1000},
                          Case{SCSI_IOCTL_DATA_UNSPECIFIED, 0, 0, SG_DXFER_NONE, 0},
                          Case{SCSI_IOCTL_DATA_IN, 0, 5, SG_DXFER_NONE, 5000},
                          Case{SCSI_IOCTL_DATA_IN, 16, 4294967u, SG_DXFER_FROM_DEV, 4294967000u},
                          Case{SCSI_IOCTL_DATA_IN, 16, 4294968u, SG_DXFER_FROM_DEV, UINT_MAX},
                          Case{SCSI_IOCTL_DATA_IN, 16, 0xFFFFFFFFu, SG_DXFER_FROM_DEV, UINT_MAX}}) {
        auto record = PassThroughRecord::make({0x00, 0, 0, 0, 0, 0}, c.length, c.timeout);
        record.spt.DataIn = c.dataIn;
        const std::size_t before = sg.fake->seen().size();
        ASSERT_TRUE(record.send(device)) << int(c.dataIn);
        const sg_io_hdr_t header = sg.fake->seen().at(before).header;
        EXPECT_EQ(header.dxfer_direction, c.direction) << int(c.dataIn);
        EXPECT_EQ(header.timeout, c.sgTimeout) << c.timeout;
        EXPECT_EQ(header.dxferp, c.length ? static_cast<void*>(record.data) : nullptr);
    }

    // Data to the drive is taken from the input buffer.
    PassThroughRecord in = PassThroughRecord::make({0x55, 0, 0, 0, 0, 0, 0, 0, 8, 0}, 8);
    in.spt.DataIn = SCSI_IOCTL_DATA_OUT;
    PassThroughRecord out = in;
    ASSERT_TRUE(DeviceIoControl(device, IOCTL_SCSI_PASS_THROUGH, &in, 88, &out, 88, nullptr, nullptr));
    EXPECT_EQ(sg.fake->seen().back().header.dxferp, in.data);
}

TEST_F(PassThroughTest, CommandsThatNeverReachedTheDriveFail)
{
    struct Case {
        int ioctlError;
        unsigned short host;
        unsigned short driver;
        DWORD error;
    };
    for (const Case& c : {Case{ENODEV, 0, 0, ERROR_DEVICE_NOT_CONNECTED}, Case{ENXIO, 0, 0, ERROR_DEVICE_NOT_CONNECTED},
                          Case{EACCES, 0, 0, ERROR_ACCESS_DENIED}, Case{EPERM, 0, 0, ERROR_ACCESS_DENIED},
                          Case{ENOMEM, 0, 0, ERROR_NOT_ENOUGH_MEMORY}, Case{EIO, 0, 0, ERROR_IO_DEVICE},
                          Case{0, 0x01, 0, ERROR_DEVICE_NOT_CONNECTED}, Case{0, 0x04, 0, ERROR_DEVICE_NOT_CONNECTED},
                          Case{0, 0x03, 0, ERROR_SEM_TIMEOUT}, Case{0, 0x08, 0, ERROR_IO_DEVICE},
                          Case{0, 0x07, 0x08, ERROR_IO_DEVICE}, Case{0, 0, 0x06, ERROR_SEM_TIMEOUT},
                          Case{0, 0, 0x04, ERROR_IO_DEVICE}, Case{0, 0, 0x27, ERROR_IO_DEVICE}}) {
        auto record = PassThroughRecord::make(inquiry, 255);
        record.spt.ScsiStatus = 0x77;  // must stay as it was
        record.sense[0] = 0x55;
        sg.fake->answer = [c](sg_io_hdr_t& header) {
            header.host_status = c.host;
            header.driver_status = c.driver;
            header.status = 2;
            header.sb_len_wr = 18;
            header.sbp[0] = 0x70;
            return c.ioctlError;
        };
        DWORD returned = 1234;
        EXPECT_FALSE(record.send(device, &returned)) << c.ioctlError << " " << c.host << " " << c.driver;
        EXPECT_EQ(GetLastError(), c.error) << c.ioctlError << " " << c.host << " " << c.driver;
        EXPECT_EQ(returned, 0u);
        EXPECT_EQ(record.spt.ScsiStatus, 0x77);
        EXPECT_EQ(record.spt.DataTransferLength, 255u);
        EXPECT_EQ(record.sense[0], 0x55);
    }
}

TEST_F(PassThroughTest, MalformedRequestsAreRefusedBeforeAnythingIsSent)
{
    const auto refuse = [&](PassThroughRecord record, DWORD inLength, DWORD outLength, const char* what) {
        EXPECT_FALSE(DeviceIoControl(device, IOCTL_SCSI_PASS_THROUGH, &record, inLength, &record, outLength, nullptr,
                                     nullptr))
            << what;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << what;
        EXPECT_FALSE(DeviceIoControl(virtualDrive, IOCTL_SCSI_PASS_THROUGH, &record, inLength, &record, outLength,
                                     nullptr, nullptr))
            << what;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << what;
    };
    const auto good = PassThroughRecord::make(inquiry, 255);
    refuse(good, 43, 335, "input shorter than the request");
    refuse(good, 335, 43, "output shorter than the request");
    refuse(good, 335, 334, "data area past the output");
    auto r = good;
    r.spt.Length = 48;
    refuse(r, 335, 335, "wrong request length");
    r = good;
    r.spt.CdbLength = 0;
    refuse(r, 335, 335, "no CDB");
    r.spt.CdbLength = 17;
    refuse(r, 335, 335, "CDB too long");
    r = good;
    r.spt.DataIn = 3;
    refuse(r, 335, 335, "unknown direction");
    r.spt.DataIn = SCSI_IOCTL_DATA_UNSPECIFIED;
    refuse(r, 335, 335, "data without a direction");
    r = good;
    r.spt.DataBufferOffset = 0xFFFFFFF0u;
    r.spt.DataTransferLength = 0x20;
    refuse(r, 335, 335, "offset plus length wraps");
    r = good;
    r.spt.DataBufferOffset = 40;
    refuse(r, 335, 335, "data over the request");
    r = good;
    r.spt.SenseInfoOffset = 320;
    refuse(r, 335, 335, "sense past the output");
    r.spt.SenseInfoOffset = 0;
    refuse(r, 335, 335, "sense over the request");
    r = good;
    r.spt.DataIn = SCSI_IOCTL_DATA_OUT;
    refuse(r, 334, 335, "data-out past the input");

    EXPECT_FALSE(DeviceIoControl(device, IOCTL_SCSI_PASS_THROUGH, nullptr, 335, nullptr, 335, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(sg.fake->seen().empty());
    r = good;
    EXPECT_TRUE(DeviceIoControl(device, IOCTL_SCSI_PASS_THROUGH, &r, 335, &r, 335, nullptr, nullptr));
}

TEST_F(PassThroughTest, OnlyPassThroughOnDeviceHandles)
{
    auto record = PassThroughRecord::make(inquiry, 255);
    EXPECT_FALSE(DeviceIoControl(device, 0x2D1400 /* another control code */, &record, 335, &record, 335, nullptr,
                                 nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(record.send(event));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    CloseHandle(event);
    EXPECT_FALSE(record.send(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(sg.fake->seen().empty());
}

TEST_F(PassThroughTest, VirtualDriveAnswersInquiryTocAndReads)
{
    auto record = PassThroughRecord::make(inquiry, 255);
    DWORD returned = 0;
    ASSERT_TRUE(record.send(virtualDrive, &returned));
    EXPECT_EQ(record.spt.ScsiStatus, 0);
    EXPECT_EQ(record.data[0] & 0x1F, 5);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(record.data + 16), 16), "Scratchy Disc   ");
    EXPECT_GT(record.spt.DataTransferLength, 31u);
    EXPECT_LT(record.spt.DataTransferLength, 255u);
    EXPECT_EQ(returned, 80 + record.spt.DataTransferLength);

    record = PassThroughRecord::make({0x43, 0, 0, 0, 0, 0, 0, 0x08, 0, 0}, 2048);
    ASSERT_TRUE(record.send(virtualDrive));
    EXPECT_EQ(record.spt.ScsiStatus, 0);
    EXPECT_EQ(record.data[2], 1);  // first track
    EXPECT_EQ(record.data[3], 2);  // last track
    EXPECT_EQ(record.spt.DataTransferLength, 4u + 3u * 8u);

    // The read loop's way: the record is prepared once and only the address
    // is rewritten before each read.
    record = PassThroughRecord::make({0xBE, 0, 0, 0, 0, 0, 0, 0, 0x0A, 0x10, 0, 0}, 23520, 200);
    for (int sector : {0, 140, 90}) {
        record.spt.Cdb[4] = static_cast<UCHAR>(sector >> 8);
        record.spt.Cdb[5] = static_cast<UCHAR>(sector);
        ASSERT_TRUE(record.send(virtualDrive)) << sector;
        EXPECT_EQ(record.spt.ScsiStatus, 0) << sector;
        EXPECT_EQ(record.spt.DataTransferLength, 23520u);
        for (int s = 0; s < 10; ++s)
            for (int i : {0, 1, 1000, 2351})
                ASSERT_EQ(record.data[s * sectorBytes + i], discByte(sector + s, i)) << sector + s << " " << i;
    }
}

TEST_F(PassThroughTest, VirtualDriveDefectsGiveSenseOrAVanishedDrive)
{
    auto record = PassThroughRecord::make({0xBE, 0, 0, 0, 0, 105, 0, 0, 0x0A, 0x10, 0, 0}, 23520, 200);
    ASSERT_TRUE(record.send(virtualDrive));
    EXPECT_EQ(record.spt.ScsiStatus, 2);
    EXPECT_EQ(record.spt.SenseInfoLength, 18);
    EXPECT_EQ(record.sense[0] & 0x7F, 0x70);
    EXPECT_EQ(record.sense[2] & 0x0F, 0x03);
    EXPECT_EQ(record.sense[12], 0x11);
    EXPECT_EQ(record.sense[13], 0x05);

    // The caller's sense area may be shorter than what the drive has.
    record = PassThroughRecord::make({0xBE, 0, 0, 0, 0, 105, 0, 0, 0x0A, 0x10, 0, 0}, 23520, 200);
    record.spt.SenseInfoLength = 8;
    record.sense[8] = 0xAB;
    ASSERT_TRUE(record.send(virtualDrive));
    EXPECT_EQ(record.spt.SenseInfoLength, 8);
    EXPECT_EQ(record.sense[8], 0xAB);

    record = PassThroughRecord::make({0xBE, 0, 0, 0, 0, 195, 0, 0, 0x0A, 0x10, 0, 0}, 23520, 200);
    record.spt.ScsiStatus = 0x77;
    DWORD returned = 99;
    EXPECT_FALSE(record.send(virtualDrive, &returned));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(record.spt.ScsiStatus, 0x77);
    EXPECT_EQ(returned, 0u);

    // An unknown command: CHECK CONDITION, illegal request.
    record = PassThroughRecord::make({0xC0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0}, 2048);
    ASSERT_TRUE(record.send(virtualDrive));
    EXPECT_EQ(record.spt.ScsiStatus, 2);
    EXPECT_EQ(record.sense[2] & 0x0F, 0x05);
    EXPECT_EQ(record.sense[12], 0x20);
}

TEST_F(PassThroughTest, AVirtualDriveStaysUsableWhileItsHandleIsOpenAcrossAReload)
{
    DeviceOptions empty;
    empty.realDrives = false;
    reloadDevices(empty);
    EXPECT_EQ(GetDriveTypeA("E:\\"), DRIVE_NO_ROOT_DIR);
    auto record = PassThroughRecord::make(inquiry, 255);
    ASSERT_TRUE(record.send(virtualDrive));
    EXPECT_EQ(record.spt.ScsiStatus, 0);
}

}  // namespace
