// gzip of data in memory, with no library: one deflate block of fixed
// Huffman codes over greedy LZ77 matches. Text such as a support bundle's
// shrinks to a fifth or less; zlib would do a little better at the price
// of some 30 KiB in the Windows console program, which must stay small.
#pragma once

#include <cstdint>
#include <string>

namespace marnel {

// `data` as a gzip member (RFC 1952) that gzip, tar and Windows' own tar
// read, stamped with `modified` (seconds since 1970, UTC).
std::string Gzip(const std::string& data, std::uint32_t modified);

}  // namespace marnel
