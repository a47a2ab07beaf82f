// Drive letters, ASPI adapter numbering and the virtual drive setting.

#include "DeviceMap.h"
#include "FakeScsiGeneric.h"
#include "ScopedEnv.h"
#include "TestDisc.h"
#include "VirtualDriveConfig.h"
#include "platform/Win32.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

namespace {

using namespace rilvane::platform;
using namespace rilvane::platform::test;

void touch(const std::string& path)
{
    std::ofstream(path).close();
}

TEST(VirtualDriveConfig, ReadsLettersAndAspiTargets)
{
    std::vector<std::string> errors;
    const auto entries =
        parseVirtualDrives(" E=/d/a.cue ; aspi:1:3=/d/b.cue,/d/b.defects;;f:=/d/c.cue , /d/c.map ;", errors);
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_FALSE(entries[0].aspi);
    EXPECT_EQ(entries[0].letter, 'E');
    EXPECT_EQ(entries[0].cuePath, "/d/a.cue");
    EXPECT_EQ(entries[0].defectsPath, "");
    EXPECT_TRUE(entries[1].aspi);
    EXPECT_EQ(entries[1].adapter, 1);
    EXPECT_EQ(entries[1].target, 3);
    EXPECT_EQ(entries[1].defectsPath, "/d/b.defects");
    EXPECT_EQ(entries[2].letter, 'F');
    EXPECT_EQ(entries[2].cuePath, "/d/c.cue");
    EXPECT_EQ(entries[2].defectsPath, "/d/c.map");
    EXPECT_TRUE(parseVirtualDrives("", errors).empty());
    EXPECT_TRUE(errors.empty());
}

TEST(VirtualDriveConfig, EachBadEntryIsSkippedWithOneLineNamingIt)
{
    const char* bad[] = {"E", "EE=/a.cue", "1=/a.cue", "aspi:1=/a.cue", "aspi:x:1=/a.cue", "aspi:255:0=/a.cue",
                         "aspi:0:16=/a.cue", "aspi:0:256=/a.cue", "aspi:-1:0=/a.cue", "E=", "E=/a.cue,", "=/a.cue"};
    for (const char* entry : bad) {
        std::vector<std::string> errors;
        const auto entries = parseVirtualDrives(std::string("D=/ok.cue;") + entry + ";G=/ok2.cue", errors);
        EXPECT_EQ(entries.size(), 2u) << entry;
        ASSERT_EQ(errors.size(), 1u) << entry;
        EXPECT_NE(errors[0].find(std::string("\"") + entry + "\""), std::string::npos) << errors[0];
    }
    std::vector<std::string> errors;
    const auto entries = parseVirtualDrives("E=/a.cue;e:=/b.cue;aspi:0:1=/c.cue;ASPI:0:1=/d.cue", errors);
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_EQ(errors.size(), 2u);  // the same letter and the same ASPI place twice
}

TEST(AspiAdapters, EachHostBecomesOneAdapterInAscendingOrder)
{
    std::vector<SgDevice> devices = {
        {"/dev/sg0", 7, 0, 0, 0, 0},  {"/dev/sg1", 2, 0, 1, 0, 5}, {"/dev/sg2", 7, 0, 3, 0, 5},
        {"/dev/sg3", 4, 0, 0, 0, 5},  {"/dev/sg4", 4, 1, 0, 0, 5},  // same target on a second channel
        {"/dev/sg5", 2, 0, 300, 0, 5},                              // no byte for this target id
    };
    const auto targets = DeviceMap::numberAdapters(devices);
    ASSERT_EQ(targets.size(), 4u);
    auto find = [&](const std::string& path) -> const AspiTarget* {
        for (const auto& target : targets)
            if (target.devicePath == path) return &target;
        return nullptr;
    };
    ASSERT_TRUE(find("/dev/sg1") && find("/dev/sg3") && find("/dev/sg0") && find("/dev/sg2"));
    EXPECT_EQ(find("/dev/sg1")->adapter, 0);  // host 2
    EXPECT_EQ(find("/dev/sg3")->adapter, 1);  // host 4
    EXPECT_EQ(find("/dev/sg0")->adapter, 2);  // host 7
    EXPECT_EQ(find("/dev/sg2")->adapter, 2);
    EXPECT_EQ(find("/dev/sg2")->target, 3);
    EXPECT_EQ(find("/dev/sg2")->deviceType, 5);
    EXPECT_EQ(find("/dev/sg4"), nullptr);
}

class DeviceMapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        devDir = dir.path().string() + "/dev";
        std::filesystem::create_directory(devDir);
        disc = writeTestDisc(dir.path().string(), "disc", 300, 150);
    }

    DeviceOptions options(const std::string& virtualDrives, bool realDrives = true) const
    {
        DeviceOptions result;
        result.virtualDrives = virtualDrives;
        result.realDrives = realDrives;
        result.deviceDirectory = devDir;
        return result;
    }

    TempDir dir;
    std::string devDir;
    TestDisc disc;
    FakeScsiGeneric sg;
    std::vector<std::string> messages;
};

