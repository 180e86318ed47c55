#include "scan/ScanDriver.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/tests/support/TestSystem.h"
#include "registry/RegistryHelper.h"
#include "scan/ResultRows.h"
#include "settings/SettingsStore.h"
#include "zip/ZipStreams.h"
#include "zip/ZipWriter.h"

namespace {

using refdb::ItemKind;

// Sample contents and their checksums, as the shipped Reference file lists
// them.
struct Sample {
    const char* content;
    const char* md5;
};
constexpr Sample kTollvane{"brindlex-sample:tollvane-toolbar", "20915572BD73DD826577C3C7E648C9FC"};
constexpr Sample kZindle{"brindlex-sample:zindle-dialer", "79DB5AF62207CF6A01DA3BB92E3E7CDD"};
constexpr Sample kPellwick{"brindlex-sample:pellwick-run-hkcu", "0A057A9E01728F390E74FD3A89A0D565"};
constexpr Sample kLarkspin{"brindlex-sample:larkspin-polymorph",
                           "99B79FA4579346F4279008433A834818"};
constexpr Sample kNettlepop{"brindlex-sample:nettlepop-bho", "E6F8886DFF36292FB02A049C0A8856BB"};
constexpr Sample kWrenlog{"brindlex-sample:wrenlog-keylogger", "CE02F2259274EBF351B7183B2270308E"};

constexpr const char* kUserShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kBhoClass = "{CA6999AC-33CA-4C57-815E-E766852C8F9A}";

std::string Document(const std::string& body, int total) {
    return "<?xml version=\"1.0\"?>\n<BX TOTAL=\"" + std::to_string(total) + "\">\n" + body +
           "</BX>\n";
}

std::string Md5Attribute(const Sample& sample) {
    return std::string("MD5=\"") + sample.md5 + "\"";
}

// One of every kind of trace, each found by a different step of the smart
// scan.
std::string EveryStepMarkup() {
    return Document(R"(<SW NAME="Alpha">
  <DIRECTORIES><DIR NAME="Alpha" PATH=":PFDir:" /></DIRECTORIES>
  <FILES>
    <FILE NAME="alpha.exe" PATH=":PFDir:\Alpha" />
    <FILE NAME="alpha.dat" PATH=":PFDir:\Alpha" )" +
                        Md5Attribute(kTollvane) + R"( />
    <FILE NAME="alpha.cab" PATH=":IECache:" />
    <FILE NAME="deskfile.exe" )" +
                        Md5Attribute(kZindle) + R"( />
    <FILE NAME="bho.dll" )" +
                        Md5Attribute(kNettlepop) + R"( />
    <FILE NAME="runner.exe" )" +
                        Md5Attribute(kPellwick) + R"( />
    <FILE NAME="winfile.exe" )" +
                        Md5Attribute(kLarkspin) + R"( />
    <FILE NAME="loose.exe" />
  </FILES>
  <COOKIES><COOKIE NAME="alpha.example" /></COOKIES>
  <REGISTRY>
    <KEYS><REGKEY MAIN="HKEY_CURRENT_USER" SUB="Software" VALUE="Alpha" /></KEYS>
    <VALUES><REGVALUE MAIN="HKEY_CURRENT_USER" SUB="Software\Alpha" VALUE="Id" /></VALUES>
    <VALUE_DATA><VALUE MAIN="HKEY_CURRENT_USER" SUB="Software\Alpha" VALUE="*" VALUE_DATA="on" FIX=":Delete:" /></VALUE_DATA>
  </REGISTRY>
  <DANGER_LEVEL>2</DANGER_LEVEL>
</SW>
<SW NAME="Beta">
  <REGISTRY><KEYS><REGKEY MAIN="HKEY_LOCAL_MACHINE" SUB="SOFTWARE" VALUE="Beta" /></KEYS></REGISTRY>
</SW>
)",
                    2);
}

// Records what a scan reports, in order, as "Kind|entry|location" and
// "Progress|text"; a hook may act on each event as it happens.
class Recorder : public scan::ScanObserver {
  public:
    struct Detection {
        ItemKind kind;
        refdb::SpywareEntry* entry;
        const void* item;
        std::string location;
        bool itemDetected;
    };

