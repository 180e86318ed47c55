// The same registry cases against the in-memory registry (natively) and the
// real one (under Wine). Everything happens below a scratch key of the
// current user that each case creates and removes.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/Registry.h"
#include "platform/tests/RegistryFixture.h"

namespace {

using namespace platform;

// Each test works below a key of its own, so test processes running side by
// side against the real registry never touch each other's keys.
std::string ScratchPath() {
    return std::string("Software\\BrindlexConformance-") +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

// Data with embedded zeros, from a literal and its length.
std::string Bytes(const char* s, std::size_t n) {
    return std::string(s, n);
}

// Removes a key and everything below it; a missing key is fine.
void DeleteTree(Registry& reg, HKey parent, std::string_view path) {
    HKey key = kNullKey;
    if (reg.OpenKey(parent, path, kKeyAllAccess, &key) != kSuccess)
        return;
    for (;;) {
        char name[1024];
        std::uint32_t size = sizeof(name);
        if (reg.EnumKey(key, 0, name, &size, nullptr, nullptr) != kSuccess)
            break;
        DeleteTree(reg, key, std::string(name, size));
    }
    reg.CloseKey(key);
    reg.DeleteKey(parent, path);
}

class RegistryConformance : public ::testing::Test {
  protected:
    Registry& reg = conformance::ConformanceRegistry();
    const std::string scratchPath = ScratchPath();
    HKey base = kNullKey;
    std::vector<HKey> opened;

    void SetUp() override {
        DeleteTree(reg, kHkeyCurrentUser, scratchPath);
        ASSERT_EQ(reg.CreateKey(kHkeyCurrentUser, scratchPath, kRegOptionNonVolatile, kKeyAllAccess,
                                &base, nullptr),
                  kSuccess);
    }

    void TearDown() override {
        for (HKey k : opened)
            reg.CloseKey(k);
        reg.CloseKey(base);
        DeleteTree(reg, kHkeyCurrentUser, scratchPath);
    }

    HKey Track(HKey key) {
        opened.push_back(key);
        return key;
    }

    HKey Create(std::string_view path, std::uint32_t access = kKeyAllAccess,
                std::uint32_t options = kRegOptionNonVolatile) {
        HKey key = kNullKey;
        bool created = false;
        EXPECT_EQ(reg.CreateKey(base, path, options, access, &key, &created), kSuccess) << path;
        return Track(key);
    }

    HKey Open(std::string_view path, std::uint32_t access = kKeyAllAccess) {
        HKey key = kNullKey;
        EXPECT_EQ(reg.OpenKey(base, path, access, &key), kSuccess) << path;
        return Track(key);
    }

    void Set(HKey key, std::string_view name, std::uint32_t type, std::string_view data) {
        ASSERT_EQ(
            reg.SetValue(key, name, type, data.data(), static_cast<std::uint32_t>(data.size())),
            kSuccess)
            << name;
    }

    void SetDword(HKey key, std::string_view name, std::uint32_t value) {
        ASSERT_EQ(reg.SetValue(key, name, kRegDword, &value, 4), kSuccess);
    }

    // Reads a value in two steps, as callers do: size, then data.
    std::string Get(HKey key, std::string_view name, std::uint32_t* type = nullptr) {
        std::uint32_t size = 0;
        EXPECT_EQ(reg.QueryValue(key, name, type, nullptr, &size), kSuccess) << name;
        std::string data(size, '\0');
        EXPECT_EQ(reg.QueryValue(key, name, type, data.data(), &size), kSuccess) << name;
        data.resize(size);
        return data;
    }

    std::vector<std::string> SubKeys(HKey key) {
        std::vector<std::string> names;
        for (std::uint32_t i = 0;; ++i) {
            char name[1024];
            std::uint32_t size = sizeof(name);
            Status s = reg.EnumKey(key, i, name, &size, nullptr, nullptr);
            if (s == kErrorNoMoreItems)
                break;
            EXPECT_EQ(s, kSuccess);
            if (s != kSuccess)
                break;
            EXPECT_EQ(std::strlen(name), size);
            names.emplace_back(name, size);
        }
        return names;
    }

    std::vector<std::string> ValueNames(HKey key) {
        std::vector<std::string> names;
        for (std::uint32_t i = 0;; ++i) {
            char name[1024];
            std::uint32_t size = sizeof(name);
            Status s = reg.EnumValue(key, i, name, &size, nullptr, nullptr, nullptr);
            if (s == kErrorNoMoreItems)
                break;
            EXPECT_EQ(s, kSuccess);
            if (s != kSuccess)
                break;
            names.emplace_back(name, size);
        }
        return names;
    }

    bool Exists(std::string_view path) {
        HKey key = kNullKey;
        Status s = reg.OpenKey(base, path, kKeyRead, &key);
        if (s == kSuccess)
            reg.CloseKey(key);
        return s == kSuccess;
    }
};

TEST_F(RegistryConformance, CreateReportsWhetherTheKeyIsNewAndCreatesTheWholePath) {
    HKey key = kNullKey;
    bool created = false;
    ASSERT_EQ(reg.CreateKey(base, "One\\Two\\Three", 0, kKeyAllAccess, &key, &created), kSuccess);
    Track(key);
    EXPECT_TRUE(created);
    ASSERT_EQ(reg.CreateKey(base, "One\\Two\\Three", 0, kKeyAllAccess, &key, &created), kSuccess);
    Track(key);
    EXPECT_FALSE(created);
    ASSERT_EQ(reg.CreateKey(base, "One\\Two", 0, kKeyAllAccess, &key, nullptr), kSuccess);
    Track(key);
    EXPECT_EQ(SubKeys(key), std::vector<std::string>{"Three"});
    // An empty subkey names the key itself.
    ASSERT_EQ(reg.CreateKey(base, "", 0, kKeyAllAccess, &key, &created), kSuccess);
    Track(key);
    EXPECT_FALSE(created);
    EXPECT_EQ(SubKeys(key), std::vector<std::string>{"One"});
}

TEST_F(RegistryConformance, OpenFollowsRegOpenKeyExPathRules) {
    Create("Alpha\\Beta");
    HKey key = kNullKey;
    EXPECT_EQ(reg.OpenKey(base, "Alpha\\Missing", kKeyRead, &key), kErrorFileNotFound);
    EXPECT_EQ(reg.OpenKey(base, "Missing\\Beta", kKeyRead, &key), kErrorFileNotFound);
    // A leading backslash is a malformed relative path; doubled and trailing
    // separators are accepted.
    EXPECT_EQ(reg.OpenKey(base, "\\Alpha", kKeyRead, &key), kErrorBadPathname);
    EXPECT_EQ(reg.CreateKey(base, "\\Gamma", 0, kKeyAllAccess, &key, nullptr), kErrorBadPathname);
    EXPECT_FALSE(Exists("Gamma"));
    ASSERT_EQ(reg.OpenKey(base, "Alpha\\\\Beta\\", kKeyRead, &key), kSuccess);
    Track(key);
    ASSERT_EQ(reg.OpenKey(kHkeyCurrentUser, scratchPath + "\\Alpha\\", kKeyRead, &key), kSuccess);
    Track(key);
    EXPECT_EQ(SubKeys(key), std::vector<std::string>{"Beta"});
    // An empty subkey opens a new handle to the same key.
    HKey again = kNullKey;
    ASSERT_EQ(reg.OpenKey(key, "", kKeyRead, &again), kSuccess);
    Track(again);
    EXPECT_NE(again, key);
    EXPECT_EQ(SubKeys(again), std::vector<std::string>{"Beta"});
}

TEST_F(RegistryConformance, BadAndClosedHandlesAreRefused) {
    HKey key = kNullKey;
    EXPECT_EQ(reg.OpenKey(kNullKey, "Software", kKeyRead, &key), kErrorInvalidHandle);
    HKey closed = kNullKey;
    ASSERT_EQ(reg.OpenKey(base, "", kKeyAllAccess, &closed), kSuccess);
    EXPECT_EQ(reg.CloseKey(closed), kSuccess);
    EXPECT_EQ(reg.CloseKey(closed), kErrorInvalidHandle);
    std::uint32_t size = 0;
    EXPECT_EQ(reg.QueryValue(closed, "x", nullptr, nullptr, &size), kErrorInvalidHandle);
    EXPECT_EQ(reg.SetValue(closed, "x", kRegDword, &size, 4), kErrorInvalidHandle);
    KeyInfo info;
    EXPECT_EQ(reg.QueryInfoKey(closed, &info), kErrorInvalidHandle);
    // Closing a predefined root does nothing, and it stays usable.
    EXPECT_EQ(reg.CloseKey(kHkeyCurrentUser), kSuccess);
    ASSERT_EQ(reg.OpenKey(kHkeyCurrentUser, scratchPath, kKeyRead, &key), kSuccess);
    Track(key);
}

TEST_F(RegistryConformance, NamesMatchIgnoringCaseAndKeepTheirSpelling) {
    Create("MixedCase\\Inner");
    HKey key = Open("mixedcase\\INNER");
    EXPECT_EQ(SubKeys(base), std::vector<std::string>{"MixedCase"});
    bool created = true;
    HKey same = kNullKey;
    ASSERT_EQ(reg.CreateKey(base, "MIXEDCASE", 0, kKeyAllAccess, &same, &created), kSuccess);
    Track(same);
    EXPECT_FALSE(created);
    EXPECT_EQ(SubKeys(base), std::vector<std::string>{"MixedCase"});

    Set(key, "ValueName", kRegSz, Bytes("first\0", 6));
    EXPECT_EQ(Get(key, "VALUENAME"), Bytes("first\0", 6));
    // Writing through another spelling replaces the data, not the name.
    Set(key, "valuename", kRegSz, Bytes("second\0", 7));
    EXPECT_EQ(ValueNames(key), std::vector<std::string>{"ValueName"});
    EXPECT_EQ(Get(key, "ValueName"), Bytes("second\0", 7));
    EXPECT_EQ(reg.DeleteValue(key, "VALUENAME"), kSuccess);
    EXPECT_TRUE(ValueNames(key).empty());
}

TEST_F(RegistryConformance, EnumerationOrder) {
    for (const char* name : {"b", "_a", "A1", "[x", "Zz", "~t", "a", "Mid", "mIdDle"})
        Create(name);
    EXPECT_EQ(SubKeys(base),
              (std::vector<std::string>{"[x", "_a", "a", "A1", "b", "Mid", "mIdDle", "Zz", "~t"}));

    // Windows lists values in creation order, Wine by name: names created in
    // alphabetical order keep it on both, also when a value is written again
    // through another spelling (the creation-order cases live with the host
    // registry's own tests).
    HKey key = Create("Values");
    SetDword(key, "alpha", 1);
    SetDword(key, "Beta", 2);
    SetDword(key, "gamma", 3);
    Set(key, "ALPHA", kRegSz, Bytes("x\0", 2));
    EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"alpha", "Beta", "gamma"}));
    ASSERT_EQ(reg.DeleteValue(key, "beta"), kSuccess);
    EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"alpha", "gamma"}));

    char name[32];
    std::uint32_t size = sizeof(name);
    EXPECT_EQ(reg.EnumValue(key, 2, name, &size, nullptr, nullptr, nullptr), kErrorNoMoreItems);
    size = sizeof(name);
    EXPECT_EQ(reg.EnumKey(key, 0, name, &size, nullptr, nullptr), kErrorNoMoreItems);
}

