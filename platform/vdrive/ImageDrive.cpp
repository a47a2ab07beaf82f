#include "ImageDrive.h"

#include "Mode1Sector.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>

namespace rilvane::vdrive {

namespace {

constexpr uint8_t kTestUnitReady = 0x00;
constexpr uint8_t kInquiry = 0x12;
constexpr uint8_t kReadToc = 0x43;
constexpr uint8_t kReadCd = 0xBE;
constexpr uint8_t kModeSense10 = 0x5A;
constexpr uint8_t kRead12 = 0xA8;
constexpr uint8_t kSetCdSpeed = 0xBB;
constexpr uint8_t kCapabilitiesPage = 0x2A;
constexpr uint8_t kAllPages = 0x3F;

constexpr uint8_t kPeripheralCdDvd = 0x05;
constexpr size_t kStandardInquiryLength = 36;
constexpr uint8_t kLeadOutTrack = 0xAA;

// Sizes of the fields of a raw sector that READ CD can select.
constexpr int kSyncBytes = 12;
constexpr int kHeaderBytes = 4;
constexpr int kEdcEccBytes = kSectorBytes - kMode1UserOffset - kMode1UserBytes;  // 288
constexpr int kC2PointerBytes = 294;
constexpr int kC2WithBlockErrorBytes = 296;
constexpr uint8_t kForceUnitAccess = 0x08;
// How far the drive reads on after a read from the disc, into its cache:
// an eighth of the cache, at most this many sectors.
constexpr int64_t kMaxReadAhead = 32;

uint64_t drawSeed()
{
    uint64_t seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    try {
        std::random_device source;
        seed ^= uint64_t{source()} << 32 | source();
    } catch (const std::exception&) {
        // No random source: the clock alone still differs between runs.
    }
    return seed;
}

ScsiReply good(uint32_t transferred)
{
    ScsiReply reply;
    reply.transferred = transferred;
    return reply;
}

ScsiReply fail(const DefectAction& action)
{
    if (action.delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(action.delayMs));
    if (action.gone) {
        ScsiReply reply;
        reply.transportFailure = true;
        return reply;
    }
    return checkCondition(action.sense);
}

uint32_t copyOut(const uint8_t* source, size_t length, uint8_t* data, uint32_t dataLength)
{
    const size_t n = std::min<size_t>(length, dataLength);
    if (n > 0)
        std::memcpy(data, source, n);
    return static_cast<uint32_t>(n);
}

// What READ CD returns of each sector, from CDB byte 9 (and the sector's mode).
struct FieldSelection {
    bool sync = false;
    bool header = false;
    bool userData = false;
    bool edcEcc = false;
    int c2Bytes = 0;
};

// A data sector's fields can only be returned as one piece of the raw
// sector: sync, header, user data, EDC/ECC, without gaps between them.
bool isContiguous(const FieldSelection& f)
{
    const bool fields[4] = {f.sync, f.header, f.userData, f.edcEcc};
    int first = -1;
    int last = -1;
    int count = 0;
    for (int i = 0; i < 4; ++i) {
        if (fields[i]) {
            if (first < 0)
                first = i;
            last = i;
            ++count;
        }
    }
    return count == 0 || last - first + 1 == count;
}

int bytesPerSector(const FieldSelection& f, TrackMode mode)
{
    int bytes = f.c2Bytes;
    if (mode == TrackMode::Audio)
        return bytes + (f.userData ? kSectorBytes : 0);
    if (f.sync)
        bytes += kSyncBytes;
    if (f.header)
        bytes += kHeaderBytes;
    if (f.userData)
        bytes += kMode1UserBytes;
    if (f.edcEcc)
        bytes += kEdcEccBytes;
    return bytes;
}

// Lays out one sector's selected fields into out, the C2 pointers (294
// bytes) from `c2`; returns the byte count.
int composeSector(const uint8_t* raw, const uint8_t* c2, const FieldSelection& f, TrackMode mode, uint8_t* out)
{
    int n = 0;
    auto put = [&](int offset, int length) {
        std::memcpy(out + n, raw + offset, static_cast<size_t>(length));
        n += length;
    };
    if (mode == TrackMode::Audio) {
        if (f.userData)
            put(0, kSectorBytes);
    } else {
        if (f.sync)
            put(0, kSyncBytes);
        if (f.header)
            put(kSyncBytes, kHeaderBytes);
        if (f.userData)
            put(kMode1UserOffset, kMode1UserBytes);
        if (f.edcEcc)
            put(kMode1UserOffset + kMode1UserBytes, kEdcEccBytes);
    }
    if (f.c2Bytes == 0)
        return n;
    std::memcpy(out + n, c2, kC2PointerBytes);
    if (f.c2Bytes == kC2WithBlockErrorBytes) {
        // The block error byte (all pointer bytes or'ed together) and a pad byte.
        uint8_t any = 0;
        for (int i = 0; i < kC2PointerBytes; ++i)
            any |= c2[i];
        out[n + kC2PointerBytes] = any;
        out[n + kC2PointerBytes + 1] = 0;
    }
    return n + f.c2Bytes;
}

}  // namespace

ScsiReply checkCondition(SenseCode sense)
{
    ScsiReply reply;
    reply.status = 2;
    reply.sense[0] = 0x70;  // current error, fixed format
    reply.sense[2] = sense.key;
    reply.sense[7] = 10;    // additional sense length
    reply.sense[12] = sense.asc;
    reply.sense[13] = sense.ascq;
    reply.senseLength = sizeof reply.sense;
    return reply;
}

ScsiReply inDescriptorFormat(ScsiReply reply)
{
    if (reply.status != 2 || reply.senseLength < 14 || (reply.sense[0] & 0x7F) != 0x70)
        return reply;
    const SenseCode code{static_cast<uint8_t>(reply.sense[2] & 0x0F), reply.sense[12], reply.sense[13]};
    std::memset(reply.sense, 0, sizeof reply.sense);
    reply.sense[0] = 0x72;  // current error, descriptor format, no descriptors
    reply.sense[1] = code.key;
    reply.sense[2] = code.asc;
    reply.sense[3] = code.ascq;
    reply.senseLength = 8;
    return reply;
}

ImageDrive::ImageDrive(std::unique_ptr<DiscImage> image, DefectMap defects)
    : image_(std::move(image)), defects_(std::move(defects)), pace_(defects_.timedSpeed()), corruptSeed_(drawSeed())
{
}

std::string ImageDrive::productName() const
{
    return defects_.productName();
}

ScsiReply ImageDrive::execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength)
{
    std::lock_guard lock(mutex_);
    const ScsiReply reply = dispatch(cdb, cdbLength, data, dataLength);
    return defects_.descriptorSense() ? inDescriptorFormat(reply) : reply;
}

