// The platform a port runs on, passed in explicitly so that two worlds
// (a real machine, a simulated one) can live side by side in one process.
#pragma once

namespace marnel {

class IClock;
class ICodePage;
class IDeviceFile;
class IPlatformVersion;
class IRegistry;
class ISpooler;

struct PlatformServices {
    IPlatformVersion& version;
    ISpooler& spooler;
    IRegistry& registry;
    IDeviceFile& deviceFile;
    IClock& clock;
    ICodePage& codePage;
};

}  // namespace marnel
