// The platform's message digests, for the history's record of which file or
// parameter block went to a device. The core hashes nothing itself: the
// build's back end does (libcrypto on Linux, BCrypt on Windows), and a
// simulated machine borrows its host's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace marnel {

// One digest being computed over a message given in pieces.
class IDigest {
public:
    virtual ~IDigest() = default;

    // Adds `size` bytes at `data` to the message (`data` may be null when
    // `size` is 0). Ignored once Finish was called.
    virtual void Update(const void* data, std::size_t size) = 0;

    // The digest of everything added (32 bytes for SHA-256); empty when the
    // platform failed at any step, or when Finish was called before.
    virtual std::vector<std::uint8_t> Finish() = 0;
};

class IHashing {
public:
    virtual ~IHashing() = default;

    // A fresh SHA-256 digest, never null: where the platform cannot compute
    // one, its Finish says so. Running out of memory throws std::bad_alloc.
    virtual std::unique_ptr<IDigest> NewSha256() = 0;
};

}  // namespace marnel
