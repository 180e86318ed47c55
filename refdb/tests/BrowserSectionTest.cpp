// The BROWSER section of an SW: forced extension ids and hijack domains,
// read by this loader and invisible to everything the loader read before.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "platform/tests/support/TestSystem.h"
#include "refdb/ReferenceDatabase.h"

namespace {

using refdb::ReferenceDatabase;
using refdb::SpywareEntry;

std::string ShippedMarkup() {
    std::ifstream in(BX_SHIPPED_REFERENCE, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Everything the loader read before the BROWSER section existed, as text.
std::string Summary(const ReferenceDatabase& db) {
    std::ostringstream out;
    out << db.total() << '\n';
    for (const SpywareEntry& e : db.entries()) {
        out << e.name << '|' << e.dangerLevel << '|' << e.ignored << '|' << e.description << '\n';
        for (const auto& d : e.directories)
            out << " D " << d.path << '\\' << d.name << '\n';
        for (const auto& f : e.files)
            out << " F " << f.path << '\\' << f.name << ' ' << f.md5 << ' ' << f.isLsp << '\n';
        for (const auto& c : e.cookies)
            out << " C " << c.name << '\n';
        for (const auto& k : e.regKeys)
            out << " K " << k.root << ' ' << k.keyPath << '\n';
        for (const auto& v : e.regValues)
            out << " V " << v.root << ' ' << v.keyPath << ' ' << v.valueName << '\n';
        for (const auto& r : e.regData) {
            out << " R " << r.root << ' ' << r.keyPath << ' ' << r.valueName << ' ' << r.data << ' '
                << r.fix << ' ' << r.deleteValue << '\n';
        }
    }
    for (const std::string& id : db.classIds())
        out << " X " << id << '\n';
    out << db.executables().size() << ' ' << db.cacheFiles().size() << ' ' << db.checksums().size()
        << '\n';
    return out.str();
}

const SpywareEntry* Find(const ReferenceDatabase& db, std::string_view name) {
    for (const SpywareEntry& e : db.entries()) {
        if (e.name == name)
            return &e;
    }
    return nullptr;
}

class BrowserSectionTest : public ::testing::Test {
  protected:
    testsupport::TestSystem host;
    ReferenceDatabase db{host.system()};
    ReferenceDatabase plain{host.system()};
};

TEST_F(BrowserSectionTest, ShippedFileReadsAsBeforeAndGainsItsBrowserItems) {
    const std::string shipped = ShippedMarkup();
    ASSERT_NE(shipped.find("<BROWSER>"), std::string::npos);
    const std::string without =
        std::regex_replace(shipped, std::regex("<BROWSER>[^]*?</BROWSER>"), "");
    ASSERT_EQ(without.find("<BROWSER"), std::string::npos);

    ASSERT_TRUE(db.LoadMarkup(shipped, "Cobbleclick"));
    ASSERT_TRUE(plain.LoadMarkup(without, "Cobbleclick"));
    EXPECT_EQ(db.entries().size(), 48u);
    EXPECT_EQ(Summary(db), Summary(plain));

    const SpywareEntry* umberlook = Find(db, "Umberlook Homepage Hijacker");
    ASSERT_NE(umberlook, nullptr);
    EXPECT_EQ(umberlook->extensionIds,
              (std::vector<std::string>{"lblbplamhdghlbicigeijlkfkdikabla",
                                        "oipbgjicpaempmfgiedgbjkkbfncjimp"}));
    EXPECT_EQ(umberlook->hijackDomains, std::vector<std::string>{"umberlook.example"});
    int withBrowserItems = 0;
    for (const SpywareEntry& e : db.entries())
        withBrowserItems += !e.extensionIds.empty() || !e.hijackDomains.empty();
    EXPECT_EQ(withBrowserItems, 3);
    // The built-in finding is not one of the file's entries.
    EXPECT_EQ(Find(db, refdb::kBrowserPolicyEntryName), nullptr);
    ASSERT_EQ(db.builtInEntries().size(), 1u);
    EXPECT_EQ(db.browserPolicyEntry().name, refdb::kBrowserPolicyEntryName);
    EXPECT_EQ(db.browserPolicyEntry().dangerLevel, 0);
}

TEST_F(BrowserSectionTest, ItemsInAnyOrderUnknownOnesAndMisplacedSections) {
    const std::string markup =
        "<BX TOTAL=\"3\">"
        "<SW NAME=\"Mixed\"><DANGER_LEVEL>1</DANGER_LEVEL><DESCRIPTION>d</DESCRIPTION>"
        "<BROWSER><DOMAIN NAME=\"a.example\"/><EXTENSION ID=\"idone\"/><FUTURE X=\"1\"/>"
        "<EXTENSION ID=\"\"/><DOMAIN/><EXTENSION ID=\"idtwo\"/></BROWSER></SW>"
        // Before DESCRIPTION: the reader has passed it when it looks.
        "<SW NAME=\"Early\"><BROWSER><DOMAIN NAME=\"lost.example\"/></BROWSER>"
        "<DESCRIPTION>kept</DESCRIPTION></SW>"
        // Without the sections before it, it is still found.
        "<SW NAME=\"Only\"><BROWSER><EXTENSION ID=\"idthree\"/></BROWSER></SW>"
        "<ActiveX><CLSID Key=\"{1}\"/></ActiveX></BX>";
    ASSERT_TRUE(db.LoadMarkup(markup, ""));
    ASSERT_EQ(db.entries().size(), 3u);
    const SpywareEntry& mixed = db.entries()[0];
    EXPECT_EQ(mixed.extensionIds, (std::vector<std::string>{"idone", "idtwo"}));
    EXPECT_EQ(mixed.hijackDomains, std::vector<std::string>{"a.example"});
    EXPECT_EQ(mixed.description, "d");
    EXPECT_EQ(mixed.dangerLevel, 1);
    EXPECT_TRUE(db.entries()[1].hijackDomains.empty());
    EXPECT_EQ(db.entries()[1].description, "kept");
    EXPECT_EQ(db.entries()[2].extensionIds, std::vector<std::string>{"idthree"});
    EXPECT_EQ(db.classIds(), std::vector<std::string>{"{1}"});
}

TEST_F(BrowserSectionTest, BuiltInEntryFollowsTheIgnoreListAndLosesFindingsOnReload) {
    refdb::SpywareEntry& builtIn = db.browserPolicyEntry();
    builtIn.policyValues.push_back({platform::kHkeyCurrentUser, "k", "v", true});
    builtIn.prefsLines.push_back({"C:\\user.js", "p", "d", "line", true});
    builtIn.detected = true;
    ASSERT_TRUE(db.LoadMarkup("<BX/>", std::string("x") + refdb::kBrowserPolicyEntryName));
    EXPECT_TRUE(builtIn.ignored);
    EXPECT_FALSE(builtIn.detected);
    EXPECT_TRUE(builtIn.policyValues.empty());
    EXPECT_TRUE(builtIn.prefsLines.empty());
    ASSERT_TRUE(db.LoadMarkup("<BX/>", ""));
    EXPECT_FALSE(builtIn.ignored);
}

}  // namespace
