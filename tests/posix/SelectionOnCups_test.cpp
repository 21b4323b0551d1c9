// The printer selection rule over real CUPS queues: lower-case makes qualify,
// stopped and rejecting queues are offline, a second device brings the
// warning, and a queue stopped later hands the choice on.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdlib>
#include <fstream>
#include <string>

#include "ScriptedUi.h"
#include "app/MainDlg.h"
#include "device/RegistryDeviceBus.h"
#include "posix/PosixPlatform.h"
#include "sim/MemoryRegistry.h"
#include "sim/SimDeviceFile.h"
#include "sim/SimPlatform.h"

namespace marnel {
namespace {

constexpr DWORD kWarning = kMbOk | kMbIconExclamation;

class SelectionOnCupsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = "/tmp/marnel-select-" + std::to_string(getpid());
        if (!Run("start " + m_dir + " selection") || !std::ifstream(m_dir + "/cupsd.pid").good()) {
            GTEST_SKIP() << "no private CUPS server (cupsd or lpadmin not installed)";
        }
        PosixPlatform::Options options;
        options.cupsServer = m_dir + "/cups.sock";
        options.refreshInterval = std::chrono::milliseconds(0);  // each check asks CUPS anew
        m_platform = std::make_unique<PosixPlatform>(options);
        m_services = std::make_unique<PlatformServices>(
            PlatformServices{m_platform->Services().spooler, m_devices, m_clock, m_codePage});
        m_dlg = std::make_unique<CQuillKQDlg>(*m_services, m_ui, m_ui);
    }

    void TearDown() override {
        m_dlg.reset();
        if (!m_dir.empty()) {
            Run("stop " + m_dir);
            std::system(("rm -rf " + m_dir).c_str());
        }
    }

    static bool Run(const std::string& arguments) {
        return std::system((std::string(MARNEL_CUPS_SERVER_SCRIPT) + " " + arguments).c_str()) == 0;
    }
    bool Lp(const std::string& tool, const std::string& queue) {
        return std::system((tool + " -h " + m_dir + "/cups.sock " + queue).c_str()) == 0;
    }

    std::string m_dir;
    VirtualClock m_clock;
    ScriptedUi m_ui{m_clock};
    std::unique_ptr<PosixPlatform> m_platform;
    MemoryRegistry m_registry;
    SimDeviceFile m_deviceFile;
    SimPlatformVersion m_version;
    SimCodePage m_codePage;
    CRegistryDeviceBus m_devices{m_version, m_registry, m_deviceFile, m_codePage};
    std::unique_ptr<PlatformServices> m_services;
    std::unique_ptr<CQuillKQDlg> m_dlg;
};

TEST_F(SelectionOnCupsTest, ChoosesAmongTheQueuesAsOnWindows) {
    // a_stopped and c_rejecting are offline, d_office is no device.
    m_dlg->SelectPrinter();
    EXPECT_EQ(m_dlg->m_strPrinterName, "b_lower");
    EXPECT_EQ(m_ui.Label(), "b_lower");

    // A second device: the first in CUPS's order stays, with the warning.
    ASSERT_TRUE(Run("add " + m_dir + " e_zarvel_zt 'Zarvel ZT-5'"));
    m_ui.ExpectBox("Many devices are connected.", kWarning);
    m_dlg->SelectPrinter();
    EXPECT_EQ(m_dlg->m_strPrinterName, "b_lower");
    EXPECT_EQ(m_dlg->FindDevicePrinters(), 2);

    // The chosen queue is stopped: the re-check after a device change moves on.
    ASSERT_TRUE(Lp("cupsdisable", "b_lower"));
    m_ui.SetTimerHandler([this](DWORD id) { m_dlg->OnTimer(id); });
    m_dlg->OnDeviceChange(kDbtDevNodesChanged, 0);
    m_ui.Elapse(kDeviceChangeDelayMs);
    EXPECT_EQ(m_dlg->m_strPrinterName, "e_zarvel_zt");
    EXPECT_EQ(m_ui.Label(), "e_zarvel_zt");

    // Started again, a_stopped counts; b_lower, stopped now, does not.
    ASSERT_TRUE(Lp("cupsenable", "a_stopped"));
    EXPECT_EQ(m_dlg->FindDevicePrinters(), 2);
}

}  // namespace
}  // namespace marnel
