#include "refdb/IgnoreList.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/tests/support/TestSystem.h"
#include "refdb/Scramble.h"

namespace {

constexpr const char* kList = "C:\\Program Files\\Brindlex\\iglist.lst";

class IgnoreListTest : public ::testing::Test {
  protected:
    std::string ListText() {
        std::string bytes;
        EXPECT_EQ(host.files().ReadFile(kList, &bytes), platform::kSuccess);
        return refdb::Scrambled(bytes);
    }
    void LoadThree() { ASSERT_TRUE(db.LoadReference("C:\\ref.bx")) << db.LastError(); }
    void SetUp() override {
        ASSERT_EQ(
            host.files().WriteFile(
                "C:\\ref.bx",
                refdb::Scrambled("<BX TOTAL=\"3\"><SW NAME=\"Foo\"><DESCRIPTION>f</DESCRIPTION>"
                                 "</SW><SW NAME=\"FooBar\"/><SW NAME=\"Baz\"/></BX>")),
            platform::kSuccess);
    }

    testsupport::TestSystem host;
    refdb::ReferenceDatabase db{host.system()};
};

TEST_F(IgnoreListTest, AppendingBuildsTheCommaText) {
    ASSERT_TRUE(refdb::AppendToIgnoreList(host.system(), ",FooBar"));
    EXPECT_EQ(ListText(), "FooBar");
    ASSERT_TRUE(refdb::AppendToIgnoreList(host.system(), ",Baz"));
    EXPECT_EQ(ListText(), "FooBar,,Baz");
    // The file on disk is scrambled.
    std::string raw;
    ASSERT_EQ(host.files().ReadFile(kList, &raw), platform::kSuccess);
    EXPECT_NE(raw, "FooBar,,Baz");

    LoadThree();
    // "Foo" occurs in "FooBar", so it is ignored too.
    EXPECT_TRUE(db.entries()[0].ignored);
    EXPECT_TRUE(db.entries()[1].ignored);
    EXPECT_TRUE(db.entries()[2].ignored);
}

TEST_F(IgnoreListTest, AnEmptyFileIsReplacedByTheName) {
    ASSERT_EQ(host.files().WriteFile(kList, ""), platform::kSuccess);
    ASSERT_TRUE(refdb::AppendToIgnoreList(host.system(), ",,Baz"));
    EXPECT_EQ(ListText(), "Baz");
}

TEST_F(IgnoreListTest, EditorRewritesTheFile) {
    ASSERT_TRUE(refdb::AppendToIgnoreList(host.system(), ",Foo"));
    ASSERT_TRUE(refdb::AppendToIgnoreList(host.system(), ",Baz"));
    ASSERT_TRUE(refdb::AppendToIgnoreList(host.system(), ",Gone"));  // not in the database
    LoadThree();
    refdb::IgnoreListEditor editor(host.system(), db);
    ASSERT_EQ(editor.rows().size(), 2u);
    EXPECT_EQ(editor.rows()[0].entry->name, "Foo");
    EXPECT_EQ(editor.rows()[1].entry->name, "Baz");
    EXPECT_TRUE(editor.rows()[0].checked);

    editor.rows()[0].checked = false;
    ASSERT_TRUE(editor.Ok());
    EXPECT_EQ(ListText(), "Baz");
    EXPECT_FALSE(db.entries()[0].ignored);
    EXPECT_TRUE(db.entries()[2].ignored);

    refdb::IgnoreListEditor again(host.system(), db);
    ASSERT_EQ(again.rows().size(), 1u);
    again.rows()[0].checked = false;
    ASSERT_TRUE(again.Ok());
    EXPECT_EQ(ListText(), "");
    LoadThree();
    for (const auto& entry : db.entries())
        EXPECT_FALSE(entry.ignored) << entry.name;
}

TEST_F(IgnoreListTest, CancelChangesNothing) {
    ASSERT_TRUE(refdb::AppendToIgnoreList(host.system(), ",Baz"));
    LoadThree();
    {
        refdb::IgnoreListEditor editor(host.system(), db);
        editor.rows()[0].checked = false;
        // Closing without OK.
    }
    EXPECT_TRUE(db.entries()[2].ignored);
    EXPECT_EQ(ListText(), "Baz");
}

TEST_F(IgnoreListTest, AFailedWriteKeepsTheOldList) {
    ASSERT_TRUE(refdb::AppendToIgnoreList(host.system(), ",Baz"));
    // A read-only list cannot be replaced.
    ASSERT_EQ(host.files().SetAttributes(kList, platform::kAttrReadOnly), platform::kSuccess);
    EXPECT_FALSE(refdb::AppendToIgnoreList(host.system(), ",Foo"));
    LoadThree();
    refdb::IgnoreListEditor editor(host.system(), db);
    ASSERT_EQ(editor.rows().size(), 1u);
    editor.rows()[0].checked = false;
    EXPECT_FALSE(editor.Ok());
    // The flag still changes in memory; the file keeps the earlier list.
    EXPECT_FALSE(db.entries()[2].ignored);
    ASSERT_EQ(host.files().SetAttributes(kList, platform::kAttrNormal), platform::kSuccess);
    EXPECT_EQ(ListText(), "Baz");
    EXPECT_FALSE(host.files().Exists(std::string(kList) + ".new"));
}

}  // namespace
