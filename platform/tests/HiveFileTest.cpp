// Hive files through hivex: what is loaded comes back as written, only real
// changes reach the file, the original is kept once, and damaged hives are
// refused without a byte of them changed.
#include <gtest/gtest.h>
#include <hivex.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/host/HiveFile.h"
#include "platform/host/MemoryRegistry.h"
#include "platform/host/RegFile.h"

namespace {

using namespace platform;
using namespace platform::host;
namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The base block's checksum after a change to the header.
void FixChecksum(std::string& bytes) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < 0x1FC; i += 4) {
        std::uint32_t word = 0;
        for (int k = 3; k >= 0; --k)
            word = (word << 8) | static_cast<unsigned char>(bytes[i + k]);
        sum ^= word;
    }
    for (int k = 0; k < 4; ++k)
        bytes[0x1FC + k] = static_cast<char>((sum >> (8 * k)) & 0xFF);
}

class HiveFile : public ::testing::Test {
  protected:
    fs::path dir;
    std::string hive;

    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "bxhive.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        hive = (dir / "NTUSER.DAT").string();
        std::string error;
        ASSERT_TRUE(WriteEmptyHive(hive, &error)) << error;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    // Loads `file` below HKEY_LOCAL_MACHINE\Mount of `reg`.
    void Mount(MountedHive& mounted, MemoryRegistry& reg, const std::string& file,
               std::map<std::string, std::string> aliases = {}) {
        std::string error;
        ASSERT_TRUE(mounted.Open(file, &error)) << error;
        ASSERT_TRUE(mounted.Load(reg, kHkeyLocalMachine, "Mount", std::move(aliases), &error))
            << error;
    }

    std::string Export(MemoryRegistry& reg) {
        std::string text;
        EXPECT_EQ(ExportRegText(reg, kHkeyLocalMachine, "Mount", RegFormat::kRegedit4, &text),
                  kSuccess);
        return text;
    }

    void Import(MemoryRegistry& reg, const std::string& text) {
        std::string error;
        ASSERT_EQ(ImportRegText(reg, text, &error), kSuccess) << error;
    }
};

const char* const kContent = R"(REGEDIT4

[HKEY_LOCAL_MACHINE\Mount\Software\Fennigle Smileys]
@="default"
"Zeta"="first in creation order"
"Alpha"=dword:0000002a
"Bytes"=hex:00,01,fe,ff
"Expand"=hex(2):25,54,45,4d,50,25,00
"Multi"=hex(7):61,00,62,00,00
"Big"=hex(b):01,02,03,04,05,06,07,08
"Umlaut Ä"="Grüße, 東京"

[HKEY_LOCAL_MACHINE\Mount\Software\Fennigle Smileys\Sub Key]

[HKEY_LOCAL_MACHINE\Mount\Software\MixedCase]
"n"="v"
)";

TEST_F(HiveFile, WhatIsSavedLoadsBackTheSame) {
    std::string original = ReadBytes(hive);
    std::string written;
    {
        MemoryRegistry reg;
        MountedHive mounted;
        Mount(mounted, reg, hive);
        EXPECT_TRUE(mounted.CleanlyClosed());
        Import(reg, kContent);
        written = Export(reg);
        bool changed = false;
        std::string error;
        ASSERT_TRUE(mounted.Save(reg, &changed, &error)) << error;
        EXPECT_TRUE(changed);
    }
    // The original is kept, the new file is gone after the rename.
    EXPECT_EQ(ReadBytes(hive + ".brindlex-backup"), original);
    EXPECT_FALSE(fs::exists(hive + ".brindlex-new"));
    EXPECT_NE(ReadBytes(hive), original);

    MemoryRegistry again;
    MountedHive reread;
    Mount(reread, again, hive);
    EXPECT_EQ(Export(again), written);

    // hivex itself sees the strings as UTF-16 and the types as stored.
    hive_h* h = hivex_open(hive.c_str(), 0);
    ASSERT_NE(h, nullptr);
    hive_node_h software = hivex_node_get_child(h, hivex_root(h), "software");
    hive_node_h key = hivex_node_get_child(h, software, "FENNIGLE SMILEYS");
    ASSERT_NE(key, 0u);
    hive_value_h value = hivex_node_get_value(h, key, "Umlaut Ä");
    ASSERT_NE(value, 0u);
    char* text = hivex_value_string(h, value);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "Grüße, 東京");
    std::free(text);
    EXPECT_EQ(hivex_value_dword(h, hivex_node_get_value(h, key, "Alpha")), 42);
    hivex_close(h);
}

TEST_F(HiveFile, OnlyChangesAreWrittenAndTheFirstOriginalIsKept) {
    {
        MemoryRegistry reg;
        MountedHive mounted;
        Mount(mounted, reg, hive);
        Import(reg, kContent);
        std::string error;
        ASSERT_TRUE(mounted.Save(reg, nullptr, &error)) << error;
    }
    const std::string empty = ReadBytes(hive + ".brindlex-backup");
    const std::string filled = ReadBytes(hive);

    // Loading and saving without a change writes nothing at all.
    {
        MemoryRegistry reg;
        MountedHive mounted;
        Mount(mounted, reg, hive);
        bool changed = true;
        std::string error;
        ASSERT_TRUE(mounted.Save(reg, &changed, &error)) << error;
        EXPECT_FALSE(changed);
        EXPECT_EQ(ReadBytes(hive), filled);
    }

    // A deleted key (with its subkey), a deleted value and a changed one
    // reach the file; the copy from before the first change stays.
    MemoryRegistry reg;
    MountedHive mounted;
    Mount(mounted, reg, hive);
    Import(reg,
           "REGEDIT4\n\n[-HKEY_LOCAL_MACHINE\\Mount\\Software\\Fennigle Smileys]\n\n"
           "[HKEY_LOCAL_MACHINE\\Mount\\Software\\MixedCase]\n\"n\"=-\n\"m\"=\"new\"\n");
    std::string expected = Export(reg);
    bool changed = false;
    std::string error;
    ASSERT_TRUE(mounted.Save(reg, &changed, &error)) << error;
    EXPECT_TRUE(changed);
    EXPECT_EQ(ReadBytes(hive + ".brindlex-backup"), empty);

    MemoryRegistry again;
    MountedHive reread;
    Mount(reread, again, hive);
    EXPECT_EQ(Export(again), expected);
    EXPECT_EQ(expected.find("Fennigle"), std::string::npos);
    EXPECT_NE(expected.find("\"m\"=\"new\""), std::string::npos);
}

