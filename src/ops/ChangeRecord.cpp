#include "ops/ChangeRecord.h"

namespace marnel {

CChangeRecord::CChangeRecord(const ChangeLog& log, const char* operation,
                             const std::string& printer, const std::string& serial)
    : m_log(log) {
    m_entry.operation = operation;
    m_entry.printer = printer;
    m_entry.serial = serial;
    m_entry.simulated = log.simulated;
}

std::optional<CFileException> CChangeRecord::Write(const Outcome& outcome) {
    if (m_log.fileSystem == nullptr || m_log.environment == nullptr) {
        return std::nullopt;  // a world without a user's folders keeps no history
    }
    m_entry.outcome = OutcomeText(outcome.kind);
    if (m_log.exitStatusFor) {
        m_entry.exitStatus = m_log.exitStatusFor(outcome);
    }
    try {
        const std::string line = CHistory(*m_log.fileSystem, *m_log.environment).Append(m_entry);
        if (m_log.recorded) {
            m_log.recorded(line);
        }
    } catch (const CFileException& error) {
        return error;
    }
    return std::nullopt;
}

}  // namespace marnel
