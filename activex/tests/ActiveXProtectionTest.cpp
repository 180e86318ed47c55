// The two ActiveX windows' decisions and the block list reader, over a
// registry and a program folder of a test machine.
#include <gtest/gtest.h>

#include "activex/ActiveXProtection.h"
#include "platform/tests/support/TestSystem.h"
#include "registry/RegistryHelper.h"
#include "settings/SettingsStore.h"

namespace {

using platform::kHkeyLocalMachine;

constexpr const char* kA = "{0897A877-6588-4E0B-A8F7-70394D4E755B}";
constexpr const char* kB = "{83B3E4F9-01E2-42ED-9318-DE17B0BD1115}";
constexpr const char* kC = "{24E285FE-C4B2-49E4-A81D-7090F0F4EE02}";

class ActiveXProtectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        store_.WriteDefaultSettings();
        blockListPath_ = std::string(testsupport::kProgramFolder) + "\\xblk.bx";
    }
    std::uint32_t Flags(const char* id) { return Dword(id, activex::kFlagsValue); }
    std::uint32_t Mark(const char* id) { return Dword(id, activex::kSystemSetValue); }
    std::uint32_t Dword(const char* id, const char* name) {
        return helper_.QueryDword(
            kHkeyLocalMachine, std::string(activex::kCompatibilityKey) + "\\" + id, name, 0xDEAD);
    }
    void WriteBlockList(std::string_view markup) {
        ASSERT_EQ(machine_.files().WriteFile(blockListPath_, markup), platform::kSuccess);
    }
    std::string Setting(const char* name) {
        std::string value;
        store_.GetSetting(name, &value);
        return value;
    }

    testsupport::TestSystem machine_;
    settings::SettingsStore store_{machine_.system()};
    CRegistryHelper helper_{machine_.registry()};
    std::string blockListPath_;
    std::vector<std::string> classIds_ = {kA, kB, kC};
};

TEST_F(ActiveXProtectionTest, TheShieldsTextsCountTheDatabase) {
    EXPECT_EQ(activex::CountLabel(3), "Currently Protecting Against <b>3</b> items");
    const std::string text = activex::ExplanationText();
    EXPECT_NE(text.find("by the constant \"Yes/No\" prompts"), std::string::npos);
    EXPECT_NE(text.find("unwanted programs.\r\n\r\nIf you wish"), std::string::npos);
    activex::ActiveXShields shields(machine_.system(), classIds_);
    EXPECT_EQ(shields.count(), 3u);
    EXPECT_FALSE(shields.ProtectionOn());
}

TEST_F(ActiveXProtectionTest, EnableSetsTheBitsAndAnnouncesOnlyTheFirstTime) {
    helper_.SetDword(kHkeyLocalMachine, std::string(activex::kCompatibilityKey) + "\\" + kB,
                     activex::kSystemSetValue, 11);
    activex::ActiveXShields shields(machine_.system(), classIds_);
    activex::KillBitPass pass = shields.Enable();
    EXPECT_EQ(pass.written, 2u);
    EXPECT_EQ(pass.skipped, 1u);
    EXPECT_EQ(shields.OkMessage(true, pass), activex::kProtectionEnabled);
    EXPECT_EQ(Setting("acbl"), "1");
    EXPECT_EQ(Flags(kA), 0x400u);
    EXPECT_EQ(Flags(kB), 0xDEADu);
    EXPECT_EQ(Flags(kC), 0x400u);
    // Again with "acbl" on: the bits are written again, nothing is said.
    helper_.SetDword(kHkeyLocalMachine, std::string(activex::kCompatibilityKey) + "\\" + kA,
                     activex::kFlagsValue, 0);
    pass = shields.Enable();
    EXPECT_EQ(Flags(kA), 0x400u);
    EXPECT_EQ(shields.OkMessage(true, pass), "");
}

TEST_F(ActiveXProtectionTest, DisableClearsEveryBitAndCreatesMissingKeys) {
    helper_.SetDword(kHkeyLocalMachine, std::string(activex::kCompatibilityKey) + "\\" + kA,
                     activex::kFlagsValue, 0x400);  // set by other software
    store_.SetSetting("acbl", "1");
    activex::ActiveXShields shields(machine_.system(), classIds_);
    activex::KillBitPass pass = shields.Disable();
    EXPECT_EQ(pass.written, 3u);
    EXPECT_EQ(shields.OkMessage(false, pass), "");
    EXPECT_EQ(Setting("acbl"), "0");
    for (const char* id : {kA, kB, kC})
        EXPECT_EQ(Flags(id), 0u) << id;
}