TEST_F(HiveFile, TopKeysCanBeSeenUnderAnotherName) {
    {
        MemoryRegistry reg;
        MountedHive mounted;
        Mount(mounted, reg, hive);
        Import(reg,
               "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Mount\\ControlSet001\\Services\\x]\n"
               "\"Start\"=dword:00000002\n\n[HKEY_LOCAL_MACHINE\\Mount\\Select]\n"
               "\"Current\"=dword:00000001\n");
        std::string error;
        ASSERT_TRUE(mounted.Save(reg, nullptr, &error)) << error;
    }
    MemoryRegistry reg;
    MountedHive mounted;
    std::string error;
    ASSERT_TRUE(mounted.Open(hive, &error)) << error;
    std::uint32_t current = 0;
    ASSERT_TRUE(mounted.ReadDword("Select", "Current", &current));
    EXPECT_EQ(current, 1u);
    EXPECT_FALSE(mounted.ReadDword("Select", "Missing", &current));
    ASSERT_TRUE(mounted.Load(reg, kHkeyLocalMachine, "Mount",
                             {{"ControlSet001", "CurrentControlSet"}}, &error))
        << error;
    HKey key = kNullKey;
    ASSERT_EQ(reg.OpenKey(kHkeyLocalMachine, "Mount\\CurrentControlSet\\Services\\x", kKeyAllAccess,
                          &key),
              kSuccess);
    std::uint32_t start = 4;
    ASSERT_EQ(reg.SetValue(key, "Start", kRegDword, &start, 4), kSuccess);
    reg.CloseKey(key);
    ASSERT_TRUE(mounted.Save(reg, nullptr, &error)) << error;

    // The change lands in the key the alias stands for, under its own name.
    hive_h* h = hivex_open(hive.c_str(), 0);
    ASSERT_NE(h, nullptr);
    hive_node_h root = hivex_root(h);
    EXPECT_EQ(hivex_node_get_child(h, root, "CurrentControlSet"), 0u);
    hive_node_h x = hivex_node_get_child(
        h, hivex_node_get_child(h, hivex_node_get_child(h, root, "ControlSet001"), "Services"),
        "x");
    ASSERT_NE(x, 0u);
    EXPECT_EQ(hivex_value_dword(h, hivex_node_get_value(h, x, "Start")), 4);
    hivex_close(h);
}

TEST_F(HiveFile, DamagedHivesAreRefusedAndLeftAsTheyWere) {
    {
        MemoryRegistry reg;
        MountedHive mounted;
        Mount(mounted, reg, hive);
        Import(reg, kContent);
        std::string error;
        ASSERT_TRUE(mounted.Save(reg, nullptr, &error)) << error;
    }
    const std::string good = ReadBytes(hive);
    // Offset of the root key's subkey list, in the file.
    std::uint32_t rootCell = 0;
    for (int i = 3; i >= 0; --i)
        rootCell = (rootCell << 8) | static_cast<unsigned char>(good[0x24 + i]);
    const std::size_t subkeyList = 0x1000 + rootCell + 0x20;

    struct Damage {
        const char* what;
        std::string bytes;
    };
    std::string badMagic = good;
    badMagic[0] = 'X';
    std::string badSum = good;
    badSum[0x1FC] = static_cast<char>(badSum[0x1FC] ^ 0x55);
    std::string outside = good;
    outside[subkeyList] = '\x00';
    outside[subkeyList + 1] = '\xFF';
    outside[subkeyList + 2] = '\xFF';
    outside[subkeyList + 3] = '\x7F';
    const Damage damages[] = {
        {"empty", ""},
        {"truncated header", good.substr(0, 200)},
        {"truncated bins", good.substr(0, good.size() / 2 + 3)},
        {"bad magic", badMagic},
        {"bad checksum", badSum},
        {"subkey list outside the file", outside},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        const std::string file = (dir / "DAMAGED").string();
        WriteBytes(file, damage.bytes);
        MemoryRegistry reg;
        MountedHive mounted;
        std::string error;
        bool ok =
            mounted.Open(file, &error) && mounted.Load(reg, kHkeyLocalMachine, "Mount", {}, &error);
        EXPECT_FALSE(ok);
        EXPECT_NE(error.find("DAMAGED"), std::string::npos) << error;
        EXPECT_EQ(ReadBytes(file), damage.bytes);
        EXPECT_FALSE(fs::exists(file + ".brindlex-backup"));
    }
}

TEST_F(HiveFile, AHiveNotClosedCleanlyIsReported) {
    std::string bytes = ReadBytes(hive);
    bytes[4] = '\x02';  // first sequence number ahead of the second
    FixChecksum(bytes);
    WriteBytes(hive, bytes);
    MountedHive mounted;
    std::string error;
    ASSERT_TRUE(mounted.Open(hive, &error)) << error;
    EXPECT_FALSE(mounted.CleanlyClosed());
}

}  // namespace
