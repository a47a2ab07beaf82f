// rilvane-kernel-drive: a virtual disc as a real SCSI CD-ROM drive of the
// running kernel. The TCMU ring is served on a thread of its own with the
// image drive the platform layer uses for its virtual drives; the main thread
// makes and removes the configfs objects and takes signals and control
// commands. Removal runs while the ring is still served, since the kernel
// sends its last commands as it takes the drive away.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "KernelDriveArguments.h"
#include "RingTranslation.h"
#include "TargetConfig.h"
#include "TcmuRing.h"
#include "vdrive/DiscImage.h"
#include "vdrive/MediumSlot.h"
#include "vdrive/ScsiOpcodes.h"
#include "vdrive/VirtualDrive.h"

using namespace rilvane;
using namespace rilvane::kerneldrive;

namespace {

constexpr const char* kTool = "rilvane-kernel-drive: ";

int sendControl(const KernelDriveArguments& args)
{
    const std::string path = args.controlPath();
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        std::cerr << kTool << "kein laufendes Laufwerk an " << path << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    const char* word = args.action == KernelDriveArguments::Action::Eject    ? "eject\n"
                       : args.action == KernelDriveArguments::Action::Insert ? "insert\n"
                                                                             : "remove\n";
    const ssize_t n = ::write(fd, word, std::strlen(word));
    ::close(fd);
    if (n != static_cast<ssize_t>(std::strlen(word))) {
        std::cerr << kTool << path << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    return 0;
}

struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

void signalEvent(int fd)
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
}

std::string waitForNode(std::string (*nodeOf)(const std::string&), const TargetConfig& config)
{
    for (int i = 0; i < 100; ++i) {
        const std::string address = config.scsiAddress();
        if (!address.empty()) {
            const std::string node = nodeOf(address);
            if (!node.empty() && ::access(node.c_str(), F_OK) == 0)
                return node;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return {};
}

int serve(const KernelDriveArguments& args)
{
    const std::vector<std::string> missing = missingPrerequisites();
    if (!missing.empty()) {
        for (const std::string& line : missing)
            std::cerr << kTool << line << "\n";
        return 1;
    }
    std::string error;
    std::unique_ptr<vdrive::MediumSlot> drive = vdrive::MediumSlot::load(args.cuePath, args.defectsPath, error);
    const std::unique_ptr<vdrive::DiscImage> image = drive ? vdrive::DiscImage::open(args.cuePath, error) : nullptr;
    if (!drive || !image) {
        std::cerr << kTool << error << "\n";
        return 1;
    }
    vdrive::MediumSlot& slot = *drive;
    std::ofstream trace;
    if (!args.tracePath.empty()) {
        trace.open(args.tracePath, std::ios::out | std::ios::trunc);
        if (!trace) {
            std::cerr << kTool << args.tracePath << ": " << std::strerror(errno) << "\n";
            return 1;
        }
    }

    // Signals arrive on a descriptor of the main thread; the ring thread
    // inherits the blocked mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    Fd signalFd(::signalfd(-1, &signals, SFD_CLOEXEC));
    Fd stopRing(::eventfd(0, EFD_CLOEXEC));
    Fd removeRequest(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));

    TargetConfig config(args.name);
    if (!config.createDevice(static_cast<uint64_t>(image->leadOut()) * 2048, error)) {
        std::cerr << kTool << error << "\n";
        return 1;
    }
    std::string uio;
    for (int i = 0; i < 40 && uio.empty(); ++i) {
        uio = findUioNode(args.name);
        if (uio.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    TcmuRing ring;
    if (uio.empty()) {
        std::cerr << kTool << "kein UIO-Gerät für " << args.name << " erschienen\n";
        return 1;
    }
    if (!ring.open(uio, error)) {
        std::cerr << kTool << error << "\n";
        return 1;
    }

    std::atomic<uint64_t> commands{0};
    // Reads of the medium (READ CD, READ(10), READ(12)) and how many of them
    // failed, for benchmarks that compare how often readers ask the drive.
    std::atomic<uint64_t> reads{0};
    std::atomic<uint64_t> failedReads{0};
    const TcmuRing::Handler handler = [&](RingCommand& command) {
        ++commands;
        const Translation translation = translate(slot, command);
        if (translation.driveGone)
            signalEvent(removeRequest.fd);
        if (vdrive::op::readsMedium(command.cdb[0])) {
            ++reads;
            if (translation.answer.status != 0)
                ++failedReads;
        }
        if (trace.is_open())
            trace << traceLine(command, translation.answer) << std::endl;
        return translation.answer;
    };
    std::thread ringThread([&] { ring.serve(handler, stopRing.fd); });
    auto stopServing = [&] {
        config.removeAll();
        signalEvent(stopRing.fd);
        ringThread.join();
    };

    const std::string controlPath = args.controlPath();
    ::unlink(controlPath.c_str());
    if (::mkfifo(controlPath.c_str(), 0600) != 0) {
        std::cerr << kTool << controlPath << ": " << std::strerror(errno) << "\n";
        stopServing();
        return 1;
    }
    // Opened for reading and writing, so that it never reports end of file.
    Fd control(::open(controlPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));

    if (!config.createLun(error)) {
        std::cerr << kTool << error << "\n";
        stopServing();
        ::unlink(controlPath.c_str());
        return 1;
    }
    const std::string block = waitForNode(blockNodeOf, config);
    const std::string generic = waitForNode(genericNodeOf, config);
    if (block.empty() && generic.empty())
        std::cerr << kTool << "der Kernel hat kein Gerät angelegt (SCSI " << config.scsiAddress() << ")\n";
    std::cout << "Laufwerk bereit: " << (block.empty() ? "-" : block) << " " << (generic.empty() ? "-" : generic)
              << " (SCSI " << config.scsiAddress() << ", Steuerung: " << controlPath << ")" << std::endl;

    std::string pending;
    for (bool running = true; running;) {
        pollfd fds[3] = {{signalFd.fd, POLLIN, 0}, {control.fd, POLLIN, 0}, {removeRequest.fd, POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents != 0)
            running = false;
        if (fds[2].revents != 0) {
            uint64_t n = 0;
            [[maybe_unused]] const ssize_t r = ::read(removeRequest.fd, &n, sizeof n);
            config.removeLun();
            std::cout << "Laufwerk dem Kernel weggenommen" << std::endl;
        }
        if (fds[1].revents != 0) {
            char buffer[256];
            const ssize_t n = ::read(control.fd, buffer, sizeof buffer);
            if (n > 0)
                pending.append(buffer, static_cast<size_t>(n));
            for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
                const std::string word = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (word == "eject") {
                    slot.eject();
                    std::cout << "CD herausgenommen" << std::endl;
                } else if (word == "insert") {
                    slot.insert();
                    std::cout << "CD eingelegt" << std::endl;
                } else if (word == "remove") {
                    config.removeLun();
                    std::cout << "Laufwerk dem Kernel weggenommen" << std::endl;
                } else if (word == "counts") {
                    std::cout << "Lesebefehle: " << reads.load() << ", davon fehlgeschlagen: " << failedReads.load()
                              << std::endl;
                } else if (!word.empty()) {
                    std::cerr << kTool << "unbekannter Steuerbefehl: " << word << "\n";
                }
            }
            if (pending.size() > 1024)
                pending.clear();
        }
    }
    stopServing();
    ::unlink(controlPath.c_str());
    std::cout << "Laufwerk entfernt (" << commands.load() << " Befehle beantwortet)" << std::endl;
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = KernelDriveArguments::parse(args);
    if (!parsed) {
        std::cerr << KernelDriveArguments::usage();
        return 2;
    }
    switch (parsed->action) {
    case KernelDriveArguments::Action::Help:
        std::cout << KernelDriveArguments::usage();
        return 0;
    case KernelDriveArguments::Action::Version:
        std::cout << "rilvane-kernel-drive " << RILVANE_VERSION << "\n";
        return 0;
    case KernelDriveArguments::Action::Serve:
        return serve(*parsed);
    default:
        return sendControl(*parsed);
    }
}
