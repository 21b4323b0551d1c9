#include "files/TarGzWriter.h"

#include <zlib.h>

#include <cstring>
#include <new>

namespace marnel {

namespace {

constexpr std::size_t kBlock = 512;
constexpr std::size_t kNameField = 100;
constexpr std::size_t kPrefixField = 155;

// `value` as `width - 1` octal digits and a NUL, as ustar numbers are.
void Octal(char* field, std::size_t width, std::uint64_t value) {
    field[width - 1] = '\0';
    for (std::size_t i = width - 1; i-- > 0; value >>= 3) {
        field[i] = static_cast<char>('0' + (value & 7));
    }
}

// Splits `name` into the header's prefix and name fields; false when it
// cannot be stored.
bool SplitName(const std::string& name, std::string* prefix, std::string* rest) {
    if (name.empty()) {
        return false;
    }
    if (name.size() <= kNameField) {
        *prefix = std::string();
        *rest = name;
        return true;
    }
    // The last '/' that leaves both parts short enough.
    for (std::size_t slash = name.rfind('/'); slash != std::string::npos && slash > 0;
         slash = name.rfind('/', slash - 1)) {
        if (slash <= kPrefixField && name.size() - slash - 1 <= kNameField &&
            slash + 1 < name.size()) {
            *prefix = name.substr(0, slash);
            *rest = name.substr(slash + 1);
            return true;
        }
    }
    return false;
}

}  // namespace

CTarGzWriter::CTarGzWriter(CFile& target, std::uint64_t modified)
    : m_file(target), m_nModified(modified), m_pStream(new z_stream_s()) {
    // 15 window bits plus 16: a gzip wrapper rather than zlib's own.
    if (deflateInit2(m_pStream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        delete m_pStream;
        throw std::bad_alloc();
    }
}

CTarGzWriter::~CTarGzWriter() {
    deflateEnd(m_pStream);
    delete m_pStream;
}

bool CTarGzWriter::AddFolder(const std::string& name) {
    return AddEntry(name + "/", '5', 0700, std::string());
}

bool CTarGzWriter::AddFile(const std::string& name, const std::string& data) {
    return AddEntry(name, '0', 0600, data);
}

bool CTarGzWriter::AddEntry(const std::string& name, char type, unsigned mode,
                            const std::string& data) {
    std::string prefix;
    std::string rest;
    if (!SplitName(name, &prefix, &rest)) {
        return false;
    }
    char header[kBlock] = {};
    std::memcpy(header, rest.data(), rest.size());
    Octal(header + 100, 8, mode);
    Octal(header + 108, 8, 0);  // uid
    Octal(header + 116, 8, 0);  // gid
    Octal(header + 124, 12, data.size());
    Octal(header + 136, 12, m_nModified);
    header[156] = type;
    std::memcpy(header + 257, "ustar", 6);  // magic with its NUL, then version "00"
    std::memcpy(header + 263, "00", 2);
    std::memcpy(header + 345, prefix.data(), prefix.size());
    // The checksum is taken with its own field as eight spaces.
    std::memset(header + 148, ' ', 8);
    unsigned sum = 0;
    for (unsigned char byte : header) {
        sum += byte;
    }
    Octal(header + 148, 7, sum);  // six digits, a NUL, and the last space kept
    Deflate(header, sizeof header, false);
    Deflate(data.data(), data.size(), false);
    const char padding[kBlock] = {};
    Deflate(padding, (kBlock - data.size() % kBlock) % kBlock, false);
    return true;
}

void CTarGzWriter::Finish() {
    // Two zero blocks end a tar archive.
    const char end[2 * kBlock] = {};
    Deflate(end, sizeof end, true);
}

void CTarGzWriter::Deflate(const void* data, std::size_t size, bool last) {
    const unsigned char* next = static_cast<const unsigned char*>(data);
    unsigned char out[16384];
    // zlib counts in uInt; feed it in pieces a uInt surely holds.
    do {
        const std::size_t piece = size < (1u << 30) ? size : (1u << 30);
        m_pStream->next_in = const_cast<unsigned char*>(next);
        m_pStream->avail_in = static_cast<uInt>(piece);
        next += piece;
        size -= piece;
        const int flush = last && size == 0 ? Z_FINISH : Z_NO_FLUSH;
        int status = Z_OK;
        do {
            m_pStream->next_out = out;
            m_pStream->avail_out = sizeof out;
            status = deflate(m_pStream, flush);
            m_file.Write(out, static_cast<DWORD>(sizeof out - m_pStream->avail_out));
        } while (m_pStream->avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
    } while (size > 0);
}

}  // namespace marnel