TEST_F(RegistryConformance, NonAsciiNamesAndData) {
    const std::string cafe = "Caf\xC3\xA9";
    const std::string upperCafe = "CAF\xC3\x89";
    HKey key = Create(cafe);
    EXPECT_EQ(SubKeys(base), std::vector<std::string>{cafe});
    // The registry folds case beyond ASCII.
    bool created = true;
    HKey same = kNullKey;
    ASSERT_EQ(reg.CreateKey(base, upperCafe, 0, kKeyAllAccess, &same, &created), kSuccess);
    Track(same);
    EXPECT_FALSE(created);

    const std::string data = "cr\xC3\xA8me br\xC3\xBBl\xC3\xA9" + std::string(1, '\0');
    Set(key, cafe, kRegSz, data);
    std::uint32_t type = 0;
    EXPECT_EQ(Get(same, upperCafe, &type), data);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(ValueNames(key), std::vector<std::string>{cafe});

    // Sizes count UTF-8 bytes: the name needs 6 bytes with its zero.
    char name[16];
    std::uint32_t size = 5;
    EXPECT_EQ(reg.EnumKey(base, 0, name, &size, nullptr, nullptr), kErrorMoreData);
    EXPECT_EQ(size, 6u);
    size = 6;
    ASSERT_EQ(reg.EnumKey(base, 0, name, &size, nullptr, nullptr), kSuccess);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(std::string(name), cafe);
    std::uint32_t dataSize = 0;
    EXPECT_EQ(reg.QueryValue(key, cafe, nullptr, nullptr, &dataSize), kSuccess);
    EXPECT_EQ(dataSize, data.size());

    // Ordering follows UTF-16: a character outside the basic plane sorts
    // before the full-width letters.
    HKey order = Create("Order");
    for (const char* n : {"\xEF\xBC\xA1", "\xF0\x9F\x98\x80", "\xC3\xA9t\xC3\xA9", "zed"}) {
        HKey k = kNullKey;
        ASSERT_EQ(reg.CreateKey(order, n, 0, kKeyAllAccess, &k, nullptr), kSuccess);
        Track(k);
    }
    EXPECT_EQ(SubKeys(order), (std::vector<std::string>{"zed", "\xC3\xA9t\xC3\xA9",
                                                        "\xF0\x9F\x98\x80", "\xEF\xBC\xA1"}));
}