    void OnProgress(std::string_view text, int scannedCount) override {
        progressCount = scannedCount;
        Record("Progress|" + std::string(text));
    }
    void OnFile(refdb::SpywareEntry& entry, refdb::FileItem& item) override {
        Detect(ItemKind::kFile, entry, &item, scan::FileLocation(item), item.detected);
        if (rows != nullptr)
            rows->AddFile(entry, item);
    }
    void OnCookie(refdb::SpywareEntry& entry, refdb::CookieItem& item) override {
        Detect(ItemKind::kCookie, entry, &item, scan::CookieLocation(item), item.detected);
        if (rows != nullptr)
            rows->AddCookie(entry, item);
    }
    void OnDirectory(refdb::SpywareEntry& entry, refdb::DirectoryItem& item) override {
        Detect(ItemKind::kDirectory, entry, &item, scan::DirectoryLocation(item), item.detected);
        if (rows != nullptr)
            rows->AddDirectory(entry, item);
    }
    void OnRegKey(refdb::SpywareEntry& entry, refdb::RegKeyItem& item) override {
        Detect(ItemKind::kRegKey, entry, &item, scan::RegKeyLocation(item), item.detected);
        if (rows != nullptr)
            rows->AddRegKey(entry, item);
    }
    void OnRegValue(refdb::SpywareEntry& entry, refdb::RegValueItem& item) override {
        Detect(ItemKind::kRegValue, entry, &item, scan::RegValueLocation(item), item.detected);
        if (rows != nullptr)
            rows->AddRegValue(entry, item);
    }
    void OnRegData(refdb::SpywareEntry& entry, refdb::RegDataItem& item) override {
        Detect(ItemKind::kRegValueData, entry, &item, scan::RegDataLocation(item), item.detected);
        if (rows != nullptr)
            rows->AddRegData(entry, item);
    }
    void OnFinished() override {
        Record("Finished");
        std::lock_guard lock(mutex_);
        ++finished;
        scanningAtFinish = context != nullptr && context->scanning.load();
        finishedChanged_.notify_all();
    }

    // Detections only, as "Kind|entry|location".
    std::vector<std::string> Detections() const {
        std::vector<std::string> out;
        for (const Detection& d : detections) {
            out.push_back(std::string(scan::KindText(d.kind)) + "|" + d.entry->name + "|" +
                          d.location);
        }
        return out;
    }
    std::size_t IndexOf(const std::string& event) const {
        auto found = std::find(events.begin(), events.end(), event);
        return static_cast<std::size_t>(found - events.begin());
    }
    bool WaitFinished(int count) {
        std::unique_lock lock(mutex_);
        return finishedChanged_.wait_for(lock, std::chrono::seconds(60),
                                         [&] { return finished >= count; });
    }

    std::vector<std::string> events;
    std::vector<Detection> detections;
    std::function<void(const std::string&)> hook;
    scan::ResultRows* rows = nullptr;
    const scan::ScanContext* context = nullptr;
    int progressCount = 0;
    int finished = 0;
    bool scanningAtFinish = true;

  private:
    void Record(const std::string& event) {
        events.push_back(event);
        if (hook)
            hook(event);
    }
    void Detect(ItemKind kind, refdb::SpywareEntry& entry, const void* item, std::string location,
                bool itemDetected) {
        detections.push_back({kind, &entry, item, location, itemDetected && entry.detected});
        Record(std::string(scan::KindText(kind)) + "|" + entry.name + "|" + location);
    }

    std::mutex mutex_;
    std::condition_variable finishedChanged_;
};

class ScanDriverTest : public ::testing::Test {
  protected:
    ScanDriverTest() {
        CRegistryHelper helper(host.registry());
        helper.SetString(platform::kHkeyCurrentUser, kUserShellFolders, "Desktop",
                         "C:\\Users\\user\\Desktop");
        helper.SetString(platform::kHkeyCurrentUser, kUserShellFolders, "AppData",
                         "C:\\Users\\user\\AppData\\Roaming");
        helper.SetString(platform::kHkeyCurrentUser, kUserShellFolders, "Personal",
                         "C:\\Users\\user\\Documents");
        helper.SetString(platform::kHkeyCurrentUser, kUserShellFolders, "Cache",
                         "C:\\Users\\user\\Cache");
        host.environment().SetCookiesFolder("C:\\Users\\user\\Cookies");
        host.files().SetTempFolder("C:\\Users\\user\\AppData\\Local\\Temp");
        for (const char* made :
             {"C:\\Users\\user\\Desktop", "C:\\Users\\user\\Cookies", "C:\\Users\\user\\Cache",
              "C:\\Windows\\System32", "C:\\Users\\user\\AppData\\Local\\Temp"}) {
            std::filesystem::create_directories(host.HostPath(made));
        }
        recorder.context = &context;
    }

