// What the in-memory registry does beyond the shared conformance cases: its
// test hooks, the aliases Windows keeps between roots, and waits that must
// always end.
#include "platform/host/MemoryRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace platform;
using platform::host::MemoryRegistry;

constexpr std::uint32_t kDelete = 0x00010000;

HKey Create(MemoryRegistry& reg, HKey root, std::string_view path,
            std::uint32_t options = kRegOptionNonVolatile, std::uint32_t access = kKeyAllAccess) {
    HKey key = kNullKey;
    EXPECT_EQ(reg.CreateKey(root, path, options, access, &key, nullptr), kSuccess) << path;
    return key;
}

bool Exists(MemoryRegistry& reg, HKey root, std::string_view path) {
    HKey key = kNullKey;
    if (reg.OpenKey(root, path, kKeyRead, &key) != kSuccess)
        return false;
    reg.CloseKey(key);
    return true;
}

// Waits until `count` NotifyChangeKeyValue calls are blocked.
void WaitForWaiters(const MemoryRegistry& reg, std::size_t count) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (reg.PendingNotifyCount() < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(reg.PendingNotifyCount(), count);
}

TEST(MemoryRegistry, DenyAccessRefusesTheDeniedRightsOnThatKeyOnly) {
    MemoryRegistry reg;
    reg.CloseKey(Create(reg, kHkeyLocalMachine, "Software\\Vendor\\Locked\\Inner"));
    reg.DenyAccess(kHkeyLocalMachine, "software\\VENDOR\\locked",
                   kKeySetValue | kKeyCreateSubKey | kDelete);

    HKey key = kNullKey;
    EXPECT_EQ(reg.OpenKey(kHkeyLocalMachine, "Software\\Vendor\\Locked", kKeyAllAccess, &key),
              kErrorAccessDenied);
    EXPECT_EQ(
        reg.CreateKey(kHkeyLocalMachine, "Software\\Vendor\\Locked", 0, kKeyWrite, &key, nullptr),
        kErrorAccessDenied);
    EXPECT_EQ(reg.DeleteKey(kHkeyLocalMachine, "Software\\Vendor\\Locked\\Inner"), kSuccess);
    EXPECT_EQ(reg.DeleteKey(kHkeyLocalMachine, "Software\\Vendor\\Locked"), kErrorAccessDenied);
    EXPECT_TRUE(Exists(reg, kHkeyLocalMachine, "Software\\Vendor\\Locked"));
    // Generic rights count as the key rights they stand for.
    EXPECT_EQ(reg.OpenKey(kHkeyLocalMachine, "Software\\Vendor\\Locked", 0x40000000, &key),
              kErrorAccessDenied);
    ASSERT_EQ(reg.OpenKey(kHkeyLocalMachine, "Software\\Vendor\\Locked", kKeyRead, &key), kSuccess);
    EXPECT_EQ(reg.CloseKey(key), kSuccess);

    // A key that does not exist yet can be denied too: creating it fails and
    // leaves nothing behind.
    reg.DenyAccess(kHkeyCurrentUser, "Software\\New\\Leaf", kKeyAllAccess);
    EXPECT_EQ(reg.CreateKey(kHkeyCurrentUser, "Software\\New\\Leaf", 0, kKeyRead, &key, nullptr),
              kErrorAccessDenied);
    EXPECT_FALSE(Exists(reg, kHkeyCurrentUser, "Software\\New"));

    reg.DenyAccess(kHkeyLocalMachine, "Software\\Vendor\\Locked", 0);
    EXPECT_EQ(reg.DeleteKey(kHkeyLocalMachine, "Software\\Vendor\\Locked"), kSuccess);
}

TEST(MemoryRegistry, DenyAccessThroughClassesRootAppliesToTheMachineClasses) {
    MemoryRegistry reg;
    reg.CloseKey(Create(reg, kHkeyClassesRoot, "CLSID\\{1}"));
    reg.DenyAccess(kHkeyClassesRoot, "CLSID\\{1}", kDelete);
    EXPECT_EQ(reg.DeleteKey(kHkeyLocalMachine, "Software\\Classes\\CLSID\\{1}"),
              kErrorAccessDenied);
}

