// The built-in simulated devices: a simulated machine with one device per
// model named installed as a printer, opened through the same spooler and
// registry walks as a real one. With a state file the units outlive the
// command: read at its start, written at its end, the file locked between.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "cli/DeviceWorld.h"
#include "files/File.h"
#include "sim/SimCheckup.h"
#include "sim/SimState.h"
#include "sim/SimWorld.h"

namespace marnel::cli {

namespace {

// How long a command waits for another that works on the same state file.
// A firmware job waits for its technician, so the wait is generous.
constexpr unsigned kStateLockWaitMs = 120000;

// Far beyond what any number of units takes: a larger file is not a state.
constexpr std::uint64_t kMaxStateBytes = 16 * 1024 * 1024;

class SimulatedWorld : public DeviceWorld {
public:
    SimulatedWorld(SimState state, IHashing& hashing)
        : m_state(std::move(state)), m_world(&hashing) {
        BuildSimWorld(m_state, m_world);
    }

    // The units outlive the command in `stateFile`, locked by `lock`.
    void KeepIn(IFileSystem& files, std::string stateFile, std::unique_ptr<CFile> lock) {
        m_files = &files;
        m_stateFile = std::move(stateFile);
        m_lock = std::move(lock);
    }

    const PlatformServices& Services() override { return m_world.Services(); }

    IMachineCheckup* Checkup() override { return &m_checkup; }

    // The simulated technician restarts the device at once; it comes back in
    // service mode with a newer version once the firmware job has arrived:
    // the one the image names, else 9.99.
    void OnVersionUpPrompt(const std::string& printer) override {
        SimInstalledDevice* installed = m_world.Find(printer);
        if (installed == nullptr) {
            return;
        }
        SimDevice& device = installed->device;
        device.SetVersionAfterFirmware(std::string("9.99"));
        device.SetMode(SimMode::kUpdate);
    }

    void Keep() override {
        if (m_files == nullptr) {
            return;
        }
        CaptureSimState(m_world, &m_state);
        const std::string text = SimStateToJson(m_state);
        SaveFileReplacing(*m_files, m_stateFile, text.data(), static_cast<DWORD>(text.size()));
    }

    std::string Description() const override {
        std::string models;
        for (const SimUnitState& unit : m_state.units) {
            models += models.empty() ? "" : ", ";
            models += SimModelName(unit.model);
        }
        return "the simulated " +
               (models.empty() ? std::string("machine without devices") : models);
    }

private:
    SimState m_state;
    SimWorld m_world;
    SimCheckup m_checkup{m_world};
    IFileSystem* m_files = nullptr;
    std::string m_stateFile;
    std::unique_ptr<CFile> m_lock;  // held until the world is gone
};

SimState Seeded(const std::string& models) {
    SimState state;
    std::string error;
    if (!SeedSimState(models, &state, &error)) {
        throw std::invalid_argument(error + "; choose one of " + SimulatedModelNames() + ".");
    }
    return state;
}

// The state kept in `path`, or the models' units when there is none yet.
SimState ReadState(IFileSystem& files, const std::string& path, const std::string& models) {
    PathKind kind = PathKind::kNothing;
    FileError error;
    if (!files.GetPathKind(path, &kind, &error)) {
        throw CFileException(error.cause, path, error.osError);
    }
    if (kind == PathKind::kNothing) {
        return Seeded(models);
    }
    if (kind != PathKind::kFile) {
        throw std::invalid_argument("The simulation state " + path + " is not a file.");
    }
    CFile file(files);
    file.OpenReadShared(path);
    const std::uint64_t length = file.GetLength();
    if (length > kMaxStateBytes) {
        throw std::invalid_argument("The simulation state " + path +
                                    " is too large to be one. Remove it to start afresh.");
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    file.ReadExactly(text.data(), static_cast<DWORD>(text.size()));
    file.Close();
    SimState state;
    std::string problem;
    if (!ParseSimState(text, &state, &problem)) {
        throw std::invalid_argument("The simulation state " + path + " cannot be used: " + problem +
                                    ". Mend it, or remove it to start afresh.");
    }
    return state;
}

}  // namespace

std::unique_ptr<DeviceWorld> MakeSimulatedWorld(const Simulation& simulation, IFileSystem& files,
                                                IHashing& hashing) {
    if (simulation.stateFile.empty()) {
        return std::make_unique<SimulatedWorld>(Seeded(simulation.models), hashing);
    }
    // The lock lives beside the state, which each command replaces.
    auto lock = std::make_unique<CFile>(files);
    lock->OpenAppend(simulation.stateFile + ".lock", kStateLockWaitMs);
    auto world = std::make_unique<SimulatedWorld>(
        ReadState(files, simulation.stateFile, simulation.models), hashing);
    world->KeepIn(files, simulation.stateFile, std::move(lock));
    return world;
}

std::string SimulatedModelNames() {
    std::string names;
    for (SimModel model : AllSimModels()) {
        names += names.empty() ? "" : ", ";
        names += SimModelName(model);
    }
    return names;
}

}  // namespace marnel::cli
