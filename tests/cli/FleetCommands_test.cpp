// check, apply and profile capture, in-process over a world of three units
// (KQ-10, KQ-20, ZT-5), with profiles written beside the test's files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "CliFixture.h"
#include "cli/ExitStatus.h"
#include "files/Sha256.h"

namespace marnel::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using nlohmann::json;

class FleetTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        for (SimModel model : {SimModel::kKQ10, SimModel::kKQ20, SimModel::kZT5}) {
            m_world.AddDevice(SimDeviceSetup(model));
        }
    }

    SimDevice& Unit(std::size_t index) { return m_world.Device(index).device; }

    std::string Sha(const std::vector<std::uint8_t>& bytes) {
        return Sha256Of(m_hashing, bytes.data(), bytes.size());
    }

    // The KQ-10's block with bytes 10-13 and 200 changed and the byte sum
    // kept, so that its checksum stays as it is.
    static std::vector<std::uint8_t> DriftedKq10Block() {
        std::vector<std::uint8_t> block = DefaultParameterBlock(SimModel::kKQ10);
        const std::uint8_t changed[] = {0x00, 0x01, 0x3E, 0x1F};  // was 01 00 40 1E
        std::copy(std::begin(changed), std::end(changed), block.begin() + 10);
        block[200] = 0x01;
        return block;
    }

    // {"file", "sha256"} of `bytes`, written as `name` beside the profile.
    json FileEntry(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        WriteFile(name, bytes);
        return {{"file", name}, {"sha256", Sha(bytes)}};
    }

    std::string WriteProfile(const json& models) {
        const std::string text = json{{"schema", 1}, {"models", models}}.dump();
        return WriteFile("site.json", std::vector<std::uint8_t>(text.begin(), text.end()));
    }

    // The standard the world's units hold as they are made.
    json CompliantModels() {
        return {{"KQ-10",
                 {{"parameters", FileEntry("KQ-10.prm", DefaultParameterBlock(SimModel::kKQ10))},
                  {"firmware", {{"version", "1.05"}}}}},
                {"KQ-20", {{"firmware", {{"version", "2.31"}}}}}};
    }

    json RunJson(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"--json"};
        all.insert(all.end(), args.begin(), args.end());
        m_status = RunOnWorld(all);
        const std::string out = Out();
        return json::parse(out.substr(out.rfind('\n', out.size() - 2) + 1));
    }

    int m_status = 0;
};

