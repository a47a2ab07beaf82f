#include "DeviceMap.h"

#include "ScsiGeneric.h"
#include "UniqueFd.h"
#include "VirtualDriveConfig.h"

#include <dirent.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <tuple>

namespace rilvane::platform {

namespace {

struct NumberedEntry {
    int number = 0;
    std::string path;
};

// The entries named prefix + N (up to six digits) in a folder, by N; names
// of the same N ("sr0", "sr00") shortest first.
std::vector<NumberedEntry> numberedEntries(const std::string& folder, const std::string& prefix)
{
    std::vector<NumberedEntry> entries;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return entries;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0 || name.size() > prefix.size() + 6)
            continue;
        if (!std::all_of(name.begin() + static_cast<long>(prefix.size()), name.end(),
                         [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        entries.push_back({std::atoi(name.c_str() + prefix.size()), folder + "/" + name});
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const NumberedEntry& a, const NumberedEntry& b) {
        return std::make_tuple(a.number, a.path.size(), a.path) < std::make_tuple(b.number, b.path.size(), b.path);
    });
    return entries;
}

// What makes two names one node: the device a device node stands for, or
// the file itself for anything else.
using NodeIdentity = std::tuple<bool, unsigned long long, unsigned long long>;

NodeIdentity identityOf(const struct stat& info)
{
    if (S_ISBLK(info.st_mode) || S_ISCHR(info.st_mode))
        return {S_ISBLK(info.st_mode), static_cast<unsigned long long>(info.st_rdev), 0};
    return {false, static_cast<unsigned long long>(info.st_dev), static_cast<unsigned long long>(info.st_ino) + 1};
}

constexpr int kCdDevice = 5;
// The block devices of the SCSI CD driver (sr).
constexpr unsigned kScsiCdromMajor = 11;

// What a node is, for the line that says it is no drive.
std::string kindOf(const struct stat& info)
{
    if (S_ISFIFO(info.st_mode)) return "a FIFO";
    if (S_ISDIR(info.st_mode)) return "a folder";
    if (S_ISREG(info.st_mode)) return "a regular file";
    if (S_ISSOCK(info.st_mode)) return "a socket";
    return "a device of another kind";
}

// "EACCES", or the number where the system has no name for it.
std::string describeErrno(int error)
{
    const char* name = strerrorname_np(error);
    return name != nullptr ? std::string(name) : "errno " + std::to_string(error);
}

OpticalNode describeNode(const std::string& path, int error)
{
    OpticalNode node;
    node.path = path;
    node.error = error;
    if (error != 0) node.systemText = std::strerror(error);
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        node.groupId = info.st_gid;
        node.mode = info.st_mode & 07777;
        std::vector<char> buffer(16384);
        group entry {};
        group* found = nullptr;
        if (getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
            node.groupName = found->gr_name;
    }
    return node;
}

// Each srN in number order that is a CD drive's device node (a block node
// of the SCSI CD driver, or any node whose device the kernel calls a CD
// device), each device once however many names it has, opened once to
// learn whether it can be used. The paths of those go to `drives`; the
// others are kept as nodes that are no drive.
std::vector<OpticalNode> examineOpticalNodes(const std::string& folder, ScsiGeneric& sg,
                                             std::vector<std::string>& drives)
{
    std::vector<OpticalNode> nodes;
    std::set<NodeIdentity> seen;
    for (const NumberedEntry& entry : numberedEntries(folder, "sr")) {
        struct stat info {};
        if (::stat(entry.path.c_str(), &info) != 0) {
            // A link to nowhere, or a node gone since the folder was read.
            nodes.push_back(describeNode(entry.path, errno));
            continue;
        }
        if (!seen.insert(identityOf(info)).second) continue;
        const int type = sg.nodeType(entry.path);
        const bool cd = type == kCdDevice ||
                        (type < 0 && S_ISBLK(info.st_mode) && major(info.st_rdev) == kScsiCdromMajor);
        if (!cd) {
            OpticalNode node = describeNode(entry.path, ENODEV);
            node.cdDevice = false;
            node.systemText = "not a CD drive's device node (" + kindOf(info) + ")";
            nodes.push_back(std::move(node));
            continue;
        }
        int error = 0;
        openDeviceNode(sg, entry.path, error);
        nodes.push_back(describeNode(entry.path, error));
        drives.push_back(entry.path);
    }
    return nodes;
}

std::vector<SgDevice> scanScsiGeneric(const std::string& folder, ScsiGeneric& sg, std::vector<OpticalNode>& nodes)
{
    std::vector<SgDevice> devices;
    std::set<NodeIdentity> seen;
    for (const NumberedEntry& entry : numberedEntries(folder, "sg")) {
        struct stat info {};
        if (::stat(entry.path.c_str(), &info) == 0 && !seen.insert(identityOf(info)).second) continue;
        SgDevice device;
        device.path = entry.path;
        // A device we may not open cannot be used; when it is a CD device we
        // say why, the others are none of our business.
        int error = 0;
        UniqueFd fd = openDeviceNode(sg, device.path, error);
        sg_scsi_id id{};
        if (fd.valid()) error = sg.scsiId(fd.get(), id);
        if (error != 0) {
            if (sg.nodeType(device.path) == kCdDevice) nodes.push_back(describeNode(device.path, error));
            continue;
        }
        device.host = id.host_no;
        device.channel = id.channel;
        device.target = id.scsi_id;
        device.lun = id.lun;
        device.type = id.scsi_type;
        if ((device.type & 0x1F) == kCdDevice) nodes.push_back(describeNode(device.path, 0));
        devices.push_back(std::move(device));
    }
    return devices;
}

std::shared_ptr<VirtualUnit> loadUnit(const VirtualDriveEntry& entry, std::vector<std::string>& messages)
{
    std::string error;
    auto drive = vdrive::VirtualDrive::load(entry.cuePath, entry.defectsPath, error);
    if (!drive) {
        messages.push_back("RILVANE_VIRTUAL_DRIVES entry \"" + entry.text + "\": " +
                           (error.empty() ? std::string("cannot load the disc image") : error) + "; entry skipped");
        return nullptr;
    }
    return std::make_shared<VirtualUnit>(std::move(drive), entry.text);
}

// A program lists at most this many drives; every image loaded holds its
// files open for as long as the map lives.
constexpr std::size_t kListableDrives = 32;

// Drive discovery takes the CD devices at the ASPI places in ascending
// order until its table is full: the virtual drives at later places would
// never be listed, so their images are not loaded at all. Refused with one
// line for all of them.
void keepListableAspiEntries(std::vector<VirtualDriveEntry>& entries, std::vector<std::string>& messages)
{
    std::vector<std::tuple<uint8_t, uint8_t, std::size_t>> places;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].aspi) places.emplace_back(entries[i].adapter, entries[i].target, i);
    if (places.size() <= kListableDrives) return;
    std::sort(places.begin(), places.end());
    std::vector<bool> refused(entries.size(), false);
    for (std::size_t i = kListableDrives; i < places.size(); ++i) refused[std::get<2>(places[i])] = true;
    const VirtualDriveEntry& first = entries[std::get<2>(places[kListableDrives])];
    messages.push_back("RILVANE_VIRTUAL_DRIVES: " + std::to_string(places.size() - kListableDrives) +
                       " ASPI entries from aspi:" + std::to_string(first.adapter) + ":" +
                       std::to_string(first.target) + " on skipped: at most " + std::to_string(kListableDrives) +
                       " drives can be listed");
    std::vector<VirtualDriveEntry> kept;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (!refused[i]) kept.push_back(std::move(entries[i]));
    entries = std::move(kept);
}

}  // namespace

