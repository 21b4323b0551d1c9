// The platform's digests on Windows: the CNG primitives (BCrypt).
#pragma once

#include "platform/Hashing.h"

namespace marnel {

// BCryptOpenAlgorithmProvider(BCRYPT_SHA256_ALGORITHM) and a hash object of
// the provider's own object length for each digest, BCryptHashData in pieces
// of at most 4 GiB - 1, BCryptFinishHash.
class Win32Hashing : public IHashing {
public:
    std::unique_ptr<IDigest> NewSha256() override;
};

}  // namespace marnel
