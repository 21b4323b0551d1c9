// CTarGzWriter: a gzip-compressed tar archive (POSIX ustar, which GNU tar
// and the tar of Windows 10 and later both read) made entry by entry and
// written whole into a file the caller has opened, so that a support bundle
// needs no tar program on the machine. The archive is kept in memory until
// then: a bundle is a few MiB at most.
#pragma once

#include <cstdint>
#include <string>

#include "files/File.h"

namespace marnel {

class CTarGzWriter {
public:
    // Writes into `target`, open for writing; every entry is stamped with
    // `modified` (seconds since 1970, UTC).
    CTarGzWriter(CFile& target, std::uint64_t modified) : m_file(target), m_nModified(modified) {}

    // A folder, `name` without a trailing slash. False, and nothing written,
    // when the name does not fit a ustar header (see AddFile).
    [[nodiscard]] bool AddFolder(const std::string& name);
    // A regular file holding `data`, readable by its owner alone. False, and
    // nothing written, when `name` does not fit: up to 100 bytes, or up to
    // 256 split at a '/' into at most 155 and 100.
    [[nodiscard]] bool AddFile(const std::string& name, const std::string& data);
    // Ends the archive and writes it, compressed; the caller closes the file.
    void Finish();

private:
    bool AddEntry(const std::string& name, char type, unsigned mode, const std::string& data);

    CFile& m_file;
    std::uint64_t m_nModified;
    std::string m_strTar;
};

}  // namespace marnel
