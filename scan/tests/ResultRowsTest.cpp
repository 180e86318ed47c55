#include "scan/ResultRows.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using refdb::ItemKind;
using scan::ResultRows;

refdb::SpywareEntry Entry(std::string name, int danger, bool ignored = false) {
    refdb::SpywareEntry entry;
    entry.name = std::move(name);
    entry.dangerLevel = danger;
    entry.ignored = ignored;
    entry.detected = true;
    return entry;
}

refdb::FileItem File(std::string path, std::string name, std::string md5 = {}) {
    refdb::FileItem file;
    file.path = std::move(path);
    file.name = std::move(name);
    file.md5 = std::move(md5);
    file.detected = true;
    return file;
}

TEST(ResultRowsTest, LocationTextsOfEveryKind) {
    refdb::FileItem member = File("C:\\Downloads", "setup.zip?bin/tool.exe");
    EXPECT_EQ(scan::FileLocation(member), "C:\\Downloads\\setup.zip->bin/tool.exe");
    EXPECT_EQ(scan::FileLocation(File("C:\\a?b", "x??y")), "C:\\a->b\\x->->y");

    refdb::CookieItem cookie{"ads.example", true, {}};
    EXPECT_EQ(scan::CookieLocation(cookie), "ads.example");
    cookie.foundPath = "C:\\Users\\user\\Cookies\\user@ads.example[1].txt";
    EXPECT_EQ(scan::CookieLocation(cookie), "C:\\Users\\user\\Cookies\\user@ads.example[1].txt");

    // Listed paths often end in a backslash; the joint is doubled then.
    refdb::DirectoryItem folder{"Bad", "C:\\Program Files\\", true};
    EXPECT_EQ(scan::DirectoryLocation(folder), "C:\\Program Files\\Bad");
    refdb::DirectoryItem deep{"x", "C:\\\\\\a\\\\b", true};
    EXPECT_EQ(scan::DirectoryLocation(deep), "C:\\\\a\\b\\x");

    refdb::RegKeyItem key{platform::kHkeyLocalMachine, "SOFTWARE\\Bad", true};
    EXPECT_EQ(scan::RegKeyLocation(key), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Bad");
    refdb::RegKeyItem strange{platform::PredefinedKey(0x80000005u), "Config\\Bad", true};
    EXPECT_EQ(scan::RegKeyLocation(strange), "\\Config\\Bad");

    refdb::RegValueItem value{platform::kHkeyUsers, "S-1-5-21-0-0-0-1000\\Run", "bad", true};
    EXPECT_EQ(scan::RegValueLocation(value), "HKEY_USERS\\S-1-5-21-0-0-0-1000\\Run\\bad");

    refdb::RegDataItem data;
    data.root = platform::kHkeyCurrentUser;
    data.keyPath = "Software\\Microsoft\\Internet Explorer\\Main";
    data.valueName = "Start Page";
    data.data = "http://bad.example/";
    EXPECT_EQ(scan::RegDataLocation(data),
              "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main "
              "(Value : Start Page) (Data : http://bad.example/)");
    // A "*" item shows the value that held the data.
    data.valueName = "*";
    data.matchedName = "Search Page";
    data.root = platform::kHkeyClassesRoot;
    data.keyPath = "K";
    EXPECT_EQ(scan::RegDataLocation(data),
              "HKEY_CLASSES_ROOT\\K (Value : Search Page) (Data : http://bad.example/)");
}

TEST(ResultRowsTest, RowsCarryTextsKindAndCounters) {
    refdb::SpywareEntry severe = Entry("Severe One", 2);
    refdb::SpywareEntry mild = Entry("Mild One", 0);
    refdb::SpywareEntry odd = Entry("Odd One", 7);
    refdb::FileItem file = File("C:\\Windows", "bad.exe", "79DB5AF62207CF6A01DA3BB92E3E7CDD");
    refdb::CookieItem cookie{"mild.example", true, {}};
    refdb::DirectoryItem folder{"Bad", "C:\\Program Files", true};
    refdb::RegKeyItem key{platform::kHkeyLocalMachine, "SOFTWARE\\Bad", true};
    refdb::RegValueItem value{platform::kHkeyCurrentUser, "Run", "bad", true};
    refdb::RegDataItem data;
    data.root = platform::kHkeyCurrentUser;
    data.keyPath = "K";
    data.valueName = "V";
    data.data = "1";
    data.detected = true;

    ResultRows rows;
    EXPECT_TRUE(rows.empty());
    EXPECT_TRUE(rows.AddRegKey(severe, key));
    EXPECT_TRUE(rows.AddRegValue(severe, value));
    EXPECT_TRUE(rows.AddRegData(odd, data));
    EXPECT_TRUE(rows.AddCookie(mild, cookie));
    EXPECT_TRUE(rows.AddFile(severe, file));
    EXPECT_TRUE(rows.AddDirectory(mild, folder));

    ASSERT_EQ(rows.size(), 6u);
    const char* types[] = {"RegKey", "RegValue", "RegValueData", "Cookie", "File", "Directory"};
    const ItemKind kinds[] = {ItemKind::kRegKey, ItemKind::kRegValue, ItemKind::kRegValueData,
                              ItemKind::kCookie, ItemKind::kFile,     ItemKind::kDirectory};
    const char* dangers[] = {"Severe", "Severe", "", "Not Critical", "Severe", "Not Critical"};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const scan::ResultRow& row = rows.rows()[i];
        EXPECT_EQ(row.type, types[i]) << i;
        EXPECT_EQ(row.data.kind(), kinds[i]) << i;
        EXPECT_EQ(row.danger, dangers[i]) << i;
        EXPECT_TRUE(row.checked) << i;
        EXPECT_EQ(scan::KindText(row.data.kind()), row.type) << i;
    }
    EXPECT_EQ(rows.rows()[0].item, "Severe One");
    EXPECT_EQ(rows.rows()[3].item, "Mild One");
    EXPECT_EQ(rows.rows()[4].location, "C:\\Windows\\bad.exe");
    EXPECT_EQ(rows.rows()[4].data.entry, &severe);
    EXPECT_EQ(rows.rows()[4].data.As<refdb::FileItem>(), &file);
    EXPECT_EQ(rows.rows()[4].data.As<refdb::CookieItem>(), nullptr);
    EXPECT_EQ(rows.rows()[2].data.As<refdb::RegDataItem>(), &data);

    EXPECT_EQ(rows.total(), 6);
    for (ItemKind kind : kinds)
        EXPECT_EQ(rows.count(kind), 1);

    // Rows handed out keep their address as the list grows.
    const scan::ResultRow* first = &rows.rows()[0];
    std::vector<refdb::RegKeyItem> more(200, key);
    for (refdb::RegKeyItem& item : more)
        rows.AddRegKey(severe, item);
    EXPECT_EQ(first, &rows.rows()[0]);
    EXPECT_EQ(rows.count(ItemKind::kRegKey), 201);
    EXPECT_EQ(rows.total(), 206);

    rows.Clear();
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(rows.total(), 0);
    for (ItemKind kind : kinds)
        EXPECT_EQ(rows.count(kind), 0);
    // After Clear the same file is a new row again.
    EXPECT_TRUE(rows.AddFile(severe, file));
}