    void Plant(std::string_view windowsPath, std::string_view content) {
        std::filesystem::path path = host.HostPath(windowsPath);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }

    void Load(const std::string& markup, std::string_view ignore = "") {
        ASSERT_TRUE(db.LoadMarkup(markup, ignore)) << db.LastError();
    }

    // The traces of EveryStepMarkup, one per step.
    void PlantEveryStep() {
        CRegistryHelper helper(host.registry());
        helper.SetString(platform::kHkeyCurrentUser, "Software\\Alpha", "Id", "42");
        helper.SetString(platform::kHkeyCurrentUser, "Software\\Alpha", "Name", "off");
        helper.SetString(platform::kHkeyCurrentUser, "Software\\Alpha", "Mode", "on");
        helper.SetString(platform::kHkeyLocalMachine, "SOFTWARE\\Beta", "", "");
        Plant("C:\\Users\\user\\Cookies\\user@other.example[1].txt", "x");
        Plant("C:\\Users\\user\\Cookies\\user@alpha.example[2].txt", "x");
        Plant("C:\\Program Files\\Alpha\\alpha.exe", "listed");
        Plant("C:\\Program Files\\Alpha\\renamed.dat", kTollvane.content);
        Plant("C:\\Users\\user\\Cache\\X1\\alpha[1].cab", "cached");
        Plant("C:\\Users\\user\\Desktop\\Stuff\\present.bin", kZindle.content);
        Plant("C:\\Tools\\bho.dll", kNettlepop.content);
        Plant("C:\\Tools\\runner.exe", kPellwick.content);
        Plant("C:\\Windows\\rnd123.exe", kLarkspin.content);
        Plant("C:\\Games\\loose.exe", "by name");
        helper.SetString(platform::kHkeyLocalMachine,
                         std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                                     "Browser Helper Objects\\") +
                             kBhoClass,
                         "", "");
        helper.SetString(platform::kHkeyClassesRoot,
                         std::string("CLSID\\") + kBhoClass + "\\InprocServer32", "",
                         "C:\\Tools\\bho.dll");
        helper.SetString(platform::kHkeyCurrentUser,
                         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Runner",
                         "C:\\Tools\\runner.exe");
    }

    testsupport::TestSystem host;
    refdb::ReferenceDatabase db{host.system()};
    Recorder recorder;
    scan::ScanContext context{host.system(), db, recorder};
    scan::SmartScan smart{context};
    scan::FullScan full{context};
    scan::FolderScan folder{context};
};

// The registry, cookie and listed-file detections both system scans start with.
const std::vector<std::string> kListedTraces = {
    "RegKey|Alpha|HKEY_CURRENT_USER\\Software\\Alpha",
    "RegValue|Alpha|HKEY_CURRENT_USER\\Software\\Alpha\\Id",
    "RegValueData|Alpha|HKEY_CURRENT_USER\\Software\\Alpha (Value : Mode) (Data : on)",
    "RegKey|Beta|HKEY_LOCAL_MACHINE\\SOFTWARE\\Beta",
    "Cookie|Alpha|C:\\Users\\user\\Cookies\\user@alpha.example[2].txt",
    "File|Alpha|C:\\Program Files\\Alpha\\alpha.exe",
};

// Everything the smart scan finds of PlantEveryStep's traces, in order.
std::vector<std::string> SmartScanDetections() {
    std::vector<std::string> expected = kListedTraces;
    expected.insert(expected.end(),
                    {
                        "File|Alpha|C:\\Users\\user\\Cache\\X1\\alpha[1].cab",
                        "Directory|Alpha|C:\\Program Files\\Alpha",
                        "File|Alpha|C:\\Program Files\\Alpha\\renamed.dat",
                        "File|Alpha|C:\\Users\\user\\Desktop\\Stuff\\present.bin",
                        // Known locations: the helper object's class, then the Run key.
                        "File|Alpha|C:\\Tools\\bho.dll",
                        "File|Alpha|C:\\Tools\\runner.exe",
                        "File|Alpha|C:\\Windows\\rnd123.exe",
                        // The system drive by name, in walk order: a listed name found by
                        // checksum before is found by its name again.
                        "File|Alpha|C:\\Games\\loose.exe",
                        "File|Alpha|C:\\Tools\\bho.dll",
                        "File|Alpha|C:\\Tools\\runner.exe",
                    });
    return expected;
}

