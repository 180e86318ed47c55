// The registry checks of every entry (keys, values, value data) and the known
// locations of the smart scan, over the in-memory registry and a C: drive in
// a temporary folder.
#include "scan/RegistryChecks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "platform/tests/support/TestSystem.h"
#include "registry/RegistryHelper.h"

namespace {

using platform::HKey;
using platform::kHkeyClassesRoot;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using refdb::SpywareEntry;

// Digests from the RFC 1321 test suite, in lower case: listed checksums are
// compared ignoring case.
constexpr const char* kAbcMd5 = "900150983cd24fb0d6963f7d28e17f72";
constexpr const char* kDigestMd5 = "f96b697d7cb7938d525a2f31aaf161d0";  // "message digest"

constexpr const char* kKnown = "Scanning Known Spyware Locations : ";

constexpr const char* kHklmRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunOnce = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr const char* kBho =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
constexpr const char* kToolbar = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
constexpr const char* kSearchHooks = "SOFTWARE\\Microsoft\\Internet Explorer\\UrlSearchHooks";
constexpr const char* kApproved =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
constexpr const char* kDistributionUnits =
    "SOFTWARE\\Microsoft\\Code Store Database\\Distribution Units";
constexpr const char* kSharedDlls = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

std::string DwordBytes(std::uint32_t value) {
    std::string bytes(sizeof value, '\0');
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

// One observed event: a progress step or a detection.
struct Event {
    std::string kind;  // "progress", "file", "key", "value", "data"
    std::string text;  // progress text, or the found file's full path
    int count = 0;
    SpywareEntry* entry = nullptr;
    const void* item = nullptr;
};

class RecordingObserver : public scan::ScanObserver {
  public:
    void OnProgress(std::string_view text, int scannedCount) override {
        Add({"progress", std::string(text), scannedCount, nullptr, nullptr});
    }
    void OnFile(SpywareEntry& entry, refdb::FileItem& item) override {
        Add({"file", text::JoinPath(item.path, item.name), 0, &entry, &item});
    }
    void OnCookie(SpywareEntry& entry, refdb::CookieItem& item) override {
        Add({"cookie", item.name, 0, &entry, &item});
    }
    void OnDirectory(SpywareEntry& entry, refdb::DirectoryItem& item) override {
        Add({"directory", item.name, 0, &entry, &item});
    }
    void OnRegKey(SpywareEntry& entry, refdb::RegKeyItem& item) override {
        Add({"key", item.keyPath, 0, &entry, &item});
    }
    void OnRegValue(SpywareEntry& entry, refdb::RegValueItem& item) override {
        Add({"value", item.valueName, 0, &entry, &item});
    }
    void OnRegData(SpywareEntry& entry, refdb::RegDataItem& item) override {
        Add({"data", item.matchedName, 0, &entry, &item});
    }
    void OnFinished() override { ++finished; }

    std::vector<std::string> Texts(std::string_view kind) const {
        std::vector<std::string> out;
        for (const Event& event : events) {
            if (event.kind == kind)
                out.push_back(event.text);
        }
        return out;
    }
    std::vector<const void*> Items(std::string_view kind) const {
        std::vector<const void*> out;
        for (const Event& event : events) {
            if (event.kind == kind)
                out.push_back(event.item);
        }
        return out;
    }
    std::vector<int> Counts() const {
        std::vector<int> out;
        for (const Event& event : events) {
            if (event.kind == "progress")
                out.push_back(event.count);
        }
        return out;
    }

    std::vector<Event> events;
    int finished = 0;
    // Runs after each event is recorded (to stop a scan at a chosen point).
    std::function<void(const Event&)> after;

  private:
    void Add(Event event) {
        events.push_back(std::move(event));
        if (after)
            after(events.back());
    }
};

class RegistryChecksTest : public ::testing::Test {
  protected:
    SpywareEntry& AddEntry(const std::string& name) {
        SpywareEntry& entry = db.entries().emplace_back();
        entry.name = name;
        return entry;
    }
    // An entry with one File item of the given checksum, and its reference.
    refdb::ChecksumRef AddChecksumEntry(const std::string& name, const std::string& md5) {
        SpywareEntry& entry = AddEntry(name);
        refdb::FileItem& file = entry.files.emplace_back();
        file.name = name + ".exe";
        file.md5 = md5;
        return refdb::ChecksumRef{&entry, &file};
    }

    void Plant(const std::string& windowsPath, std::string_view contents) {
        std::filesystem::create_directories(host.HostPath(text::ParentPath(windowsPath)));
        ASSERT_EQ(host.files().WriteFile(windowsPath, contents), platform::kSuccess) << windowsPath;
    }

    void SetRaw(HKey root, std::string_view path, std::string_view name, std::uint32_t type,
                std::string_view bytes) {
        platform::ScopedKey key = helper.OpenOrCreateKey(root, path);
        ASSERT_TRUE(key) << path;
        ASSERT_EQ(host.registry().SetValue(key.get(), name, type, bytes.data(),
                                           static_cast<std::uint32_t>(bytes.size())),
                  platform::kSuccess);
    }
    void SetString(HKey root, std::string_view path, std::string_view name,
                   std::string_view value) {
        ASSERT_TRUE(helper.SetString(root, path, name, value)) << path;
    }
    void MakeKey(HKey root, std::string_view path) {
        ASSERT_TRUE(helper.OpenOrCreateKey(root, path)) << path;
    }
    // A class whose server `server` ("InprocServer32" or "LocalServer32") is
    // `program`.
    void RegisterClass(std::string_view classId, std::string_view server,
                       std::string_view program) {
        SetString(kHkeyClassesRoot, "CLSID\\" + std::string(classId) + "\\" + std::string(server),
                  "", program);
    }
    void StopAfter(std::function<bool(const Event&)> when) {
        observer.after = [this, when](const Event& event) {
            if (when(event))
                context.stopRequested = true;
        };
    }

    testsupport::TestSystem host;
    refdb::ReferenceDatabase db{host.system()};
    RecordingObserver observer;
    scan::ScanContext context{host.system(), db, observer};
    CRegistryHelper helper{host.registry()};
};

// --- Registry keys ----------------------------------------------------------

TEST_F(RegistryChecksTest, KeysArePresentOnlyWhenTheyOpenWithAllAccessRights) {
    MakeKey(kHkeyLocalMachine, "SOFTWARE\\Evil");
    MakeKey(kHkeyCurrentUser, "Software\\Locked");
    host.registry().DenyAccess(kHkeyCurrentUser, "Software\\Locked", platform::kKeySetValue);
    ASSERT_TRUE(helper.OpenKey(kHkeyCurrentUser, "Software\\Locked", platform::kKeyRead))
        << "the locked key exists and can be read";

    SpywareEntry& entry = AddEntry("Evil");
    entry.regKeys = {{kHkeyLocalMachine, "software\\EVIL", false},
                     {kHkeyCurrentUser, "Software\\Locked", true},
                     {kHkeyCurrentUser, "Software\\Missing", true}};

    EXPECT_TRUE(scan::CheckRegistryKeys(context, entry));

    EXPECT_TRUE(entry.detected);
    EXPECT_TRUE(entry.regKeys[0].detected);
    EXPECT_FALSE(entry.regKeys[1].detected) << "a key refusing full access counts as absent";
    EXPECT_FALSE(entry.regKeys[2].detected) << "a miss clears the flag";
    EXPECT_EQ(observer.Items("key"), std::vector<const void*>{&entry.regKeys[0]});
    EXPECT_EQ(observer.Texts("progress"),
              (std::vector<std::string>{"HKEY_LOCAL_MACHINE\\software\\EVIL",
                                        "HKEY_CURRENT_USER\\Software\\Locked",
                                        "HKEY_CURRENT_USER\\Software\\Missing"}));
    EXPECT_EQ(observer.Counts(), (std::vector<int>{1, 2, 3}));
    // The detection comes before the step that counts it.
    EXPECT_EQ(observer.events.front().kind, "key");
    EXPECT_EQ(host.registry().OpenHandleCount(), 0u) << "every key tested is closed again";
}

TEST_F(RegistryChecksTest, ItemsWithoutAKnownRootNeverMatch) {
    MakeKey(kHkeyCurrentUser, "Software\\Evil");
    SetString(kHkeyCurrentUser, "Software\\Evil", "Run", "1");

    SpywareEntry& entry = AddEntry("Evil");
    entry.regKeys = {{platform::kNullKey, "Software\\Evil", false}};
    entry.regValues = {{platform::kNullKey, "Software\\Evil", "Run", false}};
    entry.regData = {{platform::kNullKey, "Software\\Evil", "Run", "1", "", "", false, false},
                     {platform::kNullKey, "Software\\Evil", "*", "1", "", "", false, false}};

    scan::CheckRegistryKeys(context, entry);
    scan::CheckRegistryValues(context, entry);
    scan::CheckRegistryData(context, entry);

    EXPECT_FALSE(entry.detected);
    EXPECT_EQ(observer.Texts("key").size() + observer.Texts("value").size() +
                  observer.Texts("data").size(),
              0u);
    // An unknown root prints as an empty name.
    EXPECT_EQ(observer.Texts("progress"),
              (std::vector<std::string>{"\\Software\\Evil", "\\Software\\Evil\\Run",
                                        "\\Software\\Evil\\Run\\1", "\\Software\\Evil\\*\\1"}));
}

// --- Registry values ---------------------------------------------------------

TEST_F(RegistryChecksTest, ValuesArePresentOnlyWhenTheirDataFitsTheSmallBuffer) {
    const char* key = "Software\\Evil";
    SetRaw(kHkeyCurrentUser, key, "Small", platform::kRegBinary, std::string(200, 'x'));
    SetRaw(kHkeyCurrentUser, key, "Edge", platform::kRegBinary, std::string(260, 'x'));
    SetRaw(kHkeyCurrentUser, key, "Over", platform::kRegBinary, std::string(261, 'x'));
    SetRaw(kHkeyCurrentUser, key, "Large", platform::kRegSz, std::string(299, 'x') + '\0');
    SetString(kHkeyCurrentUser, key, "", "default");

    SpywareEntry& entry = AddEntry("Evil");
    for (const char* name : {"Small", "Edge", "Over", "Large", "", "Missing"}) {
        entry.regValues.push_back({kHkeyCurrentUser, key, name, true});
    }

    EXPECT_TRUE(scan::CheckRegistryValues(context, entry));

    std::vector<bool> detected;
    for (const refdb::RegValueItem& item : entry.regValues)
        detected.push_back(item.detected);
    EXPECT_EQ(detected, (std::vector<bool>{true, true, false, false, true, false}));
    EXPECT_EQ(observer.Texts("value"), (std::vector<std::string>{"Small", "Edge", ""}));
    EXPECT_EQ(observer.Texts("progress"), (std::vector<std::string>{
                                              "HKEY_CURRENT_USER\\Software\\Evil\\Small",
                                              "HKEY_CURRENT_USER\\Software\\Evil\\Edge",
                                              "HKEY_CURRENT_USER\\Software\\Evil\\Over",
                                              "HKEY_CURRENT_USER\\Software\\Evil\\Large",
                                              "HKEY_CURRENT_USER\\Software\\Evil\\",
                                              "HKEY_CURRENT_USER\\Software\\Evil\\Missing",
                                          }));
    EXPECT_EQ(observer.Counts(), (std::vector<int>{1, 2, 3, 4, 5, 6}));
}

TEST_F(RegistryChecksTest, ValuesInAKeyRefusingFullAccessOrFailingToReadAreAbsent) {
    SetString(kHkeyCurrentUser, "Software\\Locked", "Run", "x");
    SetString(kHkeyCurrentUser, "Software\\Faulty", "Run", "x");
    host.registry().DenyAccess(kHkeyCurrentUser, "Software\\Locked", platform::kKeyCreateSubKey);
    host.registry().SetFaultHook([](std::string_view operation, std::string_view path) {
        return operation == "QueryValue" && text::EndsWithNoCase(path, "\\Faulty")
                   ? platform::kErrorAccessDenied
                   : platform::kSuccess;
    });

    SpywareEntry& entry = AddEntry("Evil");
    entry.regValues = {{kHkeyCurrentUser, "Software\\Locked", "Run", false},
                       {kHkeyCurrentUser, "Software\\Faulty", "Run", false}};
    EXPECT_NO_THROW(scan::CheckRegistryValues(context, entry));

    EXPECT_FALSE(entry.detected);
    EXPECT_TRUE(observer.Texts("value").empty());
    EXPECT_EQ(observer.Texts("progress").size(), 2u);
}

// --- Registry value data -----------------------------------------------------

TEST_F(RegistryChecksTest, DataMatchesTextAndSignedNumbersButNoOtherType) {
    const char* key = "SOFTWARE\\Evil";
    SetRaw(kHkeyLocalMachine, key, "Number", platform::kRegDword, DwordBytes(1));
    SetString(kHkeyLocalMachine, key, "Text", "1");
    SetRaw(kHkeyLocalMachine, key, "Expand", platform::kRegExpandSz, std::string("1\0", 2));
    SetRaw(kHkeyLocalMachine, key, "Binary", platform::kRegBinary, "1");
    SetRaw(kHkeyLocalMachine, key, "Negative", platform::kRegDword, DwordBytes(0xFFFFFFFBu));
    SetRaw(kHkeyLocalMachine, key, "Short", platform::kRegDword, std::string("\0\0", 2));
    SetString(kHkeyLocalMachine, key, "Page", "About:Blank");
    // Text is compared up to its first zero, with or without a terminator.
    SetRaw(kHkeyLocalMachine, key, "Embedded", platform::kRegSz, std::string("go\0away", 7));
    SetRaw(kHkeyLocalMachine, key, "Bare", platform::kRegSz, "bare");

    SpywareEntry& entry = AddEntry("Evil");
    struct Case {
        const char* value;
        const char* data;
        bool matches;
    };
    const Case cases[] = {
        {"Number", "1", true},  {"Text", "1", true},           {"Expand", "1", false},
        {"Binary", "1", false}, {"Negative", "-5", true},      {"Negative", "4294967291", false},
        {"Short", "0", false},  {"Page", "about:blank", true}, {"Embedded", "go", true},
        {"Bare", "BARE", true}, {"Missing", "1", false},
    };
    for (const Case& c : cases) {
        entry.regData.push_back({kHkeyLocalMachine, key, c.value, c.data, "", "", false, false});
    }

    EXPECT_TRUE(scan::CheckRegistryData(context, entry));

    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(entry.regData[i].detected, cases[i].matches)
            << cases[i].value << " = " << cases[i].data;
        EXPECT_EQ(entry.regData[i].matchedName, cases[i].value)
            << "a named value records its own name";
    }
    EXPECT_TRUE(entry.detected);
    EXPECT_EQ(observer.Texts("data"),
              (std::vector<std::string>{"Number", "Text", "Negative", "Page", "Embedded", "Bare"}));
    const std::vector<std::string> progress = observer.Texts("progress");
    ASSERT_EQ(progress.size(), std::size(cases));
    EXPECT_EQ(progress[0], "HKEY_LOCAL_MACHINE\\SOFTWARE\\Evil\\Number\\1");
    EXPECT_EQ(progress[4], "HKEY_LOCAL_MACHINE\\SOFTWARE\\Evil\\Negative\\-5");
}

TEST_F(RegistryChecksTest, NamedDataMustPassTheValueTest) {
    const std::string longText(300, 'a');
    SetString(kHkeyLocalMachine, "SOFTWARE\\Evil", "Long", longText);
    SetString(kHkeyLocalMachine, "SOFTWARE\\Locked", "Page", "x");
    host.registry().DenyAccess(kHkeyLocalMachine, "SOFTWARE\\Locked", platform::kKeySetValue);

    SpywareEntry& entry = AddEntry("Evil");
    entry.regData = {
        {kHkeyLocalMachine, "SOFTWARE\\Evil", "Long", longText, "", "", false, false},
        {kHkeyLocalMachine, "SOFTWARE\\Locked", "Page", "x", "", "", false, false},
        {kHkeyLocalMachine, "SOFTWARE\\Locked", "*", "x", "", "", false, false},
    };
    scan::CheckRegistryData(context, entry);

    EXPECT_FALSE(entry.detected);
    EXPECT_TRUE(observer.Texts("data").empty());
}

TEST_F(RegistryChecksTest, AnyValueNameReportsTheFirstMatchingValueInEnumerationOrder) {
    const char* key = "Software\\Evil\\Settings";
    SetRaw(kHkeyCurrentUser, key, "Zeta", platform::kRegExpandSz, std::string("7\0", 2));
    SetString(kHkeyCurrentUser, key, "Yankee", "other");
    SetRaw(kHkeyCurrentUser, key, "Xray", platform::kRegDword, DwordBytes(7));
    SetString(kHkeyCurrentUser, key, "Alpha", "7");
    // Data of any length is looked at when walking.
    SetString(kHkeyCurrentUser, key, "Long", std::string(400, 'q'));

    SpywareEntry& entry = AddEntry("Evil");
    entry.regData = {
        {kHkeyCurrentUser, key, "*", "7", "", "", false, false},
        {kHkeyCurrentUser, key, "*", "nothing", "", "", false, false},
        {kHkeyCurrentUser, key, "*", std::string(400, 'Q'), "", "", false, false},
        {kHkeyCurrentUser, "Software\\Missing", "*", "7", "", "", false, false},
    };

    scan::CheckRegistryData(context, entry);

    EXPECT_TRUE(entry.regData[0].detected);
    EXPECT_EQ(entry.regData[0].matchedName, "Xray") << "created before Alpha, after Zeta";
    EXPECT_FALSE(entry.regData[1].detected);
    EXPECT_EQ(entry.regData[1].matchedName, "*") << "without a match the listed name stays";
    EXPECT_TRUE(entry.regData[2].detected);
    EXPECT_EQ(entry.regData[2].matchedName, "Long");
    EXPECT_FALSE(entry.regData[3].detected);
    EXPECT_EQ(observer.Texts("data"), (std::vector<std::string>{"Xray", "Long"}));
    EXPECT_EQ(observer.Texts("progress")[0], "HKEY_CURRENT_USER\\Software\\Evil\\Settings\\*\\7");
    EXPECT_EQ(host.registry().OpenHandleCount(), 0u);
}

TEST_F(RegistryChecksTest, DataChecksOnlyEverSetTheDetectedFlag) {
    // Clearing is left to the reset before each scan, unlike keys and values.
    SpywareEntry& entry = AddEntry("Evil");
    entry.regData = {{kHkeyCurrentUser, "Software\\Missing", "Run", "1", "", "", true, false}};
    entry.regKeys = {{kHkeyCurrentUser, "Software\\Missing", true}};
    entry.regValues = {{kHkeyCurrentUser, "Software\\Missing", "Run", true}};

    scan::CheckRegistryKeys(context, entry);
    scan::CheckRegistryValues(context, entry);
    scan::CheckRegistryData(context, entry);

    EXPECT_FALSE(entry.regKeys[0].detected);
    EXPECT_FALSE(entry.regValues[0].detected);
    EXPECT_TRUE(entry.regData[0].detected);
    EXPECT_TRUE(observer.Texts("data").empty());
}

// --- Program paths -----------------------------------------------------------

TEST_F(RegistryChecksTest, ProgramPathsExpandThenTryTheWindowsAndSystemFolders) {
    Plant("C:\\Windows\\both.exe", "w");
    Plant("C:\\Windows\\System32\\both.exe", "s");
    Plant("C:\\Windows\\System32\\helper.dll", "s");
    Plant("C:\\Tools\\agent.exe", "a");
    platform::System& system = host.system();

    EXPECT_EQ(scan::ResolveProgramPath(system, "%SystemRoot%\\both.exe"), "C:\\Windows\\both.exe");
    EXPECT_EQ(scan::ResolveProgramPath(system, "C:\\Tools\\agent.exe"), "C:\\Tools\\agent.exe");
    EXPECT_EQ(scan::ResolveProgramPath(system, "both.exe"), "C:\\Windows\\both.exe")
        << "the Windows folder comes first";
    EXPECT_EQ(scan::ResolveProgramPath(system, "helper.dll"), "C:\\Windows\\System32\\helper.dll");
    EXPECT_EQ(scan::ResolveProgramPath(system, "System32\\helper.dll"),
              "C:\\Windows\\System32\\helper.dll");
    // Not found anywhere: the expanded text comes back.
    EXPECT_EQ(scan::ResolveProgramPath(system, "%SystemRoot%\\gone.exe"), "C:\\Windows\\gone.exe");
    EXPECT_EQ(scan::ResolveProgramPath(system, "%NoSuchVariable%\\x.exe"),
              "%NoSuchVariable%\\x.exe");
    // The folders are tried with the text as written, not as expanded.
    host.environment().SetVariable("AGENT", "both.exe");
    EXPECT_EQ(scan::ResolveProgramPath(system, "%AGENT%"), "both.exe");
    // Command lines are taken as a whole.
    EXPECT_EQ(scan::ResolveProgramPath(system, "C:\\Tools\\agent.exe /background"),
              "C:\\Tools\\agent.exe /background");
    EXPECT_EQ(scan::ResolveProgramPath(system, "\"C:\\Tools\\agent.exe\""),
              "\"C:\\Tools\\agent.exe\"");
}

// --- Run keys ----------------------------------------------------------------

TEST_F(RegistryChecksTest, RunKeysReportProgramsWhoseChecksumIsListed) {
    Plant("C:\\Tools\\agent.exe", "abc");
    Plant("C:\\Windows\\other.exe", "something else");
    Plant("C:\\Windows\\System32\\sysagent.exe", "abc");
    SetString(kHkeyLocalMachine, kHklmRun, "Agent", "C:\\Tools\\agent.exe");
    SetString(kHkeyLocalMachine, kHklmRun, "Switch", "C:\\Tools\\agent.exe /background");
    SetRaw(kHkeyLocalMachine, kHklmRun, "Other", platform::kRegExpandSz,
           std::string("%SystemRoot%\\other.exe\0", 23));
    SetRaw(kHkeyLocalMachine, kHklmRun, "Bare", platform::kRegSz, "sysagent.exe");
    SetString(kHkeyLocalMachine, kHklmRun, "TooLong",
              "C:\\Tools\\agent.exe" + std::string(250, ' '));

    const refdb::ChecksumRef first = AddChecksumEntry("First", text::ToUpper(kAbcMd5));
    const refdb::ChecksumRef unrelated = AddChecksumEntry("Unrelated", kDigestMd5);
    const refdb::ChecksumRef second = AddChecksumEntry("Second", kAbcMd5);

    EXPECT_TRUE(
        scan::CheckRunKey(context, kHkeyLocalMachine, kHklmRun, {first, unrelated, second}));

    // Every listed file with that checksum, in list order, each time.
    EXPECT_EQ(observer.Items("file"),
              (std::vector<const void*>{first.file, second.file, first.file, second.file}));
    EXPECT_EQ(observer.Texts("file"),
              (std::vector<std::string>{"C:\\Tools\\agent.exe", "C:\\Tools\\agent.exe",
                                        "C:\\Windows\\System32\\sysagent.exe",
                                        "C:\\Windows\\System32\\sysagent.exe"}));
    EXPECT_TRUE(first.entry->detected);
    EXPECT_TRUE(first.file->detected);
    EXPECT_FALSE(unrelated.entry->detected);
    // The item takes the place where it was found last.
    EXPECT_EQ(first.file->path, "C:\\Windows\\System32");
    EXPECT_EQ(first.file->name, "sysagent.exe");
    EXPECT_TRUE(first.file->copies.empty());

    // One step per readable value, with the resolved text; a command line
    // longer than the small buffer is not read.
    EXPECT_EQ(
        observer.Texts("progress"),
        (std::vector<std::string>{std::string(kKnown) + "C:\\Tools\\agent.exe",
                                  std::string(kKnown) + "C:\\Tools\\agent.exe /background",
                                  std::string(kKnown) + "C:\\Windows\\other.exe",
                                  std::string(kKnown) + "C:\\Windows\\System32\\sysagent.exe"}));
    EXPECT_EQ(observer.Counts(), (std::vector<int>{1, 2, 3, 4}));

    EXPECT_FALSE(scan::CheckRunKey(context, kHkeyCurrentUser, kHklmRun, {first}))
        << "a missing key";
}

TEST_F(RegistryChecksTest, KnownLocationKeysMustOpenWithAllAccessRights) {
    Plant("C:\\Tools\\agent.exe", "abc");
    SetString(kHkeyCurrentUser, kHklmRun, "Agent", "C:\\Tools\\agent.exe");
    SetRaw(kHkeyCurrentUser, kSharedDlls, "C:\\Tools\\agent.exe", platform::kRegDword,
           DwordBytes(1));
    MakeKey(kHkeyCurrentUser, std::string(kBho) + "\\{B0000000-0000-0000-0000-000000000001}");
    RegisterClass("{B0000000-0000-0000-0000-000000000001}", "InprocServer32",
                  "C:\\Tools\\agent.exe");
    for (const char* key : {kHklmRun, kSharedDlls, kBho}) {
        host.registry().DenyAccess(kHkeyCurrentUser, key, platform::kKeyCreateSubKey);
    }
    const refdb::ChecksumRef ref = AddChecksumEntry("Evil", kAbcMd5);

    EXPECT_FALSE(scan::CheckRunKey(context, kHkeyCurrentUser, kHklmRun, {ref}));
    EXPECT_FALSE(scan::CheckKnownValueNames(context, kHkeyCurrentUser, kSharedDlls, true, {ref}));
    EXPECT_FALSE(scan::CheckKnownSubkeys(context, kHkeyCurrentUser, kBho, {ref}));
    EXPECT_TRUE(observer.events.empty());
}

// --- Value names and class servers ---------------------------------------------

TEST_F(RegistryChecksTest, ValueNamesAreProgramPathsOrClassIdentifiers) {
    Plant("C:\\Lib\\shared.dll", "abc");
    Plant("C:\\Lib\\bar.dll", "message digest");
    SetRaw(kHkeyLocalMachine, kSharedDlls, "C:\\Lib\\shared.dll", platform::kRegDword,
           DwordBytes(3));
    SetRaw(kHkeyLocalMachine, kSharedDlls, "C:\\Lib\\missing.dll", platform::kRegDword,
           DwordBytes(1));
    SetRaw(kHkeyLocalMachine, kToolbar, "{7B000000-0000-0000-0000-000000000001}",
           platform::kRegBinary, "");
    RegisterClass("{7B000000-0000-0000-0000-000000000001}", "InprocServer32", "C:\\Lib\\bar.dll");
    const refdb::ChecksumRef shared = AddChecksumEntry("Shared", kAbcMd5);
    const refdb::ChecksumRef bar = AddChecksumEntry("Bar", kDigestMd5);

    EXPECT_TRUE(
        scan::CheckKnownValueNames(context, kHkeyLocalMachine, kSharedDlls, true, {shared, bar}));
    EXPECT_TRUE(
        scan::CheckKnownValueNames(context, kHkeyLocalMachine, kToolbar, false, {shared, bar}));

    EXPECT_EQ(observer.Items("file"), (std::vector<const void*>{shared.file, bar.file}));
    EXPECT_EQ(observer.Texts("file"),
              (std::vector<std::string>{"C:\\Lib\\shared.dll", "C:\\Lib\\bar.dll"}));
    EXPECT_EQ(
        observer.Texts("progress"),
        (std::vector<std::string>{std::string(kKnown) + "C:\\Lib\\shared.dll",
                                  std::string(kKnown) + "C:\\Lib\\missing.dll",
                                  std::string(kKnown) + "{7B000000-0000-0000-0000-000000000001}"}));
    EXPECT_FALSE(scan::CheckKnownValueNames(context, kHkeyLocalMachine, "SOFTWARE\\Missing", true,
                                            {shared}));
}

TEST_F(RegistryChecksTest, ClassServersReportTheFirstMatchOfEachServer) {
    const char* id = "{C1A55000-0000-0000-0000-000000000001}";
    Plant("C:\\Windows\\System32\\inproc.dll", "abc");
    Plant("C:\\Lib\\server.exe", "message digest");
    SetRaw(kHkeyClassesRoot, std::string("CLSID\\") + id + "\\InprocServer32", "",
           platform::kRegExpandSz, std::string("%SystemRoot%\\System32\\inproc.dll\0", 33));
    RegisterClass(id, "LocalServer32", "C:\\Lib\\server.exe");

    const refdb::ChecksumRef a = AddChecksumEntry("A", kAbcMd5);
    const refdb::ChecksumRef b = AddChecksumEntry("B", kAbcMd5);
    const refdb::ChecksumRef c = AddChecksumEntry("C", kDigestMd5);
    const refdb::ChecksumRef d = AddChecksumEntry("D", kDigestMd5);

    scan::CheckClassServer(context, id, {a, b, c, d});

    EXPECT_EQ(observer.Items("file"), (std::vector<const void*>{a.file, c.file}));
    EXPECT_EQ(observer.Texts("file"), (std::vector<std::string>{
                                          "C:\\Windows\\System32\\inproc.dll",
                                          "C:\\Lib\\server.exe",
                                      }));
    EXPECT_FALSE(b.entry->detected);
    EXPECT_FALSE(d.entry->detected);
    EXPECT_TRUE(observer.Texts("progress").empty()) << "the class lookup itself is no step";
}

TEST_F(RegistryChecksTest, ClassServersThatAreEmptyMissingOrCommandLinesFindNothing) {
    Plant("C:\\Lib\\server.exe", "abc");
    RegisterClass("{E0000000-0000-0000-0000-000000000001}", "InprocServer32", "");
    RegisterClass("{E0000000-0000-0000-0000-000000000002}", "LocalServer32",
                  "C:\\Lib\\server.exe -Embedding");
    MakeKey(kHkeyClassesRoot, "CLSID\\{E0000000-0000-0000-0000-000000000003}");
    const refdb::ChecksumRef ref = AddChecksumEntry("Evil", kAbcMd5);

    for (const char* id :
         {"{E0000000-0000-0000-0000-000000000001}", "{E0000000-0000-0000-0000-000000000002}",
          "{E0000000-0000-0000-0000-000000000003}", "{E0000000-0000-0000-0000-000000000004}"}) {
        scan::CheckClassServer(context, id, {ref});
    }
    EXPECT_TRUE(observer.events.empty());
}

TEST_F(RegistryChecksTest, SubkeysAreClassIdentifiers) {
    Plant("C:\\Lib\\bho.dll", "abc");
    Plant("C:\\Lib\\unit.exe", "abc");
    MakeKey(kHkeyLocalMachine, std::string(kBho) + "\\{B0000000-0000-0000-0000-000000000001}");
    MakeKey(kHkeyLocalMachine, std::string(kBho) + "\\{B0000000-0000-0000-0000-000000000002}");
    MakeKey(kHkeyLocalMachine, std::string(kBho) + "\\{B0000000-0000-0000-0000-000000000003}");
    RegisterClass("{B0000000-0000-0000-0000-000000000001}", "InprocServer32", "C:\\Lib\\bho.dll");
    RegisterClass("{B0000000-0000-0000-0000-000000000003}", "LocalServer32", "C:\\Lib\\unit.exe");
    const refdb::ChecksumRef ref = AddChecksumEntry("Evil", kAbcMd5);

    EXPECT_TRUE(scan::CheckKnownSubkeys(context, kHkeyLocalMachine, kBho, {ref}));
    EXPECT_EQ(observer.Texts("file"),
              (std::vector<std::string>{"C:\\Lib\\bho.dll", "C:\\Lib\\unit.exe"}));
    EXPECT_TRUE(observer.Texts("progress").empty());
    EXPECT_FALSE(scan::CheckKnownSubkeys(context, kHkeyLocalMachine, "SOFTWARE\\Missing", {ref}));
}

// --- The known locations together ------------------------------------------------

class KnownLocationsTest : public RegistryChecksTest {
  protected:
    // Each of the ten locations names its own copy of the same program.
    void PlantAllLocations(const std::string& software = "SOFTWARE") {
        auto under = [&](const char* key) { return software + std::string(key).substr(8); };
        const std::string lib = "C:\\Lib" + std::string(software == "SOFTWARE" ? "" : "32");
        for (const char* file : {"bho.dll", "toolbar.dll", "hook.dll", "shellext.dll",
                                 "hklm-run.exe", "hklm-runonce.exe", "du.exe", "shared.dll"}) {
            Plant(lib + "\\" + file, "abc");
        }
        const std::string prefix = software == "SOFTWARE" ? "{A" : "{3";
        auto id = [&](int n) {
            return prefix + "0000000-0000-0000-0000-00000000000" + std::to_string(n) + "}";
        };
        MakeKey(kHkeyLocalMachine, under(kBho) + "\\" + id(1));
        RegisterClass(id(1), "InprocServer32", lib + "\\bho.dll");
        SetRaw(kHkeyLocalMachine, under(kToolbar), id(2), platform::kRegBinary, "");
        RegisterClass(id(2), "InprocServer32", lib + "\\toolbar.dll");
        SetString(kHkeyLocalMachine, under(kSearchHooks), id(3), "");
        RegisterClass(id(3), "InprocServer32", lib + "\\hook.dll");
        SetString(kHkeyLocalMachine, under(kApproved), id(4), "Shell extension");
        RegisterClass(id(4), "InprocServer32", lib + "\\shellext.dll");
        SetString(kHkeyLocalMachine, under(kHklmRun), "Run", lib + "\\hklm-run.exe");
        SetString(kHkeyLocalMachine, under(kRunOnce), "Once", lib + "\\hklm-runonce.exe");
        MakeKey(kHkeyLocalMachine, under(kDistributionUnits) + "\\" + id(9));
        RegisterClass(id(9), "LocalServer32", lib + "\\du.exe");
        SetRaw(kHkeyLocalMachine, under(kSharedDlls), lib + "\\shared.dll", platform::kRegDword,
               DwordBytes(1));
    }
    void PlantUserLocations() {
        Plant("C:\\Lib\\hkcu-run.exe", "abc");
        Plant("C:\\Lib\\hkcu-runonce.exe", "abc");
        SetString(kHkeyCurrentUser, kHklmRun, "Run", "C:\\Lib\\hkcu-run.exe");
        SetString(kHkeyCurrentUser, kRunOnce, "Once", "C:\\Lib\\hkcu-runonce.exe");
    }
};

TEST_F(KnownLocationsTest, TheTenLocationsAreCheckedInOrder) {
    PlantAllLocations();
    PlantUserLocations();
    const refdb::ChecksumRef ref = AddChecksumEntry("Evil", kAbcMd5);

    scan::CheckKnownLocations(context, {ref});

    EXPECT_EQ(observer.Texts("file"),
              (std::vector<std::string>{"C:\\Lib\\bho.dll", "C:\\Lib\\toolbar.dll",
                                        "C:\\Lib\\hook.dll", "C:\\Lib\\shellext.dll",
                                        "C:\\Lib\\hklm-run.exe", "C:\\Lib\\hklm-runonce.exe",
                                        "C:\\Lib\\hkcu-run.exe", "C:\\Lib\\hkcu-runonce.exe",
                                        "C:\\Lib\\du.exe", "C:\\Lib\\shared.dll"}));
    // The same listed item, reported at every place that names it.
    for (const void* item : observer.Items("file"))
        EXPECT_EQ(item, ref.file);
    EXPECT_EQ(
        observer.Texts("progress"),
        (std::vector<std::string>{std::string(kKnown) + "{A0000000-0000-0000-0000-000000000002}",
                                  std::string(kKnown) + "{A0000000-0000-0000-0000-000000000003}",
                                  std::string(kKnown) + "{A0000000-0000-0000-0000-000000000004}",
                                  std::string(kKnown) + "C:\\Lib\\hklm-run.exe",
                                  std::string(kKnown) + "C:\\Lib\\hklm-runonce.exe",
                                  std::string(kKnown) + "C:\\Lib\\hkcu-run.exe",
                                  std::string(kKnown) + "C:\\Lib\\hkcu-runonce.exe",
                                  std::string(kKnown) + "C:\\Lib\\shared.dll"}));
    EXPECT_EQ(host.registry().OpenHandleCount(), 0u);
}

TEST_F(KnownLocationsTest, AProgramNamedByTwoLocationsIsReportedTwice) {
    Plant("C:\\Tools\\agent.exe", "abc");
    SetString(kHkeyLocalMachine, kHklmRun, "Agent", "C:\\Tools\\agent.exe");
    SetString(kHkeyCurrentUser, kRunOnce, "Agent", "C:\\Tools\\agent.exe");
    const refdb::ChecksumRef ref = AddChecksumEntry("Evil", kAbcMd5);

    scan::CheckKnownLocations(context, {ref});

    EXPECT_EQ(observer.Items("file"), (std::vector<const void*>{ref.file, ref.file}));
    EXPECT_EQ(observer.Texts("file"),
              (std::vector<std::string>{"C:\\Tools\\agent.exe", "C:\\Tools\\agent.exe"}));
    EXPECT_TRUE(ref.file->copies.empty());
}

TEST_F(KnownLocationsTest, The32BitViewOfTheMachineLocationsIsCheckedAfterwards) {
    PlantAllLocations();
    PlantAllLocations("SOFTWARE\\Wow6432Node");
    PlantUserLocations();
    const refdb::ChecksumRef ref = AddChecksumEntry("Evil", kAbcMd5);

    scan::CheckKnownLocations(context, {ref});

    const std::vector<std::string> found = observer.Texts("file");
    ASSERT_EQ(found.size(), 18u) << "ten locations, then the eight machine-wide ones again";
    EXPECT_EQ(found[9], "C:\\Lib\\shared.dll");
    EXPECT_EQ(std::vector<std::string>(found.begin() + 10, found.end()),
              (std::vector<std::string>{"C:\\Lib32\\bho.dll", "C:\\Lib32\\toolbar.dll",
                                        "C:\\Lib32\\hook.dll", "C:\\Lib32\\shellext.dll",
                                        "C:\\Lib32\\hklm-run.exe", "C:\\Lib32\\hklm-runonce.exe",
                                        "C:\\Lib32\\du.exe", "C:\\Lib32\\shared.dll"}));
}

// Passes everything to another registry; `openAccess` may change the access
// rights of each open (to ignore the view flags, as a registry without a
// separate 32-bit view does, or to record them).
class FilterRegistry : public platform::Registry {
  public:
    using OpenFilter =
        std::function<std::uint32_t(HKey parent, std::string_view subKey, std::uint32_t access)>;
    FilterRegistry(platform::Registry& inner, OpenFilter filter)
        : inner_(inner), filter_(std::move(filter)) {}
    platform::Status OpenKey(HKey parent, std::string_view subKey, std::uint32_t access,
                             HKey* result) override {
        return inner_.OpenKey(parent, subKey, filter_(parent, subKey, access), result);
    }
    platform::Status CreateKey(HKey parent, std::string_view subKey, std::uint32_t options,
                               std::uint32_t access, HKey* result, bool* created) override {
        return inner_.CreateKey(parent, subKey, options, access, result, created);
    }
    platform::Status CloseKey(HKey key) override { return inner_.CloseKey(key); }
    platform::Status QueryValue(HKey key, std::string_view name, std::uint32_t* type, void* data,
                                std::uint32_t* size) override {
        return inner_.QueryValue(key, name, type, data, size);
    }
    platform::Status SetValue(HKey key, std::string_view name, std::uint32_t type, const void* data,
                              std::uint32_t size) override {
        return inner_.SetValue(key, name, type, data, size);
    }
    platform::Status DeleteValue(HKey key, std::string_view name) override {
        return inner_.DeleteValue(key, name);
    }
    platform::Status DeleteKey(HKey parent, std::string_view subKey) override {
        return inner_.DeleteKey(parent, subKey);
    }
    platform::Status EnumKey(HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                             char* className, std::uint32_t* classSize) override {
        return inner_.EnumKey(key, index, name, nameSize, className, classSize);
    }
    platform::Status EnumValue(HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                               std::uint32_t* type, void* data, std::uint32_t* dataSize) override {
        return inner_.EnumValue(key, index, name, nameSize, type, data, dataSize);
    }
    platform::Status QueryInfoKey(HKey key, platform::KeyInfo* info) override {
        return inner_.QueryInfoKey(key, info);
    }
    platform::Status NotifyChangeKeyValue(HKey key, bool watchSubtree,
                                          std::uint32_t filter) override {
        return inner_.NotifyChangeKeyValue(key, watchSubtree, filter);
    }
    platform::Status ConnectRegistry(std::string_view machine, HKey root, HKey* result) override {
        return inner_.ConnectRegistry(machine, root, result);
    }

