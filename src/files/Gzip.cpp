#include "files/Gzip.h"

#include <vector>

namespace marnel {

namespace {

constexpr std::size_t kWindow = 32768;
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 258;
constexpr unsigned kChainDepth = 32;  // how many earlier places a match is looked for at
constexpr unsigned kHashBits = 15;

constexpr unsigned kLengthBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr unsigned kLengthExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                     2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr unsigned kDistanceBase[] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr unsigned kDistanceExtra[] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                       6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Deflate's bit order: values from the least significant bit up, Huffman
// codes from their most significant bit.
class BitWriter {
public:
    void Put(std::uint32_t value, unsigned count) {
        m_bits |= value << m_count;
        m_count += count;
        for (; m_count >= 8; m_count -= 8, m_bits >>= 8) {
            m_out += static_cast<char>(m_bits & 0xFF);
        }
    }
    void PutCode(std::uint32_t code, unsigned count) {
        std::uint32_t reversed = 0;
        for (unsigned i = 0; i < count; ++i, code >>= 1) {
            reversed = (reversed << 1) | (code & 1);
        }
        Put(reversed, count);
    }
    // A literal byte, a length symbol (257..285) or the block's end (256).
    void PutSymbol(unsigned symbol) {
        if (symbol < 144) {
            PutCode(0x30 + symbol, 8);
        } else if (symbol < 256) {
            PutCode(0x190 + symbol - 144, 9);
        } else if (symbol < 280) {
            PutCode(symbol - 256, 7);
        } else {
            PutCode(0xC0 + symbol - 280, 8);
        }
    }
    std::string Finish() {
        if (m_count > 0) {
            m_out += static_cast<char>(m_bits & 0xFF);
        }
        return m_out;
    }

private:
    std::string m_out;
    std::uint32_t m_bits = 0;
    unsigned m_count = 0;
};

// The index of the last entry of `bases` not above `value`.
template <std::size_t N>
unsigned CodeOf(const unsigned (&bases)[N], std::size_t value) {
    unsigned code = 0;
    while (code + 1 < N && bases[code + 1] <= value) {
        ++code;
    }
    return code;
}

void PutMatch(BitWriter& bits, std::size_t length, std::size_t distance) {
    const unsigned lengthCode = CodeOf(kLengthBase, length);
    bits.PutSymbol(257 + lengthCode);
    bits.Put(static_cast<std::uint32_t>(length - kLengthBase[lengthCode]),
             kLengthExtra[lengthCode]);
    const unsigned distanceCode = CodeOf(kDistanceBase, distance);
    bits.PutCode(distanceCode, 5);
    bits.Put(static_cast<std::uint32_t>(distance - kDistanceBase[distanceCode]),
             kDistanceExtra[distanceCode]);
}

std::string Deflate(const std::string& data) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    const std::size_t size = data.size();
    // The latest place of each three-byte hash, and before each place the
    // previous one with the same hash.
    std::vector<std::int64_t> head(std::size_t{1} << kHashBits, -1);
    std::vector<std::int64_t> previous(size, -1);
    const auto insert = [&](std::size_t at) {
        if (at + kMinMatch <= size) {
            const std::size_t hash = ((bytes[at] << 10) ^ (bytes[at + 1] << 5) ^ bytes[at + 2]) &
                                     ((1u << kHashBits) - 1);
            previous[at] = head[hash];
            head[hash] = static_cast<std::int64_t>(at);
        }
    };
    BitWriter bits;
    bits.Put(1, 1);  // the last block
    bits.Put(1, 2);  // of fixed Huffman codes
    for (std::size_t at = 0; at < size;) {
        std::size_t best = 0;
        std::size_t distance = 0;
        if (at + kMinMatch <= size) {
            insert(at);
            std::int64_t candidate = previous[at];
            for (unsigned depth = 0; candidate >= 0 && depth < kChainDepth &&
                                     at - static_cast<std::size_t>(candidate) <= kWindow;
                 ++depth, candidate = previous[static_cast<std::size_t>(candidate)]) {
                const std::size_t from = static_cast<std::size_t>(candidate);
                std::size_t length = 0;
                while (length < kMaxMatch && at + length < size &&
                       bytes[from + length] == bytes[at + length]) {
                    ++length;
                }
                if (length > best) {
                    best = length;
                    distance = at - from;
                }
            }
        }
        if (best >= kMinMatch) {
            PutMatch(bits, best, distance);
            for (std::size_t next = at + 1; next < at + best; ++next) {
                insert(next);
            }
            at += best;
        } else {
            bits.PutSymbol(bytes[at]);
            ++at;
        }
    }
    bits.PutSymbol(256);
    return bits.Finish();
}

std::uint32_t Crc32(const std::string& data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void PutLittleEndian(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i, value >>= 8) {
        out += static_cast<char>(value & 0xFF);
    }
}

}  // namespace

std::string Gzip(const std::string& data, std::uint32_t modified) {
    std::string out = "\x1f\x8b\x08";  // the magic, deflate
    out += '\0';                       // no flags: no name, no comment
    PutLittleEndian(out, modified);
    out += '\0';    // no compression level claimed
    out += '\xff';  // made on no system in particular
    out += Deflate(data);
    PutLittleEndian(out, Crc32(data));
    PutLittleEndian(out, static_cast<std::uint32_t>(data.size()));  // modulo 2^32, as gzip keeps it
    return out;
}

}  // namespace marnel