TEST_F(RegistryConformance, ShortBuffersGiveMoreDataWithTheNeededSize) {
    HKey key = Create("Sizes\\LongerSubkeyName");
    key = Open("Sizes");
    Set(key, "LongValueName", kRegBinary, "0123456789");

    std::uint32_t type = 0;
    std::uint32_t size = 4;
    char data[16] = {};
    EXPECT_EQ(reg.QueryValue(key, "LongValueName", &type, data, &size), kErrorMoreData);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(type, kRegBinary);
    size = 0;
    EXPECT_EQ(reg.QueryValue(key, "LongValueName", nullptr, nullptr, &size), kSuccess);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(reg.QueryValue(key, "LongValueName", nullptr, nullptr, nullptr), kSuccess);
    EXPECT_EQ(reg.QueryValue(key, "Missing", nullptr, nullptr, &size), kErrorFileNotFound);
    EXPECT_EQ(reg.QueryValue(key, "", nullptr, nullptr, &size), kErrorFileNotFound);

    char name[32];
    std::uint32_t nameSize = 4;
    std::uint32_t dataSize = sizeof(data);
    EXPECT_EQ(reg.EnumValue(key, 0, name, &nameSize, &type, data, &dataSize), kErrorMoreData);
    EXPECT_EQ(nameSize, 14u);
    nameSize = 14;
    dataSize = 3;
    EXPECT_EQ(reg.EnumValue(key, 0, name, &nameSize, &type, data, &dataSize), kErrorMoreData);
    EXPECT_EQ(dataSize, 10u);
    nameSize = 14;
    dataSize = 10;
    ASSERT_EQ(reg.EnumValue(key, 0, name, &nameSize, &type, data, &dataSize), kSuccess);
    EXPECT_EQ(nameSize, 13u);
    EXPECT_EQ(std::string(name), "LongValueName");
    EXPECT_EQ(std::string(data, dataSize), "0123456789");

    // "LongerSubkeyName" has 16 bytes: without room for the zero it does not fit.
    nameSize = 16;
    EXPECT_EQ(reg.EnumKey(key, 0, name, &nameSize, nullptr, nullptr), kErrorMoreData);
    EXPECT_EQ(nameSize, 17u);
    nameSize = 17;
    ASSERT_EQ(reg.EnumKey(key, 0, name, &nameSize, nullptr, nullptr), kSuccess);
    EXPECT_EQ(nameSize, 16u);

    KeyInfo info;
    ASSERT_EQ(reg.QueryInfoKey(key, &info), kSuccess);
    EXPECT_EQ(info.subKeys, 1u);
    EXPECT_EQ(info.values, 1u);
    EXPECT_GE(info.maxSubKeyLen, 16u);
    EXPECT_GE(info.maxValueNameLen, 13u);
    EXPECT_GE(info.maxValueLen, 10u);
}

