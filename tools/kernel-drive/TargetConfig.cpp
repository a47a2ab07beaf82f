#include "TargetConfig.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace rilvane::kerneldrive {

namespace {

const std::string kConfig = "/sys/kernel/config";
const std::string kTarget = kConfig + "/target";
const std::string kHba = kTarget + "/core/user_0";
const std::string kLoopback = kTarget + "/loopback";

bool exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool writeFile(const std::string& path, const std::string& text, std::string& error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    const ssize_t n = ::write(fd, text.data(), text.size());
    const int saved = errno;
    ::close(fd);
    if (n != static_cast<ssize_t>(text.size())) {
        error = path + " <- \"" + text + "\": " + std::strerror(n < 0 ? saved : EIO);
        return false;
    }
    return true;
}

bool makeDir(const std::string& path, std::string& error)
{
    if (::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST)
        return true;
    error = path + ": " + std::strerror(errno);
    return false;
}

std::string randomWwn()
{
    std::random_device device;
    std::mt19937_64 bits(device() ^ static_cast<uint64_t>(::getpid()) ^
                         static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    char text[32];
    // NAA 5, the IEEE company id the kernel's own target tools use for local names.
    std::snprintf(text, sizeof text, "naa.5001405%09llx",
                  static_cast<unsigned long long>(bits() & 0xFFFFFFFFFULL));
    return text;
}

std::string firstEntry(const std::string& dir)
{
    std::string found;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            if (e->d_name[0] != '.') {
                found = e->d_name;
                break;
            }
        }
        ::closedir(d);
    }
    return found;
}

}  // namespace

std::vector<std::string> missingPrerequisites()
{
    std::vector<std::string> missing;
    if (::geteuid() != 0)
        missing.push_back("Nur root kann ein Laufwerk im Kernel anlegen (configfs, /dev/uio*).");
    if (!exists(kConfig + "/"))
        missing.push_back("configfs fehlt: /sys/kernel/config (mount -t configfs none /sys/kernel/config)");
    if (!exists("/sys/module/target_core_user"))
        missing.push_back("Kernelmodul target_core_user ist nicht geladen (modprobe target_core_user)");
    if (!exists("/sys/module/tcm_loop"))
        missing.push_back("Kernelmodul tcm_loop ist nicht geladen (modprobe tcm_loop)");
    return missing;
}

TargetConfig::TargetConfig(std::string name) : name_(std::move(name)) {}

TargetConfig::~TargetConfig()
{
    removeAll();
}

bool TargetConfig::createDevice(uint64_t sizeBytes, std::string& error)
{
    if (!makeDir(kHba, error))
        return false;
    devicePath_ = kHba + "/" + name_;
    if (exists(devicePath_)) {
        error = devicePath_ + " gibt es schon (läuft das Laufwerk schon?)";
        return false;
    }
    if (!makeDir(devicePath_, error))
        return false;
    device_ = true;
    return writeFile(devicePath_ + "/control", "dev_config=rilvane/" + name_, error) &&
           writeFile(devicePath_ + "/control", "dev_size=" + std::to_string(sizeBytes), error) &&
           writeFile(devicePath_ + "/control", "hw_block_size=2048", error) &&
           writeFile(devicePath_ + "/enable", "1", error);
}

bool TargetConfig::createLun(std::string& error)
{
    // The fabric's folder appears when first asked for.
    if (!makeDir(kLoopback, error))
        return false;
    wwnPath_ = kLoopback + "/" + randomWwn();
    const std::string tpg = wwnPath_ + "/tpgt_1";
    const std::string lun = tpg + "/lun/lun_0";
    if (!makeDir(wwnPath_, error) || !makeDir(tpg, error) || !makeDir(lun, error))
        return false;
    lun_ = true;
    if (!writeFile(tpg + "/nexus", randomWwn(), error))
        return false;
    nexus_ = true;
    const std::string link = lun + "/" + name_;
    if (::symlink(devicePath_.c_str(), link.c_str()) != 0) {
        error = link + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string TargetConfig::scsiAddress() const
{
    if (wwnPath_.empty())
        return {};
    std::ifstream in(wwnPath_ + "/tpgt_1/address");
    std::string address;  // "HOST:0:TARGET"
    std::getline(in, address);
    return address.empty() ? address : address + ":0";
}

void TargetConfig::removeLun()
{
    if (!lun_)
        return;
    const std::string lun = wwnPath_ + "/tpgt_1/lun/lun_0";
    ::unlink((lun + "/" + name_).c_str());
    ::rmdir(lun.c_str());
    lun_ = false;
}

void TargetConfig::removeAll()
{
    removeLun();
    if (!wwnPath_.empty()) {
        // Removing the portal group drops the nexus and with it the SCSI host.
        ::rmdir((wwnPath_ + "/tpgt_1").c_str());
        ::rmdir(wwnPath_.c_str());
        wwnPath_.clear();
        nexus_ = false;
    }
    if (device_) {
        ::rmdir(devicePath_.c_str());
        ::rmdir(kHba.c_str());  // fails, as it should, while others use it
        device_ = false;
    }
}

std::string blockNodeOf(const std::string& address)
{
    const std::string name = firstEntry("/sys/bus/scsi/devices/" + address + "/block");
    return name.empty() ? name : "/dev/" + name;
}

std::string genericNodeOf(const std::string& address)
{
    const std::string name = firstEntry("/sys/bus/scsi/devices/" + address + "/scsi_generic");
    return name.empty() ? name : "/dev/" + name;
}

}  // namespace rilvane::kerneldrive
