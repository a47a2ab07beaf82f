// The ASPI layer, loaded as the program loads it, against virtual drives and
// (through a fake kernel) SCSI generic devices.

#include "AspiExecutor.h"
#include "DeviceMap.h"
#include "FakeScsiGeneric.h"
#include "SgTarget.h"
#include "ScopedEnv.h"
#include "TestDisc.h"
#include "platform/WnAspi32.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>

#include <atomic>
#include <fstream>
#include <thread>

namespace {

using namespace rilvane::platform;
using namespace rilvane::platform::test;

constexpr DWORD transferBlockSize = 89056;

// The transfer block as the program sets it up: VirtualAlloc, then a window
// starting at the next 64 KiB boundary.
class TransferBlock {
public:
    TransferBlock() : block_(VirtualAlloc(nullptr, transferBlockSize, MEM_COMMIT, PAGE_READWRITE))
    {
        const auto address = reinterpret_cast<uintptr_t>(block_);
        window_ = reinterpret_cast<uint8_t*>((address + 0xFFFF) & ~uintptr_t{0xFFFF});
    }
    ~TransferBlock() { VirtualFree(block_, 0, MEM_RELEASE); }
    TransferBlock(const TransferBlock&) = delete;
    TransferBlock& operator=(const TransferBlock&) = delete;

    uint8_t* window() const { return window_; }
    DWORD address() const { return static_cast<DWORD>(reinterpret_cast<uintptr_t>(window_)); }

private:
    void* block_;
    uint8_t* window_;
};

class AspiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        devDir = dir.path().string() + "/dev";
        std::filesystem::create_directory(devDir);
        disc = writeTestDisc(dir.path().string(), "disc", 300, 150, "name Aspi Disc\n100-119 03/11/05\n200 gone\n");
        library = LoadLibraryA("WNASPI32");
        ASSERT_NE(library, nullptr);
        supportInfo = reinterpret_cast<GETASPI32SUPPORTINFO>(GetProcAddress(library, "GetASPI32SupportInfo"));
        send = reinterpret_cast<SENDASPI32COMMAND>(GetProcAddress(library, "SendASPI32Command"));
        ASSERT_NE(supportInfo, nullptr);
        ASSERT_NE(send, nullptr);
        event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        useDevices("aspi:0:1=" + disc.cuePath + "," + disc.defectsPath + ";aspi:2:0=" + disc.cuePath);
    }

    void TearDown() override
    {
        CloseHandle(event);
        FreeLibrary(library);
        DeviceOptions empty;
        empty.realDrives = false;
        reloadDevices(empty);
    }

    void useDevices(const std::string& virtualDrives, bool realDrives = false)
    {
        DeviceOptions options;
        options.virtualDrives = virtualDrives;
        options.realDrives = realDrives;
        options.deviceDirectory = devDir;
        reloadDevices(options);
    }

    SRB_ExecSCSICmd command(BYTE adapter, BYTE target, std::initializer_list<BYTE> cdb, DWORD length) const
    {
        SRB_ExecSCSICmd srb;
        std::memset(&srb, 0, sizeof srb);
        srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
        srb.SRB_HaId = adapter;
        srb.SRB_Flags = SRB_DIR_IN | SRB_EVENT_NOTIFY;
        srb.SRB_Target = target;
        srb.SRB_BufLen = length;
        srb.SRB_BufPointer = block.address();
        srb.SRB_SenseLen = 24;
        srb.SRB_CDBLen = static_cast<BYTE>(cdb.size());
        srb.SRB_PostProc = static_cast<DWORD>(reinterpret_cast<uintptr_t>(event));
        std::copy(cdb.begin(), cdb.end(), srb.CDBByte);
        return srb;
    }

    // The caller's protocol: reset, send, wait only while pending.
    BYTE run(SRB_ExecSCSICmd& srb)
    {
        ResetEvent(event);
        const DWORD sent = send(&srb);
        if (sent == SS_PENDING) {
            EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
        }
        return srb.SRB_Status;
    }

    static SRB_ExecSCSICmd readCd(SRB_ExecSCSICmd srb, int sector)
    {
        const BYTE cdb[12] = {0xBE, 0, static_cast<BYTE>(sector >> 24), static_cast<BYTE>(sector >> 16),
                              static_cast<BYTE>(sector >> 8), static_cast<BYTE>(sector), 0, 0, 0x0A, 0x10, 0, 0};
        std::memcpy(srb.CDBByte, cdb, sizeof cdb);
        srb.SRB_CDBLen = 12;
        srb.SRB_BufLen = 23520;
        return srb;
    }

    TempDir dir;
    std::string devDir;
    TestDisc disc;
    HMODULE library = nullptr;
    GETASPI32SUPPORTINFO supportInfo = nullptr;
    SENDASPI32COMMAND send = nullptr;
    HANDLE event = nullptr;
    TransferBlock block;
};