TEST_F(ScanDriverTest, SmartScanRunsItsStepsInOrder) {
    Load(EveryStepMarkup());
    PlantEveryStep();
    ASSERT_TRUE(smart.Start());
    smart.Wait();

    EXPECT_EQ(recorder.Detections(), SmartScanDetections());

    // The one fixed step text stands between the listed files and the cache.
    std::size_t known = recorder.IndexOf("Progress|Scanning Known Spyware Locations ");
    ASSERT_LT(known, recorder.events.size());
    EXPECT_LT(recorder.IndexOf("File|Alpha|C:\\Program Files\\Alpha\\alpha.exe"), known);
    EXPECT_GT(recorder.IndexOf("File|Alpha|C:\\Users\\user\\Cache\\X1\\alpha[1].cab"), known);
    EXPECT_EQ(std::count(recorder.events.begin(), recorder.events.end(),
                         "Progress|Scanning Known Spyware Locations "),
              1);
    // The cookie step reports the site it checked.
    EXPECT_LT(recorder.IndexOf("Progress|Cookie : alpha.example"), known);

    // Every progress step was counted, the last event is the one end.
    int steps = static_cast<int>(
        std::count_if(recorder.events.begin(), recorder.events.end(),
                      [](const std::string& e) { return e.rfind("Progress|", 0) == 0; }));
    EXPECT_EQ(recorder.progressCount, steps);
    EXPECT_EQ(context.scannedCount.load(), steps);
    EXPECT_EQ(recorder.events.back(), "Finished");
    EXPECT_EQ(recorder.finished, 1);
    EXPECT_FALSE(recorder.scanningAtFinish);
    EXPECT_FALSE(smart.IsScanning());

    // Every detection marked its item and entry before it was reported.
    for (const Recorder::Detection& d : recorder.detections)
        EXPECT_TRUE(d.itemDetected) << d.location;
}

TEST_F(ScanDriverTest, FullScanSkipsFoldersAndKnownLocationsAndWalksTheFixedDrives) {
    Load(EveryStepMarkup());
    PlantEveryStep();
    ASSERT_TRUE(full.Start());
    full.Wait();

    std::vector<std::string> detections = recorder.Detections();
    ASSERT_GE(detections.size(), kListedTraces.size() + 2);
    std::vector<std::string> prefix(
        detections.begin(), detections.begin() + static_cast<long>(kListedTraces.size()) + 2);
    std::vector<std::string> expectedPrefix = kListedTraces;
    expectedPrefix.push_back("File|Alpha|C:\\Users\\user\\Cache\\X1\\alpha[1].cab");
    expectedPrefix.push_back("File|Alpha|C:\\Program Files\\Alpha\\renamed.dat");
    EXPECT_EQ(prefix, expectedPrefix);

    // Then the deep scan, in the walk's order: every file by checksum or
    // name, wherever it lies (the listed folder's file once more).
    std::set<std::string> deep(detections.begin() + static_cast<long>(prefix.size()),
                               detections.end());
    std::set<std::string> expectedDeep = {
        "File|Alpha|C:\\Program Files\\Alpha\\renamed.dat",
        "File|Alpha|C:\\Users\\user\\Desktop\\Stuff\\present.bin",
        "File|Alpha|C:\\Tools\\bho.dll",
        "File|Alpha|C:\\Tools\\runner.exe",
        "File|Alpha|C:\\Windows\\rnd123.exe",
        "File|Alpha|C:\\Games\\loose.exe",
    };
    EXPECT_EQ(deep, expectedDeep);
    for (const std::string& d : detections)
        EXPECT_EQ(d.rfind("Directory|", 0), std::string::npos) << d;
    EXPECT_EQ(recorder.IndexOf("Progress|Scanning Known Spyware Locations "),
              recorder.events.size());
    EXPECT_LT(recorder.IndexOf("Progress|Deep Scan : C:\\Games\\loose.exe"),
              recorder.events.size());
    EXPECT_EQ(recorder.events.back(), "Finished");
    EXPECT_EQ(recorder.finished, 1);
}

