// marnel-sim.exe: the same program on a simulated machine, for the GUI
// tests. The machine is read from the scenario file named by MARNEL_SCENARIO
// (no variable: a machine without printers); the test driver switches it to
// the scenario's other states, and drops files on the window, through the
// private messages of SimControl.h.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <new>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <shlobj.h>

#include "platform/Spooler.h"
#include "sim/Scenario.h"
#include "sim/SimWorld.h"
#include "win32/Win32FileSystem.h"
#include "win32/Win32Hashing.h"
#include "win32/Win32System.h"
#include "window/App.h"
#include "window/SimControl.h"

namespace {

using marnel::DWORD;

constexpr int kSimExitUnexpectedRequests = 3;

// "Zarvel KQ-10" -> the KQ-10: a driver of the maker's names the model of
// the simulated device behind the printer; any other driver has none.
bool ModelOfDriver(const std::string& driver, marnel::SimModel* model) {
    const std::string maker = "Zarvel ";
    if (driver.compare(0, maker.size(), maker) != 0) {
        return false;
    }
    std::optional<marnel::SimModel> parsed = marnel::ParseSimModel(driver.substr(maker.size()));
    if (!parsed) {
        return false;
    }
    *model = *parsed;
    return true;
}

DWORD AttributesOf(const marnel::ScenarioPrinter& printer) {
    // PRINTER_ATTRIBUTE_LOCAL, and working offline when the scenario says so.
    return 0x40 | (printer.offline ? marnel::kPrinterAttributeWorkOffline : 0);
}

class CSimulatedMachine : public marnel::IMessageHook {
public:
    CSimulatedMachine(marnel::SimWorld& world, marnel::Scenario scenario)
        : m_world(world), m_scenario(std::move(scenario)) {
        int otherPorts = 0;
        for (const marnel::ScenarioPrinter& printer : m_scenario.states[0].printers) {
            marnel::SimModel model;
            if (ModelOfDriver(printer.driver, &model)) {
                m_world.AddDevice(marnel::SimDeviceSetup(model, printer.name, printer.driver));
            } else {
                m_world.AddOtherPrinter(printer.name, printer.driver,
                                        "USB1" + std::to_string(10 + otherPorts++));
            }
        }
        // Remember each printer's record (its port above all), so that a
        // printer that leaves and comes back leads to the same device.
        for (const marnel::PrinterInfo& info : m_world.Spooler().Printers()) {
            m_known[info.printerName] = info;
        }
        ApplyState(0);
    }

    bool OnMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                   LRESULT* result) override {
        if (message == marnel::kSimSwitchStateMessage) {
            *result = ApplyState(static_cast<size_t>(wParam)) ? 1 : 0;
            return true;
        }
        if (message == marnel::kSimThrowMessage) {
            if (wParam == 0) {
                throw std::bad_alloc();
            }
            throw std::runtime_error("thrown for the test driver");
        }
        if (message == marnel::kSimSetUpdateModeMessage) {
            for (size_t i = 0; i < m_world.DeviceCount(); ++i) {
                m_world.Device(i).device.SetMode(wParam != 0 ? marnel::SimMode::kUpdate
                                                             : marnel::SimMode::kService);
            }
            *result = 1;
            return true;
        }
        if (message == WM_COPYDATA) {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            if (data != nullptr && data->dwData == marnel::kSimDropFilesData) {
                *result = DropFiles(hWnd, static_cast<const char*>(data->lpData), data->cbData);
                return true;
            }
            if (data != nullptr && data->dwData == marnel::kSimSaveLastJobData) {
                *result = SaveLastJob(static_cast<const char*>(data->lpData), data->cbData);
                return true;
            }
        }
        return false;
    }

private:
    // The spooler lists the state's printers, in its order.
    bool ApplyState(size_t index) {
        if (index >= m_scenario.states.size()) {
            return false;
        }
        marnel::MemorySpooler& spooler = m_world.Spooler();
        std::vector<std::string> listed;
        for (const marnel::PrinterInfo& info : spooler.Printers()) {
            listed.push_back(info.printerName);
        }
        for (const std::string& name : listed) {
            spooler.RemovePrinter(name);
        }
        for (const marnel::ScenarioPrinter& printer : m_scenario.states[index].printers) {
            marnel::PrinterInfo info;
            auto known = m_known.find(printer.name);
            if (known != m_known.end()) {
                info = known->second;
            } else {
                info.printerName = printer.name;
                info.portName = "FILE:";
            }
            info.driverName = printer.driver;
            info.attributes = AttributesOf(printer);
            spooler.AddPrinter(info);
        }
        return true;
    }

