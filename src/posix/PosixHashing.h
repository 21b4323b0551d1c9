// The platform's digests on Linux: OpenSSL's libcrypto (EVP).
#pragma once

#include "platform/Hashing.h"

namespace marnel {

class PosixHashing : public IHashing {
public:
    std::unique_ptr<IDigest> NewSha256() override;
};

}  // namespace marnel
