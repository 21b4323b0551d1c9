#include "posix/PosixHashing.h"

#include <openssl/evp.h>

namespace marnel {

namespace {

// One EVP digest context; any call that fails spoils the digest.
class EvpDigest : public IDigest {
public:
    explicit EvpDigest(const EVP_MD* type) : m_context(EVP_MD_CTX_new()) {
        m_ok = m_context != nullptr && EVP_DigestInit_ex(m_context, type, nullptr) == 1;
    }
    ~EvpDigest() override { EVP_MD_CTX_free(m_context); }
    EvpDigest(const EvpDigest&) = delete;
    EvpDigest& operator=(const EvpDigest&) = delete;

    void Update(const void* data, std::size_t size) override {
        if (m_ok && size != 0) {
            m_ok = EVP_DigestUpdate(m_context, data, size) == 1;
        }
    }

    std::vector<std::uint8_t> Finish() override {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        const bool ok = m_ok && EVP_DigestFinal_ex(m_context, digest, &length) == 1;
        m_ok = false;  // spent
        return ok ? std::vector<std::uint8_t>(digest, digest + length)
                  : std::vector<std::uint8_t>();
    }

private:
    EVP_MD_CTX* m_context;
    bool m_ok = false;
};

}  // namespace

std::unique_ptr<IDigest> PosixHashing::NewSha256() {
    return std::make_unique<EvpDigest>(EVP_sha256());
}

}  // namespace marnel