TEST(ResultRowsTest, IgnoredEntriesGiveNoRowAndLoseTheirDetection) {
    refdb::SpywareEntry ignored = Entry("Quiet", 1, true);
    refdb::FileItem file = File("C:\\x", "a.exe");
    refdb::CookieItem cookie{"quiet.example", true, {}};
    refdb::DirectoryItem folder{"Quiet", "C:\\x", true};
    refdb::RegKeyItem key{platform::kHkeyCurrentUser, "Software\\Quiet", true};
    refdb::RegValueItem value{platform::kHkeyCurrentUser, "Run", "quiet", true};
    refdb::RegDataItem data;
    data.detected = true;

    ResultRows rows;
    EXPECT_FALSE(rows.AddFile(ignored, file));
    EXPECT_FALSE(rows.AddCookie(ignored, cookie));
    EXPECT_FALSE(rows.AddDirectory(ignored, folder));
    EXPECT_FALSE(rows.AddRegKey(ignored, key));
    EXPECT_FALSE(rows.AddRegValue(ignored, value));
    EXPECT_FALSE(rows.AddRegData(ignored, data));
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(rows.total(), 0);
    EXPECT_FALSE(file.detected);
    EXPECT_FALSE(cookie.detected);
    EXPECT_FALSE(folder.detected);
    EXPECT_FALSE(key.detected);
    EXPECT_FALSE(value.detected);
    EXPECT_FALSE(data.detected);
    // The entry itself stays marked; only its detections are let go.
    EXPECT_TRUE(ignored.detected);
}

TEST(ResultRowsTest, SecondRowForTheSameFileIsDropped) {
    refdb::SpywareEntry one = Entry("One", 1);
    refdb::SpywareEntry two = Entry("Two", 1);
    refdb::FileItem listed = File("C:\\Windows", "Bad.exe");
    refdb::FileItem again = File("c:\\WINDOWS", "bad.EXE");
    refdb::FileItem elsewhere = File("C:\\Temp", "bad.exe");
    ResultRows rows;
    EXPECT_TRUE(rows.AddFile(one, listed));
    EXPECT_FALSE(rows.AddFile(two, again));  // any entry, any case
    EXPECT_TRUE(again.detected);             // still removed with the other row
    EXPECT_TRUE(rows.AddFile(one, elsewhere));
    EXPECT_EQ(rows.count(ItemKind::kFile), 2);
    EXPECT_EQ(rows.total(), 2);

    // A member of an archive compares by its shown location.
    refdb::FileItem member = File("C:\\Temp", "pack.zip?a.exe");
    refdb::FileItem sameMember = File("C:\\TEMP", "PACK.zip?a.exe");
    EXPECT_TRUE(rows.AddFile(one, member));
    EXPECT_FALSE(rows.AddFile(one, sameMember));

    // Only files are merged: two entries listing the same key give two rows.
    refdb::RegKeyItem key{platform::kHkeyLocalMachine, "SOFTWARE\\Shared", true};
    refdb::RegKeyItem sameKey = key;
    EXPECT_TRUE(rows.AddRegKey(one, key));
    EXPECT_TRUE(rows.AddRegKey(two, sameKey));
    // A file whose location some other row already shows is merged as well.
    refdb::CookieItem cookie{"C:\\Cookies\\user@x[1].txt", true, {}};
    EXPECT_TRUE(rows.AddCookie(one, cookie));
    refdb::FileItem cookieFile = File("C:\\Cookies", "user@x[1].txt");
    EXPECT_FALSE(rows.AddFile(one, cookieFile));
    EXPECT_EQ(rows.total(), 6);
}

}  // namespace
