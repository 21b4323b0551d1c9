// CTarGzWriter: a gzip-compressed tar archive (POSIX ustar, which GNU tar
// and the tar of Windows 10 and later both read) written entry by entry
// into a file the caller has opened, so that a support bundle needs no tar
// program on the machine.
#pragma once

#include <cstdint>
#include <string>

#include "files/File.h"

struct z_stream_s;

namespace marnel {

class CTarGzWriter {
public:
    // Writes into `target`, open for writing; every entry is stamped with
    // `modified` (seconds since 1970, UTC).
    CTarGzWriter(CFile& target, std::uint64_t modified);
    ~CTarGzWriter();

    CTarGzWriter(const CTarGzWriter&) = delete;
    CTarGzWriter& operator=(const CTarGzWriter&) = delete;

    // A folder, `name` without a trailing slash. False, and nothing written,
    // when the name does not fit a ustar header (see AddFile).
    [[nodiscard]] bool AddFolder(const std::string& name);
    // A regular file holding `data`, readable by its owner alone. False, and
    // nothing written, when `name` does not fit: up to 100 bytes, or up to
    // 256 split at a '/' into at most 155 and 100.
    [[nodiscard]] bool AddFile(const std::string& name, const std::string& data);
    // Ends the archive and the compressed stream; the caller closes the file.
    void Finish();

private:
    bool AddEntry(const std::string& name, char type, unsigned mode, const std::string& data);
    void Deflate(const void* data, std::size_t size, bool last);

    CFile& m_file;
    std::uint64_t m_nModified;
    z_stream_s* m_pStream;
};

}  // namespace marnel
