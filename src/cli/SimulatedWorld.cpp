// The built-in simulated device: a simulated machine with one device of the
// chosen model installed as a printer, opened through the same spooler and
// registry walks as a real one.
#include <memory>
#include <stdexcept>

#include "cli/DeviceWorld.h"
#include "sim/SimCheckup.h"
#include "sim/SimWorld.h"

namespace marnel::cli {

namespace {

class SimulatedWorld : public DeviceWorld {
public:
    SimulatedWorld(SimModel model, IHashing& hashing) : m_model(model), m_world(&hashing) {
        m_world.AddDevice(SimDeviceSetup(model));
    }

    const PlatformServices& Services() override { return m_world.Services(); }

    IMachineCheckup* Checkup() override { return &m_checkup; }

    // The simulated technician restarts the device at once; it comes back in
    // service mode with a newer version once the firmware job has arrived.
    void OnVersionUpPrompt(const std::string& printer) override {
        SimInstalledDevice* installed = m_world.Find(printer);
        if (installed == nullptr) {
            return;
        }
        SimDevice& device = installed->device;
        device.SetVersionAfterFirmware(std::string("9.99"));
        device.SetMode(SimMode::kUpdate);
    }

    std::string Description() const override {
        return std::string("the simulated ") + SimModelName(m_model);
    }

private:
    SimModel m_model;
    SimWorld m_world;
    SimCheckup m_checkup{m_world};
};

}  // namespace

std::unique_ptr<DeviceWorld> MakeSimulatedWorld(const std::string& model, IHashing& hashing) {
    const std::optional<SimModel> parsed = ParseSimModel(model);
    if (!parsed) {
        throw std::invalid_argument("Unknown simulated model \"" + model + "\"; choose one of " +
                                    SimulatedModelNames() + ".");
    }
    return std::make_unique<SimulatedWorld>(*parsed, hashing);
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
