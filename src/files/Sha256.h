// SHA-256 digests as the history records them (64 lower-case hex digits),
// computed by the platform's hashing.
#pragma once

#include <cstddef>
#include <string>

namespace marnel {

class IDigest;
class IHashing;

// The digest of `size` bytes at `data`; empty when the platform could not
// compute one.
std::string Sha256Of(IHashing& hashing, const void* data, std::size_t size);

// The hex of a digest given its message in pieces as they went by (a
// firmware file as it was sent); empty when the platform could not compute
// one. The digest is spent.
std::string FinishSha256(IDigest& digest);

}  // namespace marnel
