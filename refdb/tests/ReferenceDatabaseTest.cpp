#include "refdb/ReferenceDatabase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/tests/support/TestSystem.h"
#include "refdb/Scramble.h"
#include "registry/RegistryHelper.h"

namespace {

using refdb::ReferenceDatabase;

class RecordingProgress : public refdb::LoadProgress {
  public:
    void SetRange(int from, int to) override {
        lower = from;
        upper = to;
    }
    void Step() override { ++steps; }
    int lower = -1, upper = -1, steps = 0;
};

std::string Document(const std::string& body, int total = 1) {
    return "<?xml version=\"1.0\"?>\n<BX TOTAL=\"" + std::to_string(total) + "\">\n" + body +
           "</BX>\n";
}

class ReferenceDatabaseTest : public ::testing::Test {
  protected:
    ReferenceDatabaseTest() {
        CRegistryHelper helper(host.registry());
        const char* user = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
        helper.SetString(platform::kHkeyCurrentUser, user, "Personal",
                         "C:\\Users\\user\\Documents");
        helper.SetString(platform::kHkeyCurrentUser, user, "AppData",
                         "C:\\Users\\user\\AppData\\Roaming\\");
        helper.SetString(platform::kHkeyCurrentUser, user, "Recent",
                         "C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Recent");
        helper.SetString(platform::kHkeyCurrentUser, user, "Startup", "C:\\Users\\user\\Start");
        helper.SetString(platform::kHkeyCurrentUser, user, "Desktop", "C:\\Users\\user\\Desktop");
        helper.SetString(platform::kHkeyLocalMachine,
                         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                         "Common Documents", "C:\\Users\\Public\\Documents");
        host.files().SetTempFolder("C:\\Users\\user\\AppData\\Local\\Temp");
    }

    bool Load(const std::string& markup, std::string_view ignore = "") {
        return db.LoadMarkup(markup, ignore, &progress);
    }