TEST_F(DeviceMapTest, OpticalDrivesFillTheLettersLeftFromD)
{
    for (const char* name : {"sr0", "sr1", "sr10", "sr2", "sda", "srx", "sr"}) touch(devDir + "/" + name);
    const auto map = DeviceMap::build(options("E=" + disc.cuePath), sg, messages);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(map->letter('C').kind, LetterDrive::Kind::Fixed);
    EXPECT_EQ(map->letter('D').devicePath, devDir + "/sr0");
    EXPECT_EQ(map->letter('E').kind, LetterDrive::Kind::Virtual);
    EXPECT_EQ(map->letter('F').devicePath, devDir + "/sr1");
    EXPECT_EQ(map->letter('G').devicePath, devDir + "/sr2");
    EXPECT_EQ(map->letter('H').devicePath, devDir + "/sr10");
    EXPECT_EQ(map->letter('I').kind, LetterDrive::Kind::None);
    EXPECT_EQ(map->logicalDrives(), 0b11111100u);

    const auto withoutReal = DeviceMap::build(options("E=" + disc.cuePath, false), sg, messages);
    EXPECT_EQ(withoutReal->logicalDrives(), (1u << 2) | (1u << 4));
}

TEST_F(DeviceMapTest, AVirtualDriveMayTakeAnyLetterEvenC)
{
    touch(devDir + "/sr0");
    const auto map = DeviceMap::build(options("C=" + disc.cuePath + ";d=" + disc.cuePath), sg, messages);
    EXPECT_EQ(map->letter('C').kind, LetterDrive::Kind::Virtual);
    EXPECT_EQ(map->letter('D').kind, LetterDrive::Kind::Virtual);
    EXPECT_EQ(map->letter('E').devicePath, devDir + "/sr0");
}

TEST_F(DeviceMapTest, ABrokenImageIsSkippedWithAMessageNamingIt)
{
    std::ofstream(dir / "bad.cue") << "FILE \"missing.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    std::ofstream(dir / "bad.defects") << "12 this-is-no-sense\n";
    const auto map = DeviceMap::build(options("E=" + (dir / "bad.cue") + ";F=" + disc.cuePath + "," +
                                                  (dir / "bad.defects") + ";G=" + disc.cuePath + ";H=" +
                                                  (dir / "nothing-here.cue")),
                                      sg, messages);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_NE(messages[0].find("bad.cue"), std::string::npos) << messages[0];
    EXPECT_NE(messages[1].find("bad.defects"), std::string::npos) << messages[1];
    EXPECT_NE(messages[2].find("nothing-here.cue"), std::string::npos) << messages[2];
    EXPECT_EQ(map->letter('E').kind, LetterDrive::Kind::None);
    EXPECT_EQ(map->letter('F').kind, LetterDrive::Kind::None);
    EXPECT_EQ(map->letter('G').kind, LetterDrive::Kind::Virtual);
}