    BOOL SaveLastJob(const char* path, DWORD size) {
        if (m_world.DeviceCount() == 0 || size == 0 || path[size - 1] != '\0') {
            return FALSE;
        }
        const std::vector<marnel::SimJob>& jobs = m_world.Device(0).device.Jobs();
        if (jobs.empty() || !jobs.back().complete) {
            return FALSE;
        }
        const std::vector<std::uint8_t>& bytes = jobs.back().bytes;
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return file.good() ? TRUE : FALSE;
    }

    // Drops the NUL-separated paths on the window as the shell would: an
    // HDROP of the system's own layout, handed over with WM_DROPFILES.
    BOOL DropFiles(HWND hWnd, const char* paths, DWORD size) {
        HGLOBAL hDrop = GlobalAlloc(GHND, sizeof(DROPFILES) + size + 2);
        if (hDrop == nullptr) {
            return FALSE;
        }
        auto* header = static_cast<DROPFILES*>(GlobalLock(hDrop));
        header->pFiles = sizeof(DROPFILES);
        header->fWide = FALSE;
        char* list = reinterpret_cast<char*>(header + 1);
        std::memcpy(list, paths, size);  // the list ends with two NULs (zeroed memory)
        GlobalUnlock(hDrop);
        // Posted: the sender does not wait for the download the drop starts.
        if (!PostMessageA(hWnd, WM_DROPFILES, reinterpret_cast<WPARAM>(hDrop), 0)) {
            GlobalFree(hDrop);
            return FALSE;
        }
        return TRUE;
    }

    marnel::SimWorld& m_world;
    marnel::Scenario m_scenario;
    std::map<std::string, marnel::PrinterInfo> m_known;
};

bool LoadScenario(marnel::Scenario* scenario, std::string* error) {
    char path[32768];
    DWORD length = GetEnvironmentVariableA(marnel::kScenarioVariable, path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        return marnel::ParseScenario("", scenario, error);
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = std::string("cannot read ") + path;
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (!marnel::ParseScenario(text.str(), scenario, error)) {
        *error = std::string(path) + ", " + *error;
        return false;
    }
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    marnel::Scenario scenario;
    std::string error;
    if (!LoadScenario(&scenario, &error)) {
        MessageBoxA(nullptr, error.c_str(), "marnel-sim: scenario", MB_OK | MB_ICONERROR);
        return 2;
    }
    marnel::SimWorld world;
    CSimulatedMachine machine(world, std::move(scenario));
    // Real time, files, folders and digests: the windows wait, save, keep
    // backups and record changes as the product's do.
    marnel::Win32Clock clock;
    marnel::Win32FileSystem files;
    marnel::Win32Environment environment;
    marnel::Win32Hashing hashing;
    marnel::PlatformServices services = world.Services();
    marnel::PlatformServices shown{services.spooler, services.devices, clock,   services.codePage,
                                   &files,           &environment,     &hashing};
    const int status = marnel::RunApplication(hInstance, shown, &machine);
    // A request a real device would refuse fails the GUI test through the exit status.
    return status == 0 && world.UnexpectedCount() != 0 ? kSimExitUnexpectedRequests : status;
}
