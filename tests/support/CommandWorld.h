// The main window's commands against a simulated machine: one KQ-10 installed
// as "Zarvel KQ-10", its files in memory, a scripted user.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "ScriptedUi.h"
#include "UnexpectedRequests.h"
#include "app/MainDlg.h"
#include "posix/PosixHashing.h"
#include "protocol/DevicePort.h"
#include "sim/SimWorld.h"

namespace marnel::test {

constexpr DWORD kWarning = kMbOk | kMbIconExclamation;
constexpr DWORD kInformation = kMbOk | kMbIconInformation;
constexpr DWORD kPrompt = kMbOkCancel | kMbIconExclamation;

// A port whose next `starvedWrites` block writes find no memory for their
// request buffer.
class StarvedPort : public CDevicePort {
public:
    StarvedPort(const PlatformServices& services, int starvedWrites)
        : CDevicePort(services), m_starvedWrites(starvedWrites) {}

protected:
    std::vector<std::uint8_t> AllocateRequestBuffer(std::size_t size) override {
        if (m_starvedWrites > 0) {
            --m_starvedWrites;
            throw std::bad_alloc();
        }
        return CDevicePort::AllocateRequestBuffer(size);
    }

private:
    int m_starvedWrites;
};

// The main window with such ports.
class StarvedDlg : public CQuillKQDlg {
public:
    StarvedDlg(const PlatformServices& services, IDialogs& dialogs, IMainWindow& window,
               int starvedWrites)
        : CQuillKQDlg(services, dialogs, window), m_starvedWrites(starvedWrites) {}

protected:
    std::unique_ptr<CDevicePort> MakePort() override {
        return std::make_unique<StarvedPort>(m_services, m_starvedWrites);
    }

private:
    int m_starvedWrites;
};

class CommandTest : public ::testing::Test {
protected:
    CommandTest()
        : installed(&world.AddDevice(SimDeviceSetup(SimModel::kKQ10))),
          ui(world.Clock()),
          dlg(world.Services(), ui, ui) {
        dlg.m_strPrinterName = "Zarvel KQ-10";
    }

    ~CommandTest() override {
        EXPECT_EQ(world.Files().OpenHandleCount(), 0u) << "a file was left open";
        EXPECT_EQ(world.DeviceFile().OpenHandleCount(), 0u) << "a port was left open";
        EXPECT_EQ(world.Spooler().OpenHandleCount(), 0u) << "a printer was left open";
        EXPECT_EQ(ui.WaitCursorDepth(), 0) << "the wait cursor was left on";
        ExpectUnexpectedRequests(world, expectedUnexpected);
    }

    SimDevice& Device() { return installed->device; }
    MemoryFileSystem& Files() { return world.Files(); }

    // The blocks the device was sent to store, in order.
    std::vector<std::vector<std::uint8_t>> WrittenBlocks() {
        std::vector<std::vector<std::uint8_t>> blocks;
        for (const SimLogEntry& entry : Device().ControlLog()) {
            const std::vector<std::uint8_t>& r = entry.request;
            if (r.size() == 3 + 266 && r[0] == 0xF0 && r[1] == 0x00 && r[2] == 0x0A) {
                blocks.emplace_back(r.begin() + 3, r.end());
            }
        }
        return blocks;
    }

    static std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<std::uint8_t>(seed + i * 13);
        }
        return bytes;
    }

    std::size_t expectedUnexpected = 0;  // requests the test means to be refused
    PosixHashing hashing;
    SimWorld world{&hashing};
    SimInstalledDevice* installed;
    ScriptedUi ui;
    CQuillKQDlg dlg;
};

}  // namespace marnel::test
