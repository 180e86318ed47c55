// The kill-bit rules over a registry held in memory, on a machine with one
// view and on one whose 32-bit programs have a view of their own.
#include <gtest/gtest.h>

#include "activex/KillBits.h"
#include "platform/host/MemoryRegistry.h"
#include "registry/RegistryHelper.h"

namespace {

using activex::KillBits;
using platform::kHkeyLocalMachine;

constexpr const char* kId = "{0897A877-6588-4E0B-A8F7-70394D4E755B}";
const std::string kKey = std::string(activex::kCompatibilityKey) + "\\" + kId;
const std::string kKey32 =
    "Software\\Wow6432Node\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\" +
    std::string(kId);

class KillBitsTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        if (Is64Bit())
            helper_.OpenOrCreateKey(kHkeyLocalMachine, "Software\\Wow6432Node");
    }
    bool Is64Bit() const { return GetParam(); }
    // Every key the rules write: one per view.
    std::vector<std::string> Keys() const {
        return Is64Bit() ? std::vector<std::string>{kKey, kKey32} : std::vector<std::string>{kKey};
    }
    std::uint32_t Dword(const std::string& key, const char* name) {
        return helper_.QueryDword(kHkeyLocalMachine, key, name, 0xDEAD);
    }
    void Write(const std::string& key, const char* name, std::uint32_t value) {
        helper_.SetDword(kHkeyLocalMachine, key, name, value);
    }

    platform::host::MemoryRegistry registry_;
    CRegistryHelper helper_{registry_};
};

TEST_P(KillBitsTest, WritesEveryViewOfTheMachine) {
    KillBits bits(registry_);
    ASSERT_EQ(bits.views().size(), Is64Bit() ? 2u : 1u);
    // Keys that did not exist are created.
    EXPECT_TRUE(bits.SetKillBit(kId, true));
    for (const std::string& key : Keys())
        EXPECT_EQ(Dword(key, activex::kFlagsValue), 0x400u) << key;
    if (!Is64Bit()) {
        // No Wow6432Node appears on a machine without one.
        EXPECT_FALSE(
            helper_.OpenKey(kHkeyLocalMachine, "Software\\Wow6432Node", platform::kKeyRead));
    }
    EXPECT_TRUE(bits.SetKillBit(kId, false));
    for (const std::string& key : Keys())
        EXPECT_EQ(Dword(key, activex::kFlagsValue), 0u) << key;
}

TEST_P(KillBitsTest, OnlyElevenExemptsAndAnExemptedViewKeepsItsBitCleared) {
    KillBits bits(registry_);
    for (std::uint32_t mark : {10u, 12u, 0x0Bu + 0x100u}) {
        Write(kKey, activex::kSystemSetValue, mark);
        EXPECT_FALSE(bits.IsExcepted(kId)) << mark;
        EXPECT_TRUE(bits.SetKillBit(kId, true));
        EXPECT_EQ(Dword(kKey, activex::kFlagsValue), 0x400u) << mark;
    }
    EXPECT_TRUE(bits.SetException(kId, true));
    EXPECT_TRUE(bits.IsExcepted(kId));
    for (const std::string& key : Keys()) {
        EXPECT_EQ(Dword(key, activex::kFlagsValue), 0u) << key;
        EXPECT_EQ(Dword(key, activex::kSystemSetValue), 11u) << key;
    }
    // Protection on leaves it alone; off clears it all the same.
    EXPECT_TRUE(bits.SetKillBit(kId, true));
    EXPECT_EQ(Dword(kKey, activex::kFlagsValue), 0u);
    Write(kKey, activex::kFlagsValue, 0x400);
    EXPECT_TRUE(bits.SetKillBit(kId, false));
    EXPECT_EQ(Dword(kKey, activex::kFlagsValue), 0u);
    // Lifting the exemption does not set the bit again.
    EXPECT_TRUE(bits.SetException(kId, false));
    EXPECT_FALSE(bits.IsExcepted(kId));
    for (const std::string& key : Keys()) {
        EXPECT_EQ(Dword(key, activex::kFlagsValue), 0u) << key;
        EXPECT_EQ(Dword(key, activex::kSystemSetValue), 0u) << key;
    }
    EXPECT_TRUE(bits.SetKillBit(kId, true));
    EXPECT_EQ(Dword(kKey, activex::kFlagsValue), 0x400u);
}

TEST_P(KillBitsTest, RefusedWritesAndForeignIdentifiersAreReported) {
    KillBits bits(registry_);
    registry_.SetFaultHook([](std::string_view operation, std::string_view path) {
        return operation == "SetValue" && path.find("Wow6432Node") == std::string_view::npos
                   ? platform::kErrorAccessDenied
                   : platform::kSuccess;
    });
    EXPECT_FALSE(bits.SetKillBit(kId, true));
    EXPECT_FALSE(bits.SetException(kId, true));
    if (Is64Bit()) {
        // The view that allowed it was written all the same.
        EXPECT_EQ(Dword(kKey32, activex::kFlagsValue), 0u);
    }
    registry_.SetFaultHook({});
    for (const char* notOne :
         {"", "{}", "{0897A877-6588-4E0B-A8F7-70394D4E755B}\\x", "..\\..\\Main",
          "0897A877-6588-4E0B-A8F7-70394D4E755B", "{0897A877-6588-4E0B-A8F7-70394D4E755G}"}) {
        EXPECT_FALSE(activex::IsClassIdentifier(notOne)) << notOne;
        EXPECT_FALSE(bits.SetKillBit(notOne, true)) << notOne;
    }
    EXPECT_EQ(Dword(activex::kCompatibilityKey, activex::kFlagsValue), 0xDEADu);
    EXPECT_TRUE(activex::IsClassIdentifier("{0897a877-6588-4e0b-a8f7-70394d4e755b}"));
}

INSTANTIATE_TEST_SUITE_P(Machines, KillBitsTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? std::string("With32BitView")
                                                : std::string("OneView");
                         });

TEST(KillBitsViews, EachViewFollowsItsOwnMark) {
    platform::host::MemoryRegistry registry;
    CRegistryHelper helper(registry);
    helper.OpenOrCreateKey(kHkeyLocalMachine, "Software\\Wow6432Node");
    KillBits bits(registry);
    // Another program exempted the control for 32-bit browsers only.
    helper.SetDword(kHkeyLocalMachine, kKey32, activex::kSystemSetValue, 11);
    EXPECT_TRUE(bits.IsExcepted(kId));
    EXPECT_TRUE(bits.SetKillBit(kId, true));
    EXPECT_EQ(helper.QueryDword(kHkeyLocalMachine, kKey, activex::kFlagsValue, 0), 0x400u);
    activex::KillBitState state = bits.Read(kId, bits.views()[1]);
    EXPECT_TRUE(state.keyExists);
    EXPECT_FALSE(state.flags);
    EXPECT_EQ(state.systemSet, 11u);
}

}  // namespace