TEST_F(AspiTest, SupportInfoCountsAdaptersUpToTheHighestId)
{
    EXPECT_EQ(supportInfo(), (DWORD{SS_COMP} << 8) | 3u);
    useDevices("");  // a working layer without any host: success, no adapters
    EXPECT_EQ(supportInfo(), DWORD{SS_COMP} << 8);
}

TEST_F(AspiTest, DeviceTypeQueriesCompleteAtOnce)
{
    struct Case {
        BYTE adapter, target, lun, status;
    };
    for (const Case& c : {Case{0, 1, 0, SS_COMP}, Case{2, 0, 0, SS_COMP}, Case{0, 0, 0, SS_NO_DEVICE},
                          Case{0, 1, 1, SS_NO_DEVICE}, Case{1, 1, 0, SS_NO_DEVICE}, Case{3, 0, 0, SS_INVALID_HA}}) {
        SRB_GDEVBlock srb;
        std::memset(&srb, 0, sizeof srb);
        srb.SRB_Cmd = SC_GET_DEV_TYPE;
        srb.SRB_HaId = c.adapter;
        srb.SRB_Target = c.target;
        srb.SRB_Lun = c.lun;
        EXPECT_EQ(send(&srb), c.status) << int(c.adapter) << ":" << int(c.target) << ":" << int(c.lun);
        EXPECT_EQ(srb.SRB_Status, c.status);
        EXPECT_EQ(srb.SRB_DeviceType, c.status == SS_COMP ? DTYPE_CDROM : 0);
    }
}

TEST_F(AspiTest, HostAdapterInquiry)
{
    SRB_HAInquiry srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_Cmd = SC_HA_INQUIRY;
    EXPECT_EQ(send(&srb), SS_COMP);
    EXPECT_EQ(srb.HA_Count, 3);
    EXPECT_EQ(srb.HA_Unique[3], 16);
    srb.SRB_HaId = 3;
    EXPECT_EQ(send(&srb), SS_INVALID_HA);
}

TEST_F(AspiTest, InquiryAndReadsCompleteThroughThePostEvent)
{
    auto srb = command(0, 1, {0x12, 0, 0, 0, 0xFF, 0}, 255);
    std::memset(block.window(), 0xEE, 256);
    ResetEvent(event);
    EXPECT_EQ(send(&srb), SS_PENDING);
    ASSERT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(srb.SRB_Status, SS_COMP);
    EXPECT_EQ(srb.SRB_TargStat, 0);
    EXPECT_EQ(srb.SRB_HaStat, HASTAT_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block.window() + 16), 16), "Aspi Disc       ");

    // A read loop as the program runs it: the record rebuilt before each read.
    for (int sector : {0, 10, 140, 290}) {
        auto read = readCd(command(0, 1, {}, 0), sector);
        ASSERT_EQ(run(read), SS_COMP) << sector;
        const int sectors = std::min(10, 300 - sector);
        for (int s = 0; s < sectors; ++s)
            for (int i : {0, 7, 2351}) ASSERT_EQ(block.window()[s * sectorBytes + i], discByte(sector + s, i));
    }
}