TEST_F(DeviceMapTest, AspiTargetsComeFromScsiGenericAndVirtualDrives)
{
    for (const char* name : {"sg0", "sg1", "sg2", "sg3"}) touch(devDir + "/" + name);
    sg.ids[devDir + "/sg0"] = sg_scsi_id{3, 0, 0, 0, 0, 0, 0, {0, 0}};  // a disk on host 3
    sg.ids[devDir + "/sg1"] = sg_scsi_id{5, 0, 1, 0, 5, 0, 0, {0, 0}};  // a CD drive on host 5
    sg.ids[devDir + "/sg2"] = sg_scsi_id{3, 0, 2, 0, 5, 0, 0, {0, 0}};  // hidden by a virtual drive
    // sg3 does not answer SG_GET_SCSI_ID and is left out.
    const auto map = DeviceMap::build(options("aspi:0:2=" + disc.cuePath + ";aspi:4:15=" + disc.cuePath), sg, messages);
    EXPECT_EQ(map->adapterCount(), 5);
    ASSERT_EQ(map->aspiTargets().size(), 4u);
    const AspiTarget* disk = map->aspiTarget(0, 0, 0);
    ASSERT_NE(disk, nullptr);
    EXPECT_EQ(disk->deviceType, 0);
    EXPECT_EQ(disk->devicePath, devDir + "/sg0");
    const AspiTarget* cd = map->aspiTarget(1, 1, 0);
    ASSERT_NE(cd, nullptr);
    EXPECT_EQ(cd->devicePath, devDir + "/sg1");
    const AspiTarget* virtualAtZero = map->aspiTarget(0, 2, 0);
    ASSERT_NE(virtualAtZero, nullptr);
    EXPECT_TRUE(virtualAtZero->unit);
    EXPECT_EQ(virtualAtZero->deviceType, 5);
    EXPECT_TRUE(map->aspiTarget(4, 15, 0) && map->aspiTarget(4, 15, 0)->unit);
    ASSERT_EQ(messages.size(), 1u);  // the hidden real device
    EXPECT_NE(messages[0].find("sg2"), std::string::npos);

    const auto none = DeviceMap::build(options("", false), sg, messages);
    EXPECT_EQ(none->adapterCount(), 0);
}

TEST_F(DeviceMapTest, OpticalNodesThatCannotBeUsedAreKeptWithTheSystemsReason)
{
    for (const char* name : {"sr0", "sr1", "sr2", "sr3", "sr4", "sg0", "sg1", "sg2", "sg3"}) touch(devDir + "/" + name);
    sg.openErrors[devDir + "/sr0"] = EACCES;
    sg.openErrors[devDir + "/sr1"] = ENXIO;
    sg.openErrors[devDir + "/sr2"] = ENOMEDIUM;
    sg.openErrors[devDir + "/sr3"] = EBUSY;
    sg.openErrors[devDir + "/sg0"] = EACCES;  // a CD drive's generic node
    sg.types[devDir + "/sg0"] = 5;
    sg.openErrors[devDir + "/sg1"] = EACCES;  // a disk's: none of our business
    sg.types[devDir + "/sg1"] = 0;
    sg.ids[devDir + "/sg2"] = sg_scsi_id{1, 0, 0, 0, 5, 0, 0, {0, 0}};  // a CD drive that answers
    sg.types[devDir + "/sg3"] = 5;  // opens but does not answer SG_GET_SCSI_ID (ENOTTY)
    // A socket refuses open() with ENXIO on its own, no stand-in needed.
    const std::string socketPath = devDir + "/sr5";
    const int socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const auto map = DeviceMap::build(options(""), sg, messages);
    ::close(socketFd);

    struct Expected {
        const char* name;
        int error;
        const char* errnoName;
    };
    const Expected expected[] = {{"sr0", EACCES, "EACCES"}, {"sr1", ENXIO, "ENXIO"},  {"sr2", ENOMEDIUM, "ENOMEDIUM"},
                                 {"sr3", EBUSY, "EBUSY"},   {"sr4", 0, nullptr},      {"sr5", ENXIO, "ENXIO"},
                                 {"sg0", EACCES, "EACCES"}, {"sg2", 0, nullptr},      {"sg3", ENOTTY, "ENOTTY"}};
    const auto& nodes = map->opticalNodes();
    ASSERT_EQ(nodes.size(), std::size(expected));
    const group* own = getgrgid(getgid());
    size_t line = 0;
    for (size_t i = 0; i < nodes.size(); ++i) {
        const std::string path = devDir + "/" + expected[i].name;
        EXPECT_EQ(nodes[i].path, path);
        EXPECT_EQ(nodes[i].error, expected[i].error) << path;
        EXPECT_EQ(nodes[i].groupId, getgid()) << path;
        if (own != nullptr) {
            EXPECT_EQ(nodes[i].groupName, own->gr_name) << path;
        }
        if (expected[i].error == 0) {
            EXPECT_TRUE(nodes[i].systemText.empty()) << path;
            continue;
        }
        EXPECT_EQ(nodes[i].systemText, std::strerror(expected[i].error)) << path;
        // One line each for stderr, naming the node, the reason and the errno.
        ASSERT_LT(line, messages.size());
        EXPECT_EQ(messages[line++], path + ": cannot be used: " + std::strerror(expected[i].error) + " (" +
                                        expected[i].errnoName + ")");
    }
    EXPECT_EQ(line, messages.size());
    // Unusable or not, the sr nodes keep their letters; only the answering
    // generic node becomes an ASPI target.
    EXPECT_EQ(map->letter('D').devicePath, devDir + "/sr0");
    EXPECT_EQ(map->letter('I').devicePath, devDir + "/sr5");
    ASSERT_EQ(map->aspiTargets().size(), 1u);
    EXPECT_EQ(map->aspiTargets()[0].devicePath, devDir + "/sg2");

    // Without real drives nothing is examined.
    messages.clear();
    EXPECT_TRUE(DeviceMap::build(options("", false), sg, messages)->opticalNodes().empty());
    EXPECT_TRUE(messages.empty());
}

