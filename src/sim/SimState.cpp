#include "sim/SimState.h"

#include <climits>
#include <cstdio>
#include <set>

#include <nlohmann/json.hpp>

#include "platform/AsciiCase.h"
#include "protocol/VendorRequests.h"
#include "sim/SimWorld.h"

namespace marnel {

namespace {

// The tool's one JSON type (keys sorted): a second, ordered one would cost
// the Windows console program room it does not have.
using Json = nlohmann::json;

constexpr int kSchema = 1;
constexpr std::uint8_t kStatusRefused = 0x01;

// A fault a unit can carry, by name, and what it switches on.
struct NamedFault {
    const char* name;
    void (*apply)(SimFaults& faults);
};

const NamedFault kFaults[] = {
    // Every store is answered "refused" once the block has been written.
    {"refuses-store",
     [](SimFaults& faults) {
         faults.failedStatus = kStatusRefused;
         faults.failedStatusCommand = kCommandStore;
     }},
    // The unit still names itself, but never completes a command and its
    // report never comes: every read, store and report runs out of time.
    {"no-answer",
     [](SimFaults& faults) {
         faults.busyPolls = INT_MAX;
         faults.silent = true;
     }},
};

const NamedFault* FindFault(const std::string& name) {
    for (const NamedFault& fault : kFaults) {
        if (name == fault.name) {
            return &fault;
        }
    }
    return nullptr;
}

const char* ModeName(SimMode mode) {
    return mode == SimMode::kUpdate ? "update" : "service";
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::uint8_t byte : bytes) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", byte);
        text += pair;
    }
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = AsciiLower(static_cast<unsigned char>(c));
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

bool FromHex(const std::string& text, std::vector<std::uint8_t>* bytes) {
    if (text.size() != 2 * kParameterBlockSize) {
        return false;
    }
    bytes->clear();
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        bytes->push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return true;
}

// The version text a device hands out: its reply up to the first zero byte.
std::string VersionText(const SimDevice& device) {
    const std::vector<std::uint8_t>& reply = device.VersionReply();
    std::string text(reply.begin(), reply.end());
    return text.substr(0, text.find('\0'));
}

// Reads one unit record; the message names what is wrong with it.
bool ParseUnit(const Json& record, SimUnitState* unit, std::string* error) {
    if (!record.is_object()) {
        *error = "is not an object";
        return false;
    }
    const auto text = [&record, error](const char* key, std::string* value) {
        const auto it = record.find(key);
        if (it == record.end() || !it->is_string()) {
            *error = std::string("has no text \"") + key + "\"";
            return false;
        }
        *value = it->get<std::string>();
        return true;
    };
    std::string model;
    std::string mode;
    std::string block;
    if (!text("model", &model) || !text("printer", &unit->printer) ||
        !text("serial", &unit->serial) || !text("firmware", &unit->firmware) ||
        !text("mode", &mode) || !text("parameters", &block)) {
        return false;
    }
    const std::optional<SimModel> parsed = ParseSimModel(model);
    if (!parsed) {
        *error = "names the unknown model \"" + model + "\"";
        return false;
    }
    unit->model = *parsed;
    if (mode != "service" && mode != "update") {
        *error = "has the mode \"" + mode + "\"; it is \"service\" or \"update\"";
        return false;
    }
    unit->mode = mode == "update" ? SimMode::kUpdate : SimMode::kService;
    if (!FromHex(block, &unit->block)) {
        *error = "has \"parameters\" that are not 266 bytes in hex";
        return false;
    }
    if (unit->printer.empty() || unit->serial.empty() || unit->firmware.empty() ||
        unit->firmware.size() >= kVersionBufferSize) {
        *error = "has an empty printer, serial or firmware, or a firmware longer than 8 characters";
        return false;
    }
    const auto plugged = record.find("plugged");
    const auto faults = record.find("faults");
    if (plugged == record.end() || !plugged->is_boolean() || faults == record.end() ||
        !faults->is_array()) {
        *error = "has no true or false \"plugged\", or no list of \"faults\"";
        return false;
    }
    unit->plugged = plugged->get<bool>();
    unit->faults.clear();
    for (const Json& fault : *faults) {
        if (!fault.is_string() || FindFault(fault.get<std::string>()) == nullptr) {
            *error = "has the fault " + fault.dump() + "; known are " + SimFaultNames();
            return false;
        }
        unit->faults.push_back(fault.get<std::string>());
    }
    return true;
}

}  // namespace