TEST_F(AspiTest, FailedCommandsReportTargetStatusAndSense)
{
    auto srb = readCd(command(0, 1, {}, 0), 95);
    srb.SRB_SenseLen = 14;
    srb.SenseArea[14] = 0xAB;
    EXPECT_EQ(run(srb), SS_ERR);
    EXPECT_EQ(srb.SRB_TargStat, 2);
    EXPECT_EQ(srb.SenseArea[0] & 0x7F, 0x70);
    EXPECT_EQ(srb.SenseArea[2] & 0x0F, 3);
    EXPECT_EQ(srb.SenseArea[12], 0x11);
    EXPECT_EQ(srb.SenseArea[13], 0x05);
    EXPECT_EQ(srb.SenseArea[14], 0xAB);  // only SRB_SenseLen bytes are written

    auto gone = readCd(command(0, 1, {}, 0), 195);
    EXPECT_EQ(run(gone), SS_ERR);
    EXPECT_EQ(gone.SRB_HaStat, HASTAT_SEL_TO);

    auto unknown = command(2, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0}, 2048);
    EXPECT_EQ(run(unknown), SS_ERR);
    EXPECT_EQ(unknown.SenseArea[2] & 0x0F, 5);
    EXPECT_EQ(unknown.SenseArea[12], 0x20);
}

TEST_F(AspiTest, BadRecordsAreRefusedAtOnce)
{
    EXPECT_EQ(send(nullptr), SS_INVALID_SRB);
    BYTE unknownCode[96] = {9};
    EXPECT_EQ(send(unknownCode), SS_INVALID_CMD);
    EXPECT_EQ(unknownCode[1], SS_INVALID_CMD);

    struct Case {
        const char* what;
        void (*change)(SRB_ExecSCSICmd&);
        BYTE status;
    };
    const Case cases[] = {
        {"no buffer", [](SRB_ExecSCSICmd& s) { s.SRB_BufPointer = 0; }, SS_INVALID_SRB},
        {"unmapped buffer", [](SRB_ExecSCSICmd& s) { s.SRB_BufPointer = 0x1000; }, SS_INVALID_SRB},
        {"no CDB", [](SRB_ExecSCSICmd& s) { s.SRB_CDBLen = 0; }, SS_INVALID_SRB},
        {"CDB too long", [](SRB_ExecSCSICmd& s) { s.SRB_CDBLen = 17; }, SS_INVALID_SRB},
        {"callback posting", [](SRB_ExecSCSICmd& s) { s.SRB_Flags |= SRB_POSTING; }, SS_INVALID_SRB},
        {"no such event", [](SRB_ExecSCSICmd& s) { s.SRB_PostProc = 0x7FFFFFF0u; }, SS_INVALID_SRB},
        {"no such target", [](SRB_ExecSCSICmd& s) { s.SRB_Target = 2; }, SS_NO_DEVICE},
        {"LUN 1", [](SRB_ExecSCSICmd& s) { s.SRB_Lun = 1; }, SS_NO_DEVICE},
        {"no such adapter", [](SRB_ExecSCSICmd& s) { s.SRB_HaId = 3; }, SS_INVALID_HA},
        {"huge transfer", [](SRB_ExecSCSICmd& s) { s.SRB_BufLen = 0x7FFFFFFF; }, SS_BUFFER_TO_BIG},
    };
    for (const Case& c : cases) {
        auto srb = command(0, 1, {0x12, 0, 0, 0, 0xFF, 0}, 255);
        c.change(srb);
        ResetEvent(event);
        EXPECT_EQ(send(&srb), c.status) << c.what;
        EXPECT_EQ(srb.SRB_Status, c.status) << c.what;
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << c.what;  // nothing to wait for
    }

    // Memory the data cannot be written to.
    auto* pages = static_cast<uint8_t*>(VirtualAlloc(nullptr, 8192, MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(pages, nullptr);
    ASSERT_EQ(VirtualAlloc(pages + 4096, 4096, MEM_COMMIT, 0x01 /* no access */), pages + 4096);
    auto intoGuard = command(0, 1, {0x12, 0, 0, 0, 0xFF, 0}, 255);
    intoGuard.SRB_BufPointer = static_cast<DWORD>(reinterpret_cast<uintptr_t>(pages + 4000));
    EXPECT_EQ(send(&intoGuard), SS_INVALID_SRB);
    ASSERT_EQ(VirtualAlloc(pages + 4096, 4096, MEM_COMMIT, 0x02 /* read only */), pages + 4096);
    EXPECT_EQ(send(&intoGuard), SS_INVALID_SRB);
    intoGuard.SRB_BufPointer = static_cast<DWORD>(reinterpret_cast<uintptr_t>(pages + 4096 - 255));
    EXPECT_EQ(run(intoGuard), SS_COMP);  // wholly inside the writable page
    VirtualFree(pages, 0, MEM_RELEASE);

    // A length of 0 needs no buffer at all.
    auto testUnitReady = command(0, 1, {0x00, 0, 0, 0, 0, 0}, 0);
    testUnitReady.SRB_BufPointer = 0;
    EXPECT_EQ(run(testUnitReady), SS_COMP);
}

TEST_F(AspiTest, RequestsFromSeveralThreadsEachGetTheirOwnAnswer)
{
    constexpr int threads = 4;
    std::atomic<int> wrong{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            TransferBlock own;
            HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            for (int i = 0; i < 20; ++i) {
                const int sector = (t * 20 + i) % 29 * 10 % 90;  // clear of the defects
                auto srb = readCd(command(t % 2 == 0 ? 0 : 2, t % 2 == 0 ? 1 : 0, {}, 0), sector);
                srb.SRB_BufPointer = own.address();
                srb.SRB_PostProc = static_cast<DWORD>(reinterpret_cast<uintptr_t>(done));
                ResetEvent(done);
                if (send(&srb) == SS_PENDING) WaitForSingleObject(done, INFINITE);
                if (srb.SRB_Status != SS_COMP || own.window()[2351] != discByte(sector, 2351) ||
                    own.window()[9 * sectorBytes] != discByte(sector + 9, 0))
                    ++wrong;
            }
            CloseHandle(done);
        });
    for (auto& worker : workers) worker.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(AspiTest, ScsiGenericDevicesAreReachedThroughSgIo)
{
    ScopedFakeScsiGeneric sg;
    for (const char* name : {"sg0", "sg1"}) std::ofstream(devDir + "/" + name).close();
    sg.fake->ids[devDir + "/sg0"] = sg_scsi_id{6, 0, 0, 0, 0, 0, 0, {0, 0}};
    sg.fake->ids[devDir + "/sg1"] = sg_scsi_id{9, 0, 4, 0, 5, 0, 0, {0, 0}};
    useDevices("", true);
    EXPECT_EQ(supportInfo(), (DWORD{SS_COMP} << 8) | 2u);

    SRB_GDEVBlock type;
    std::memset(&type, 0, sizeof type);
    type.SRB_Cmd = SC_GET_DEV_TYPE;
    EXPECT_EQ(send(&type), SS_COMP);
    EXPECT_EQ(type.SRB_DeviceType, 0);  // a disk: present, but no CD device
    type.SRB_HaId = 1;
    type.SRB_Target = 4;
    EXPECT_EQ(send(&type), SS_COMP);
    EXPECT_EQ(type.SRB_DeviceType, DTYPE_CDROM);

    sg.fake->answer = [](sg_io_hdr_t& header) {
        std::memcpy(static_cast<uint8_t*>(header.dxferp) + 16, "REAL DRIVE      ", 16);
        header.resid = 255 - 36;
        return 0;
    };
    auto srb = command(1, 4, {0x12, 0, 0, 0, 0xFF, 0}, 255);
    EXPECT_EQ(run(srb), SS_COMP);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block.window() + 16), 16), "REAL DRIVE      ");
    ASSERT_EQ(sg.fake->seen().size(), 1u);
    EXPECT_EQ(sg.fake->seen()[0].path, devDir + "/sg1");
    EXPECT_EQ(sg.fake->seen()[0].header.dxferp, block.window());
}