TEST_F(RegistryConformance, QueryInfoKeyLengthsCoverNonAsciiNamesAndStrings) {
    HKey key = Create("Info");
    const std::string name = "\xE2\x82\xAC\xE2\x82\xAC";  // two euro signs, 6 UTF-8 bytes
    HKey sub = kNullKey;
    ASSERT_EQ(reg.CreateKey(key, name, 0, kKeyAllAccess, &sub, nullptr), kSuccess);
    Track(sub);
    Set(key, name, kRegSz, name + std::string(1, '\0'));
    KeyInfo info;
    ASSERT_EQ(reg.QueryInfoKey(key, &info), kSuccess);
    EXPECT_GE(info.maxSubKeyLen, 6u);
    EXPECT_GE(info.maxValueNameLen, 6u);
    EXPECT_GE(info.maxValueLen, 7u);
    // Enumerating with the reported lengths always fits.
    std::string buffer(info.maxValueNameLen + 1, '\0');
    std::string data(info.maxValueLen, '\0');
    std::uint32_t nameSize = info.maxValueNameLen + 1;
    std::uint32_t dataSize = info.maxValueLen;
    EXPECT_EQ(reg.EnumValue(key, 0, buffer.data(), &nameSize, nullptr, data.data(), &dataSize),
              kSuccess);
    EXPECT_EQ(std::string(data.data(), dataSize), name + std::string(1, '\0'));
}

