// CRegistryHelper over the in-memory registry: reads with defaults, writes
// that create their keys, value deletion codes and key-tree deletion,
// including where it must stop.
#include "registry/RegistryHelper.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/host/MemoryRegistry.h"
#include "registry/tests/RawRegistryTest.h"

namespace {

using platform::HKey;
using platform::kHkeyCurrentUser;
using platform::kNullKey;
using platform::Status;
using platform::host::MemoryRegistry;

constexpr std::uint32_t kDelete = 0x00010000;

class RegistryHelperTest : public registrytest::RawRegistryTest {
  protected:
    CRegistryHelper helper{reg};
};

// --- Opening ---------------------------------------------------------------

TEST_F(RegistryHelperTest, OpenKeyGivesAnEmptyKeyOnFailureAndOpenOrCreateKeyCreates) {
    EXPECT_FALSE(helper.OpenKey(kHkeyCurrentUser, "Software\\Missing", platform::kKeyRead));

    {
        platform::ScopedKey created = helper.OpenOrCreateKey(kHkeyCurrentUser, "Software\\A\\B");
        ASSERT_TRUE(created);
        EXPECT_TRUE(Exists("Software\\A\\B"));
        platform::ScopedKey opened =
            helper.OpenKey(kHkeyCurrentUser, "Software\\A\\B", platform::kKeyRead);
        EXPECT_TRUE(opened);
    }
    // A key that refuses writing can be neither opened nor created for it.
    reg.DenyAccess(kHkeyCurrentUser, "Software\\A\\B", platform::kKeySetValue);
    EXPECT_FALSE(helper.OpenOrCreateKey(kHkeyCurrentUser, "Software\\A\\B"));
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

// --- Reading ---------------------------------------------------------------

TEST_F(RegistryHelperTest, QueryStringReturnsTheDefaultForAnythingMissingOrUnreadable) {
    EXPECT_EQ(helper.QueryString(kHkeyCurrentUser, "Software\\Missing", "name", "fallback"),
              "fallback");
    MakeKey("Software\\Vendor");
    EXPECT_EQ(helper.QueryString(kHkeyCurrentUser, "Software\\Vendor", "name", "fallback"),
              "fallback");

    Put("Software\\Locked", "name", platform::kRegSz, std::string_view("secret\0", 7));
    reg.DenyAccess(kHkeyCurrentUser, "Software\\Locked", platform::kKeyQueryValue);
    EXPECT_EQ(helper.QueryString(kHkeyCurrentUser, "Software\\Locked", "name", "fallback"),
              "fallback");

    // A read failing after the size query gives the default as well.
    Put("Software\\Vendor", "name", platform::kRegSz, std::string_view("value\0", 6));
    int queries = 0;
    reg.SetFaultHook([&](std::string_view operation, std::string_view) {
        return operation == "QueryValue" && ++queries == 2 ? platform::kErrorAccessDenied
                                                           : platform::kSuccess;
    });
    EXPECT_EQ(helper.QueryString(kHkeyCurrentUser, "Software\\Vendor", "name", "fallback"),
              "fallback");
    reg.SetFaultHook(nullptr);
    EXPECT_EQ(helper.QueryString(kHkeyCurrentUser, "Software\\Vendor", "name", "fallback"),
              "value");
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(RegistryHelperTest, QueryStringReadsTheTextUpToItsFirstZero) {
    Put("Software\\Texts", "terminated", platform::kRegSz, std::string_view("abc\0", 4));
    Put("Software\\Texts", "bare", platform::kRegSz, "no terminator");
    Put("Software\\Texts", "two", platform::kRegSz, std::string_view("first\0second\0", 13));
    Put("Software\\Texts", "empty", platform::kRegSz, "");
    Put("Software\\Texts", "expand", platform::kRegExpandSz, std::string_view("%TEMP%\\x\0", 9));

    auto query = [&](std::string_view name) {
        return helper.QueryString(kHkeyCurrentUser, "Software\\Texts", name, "fallback");
    };
    EXPECT_EQ(query("terminated"), "abc");
    EXPECT_EQ(query("bare"), "no terminator");
    EXPECT_EQ(query("two"), "first");
    EXPECT_EQ(query("empty"), "");
    EXPECT_EQ(query("expand"), "%TEMP%\\x");
}

TEST_F(RegistryHelperTest, TheObjectQueryStringUsesItsOwnRootAndPath) {
    Put("Software\\Bound", "name", platform::kRegSz, std::string_view("bound\0", 6));

    // Without a root there is nothing to read, not even the default.
    EXPECT_EQ(helper.QueryString("name", "fallback"), "");

    CRegistryHelper bound(reg, kHkeyCurrentUser, "Software\\Bound");
    EXPECT_EQ(bound.QueryString("name", "fallback"), "bound");
    EXPECT_EQ(bound.QueryString("other", "fallback"), "fallback");

    bound.SetRootAndPath(kHkeyCurrentUser, "Software\\Missing");
    EXPECT_EQ(bound.QueryString("name", "fallback"), "fallback");
    bound.SetRootAndPath(kNullKey, "Software\\Bound");
    EXPECT_EQ(bound.QueryString("name", "fallback"), "");
}

TEST_F(RegistryHelperTest, QueryDwordReturnsTheStoredValueOrTheDefault) {
    EXPECT_EQ(helper.QueryDword(kHkeyCurrentUser, "Software\\Missing", "n", 77), 77u);
    Put("Software\\Numbers", "n", platform::kRegDword, std::string_view("\x2A\0\0\0", 4));
    Put("Software\\Numbers", "wide", platform::kRegQword, std::string_view("\1\0\0\0\0\0\0\0", 8));

    EXPECT_EQ(helper.QueryDword(kHkeyCurrentUser, "Software\\Numbers", "n", 77), 42u);
    EXPECT_EQ(helper.QueryDword(kHkeyCurrentUser, "Software\\Numbers", "absent", 77), 77u);
    // More than 4 bytes do not fit.
    EXPECT_EQ(helper.QueryDword(kHkeyCurrentUser, "Software\\Numbers", "wide", 77), 77u);
}

// --- Writing ---------------------------------------------------------------

TEST_F(RegistryHelperTest, WritesCreateMissingKeysAndStoreTheExactBytes) {
    ASSERT_TRUE(helper.SetString(kHkeyCurrentUser, "Software\\New\\Deeper", "text", "hello"));
    std::uint32_t type = 0;
    std::string stored;
    ASSERT_TRUE(Read("Software\\New\\Deeper", "text", &type, &stored));
    EXPECT_EQ(type, platform::kRegSz);
    EXPECT_EQ(stored, std::string("hello\0", 6));
    EXPECT_EQ(helper.QueryString(kHkeyCurrentUser, "Software\\New\\Deeper", "text", ""), "hello");

    ASSERT_TRUE(helper.SetString(kHkeyCurrentUser, "Software\\New\\Deeper", "text", ""));
    ASSERT_TRUE(Read("Software\\New\\Deeper", "text", &type, &stored));
    EXPECT_EQ(stored, std::string(1, '\0'));

    ASSERT_TRUE(helper.SetDword(kHkeyCurrentUser, "Software\\Other\\Key", "n", 0x01020304));
    ASSERT_TRUE(Read("Software\\Other\\Key", "n", &type, &stored));
    EXPECT_EQ(type, platform::kRegDword);
    EXPECT_EQ(stored.size(), 4u);
    EXPECT_EQ(helper.QueryDword(kHkeyCurrentUser, "Software\\Other\\Key", "n", 0), 0x01020304u);
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(RegistryHelperTest, WritesReportFailureWhenTheKeyCannotBeMade) {
    reg.DenyAccess(kHkeyCurrentUser, "Software\\Forbidden", platform::kKeyCreateSubKey);
    EXPECT_FALSE(helper.SetString(kHkeyCurrentUser, "Software\\Forbidden", "t", "x"));
    EXPECT_FALSE(helper.SetDword(kHkeyCurrentUser, "Software\\Forbidden", "n", 1));
    EXPECT_FALSE(Exists("Software\\Forbidden"));

    // An existing key whose values may not be changed.
    MakeKey("Software\\ReadOnly");
    reg.DenyAccess(kHkeyCurrentUser, "Software\\ReadOnly", platform::kKeySetValue);
    EXPECT_FALSE(helper.SetString(kHkeyCurrentUser, "Software\\ReadOnly", "t", "x"));

    reg.SetFaultHook([](std::string_view operation, std::string_view) {
        return operation == "SetValue" ? platform::kErrorNotEnoughMemory : platform::kSuccess;
    });
    EXPECT_FALSE(helper.SetDword(kHkeyCurrentUser, "Software\\Writable", "n", 1));
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

// --- Deleting values -------------------------------------------------------

TEST_F(RegistryHelperTest, DeleteValueReturnsTheSystemCode) {
    Put("Software\\Values", "gone", platform::kRegSz, "x");
    Put("Software\\Values", "kept", platform::kRegSz, "y");

    EXPECT_EQ(helper.DeleteValue(kHkeyCurrentUser, "Software\\Values", "gone"), platform::kSuccess);
    std::uint32_t type = 0;
    std::string stored;
    EXPECT_FALSE(Read("Software\\Values", "gone", &type, &stored));
    EXPECT_TRUE(Read("Software\\Values", "kept", &type, &stored));

    EXPECT_EQ(helper.DeleteValue(kHkeyCurrentUser, "Software\\Values", "gone"),
              platform::kErrorFileNotFound);
    EXPECT_EQ(helper.DeleteValue(kHkeyCurrentUser, "Software\\Missing", "gone"),
              platform::kErrorFileNotFound);

    reg.DenyAccess(kHkeyCurrentUser, "Software\\Values", platform::kKeySetValue);
    EXPECT_EQ(helper.DeleteValue(kHkeyCurrentUser, "Software\\Values", "kept"),
              platform::kErrorAccessDenied);
    EXPECT_TRUE(Read("Software\\Values", "kept", &type, &stored));
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

// --- Deleting key trees ----------------------------------------------------

TEST_F(RegistryHelperTest, DeleteKeyTreeOnAMissingKeyReturnsTheOpenErrorAndDeletesNothing) {
    MakeKey("Software\\Vendor\\Other\\Child");
    std::vector<std::string> deletions;
    reg.SetFaultHook([&](std::string_view operation, std::string_view path) {
        if (operation == "DeleteKey") {
            deletions.emplace_back(path);
        }
        return platform::kSuccess;
    });

    EXPECT_EQ(helper.DeleteKeyTree(kHkeyCurrentUser, "Software\\Vendor\\Missing"),
              platform::kErrorFileNotFound);
    EXPECT_TRUE(deletions.empty());
    EXPECT_TRUE(Exists("Software\\Vendor\\Other\\Child"));
}

TEST_F(RegistryHelperTest, DeleteKeyTreeRemovesNestedSubkeysDeepestFirst) {
    for (const char* path :
         {"Software\\Vendor\\Tree\\A\\A1\\Deepest", "Software\\Vendor\\Tree\\A\\A2",
          "Software\\Vendor\\Tree\\B", "Software\\Vendor\\Sibling"}) {
        MakeKey(path);
    }
    Put("Software\\Vendor\\Tree\\A\\A1", "v", platform::kRegSz, "x");
    std::vector<std::string> deletions;
    reg.SetFaultHook([&](std::string_view operation, std::string_view path) {
        if (operation == "DeleteKey") {
            deletions.emplace_back(path);
        }
        return platform::kSuccess;
    });

    EXPECT_EQ(helper.DeleteKeyTree(kHkeyCurrentUser, "Software\\Vendor\\Tree"), platform::kSuccess);
    EXPECT_FALSE(Exists("Software\\Vendor\\Tree"));
    EXPECT_TRUE(Exists("Software\\Vendor\\Sibling"));
    EXPECT_EQ(deletions.size(), 6u);
    for (std::size_t i = 0; i < deletions.size(); ++i) {
        for (std::size_t later = i + 1; later < deletions.size(); ++later) {
            EXPECT_NE(deletions[later].rfind(deletions[i] + "\\", 0), 0u)
                << deletions[later] << " deleted after its parent " << deletions[i];
        }
    }
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(RegistryHelperTest, DeleteKeyTreeStopsAtTheFirstFailure) {
    for (const char* path :
         {"Software\\Tree\\A\\Inner", "Software\\Tree\\B\\Inner", "Software\\Tree\\C\\Inner"}) {
        MakeKey(path);
    }
    reg.SetFaultHook([](std::string_view operation, std::string_view path) {
        return operation == "DeleteKey" && path == "HKEY_CURRENT_USER\\Software\\Tree\\B\\Inner"
                   ? platform::kErrorSharingViolation
                   : platform::kSuccess;
    });

    EXPECT_EQ(helper.DeleteKeyTree(kHkeyCurrentUser, "Software\\Tree"),
              platform::kErrorSharingViolation);
    EXPECT_FALSE(Exists("Software\\Tree\\A"));
    EXPECT_TRUE(Exists("Software\\Tree\\B\\Inner"));
    // Nothing after the failure was touched.
    EXPECT_TRUE(Exists("Software\\Tree\\C\\Inner"));
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(RegistryHelperTest, DeleteKeyTreeGoesOnOnlyWhenTheEnumerationRanOut) {
    // ERROR_BADKEY from the enumeration counts as "no more subkeys".
    MakeKey("Software\\BadKey");
    reg.SetFaultHook([](std::string_view operation, std::string_view) {
        return operation == "EnumKey" ? platform::kErrorBadKey : platform::kSuccess;
    });
    EXPECT_EQ(helper.DeleteKeyTree(kHkeyCurrentUser, "Software\\BadKey"), platform::kSuccess);
    EXPECT_FALSE(Exists("Software\\BadKey"));

    // Any other enumeration failure is returned and the key stays.
    MakeKey("Software\\Unreadable");
    reg.SetFaultHook([](std::string_view operation, std::string_view) {
        return operation == "EnumKey" ? platform::kErrorAccessDenied : platform::kSuccess;
    });
    EXPECT_EQ(helper.DeleteKeyTree(kHkeyCurrentUser, "Software\\Unreadable"),
              platform::kErrorAccessDenied);
    EXPECT_TRUE(Exists("Software\\Unreadable"));
    reg.SetFaultHook(nullptr);

    // Every key name fits the name buffer, also one of 255 characters that
    // take three bytes each; a name past 299 characters ends the deletion
    // with ERROR_MORE_DATA.
    std::string longest;
    for (int i = 0; i < 255; ++i)
        longest += "\xE2\x82\xAC";
    MakeKey("Software\\Names\\" + longest);
    EXPECT_EQ(helper.DeleteKeyTree(kHkeyCurrentUser, "Software\\Names"), platform::kSuccess);
    EXPECT_FALSE(Exists("Software\\Names"));

    MakeKey("Software\\Names\\" + std::string(299 * 3 + 1, 'n'));
    EXPECT_EQ(helper.DeleteKeyTree(kHkeyCurrentUser, "Software\\Names"), platform::kErrorMoreData);
    EXPECT_TRUE(Exists("Software\\Names"));

    // A key that refuses deletion returns that refusal.
    MakeKey("Software\\Kept");
    reg.DenyAccess(kHkeyCurrentUser, "Software\\Kept", kDelete);
    EXPECT_EQ(helper.DeleteKeyTree(kHkeyCurrentUser, "Software\\Kept"),
              platform::kErrorAccessDenied);
    EXPECT_TRUE(Exists("Software\\Kept"));
    EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

}  // namespace
