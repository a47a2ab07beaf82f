// SHA-256 (FIPS 180-4), for the seal at the end of a rip log, computed by
// Nettle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace rilvane::proof {

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void add(const uint8_t* data, size_t size);
    void add(const std::string& text) { add(reinterpret_cast<const uint8_t*>(text.data()), text.size()); }
    // The digest as 64 lower-case hex digits; the object starts afresh
    // afterwards.
    std::string hexDigest();

private:
    struct Context;
    std::unique_ptr<Context> context_;
};

}  // namespace rilvane::proof
