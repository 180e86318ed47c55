// The "Ignored Cookies" step of tests/e2e/gui_places.sh: the real window
// over the real registry of its prefix, while brindlex.exe runs there. It
// must list what the cookie shield decided; "Remove Selected" on the blocked
// cookie makes the shield ask about it again (the script checks that).
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "app/win32/dialogs/DialogIds.h"
#include "app/win32/dialogs/IgnoreListDialog.h"
#include "app/win32/dialogs/tests/DialogTestSupport.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32System.h"
#include "shields/places/CookieDecisions.h"

namespace {

using namespace dialogtest;

TEST(PlacesStep, IgnoredCookies) {
    const char* blocked = std::getenv("BX_PLACES_BLOCKED");
    const char* ignored = std::getenv("BX_PLACES_IGNORED");
    if (blocked == nullptr || ignored == nullptr)
        GTEST_SKIP() << "run by tests/e2e/gui_places.sh";
    platform::win32::Win32System platform;
    shields::RegistryCookieDecisions decisions(platform.system.registry);
    app::CIgnoredCookiesDialog dialog(decisions, nullptr);
    ScriptedPrompts prompts;
    dialog.SetPrompts(prompts);

    std::map<std::wstring, std::wstring> listed;
    WhenWindowAppears window(L"Ignored Cookies", [&](HWND cookies) {
        for (int row = 0; row < ListRows(cookies, IDC_BX_LIST); ++row)
            listed[ListText(cookies, IDC_BX_LIST, row, 0)] = ListText(cookies, IDC_BX_LIST, row, 1);
        for (int row = 0; row < ListRows(cookies, IDC_BX_LIST); ++row) {
            if (ListText(cookies, IDC_BX_LIST, row, 0) == platform::win32::Widen(blocked))
                SetListChecked(cookies, IDC_BX_LIST, row, true);
        }
        Screenshot(cookies, "places_ignored_cookies");
        Click(cookies, IDOK);  // "Remove Selected"
    });
    dialog.DoModal();
    ASSERT_TRUE(window.done());
    EXPECT_EQ(listed[platform::win32::Widen(blocked)], L"Cookie Being Blocked");
    EXPECT_EQ(listed[platform::win32::Widen(ignored)], L"Cookie Being Ignored");
    EXPECT_TRUE(prompts.Saw("Selected Cookie Data Removed"));
    EXPECT_EQ(decisions.Decision(blocked), shields::kCookieAsk);
    EXPECT_EQ(decisions.Decision(ignored), shields::kCookieIgnore);
}

}  // namespace