ScsiReply ImageDrive::dispatch(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength)
{
    if (data == nullptr)
        dataLength = 0;
    if (cdb == nullptr || cdbLength == 0)
        return checkCondition(kInvalidFieldInCdb);
    // Before it answers normally the drive may have no disc, be spinning up
    // or report the disc change; INQUIRY is answered all the same.
    const auto& startup = defects_.startup();
    if (cdb[0] != kInquiry && startupStep_ < startup.size()) {
        const StartupAnswer& step = startup[startupStep_];
        if (step.count != 0 && ++startupAnswered_ >= step.count) {
            ++startupStep_;
            startupAnswered_ = 0;
        }
        return checkCondition(step.sense);
    }
    switch (cdb[0]) {
    case kTestUnitReady:
        return cdbLength < 6 ? checkCondition(kInvalidFieldInCdb) : good(0);
    case kInquiry:
        return inquiry(cdb, cdbLength, data, dataLength);
    case kReadToc:
        return readToc(cdb, cdbLength, data, dataLength);
    case kReadCd:
        return readCd(cdb, cdbLength, data, dataLength);
    case kModeSense10:
        return modeSense(cdb, cdbLength, data, dataLength);
    case kRead12:
        return read12(cdb, cdbLength, data, dataLength);
    case kSetCdSpeed:
        return setCdSpeed(cdb, cdbLength);
    default:
        return checkCondition(kInvalidOpcode);
    }
}