TEST_F(ActiveXProtectionTest, RefusedWritesAreToldAndLeaveTheChoiceAsItWas) {
    machine_.registry().SetFaultHook([](std::string_view operation, std::string_view path) {
        return operation == "CreateKey" && path.find("ActiveX Compatibility") != std::string::npos
                   ? platform::kErrorAccessDenied
                   : platform::kSuccess;
    });
    activex::ActiveXShields shields(machine_.system(), classIds_);
    activex::KillBitPass pass = shields.Enable();
    EXPECT_EQ(pass.failed, 3u);
    EXPECT_EQ(shields.OkMessage(true, pass),
              "ActiveX protection could not be changed for 3 of 3 items. Changing it needs "
              "administrator rights: run Brindlex as an administrator and try again.");
    EXPECT_EQ(Setting("acbl"), "0");
}

TEST_F(ActiveXProtectionTest, ControlsListTheBlockListWithTheirExemptions) {
    WriteBlockList(R"(<?xml version="1.0"?>
<Brindlex>
  <Adware Name="Alpha"><CLSID Key=")" +
                   std::string(kA) + R"(" /><CLSID Key=")" + kB + R"(" /></Adware>
  <Adware NAME="Upper Name"><CLSID Key=")" +
                   kC + R"(" /></Adware>
  <Adware Name="" NAME="Fallback" />
  <Other Name="Not a program" />
  <Adware Name="No identifiers"></Adware>
</Brindlex>)");
    helper_.SetDword(kHkeyLocalMachine, std::string(activex::kCompatibilityKey) + "\\" + kB,
                     activex::kSystemSetValue, 11);
    activex::ActiveXControls controls(machine_.system());
    controls.Open();
    EXPECT_EQ(controls.problem(), "");
    auto& rows = controls.rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].item.name, "Alpha");
    EXPECT_EQ(rows[0].item.classIds, (std::vector<std::string>{kA, kB}));
    EXPECT_TRUE(rows[0].checked);
    EXPECT_EQ(rows[1].item.name, "Upper Name");
    EXPECT_FALSE(rows[1].checked);
    EXPECT_EQ(rows[2].item.name, "Fallback");
    EXPECT_EQ(rows[3].item.name, "No identifiers");
    EXPECT_TRUE(rows[3].item.classIds.empty());
    EXPECT_FALSE(rows[3].checked);

    // Checking clears the program's bits at once; unchecking lifts the
    // marks and leaves the bits cleared.
    for (const char* id : {kA, kC})
        helper_.SetDword(kHkeyLocalMachine, std::string(activex::kCompatibilityKey) + "\\" + id,
                         activex::kFlagsValue, 0x400);
    rows[0].checked = false;
    rows[1].checked = true;
    EXPECT_EQ(controls.Ok(), "");
    EXPECT_EQ(Flags(kC), 0u);
    EXPECT_EQ(Mark(kC), 11u);
    EXPECT_EQ(Flags(kA), 0x400u);
    EXPECT_EQ(Mark(kA), 0u);
    EXPECT_EQ(Mark(kB), 0u);
    EXPECT_EQ(Flags(kB), 0xDEADu);
}

TEST_F(ActiveXProtectionTest, ABlockListThatCannotBeUsedListsNothingAndSaysWhy) {
    activex::ActiveXControls controls(machine_.system());
    controls.Open();
    EXPECT_TRUE(controls.rows().empty());
    EXPECT_EQ(controls.problem(), "The ActiveX block list \"" + blockListPath_ +
                                      "\" was not found, so no program can be exempted here.");

    WriteBlockList("<Brindlex><Adware Name=\"A\"><CLSID Key=\"x\"></Adware>");
    controls.Open();
    EXPECT_TRUE(controls.rows().empty());
    EXPECT_EQ(controls.problem(), "The ActiveX block list \"" + blockListPath_ +
                                      "\" lists no programs: it does not parse: End tag does not "
                                      "correspond to CLSID.");

    WriteBlockList("<BX><Adware Name=\"A\" /></BX>");
    controls.Open();
    EXPECT_TRUE(controls.rows().empty());
    EXPECT_NE(controls.problem().find("its document element is not Brindlex"), std::string::npos);

    // The setting names the file.
    store_.SetSetting("xpath", "C:\\elsewhere\\list.bx");
    controls.Open();
    EXPECT_NE(controls.problem().find("\"C:\\elsewhere\\list.bx\" was not found"),
              std::string::npos);
}

}  // namespace
