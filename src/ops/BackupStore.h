// The backup store: every parameter block Marnel is about to overwrite on a
// device is first saved here, one file per backup, never overwritten, in
// backups/ below the state folder (MARNEL_STATE_DIR, or the platform's
// folder for an application's state).
#pragma once

#include <string>

#include "protocol/ParameterBlock.h"

namespace marnel {

class IEnvironment;
class IFileSystem;

class CBackupStore {
public:
    CBackupStore(IFileSystem& fileSystem, IEnvironment& environment)
        : m_fileSystem(fileSystem), m_environment(environment) {}

    // Saves `block`, read from the unit `deviceName` names, as a new file
    // named from its model tag, the printer, the unit's serial (when it has
    // one) and the UTC time ("KQ-10_Zarvel-KQ-10_KQ10SN0001_20261207T120000Z.prm"),
    // and returns its path. A file error raises CFileException; an existing
    // file is never touched.
    std::string Save(const std::string& deviceName, const std::string& serial,
                     const ParameterBlockBytes& block);

    // The path the last Save returned; empty before one succeeded.
    const std::string& LastSaved() const { return m_strLastSaved; }

private:
    std::string m_strLastSaved;
    IFileSystem& m_fileSystem;
    IEnvironment& m_environment;
};

}  // namespace marnel