TEST_F(RegistryConformance, DeleteKeyRefusesKeysWithSubkeysAndDeletesNothing) {
    HKey parent = Create("Parent");
    Create("Parent\\Child");
    SetDword(parent, "Kept", 7);
    EXPECT_EQ(reg.DeleteKey(base, "Parent"), kErrorAccessDenied);
    EXPECT_TRUE(Exists("Parent\\Child"));
    EXPECT_EQ(ValueNames(parent), std::vector<std::string>{"Kept"});
    EXPECT_EQ(reg.DeleteKey(base, "Parent\\Child"), kSuccess);
    EXPECT_FALSE(Exists("Parent\\Child"));
    EXPECT_EQ(reg.DeleteKey(base, "PARENT"), kSuccess);
    EXPECT_FALSE(Exists("Parent"));

    EXPECT_EQ(reg.DeleteKey(base, "Missing"), kErrorFileNotFound);
    EXPECT_EQ(reg.DeleteKey(base, "Missing\\Deeper"), kErrorFileNotFound);
    EXPECT_EQ(reg.DeleteValue(base, "Missing"), kErrorFileNotFound);
    EXPECT_EQ(reg.DeleteKey(kHkeyCurrentUser, ""), kErrorAccessDenied);

    // An empty subkey deletes the key the handle names.
    HKey self = Create("Self");
    EXPECT_EQ(reg.DeleteKey(self, ""), kSuccess);
    EXPECT_FALSE(Exists("Self"));
}

