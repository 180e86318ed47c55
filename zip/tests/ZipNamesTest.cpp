// Member-name safety and extraction paths.
#include <gtest/gtest.h>

#include "zip/ZipNames.h"

namespace {

TEST(ZipMemberNames, SafeNames) {
    for (const char* name :
         {"a.txt", "folder/file.txt", "folder\\file.txt", "dir/", "a/b/c/d.e.f", ".hidden",
          "..name", "name..", "x/.config/y", "icon.txt", "COMA", "COM10", "console",
          "\xE6\x97\xA5\xE6\x9C\xAC/\xC3\xA9.txt", "with space.txt", "a b/c"}) {
        EXPECT_TRUE(zip::IsSafeMemberName(name)) << name;
    }
}

TEST(ZipMemberNames, UnsafeNames) {
    for (const char* name : {"",           "/etc/passwd",  "\\windows\\x.dll",
                             "../x",       "..\\x",        "a/../../x",
                             "a/..",       "a\\..\\..\\x", "..",
                             ".",          "./x",          "a/./b",
                             "...",        ". .",          "a/.. /b",
                             "a//b",       "a\\\\b",       "dir//",
                             "C:x",        "C:/x",         "c:\\x",
                             "a/b:stream", "x:",           "a\x01.txt",
                             "a\nb",       "a?b",          "a*b",
                             "a<b",        "a>b",          "a|b",
                             "a\"b",       "CON",          "con.txt",
                             "a/NUL",      "aux.log",      "con.txt.d/file",
                             "Com1",       "COM0",         "lpt9.dat",
                             "PRN"}) {
        EXPECT_FALSE(zip::IsSafeMemberName(std::string(name))) << name;
    }
}

TEST(ZipMemberNames, JoinStaysInsideTheFolder) {
    EXPECT_EQ(zip::JoinMemberPath("C:\\Temp\\Scan", "a/b.txt"), "C:\\Temp\\Scan\\a\\b.txt");
    EXPECT_EQ(zip::JoinMemberPath("C:\\Temp\\Scan\\\\", "b.txt"), "C:\\Temp\\Scan\\b.txt");
    EXPECT_EQ(zip::JoinMemberPath("C:\\Temp", "dir/"), "C:\\Temp\\dir");
    EXPECT_EQ(zip::JoinMemberPath("C:\\Temp", "x\\y"), "C:\\Temp\\x\\y");
    EXPECT_FALSE(zip::JoinMemberPath("C:\\Temp", "../b.txt").has_value());
    EXPECT_FALSE(zip::JoinMemberPath("C:\\Temp", "D:\\b.txt").has_value());
    EXPECT_FALSE(zip::JoinMemberPath("C:\\Temp", "\\\\server\\share\\b.txt").has_value());
}

}  // namespace