DeviceOptions DeviceOptions::fromEnvironment()
{
    DeviceOptions options;
    if (const char* setting = std::getenv("RILVANE_VIRTUAL_DRIVES")) options.virtualDrives = setting;
    const char* noReal = std::getenv("RILVANE_NO_REAL_DRIVES");
    options.realDrives = noReal == nullptr || noReal[0] == '\0' || std::string(noReal) == "0";
    if (const char* folder = std::getenv("RILVANE_DEVICE_DIR"); folder != nullptr && folder[0] != '\0')
        options.deviceDirectory = folder;
    return options;
}

std::vector<AspiTarget> DeviceMap::numberAdapters(const std::vector<SgDevice>& devices)
{
    std::set<int> hosts;
    for (const auto& device : devices) hosts.insert(device.host);
    std::map<int, int> adapterOfHost;
    for (int host : hosts) {
        const int adapter = static_cast<int>(adapterOfHost.size());
        adapterOfHost[host] = adapter;
    }
    std::vector<AspiTarget> targets;
    for (const auto& device : devices) {
        const int adapter = adapterOfHost[device.host];
        // The records carry adapter, target and LUN as bytes.
        if (adapter > 254 || device.target < 0 || device.target > 255 || device.lun < 0 || device.lun > 255) continue;
        AspiTarget target;
        target.adapter = static_cast<uint8_t>(adapter);
        target.target = static_cast<uint8_t>(device.target);
        target.lun = static_cast<uint8_t>(device.lun);
        target.deviceType = static_cast<uint8_t>(device.type & 0x1F);
        target.devicePath = device.path;
        target.host = device.host;
        // Two channels of one host can repeat a target id: the first wins.
        const bool taken = std::any_of(targets.begin(), targets.end(), [&](const AspiTarget& other) {
            return other.adapter == target.adapter && other.target == target.target && other.lun == target.lun;
        });
        if (!taken) targets.push_back(std::move(target));
    }
    return targets;
}