TEST_F(RegistryConformance, HandlesOfDeletedKeysReportKeyDeleted) {
    HKey gone = Create("Gone");
    ASSERT_EQ(reg.DeleteKey(base, "Gone"), kSuccess);
    std::uint32_t value = 1;
    std::uint32_t size = 4;
    EXPECT_EQ(reg.SetValue(gone, "x", kRegDword, &value, 4), kErrorKeyDeleted);
    EXPECT_EQ(reg.QueryValue(gone, "x", nullptr, &value, &size), kErrorKeyDeleted);
    EXPECT_EQ(reg.DeleteValue(gone, "x"), kErrorKeyDeleted);
    char name[16];
    size = sizeof(name);
    EXPECT_EQ(reg.EnumKey(gone, 0, name, &size, nullptr, nullptr), kErrorKeyDeleted);
    size = sizeof(name);
    EXPECT_EQ(reg.EnumValue(gone, 0, name, &size, nullptr, nullptr, nullptr), kErrorKeyDeleted);
    KeyInfo info;
    EXPECT_EQ(reg.QueryInfoKey(gone, &info), kErrorKeyDeleted);
    HKey key = kNullKey;
    EXPECT_EQ(reg.CreateKey(gone, "Sub", 0, kKeyAllAccess, &key, nullptr), kErrorKeyDeleted);
    EXPECT_EQ(reg.OpenKey(gone, "", kKeyRead, &key), kErrorKeyDeleted);
    EXPECT_EQ(reg.NotifyChangeKeyValue(gone, false, kNotifyChangeName), kErrorKeyDeleted);
    EXPECT_FALSE(Exists("Gone"));
    // The key can be made again; the old handle stays dead.
    Create("Gone");
    EXPECT_EQ(reg.SetValue(gone, "x", kRegDword, &value, 4), kErrorKeyDeleted);
}

TEST_F(RegistryConformance, AccessRightsOfTheHandleAreChecked) {
    Create("Rights\\Sub");
    HKey writable = Open("Rights");
    SetDword(writable, "v", 1);
    HKey readOnly = Open("Rights", kKeyRead);
    std::uint32_t value = 2;
    EXPECT_EQ(reg.SetValue(readOnly, "v", kRegDword, &value, 4), kErrorAccessDenied);
    EXPECT_EQ(reg.DeleteValue(readOnly, "v"), kErrorAccessDenied);
    EXPECT_EQ(Get(readOnly, "v"), Bytes("\x01\0\0\0", 4));
    EXPECT_EQ(SubKeys(readOnly), std::vector<std::string>{"Sub"});

    HKey setOnly = Open("Rights", kKeySetValue);
    std::uint32_t size = 4;
    EXPECT_EQ(reg.QueryValue(setOnly, "v", nullptr, &value, &size), kErrorAccessDenied);
    char name[16];
    size = sizeof(name);
    EXPECT_EQ(reg.EnumValue(setOnly, 0, name, &size, nullptr, nullptr, nullptr),
              kErrorAccessDenied);
    size = sizeof(name);
    EXPECT_EQ(reg.EnumKey(setOnly, 0, name, &size, nullptr, nullptr), kErrorAccessDenied);
    EXPECT_EQ(reg.NotifyChangeKeyValue(setOnly, false, kNotifyChangeName), kErrorAccessDenied);
    EXPECT_EQ(reg.SetValue(setOnly, "v", kRegDword, &value, 4), kSuccess);
    EXPECT_EQ(Get(writable, "v"), Bytes("\x02\0\0\0", 4));
    // Deleting a subkey needs nothing of the parent handle.
    EXPECT_EQ(reg.DeleteKey(readOnly, "Sub"), kSuccess);
}

TEST_F(RegistryConformance, DeniedRightsFailTheOpen) {
    if (!conformance::ConformanceCanDenyAccess())
        GTEST_SKIP() << "no way to deny rights here";
    Create("Locked");
    std::string path = std::string(scratchPath) + "\\Locked";
    conformance::ConformanceDenyAccess(kHkeyCurrentUser, path,
                                       kKeySetValue | kKeyCreateSubKey | 0x00010000);
    HKey key = kNullKey;
    EXPECT_EQ(reg.OpenKey(base, "Locked", kKeyAllAccess, &key), kErrorAccessDenied);
    EXPECT_EQ(reg.OpenKey(base, "Locked", kKeyRead | kKeyWrite, &key), kErrorAccessDenied);
    EXPECT_EQ(reg.DeleteKey(base, "Locked"), kErrorAccessDenied);
    ASSERT_EQ(reg.OpenKey(base, "Locked", kKeyRead, &key), kSuccess);
    Track(key);
    conformance::ConformanceDenyAccess(kHkeyCurrentUser, path, 0);
    EXPECT_EQ(reg.DeleteKey(base, "Locked"), kSuccess);
}