TEST_F(ScanDriverTest, FullScanWalksOnlyFixedDrivesAndOnlyWhenSomethingIsUnpinned) {
    std::string extra = (std::filesystem::temp_directory_path() / "bxdrives.XXXXXX").string();
    ASSERT_NE(mkdtemp(extra.data()), nullptr);
    std::filesystem::create_directories(std::filesystem::path(extra) / "d" / "x");
    std::filesystem::create_directories(std::filesystem::path(extra) / "e" / "y");
    std::ofstream(std::filesystem::path(extra) / "d" / "x" / "w.bin") << kWrenlog.content;
    std::ofstream(std::filesystem::path(extra) / "e" / "y" / "w.bin") << kWrenlog.content;
    host.files().MapDrive('D', extra + "/d", platform::DriveType::kRemovable);
    host.files().MapDrive('E', extra + "/e", platform::DriveType::kFixed);

    Load(Document(R"(<SW NAME="Wren"><FILES><FILE NAME="w.exe" )" + Md5Attribute(kWrenlog) +
                      R"( /></FILES></SW>)",
                  1));
    ASSERT_TRUE(full.Start());
    full.Wait();
    EXPECT_EQ(recorder.Detections(), std::vector<std::string>{"File|Wren|E:\\y\\w.bin"});

    // A file pinned to its folder needs no walk of the drives.
    Recorder pinnedRecorder;
    refdb::ReferenceDatabase pinnedDb(host.system());
    ASSERT_TRUE(
        pinnedDb.LoadMarkup(Document(R"(<SW NAME="Wren"><FILES><FILE NAME="w.exe" PATH="E:\y" )" +
                                         Md5Attribute(kWrenlog) + R"( /></FILES></SW>)",
                                     1),
                            ""));
    scan::ScanContext pinnedContext(host.system(), pinnedDb, pinnedRecorder);
    scan::FullScan pinned(pinnedContext);
    ASSERT_TRUE(pinned.Start());
    pinned.Wait();
    EXPECT_EQ(pinnedRecorder.Detections(), std::vector<std::string>{"File|Wren|E:\\y\\w.bin"});
    for (const std::string& e : pinnedRecorder.events)
        EXPECT_EQ(e.find("Deep Scan"), std::string::npos) << e;
    std::filesystem::remove_all(extra);
}

TEST_F(ScanDriverTest, FolderScanHonoursSubfoldersAndZipSettings) {
    Load(Document(R"(<SW NAME="Tollvane">
  <FILES>
    <FILE NAME="tvbar.dll" )" +
                      Md5Attribute(kTollvane) + R"( />
    <FILE NAME="listed.txt" PATH="C:\Scan" />
  </FILES>
</SW>)",
                  1));
    Plant("C:\\Scan\\a.bin", kTollvane.content);
    Plant("C:\\Scan\\listed.txt", "anything");
    Plant("C:\\Scan\\other.bin", "no match");
    Plant("C:\\Scan\\Sub\\b.bin", kTollvane.content);
    std::string archive;
    zip::StringSink sink(archive);
    zip::Writer writer(sink);
    ASSERT_TRUE(writer.AddFromMemory("readme.txt", "hello").Ok());
    ASSERT_TRUE(writer.AddFromMemory("c.bin", kTollvane.content).Ok());
    ASSERT_TRUE(writer.Finish().Ok());
    Plant("C:\\Scan\\pack.zip", archive);
    // Never reached: outside the chosen folder.
    Plant("C:\\Elsewhere\\a.bin", kTollvane.content);

    settings::SettingsStore settings(host.system());
    auto scanWith = [&](std::uint32_t subfolders, std::uint32_t zipFiles) {
        EXPECT_TRUE(settings.SetDword("sbfolders", subfolders));
        EXPECT_TRUE(settings.SetDword("zipfiles", zipFiles));
        scan::ResetDetections(db);
        recorder.detections.clear();
        recorder.events.clear();
        EXPECT_TRUE(folder.Start("C:\\Scan"));
        folder.Wait();
        EXPECT_EQ(recorder.events.back(), "Finished");
        std::vector<std::string> found = recorder.Detections();
        return std::set<std::string>(found.begin(), found.end());
    };

    std::set<std::string> flat = {"File|Tollvane|C:\\Scan\\a.bin",
                                  "File|Tollvane|C:\\Scan\\listed.txt"};
    EXPECT_EQ(scanWith(0, 0), flat);

    std::set<std::string> deep = flat;
    deep.insert("File|Tollvane|C:\\Scan\\Sub\\b.bin");
    EXPECT_EQ(scanWith(1, 0), deep);

    std::set<std::string> zipped = flat;
    zipped.insert("File|Tollvane|C:\\Scan\\pack.zip->c.bin");
    EXPECT_EQ(scanWith(0, 1), zipped);
    EXPECT_EQ(recorder.finished, 3);
}

