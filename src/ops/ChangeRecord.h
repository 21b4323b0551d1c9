// The history line a use case leaves for a change it made, or tried to
// make, to a unit: filled as the use case goes, written once it ends.
#pragma once

#include <optional>

#include "files/FileException.h"
#include "ops/History.h"
#include "ops/Outcome.h"

namespace marnel {

class CChangeRecord {
public:
    CChangeRecord(const ChangeLog& log, const char* operation, const std::string& printer,
                  const std::string& serial);

    HistoryEntry& Entry() { return m_entry; }

    // Appends the entry with `outcome`'s word and exit status. A history
    // that cannot be written is returned, not raised: the change is made.
    std::optional<CFileException> Write(const Outcome& outcome);

private:
    const ChangeLog& m_log;
    HistoryEntry m_entry;
};

}  // namespace marnel