// More virtual ASPI drives than a program can list: only the places that
// discovery would reach before its table is full get their images loaded
// (each holds its files open); the rest are refused with one line.
TEST_F(DeviceMapTest, VirtualAspiDrivesBeyondTheListableAreNotLoaded)
{
    std::string setting = "E=" + disc.cuePath;
    for (int k = 0; k < 40; ++k) {  // 40 places, out of order
        const int i = (k * 7) % 40;
        setting += ";aspi:" + std::to_string(i / 16) + ":" + std::to_string(i % 16) + "=" + disc.cuePath;
    }
    const auto map = DeviceMap::build(options(setting, false), sg, messages);
    ASSERT_EQ(map->aspiTargets().size(), 32u);
    EXPECT_EQ(map->aspiTargets().front().adapter, 0);
    EXPECT_EQ(map->aspiTargets().back().adapter, 1);
    EXPECT_EQ(map->aspiTargets().back().target, 15);
    EXPECT_EQ(map->letter('E').kind, LetterDrive::Kind::Virtual);
    for (const AspiTarget& target : map->aspiTargets()) EXPECT_TRUE(target.unit);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "RILVANE_VIRTUAL_DRIVES: 8 ASPI entries from aspi:2:0 on skipped: at most 32 drives can "
                           "be listed");
}

// Only CD drives' device nodes named srN are drives, each device once:
// whatever else carries such a name (a FIFO, a folder, a regular file, a
// link to another device) is named as no drive, and further names of a
// device listed already are left out. Asked of the kernel itself.
TEST_F(DeviceMapTest, OnlyCdDeviceNodesAreDrivesAndEachDeviceOnce)
{
    ASSERT_EQ(mkfifo((devDir + "/sr0").c_str(), 0644), 0);
    std::filesystem::create_directory(devDir + "/sr1");
    touch(devDir + "/sr2");
    std::filesystem::create_symlink("/dev/null", devDir + "/sr3");
    const auto map = DeviceMap::build(options(""), *scsiGeneric(), messages);
    EXPECT_EQ(map->logicalDrives(), 1u << 2);  // C: only
    const char* kinds[] = {"a FIFO", "a folder", "a regular file", "a device of another kind"};
    ASSERT_EQ(map->opticalNodes().size(), 4u);
    ASSERT_EQ(messages.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        const OpticalNode& node = map->opticalNodes()[i];
        EXPECT_EQ(node.path, devDir + "/sr" + std::to_string(i));
        EXPECT_FALSE(node.cdDevice);
        EXPECT_NE(node.error, 0);
        EXPECT_EQ(messages[i], node.path + ": not a CD drive's device node (" + kinds[i] + "), not used as a drive");
    }

    // sr4, sr04 and sr000004 as names of one node, sr5 and a hard link sr05
    // to it: two drives, under their shortest names. The generic nodes alike.
    std::filesystem::remove_all(devDir);
    std::filesystem::create_directory(devDir);
    touch(devDir + "/sr4");
    std::filesystem::create_symlink(devDir + "/sr4", devDir + "/sr04");
    std::filesystem::create_symlink("sr4", devDir + "/sr000004");
    touch(devDir + "/sr5");
    std::filesystem::create_hard_link(devDir + "/sr5", devDir + "/sr05");
    touch(devDir + "/sg0");
    std::filesystem::create_hard_link(devDir + "/sg0", devDir + "/sg00");
    sg.ids[devDir + "/sg0"] = sg_scsi_id{1, 0, 0, 0, 5, 0, 0, {0, 0}};
    sg.ids[devDir + "/sg00"] = sg.ids[devDir + "/sg0"];
    messages.clear();
    const auto named = DeviceMap::build(options(""), sg, messages);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(named->letter('D').devicePath, devDir + "/sr4");
    EXPECT_EQ(named->letter('E').devicePath, devDir + "/sr5");
    EXPECT_EQ(named->letter('F').kind, LetterDrive::Kind::None);
    std::vector<std::string> paths;
    for (const OpticalNode& node : named->opticalNodes()) paths.push_back(node.path);
    EXPECT_EQ(paths, (std::vector<std::string>{devDir + "/sr4", devDir + "/sr5", devDir + "/sg0"}));
    EXPECT_EQ(named->aspiTargets().size(), 1u);
}