// A drive is opened on its first request and kept for the next ones; one
// that went away, or a map built again, is opened afresh.
TEST_F(AspiTest, ARealDriveIsOpenedOnceAndAgainAfterItWentAway)
{
    ScopedFakeScsiGeneric sg;
    const std::string node = devDir + "/sg0";
    std::ofstream(node).close();
    sg.fake->ids[node] = sg_scsi_id{9, 0, 4, 0, 5, 0, 0, {0, 0}};
    useDevices("", true);
    const auto opens = [&] {
        const auto opened = sg.fake->opened();
        return std::count(opened.begin(), opened.end(), node);
    };
    const auto atDiscovery = opens();
    auto srb = command(0, 4, {0x12, 0, 0, 0, 0xFF, 0}, 255);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(run(srb), SS_COMP);
    EXPECT_EQ(opens(), atDiscovery + 1);

    int failure = ENODEV;
    sg.fake->answer = [&failure](sg_io_hdr_t&) { return failure; };
    EXPECT_EQ(run(srb), SS_NO_DEVICE);
    failure = 0;
    EXPECT_EQ(run(srb), SS_COMP);
    EXPECT_EQ(opens(), atDiscovery + 2);

    useDevices("", true);
    const auto afterReload = opens();
    EXPECT_EQ(run(srb), SS_COMP);
    EXPECT_EQ(opens(), afterReload + 1);
}

