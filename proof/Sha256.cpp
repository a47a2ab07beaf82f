#include "proof/Sha256.h"

#include <nettle/sha2.h>

namespace rilvane::proof {

struct Sha256::Context {
    sha256_ctx ctx;
};

Sha256::Sha256() : context_(std::make_unique<Context>())
{
    sha256_init(&context_->ctx);
}

Sha256::~Sha256() = default;

void Sha256::add(const uint8_t* data, size_t size)
{
    if (size > 0) sha256_update(&context_->ctx, size, data);
}

std::string Sha256::hexDigest()
{
    uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context_->ctx, sizeof digest, digest);
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * sizeof digest);
    for (const uint8_t b : digest) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

}  // namespace rilvane::proof
