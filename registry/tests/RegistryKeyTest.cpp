// CRegistryKey over the in-memory registry: key creation and deletion, value
// access and its type checks, enumeration while the key changes, failures
// with their codes and locations, and the shared handle's lifetime.
#include "registry/RegistryKey.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/MemoryRegistry.h"
#include "registry/tests/RawRegistryTest.h"

namespace {

using platform::HKey;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using platform::kNullKey;
using platform::Status;
using platform::host::MemoryRegistry;

constexpr std::uint32_t kDelete = 0x00010000;

class RegistryKeyTest : public registrytest::RawRegistryTest {
  protected:
    using RawRegistryTest::Put;
    using RawRegistryTest::Read;
    void Put(std::string_view path, std::string_view name, std::uint32_t type,
             const std::vector<std::uint8_t>& data) {
        Put(path, name, type,
            std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    }
    void PutText(std::string_view path, std::string_view name, std::string_view text,
                 std::uint32_t type = platform::kRegSz) {
        Put(path, name, type, text);
    }
    bool Read(std::string_view path, std::string_view name, std::uint32_t* type,
              std::vector<std::uint8_t>* data) {
        std::string bytes;
        if (!Read(path, name, type, &bytes))
            return false;
        data->assign(bytes.begin(), bytes.end());
        return true;
    }
    CRegistryKey Open(std::string_view path) {
        return CRegistryKey(reg, kHkeyCurrentUser, path, platform::kKeyAllAccess);
    }
    static bool IsClosed(MemoryRegistry& registry, HKey handle) {
        platform::KeyInfo info;
        return registry.QueryInfoKey(handle, &info) == platform::kErrorInvalidHandle;
    }
};

// Runs `action` and returns the CRegistryKey::Exception it raised.
template <typename Action>
CRegistryKey::Exception Raised(Action action) {
    try {
        action();
    } catch (const CRegistryKey::Exception& e) {
        return e;
    }
    ADD_FAILURE() << "no CRegistryKey::Exception was raised";
    return CRegistryKey::Exception("(nothing raised)", 0xFFFFFFFFu);
}

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

// --- Opening ---------------------------------------------------------------

TEST_F(RegistryKeyTest, OpeningFailuresCarryTheSystemCodeAndTheConstructorLocation) {
    MakeKey("Software\\Locked");
    reg.DenyAccess(kHkeyCurrentUser, "Software\\Locked", platform::kKeySetValue);

    CRegistryKey::Exception denied = Raised([&] { Open("Software\\Locked"); });
    EXPECT_EQ(denied.GetError(), platform::kErrorAccessDenied);
    EXPECT_STREQ(denied.GetWhere(), "CRegistryKey::CRegistryKey(HKEY hKey ...)");

    // Only the denied right is refused.
    CRegistryKey readable(reg, kHkeyCurrentUser, "Software\\Locked", platform::kKeyRead);
    EXPECT_NE(readable.GetHandle(), kNullKey);

    // OpenKey below an open key fails the same way.
    CRegistryKey software = Open("Software");
    CRegistryKey::Exception viaOpenKey = Raised([&] { software.OpenKey("Locked"); });
    EXPECT_EQ(viaOpenKey.GetError(), platform::kErrorAccessDenied);
    EXPECT_STREQ(viaOpenKey.GetWhere(), "CRegistryKey::CRegistryKey(HKEY hKey ...)");

    CRegistryKey::Exception missing = Raised([&] { software.OpenKey("Missing\\Key"); });
    EXPECT_EQ(missing.GetError(), platform::kErrorFileNotFound);
    EXPECT_STREQ(missing.GetWhere(), "CRegistryKey::CRegistryKey(HKEY hKey ...)");

    software.Close();
    readable.Close();
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(RegistryKeyTest, RemoteRegistryIsOpenedThroughTheConnectionAndRefusedWhenUnsupported) {
    MakeKey("Software\\Remote");
    CRegistryKey::Exception refused = Raised(
        [&] { CRegistryKey(reg, kHkeyLocalMachine, "Software", platform::kKeyRead, "OTHERPC"); });
    EXPECT_EQ(refused.GetError(), platform::kErrorNotSupported);
    EXPECT_STREQ(refused.GetWhere(), "CRegistryKey::CRegistryKey() - RegConnectRegistry");

    // A registry that can connect: the connected root is closed once the
    // subkey below it is open.
    class ConnectingRegistry : public MemoryRegistry {
      public:
        Status ConnectRegistry(std::string_view machine, HKey root, HKey* result) override {
            machines.emplace_back(machine);
            return OpenKey(root, "", platform::kKeyAllAccess, result);
        }
        std::vector<std::string> machines;
    };
    ConnectingRegistry remote;
    HKey made = kNullKey;
    ASSERT_EQ(remote.CreateKey(kHkeyCurrentUser, "Software\\Remote", 0, platform::kKeyAllAccess,
                               &made, nullptr),
              platform::kSuccess);
    remote.CloseKey(made);
    {
        CRegistryKey key(remote, kHkeyCurrentUser, "Software\\Remote", platform::kKeyAllAccess,
                         "PC1");
        EXPECT_EQ(remote.machines, std::vector<std::string>{"PC1"});
        EXPECT_EQ(remote.OpenHandleCount(), 1u);
        key.SetValue("n", 5);
        std::uint32_t read = 0;
        EXPECT_TRUE(key.OpenKey("").QueryValue("n", read));
        EXPECT_EQ(read, 5u);

        // A local key never connects.
        CRegistryKey local(remote, kHkeyCurrentUser, "Software\\Remote");
        EXPECT_EQ(remote.machines.size(), 1u);
    }
    EXPECT_EQ(remote.OpenHandleCount(), 0u);
}

// --- Creating --------------------------------------------------------------

TEST_F(RegistryKeyTest, CreateKeyRefusesAnExistingKeyWhileCreateOrOpenKeyOpensIt) {
    PutText("Software\\Vendor\\Existing", "kept", "yes");
    CRegistryKey vendor = Open("Software\\Vendor");

    CRegistryKey::Exception exists = Raised([&] { vendor.CreateKey("Existing"); });
    EXPECT_EQ(exists.GetError(), platform::kErrorAlreadyExists);
    EXPECT_STREQ(exists.GetWhere(), "CRegistryKey::CreateKey()");
    // The handle it got for the existing key was closed again.
    EXPECT_EQ(reg.OpenHandleCount(), 1u);

    CRegistryKey::Disposition disposition = CRegistryKey::Disposition::kCreatedNewKey;
    CRegistryKey opened = vendor.CreateOrOpenKey("existing", &disposition);
    EXPECT_EQ(disposition, CRegistryKey::Disposition::kOpenedExistingKey);
    EXPECT_EQ(opened.QueryValue("kept").AsString(), "yes");

    CRegistryKey created = vendor.CreateOrOpenKey("New\\Nested", &disposition);
    EXPECT_EQ(disposition, CRegistryKey::Disposition::kCreatedNewKey);
    EXPECT_TRUE(Exists("Software\\Vendor\\New\\Nested"));

    CRegistryKey fresh = vendor.CreateKey("Fresh");
    EXPECT_TRUE(Exists("Software\\Vendor\\Fresh"));
    fresh.SetValue("x", 1);

    // A refused creation reports the operation it came from.
    reg.DenyAccess(kHkeyCurrentUser, "Software\\Vendor\\Forbidden", platform::kKeyAllAccess);
    CRegistryKey::Exception denied = Raised([&] { vendor.CreateOrOpenKey("Forbidden"); });
    EXPECT_EQ(denied.GetError(), platform::kErrorAccessDenied);
    EXPECT_STREQ(denied.GetWhere(), "CRegistryKey::CreateOrOpenKey()");
    EXPECT_FALSE(Exists("Software\\Vendor\\Forbidden"));
}

// --- Deleting --------------------------------------------------------------

TEST_F(RegistryKeyTest, DeleteKeyRefusesAKeyWithSubkeysAndDeletesNothing) {
    PutText("Software\\Vendor\\Parent", "v", "1");
    MakeKey("Software\\Vendor\\Parent\\Child");
    CRegistryKey vendor = Open("Software\\Vendor");

    // Refused by the wrapper itself, whatever the registry would allow.
    int deleteCalls = 0;
    reg.SetFaultHook([&](std::string_view operation, std::string_view) {
        deleteCalls += operation == "DeleteKey" ? 1 : 0;
        return platform::kSuccess;
    });
    CRegistryKey::Exception refused = Raised([&] { vendor.DeleteKey("Parent"); });
    EXPECT_EQ(refused.GetError(), platform::kErrorAccessDenied);
    EXPECT_STREQ(refused.GetWhere(), "CRegistryKey::DeleteKey()");
    EXPECT_EQ(deleteCalls, 0);
    reg.SetFaultHook(nullptr);
    EXPECT_TRUE(Exists("Software\\Vendor\\Parent\\Child"));
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    EXPECT_TRUE(Read("Software\\Vendor\\Parent", "v", &type, &data));

    // Once the subkey is gone the key goes too.
    vendor.OpenKey("Parent").DeleteKey("Child");
    vendor.DeleteKey("Parent");
    EXPECT_FALSE(Exists("Software\\Vendor\\Parent"));

    CRegistryKey::Exception missing = Raised([&] { vendor.DeleteKey("Parent"); });
    EXPECT_EQ(missing.GetError(), platform::kErrorFileNotFound);
    EXPECT_STREQ(missing.GetWhere(), "CRegistryKey::DeleteKey()");

    vendor.Close();
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(RegistryKeyTest, DeleteKeyAndSubkeysRemovesTheWholeTreeDeepestFirst) {
    for (const char* path : {"Software\\Tree\\A\\A1\\Deep", "Software\\Tree\\A\\A2",
                             "Software\\Tree\\B", "Software\\TreeSibling\\Keep"}) {
        MakeKey(path);
    }
    PutText("Software\\Tree\\A\\A1", "value", "x");
    PutText("Software\\Tree", "top", "y");

    std::vector<std::string> deleted;
    reg.SetFaultHook([&](std::string_view operation, std::string_view path) {
        if (operation == "DeleteKey") {
            deleted.emplace_back(path);
        }
        return platform::kSuccess;
    });
    Open("Software").DeleteKeyAndSubkeys("Tree");
    reg.SetFaultHook(nullptr);

    EXPECT_FALSE(Exists("Software\\Tree"));
    EXPECT_TRUE(Exists("Software\\TreeSibling\\Keep"));
    EXPECT_EQ(deleted.size(), 6u);
    // No key goes before a key below it.
    for (std::size_t i = 0; i < deleted.size(); ++i) {
        for (std::size_t later = i + 1; later < deleted.size(); ++later) {
            EXPECT_NE(deleted[later].rfind(deleted[i] + "\\", 0), 0u)
                << deleted[later] << " deleted after its parent " << deleted[i];
        }
    }
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(RegistryKeyTest, DeleteKeyAndSubkeysStopsAtAKeyThatCannotBeDeleted) {
    MakeKey("Software\\Tree\\A\\Inner");
    MakeKey("Software\\Tree\\B\\Inner");
    MakeKey("Software\\Tree\\C");
    reg.DenyAccess(kHkeyCurrentUser, "Software\\Tree\\B\\Inner", kDelete);

    CRegistryKey::Exception refused = Raised([&] { Open("Software").DeleteKeyAndSubkeys("Tree"); });
    EXPECT_EQ(refused.GetError(), platform::kErrorAccessDenied);
    EXPECT_STREQ(refused.GetWhere(), "CRegistryKey::DeleteKey()");
    EXPECT_FALSE(Exists("Software\\Tree\\A"));
    EXPECT_TRUE(Exists("Software\\Tree\\B\\Inner"));
    EXPECT_TRUE(Exists("Software\\Tree\\C"));
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

// --- Values ----------------------------------------------------------------

TEST_F(RegistryKeyTest, ValueAccessorsRefuseOtherTypesWithAnExceptionTheKeyHandlerCatches) {
    Put("Software\\Values", "dword", platform::kRegDword, {1, 0, 0, 0});
    CRegistryKey::Value value = Open("Software\\Values").QueryValue("dword");

    bool caught = false;
    try {
        value.AsString();
    } catch (CRegistryKey::Exception& e) {
        caught = true;
        EXPECT_EQ(e.GetError(), platform::kErrorInvalidParameter);
        EXPECT_STREQ(e.GetWhere(), "CRegistryKey::Value::Exception");
        EXPECT_NE(dynamic_cast<CRegistryKey::Value::Exception*>(&e), nullptr);
    }
    EXPECT_TRUE(caught);
    EXPECT_THROW(value.AsBinary(), CRegistryKey::Value::Exception);
    EXPECT_THROW(CRegistryKey::Value("s", platform::kRegSz, Bytes("12")).AsDWORD(),
                 CRegistryKey::Value::Exception);
    EXPECT_THROW(
        CRegistryKey::Value("m", platform::kRegMultiSz, Bytes(std::string("a\0b\0", 4))).AsString(),
        CRegistryKey::Value::Exception);
    // The base type catches it as well.
    EXPECT_THROW(value.AsBinary(), CWin32Exception);
}

TEST_F(RegistryKeyTest, AsStringEndsAtTheFirstZeroOrTheEndOfTheData) {
    using Value = CRegistryKey::Value;
    EXPECT_EQ(Value("v", platform::kRegSz, Bytes(std::string("ab\0cd\0", 6))).AsString(), "ab");
    // Data written without a terminating zero is read to its end, no further.
    EXPECT_EQ(Value("v", platform::kRegSz, Bytes("abc")).AsString(), "abc");
    EXPECT_EQ(Value("v", platform::kRegSz, std::vector<std::uint8_t>{}).AsString(), "");
    // Environment strings stay as they are.
    EXPECT_EQ(
        Value("v", platform::kRegExpandSz, Bytes(std::string("%SystemRoot%\\x\0", 16))).AsString(),
        "%SystemRoot%\\x");
}

TEST_F(RegistryKeyTest, AsDwordReadsTheBytesAsStoredAndRefusesShortData) {
    using Value = CRegistryKey::Value;
    const std::vector<std::uint8_t> bytes = {0x12, 0x34, 0x56, 0x78};
    std::uint32_t asStored = 0;
    std::memcpy(&asStored, bytes.data(), sizeof asStored);
    EXPECT_EQ(Value("v", platform::kRegDword, bytes).AsDWORD(), asStored);
    // Big-endian data is not swapped.
    EXPECT_EQ(Value("v", platform::kRegDwordBigEndian, bytes).AsDWORD(), asStored);
    EXPECT_THROW(Value("v", platform::kRegDword, {0x12, 0x34}).AsDWORD(),
                 CRegistryKey::Value::Exception);
    EXPECT_THROW(Value("v", platform::kRegDword, std::vector<std::uint8_t>{}).AsDWORD(),
                 CRegistryKey::Value::Exception);

    const std::vector<std::uint8_t> blob = {0, 1, 2, 0xFF};
    Value binary("b", platform::kRegBinary, blob.data(), 4);
    EXPECT_EQ(std::vector<std::uint8_t>(binary.AsBinary(), binary.AsBinary() + binary.GetSize()),
              blob);
    EXPECT_NO_THROW(Value("n", platform::kRegNone, blob).AsBinary());
}

TEST_F(RegistryKeyTest, QueryValueCopiesNameTypeAndDataAndReportsMissingValues) {
    const std::vector<std::uint8_t> multi = Bytes(std::string("one\0two\0\0", 9));
    Put("Software\\Values", "Multi", platform::kRegMultiSz, multi);
    CRegistryKey key = Open("Software\\Values");

    CRegistryKey::Value value = key.QueryValue("multi");
    EXPECT_EQ(value.GetName(), "multi");
    EXPECT_EQ(value.GetType(), platform::kRegMultiSz);
    EXPECT_EQ(value.GetSize(), multi.size());
    EXPECT_EQ(value.GetData(), multi);

    // Written back elsewhere byte for byte.
    CRegistryKey copy = key.CreateOrOpenKey("Copy");
    copy.SetValue(CRegistryKey::Value("Again", value.GetType(), value.GetData()));
    std::uint32_t type = 0;
    std::vector<std::uint8_t> stored;
    ASSERT_TRUE(Read("Software\\Values\\Copy", "Again", &type, &stored));
    EXPECT_EQ(type, platform::kRegMultiSz);
    EXPECT_EQ(stored, multi);

    CRegistryKey::Exception missing = Raised([&] { key.QueryValue("absent"); });
    EXPECT_EQ(missing.GetError(), platform::kErrorFileNotFound);
    EXPECT_STREQ(missing.GetWhere(), "CRegistryKey::QueryValue()");

    // The read after the size query can fail too.
    int queries = 0;
    reg.SetFaultHook([&](std::string_view operation, std::string_view) {
        return operation == "QueryValue" && ++queries == 2 ? platform::kErrorAccessDenied
                                                           : platform::kSuccess;
    });
    CRegistryKey::Exception secondRead = Raised([&] { key.QueryValue("Multi"); });
    EXPECT_EQ(secondRead.GetError(), platform::kErrorAccessDenied);
    EXPECT_STREQ(secondRead.GetWhere(), "CRegistryKey::QueryValue()");
}

TEST_F(RegistryKeyTest, QueryValueAsDwordSkipsOtherTypesAndRefusesWrongSizes) {
    PutText("Software\\Values", "text", std::string("12\0", 3));
    Put("Software\\Values", "short", platform::kRegDword, {1, 2});
    Put("Software\\Values", "long", platform::kRegDwordBigEndian, {1, 2, 3, 4, 5, 6, 7, 8});
    Put("Software\\Values", "good", platform::kRegDword, {0x2A, 0, 0, 0});
    CRegistryKey key = Open("Software\\Values");

    std::uint32_t out = 0xDEADBEEF;
    EXPECT_FALSE(key.QueryValue("text", out));
    EXPECT_EQ(out, 0xDEADBEEFu);

    for (const char* name : {"short", "long"}) {
        CRegistryKey::Exception wrongSize = Raised([&] { key.QueryValue(name, out); });
        EXPECT_EQ(wrongSize.GetError(), 0u) << name;
        EXPECT_STREQ(wrongSize.GetWhere(), "CRegistryKey::QueryValue()");
        EXPECT_EQ(out, 0xDEADBEEFu);
    }

    EXPECT_TRUE(key.QueryValue("good", out));
    EXPECT_EQ(out, 0x2Au);

    CRegistryKey::Exception missing = Raised([&] { key.QueryValue("absent", out); });
    EXPECT_EQ(missing.GetError(), platform::kErrorFileNotFound);
}

TEST_F(RegistryKeyTest, SetValueAsDwordAcceptsOnlyDwordTypes) {
    CRegistryKey key = Open("Software");

    CRegistryKey::Exception badType = Raised([&] { key.SetValue("flag", 1, platform::kRegSz); });
    EXPECT_EQ(badType.GetError(), platform::kErrorInvalidFlags);
    EXPECT_STREQ(badType.GetWhere(), "CRegistryKey::SetValue()");
    std::uint32_t type = 0;
    std::vector<std::uint8_t> stored;
    EXPECT_FALSE(Read("Software", "flag", &type, &stored));

    key.SetValue("big", 0x01020304, platform::kRegDwordBigEndian);
    ASSERT_TRUE(Read("Software", "big", &type, &stored));
    EXPECT_EQ(type, platform::kRegDwordBigEndian);
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_EQ(key.QueryValue("big").AsDWORD(), 0x01020304u);

    key.SetValue("plain", 7);
    ASSERT_TRUE(Read("Software", "plain", &type, &stored));
    EXPECT_EQ(type, platform::kRegDword);
    EXPECT_EQ(stored, (std::vector<std::uint8_t>{7, 0, 0, 0}));

    key.DeleteValue("plain");
    EXPECT_FALSE(Read("Software", "plain", &type, &stored));
    CRegistryKey::Exception missing = Raised([&] { key.DeleteValue("plain"); });
    EXPECT_EQ(missing.GetError(), platform::kErrorFileNotFound);
    EXPECT_STREQ(missing.GetWhere(), "CRegistryKey::DeleteValue()");

    // A write the registry refuses.
    CRegistryKey readOnly(reg, kHkeyCurrentUser, "Software", platform::kKeyRead);
    CRegistryKey::Exception denied = Raised([&] { readOnly.SetValue("x", 1); });
    EXPECT_EQ(denied.GetError(), platform::kErrorAccessDenied);
    EXPECT_STREQ(denied.GetWhere(), "CRegistryKey::SetValue()");
}

// --- Enumeration -----------------------------------------------------------

TEST_F(RegistryKeyTest, SubkeysComeInIndexOrderAndCanBeOpened) {
    PutText("Software\\List\\beta", "id", "b");
    PutText("Software\\List\\Alpha", "id", "a");
    PutText("Software\\List\\gamma", "id", "g");
    CRegistryKey list = Open("Software\\List");

    std::vector<std::string> names;
    std::vector<std::string> ids;
    for (auto it = list.BeginSubkeyIteration(); it != list.EndSubkeyIteration(); ++it) {
        names.push_back(*it);
        ids.push_back(it.OpenKey(platform::kKeyRead).QueryValue("id").AsString());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "gamma"}));
    EXPECT_EQ(ids, (std::vector<std::string>{"a", "b", "g"}));

    // Iterators of one key and index are equal; every end is equal to every other.
    auto first = list.BeginSubkeyIteration();
    auto again = list.BeginSubkeyIteration();
    EXPECT_TRUE(first == again);
    auto second = first;
    ++second;
    EXPECT_TRUE(first != second);
    EXPECT_EQ(*second, "beta");
    CRegistryKey other = Open("Software\\List");
    EXPECT_TRUE(first != other.BeginSubkeyIteration());
    EXPECT_TRUE(list.EndSubkeyIteration() == other.EndSubkeyIteration());

    // A key without subkeys starts at its end.
    CRegistryKey leaf = list.OpenKey("beta");
    EXPECT_TRUE(leaf.BeginSubkeyIteration() == leaf.EndSubkeyIteration());
}

TEST_F(RegistryKeyTest, SubkeyNamesThatGrowDuringEnumerationAreStillRead) {
    MakeKey("Software\\Grow\\a");
    MakeKey("Software\\Grow\\c");
    CRegistryKey grow = Open("Software\\Grow");
    int infoQueries = 0;
    reg.SetFaultHook([&](std::string_view operation, std::string_view) {
        infoQueries += operation == "QueryInfoKey" ? 1 : 0;
        return platform::kSuccess;
    });

    auto it = grow.BeginSubkeyIteration();  // buffers sized for one-letter names
    ASSERT_EQ(*it, "a");
    MakeKey("Software\\Grow\\b_has_a_much_longer_name_than_the_others");

    std::vector<std::string> rest;
    for (++it; it != grow.EndSubkeyIteration(); ++it) {
        rest.push_back(*it);
    }
    EXPECT_EQ(rest, (std::vector<std::string>{"b_has_a_much_longer_name_than_the_others", "c"}));
    // The longer name forced a second look at the key's longest lengths.
    EXPECT_EQ(infoQueries, 2);
}

TEST_F(RegistryKeyTest, ValueNamesAndDataThatGrowDuringEnumerationAreStillRead) {
    Put("Software\\Grow", "v1", platform::kRegDword, {1, 0, 0, 0});
    CRegistryKey grow = Open("Software\\Grow");

    auto it = grow.BeginValueIteration();
    ASSERT_EQ(it.GetName(), "v1");
    const std::vector<std::uint8_t> large(300, 0xAB);
    Put("Software\\Grow", "v2", platform::kRegBinary, large);
    PutText("Software\\Grow", "a_much_longer_value_name", std::string("t\0", 2));

    std::vector<CRegistryKey::Value> values;
    for (; it != grow.EndValueIteration(); ++it) {
        values.push_back(*it);
    }
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0].AsDWORD(), 1u);
    EXPECT_EQ(values[1].GetName(), "v2");
    EXPECT_EQ(values[1].GetData(), large);
    EXPECT_EQ(values[2].GetName(), "a_much_longer_value_name");
    EXPECT_EQ(values[2].GetType(), platform::kRegSz);
    EXPECT_EQ(values[2].AsString(), "t");
}

TEST_F(RegistryKeyTest, EnumerationEndsWhenTheKeyEmptiesWhileBuffersAreResized) {
    MakeKey("Software\\Shrink\\only");
    CRegistryKey shrink = Open("Software\\Shrink");
    auto it = shrink.BeginSubkeyIteration();
    ASSERT_EQ(*it, "only");

    // The next fetch finds a longer name, which is gone by the time the key's
    // lengths are queried again.
    reg.SetFaultHook([&](std::string_view operation, std::string_view) {
        if (operation == "EnumKey") {
            reg.DeleteKey(shrink.GetHandle(), "only");
            return platform::kErrorMoreData;
        }
        return platform::kSuccess;
    });
    ++it;
    EXPECT_TRUE(it == shrink.EndSubkeyIteration());
}

TEST_F(RegistryKeyTest, EnumerationFailuresNameTheIteratorStep) {
    MakeKey("Software\\Broken\\sub");
    PutText("Software\\Broken", "v", "x");
    CRegistryKey key = Open("Software\\Broken");

    reg.SetFaultHook([](std::string_view operation, std::string_view) {
        return operation == "QueryInfoKey" ? platform::kErrorAccessDenied : platform::kSuccess;
    });
    CRegistryKey::Exception subkeyStart = Raised([&] { key.BeginSubkeyIteration(); });
    EXPECT_EQ(subkeyStart.GetError(), platform::kErrorAccessDenied);
    EXPECT_STREQ(subkeyStart.GetWhere(), "CRegistryKey::SubkeyIterator::SubkeyIterator()");
    CRegistryKey::Exception valueStart = Raised([&] { key.BeginValueIteration(); });
    EXPECT_STREQ(valueStart.GetWhere(), "CRegistryKey::ValueIterator::ValueIterator()");

    reg.SetFaultHook([](std::string_view operation, std::string_view) {
        return operation == "EnumKey" || operation == "EnumValue" ? platform::kErrorKeyDeleted
                                                                  : platform::kSuccess;
    });
    CRegistryKey::Exception subkeyFetch = Raised([&] { key.BeginSubkeyIteration(); });
    EXPECT_EQ(subkeyFetch.GetError(), platform::kErrorKeyDeleted);
    EXPECT_STREQ(subkeyFetch.GetWhere(), "CRegistryKey::SubkeyIterator::GetSubkeyInfo()");
    CRegistryKey::Exception valueFetch = Raised([&] { key.BeginValueIteration(); });
    EXPECT_STREQ(valueFetch.GetWhere(), "CRegistryKey::ValueIterator::GetValueInfo()");

    // A registry that keeps asking for more room than it reports gets no
    // endless loop.
    reg.SetFaultHook([](std::string_view operation, std::string_view) {
        return operation == "EnumValue" ? platform::kErrorMoreData : platform::kSuccess;
    });
    CRegistryKey::Exception spinning = Raised([&] { key.BeginValueIteration(); });
    EXPECT_EQ(spinning.GetError(), platform::kErrorMoreData);
    EXPECT_STREQ(spinning.GetWhere(), "CRegistryKey::ValueIterator::GetValueInfo()");
}

// --- The shared handle -----------------------------------------------------

TEST_F(RegistryKeyTest, CopiesShareTheHandleAndTheLastReleaseClosesIt) {
    MakeKey("Software\\Shared");
    CRegistryKey original = Open("Software\\Shared");
    const HKey handle = original.GetHandle();
    {
        CRegistryKey copy = original;
        EXPECT_EQ(copy.GetHandle(), handle);
        original.Close();
        EXPECT_EQ(original.GetHandle(), kNullKey);
        EXPECT_FALSE(IsClosed(reg, handle));
        copy.SetValue("still", 1);
    }
    EXPECT_TRUE(IsClosed(reg, handle));
    EXPECT_EQ(reg.OpenHandleCount(), 0u);

    // Assignment drops the old handle and shares the new one; assigning a
    // key to itself keeps it.
    CRegistryKey first = Open("Software\\Shared");
    CRegistryKey second = Open("Software");
    const HKey firstHandle = first.GetHandle();
    first = second;
    EXPECT_TRUE(IsClosed(reg, firstHandle));
    EXPECT_EQ(first.GetHandle(), second.GetHandle());
    CRegistryKey& alias = first;
    first = alias;
    second.Close();
    EXPECT_FALSE(IsClosed(reg, first.GetHandle()));

    // A moved-from key is empty and refuses work.
    CRegistryKey moved = std::move(first);
    EXPECT_NE(moved.GetHandle(), kNullKey);
    EXPECT_EQ(first.GetHandle(), kNullKey);  // NOLINT(bugprone-use-after-move)
    CRegistryKey::Exception empty = Raised([&] { first.QueryValue("still"); });
    EXPECT_EQ(empty.GetError(), platform::kErrorInvalidHandle);
    EXPECT_STREQ(empty.GetWhere(), "CRegistryKey::QueryValue()");
    moved.Close();
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(RegistryKeyTest, IteratorsKeepTheKeyOpenUntilTheyEnd) {
    MakeKey("Software\\Held\\one");
    MakeKey("Software\\Held\\two");
    CRegistryKey held = Open("Software\\Held");
    const HKey handle = held.GetHandle();
    auto it = held.BeginSubkeyIteration();
    held.Close();
    EXPECT_FALSE(IsClosed(reg, handle));

    ++it;
    EXPECT_EQ(*it, "two");
    ++it;
    EXPECT_TRUE(it == CRegistryKey().EndSubkeyIteration());
    EXPECT_TRUE(IsClosed(reg, handle));
}

TEST_F(RegistryKeyTest, CopiesReleasedOnManyThreadsCloseTheHandleOnce) {
    MakeKey("Software\\Threads");
    CRegistryKey key = Open("Software\\Threads");
    const HKey handle = key.GetHandle();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([key] {
            for (int i = 0; i < 2000; ++i) {
                CRegistryKey copy = key;
                CRegistryKey another(copy);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_FALSE(IsClosed(reg, handle));
    key.Close();
    EXPECT_TRUE(IsClosed(reg, handle));
}

TEST_F(RegistryKeyTest, AKeyMadeFromAPredefinedRootLeavesTheRootUsable) {
    PutText("Software\\FromRoot", "v", std::string("r\0", 2));
    {
        CRegistryKey root(reg, kHkeyCurrentUser);
        EXPECT_EQ(root.GetHandle(), kHkeyCurrentUser);
        EXPECT_EQ(root.OpenKey("Software\\FromRoot").QueryValue("v").AsString(), "r");
    }
    CRegistryKey again(reg, kHkeyCurrentUser, "Software\\FromRoot");
    EXPECT_EQ(again.QueryValue("v").AsString(), "r");
    // A null handle gives an empty key.
    EXPECT_EQ(CRegistryKey(reg, kNullKey).GetHandle(), kNullKey);
}

}  // namespace
