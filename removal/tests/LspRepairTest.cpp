#include "removal/LspRepair.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/host/MemoryRegistry.h"
#include "registry/RegistryHelper.h"
#include "registry/RegistryKey.h"

namespace {

using platform::kHkeyLocalMachine;

std::string Entries(const char* name = removal::kCatalogEntriesName) {
    return std::string(removal::kProtocolCatalogKey) + "\\" + name;
}

std::string Number(int n) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%012d", n);
    return buffer;
}

class LspRepairTest : public ::testing::Test {
  protected:
    // Entry `name` whose packed record starts with `provider`, followed by
    // bytes that must survive renumbering unchanged.
    void AddEntry(const std::string& name, const std::string& provider,
                  const char* entries = removal::kCatalogEntriesName) {
        CRegistryKey root(reg, kHkeyLocalMachine);
        CRegistryKey key = root.CreateOrOpenKey(Entries(entries) + "\\" + name);
        std::vector<std::uint8_t> data(provider.begin(), provider.end());
        data.push_back(0);
        for (char c : "tail:" + name)
            data.push_back(static_cast<std::uint8_t>(c));
        key.SetValue(
            CRegistryKey::Value(removal::kPackedCatalogItemName, platform::kRegBinary, data));
    }

    // Provider paths in numeric order, checking the record tails moved along.
    std::vector<std::string> Catalog(const char* entries = removal::kCatalogEntriesName) {
        std::vector<std::string> providers;
        CRegistryKey key(reg, kHkeyLocalMachine, Entries(entries));
        for (auto it = key.BeginSubkeyIteration(); it != key.EndSubkeyIteration(); ++it) {
            EXPECT_EQ(*it, Number(static_cast<int>(providers.size()) + 1)) << "gap or misnumber";
            const auto value = it.OpenKey().QueryValue(removal::kPackedCatalogItemName);
            const std::vector<std::uint8_t>& data = value.GetData();
            providers.emplace_back(reinterpret_cast<const char*>(data.data()));
        }
        return providers;
    }

    std::uint32_t Count(const char* name = removal::kCatalogCountName) {
        CRegistryKey key(reg, kHkeyLocalMachine, removal::kProtocolCatalogKey);
        std::uint32_t count = 0;
        EXPECT_TRUE(key.QueryValue(name, count));
        return count;
    }

    void FillTen(const char* entries = removal::kCatalogEntriesName) {
        for (int i = 1; i <= 10; ++i)
            AddEntry(Number(i),
                     i == 4 || i == 7
                         ? "C:\\Windows\\system32\\zinlsp.dll"
                         : "%SystemRoot%\\system32\\mswsock" + std::to_string(i) + ".dll",
                     entries);
    }

    platform::host::MemoryRegistry reg;
};

TEST_F(LspRepairTest, RemovesMatchingEntriesAndRenumbersInOldOrder) {
    FillTen();
    removal::RemoveLspEntries(reg, "C:\\Windows\\system32\\zinlsp.dll");
    const std::vector<std::string> expected = {
        "%SystemRoot%\\system32\\mswsock1.dll", "%SystemRoot%\\system32\\mswsock2.dll",
        "%SystemRoot%\\system32\\mswsock3.dll", "%SystemRoot%\\system32\\mswsock5.dll",
        "%SystemRoot%\\system32\\mswsock6.dll", "%SystemRoot%\\system32\\mswsock8.dll",
        "%SystemRoot%\\system32\\mswsock9.dll", "%SystemRoot%\\system32\\mswsock10.dll"};
    EXPECT_EQ(Catalog(), expected);
    EXPECT_EQ(Count(), 8u);
    // Each record moved with its own trailing bytes.
    CRegistryKey moved(reg, kHkeyLocalMachine, Entries() + "\\" + Number(4));
    const auto data = moved.QueryValue(removal::kPackedCatalogItemName).GetData();
    const std::string tail(data.end() - 17, data.end());
    EXPECT_EQ(tail, "tail:" + Number(5));
}