TEST_F(RegistryConformance, EveryValueTypeRoundTrips) {
    HKey key = Create("Types");
    const std::uint32_t dword = 0x12345678;
    const std::uint64_t qword = 0x0123456789ABCDEFull;
    struct Case {
        const char* name;
        std::uint32_t type;
        std::string data;
    };
    const std::vector<Case> cases = {
        {"none", kRegNone, Bytes("\x01\x00\xFF", 3)},
        {"emptyNone", kRegNone, ""},
        {"sz", kRegSz, Bytes("text\0", 5)},
        {"szNoZero", kRegSz, "text"},
        {"szEmpty", kRegSz, ""},
        {"szOnlyZero", kRegSz, Bytes("\0", 1)},
        {"szCafe", kRegSz, Bytes("Caf\xC3\xA9\0", 6)},
        {"szCafeNoZero", kRegSz, "Caf\xC3\xA9"},
        {"expand", kRegExpandSz, Bytes("%SystemRoot%\\x\0", 15)},
        {"binary", kRegBinary, Bytes("\x00\x01\x02\xFE\xFF", 5)},
        {"emptyBinary", kRegBinary, ""},
        {"dword", kRegDword, std::string(reinterpret_cast<const char*>(&dword), 4)},
        {"dwordBig", kRegDwordBigEndian, Bytes("\x12\x34\x56\x78", 4)},
        {"multi", kRegMultiSz, Bytes("one\0tw\xC3\xB6\0\0", 10)},
        {"multiEmpty", kRegMultiSz, Bytes("\0", 1)},
        {"qword", kRegQword, std::string(reinterpret_cast<const char*>(&qword), 8)},
        {"odd", 0x4242, Bytes("\x01\x02\x03", 3)},
    };
    for (const Case& c : cases)
        Set(key, c.name, c.type, c.data);
    for (const Case& c : cases) {
        std::uint32_t type = 0;
        EXPECT_EQ(Get(key, c.name, &type), c.data) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
    }
    // Enumeration hands out the same bytes and sizes.
    std::size_t seen = 0;
    for (std::uint32_t i = 0;; ++i) {
        char name[32];
        char data[64];
        std::uint32_t nameSize = sizeof(name);
        std::uint32_t dataSize = sizeof(data);
        std::uint32_t type = 0;
        Status s = reg.EnumValue(key, i, name, &nameSize, &type, data, &dataSize);
        if (s == kErrorNoMoreItems)
            break;
        ASSERT_EQ(s, kSuccess);
        auto it = std::find_if(cases.begin(), cases.end(), [&](const Case& c) {
            return std::string(name, nameSize) == c.name;
        });
        ASSERT_NE(it, cases.end()) << name;
        EXPECT_EQ(type, it->type);
        EXPECT_EQ(std::string(data, dataSize), it->data) << it->name;
        ++seen;
    }
    EXPECT_EQ(seen, cases.size());
    // The default value is the one with the empty name.
    Set(key, "", kRegSz, Bytes("default\0", 8));
    EXPECT_EQ(Get(key, ""), Bytes("default\0", 8));
    std::vector<std::string> names = ValueNames(key);
    EXPECT_EQ(std::count(names.begin(), names.end(), ""), 1);
}

TEST_F(RegistryConformance, StringDataNeedsRoomForExactlyItsBytes) {
    HKey key = Create("Strings");
    Set(key, "with", kRegSz, Bytes("Caf\xC3\xA9\0", 6));
    Set(key, "without", kRegSz, "Caf\xC3\xA9");
    char data[16];
    std::uint32_t size = 5;
    EXPECT_EQ(reg.QueryValue(key, "with", nullptr, data, &size), kErrorMoreData);
    EXPECT_EQ(size, 6u);
    size = 5;
    ASSERT_EQ(reg.QueryValue(key, "without", nullptr, data, &size), kSuccess);
    EXPECT_EQ(std::string(data, size), "Caf\xC3\xA9");
    size = 4;
    EXPECT_EQ(reg.QueryValue(key, "without", nullptr, data, &size), kErrorMoreData);
    EXPECT_EQ(size, 5u);
}