bool SeedSimState(const std::string& models, SimState* state, std::string* error) {
    state->units.clear();
    std::set<std::string> printers;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = models.find(',', start);
        const std::string name = models.substr(start, comma - start);
        const std::optional<SimModel> model = ParseSimModel(name);
        if (!model) {
            *error = "Unknown simulated model \"" + name + "\"";
            return false;
        }
        SimUnitState unit;
        unit.model = *model;
        unit.firmware = DefaultVersionText(*model);
        unit.block = DefaultParameterBlock(*model);
        // The first unit of a model keeps the default name; later ones are
        // told apart as the system tells copies apart.
        const std::string base = std::string("Zarvel ") + SimModelName(*model);
        std::string printer = base;
        for (int copy = 2; printers.count(AsciiLowered(printer)) != 0; ++copy) {
            printer = base + " (" + std::to_string(copy) + ")";
        }
        printers.insert(AsciiLowered(printer));
        unit.printer = printer == base ? std::string() : printer;
        state->units.push_back(std::move(unit));
        if (comma == std::string::npos) {
            return true;
        }
        start = comma + 1;
    }
}

std::string SimStateToJson(const SimState& state) {
    Json units = Json::array();
    for (const SimUnitState& unit : state.units) {
        units.push_back({{"model", SimModelName(unit.model)},
                         {"printer", unit.printer},
                         {"serial", unit.serial},
                         {"firmware", unit.firmware},
                         {"mode", ModeName(unit.mode)},
                         {"parameters", Hex(unit.block)},
                         {"plugged", unit.plugged},
                         {"faults", unit.faults}});
    }
    // Names and versions come from the file or the device: any bytes stay
    // valid JSON.
    return Json{{"schema", kSchema}, {"units", units}}.dump(2, ' ', false,
                                                            Json::error_handler_t::replace) +
           "\n";
}

bool ParseSimState(const std::string& text, SimState* state, std::string* error) {
    const Json root = Json::parse(text, nullptr, false);
    if (root.is_discarded()) {
        *error = "it is not valid JSON";
        return false;
    }
    if (!root.is_object()) {
        *error = "it is not a JSON object";
        return false;
    }
    const auto schema = root.find("schema");
    if (schema == root.end() || !schema->is_number_integer() ||
        schema->get<std::int64_t>() != kSchema) {
        *error = "its \"schema\" is not 1";
        return false;
    }
    const auto units = root.find("units");
    if (units == root.end() || !units->is_array()) {
        *error = "it has no list of \"units\"";
        return false;
    }
    state->units.clear();
    std::set<std::string> printers;
    std::set<std::string> serials;
    for (const Json& record : *units) {
        SimUnitState unit;
        std::string problem;
        if (!ParseUnit(record, &unit, &problem)) {
            *error = "unit " + std::to_string(state->units.size() + 1) + " " + problem;
            return false;
        }
        if (!printers.insert(AsciiLowered(unit.printer)).second ||
            !serials.insert(AsciiLowered(unit.serial)).second) {
            *error = "two units have the printer \"" + unit.printer + "\" or the serial \"" +
                     unit.serial + "\"";
            return false;
        }
        state->units.push_back(std::move(unit));
    }
    return true;
}

void BuildSimWorld(const SimState& state, SimWorld& world) {
    for (const SimUnitState& unit : state.units) {
        SimDeviceSetup setup(unit.model, unit.printer);
        setup.serial = unit.serial;
        SimInstalledDevice& installed = world.AddDevice(setup);
        SimDevice& device = installed.device;
        device.SetVersion(unit.firmware);
        device.SetMode(unit.mode);
        device.SetParameterBlock(unit.block);
        for (const std::string& name : unit.faults) {
            FindFault(name)->apply(device.Faults());
        }
        if (!unit.plugged) {
            world.Unplug(installed.printer.printerName);
        }
    }
}

void CaptureSimState(SimWorld& world, SimState* state) {
    for (std::size_t i = 0; i < world.DeviceCount() && i < state->units.size(); ++i) {
        SimInstalledDevice& installed = world.Device(i);
        SimUnitState& unit = state->units[i];
        unit.printer = installed.printer.printerName;
        unit.serial = installed.serial;
        unit.firmware = VersionText(installed.device);
        unit.mode = installed.device.Mode();
        unit.block = installed.device.ParameterBlock();
        unit.plugged = installed.plugged;
    }
}

std::string SimFaultNames() {
    std::string names;
    for (const NamedFault& fault : kFaults) {
        names += names.empty() ? "" : ", ";
        names += std::string("\"") + fault.name + "\"";
    }
    return names;
}

}  // namespace marnel
