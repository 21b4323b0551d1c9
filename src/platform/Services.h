// The platform a port runs on, passed in explicitly so that two worlds
// (a real machine, a simulated one) can live side by side in one process.
#pragma once

namespace marnel {

class IClock;
class ICodePage;
class IDeviceBus;
class IEnvironment;
class IFileSystem;
class IHashing;
class ISpooler;

struct PlatformServices {
    ISpooler& spooler;
    // The units behind the printers: where each is, and opening it.
    IDeviceBus& devices;
    IClock& clock;
    ICodePage& codePage;
    // File access for the commands' files. A pointer with a default so that
    // a world without files (the protocol's tests) need not name one; the
    // commands require it.
    IFileSystem* fileSystem = nullptr;
    // Where the window keeps its backups; the self test requires it.
    IEnvironment* environment = nullptr;
    // The digests the history records of what went to a device; the
    // commands that record one require it.
    IHashing* hashing = nullptr;
};

}  // namespace marnel