TEST_F(LspRepairTest, RepairsTheSixtyFourBitCatalogToo) {
    FillTen();
    FillTen(removal::kCatalogEntries64Name);
    removal::RemoveLspEntries(reg, "zinlsp.dll");
    EXPECT_EQ(Catalog().size(), 8u);
    EXPECT_EQ(Catalog(removal::kCatalogEntries64Name).size(), 8u);
    EXPECT_EQ(Count(removal::kCatalogCount64Name), 8u);
}

TEST_F(LspRepairTest, LeavesTheCatalogAloneWithoutACaseSensitiveMatch) {
    FillTen();
    removal::RemoveLspEntries(reg, "c:\\windows\\system32\\zinlsp.dll");
    removal::RemoveLspEntries(reg, "C:\\Other\\zinlsp.dll");
    EXPECT_EQ(Catalog().size(), 10u);
    // No renumbering, so no count was written.
    EXPECT_EQ(CRegistryHelper(reg).QueryDword(kHkeyLocalMachine, removal::kProtocolCatalogKey,
                                              removal::kCatalogCountName, 77),
              77u);
}

TEST_F(LspRepairTest, SortsNumericallyNotByText) {
    AddEntry("000000000002", "a.dll");
    AddEntry("100", "c.dll");
    AddEntry("000000000099", "b.dll");
    AddEntry("000000000003", "lsp.dll");
    removal::RemoveLspEntries(reg, "lsp.dll");
    EXPECT_EQ(Catalog(), (std::vector<std::string>{"a.dll", "b.dll", "c.dll"}));
    EXPECT_EQ(Count(), 3u);
}

TEST_F(LspRepairTest, SkipsUnreadableEntriesWhenMatching) {
    FillTen();
    CRegistryKey(reg, kHkeyLocalMachine, Entries() + "\\" + Number(2))
        .SetValue(removal::kPackedCatalogItemName, 7u);  // not binary
    removal::RemoveLspEntries(reg, "zinlsp.dll");
    EXPECT_EQ(Count(), 8u);
}

TEST_F(LspRepairTest, AFailureWhileRenumberingLosesNoEntry) {
    FillTen();
    // The first creation of entry 5 fails once; a lasting failure is the
    // next case.
    int failures = 0;
    reg.SetFaultHook([&](std::string_view operation, std::string_view path) {
        if (operation == "CreateKey" && path.ends_with(Number(5)) && failures == 0) {
            ++failures;
            return platform::kErrorNotEnoughMemory;
        }
        return platform::kSuccess;
    });
    removal::RemoveLspEntries(reg, "zinlsp.dll");
    reg.SetFaultHook(nullptr);
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(Catalog().size(), 8u);
    EXPECT_EQ(Count(), 8u);
}

TEST_F(LspRepairTest, ALastingFailureKeepsEveryEntryAndAMatchingCount) {
    FillTen();
    reg.SetFaultHook([&](std::string_view operation, std::string_view path) {
        return operation == "SetValue" && path.ends_with(Number(5)) ? platform::kErrorAccessDenied
                                                                    : platform::kSuccess;
    });
    removal::RemoveLspEntries(reg, "zinlsp.dll");
    reg.SetFaultHook(nullptr);
    CRegistryKey key(reg, kHkeyLocalMachine, Entries());
    std::vector<std::string> names;
    for (auto it = key.BeginSubkeyIteration(); it != key.EndSubkeyIteration(); ++it) {
        names.push_back(*it);
        // No half-made entry without its record.
        EXPECT_NO_THROW(it.OpenKey().QueryValue(removal::kPackedCatalogItemName)) << *it;
    }
    EXPECT_EQ(names.size(), 8u);
    EXPECT_EQ(Count(), 8u);
}

TEST_F(LspRepairTest, WithoutWriteAccessNothingChanges) {
    FillTen();
    reg.DenyAccess(kHkeyLocalMachine, Entries(), platform::kKeyAllAccess & ~platform::kKeyRead);
    removal::RemoveLspEntries(reg, "zinlsp.dll");
    reg.DenyAccess(kHkeyLocalMachine, Entries(), 0);
    CRegistryKey key(reg, kHkeyLocalMachine, Entries());
    int count = 0;
    for (auto it = key.BeginSubkeyIteration(); it != key.EndSubkeyIteration(); ++it)
        ++count;
    EXPECT_EQ(count, 10);
}

}  // namespace
