#include "win32/Win32Hashing.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <limits>

namespace marnel {

namespace {

// One CNG hash; any call that fails spoils the digest.
class BCryptDigest : public IDigest {
public:
    explicit BCryptDigest(LPCWSTR algorithm) {
        m_ok = BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&m_algorithm, algorithm, nullptr, 0));
        ULONG objectLength = 0;
        ULONG got = 0;
        m_ok = m_ok && BCRYPT_SUCCESS(BCryptGetProperty(m_algorithm, BCRYPT_OBJECT_LENGTH,
                                                        reinterpret_cast<PUCHAR>(&objectLength),
                                                        sizeof objectLength, &got, 0));
        // The hash object's memory is ours: Windows Vista allocates none.
        if (m_ok) {
            m_object.resize(objectLength);
        }
        m_ok = m_ok && BCRYPT_SUCCESS(BCryptCreateHash(m_algorithm, &m_hash, m_object.data(),
                                                       objectLength, nullptr, 0, 0));
    }
    ~BCryptDigest() override {
        if (m_hash != nullptr) {
            BCryptDestroyHash(m_hash);
        }
        if (m_algorithm != nullptr) {
            BCryptCloseAlgorithmProvider(m_algorithm, 0);
        }
    }
    BCryptDigest(const BCryptDigest&) = delete;
    BCryptDigest& operator=(const BCryptDigest&) = delete;

    void Update(const void* data, std::size_t size) override {
        auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
        while (m_ok && size != 0) {
            const ULONG piece =
                static_cast<ULONG>(std::min<std::size_t>(size, std::numeric_limits<ULONG>::max()));
            m_ok = BCRYPT_SUCCESS(BCryptHashData(m_hash, bytes, piece, 0));
            bytes += piece;
            size -= piece;
        }
    }

    std::vector<std::uint8_t> Finish() override {
        ULONG length = 0;
        ULONG got = 0;
        bool ok = m_ok && BCRYPT_SUCCESS(BCryptGetProperty(m_algorithm, BCRYPT_HASH_LENGTH,
                                                           reinterpret_cast<PUCHAR>(&length),
                                                           sizeof length, &got, 0));
        std::vector<std::uint8_t> digest(ok ? length : 0);
        ok = ok && BCRYPT_SUCCESS(BCryptFinishHash(m_hash, digest.data(), length, 0));
        m_ok = false;  // spent
        return ok ? digest : std::vector<std::uint8_t>();
    }

private:
    BCRYPT_ALG_HANDLE m_algorithm = nullptr;
    BCRYPT_HASH_HANDLE m_hash = nullptr;
    std::vector<UCHAR> m_object;
    bool m_ok = false;
};

}  // namespace

std::unique_ptr<IDigest> Win32Hashing::NewSha256() {
    return std::make_unique<BCryptDigest>(BCRYPT_SHA256_ALGORITHM);
}

}  // namespace marnel
