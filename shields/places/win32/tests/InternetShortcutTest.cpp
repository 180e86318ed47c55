// Runs under Wine: the shell's Internet Shortcut object and change
// notifications, with real files.
#include <gtest/gtest.h>

#include "platform/win32/Windows.h"

#include <objbase.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>

#include "platform/win32/WideText.h"
#include "platform/win32/Win32Environment.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Registry.h"
#include "shields/places/win32/FavoritesNotify.h"
#include "shields/places/win32/InternetShortcut.h"

namespace {

using platform::win32::Narrow;
using platform::win32::Widen;

class ShortcutTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        wchar_t temp[MAX_PATH] = {};
        ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
        folder = Narrow(temp) + "bx-favorites-" + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryW(Widen(folder).c_str(), nullptr));
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(Widen(folder)), ignored);
        CoUninitialize();
    }
    std::string Write(std::string_view name, std::string_view contents) {
        const std::string path = folder + "\\" + std::string(name);
        std::ofstream(Widen(path).c_str(), std::ios::binary) << contents;
        return path;
    }

    std::string folder;
    shields::win32::InternetShortcutResolver resolver;
};

TEST_F(ShortcutTest, AddressComesFromTheShortcutObject) {
    const std::string path = Write("Example.url",
                                   "[DEFAULT]\r\nBASEURL=http://ignored.example/\r\n"
                                   "[InternetShortcut]\r\nURL=http://www.example.com/page?q=1\r\n");
    EXPECT_EQ(resolver.ResolveShortcutUrl(path), "http://www.example.com/page?q=1");
    // A name beyond the ASCII range reaches the object intact.
    const std::string wide = Write("Caf\xC3\xA9 \xE6\x97\xA5.url",
                                   "[InternetShortcut]\r\nURL=https://cafe.example/\r\n");
    EXPECT_EQ(resolver.ResolveShortcutUrl(wide), "https://cafe.example/");
}

TEST_F(ShortcutTest, FilesWithoutAnAddressGiveNothing) {
    EXPECT_EQ(resolver.ResolveShortcutUrl(folder + "\\missing.url"), std::nullopt);
    EXPECT_EQ(resolver.ResolveShortcutUrl(Write("empty.url", "")), std::nullopt);
    EXPECT_EQ(resolver.ResolveShortcutUrl(folder), std::nullopt);
    EXPECT_EQ(resolver.ResolveShortcutUrl(""), std::nullopt);
    EXPECT_EQ(resolver.ResolveShortcutUrl(folder + "\\" + std::string(300, 'x') + ".url"),
              std::nullopt);
}

TEST_F(ShortcutTest, FavoritesListOverTheRealFolderAndRegistry) {
    platform::win32::Win32Registry registry;
    platform::win32::Win32FileSystem files;
    Write("Site.url", "[InternetShortcut]\r\nURL=http://site.example/\r\n");
    Write("desktop.ini", "[.ShellClassInfo]\r\n");
    ASSERT_TRUE(CreateDirectoryW(Widen(folder + "\\Links").c_str(), nullptr));
    shields::FavoritesList list;
    // A MenuOrder key that does not exist: the folder alone gives the list.
    ASSERT_TRUE(shields::BuildFavoritesList(registry, files, "Software\\Brindlex5\\NoSuchOrder",
                                            folder, shields::OrderNameForm::kPlain, &list,
                                            &resolver));
    ASSERT_EQ(list.size(), 2u);
    const shields::FavoriteItem& link = list[0].isLink ? list[0] : list[1];
    const shields::FavoriteItem& sub = list[0].isLink ? list[1] : list[0];
    EXPECT_EQ(link.path, folder + "\\Site.url");
    EXPECT_EQ(link.url, "http://site.example/");
    EXPECT_EQ(sub.path, folder + "\\Links");
    EXPECT_EQ(sub.url, "");
}

// The shell sends notices raised in this process straight to the window's
// procedure; Wine does not pass on those of other processes, so the notice is
// raised here.
constexpr UINT kNoticeMessage = WM_APP + 0x45;
int noticesReceived = 0;

LRESULT CALLBACK NoticeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kNoticeMessage)
        ++noticesReceived;
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(FavoritesNotifyTest, ChangeInFavoritesOrBelowReachesTheWindowAndOthersDoNot) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    WNDCLASSW type{};
    type.lpfnWndProc = NoticeWindowProc;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = L"BxFavoritesNoticeTest";
    ASSERT_NE(RegisterClassW(&type), 0);
    HWND window = CreateWindowExW(0, type.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  type.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    const ULONG registration =
        shields::win32::RegisterFavoritesNotifications(window, kNoticeMessage);
    ASSERT_NE(registration, 0u);

    platform::win32::Win32Environment environment;
    const std::string favorites = environment.ShellFolderPath(platform::ShellFolder::kFavorites);
    ASSERT_FALSE(favorites.empty());
    CreateDirectoryW(Widen(favorites).c_str(), nullptr);
    const std::wstring path = Widen(favorites + "\\bx-notify-test.url");
    std::ofstream(path.c_str()) << "[InternetShortcut]\nURL=http://n.example/\n";
    SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW | SHCNF_FLUSH, path.c_str(), nullptr);
    EXPECT_EQ(noticesReceived, 1);

    const std::wstring sub = Widen(favorites + "\\bx-notify-folder");
    CreateDirectoryW(sub.c_str(), nullptr);
    SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHW | SHCNF_FLUSH, sub.c_str(), nullptr);
    EXPECT_EQ(noticesReceived, 2);

    // Deletions are no event the shield asks for, nor are other folders.
    DeleteFileW(path.c_str());
    SHChangeNotify(SHCNE_DELETE, SHCNF_PATHW | SHCNF_FLUSH, path.c_str(), nullptr);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW | SHCNF_FLUSH, (std::wstring(temp) + L"x.url").c_str(),
                   nullptr);
    EXPECT_EQ(noticesReceived, 2);

    RemoveDirectoryW(sub.c_str());
    shields::win32::UnregisterFavoritesNotifications(registration);
    DestroyWindow(window);
    CoUninitialize();
}

}  // namespace