// The Windows calls over the map in use.
class DriveLetterCalls : public DeviceMapTest {
protected:
    void TearDown() override
    {
        DeviceOptions empty;
        empty.realDrives = false;
        reloadDevices(empty);
    }

    ScopedFakeScsiGeneric installed;
};

TEST_F(DriveLetterCalls, AnswerFromTheMap)
{
    touch(devDir + "/sr0");
    reloadDevices(options("E=" + disc.cuePath));
    EXPECT_EQ(GetLogicalDrives(), (1u << 2) | (1u << 3) | (1u << 4));
    EXPECT_EQ(GetDriveTypeA("C:\\"), DRIVE_FIXED);
    EXPECT_EQ(GetDriveTypeA(nullptr), DRIVE_FIXED);
    EXPECT_EQ(GetDriveTypeA("D:\\"), DRIVE_CDROM);
    EXPECT_EQ(GetDriveTypeA("e:"), DRIVE_CDROM);
    EXPECT_EQ(GetDriveTypeA("E:/"), DRIVE_CDROM);
    EXPECT_EQ(GetDriveTypeA("F:\\"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(GetDriveTypeA("E:\\x"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(GetDriveTypeA(""), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(GetDriveTypeA("1:\\"), DRIVE_NO_ROOT_DIR);
}

TEST_F(DriveLetterCalls, CreateFileOpensDrivesOnly)
{
    touch(devDir + "/sr0");
    reloadDevices(options("E=" + disc.cuePath));

    HANDLE optical = CreateFileA("\\\\.\\D:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(optical, INVALID_HANDLE_VALUE);
    HANDLE virtualDrive = CreateFileA("\\\\.\\e:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(virtualDrive, INVALID_HANDLE_VALUE);
    EXPECT_NE(optical, virtualDrive);
    EXPECT_TRUE(CloseHandle(optical));
    EXPECT_TRUE(CloseHandle(virtualDrive));

    struct Case {
        const char* path;
        DWORD error;
    };
    for (const Case& c : {Case{"\\\\.\\F:", ERROR_FILE_NOT_FOUND}, Case{"\\\\.\\C:", ERROR_ACCESS_DENIED},
                          Case{"\\\\.\\E:\\", ERROR_PATH_NOT_FOUND}, Case{"E:", ERROR_PATH_NOT_FOUND},
                          Case{"/dev/sr0", ERROR_PATH_NOT_FOUND}, Case{"", ERROR_PATH_NOT_FOUND}}) {
        EXPECT_EQ(CreateFileA(c.path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE)
            << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
    EXPECT_EQ(CreateFileA(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
}

TEST_F(DriveLetterCalls, AnOpticalDriveThatCannotBeOpenedGivesAnError)
{
    touch(devDir + "/sr0");
    reloadDevices(options(""));
    std::filesystem::remove(devDir + "/sr0");  // unplugged after the scan
    EXPECT_EQ(CreateFileA("\\\\.\\D:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(DriveLetterCalls, TheEnvironmentIsReadWhenTheMapIsBuilt)
{
    ScopedEnv drives("RILVANE_VIRTUAL_DRIVES", "K=" + disc.cuePath + ";aspi:2:0=" + disc.cuePath + ";Q=/none.cue");
    ScopedEnv noReal("RILVANE_NO_REAL_DRIVES", "1");
    reloadDevices();
    EXPECT_EQ(GetDriveTypeA("K:\\"), DRIVE_CDROM);
    EXPECT_EQ(GetDriveTypeA("Q:\\"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(devices()->adapterCount(), 3);

    // The device folder can be moved, so that nodes can be tried without /dev.
    EXPECT_EQ(DeviceOptions::fromEnvironment().deviceDirectory, "/dev");
    ScopedEnv folder("RILVANE_DEVICE_DIR", devDir);
    EXPECT_EQ(DeviceOptions::fromEnvironment().deviceDirectory, devDir);
}

}  // namespace
