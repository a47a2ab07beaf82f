#include "ImageDrive.h"

#include "ReadCd.h"
#include "ScsiOpcodes.h"
#include "ScsiReplies.h"
#include "TocReplies.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace rilvane::vdrive {

namespace {

constexpr uint8_t kCapabilitiesPage = 0x2A;
constexpr uint8_t kAllPages = 0x3F;

constexpr uint8_t kPeripheralCdDvd = 0x05;
constexpr size_t kStandardInquiryLength = 36;

}  // namespace

ImageDrive::ImageDrive(std::unique_ptr<DiscImage> image, DefectMap defects)
    : image_(std::move(image)), defects_(std::move(defects)), reader_(*image_, defects_)
{
}

std::string ImageDrive::productName() const
{
    return defects_.map().productName();
}

ScsiReply ImageDrive::execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength)
{
    std::lock_guard lock(mutex_);
    const ScsiReply reply = dispatch(cdb, cdbLength, data, dataLength);
    return defects_.map().descriptorSense() ? inDescriptorFormat(reply) : reply;
}

ScsiReply ImageDrive::dispatch(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength)
{
    if (data == nullptr)
        dataLength = 0;
    if (cdb == nullptr || cdbLength == 0)
        return checkCondition(kInvalidFieldInCdb);
    if (auto notYet = defects_.startupAnswer(cdb[0]))
        return *notYet;
    const DefectMap& map = defects_.map();
    switch (cdb[0]) {
    case op::kTestUnitReady:
        return cdbLength < 6 ? checkCondition(kInvalidFieldInCdb) : good(0);
    case op::kInquiry:
        return inquiry(cdb, cdbLength, data, dataLength);
    case op::kReadToc:
        if (cdbLength >= 10 && map.tocFailure())
            return defectReply(*map.tocFailure());
        return readToc(*image_, cdb, cdbLength, data, dataLength);
    case op::kReadCd:
        return readCd(reader_, map.reportsC2(), cdb, cdbLength, data, dataLength);
    case op::kModeSense10:
        return modeSense(cdb, cdbLength, data, dataLength);
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
    if (defects_.map().inquiryFailure())
        return defectReply(*defects_.map().inquiryFailure());
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
    std::string product = defects_.map().productName();
    product.resize(16, ' ');
    std::memcpy(&answer[16], product.data(), 16);
    std::memcpy(&answer[32], "1.0 ", 4);
    return good(copyOut(answer.data(), answer.size(), data, room));
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
    p[5] = 0x03 | (defects_.map().reportsC2() ? 0x10 : 0x00);
    p[6] = 0x29;  // tray loader, eject, lock
    p[8] = 0x1B;  // maximum read speed 7056 kB/s (40x)
    p[9] = 0x90;
    p[12] = 0x00;
    p[13] = 0x00;  // no buffer size given
    p[14] = 0x1B;
    p[15] = 0x90;
    const uint32_t allocation = uint32_t(cdb[7]) << 8 | cdb[8];
    return good(copyOut(answer.data(), answer.size(), data, std::min(allocation, dataLength)));
}

}  // namespace rilvane::vdrive