TEST_F(RegistryConformance, VolatileKeysTakeOnlyVolatileChildren) {
    HKey vol = Create("Volatile", kKeyAllAccess, kRegOptionVolatile);
    HKey key = kNullKey;
    EXPECT_EQ(reg.CreateKey(vol, "Durable", kRegOptionNonVolatile, kKeyAllAccess, &key, nullptr),
              kErrorChildMustBeVolatile);
    ASSERT_EQ(reg.CreateKey(vol, "Fleeting", kRegOptionVolatile, kKeyAllAccess, &key, nullptr),
              kSuccess);
    Track(key);
    SetDword(key, "v", 3);
    EXPECT_EQ(Get(key, "v"), Bytes("\x03\0\0\0", 4));
    // Opening an existing key through create ignores the option.
    bool created = true;
    ASSERT_EQ(reg.CreateKey(base, "Volatile", kRegOptionNonVolatile, kKeyAllAccess, &key, &created),
              kSuccess);
    Track(key);
    EXPECT_FALSE(created);
}

// Runs NotifyChangeKeyValue on another thread and keeps making changes until
// it returns, so a change made before the wait began is not missed. Gives
// up after ten seconds by closing the handle.
class NotifyProbe {
  public:
    NotifyProbe(Registry& reg, HKey key, bool subtree, std::uint32_t filter)
        : reg_(reg), key_(key) {
        thread_ = std::thread([this, subtree, filter] {
            result_ = reg_.NotifyChangeKeyValue(key_, subtree, filter);
            done_ = true;
        });
    }
    ~NotifyProbe() {
        if (thread_.joinable()) {
            reg_.CloseKey(key_);
            thread_.join();
        }
    }
    template <typename Change>
    bool WaitWhile(Change change) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done_ && std::chrono::steady_clock::now() < deadline) {
            change();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!done_)
            return false;
        thread_.join();
        return true;
    }
    Status result() const { return result_; }

  private:
    Registry& reg_;
    HKey key_;
    std::thread thread_;
    std::atomic<bool> done_{false};
    std::atomic<Status> result_{0xFFFFFFFFu};
};

TEST_F(RegistryConformance, NotifyReturnsAfterAChangeFromAnotherThread) {
    HKey writer = Create("Watched");
    HKey watched = Open("Watched", kKeyNotify);
    std::uint32_t counter = 0;
    NotifyProbe probe(reg, watched, false, kNotifyChangeLastSet);
    // Each write stores new data: rewriting identical data is no change.
    ASSERT_TRUE(probe.WaitWhile([&] { SetDword(writer, "v", ++counter); }));
    EXPECT_EQ(probe.result(), kSuccess);
}

TEST_F(RegistryConformance, NotifyReportsNewSubkeysAndChangesDeepInTheSubtree) {
    Create("Tree\\Deep\\Deeper");
    HKey deeper = Open("Tree\\Deep\\Deeper");
    HKey tree = Open("Tree", kKeyNotify);
    {
        std::uint32_t counter = 0;
        NotifyProbe probe(reg, tree, true, 0xF);
        ASSERT_TRUE(probe.WaitWhile([&] { SetDword(deeper, "v", ++counter); }));
        EXPECT_EQ(probe.result(), kSuccess);
    }
    HKey treeAgain = Open("Tree", kKeyNotify);
    NotifyProbe probe(reg, treeAgain, false, kNotifyChangeName);
    int n = 0;
    ASSERT_TRUE(probe.WaitWhile([&] { Create("Tree\\New" + std::to_string(++n)); }));
    EXPECT_EQ(probe.result(), kSuccess);
}

TEST_F(RegistryConformance, ClosingTheHandleEndsAWait) {
    Create("Closing");
    HKey watched = kNullKey;
    ASSERT_EQ(reg.OpenKey(base, "Closing", kKeyNotify, &watched), kSuccess);
    std::atomic<Status> result{0xFFFFFFFFu};
    std::thread waiter([&] { result = reg.NotifyChangeKeyValue(watched, true, 0xF); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(reg.CloseKey(watched), kSuccess);
    waiter.join();
    EXPECT_EQ(result.load(), kErrorInvalidHandle);
}

}  // namespace