std::shared_ptr<const DeviceMap> DeviceMap::build(const DeviceOptions& options, ScsiGeneric& sg,
                                                  std::vector<std::string>& messages)
{
    auto map = std::make_shared<DeviceMap>();
    auto entries = parseVirtualDrives(options.virtualDrives, messages);
    keepListableAspiEntries(entries, messages);

    std::vector<AspiTarget> virtualTargets;
    for (const auto& entry : entries) {
        auto unit = loadUnit(entry, messages);
        if (!unit) continue;
        if (entry.aspi) {
            AspiTarget target;
            target.adapter = entry.adapter;
            target.target = entry.target;
            target.deviceType = 5;
            target.unit = std::move(unit);
            virtualTargets.push_back(std::move(target));
        } else {
            auto& drive = map->letters_[static_cast<std::size_t>(entry.letter - 'A')];
            drive.kind = LetterDrive::Kind::Virtual;
            drive.unit = std::move(unit);
        }
    }

    auto& fixed = map->letters_['C' - 'A'];
    if (fixed.kind == LetterDrive::Kind::None) fixed.kind = LetterDrive::Kind::Fixed;

    std::vector<AspiTarget> realTargets;
    if (options.realDrives) {
        std::vector<std::string> drivePaths;
        map->opticalNodes_ = examineOpticalNodes(options.deviceDirectory, sg, drivePaths);
        std::size_t next = 'D' - 'A';
        for (const std::string& path : drivePaths) {
            while (next < map->letters_.size() && map->letters_[next].kind != LetterDrive::Kind::None) ++next;
            if (next >= map->letters_.size()) break;
            map->letters_[next].kind = LetterDrive::Kind::Optical;
            map->letters_[next].devicePath = path;
        }
        realTargets = numberAdapters(scanScsiGeneric(options.deviceDirectory, sg, map->opticalNodes_));
        for (const auto& node : map->opticalNodes_) {
            if (!node.cdDevice) messages.push_back(node.path + ": " + node.systemText + ", not used as a drive");
            else if (node.error != 0)
                messages.push_back(node.path + ": cannot be used: " + node.systemText + " (" +
                                   describeErrno(node.error) + ")");
        }
    }

    map->aspiTargets_ = std::move(virtualTargets);
    for (auto& real : realTargets) {
        if (map->aspiTarget(real.adapter, real.target, real.lun) != nullptr) {
            messages.push_back("virtual ASPI drive at adapter " + std::to_string(real.adapter) + ", target " +
                               std::to_string(real.target) + " hides " + real.devicePath);
            continue;
        }
        map->aspiTargets_.push_back(std::move(real));
    }
    std::sort(map->aspiTargets_.begin(), map->aspiTargets_.end(), [](const AspiTarget& a, const AspiTarget& b) {
        return std::tie(a.adapter, a.target, a.lun) < std::tie(b.adapter, b.target, b.lun);
    });
    return map;
}

const LetterDrive& DeviceMap::letter(char letter) const
{
    static const LetterDrive none;
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z') return none;
    return letters_[static_cast<std::size_t>(letter - 'A')];
}

DWORD DeviceMap::logicalDrives() const
{
    DWORD mask = 0;
    for (std::size_t i = 0; i < letters_.size(); ++i)
        if (letters_[i].kind != LetterDrive::Kind::None) mask |= DWORD{1} << i;
    return mask;
}

const AspiTarget* DeviceMap::aspiTarget(uint8_t adapter, uint8_t target, uint8_t lun) const
{
    for (const auto& candidate : aspiTargets_)
        if (candidate.adapter == adapter && candidate.target == target && candidate.lun == lun) return &candidate;
    return nullptr;
}

int DeviceMap::adapterCount() const
{
    int count = 0;
    for (const auto& target : aspiTargets_) count = std::max(count, target.adapter + 1);
    return count;
}

namespace {

struct Registry {
    std::mutex mutex;
    std::shared_ptr<const DeviceMap> map;
};

Registry& registry()
{
    static Registry* state = new Registry();
    return *state;
}

std::shared_ptr<const DeviceMap> buildAndReport(const DeviceOptions& options)
{
    std::vector<std::string> messages;
    auto map = DeviceMap::build(options, *scsiGeneric(), messages);
    for (const auto& message : messages) std::fprintf(stderr, "rilvane: %s\n", message.c_str());
    return map;
}

}  // namespace

std::shared_ptr<const DeviceMap> devices()
{
    auto& state = registry();
    std::lock_guard lock(state.mutex);
    if (!state.map) state.map = buildAndReport(DeviceOptions::fromEnvironment());
    return state.map;
}

void reloadDevices()
{
    reloadDevices(DeviceOptions::fromEnvironment());
}

std::vector<OpticalNode> opticalNodes()
{
    return devices()->opticalNodes();
}

void reloadDevices(const DeviceOptions& options)
{
    auto map = buildAndReport(options);
    auto& state = registry();
    std::lock_guard lock(state.mutex);
    state.map = std::move(map);
}

}  // namespace rilvane::platform