// A window is looked up once; memory released or made read-only after it
// was used is still refused, not written into.
TEST_F(AspiTest, AWindowReleasedOrProtectedAfterUseIsRefused)
{
    auto* pages = static_cast<uint8_t*>(VirtualAlloc(nullptr, 65536, MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(pages, nullptr);
    auto srb = readCd(command(0, 1, {}, 0), 0);
    srb.SRB_BufPointer = static_cast<DWORD>(reinterpret_cast<uintptr_t>(pages));
    EXPECT_EQ(run(srb), SS_COMP);
    EXPECT_EQ(run(srb), SS_COMP);
    ASSERT_EQ(VirtualAlloc(pages + 8192, 4096, MEM_COMMIT, 0x02 /* read only */), pages + 8192);
    EXPECT_EQ(send(&srb), SS_INVALID_SRB);
    ASSERT_EQ(VirtualAlloc(pages + 8192, 4096, MEM_COMMIT, PAGE_READWRITE), pages + 8192);
    EXPECT_EQ(run(srb), SS_COMP);
    VirtualFree(pages, 0, MEM_RELEASE);
    EXPECT_EQ(send(&srb), SS_INVALID_SRB);
}

// The translation of one request into SG_IO and back.
class AspiOnDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::ofstream(path).close();
        target = std::make_unique<SgTarget>(sg, UniqueFd(::open(path.c_str(), O_RDWR | O_CLOEXEC)));
    }

    AspiOutcome execute(const AspiRequest& r) { return executeOn(*target, r); }

    AspiRequest request(uint8_t flags, uint32_t length)
    {
        AspiRequest r;
        r.cdb[0] = 0xBE;
        r.cdbLength = 12;
        r.flags = flags;
        r.buffer = length ? buffer : nullptr;
        r.bufferLength = length;
        r.senseLength = 24;
        return r;
    }

    TempDir dir;
    std::string path = dir / "sg0";
    std::shared_ptr<FakeScsiGeneric> sg = std::make_shared<FakeScsiGeneric>();
    std::unique_ptr<SgTarget> target;
    uint8_t buffer[64] = {};
};

TEST_F(AspiOnDevice, BuildsTheHeaderFromTheRecord)
{
    struct Case {
        uint8_t flags;
        uint32_t length;
        int direction;
    };
    for (const Case& c : {Case{SRB_DIR_IN, 64, SG_DXFER_FROM_DEV}, Case{SRB_DIR_OUT, 64, SG_DXFER_TO_DEV},
                          Case{SRB_DIR_IN | SRB_DIR_OUT, 64, SG_DXFER_NONE}, Case{0, 64, SG_DXFER_TO_FROM_DEV},
                          Case{SRB_DIR_IN, 0, SG_DXFER_NONE}}) {
        const auto outcome = execute(request(c.flags | SRB_EVENT_NOTIFY, c.length));
        EXPECT_EQ(outcome.status, SS_COMP);
        const sg_io_hdr_t header = sg->seen().back().header;
        EXPECT_EQ(header.interface_id, 'S');
        EXPECT_EQ(header.dxfer_direction, c.direction) << int(c.flags);
        EXPECT_EQ(header.cmd_len, 12);
        EXPECT_EQ(sg->seen().back().cdb[0], 0xBE);
        EXPECT_EQ(header.dxfer_len, c.direction == SG_DXFER_NONE ? 0u : c.length);
        EXPECT_EQ(header.dxferp, c.direction == SG_DXFER_NONE ? nullptr : static_cast<void*>(buffer));
        EXPECT_EQ(header.timeout, aspiCommandTimeoutMs);
    }
}