TEST(MemoryRegistry, FaultHookSeesEveryOperationAndCanFailIt) {
    MemoryRegistry reg;
    HKey key = Create(reg, kHkeyLocalMachine, "Software\\X");
    std::vector<std::string> calls;
    reg.SetFaultHook([&](std::string_view op, std::string_view path) -> Status {
        calls.push_back(std::string(op) + " " + std::string(path));
        return kSuccess;
    });
    std::uint32_t v = 1;
    HKey sub = kNullKey;
    ASSERT_EQ(reg.CreateKey(key, "Sub\\\\Deep\\", 0, kKeyAllAccess, &sub, nullptr), kSuccess);
    ASSERT_EQ(reg.SetValue(sub, "v", kRegDword, &v, 4), kSuccess);
    std::uint32_t size = 4;
    ASSERT_EQ(reg.QueryValue(sub, "v", nullptr, &v, &size), kSuccess);
    char name[16];
    size = sizeof(name);
    ASSERT_EQ(reg.EnumValue(sub, 0, name, &size, nullptr, nullptr, nullptr), kSuccess);
    size = sizeof(name);
    ASSERT_EQ(reg.EnumKey(key, 0, name, &size, nullptr, nullptr), kSuccess);
    KeyInfo info;
    ASSERT_EQ(reg.QueryInfoKey(sub, &info), kSuccess);
    ASSERT_EQ(reg.DeleteValue(sub, "v"), kSuccess);
    HKey opened = kNullKey;
    ASSERT_EQ(reg.OpenKey(kHkeyLocalMachine, "Software\\X\\Sub", kKeyRead, &opened), kSuccess);
    ASSERT_EQ(reg.DeleteKey(key, "Sub\\Deep"), kSuccess);
    EXPECT_EQ(calls, (std::vector<std::string>{
                         "CreateKey HKEY_LOCAL_MACHINE\\Software\\X\\Sub\\Deep",
                         "SetValue HKEY_LOCAL_MACHINE\\Software\\X\\Sub\\Deep",
                         "QueryValue HKEY_LOCAL_MACHINE\\Software\\X\\Sub\\Deep",
                         "EnumValue HKEY_LOCAL_MACHINE\\Software\\X\\Sub\\Deep",
                         "EnumKey HKEY_LOCAL_MACHINE\\Software\\X",
                         "QueryInfoKey HKEY_LOCAL_MACHINE\\Software\\X\\Sub\\Deep",
                         "DeleteValue HKEY_LOCAL_MACHINE\\Software\\X\\Sub\\Deep",
                         "OpenKey HKEY_LOCAL_MACHINE\\Software\\X\\Sub",
                         "DeleteKey HKEY_LOCAL_MACHINE\\Software\\X\\Sub\\Deep",
                     }));

    // A failing hook fails the call before it changes anything.
    reg.SetFaultHook([](std::string_view op, std::string_view path) -> Status {
        return op == "DeleteKey" && path.ends_with("\\Sub") ? kErrorAccessDenied : kSuccess;
    });
    EXPECT_EQ(reg.DeleteKey(key, "Sub"), kErrorAccessDenied);
    EXPECT_TRUE(Exists(reg, kHkeyLocalMachine, "Software\\X\\Sub"));
    reg.SetFaultHook([](std::string_view op, std::string_view) -> Status {
        return op == "SetValue" ? kErrorNotEnoughMemory : kSuccess;
    });
    EXPECT_EQ(reg.SetValue(key, "w", kRegDword, &v, 4), kErrorNotEnoughMemory);
    EXPECT_EQ(reg.QueryValue(key, "w", nullptr, nullptr, nullptr), kErrorFileNotFound);
    reg.SetFaultHook(nullptr);
    EXPECT_EQ(reg.DeleteKey(key, "Sub"), kSuccess);
    for (HKey k : {key, sub, opened})
        reg.CloseKey(k);
}

TEST(MemoryRegistry, FaultHookMayUseTheRegistry) {
    MemoryRegistry reg;
    reg.CloseKey(Create(reg, kHkeyCurrentUser, "Software\\Guarded"));
    reg.SetFaultHook([&reg](std::string_view op, std::string_view) -> Status {
        if (op != "DeleteKey")
            return kSuccess;
        // Refuse while the key still holds a value.
        HKey k = kNullKey;
        if (reg.OpenKey(kHkeyCurrentUser, "Software\\Guarded", kKeyRead, &k) != kSuccess)
            return kSuccess;
        Status s = reg.QueryValue(k, "pin", nullptr, nullptr, nullptr) == kSuccess
                       ? kErrorAccessDenied
                       : kSuccess;
        reg.CloseKey(k);
        return s;
    });
    HKey key = Create(reg, kHkeyCurrentUser, "Software\\Guarded");
    std::uint32_t v = 1;
    ASSERT_EQ(reg.SetValue(key, "pin", kRegDword, &v, 4), kSuccess);
    EXPECT_EQ(reg.DeleteKey(kHkeyCurrentUser, "Software\\Guarded"), kErrorAccessDenied);
    ASSERT_EQ(reg.DeleteValue(key, "pin"), kSuccess);
    EXPECT_EQ(reg.DeleteKey(kHkeyCurrentUser, "Software\\Guarded"), kSuccess);
    reg.CloseKey(key);
}