    testsupport::TestSystem host;
    ReferenceDatabase db{host.system()};
    RecordingProgress progress;
};

TEST_F(ReferenceDatabaseTest, FolderTablesFollowTheSystem) {
    ReferenceDatabase configured(host.system());
    const refdb::FolderTable& f = configured.pathFolders();
    EXPECT_EQ(f[refdb::kFolderWindows], "C:\\Windows");
    EXPECT_EQ(f[refdb::kFolderWindowsSystem], "C:\\Windows\\System");
    EXPECT_EQ(f[refdb::kFolderSystem], "C:\\Windows\\System32");
    EXPECT_EQ(f[refdb::kFolderProgramFiles], "C:\\Program Files");
    EXPECT_EQ(f[refdb::kFolderWindowsTemp], "C:\\Windows\\Temp");
    EXPECT_EQ(f[refdb::kFolderTemp], "C:\\Users\\user\\AppData\\Local\\Temp");
    EXPECT_EQ(f[refdb::kFolderDocuments], "C:\\Users\\user\\Documents");
    EXPECT_EQ(f[refdb::kFolderAppData], "C:\\Users\\user\\AppData\\Roaming");
    EXPECT_EQ(f[refdb::kFolderProfile], "C:\\Users\\user");
    EXPECT_EQ(f[refdb::kFolderStartup], "C:\\Users\\user\\Start");
    EXPECT_EQ(f[refdb::kFolderDesktop], "C:\\Users\\user\\Desktop");
    EXPECT_EQ(f[refdb::kFolderAllUsers], "C:\\Users\\Public");
    EXPECT_EQ(f[refdb::kFolderSystemDrive], "C:");
    // The registry variant keeps the temporary path as given and a lower-case
    // "temp".
    EXPECT_EQ(configured.folders()[refdb::kFolderTemp], "C:\\Users\\user\\AppData\\Local\\Temp\\");
    EXPECT_EQ(configured.folders()[refdb::kFolderWindowsTemp], "C:\\Windows\\temp");

    // Without the profile variable the folder above "Recent" is the profile.
    host.environment().SetVariable("USERPROFILE", "");
    ReferenceDatabase other(host.system());
    EXPECT_EQ(other.pathFolders()[refdb::kFolderProfile],
              "C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows");
}

TEST_F(ReferenceDatabaseTest, ExpandsMacrosInEveryField) {
    ASSERT_TRUE(Load(Document(R"(<SW NAME="Macro">
  <DIRECTORIES><DIR NAME="Bad" PATH=":PFDir:\\Bad\"/></DIRECTORIES>
  <FILES>
    <FILE NAME="a.dll" PATH=":Sys32Dir:\"/>
    <FILE NAME="b.dll" PATH=":SysDir:\x"/>
    <FILE NAME="c.tmp" PATH=":WinTemp:"/>
    <FILE NAME="d.tmp" PATH=":SysTemp:\sub"/>
    <FILE NAME="e" PATH=":SysDocs:\:SysAppData:"/>
    <FILE NAME="f" PATH=":SysCurProfile:\:SysStartup:\:Desktop:\:AllUsers:\:MainRoot:"/>
    <FILE NAME="g" PATH=":windir:"/>
  </FILES>
  <REGISTRY>
    <KEYS><REGKEY MAIN="HKEY_USERS" SUB=":SID:\Software\" VALUE="Bad"/></KEYS>
    <VALUES><REGVALUE MAIN="HKEY_USERS" SUB=":SID:\Run" VALUE=":SID:"/>
            <REGVALUE MAIN="HKEY_CURRENT_USER" SUB="Run" VALUE=":WinDir:\x.exe"/></VALUES>
    <VALUE_DATA><VALUE MAIN="HKEY_LOCAL_MACHINE" SUB="K" VALUE="V" VALUE_DATA=":SysTemp:x.exe" FIX=":WinTemp:\y"/></VALUE_DATA>
  </REGISTRY>
</SW>
)")));
    ASSERT_EQ(db.entries().size(), 1u);
    const refdb::SpywareEntry& e = db.entries()[0];
    EXPECT_EQ(e.directories[0].path, "C:\\Program Files\\Bad\\");
    ASSERT_EQ(e.files.size(), 7u);
    EXPECT_EQ(e.files[0].path, "C:\\Windows\\System32");
    EXPECT_EQ(e.files[1].path, "C:\\Windows\\System\\x");
    EXPECT_EQ(e.files[2].path, "C:\\Windows\\Temp");
    EXPECT_EQ(e.files[3].path, "C:\\Users\\user\\AppData\\Local\\Temp\\sub");
    EXPECT_EQ(e.files[4].path, "C:\\Users\\user\\Documents\\C:\\Users\\user\\AppData\\Roaming");
    EXPECT_EQ(
        e.files[5].path,
        "C:\\Users\\user\\C:\\Users\\user\\Start\\C:\\Users\\user\\Desktop\\C:\\Users\\Public\\C:");
    EXPECT_EQ(e.files[6].path, ":windir:");  // macro names are case-sensitive

    EXPECT_EQ(e.regKeys[0].root, platform::kHkeyUsers);
    EXPECT_EQ(e.regKeys[0].keyPath, "S-1-5-21-0-0-0-1000\\Software\\Bad");
    EXPECT_EQ(e.regValues[0].keyPath, "S-1-5-21-0-0-0-1000\\Run");
    EXPECT_EQ(e.regValues[0].valueName, ":SID:");
    EXPECT_EQ(e.regValues[1].valueName, "C:\\Windows\\x.exe");
    EXPECT_EQ(e.regData[0].data, "C:\\Users\\user\\AppData\\Local\\Temp\\x.exe");
    EXPECT_EQ(e.regData[0].fix, "C:\\Windows\\temp\\y");
}

TEST_F(ReferenceDatabaseTest, AllRootsRepeatsItemsPerFixedDrive) {
    std::string folder = host.driveC().string();
    host.files().MapDrive('D', folder, platform::DriveType::kRemovable);
    host.files().MapDrive('E', folder, platform::DriveType::kFixed);
    ASSERT_TRUE(Load(Document(R"(<SW NAME="Roots">
  <DIRECTORIES><DIR NAME="Data" PATH=":AllRoots:\Zed"/></DIRECTORIES>
  <FILES><FILE NAME="z.exe" PATH=":AllRoots:\Zed\" MD5="0123456789ABCDEF0123456789ABCDEF" LSP="Yes"/></FILES>
</SW>)")));
    const refdb::SpywareEntry& e = db.entries()[0];
    ASSERT_EQ(e.directories.size(), 2u);
    EXPECT_EQ(e.directories[0].path, "E:\\Zed");
    EXPECT_EQ(e.directories[1].path, "C:\\Zed");
    ASSERT_EQ(e.files.size(), 2u);
    EXPECT_EQ(e.files[0].path, "E:\\Zed");
    EXPECT_EQ(e.files[0].md5, "0123456789ABCDEF0123456789ABCDEF");
    EXPECT_TRUE(e.files[0].isLsp);
    EXPECT_EQ(e.files[1].path, "C:\\Zed");
    // Only the item itself is indexed; the executable keeps the path as written.
    ASSERT_EQ(db.checksums().size(), 1u);
    EXPECT_EQ(db.checksums()[0].file, &e.files[1]);
    ASSERT_EQ(db.executables().size(), 1u);
    EXPECT_EQ(db.executables()[0].path, ":AllRoots:\\Zed\\");
}

TEST_F(ReferenceDatabaseTest, SectionsAreFoundOnlyInOrder) {
    ASSERT_TRUE(Load(Document(R"(<SW NAME="Late">
  <DESCRIPTION>Too early</DESCRIPTION>
  <FILES><FILE NAME="x.dll" PATH="C:\x"/></FILES>
  <DANGER_LEVEL>
     2
  </DANGER_LEVEL>
</SW>
<SW NAME="Backwards">
  <REGISTRY><KEYS><REGKEY MAIN="HKEY_CURRENT_USER" SUB="A" VALUE="K"/></KEYS></REGISTRY>
  <COOKIES><COOKIE NAME="seen"/></COOKIES>
  <DESCRIPTION> spaced </DESCRIPTION>
</SW>
<SW NAME="Inner">
  <REGISTRY><VALUES><REGVALUE MAIN="HKEY_CURRENT_USER" SUB="A" VALUE="B"/></VALUES>
            <KEYS><REGKEY MAIN="HKEY_CURRENT_USER" SUB="A" VALUE="K"/></KEYS></REGISTRY>
</SW>)",
                              3)));
    ASSERT_EQ(db.entries().size(), 3u);
    const refdb::SpywareEntry& late = db.entries()[0];
    EXPECT_EQ(late.files.size(), 1u);
    EXPECT_EQ(late.description, "");
    EXPECT_EQ(late.dangerLevel, 2);
    // Cookies stand after the registry, so the registry is never reached.
    const refdb::SpywareEntry& backwards = db.entries()[1];
    EXPECT_EQ(backwards.cookies.size(), 1u);
    EXPECT_TRUE(backwards.regKeys.empty());
    EXPECT_EQ(backwards.description, " spaced ");
    const refdb::SpywareEntry& inner = db.entries()[2];
    EXPECT_EQ(inner.regKeys.size(), 1u);
    EXPECT_TRUE(inner.regValues.empty());
    EXPECT_EQ(backwards.dangerLevel, 0);
}

TEST_F(ReferenceDatabaseTest, ItemFieldsAndIndexes) {
    ASSERT_TRUE(Load(Document(R"(<SW NAME="Fields">
  <FILES>
    <FILE NAME="TOOL.EXE" PATH=":WinDir:\" MD5="AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA" LSP="yes"/>
    <FILE NAME="page.htm" PATH=":iecache:"/>
    <FILE NAME="noext" MD5="BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB"/>
  </FILES>
  <COOKIES><COOKIE NAME="tracker"/></COOKIES>
  <REGISTRY>
    <KEYS><REGKEY MAIN="hkey_local_machine" SUB="Software" VALUE="Lower"/></KEYS>
    <VALUE_DATA>
      <VALUE MAIN="HKEY_CURRENT_USER" SUB="K" VALUE="*" VALUE_DATA="bad" FIX=":DeLeTe:"/>
      <VALUE MAIN="HKEY_CLASSES_ROOT" SUB="K" VALUE="V" VALUE_DATA="1" FIX="0"/>
    </VALUE_DATA>
  </REGISTRY>
  <DANGER_LEVEL>7</DANGER_LEVEL>
</SW>
<ActiveX><CLSID Key="{11111111-2222-3333-4444-555555555555}"/><CLSID Key="{2}"/></ActiveX>)")));
    const refdb::SpywareEntry& e = db.entries()[0];
    EXPECT_EQ(e.dangerLevel, 7);
    EXPECT_STREQ(refdb::DangerText(e.dangerLevel), "");
    EXPECT_FALSE(e.files[0].isLsp);  // only the exact text "Yes"
    EXPECT_EQ(e.files[0].path, "C:\\Windows");
    EXPECT_EQ(e.files[1].path, "");
    EXPECT_EQ(e.files[2].path, "");
    EXPECT_EQ(e.regKeys[0].root, platform::kNullKey);
    EXPECT_EQ(e.regKeys[0].keyPath, "Software\\Lower");
    EXPECT_TRUE(e.regData[0].deleteValue);
    EXPECT_FALSE(e.regData[1].deleteValue);
    EXPECT_EQ(e.regData[1].root, platform::kHkeyClassesRoot);

    ASSERT_EQ(db.executables().size(), 1u);
    EXPECT_EQ(db.executables()[0].name, "TOOL.EXE");
    EXPECT_EQ(db.executables()[0].path, "C:\\Windows\\");
    EXPECT_EQ(db.executables()[0].entry, &e);
    ASSERT_EQ(db.cacheFiles().size(), 1u);
    EXPECT_EQ(db.cacheFiles()[0].file, &e.files[1]);
    ASSERT_EQ(db.checksums().size(), 2u);
    EXPECT_EQ(db.checksums()[1].md5(), "BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB");
    EXPECT_EQ(db.classIds(),
              (std::vector<std::string>{"{11111111-2222-3333-4444-555555555555}", "{2}"}));
}

TEST_F(ReferenceDatabaseTest, IgnoreTextIsASubstringTest) {
    ASSERT_TRUE(Load(Document(R"(<SW NAME="Foo"/><SW NAME="Baz"/><SW/><SW NAME="foobar"/>)", 4),
                     "FooBar,,Other"));
    ASSERT_EQ(db.entries().size(), 4u);
    EXPECT_TRUE(db.entries()[0].ignored);
    EXPECT_FALSE(db.entries()[1].ignored);
    EXPECT_TRUE(db.entries()[2].ignored);  // the empty name occurs in every text
    EXPECT_FALSE(db.entries()[3].ignored);
}

TEST_F(ReferenceDatabaseTest, ProgressRange) {
    ASSERT_TRUE(Load(Document("<SW NAME=\"a\"/><SW NAME=\"b\"/>", 2)));
    EXPECT_EQ(progress.lower, 0);
    EXPECT_EQ(progress.upper, 2);
    EXPECT_EQ(progress.steps, 2);
    ASSERT_TRUE(Load(Document("<SW NAME=\"a\"/>", 0)));
    EXPECT_EQ(progress.upper, 1000);
    ASSERT_TRUE(Load("<BX TOTAL=\"many\"><SW NAME=\"a\"/></BX>"));
    EXPECT_EQ(db.total(), 0);
}

TEST_F(ReferenceDatabaseTest, LineEndsDoNotMatter) {
    std::string lf = Document("<SW NAME=\"a\">\n<DESCRIPTION>one\ntwo</DESCRIPTION>\n</SW>\n");
    ASSERT_TRUE(Load(lf));
    std::string fromLf = db.entries()[0].description;
    std::string crlf;
    for (char c : lf) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    ASSERT_TRUE(Load(crlf));
    EXPECT_EQ(db.entries()[0].description, fromLf);
    EXPECT_EQ(fromLf, "one\r\ntwo");
}

TEST_F(ReferenceDatabaseTest, FailuresAndReloads) {
    ASSERT_TRUE(
        Load(Document("<SW NAME=\"first\"><FILES><FILE NAME=\"x.exe\" MD5=\"AB\"/></FILES></SW>"
                      "<ActiveX><CLSID Key=\"{1}\"/></ActiveX>")));
    ASSERT_TRUE(Load(Document("<SW NAME=\"second\"/>")));
    ASSERT_EQ(db.entries().size(), 1u);
    EXPECT_EQ(db.entries()[0].name, "second");
    EXPECT_TRUE(db.checksums().empty());
    EXPECT_TRUE(db.executables().empty());
    EXPECT_TRUE(db.classIds().empty());

    // A file that cannot be read keeps what was loaded.
    EXPECT_FALSE(db.LoadReference("C:\\missing.bx"));
    EXPECT_NE(db.LastError().find("C:\\missing.bx"), std::string::npos);
    EXPECT_EQ(db.entries().size(), 1u);

    // A parse failure empties the database.
    EXPECT_FALSE(Load("<BX><SW NAME=\"a\"></BX>"));
    EXPECT_EQ(db.LastError(), "End tag does not correspond to SW");
    EXPECT_TRUE(db.entries().empty());

    // A document of another kind loads as an empty database.
    EXPECT_TRUE(Load("<OTHER><SW NAME=\"a\"/></OTHER>"));
    EXPECT_TRUE(db.entries().empty());
}

TEST_F(ReferenceDatabaseTest, LoadsScrambledFilesWithTheIgnoreList) {
    std::string markup = Document("<SW NAME=\"Kept\"/><SW NAME=\"Hidden\"/>", 2);
    ASSERT_EQ(host.files().WriteFile("C:\\ref.bx", refdb::Scrambled(markup)), platform::kSuccess);
    ASSERT_EQ(host.files().WriteFile("C:\\Program Files\\Brindlex\\iglist.lst",
                                     refdb::Scrambled("Hidden")),
              platform::kSuccess);
    ASSERT_TRUE(db.LoadReference("C:\\ref.bx"));
    ASSERT_EQ(db.entries().size(), 2u);
    EXPECT_FALSE(db.entries()[0].ignored);
    EXPECT_TRUE(db.entries()[1].ignored);
}

}  // namespace