TEST_F(ScanDriverTest, ASecondStartWhileScanningIsRefused) {
    Load(EveryStepMarkup());
    PlantEveryStep();
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool released = false;
    recorder.hook = [&](const std::string& event) {
        if (event.rfind("Progress|", 0) != 0)
            return;
        std::unique_lock lock(mutex);
        if (entered)
            return;
        entered = true;
        changed.notify_all();
        changed.wait(lock, [&] { return released; });
    };

    ASSERT_TRUE(smart.Start());
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(60), [&] { return entered; }));
    }
    EXPECT_TRUE(smart.IsScanning());
    EXPECT_FALSE(smart.Start());
    EXPECT_FALSE(full.Start());
    EXPECT_FALSE(folder.Start("C:\\Users"));
    // A refused start changes nothing: the running scan goes on to the end.
    EXPECT_FALSE(context.stopRequested.load());
    {
        std::lock_guard lock(mutex);
        released = true;
    }
    changed.notify_all();
    smart.Wait();
    EXPECT_EQ(recorder.finished, 1);
    EXPECT_EQ(recorder.Detections(), SmartScanDetections());

    // Idle again: the next scan starts.
    scan::ResetDetections(db);
    ASSERT_TRUE(full.Start());
    ASSERT_TRUE(recorder.WaitFinished(2));
    full.Wait();
    EXPECT_EQ(recorder.finished, 2);
}

TEST_F(ScanDriverTest, StoppingDuringTheRegistryStepsEndsOnce) {
    Load(EveryStepMarkup());
    PlantEveryStep();
    recorder.hook = [&](const std::string& event) {
        if (event == "RegKey|Alpha|HKEY_CURRENT_USER\\Software\\Alpha")
            smart.Stop();
    };
    ASSERT_TRUE(smart.Start());
    smart.Wait();

    EXPECT_EQ(recorder.finished, 1);
    EXPECT_EQ(recorder.events.back(), "Finished");
    EXPECT_EQ(std::count(recorder.events.begin(), recorder.events.end(), "Finished"), 1);
    // Nothing after the stop was looked at: not the entry's other registry
    // items, no other entry, no file steps.
    EXPECT_EQ(recorder.Detections(),
              std::vector<std::string>{"RegKey|Alpha|HKEY_CURRENT_USER\\Software\\Alpha"});
    EXPECT_FALSE(smart.IsScanning());

    // The stop request belongs to that scan only.
    recorder.hook = nullptr;
    recorder.detections.clear();
    scan::ResetDetections(db);
    ASSERT_TRUE(smart.Start());
    smart.Wait();
    EXPECT_EQ(recorder.finished, 2);
    EXPECT_EQ(recorder.Detections(), SmartScanDetections());
}

TEST_F(ScanDriverTest, IgnoredEntryIsDetectedButGivesNoRow) {
    Load(EveryStepMarkup(), ",Beta");
    PlantEveryStep();
    scan::ResultRows rows;
    recorder.rows = &rows;
    ASSERT_TRUE(smart.Start());
    smart.Wait();

    refdb::SpywareEntry& beta = db.entries()[1];
    ASSERT_EQ(beta.name, "Beta");
    ASSERT_TRUE(beta.ignored);
    // The scan still checked and reported it...
    auto reported = std::find_if(recorder.detections.begin(), recorder.detections.end(),
                                 [&](const Recorder::Detection& d) { return d.entry == &beta; });
    ASSERT_NE(reported, recorder.detections.end());
    EXPECT_TRUE(reported->itemDetected);
    EXPECT_TRUE(beta.detected);
    // ...but the list dropped it, and removal will leave the key alone.
    EXPECT_FALSE(beta.regKeys[0].detected);
    for (const scan::ResultRow& row : rows.rows())
        EXPECT_NE(row.item, "Beta");
    EXPECT_EQ(rows.count(ItemKind::kRegKey), 1);
    // Beta's key, and the two files found a second time by name, give no row.
    EXPECT_EQ(recorder.detections.size(), SmartScanDetections().size());
    EXPECT_EQ(rows.total(), static_cast<int>(recorder.detections.size()) - 3);
}