TEST(MemoryRegistry, HandlesAreDistinctAndNeverPredefinedRoots) {
    MemoryRegistry reg;
    std::vector<HKey> keys;
    for (int i = 0; i < 50; ++i) {
        HKey k = kNullKey;
        ASSERT_EQ(reg.OpenKey(kHkeyCurrentUser, "", kKeyRead, &k), kSuccess);
        keys.push_back(k);
    }
    EXPECT_EQ(reg.OpenHandleCount(), 50u);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_NE(keys[i], kNullKey);
        for (HKey root : {kHkeyClassesRoot, kHkeyCurrentUser, kHkeyLocalMachine, kHkeyUsers}) {
            EXPECT_NE(keys[i], root);
        }
        for (std::size_t j = i + 1; j < keys.size(); ++j)
            EXPECT_NE(keys[i], keys[j]);
    }
    for (HKey k : keys)
        EXPECT_EQ(reg.CloseKey(k), kSuccess);
    // A closed handle's number is not handed out again.
    HKey fresh = kNullKey;
    ASSERT_EQ(reg.OpenKey(kHkeyCurrentUser, "", kKeyRead, &fresh), kSuccess);
    for (HKey k : keys)
        EXPECT_NE(fresh, k);
    reg.CloseKey(fresh);
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
    EXPECT_EQ(reg.CloseKey(kHkeyLocalMachine), kSuccess);
}

TEST(MemoryRegistry, ClassesRootIsTheMachineClassesKey) {
    MemoryRegistry reg;
    HKey key = Create(reg, kHkeyClassesRoot, "CLSID\\{ABC}\\InprocServer32");
    std::string data("x.dll", 6);
    ASSERT_EQ(reg.SetValue(key, "", kRegSz, data.data(), 6), kSuccess);
    HKey machine = kNullKey;
    ASSERT_EQ(reg.OpenKey(kHkeyLocalMachine, "Software\\Classes\\clsid\\{abc}\\InprocServer32",
                          kKeyRead, &machine),
              kSuccess);
    std::uint32_t size = 0;
    EXPECT_EQ(reg.QueryValue(machine, "", nullptr, nullptr, &size), kSuccess);
    EXPECT_EQ(size, 6u);
    // The shared key itself cannot go away.
    ASSERT_EQ(reg.DeleteKey(kHkeyClassesRoot, "CLSID\\{ABC}\\InprocServer32"), kSuccess);
    ASSERT_EQ(reg.DeleteKey(kHkeyClassesRoot, "CLSID\\{ABC}"), kSuccess);
    ASSERT_EQ(reg.DeleteKey(kHkeyClassesRoot, "CLSID"), kSuccess);
    EXPECT_EQ(reg.DeleteKey(kHkeyLocalMachine, "Software\\Classes"), kErrorAccessDenied);
    EXPECT_EQ(reg.DeleteKey(kHkeyClassesRoot, ""), kErrorAccessDenied);
    reg.CloseKey(key);
    reg.CloseKey(machine);
}