TEST_F(AspiOnDevice, JudgesTheAnswer)
{
    struct Case {
        int error;
        unsigned char status;
        unsigned short host, driver;
        BYTE srbStatus, hostStatus;
    };
    for (const Case& c : {Case{0, 0, 0, 0, SS_COMP, HASTAT_OK}, Case{0, 2, 0, 0x08, SS_ERR, HASTAT_OK},
                          Case{0, 0, 0x01, 0, SS_ERR, HASTAT_SEL_TO}, Case{0, 0, 0x03, 0, SS_ERR, HASTAT_COMMAND_TIMEOUT},
                          Case{0, 0, 0x08, 0, SS_ERR, HASTAT_BUS_RESET}, Case{0, 0, 0, 0x06, SS_ERR, HASTAT_COMMAND_TIMEOUT},
                          Case{0, 0, 0, 0x04, SS_ERR, HASTAT_PHASE_ERR}, Case{ENODEV, 0, 0, 0, SS_NO_DEVICE, HASTAT_OK},
                          Case{EIO, 0, 0, 0, SS_ERR, HASTAT_OK}}) {
        sg->answer = [c](sg_io_hdr_t& header) {
            header.status = c.status;
            header.host_status = c.host;
            header.driver_status = c.driver;
            return c.error;
        };
        const auto outcome = execute(request(SRB_DIR_IN, 64));
        EXPECT_EQ(outcome.status, c.srbStatus) << c.error << " " << int(c.status) << " " << c.host << " " << c.driver;
        EXPECT_EQ(outcome.hostStatus, c.hostStatus) << c.error << " " << c.host << " " << c.driver;
        if (c.error == 0) {
            EXPECT_EQ(outcome.targetStatus, c.status);
        }
    }
    int error = 0;
    EXPECT_EQ(openScsiTarget(dir / "unplugged", nullptr, error), nullptr);
    EXPECT_EQ(unreachable(error).status, SS_NO_DEVICE);
}

// ASPI has no field for the length received. A block read that reports
// success with part of its data missing fails as a data underrun; commands
// with an allocation length (INQUIRY, READ TOC) answer short as a rule.
TEST_F(AspiOnDevice, AShortBlockReadIsAnUnderrunAShortInquiryIsNot)
{
    int resid = 0;
    sg->answer = [&resid](sg_io_hdr_t& header) {
        header.resid = resid;
        return 0;
    };
    struct Case {
        uint8_t opcode;
        int resid;
        BYTE srbStatus, hostStatus;
    };
    for (const Case& c : {Case{0xBE, 10, SS_ERR, HASTAT_DO_DU}, Case{0xBE, 64, SS_ERR, HASTAT_DO_DU},
                          Case{0x28, 1, SS_ERR, HASTAT_DO_DU}, Case{0xBE, 0, SS_COMP, HASTAT_OK},
                          Case{0xBE, -5, SS_COMP, HASTAT_OK}, Case{0x12, 10, SS_COMP, HASTAT_OK},
                          Case{0x43, 60, SS_COMP, HASTAT_OK}}) {
        resid = c.resid;
        AspiRequest r = request(SRB_DIR_IN, 64);
        r.cdb[0] = c.opcode;
        const auto outcome = execute(r);
        EXPECT_EQ(outcome.status, c.srbStatus) << int(c.opcode) << " resid " << c.resid;
        EXPECT_EQ(outcome.hostStatus, c.hostStatus) << int(c.opcode) << " resid " << c.resid;
    }
}

TEST_F(AspiOnDevice, SenseIsClippedToTheRecord)
{
    sg->answer = [](sg_io_hdr_t& header) {
        for (int i = 0; i < 40; ++i) header.sbp[i] = static_cast<uint8_t>(i + 1);
        header.sb_len_wr = 40;
        header.status = 2;
        header.driver_status = 0x08;
        return 0;
    };
    for (uint8_t wanted : {uint8_t{0}, uint8_t{14}, uint8_t{32}, uint8_t{200}}) {
        auto r = request(SRB_DIR_IN, 64);
        r.senseLength = wanted;
        const auto outcome = execute(r);
        EXPECT_EQ(outcome.senseLength, std::min<int>(wanted, 32));
        EXPECT_EQ(outcome.sense[0], wanted ? 1 : 0);
    }
}

}  // namespace