ScsiReply ImageDrive::inquiry(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) const
{
    if (cdbLength < 6)
        return checkCondition(kInvalidFieldInCdb);
    const bool vitalProductData = (cdb[1] & 0x01) != 0;
    const uint8_t page = cdb[2];
    if (!vitalProductData && page != 0)
        return checkCondition(kInvalidFieldInCdb);
    if (vitalProductData && page != 0x00)
        return checkCondition(kInvalidFieldInCdb);
    if (defects_.inquiryFailure())
        return fail(*defects_.inquiryFailure());
    // Allocation length: bytes 3 and 4 (byte 3 is 0 in the older 8-bit form).
    const uint32_t allocation = uint32_t(cdb[3]) << 8 | cdb[4];
    const uint32_t room = std::min(allocation, dataLength);

    if (vitalProductData) {
        // Supported pages: only this list itself.
        const uint8_t pages[5] = {kPeripheralCdDvd, 0x00, 0x00, 0x01, 0x00};
        return good(copyOut(pages, sizeof pages, data, room));
    }

    std::array<uint8_t, kStandardInquiryLength> answer{};
    answer[0] = kPeripheralCdDvd;
    answer[1] = 0x80;  // removable medium
    answer[2] = 0x05;  // SPC-3
    answer[3] = 0x02;  // response data format 2
    answer[4] = static_cast<uint8_t>(kStandardInquiryLength - 5);
    std::memcpy(&answer[8], "RILVANE ", 8);
    std::string product = defects_.productName();
    product.resize(16, ' ');
    std::memcpy(&answer[16], product.data(), 16);
    std::memcpy(&answer[32], "1.0 ", 4);
    return good(copyOut(answer.data(), answer.size(), data, room));
}

ScsiReply ImageDrive::readToc(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) const
{
    if (cdbLength < 10)
        return checkCondition(kInvalidFieldInCdb);
    const bool msf = (cdb[1] & 0x02) != 0;
    const uint8_t format = cdb[2] & 0x0F;
    const uint8_t oldFormat = cdb[9] >> 6;  // the format field's older place
    if (msf || format != 0 || oldFormat != 0)
        return checkCondition(kInvalidFieldInCdb);

    const std::vector<CueTrack>& tracks = image_->sheet().tracks();
    const int firstTrack = tracks.front().number;
    const int lastTrack = tracks.back().number;
    const uint8_t startTrack = cdb[6];
    if (startTrack != kLeadOutTrack && startTrack > lastTrack)
        return checkCondition(kInvalidFieldInCdb);
    if (defects_.tocFailure())
        return fail(*defects_.tocFailure());

    auto control = [](const CueTrack& track) -> uint8_t {
        if (track.mode == TrackMode::Mode1)
            return 0x04 | (track.flags & 0x02);
        return track.flags & 0x0B;
    };
    // Header, at most 99 track descriptors and the lead-out.
    std::array<uint8_t, 4 + 8 * (kMaxTracks + 1)> answer{};
    size_t length = 4;
    auto descriptor = [&](uint8_t number, uint8_t adrControl, int64_t start) {
        uint8_t* d = &answer[length];
        d[1] = adrControl;
        d[2] = number;
        d[4] = static_cast<uint8_t>(start >> 24);
        d[5] = static_cast<uint8_t>(start >> 16);
        d[6] = static_cast<uint8_t>(start >> 8);
        d[7] = static_cast<uint8_t>(start);
        length += 8;
    };
    if (startTrack != kLeadOutTrack)
        for (const CueTrack& track : tracks)
            if (track.number >= startTrack)
                descriptor(static_cast<uint8_t>(track.number), 0x10 | control(track), track.start);
    descriptor(kLeadOutTrack, 0x10 | control(tracks.back()), image_->leadOut());
    const size_t dataField = length - 2;
    answer[0] = static_cast<uint8_t>(dataField >> 8);
    answer[1] = static_cast<uint8_t>(dataField);
    answer[2] = static_cast<uint8_t>(firstTrack);
    answer[3] = static_cast<uint8_t>(lastTrack);

    const uint32_t allocation = uint32_t(cdb[7]) << 8 | cdb[8];
    return good(copyOut(answer.data(), length, data, std::min(allocation, dataLength)));
}

