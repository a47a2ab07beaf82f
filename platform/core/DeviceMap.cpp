#include "DeviceMap.h"

#include "ScsiGeneric.h"
#include "UniqueFd.h"
#include "VirtualDriveConfig.h"

#include <dirent.h>
#include <grp.h>
#include <sys/stat.h>
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

// Numbers N of the entries named prefix + N in a folder, ascending.
std::vector<int> numberedEntries(const std::string& folder, const std::string& prefix)
{
    std::vector<int> numbers;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return numbers;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0 || name.size() > prefix.size() + 6)
            continue;
        if (!std::all_of(name.begin() + static_cast<long>(prefix.size()), name.end(),
                         [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        numbers.push_back(std::atoi(name.c_str() + prefix.size()));
    }
    closedir(dir);
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

constexpr int kCdDevice = 5;

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
        std::vector<char> buffer(16384);
        group entry {};
        group* found = nullptr;
        if (getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
            node.groupName = found->gr_name;
    }
    return node;
}

// Each /dev/srN in number order, opened once to learn whether it can be used.
std::vector<OpticalNode> examineOpticalNodes(const std::string& folder, ScsiGeneric& sg)
{
    std::vector<OpticalNode> nodes;
    for (int number : numberedEntries(folder, "sr")) {
        const std::string path = folder + "/sr" + std::to_string(number);
        int error = 0;
        openDeviceNode(sg, path, error);
        nodes.push_back(describeNode(path, error));
    }
    return nodes;
}

std::vector<SgDevice> scanScsiGeneric(const std::string& folder, ScsiGeneric& sg, std::vector<OpticalNode>& nodes)
{
    std::vector<SgDevice> devices;
    for (int number : numberedEntries(folder, "sg")) {
        SgDevice device;
        device.path = folder + "/sg" + std::to_string(number);
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
    const auto entries = parseVirtualDrives(options.virtualDrives, messages);

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
        std::size_t next = 'D' - 'A';
        for (int number : numberedEntries(options.deviceDirectory, "sr")) {
            while (next < map->letters_.size() && map->letters_[next].kind != LetterDrive::Kind::None) ++next;
            if (next >= map->letters_.size()) break;
            map->letters_[next].kind = LetterDrive::Kind::Optical;
            map->letters_[next].devicePath = options.deviceDirectory + "/sr" + std::to_string(number);
        }
        map->opticalNodes_ = examineOpticalNodes(options.deviceDirectory, sg);
        realTargets = numberAdapters(scanScsiGeneric(options.deviceDirectory, sg, map->opticalNodes_));
        for (const auto& node : map->opticalNodes_)
            if (node.error != 0)
                messages.push_back(node.path + ": cannot be used: " + node.systemText + " (" +
                                   describeErrno(node.error) + ")");
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