TEST_F(FleetTest, CheckJudgesEveryUnitAndNeverWrites) {
    const json kq10Firmware106 = {{"version", "1.06"}};
    const struct {
        const char* what;
        std::function<json()> models;
        std::vector<std::string> options;
        int status;
        std::size_t unit;   // the unit whose record is looked at
        json expected;      // keys of its record that must hold these values
    } cases[] = {
        {"compliant, ZT-5 uncovered", [this] { return CompliantModels(); }, {},
         kExitSuccess, 2, {{"covered", false}, {"compliant", false}, {"firmware", nullptr}}},
        {"version drift",
         [&] {
             json models = CompliantModels();
             models["KQ-10"]["firmware"] = kq10Firmware106;
             return models;
         },
         {}, kExitDrift, 0,
         {{"compliant", false},
          {"firmware", {{"current", "1.05"}, {"wanted", "1.06"}, {"compliant", false}}}}},
        {"block drift with its ranges",
         [this] {
             json models = CompliantModels();
             models["KQ-10"]["parameters"] = FileEntry("KQ-10.prm", DriftedKq10Block());
             return models;
         },
         {}, kExitDrift, 0,
         {{"compliant", false},
          {"parameters",
           {{"compliant", false},
            {"currentSha256", Sha(DefaultParameterBlock(SimModel::kKQ10))},
            {"wantedSha256", Sha(DriftedKq10Block())},
            {"differences", {{{"first", 10}, {"last", 13}}, {{"first", 200}, {"last", 200}}}}}}}},
        {"narrowed by serial", [this] { return CompliantModels(); },
         {"--serial", "KQ20SN0002"}, kExitSuccess, 0,
         {{"printer", "Zarvel KQ-20"}, {"model", "KQ-20"}, {"covered", true}, {"compliant", true}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = c.options;
        for (const char* word : {"check", "--profile"}) {
            args.push_back(word);
        }
        args.push_back(WriteProfile(c.models()));
        const json result = RunJson(args);
        EXPECT_EQ(m_status, c.status) << Err();
        EXPECT_EQ(result["compliant"], c.status == kExitSuccess);
        const json& unit = result["units"][c.unit];
        for (const auto& [key, value] : c.expected.items()) {
            EXPECT_EQ(unit[key], value) << key;
        }
    }
    for (std::size_t i = 0; i < m_world.DeviceCount(); ++i) {
        EXPECT_EQ(Unit(i).StoreCount(), 0);
    }
}

TEST_F(FleetTest, CheckOfAnUnreadableUnitIsDriftWithItsError) {
    m_world.Unplug("Zarvel KQ-20");
    const json result = RunJson({"check", "--profile", WriteProfile(CompliantModels())});
    EXPECT_EQ(m_status, kExitDrift);
    EXPECT_EQ(result["units"][0]["compliant"], true);
    EXPECT_EQ(result["units"][1]["compliant"], false);
    EXPECT_THAT(result["units"][1]["error"].get<std::string>(), Not(IsEmpty()));
}

TEST_F(FleetTest, ABadProfileIsRefusedNamingTheFileAndWhatIsWrong) {
    const std::vector<std::uint8_t> kq10 = DefaultParameterBlock(SimModel::kKQ10);
    const struct {
        const char* what;
        std::string text;  // the profile; $SHA is the KQ-10 block's digest
        const char* said;
    } cases[] = {
        {"not JSON", "{\"schema\": 1,", "is not valid JSON"},
        {"another schema", R"({"schema": 2, "models": {}})", "needs \"schema\": 1"},
        {"a misspelt key", R"({"schema": 1, "models": {"KQ-10": {"paramters": {}}}})",
         "has an unknown key \"paramters\""},
        {"a wrong digest",
         R"({"schema": 1, "models": {"KQ-10": {"parameters": {"file": "KQ-10.prm", "sha256": ")" +
             std::string(64, '0') + "\"}}}}",
         "KQ-10.prm has SHA-256 $SHA, the profile names 000"},
        {"a missing image",
         R"({"schema": 1, "models": {"KQ-10": {"firmware": {"version": "1.06", "file": "no.kvf", "sha256": "$SHA"}}}})",
         "no.kvf"},
        {"another model's block",
         R"({"schema": 1, "models": {"KQ-20": {"parameters": {"file": "KQ-10.prm", "sha256": "$SHA"}}}})",
         "holds parameters of a KQ-10, not of a KQ-20"},
    };
    WriteFile("KQ-10.prm", kq10);
    const auto withSha = [&](std::string text) {
        for (std::size_t at; (at = text.find("$SHA")) != std::string::npos;) {
            text.replace(at, 4, Sha(kq10));
        }
        return text;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string text = withSha(c.text);
        const std::string profile =
            WriteFile("bad.json", std::vector<std::uint8_t>(text.begin(), text.end()));
        for (const char* command : {"check", "apply"}) {
            EXPECT_EQ(RunOnWorld({command, "--profile", profile}), kExitUsage) << command;
            EXPECT_THAT(Err(), HasSubstr(withSha(c.said))) << command;
        }
    }
    EXPECT_EQ(Unit(0).StoreCount(), 0);
    EXPECT_TRUE(Unit(0).Jobs().empty());
}

TEST_F(FleetTest, CheckWithoutAUnitExitsThree) {
    EXPECT_EQ(RunOnWorld({"--serial", "NOSUCH", "check", "--profile",
                          WriteProfile(CompliantModels())}),
              kExitNoDevice);
}

// The simulated technician restarts whichever unit the prompt names; the
// unit comes back running the version the test gave it.
struct Technician : BorrowedWorld {
    Technician(SimWorld& w, std::vector<std::string>& p) : BorrowedWorld(w), world(w), prompted(p) {}
    void OnVersionUpPrompt(const std::string& printer) override {
        prompted.push_back(printer);
        SimDevice& device = world.Find(printer)->device;
        device.SetVersionAfterFirmware(std::string("1.06"));
        device.SetMode(SimMode::kUpdate);
    }
    SimWorld& world;
    std::vector<std::string>& prompted;
};

TEST_F(FleetTest, ApplyChangesFirmwareThenParametersAndASecondRunChangesNothing) {
    const std::vector<std::uint8_t> image(100, 0x5A);
    json models = CompliantModels();
    models["KQ-10"] = {{"parameters", FileEntry("KQ-10.prm", DriftedKq10Block())},
                       {"firmware", FileEntry("kq10.kvf", image)}};
    models["KQ-10"]["firmware"]["version"] = "1.06";
    const std::string profile = WriteProfile(models);
    std::vector<std::string> prompted;
    const auto apply = [&] {
        m_status = Run({"--json", "apply", "--profile", profile},
                       [&](const std::optional<Simulation>&) {
                           return std::make_unique<Technician>(m_world, prompted);
                       });
        return json::parse(Out().substr(Out().rfind('\n', Out().size() - 2) + 1));
    };

    const json first = apply();
    EXPECT_EQ(m_status, kExitSuccess) << Err();
    EXPECT_EQ(first["changed"], true);
    EXPECT_EQ(prompted, std::vector<std::string>{"Zarvel KQ-10"});
    const json& kq10 = first["units"][0];
    EXPECT_EQ(kq10["outcome"], "changed");
    EXPECT_EQ(kq10["after"]["firmware"]["current"], "1.06");
    EXPECT_EQ(kq10["after"]["parameters"]["compliant"], true);
    ASSERT_EQ(kq10["history"].size(), 2u);
    EXPECT_EQ(kq10["history"][0]["operation"], "firmware");
    EXPECT_EQ(kq10["history"][1]["operation"], "put-params");
    EXPECT_EQ(kq10["backups"].size(), 2u);
    ASSERT_EQ(Unit(0).Jobs().size(), 1u);
    EXPECT_EQ(Unit(0).Jobs()[0].bytes, image);
    EXPECT_EQ(Unit(0).ParameterBlock(), DriftedKq10Block());
    EXPECT_EQ(first["units"][1]["outcome"], "unchanged");
    EXPECT_EQ(Unit(1).StoreCount(), 0);

    const json second = apply();
    EXPECT_EQ(m_status, kExitSuccess) << Err();
    EXPECT_EQ(second["changed"], false);
    for (const json& unit : second["units"]) {
        EXPECT_EQ(unit["outcome"], "unchanged");
        EXPECT_TRUE(unit["history"].empty());
    }
    EXPECT_EQ(Unit(0).Jobs().size(), 1u);
    EXPECT_EQ(Unit(0).StoreCount(), 1);
}

TEST_F(FleetTest, ApplyGoesOnPastAFailingUnit) {
    const std::vector<std::uint8_t> kq20 = DefaultParameterBlock(SimModel::kKQ20);
    std::vector<std::uint8_t> wantedKq20 = kq20;
    wantedKq20[20] ^= 0x01;
    ParameterBlockBytes block{};
    std::copy(wantedKq20.begin(), wantedKq20.end(), block.begin());
    StoreParameterChecksum(block);
    wantedKq20.assign(block.begin(), block.end());
    json models = CompliantModels();
    models["KQ-10"]["parameters"] = FileEntry("KQ-10.prm", DriftedKq10Block());
    models["KQ-20"]["parameters"] = FileEntry("KQ-20.prm", wantedKq20);
    // The ZT-5 wants new firmware, but the profile has no image for it.
    std::vector<std::uint8_t> wantedZt5 = DefaultParameterBlock(SimModel::kZT5);
    std::swap(wantedZt5[13], wantedZt5[14]);  // the byte sum, so the checksum, stays
    models["ZT-5"] = {{"firmware", {{"version", "3.20"}}},
                      {"parameters", FileEntry("ZT-5.prm", wantedZt5)}};
    // The KQ-20 refuses to store any block.
    Unit(1).Faults().failedStatus = 0x01;
    Unit(1).Faults().failedStatusCommand = kCommandStore;

    const json result = RunJson({"apply", "--profile", WriteProfile(models)});
    EXPECT_EQ(m_status, kExitDeviceFailed);
    EXPECT_EQ(result["changed"], true);
    EXPECT_EQ(result["units"][0]["outcome"], "changed");
    EXPECT_EQ(Unit(0).ParameterBlock(), DriftedKq10Block());
    EXPECT_EQ(result["units"][1]["outcome"], "failed");
    EXPECT_THAT(result["units"][1]["error"].get<std::string>(), HasSubstr("parameters: "));
    EXPECT_EQ(result["units"][2]["outcome"], "failed");
    EXPECT_THAT(result["units"][2]["error"].get<std::string>(),
                HasSubstr("the profile wants 3.20 but names no image for the ZT-5; nothing was "
                          "written"));
    EXPECT_EQ(Unit(2).StoreCount(), 0);
    EXPECT_TRUE(Unit(2).Jobs().empty());
}

TEST_F(FleetTest, ACapturedProfileIsCompliantAndNeverReplacesAFile) {
    const std::string profile = PathOf("captured/site.json");
    ASSERT_EQ(std::system(("mkdir '" + PathOf("captured") + "'").c_str()), 0);
    EXPECT_EQ(RunOnWorld({"--serial", "KQ20SN0002", "profile", "capture", profile}), kExitSuccess)
        << Err();
    EXPECT_EQ(ReadFile(PathOf("captured/KQ-20.prm")), DefaultParameterBlock(SimModel::kKQ20));
    const json check = RunJson({"--serial", "KQ20SN0002", "check", "--profile", profile});
    EXPECT_EQ(m_status, kExitSuccess) << Err();
    EXPECT_EQ(check["units"][0]["firmware"]["wanted"], "2.31");
    EXPECT_EQ(check["units"][0]["parameters"]["compliant"], true);

    const std::vector<std::uint8_t> before = ReadFile(profile);
    EXPECT_EQ(RunOnWorld({"--serial", "KQ20SN0002", "profile", "capture", profile}), kExitUsage);
    EXPECT_THAT(Err(), HasSubstr("exists already"));
    EXPECT_EQ(ReadFile(profile), before);
}

}  // namespace
}  // namespace marnel::cli