TEST(MemoryRegistry, ClassesRootShowsTheUsersClassBeforeTheMachines) {
    MemoryRegistry reg;
    auto server = [&reg](const char* path) {
        HKey key = kNullKey;
        if (reg.OpenKey(kHkeyClassesRoot, path, kKeyRead, &key) != kSuccess)
            return std::string("none");
        char data[32] = {};
        std::uint32_t size = sizeof(data) - 1;
        reg.QueryValue(key, "", nullptr, data, &size);
        reg.CloseKey(key);
        return std::string(data);
    };
    auto set = [&reg](HKey root, const char* path, const char* data) {
        HKey key = Create(reg, root, path);
        reg.SetValue(key, "", kRegSz, data, static_cast<std::uint32_t>(std::strlen(data) + 1));
        reg.CloseKey(key);
    };
    set(kHkeyLocalMachine, "Software\\Classes\\CLSID\\{A}\\InprocServer32", "machine.dll");
    set(kHkeyLocalMachine, "Software\\Classes\\CLSID\\{B}\\InprocServer32", "shared.dll");
    set(kHkeyCurrentUser, "Software\\Classes\\CLSID\\{A}\\InprocServer32", "user.dll");
    EXPECT_EQ(server("CLSID\\{A}\\InprocServer32"), "user.dll");
    EXPECT_EQ(server("clsid\\{b}\\InprocServer32"), "shared.dll");

    // Opened for writing through the merged root, the user's key is the one
    // written; a key only the machine has is created there.
    set(kHkeyClassesRoot, "CLSID\\{A}\\InprocServer32", "rewritten.dll");
    set(kHkeyClassesRoot, "CLSID\\{C}", "new");
    EXPECT_EQ(server("CLSID\\{A}\\InprocServer32"), "rewritten.dll");
    EXPECT_TRUE(Exists(reg, kHkeyLocalMachine, "Software\\Classes\\CLSID\\{C}"));
    EXPECT_FALSE(Exists(reg, kHkeyCurrentUser, "Software\\Classes\\CLSID\\{C}"));

    // Deleting removes the user's key first; the machine's then shows.
    ASSERT_EQ(reg.DeleteKey(kHkeyClassesRoot, "CLSID\\{A}\\InprocServer32"), kSuccess);
    EXPECT_FALSE(Exists(reg, kHkeyCurrentUser, "Software\\Classes\\CLSID\\{A}\\InprocServer32"));
    EXPECT_EQ(server("CLSID\\{A}\\InprocServer32"), "machine.dll");
    ASSERT_EQ(reg.DeleteKey(kHkeyClassesRoot, "CLSID\\{A}\\InprocServer32"), kSuccess);
    EXPECT_EQ(server("CLSID\\{A}\\InprocServer32"), "none");
}

TEST(MemoryRegistry, The32BitViewOfMachineSoftwareIsWow6432Node) {
    MemoryRegistry reg;
    HKey key = Create(reg, kHkeyLocalMachine, "Software\\Vendor\\Run", kRegOptionNonVolatile,
                      kKeyAllAccess | kKeyWow64_32Key);
    reg.CloseKey(key);
    EXPECT_TRUE(Exists(reg, kHkeyLocalMachine, "Software\\Wow6432Node\\Vendor\\Run"));
    EXPECT_FALSE(Exists(reg, kHkeyLocalMachine, "Software\\Vendor"));
    HKey view = kNullKey;
    ASSERT_EQ(reg.OpenKey(kHkeyLocalMachine, "SOFTWARE\\Vendor", kKeyRead | kKeyWow64_32Key, &view),
              kSuccess);
    reg.CloseKey(view);
    // Naming the node explicitly is not redirected twice; the 64-bit view and
    // other roots are not redirected at all.
    ASSERT_EQ(reg.OpenKey(kHkeyLocalMachine, "Software\\Wow6432Node\\Vendor",
                          kKeyRead | kKeyWow64_32Key, &view),
              kSuccess);
    reg.CloseKey(view);
    EXPECT_EQ(reg.OpenKey(kHkeyLocalMachine, "Software\\Vendor", kKeyRead | kKeyWow64_64Key, &view),
              kErrorFileNotFound);
    reg.CloseKey(Create(reg, kHkeyCurrentUser, "Software\\Vendor", kRegOptionNonVolatile,
                        kKeyAllAccess | kKeyWow64_32Key));
    EXPECT_TRUE(Exists(reg, kHkeyCurrentUser, "Software\\Vendor"));
}

TEST(MemoryRegistry, LinkedUserKeyIsTheCurrentUser) {
    MemoryRegistry reg;
    const char* sid = "S-1-5-21-0-0-0-1000";
    reg.LinkCurrentUser(sid);
    reg.CloseKey(Create(reg, kHkeyUsers, std::string(sid) + "\\Software\\Made"));
    EXPECT_TRUE(Exists(reg, kHkeyCurrentUser, "Software\\Made"));
    EXPECT_TRUE(reg.IsLink(kHkeyUsers, sid));
    EXPECT_FALSE(reg.IsLink(kHkeyUsers, ""));
    char name[64];
    std::uint32_t size = sizeof(name);
    ASSERT_EQ(reg.EnumKey(kHkeyUsers, 0, name, &size, nullptr, nullptr), kSuccess);
    EXPECT_EQ(std::string(name), sid);
    EXPECT_EQ(reg.DeleteKey(kHkeyUsers, sid), kErrorAccessDenied);
}