TEST_F(ScanDriverTest, AFileFoundByChecksumInTwoFoldersGivesTwoRows) {
    Load(Document(R"(<SW NAME="Wren">
  <FILES>
    <FILE NAME="wrnlog.exe" PATH="C:\Data" )" +
                      Md5Attribute(kWrenlog) + R"( />
    <FILE NAME="nowhere.exe" />
  </FILES>
</SW>)",
                  1));
    Plant("C:\\Data\\renamed.exe", kWrenlog.content);
    Plant("C:\\Other\\copy.exe", kWrenlog.content);
    scan::ResultRows rows;
    recorder.rows = &rows;
    ASSERT_TRUE(full.Start());
    full.Wait();

    refdb::FileItem& listed = db.entries()[0].files[0];
    // The listed folder's pass finds the item itself; the drive walk finds
    // that file again and the one elsewhere, each as a copy.
    ASSERT_EQ(recorder.detections.size(), 3u);
    EXPECT_EQ(recorder.detections[0].item, &listed);
    EXPECT_EQ(recorder.detections[0].location, "C:\\Data\\renamed.exe");
    ASSERT_EQ(listed.copies.size(), 2u);
    for (std::size_t i = 1; i < 3; ++i)
        EXPECT_NE(recorder.detections[i].item, &listed);

    // The list shows the file once per place.
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows.rows()[0].location, "C:\\Data\\renamed.exe");
    EXPECT_EQ(rows.rows()[0].data.As<refdb::FileItem>(), &listed);
    EXPECT_EQ(rows.rows()[1].location, "C:\\Other\\copy.exe");
    const refdb::FileItem* copy = rows.rows()[1].data.As<refdb::FileItem>();
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, &listed);
    EXPECT_EQ(copy->md5, listed.md5);
    EXPECT_TRUE(copy->detected);
    EXPECT_EQ(rows.count(ItemKind::kFile), 2);
}

TEST_F(ScanDriverTest, ResetDetectionsClearsFlagsAndCopiesButKeepsFoundPlaces) {
    Load(EveryStepMarkup());
    PlantEveryStep();
    Plant("C:\\Users\\user\\Desktop\\again.bin", kZindle.content);
    ASSERT_TRUE(smart.Start());
    smart.Wait();

    refdb::SpywareEntry& alpha = db.entries()[0];
    refdb::FileItem& desk = alpha.files[3];
    refdb::FileItem& runner = alpha.files[5];
    ASSERT_EQ(desk.name, "deskfile.exe");
    EXPECT_EQ(desk.copies.size(), 2u);
    EXPECT_TRUE(runner.detected);
    EXPECT_EQ(runner.path, "C:\\Tools");
    EXPECT_TRUE(alpha.detected);
    EXPECT_TRUE(alpha.directories[0].detected);
    EXPECT_TRUE(alpha.cookies[0].detected);

    scan::ResetDetections(db);
    EXPECT_FALSE(alpha.detected);
    EXPECT_FALSE(db.entries()[1].detected);
    for (const refdb::SpywareEntry& entry : db.entries()) {
        for (const auto& item : entry.directories)
            EXPECT_FALSE(item.detected);
        for (const auto& item : entry.files) {
            EXPECT_FALSE(item.detected) << item.name;
            EXPECT_TRUE(item.copies.empty()) << item.name;
        }
        for (const auto& item : entry.cookies)
            EXPECT_FALSE(item.detected);
        for (const auto& item : entry.regKeys)
            EXPECT_FALSE(item.detected);
        for (const auto& item : entry.regValues)
            EXPECT_FALSE(item.detected);
        for (const auto& item : entry.regData)
            EXPECT_FALSE(item.detected);
    }
    for (const refdb::CacheFileRef& ref : db.cacheFiles())
        EXPECT_FALSE(ref.file->detected);
    // Places found earlier stay: the next scan looks there first.
    EXPECT_EQ(runner.name, "runner.exe");
    EXPECT_EQ(runner.path, "C:\\Tools");
}

}  // namespace