ScsiReply ImageDrive::modeSense(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength) const
{
    if (cdbLength < 10)
        return checkCondition(kInvalidFieldInCdb);
    const uint8_t pageControl = cdb[2] >> 6;
    const uint8_t page = cdb[2] & 0x3F;
    // Current and default values only, and only the capabilities page.
    if ((page != kCapabilitiesPage && page != kAllPages) || pageControl == 1 || pageControl == 3)
        return checkCondition(kInvalidFieldInCdb);
    // Mode parameter header (8 bytes, no block descriptors), then the
    // CD capabilities and mechanical status page of 20 bytes.
    std::array<uint8_t, 8 + 22> answer{};
    answer[1] = static_cast<uint8_t>(answer.size() - 2);
    uint8_t* p = &answer[8];
    p[0] = kCapabilitiesPage;
    p[1] = 20;
    p[2] = 0x00;  // reads CD-R and CD-RW: no
    p[4] = 0x00;
    // Byte 5: CD-DA commands supported, the CD-DA stream is accurate, and
    // bit 4: C2 error pointers supported.
    p[5] = 0x03 | (defects_.reportsC2() ? 0x10 : 0x00);  // a lying drive claims them too
    p[6] = 0x29;  // tray loader, eject, lock
    const uint16_t top = ReadPace::kilobytesPerSecond(pace_.top());
    const uint16_t current = ReadPace::kilobytesPerSecond(pace_.current());
    p[8] = static_cast<uint8_t>(top >> 8);  // maximum read speed, kB/s
    p[9] = static_cast<uint8_t>(top);
    p[12] = 0x00;
    p[13] = 0x00;  // no buffer size given
    p[14] = static_cast<uint8_t>(current >> 8);  // current read speed, kB/s
    p[15] = static_cast<uint8_t>(current);
    const uint32_t allocation = uint32_t(cdb[7]) << 8 | cdb[8];
    return good(copyOut(answer.data(), answer.size(), data, std::min(allocation, dataLength)));
}

void ImageDrive::remember(int64_t sector, const uint8_t* raw)
{
    const uint32_t room = defects_.cacheSectors();
    if (room == 0)
        return;
    auto it = cache_.find(sector);
    if (it != cache_.end()) {
        cacheOrder_.erase(it->second.place);
    } else {
        if (cache_.size() >= room) {
            cache_.erase(cacheOrder_.back());
            cacheOrder_.pop_back();
        }
        it = cache_.emplace(sector, CachedSector{}).first;
    }
    cacheOrder_.push_front(sector);
    it->second.place = cacheOrder_.begin();
    std::memcpy(it->second.bytes.data(), raw, kSectorBytes);
}

void ImageDrive::emptyCache()
{
    cache_.clear();
    cacheOrder_.clear();
}