TEST(MemoryRegistry, CreatingUnderAReadOnlyHandleNeedsTheCreateRight) {
    MemoryRegistry reg;
    reg.CloseKey(Create(reg, kHkeyCurrentUser, "Software\\Parent\\Existing"));
    HKey readOnly = kNullKey;
    ASSERT_EQ(reg.OpenKey(kHkeyCurrentUser, "Software\\Parent", kKeyRead, &readOnly), kSuccess);
    HKey key = kNullKey;
    EXPECT_EQ(reg.CreateKey(readOnly, "New", 0, kKeyAllAccess, &key, nullptr), kErrorAccessDenied);
    EXPECT_FALSE(Exists(reg, kHkeyCurrentUser, "Software\\Parent\\New"));
    // Opening an existing key through create needs no such right.
    ASSERT_EQ(reg.CreateKey(readOnly, "Existing", 0, kKeyAllAccess, &key, nullptr), kSuccess);
    reg.CloseKey(key);
    // Below an existing subkey the intermediate keys are created for the caller.
    ASSERT_EQ(reg.CreateKey(readOnly, "Existing\\Deeper", 0, kKeyAllAccess, &key, nullptr),
              kSuccess);
    reg.CloseKey(key);
    KeyInfo info;
    HKey setOnly = kNullKey;
    ASSERT_EQ(reg.OpenKey(kHkeyCurrentUser, "Software\\Parent", kKeySetValue, &setOnly), kSuccess);
    EXPECT_EQ(reg.QueryInfoKey(setOnly, &info), kErrorAccessDenied);
    reg.CloseKey(readOnly);
    reg.CloseKey(setOnly);
}

TEST(MemoryRegistry, VolatileKeysAreMarkedAndTheirChildrenToo) {
    MemoryRegistry reg;
    HKey vol = Create(reg, kHkeyCurrentUser, "Software\\Transient", kRegOptionVolatile);
    reg.CloseKey(Create(reg, vol, "Child", kRegOptionVolatile));
    reg.CloseKey(Create(reg, kHkeyCurrentUser, "Software\\Durable"));
    EXPECT_TRUE(reg.IsVolatile(kHkeyCurrentUser, "Software\\Transient"));
    EXPECT_TRUE(reg.IsVolatile(kHkeyCurrentUser, "software\\transient\\child"));
    EXPECT_FALSE(reg.IsVolatile(kHkeyCurrentUser, "Software\\Durable"));
    EXPECT_FALSE(reg.IsVolatile(kHkeyCurrentUser, "Software\\Missing"));
    // A volatile path created in one call is volatile all the way down.
    reg.CloseKey(Create(reg, kHkeyCurrentUser, "Software\\A\\B", kRegOptionVolatile));
    EXPECT_TRUE(reg.IsVolatile(kHkeyCurrentUser, "Software\\A"));
    reg.CloseKey(vol);
}

TEST(MemoryRegistry, DeletingAWatchedKeyEndsTheWait) {
    MemoryRegistry reg;
    HKey watched = Create(reg, kHkeyCurrentUser, "Software\\Watched");
    std::atomic<Status> result{0xFFFFFFFFu};
    std::thread waiter(
        [&] { result = reg.NotifyChangeKeyValue(watched, false, kNotifyChangeLastSet); });
    WaitForWaiters(reg, 1);
    ASSERT_EQ(reg.DeleteKey(kHkeyCurrentUser, "Software\\Watched"), kSuccess);
    waiter.join();
    EXPECT_EQ(result.load(), kErrorKeyDeleted);
    reg.CloseKey(watched);
}