  private:
    platform::Registry& inner_;
    OpenFilter filter_;
};

constexpr std::uint32_t kViewFlags = platform::kKeyWow64_32Key | platform::kKeyWow64_64Key;

TEST_F(KnownLocationsTest, WithoutASeparate32BitViewNothingIsReadTwice) {
    PlantAllLocations();
    PlantUserLocations();
    FilterRegistry singleView(host.registry(), [](HKey, std::string_view, std::uint32_t access) {
        return access & ~kViewFlags;
    });
    const platform::System& base = host.system();
    platform::System system{singleView,       base.files, base.processes,
                            base.environment, base.clock, base.network};
    scan::ScanContext singleContext(system, db, observer);
    const refdb::ChecksumRef ref = AddChecksumEntry("Evil", kAbcMd5);

    scan::CheckKnownLocations(singleContext, {ref});

    EXPECT_EQ(observer.Texts("file").size(), 10u);
}

// --- Stopping and failures --------------------------------------------------------

TEST_F(RegistryChecksTest, AStopRequestEndsEveryLoopAtItsNextPoll) {
    Plant("C:\\Tools\\agent.exe", "abc");
    SetString(kHkeyLocalMachine, kHklmRun, "One", "C:\\Tools\\agent.exe");
    SetString(kHkeyLocalMachine, kHklmRun, "Two", "C:\\Tools\\agent.exe");
    SetString(kHkeyCurrentUser, kHklmRun, "Three", "C:\\Tools\\agent.exe");
    SetString(kHkeyCurrentUser, "Software\\Evil", "A", "x");
    SetString(kHkeyCurrentUser, "Software\\Evil", "B", "x");

    SpywareEntry& entry = AddEntry("Registry");
    entry.regKeys = {{kHkeyCurrentUser, "Software\\Evil", false},
                     {kHkeyCurrentUser, "Software\\Evil", false}};
    entry.regValues = {{kHkeyCurrentUser, "Software\\Evil", "A", false},
                       {kHkeyCurrentUser, "Software\\Evil", "B", false}};
    entry.regData = {{kHkeyCurrentUser, "Software\\Evil", "A", "x", "", "", false, false},
                     {kHkeyCurrentUser, "Software\\Evil", "B", "x", "", "", false, false}};
    const refdb::ChecksumRef first = AddChecksumEntry("First", kAbcMd5);
    const refdb::ChecksumRef second = AddChecksumEntry("Second", kAbcMd5);

    // Stopped after the first step of each item loop: the second item is
    // never looked at.
    StopAfter([](const Event& event) { return event.kind == "progress"; });
    scan::CheckRegistryKeys(context, entry);
    context.stopRequested = false;
    scan::CheckRegistryValues(context, entry);
    context.stopRequested = false;
    scan::CheckRegistryData(context, entry);
    EXPECT_TRUE(entry.regKeys[0].detected);
    EXPECT_FALSE(entry.regKeys[1].detected);
    EXPECT_FALSE(entry.regValues[1].detected);
    EXPECT_FALSE(entry.regData[1].detected);
    EXPECT_EQ(observer.Texts("progress").size(), 3u);

    // Stopped by the first detection of the known locations: neither the
    // second reference, nor the next value, nor the next location follows.
    observer.events.clear();
    context.stopRequested = false;
    StopAfter([](const Event& event) { return event.kind == "file"; });
    scan::CheckKnownLocations(context, {first, second});
    EXPECT_EQ(observer.Items("file"), std::vector<const void*>{first.file});
    EXPECT_EQ(observer.Texts("progress").size(), 1u);
    EXPECT_FALSE(second.entry->detected);

    // A stop already requested leaves every check without a step.
    observer.events.clear();
    observer.after = nullptr;
    context.stopRequested = true;
    scan::CheckRegistryKeys(context, entry);
    scan::CheckRegistryValues(context, entry);
    scan::CheckRegistryData(context, entry);
    EXPECT_TRUE(scan::CheckRunKey(context, kHkeyLocalMachine, kHklmRun, {first}));
    scan::CheckClassServer(context, "{00000000-0000-0000-0000-000000000000}", {first});
    scan::CheckKnownLocations(context, {first});
    EXPECT_TRUE(observer.events.empty());
}

TEST_F(RegistryChecksTest, AStopDuringAnyValueWalkEndsIt) {
    SetString(kHkeyCurrentUser, "Software\\Evil", "A", "no");
    SetString(kHkeyCurrentUser, "Software\\Evil", "B", "yes");
    std::vector<std::string> walked;
    host.registry().SetFaultHook([&](std::string_view operation, std::string_view) {
        if (operation == "EnumValue") {
            walked.emplace_back(operation);
            context.stopRequested = true;
        }
        return platform::kSuccess;
    });
    SpywareEntry& entry = AddEntry("Evil");
    entry.regData = {{kHkeyCurrentUser, "Software\\Evil", "*", "yes", "", "", false, false}};

    scan::CheckRegistryData(context, entry);

    EXPECT_EQ(walked.size(), 1u);
    EXPECT_FALSE(entry.regData[0].detected);
}

TEST_F(RegistryChecksTest, RegistryFailuresNeverEscapeACheck) {
    Plant("C:\\Tools\\agent.exe", "abc");
    SetString(kHkeyLocalMachine, kHklmRun, "One", "C:\\Tools\\agent.exe");
    SetString(kHkeyLocalMachine, kHklmRun, "Two", "C:\\Tools\\agent.exe");
    MakeKey(kHkeyLocalMachine, std::string(kBho) + "\\{B0000000-0000-0000-0000-000000000001}");
    RegisterClass("{B0000000-0000-0000-0000-000000000001}", "InprocServer32",
                  "C:\\Tools\\agent.exe");
    SetString(kHkeyCurrentUser, "Software\\Evil", "A", "x");
    const refdb::ChecksumRef ref = AddChecksumEntry("Evil", kAbcMd5);

    // Walks fail after their first item; class registrations cannot be read.
    int enumerations = 0;
    host.registry().SetFaultHook([&](std::string_view operation, std::string_view path) {
        if ((operation == "EnumValue" || operation == "EnumKey") && ++enumerations > 1) {
            return platform::kErrorInvalidHandle;
        }
        if (operation == "QueryValue" && text::StartsWithNoCase(path, "HKEY_CLASSES_ROOT")) {
            return platform::kErrorAccessDenied;
        }
        return platform::kSuccess;
    });

    EXPECT_NO_THROW(
        { EXPECT_TRUE(scan::CheckRunKey(context, kHkeyLocalMachine, kHklmRun, {ref})); });
    EXPECT_EQ(observer.Texts("progress").size(), 1u);
    EXPECT_EQ(observer.Texts("file").size(), 1u);

    enumerations = 0;
    observer.events.clear();
    EXPECT_NO_THROW(
        { EXPECT_TRUE(scan::CheckKnownSubkeys(context, kHkeyLocalMachine, kBho, {ref})); });
    EXPECT_TRUE(observer.events.empty());

    // Failing before the first value: the walk yields nothing.
    enumerations = 1;
    SpywareEntry& entry = AddEntry("Data");
    entry.regData = {{kHkeyCurrentUser, "Software\\Evil", "*", "x", "", "", false, false}};
    EXPECT_NO_THROW(scan::CheckRegistryData(context, entry));
    EXPECT_FALSE(entry.regData[0].detected);

    enumerations = 1;
    EXPECT_NO_THROW(scan::CheckKnownLocations(context, {ref}));
    EXPECT_EQ(host.registry().OpenHandleCount(), 0u);
}

TEST_F(KnownLocationsTest, ClassesAreLookedUpInTheViewThatListsThem) {
    // On Windows the 32-bit view of HKEY_CLASSES_ROOT is a key of its own,
    // which the in-memory registry does not model: watch the opens instead.
    PlantAllLocations();
    PlantAllLocations("SOFTWARE\\Wow6432Node");
    std::vector<std::pair<std::string, std::uint32_t>> classOpens;
    FilterRegistry recording(
        host.registry(), [&](HKey parent, std::string_view subKey, std::uint32_t access) {
            if (parent == kHkeyClassesRoot) {
                classOpens.emplace_back(std::string(subKey), access & kViewFlags);
            }
            return access;
        });
    const platform::System& base = host.system();
    platform::System system{recording,        base.files, base.processes,
                            base.environment, base.clock, base.network};
    scan::ScanContext recordingContext(system, db, observer);
    const refdb::ChecksumRef ref = AddChecksumEntry("Evil", kAbcMd5);

    scan::CheckKnownLocations(recordingContext, {ref});

    ASSERT_EQ(observer.Texts("file").size(), 16u) << "eight machine-wide locations in each view";
    int views64 = 0, views32 = 0;
    for (const auto& [subKey, view] : classOpens) {
        const bool listed32 = text::StartsWithNoCase(subKey, "CLSID\\{3");
        EXPECT_EQ(view, listed32 ? platform::kKeyWow64_32Key : platform::kKeyWow64_64Key) << subKey;
        ++(listed32 ? views32 : views64);
    }
    // Two servers for each of the five classes in each view.
    EXPECT_EQ(views64, 10);
    EXPECT_EQ(views32, 10);
}

}  // namespace
