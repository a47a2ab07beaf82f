// SHA-256 (FIPS 180-4), for the seal at the end of a rip log.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace rilvane::proof {

class Sha256 {
public:
    Sha256();
    void add(const uint8_t* data, size_t size);
    void add(const std::string& text) { add(reinterpret_cast<const uint8_t*>(text.data()), text.size()); }
    // The digest as 64 lower-case hex digits; the object is spent afterwards.
    std::string hexDigest();

private:
    void block(const uint8_t* p);

    std::array<uint32_t, 8> h_;
    std::array<uint8_t, 64> buffer_{};
    size_t buffered_ = 0;
    uint64_t length_ = 0;  // bytes added
};

}  // namespace rilvane::proof