TEST(MemoryRegistry, NotifyHonoursTheFilterAndTheSubtreeFlag) {
    MemoryRegistry reg;
    HKey top = Create(reg, kHkeyCurrentUser, "Software\\Top");
    HKey deep = Create(reg, top, "Deep");
    std::atomic<int> woken{0};
    std::thread nameOnly([&] {
        EXPECT_EQ(reg.NotifyChangeKeyValue(top, false, kNotifyChangeName), kSuccess);
        ++woken;
    });
    WaitForWaiters(reg, 1);
    std::uint32_t v = 1;
    // Neither a value change nor a change below the key concerns this wait.
    ASSERT_EQ(reg.SetValue(top, "v", kRegDword, &v, 4), kSuccess);
    reg.CloseKey(Create(reg, deep, "Below"));
    EXPECT_EQ(reg.PendingNotifyCount(), 1u);
    EXPECT_EQ(woken.load(), 0);
    reg.CloseKey(Create(reg, top, "Sibling"));
    nameOnly.join();
    EXPECT_EQ(woken.load(), 1);

    std::thread subtree(
        [&] { EXPECT_EQ(reg.NotifyChangeKeyValue(top, true, kNotifyChangeLastSet), kSuccess); });
    WaitForWaiters(reg, 1);
    ASSERT_EQ(reg.SetValue(top, "v", kRegDword, &v, 4), kSuccess);  // same data: no change
    ASSERT_EQ(reg.DeleteValue(deep, "missing"), kErrorFileNotFound);
    EXPECT_EQ(reg.PendingNotifyCount(), 1u);
    ASSERT_EQ(reg.SetValue(deep, "w", kRegDword, &v, 4), kSuccess);
    subtree.join();
    reg.CloseKey(top);
    reg.CloseKey(deep);
}

TEST(MemoryRegistry, DestroyingTheRegistryReleasesWaiters) {
    auto reg = std::make_unique<MemoryRegistry>();
    HKey key = Create(*reg, kHkeyCurrentUser, "Software\\Gone");
    std::atomic<Status> result{0xFFFFFFFFu};
    std::thread waiter([&] { result = reg->NotifyChangeKeyValue(key, true, 0xF); });
    WaitForWaiters(*reg, 1);
    std::thread destroyer([&] { reg.reset(); });
    waiter.join();
    destroyer.join();
    EXPECT_EQ(result.load(), kErrorInvalidHandle);
}

TEST(MemoryRegistry, ConcurrentWritersAndReadersKeepTheTreeConsistent) {
    MemoryRegistry reg;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&reg, t] {
            for (int i = 0; i < 200; ++i) {
                std::string path =
                    "Software\\T" + std::to_string(t) + "\\K" + std::to_string(i % 10);
                HKey k = kNullKey;
                ASSERT_EQ(reg.CreateKey(kHkeyCurrentUser, path, 0, kKeyAllAccess, &k, nullptr),
                          kSuccess);
                std::uint32_t v = static_cast<std::uint32_t>(i);
                ASSERT_EQ(reg.SetValue(k, "v", kRegDword, &v, 4), kSuccess);
                KeyInfo info;
                ASSERT_EQ(reg.QueryInfoKey(k, &info), kSuccess);
                reg.CloseKey(k);
                if (i % 3 == 0)
                    reg.DeleteKey(kHkeyCurrentUser, path);
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
    HKey software = kNullKey;
    ASSERT_EQ(reg.OpenKey(kHkeyCurrentUser, "Software", kKeyRead, &software), kSuccess);
    KeyInfo info;
    ASSERT_EQ(reg.QueryInfoKey(software, &info), kSuccess);
    EXPECT_EQ(info.subKeys, 4u);
    reg.CloseKey(software);
}

TEST(MemoryRegistry, ValuesKeepCreationOrderAsOnWindows) {
    MemoryRegistry reg;
    HKey key = Create(reg, kHkeyCurrentUser, "Software\\Order");
    std::uint32_t v = 1;
    for (const char* name : {"one", "two", "three", "Alpha"}) {
        ASSERT_EQ(reg.SetValue(key, name, kRegDword, &v, 4), kSuccess);
    }
    v = 2;
    ASSERT_EQ(reg.SetValue(key, "ONE", kRegDword, &v, 4), kSuccess);  // keeps its place
    ASSERT_EQ(reg.DeleteValue(key, "two"), kSuccess);
    ASSERT_EQ(reg.SetValue(key, "two", kRegDword, &v, 4), kSuccess);  // goes to the end
    std::vector<std::string> names;
    char name[16];
    for (std::uint32_t i = 0;; ++i) {
        std::uint32_t size = sizeof(name);
        if (reg.EnumValue(key, i, name, &size, nullptr, nullptr, nullptr) != kSuccess)
            break;
        names.emplace_back(name, size);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"one", "three", "Alpha", "two"}));
    reg.CloseKey(key);
}

TEST(MemoryRegistry, RemoteRegistryIsNotSupported) {
    MemoryRegistry reg;
    HKey key = kHkeyLocalMachine;
    EXPECT_EQ(reg.ConnectRegistry("\\\\server", kHkeyLocalMachine, &key), kErrorNotSupported);
    EXPECT_EQ(key, kNullKey);
}

}  // namespace