bool ImageDrive::fetchSector(int64_t sector, uint8_t* raw, uint8_t* c2, bool& fromDisc)
{
    std::memset(c2, 0, kC2PointerBytes);
    fromDisc = false;
    if (const auto hit = cache_.find(sector); hit != cache_.end()) {
        std::memcpy(raw, hit->second.bytes.data(), kSectorBytes);
        return true;
    }
    fromDisc = true;
    if (!image_->readSectors(sector, 1, raw))
        return false;
    for (const CorruptRange& range : defects_.corrupt()) {
        if (sector < range.first || sector > range.last)
            continue;
        const uint32_t read = ++corruptReads_[sector];
        if (read > range.reads)
            break;
        // A burst of wrong bytes whose place, length and values depend on
        // the sector and the read: no two wrong readings are alike.
        uint64_t state = (static_cast<uint64_t>(sector) * 0x9E3779B97F4A7C15ULL ^ (uint64_t{read} << 32 | 0x5BD1E995U) ^
                          corruptSeed_) |
                         1;  // xorshift never leaves 0
        auto next = [&state] {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            return state;
        };
        const int length = 16 + static_cast<int>(next() % 240);
        const int start = static_cast<int>(next() % static_cast<uint64_t>(kSectorBytes - length));
        for (int i = start; i < start + length; ++i) {
            raw[i] ^= static_cast<uint8_t>(next() % 255 + 1);
            c2[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
        }
        if (defects_.c2() == C2Support::Lies)
            std::memset(c2, 0, kC2PointerBytes);
        break;
    }
    remember(sector, raw);
    return true;
}

ScsiReply ImageDrive::readCd(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength)
{
    if (cdbLength < 12)
        return checkCondition(kInvalidFieldInCdb);
    const int expectedType = (cdb[1] >> 2) & 0x07;
    const auto lba = static_cast<int32_t>(uint32_t(cdb[2]) << 24 | uint32_t(cdb[3]) << 16 | uint32_t(cdb[4]) << 8 |
                                          uint32_t(cdb[5]));
    const int64_t count = int64_t(cdb[6]) << 16 | int64_t(cdb[7]) << 8 | cdb[8];
    const uint8_t flags = cdb[9];
    const int c2Code = (flags >> 1) & 0x03;
    const int headerCodes = (flags >> 5) & 0x03;
    const uint8_t subChannel = cdb[10] & 0x07;
    // Sector types 0 to 5 exist; C2 code 3 is reserved; the image has no sub-channel data.
    if (expectedType > 5 || c2Code == 3 || (flags & 0x01) != 0 || subChannel != 0)
        return checkCondition(kInvalidFieldInCdb);

    FieldSelection fields;
    fields.sync = (flags & 0x80) != 0;
    fields.header = (headerCodes & 0x01) != 0;  // header only, or all headers (Mode 1 has no sub-header)
    fields.userData = (flags & 0x10) != 0;
    fields.edcEcc = (flags & 0x08) != 0;
    fields.c2Bytes = c2Code == 1 ? kC2PointerBytes : c2Code == 2 ? kC2WithBlockErrorBytes : 0;

    const C2Support support = defects_.c2();
    const bool c2Refused = support == C2Support::None ||
                           (support == C2Support::Only294 && fields.c2Bytes != kC2PointerBytes) ||
                           (support == C2Support::Only296 && fields.c2Bytes != kC2WithBlockErrorBytes);
    if (fields.c2Bytes > 0 && c2Refused)
        return checkCondition(kInvalidFieldInCdb);

    const int64_t leadOut = image_->leadOut();
    if (lba < 0 || lba >= leadOut || count > leadOut - lba)
        return checkCondition(kLbaOutOfRange);
    if (count == 0)
        return good(0);

    // Every track the range touches must match the expected sector type.
    const std::vector<CueTrack>& tracks = image_->sheet().tracks();
    const int64_t end = lba + count;
    bool allAudio = true;
    for (size_t t = 0; t < tracks.size(); ++t) {
        const int64_t regionFirst = t == 0 ? 0 : tracks[t].regionStart;
        const int64_t regionEnd = t + 1 < tracks.size() ? tracks[t + 1].regionStart : leadOut;
        if (regionEnd <= lba || end <= regionFirst)
            continue;
        const TrackMode mode = tracks[t].mode;
        allAudio = allAudio && mode == TrackMode::Audio;
        const bool typeMatches = expectedType == 0 || (expectedType == 1 && mode == TrackMode::Audio) ||
                                 (expectedType == 2 && mode == TrackMode::Mode1);
        if (!typeMatches)
            return checkCondition(kIllegalModeForTrack);
        if (mode == TrackMode::Mode1 && !isContiguous(fields))
            return checkCondition(kInvalidFieldInCdb);
    }

    if (const DefectRange* defect = defects_.find(lba, count)) {
        if (!defect->action.shortTransfer)
            return fail(defect->action);
        // The drive reports success but stops sending early.
        dataLength = std::min(dataLength, defect->action.shortBytes);
    }

    if (const auto failure = mediumFailure(lba, end)) {
        pace_.spend(uncached(lba, end));
        return fail(*failure);
    }
    const bool plainImage = defects_.cacheSectors() == 0 && defects_.corrupt().empty();
    uint32_t written = 0;
    int64_t s = lba;
    if (plainImage && allAudio && fields.userData && fields.c2Bytes == 0) {
        // Whole audio sectors, as a read loop asks for them: the raw sectors
        // themselves, read straight into the caller's buffer in one go.
        const int64_t whole = std::min<int64_t>(count, dataLength / kSectorBytes);
        if (whole > 0 && !image_->readSectors(lba, whole, data))
            return checkCondition(kUnrecoveredReadError);
        written = static_cast<uint32_t>(whole * kSectorBytes);
        s += whole;
        pace_.spend(whole);
    }
    if (s == end || written == dataLength)
        return good(written);
    int64_t fromDisc = 0;
    // Sector by sector: the fields asked for, from each raw sector.
    std::array<uint8_t, kSectorBytes> raw{};
    std::array<uint8_t, kC2PointerBytes> c2{};
    std::array<uint8_t, kSectorBytes + kC2WithBlockErrorBytes> sector{};
    for (; s < end && written < dataLength; ++s) {
        const TrackMode mode = image_->sheet().trackOf(s).mode;
        if (bytesPerSector(fields, mode) == 0)
            continue;
        bool missed = false;
        if (!fetchSector(s, raw.data(), c2.data(), missed))
            return checkCondition(kUnrecoveredReadError);
        fromDisc += missed;
        const int n = composeSector(raw.data(), c2.data(), fields, mode, sector.data());
        written += copyOut(sector.data(), static_cast<size_t>(n), data + written, dataLength - written);
    }
    if (fromDisc > 0)
        fromDisc += readAhead(s);
    pace_.spend(fromDisc);
    return good(written);
}

std::optional<DefectAction> ImageDrive::mediumFailure(int64_t first, int64_t end)
{
    // Sectors that still fail some reads: every read that reaches the disc
    // counts for each of them, and one with failures left fails the read.
    const FlakyRange* flakyFailure = nullptr;
    for (const FlakyRange& range : defects_.flaky()) {
        const int64_t from = std::max<int64_t>(range.first, first);
        const int64_t to = std::min<int64_t>(range.last, end - 1);
        for (int64_t f = from; f <= to; ++f) {
            if (cache_.count(f))
                continue;
            if (++flakyReads_[f] <= range.failures && !flakyFailure)
                flakyFailure = &range;
        }
    }
    if (flakyFailure) {
        DefectAction action;
        action.sense = flakyFailure->sense;
        action.delayMs = flakyFailure->delayMs;
        return action;
    }
    for (const SlowRange& range : defects_.slow()) {
        if (pace_.current() <= range.maxSpeed)
            continue;
        const int64_t from = std::max<int64_t>(range.first, first);
        const int64_t to = std::min<int64_t>(range.last, end - 1);
        for (int64_t f = from; f <= to; ++f)
            if (!cache_.count(f)) {
                DefectAction action;
                action.sense = kUnrecoveredReadError;
                return action;
            }
    }
    return std::nullopt;
}

int64_t ImageDrive::uncached(int64_t first, int64_t end) const
{
    int64_t n = 0;
    for (int64_t s = first; s < end; ++s)
        n += cache_.count(s) == 0;
    return n;
}

int64_t ImageDrive::readAhead(int64_t end)
{
    const int64_t amount = std::min<int64_t>(defects_.cacheSectors() / 8, kMaxReadAhead);
    const int64_t stop = std::min(end + amount, image_->leadOut());
    std::array<uint8_t, kSectorBytes> raw{};
    std::array<uint8_t, kC2PointerBytes> c2{};
    int64_t read = 0;
    for (int64_t s = end; s < stop; ++s) {
        if (cache_.count(s))
            continue;
        // The drive reads ahead only as far as its reads come out clean: a
        // sector that fails, or that its decoder would not get right, ends
        // the read-ahead there and counts for nothing.
        if (defects_.find(s, 1))
            break;
        bool failing = false;
        for (const FlakyRange& range : defects_.flaky()) {
            const auto reads = flakyReads_.find(s);
            failing = failing || (s >= range.first && s <= range.last &&
                                  (reads == flakyReads_.end() ? 0 : reads->second) < range.failures);
        }
        for (const CorruptRange& range : defects_.corrupt()) {
            const auto reads = corruptReads_.find(s);
            failing = failing || (s >= range.first && s <= range.last &&
                                  (reads == corruptReads_.end() ? 0 : reads->second) < range.reads);
        }
        for (const SlowRange& range : defects_.slow())
            failing = failing || (s >= range.first && s <= range.last && pace_.current() > range.maxSpeed);
        bool missed = false;
        if (failing || !fetchSector(s, raw.data(), c2.data(), missed))
            break;
        ++read;
    }
    return read;
}

ScsiReply ImageDrive::setCdSpeed(const uint8_t* cdb, size_t cdbLength)
{
    if (cdbLength < 12)
        return checkCondition(kInvalidFieldInCdb);
    pace_.request(uint32_t(cdb[2]) << 8 | cdb[3]);
    return good(0);
}

ScsiReply ImageDrive::read12(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength)
{
    if (cdbLength < 12)
        return checkCondition(kInvalidFieldInCdb);
    const auto lba = static_cast<int32_t>(uint32_t(cdb[2]) << 24 | uint32_t(cdb[3]) << 16 | uint32_t(cdb[4]) << 8 |
                                          uint32_t(cdb[5]));
    const int64_t count = int64_t(cdb[6]) << 24 | int64_t(cdb[7]) << 16 | int64_t(cdb[8]) << 8 | cdb[9];
    const int64_t leadOut = image_->leadOut();
    if (lba < 0 || lba >= leadOut || count > leadOut - lba)
        return checkCondition(kLbaOutOfRange);
    // FUA: the data must come from the disc. A drive that honours it for
    // its cache forgets everything cached, whatever the sectors asked for.
    if ((cdb[1] & kForceUnitAccess) != 0 && defects_.cacheObeysFua())
        emptyCache();
    if (count == 0)
        return good(0);
    // Blocks of 2048 bytes: user data of data sectors only.
    const int64_t end = lba + count;
    for (int64_t s = lba; s < end; ++s)
        if (image_->sheet().trackOf(s).mode != TrackMode::Mode1)
            return checkCondition(kIllegalModeForTrack);
    if (const DefectRange* defect = defects_.find(lba, count); defect && !defect->action.shortTransfer)
        return fail(defect->action);
    if (const auto failure = mediumFailure(lba, end)) {
        pace_.spend(uncached(lba, end));
        return fail(*failure);
    }
    std::array<uint8_t, kSectorBytes> raw{};
    std::array<uint8_t, kC2PointerBytes> c2{};
    uint32_t written = 0;
    int64_t fromDisc = 0;
    for (int64_t s = lba; s < end && written < dataLength; ++s) {
        bool missed = false;
        if (!fetchSector(s, raw.data(), c2.data(), missed))
            return checkCondition(kUnrecoveredReadError);
        fromDisc += missed;
        written += copyOut(raw.data() + kMode1UserOffset, kMode1UserBytes, data + written, dataLength - written);
    }
    pace_.spend(fromDisc);
    return good(written);
}

}  // namespace rilvane::vdrive
