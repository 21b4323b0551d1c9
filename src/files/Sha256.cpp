#include "files/Sha256.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Hashing.h"

namespace marnel {

namespace {

constexpr std::size_t kSha256Size = 32;

std::string Hex(const std::vector<std::uint8_t>& digest) {
    // A digest of another length is the platform's failure, not a digest.
    if (digest.size() != kSha256Size) {
        return std::string();
    }
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (std::uint8_t byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

}  // namespace

std::string Sha256Of(IHashing& hashing, const void* data, std::size_t size) {
    std::unique_ptr<IDigest> digest = hashing.NewSha256();
    digest->Update(data, size);
    return Hex(digest->Finish());
}

std::string FinishSha256(IDigest& digest) { return Hex(digest.Finish()); }

}  // namespace marnel
