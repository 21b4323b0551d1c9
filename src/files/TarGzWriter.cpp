#include "files/TarGzWriter.h"

#include <cstring>

#include "files/Gzip.h"

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
    m_strTar.append(header, sizeof header);
    m_strTar += data;
    m_strTar.append((kBlock - data.size() % kBlock) % kBlock, '\0');
    return true;
}

void CTarGzWriter::Finish() {
    // Two zero blocks end a tar archive.
    m_strTar.append(2 * kBlock, '\0');
    const std::string packed = Gzip(m_strTar, static_cast<std::uint32_t>(m_nModified));
    m_file.Write(packed.data(), static_cast<DWORD>(packed.size()));
}

}  // namespace marnel
