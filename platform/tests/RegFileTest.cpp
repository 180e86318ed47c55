// .reg text: both layouts, every value type, the registry editor's own
// output, bad input and exact round trips.
#include "platform/host/RegFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Text.h"
#include "platform/host/MemoryRegistry.h"

namespace {

using namespace platform;
using platform::host::ExportRegText;
using platform::host::ImportRegText;
using platform::host::MemoryRegistry;
using platform::host::RegFormat;
using platform::host::SaveAll;

std::string Bytes(const char* s, std::size_t n) {
    return std::string(s, n);
}

// UTF-8 (up to three-byte sequences) to UTF-16LE, for building files the way
// the registry editor writes them.
std::string Utf16(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        auto b = static_cast<unsigned char>(utf8[i]);
        std::uint32_t cp = b;
        std::size_t len = b < 0x80 ? 1 : b < 0xE0 ? 2 : 3;
        if (len > 1)
            cp = b & (len == 2 ? 0x1Fu : 0x0Fu);
        for (std::size_t k = 1; k < len; ++k)
            cp = (cp << 6) | (utf8[i + k] & 0x3Fu);
        out += static_cast<char>(cp & 0xFF);
        out += static_cast<char>(cp >> 8);
        i += len;
    }
    return out;
}

std::string Get(Registry& reg, HKey root, std::string_view path, std::string_view name,
                std::uint32_t* type = nullptr) {
    HKey key = kNullKey;
    if (reg.OpenKey(root, path, kKeyRead, &key) != kSuccess)
        return "<no key>";
    std::uint32_t size = 0;
    std::string data;
    if (reg.QueryValue(key, name, type, nullptr, &size) == kSuccess) {
        data.resize(size);
        reg.QueryValue(key, name, type, data.data(), &size);
    } else {
        data = "<no value>";
    }
    reg.CloseKey(key);
    return data;
}

bool Exists(Registry& reg, HKey root, std::string_view path) {
    HKey key = kNullKey;
    if (reg.OpenKey(root, path, kKeyRead, &key) != kSuccess)
        return false;
    reg.CloseKey(key);
    return true;
}

void Import(MemoryRegistry& reg, std::string_view text) {
    std::string error;
    ASSERT_EQ(ImportRegText(reg, text, &error), kSuccess) << error;
    EXPECT_EQ(error, "");
}

TEST(RegFileImport, Regedit4TextWithEveryDataForm) {
    MemoryRegistry reg;
    Import(reg,
           "REGEDIT4\n"
           "\n"
           "; a comment line\n"
           "[HKEY_CURRENT_USER\\Software\\Vendor]\n"
           "@=\"the default\"\n"
           "\"Path\"=\"C:\\\\Program Files\\\\Vendor \\\"X\\\"\"\n"
           "\"Count\"=dword:0000002a\n"
           "\"Short\"=dword:ff\n"
           "\"Blob\"=hex:de,ad,\\\n"
           "  be,ef\n"
           "\"Expand\"=hex(2):25,54,45,4d,50,25,00\n"
           "\"Multi\"=hex(7):61,00,62,63,00,00\n"
           "\"Quad\"=hex(b):01,02,03,04,05,06,07,08\n"
           "\"Nothing\"=hex(0):\n"
           "\"Custom\"=hex(4242):0a\n"
           "  \"Spaced\" = \"ok\"\n"
           "[HKLM\\Software\\Other]\n"
           "\"Empty\"=\"\"\n"
           "[hkcr\\.xyz]\n"
           "@=\"xyzfile\"\n");
    const HKey cu = kHkeyCurrentUser;
    const char* key = "Software\\Vendor";
    std::uint32_t type = 0;
    EXPECT_EQ(Get(reg, cu, key, "", &type), Bytes("the default\0", 12));
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(Get(reg, cu, key, "Path"), Bytes("C:\\Program Files\\Vendor \"X\"\0", 28));
    EXPECT_EQ(Get(reg, cu, key, "Count", &type), Bytes("\x2a\0\0\0", 4));
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(Get(reg, cu, key, "Short"), Bytes("\xff\0\0\0", 4));
    EXPECT_EQ(Get(reg, cu, key, "Blob", &type), "\xde\xad\xbe\xef");
    EXPECT_EQ(type, kRegBinary);
    // REGEDIT4 carries string data in single bytes.
    EXPECT_EQ(Get(reg, cu, key, "Expand", &type), Bytes("%TEMP%\0", 7));
    EXPECT_EQ(type, kRegExpandSz);
    EXPECT_EQ(Get(reg, cu, key, "Multi", &type), Bytes("a\0bc\0\0", 6));
    EXPECT_EQ(type, kRegMultiSz);
    EXPECT_EQ(Get(reg, cu, key, "Quad", &type), "\x01\x02\x03\x04\x05\x06\x07\x08");
    EXPECT_EQ(type, kRegQword);
    EXPECT_EQ(Get(reg, cu, key, "Nothing", &type), "");
    EXPECT_EQ(type, kRegNone);
    EXPECT_EQ(Get(reg, cu, key, "Custom", &type), "\x0a");
    EXPECT_EQ(type, 0x4242u);
    EXPECT_EQ(Get(reg, cu, key, "Spaced"), Bytes("ok\0", 3));
    EXPECT_EQ(Get(reg, kHkeyLocalMachine, "Software\\Other", "Empty"), Bytes("\0", 1));
    EXPECT_EQ(Get(reg, kHkeyLocalMachine, "Software\\Classes\\.xyz", ""), Bytes("xyzfile\0", 8));
}

TEST(RegFileImport, Version5HexStringsAreUtf16) {
    MemoryRegistry reg;
    // "Caf\u00e9" as UTF-16LE with its zero, and a two-string list.
    Import(reg,
           "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
           "\r\n"
           "[HKEY_CURRENT_USER\\Software\\Caf\xC3\xA9]\r\n"
           "\"Exp\"=hex(2):43,00,61,00,66,00,e9,00,00,00\r\n"
           "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
           "\"Sz\"=hex(1):78,00\r\n"
           "\"Bin\"=hex:43,00\r\n"
           "\"Nom\"=\"cr\xC3\xA8me\"\r\n");
    const char* key = "Software\\Caf\xC3\xA9";
    EXPECT_EQ(Get(reg, kHkeyCurrentUser, key, "Exp"), Bytes("Caf\xC3\xA9\0", 6));
    EXPECT_EQ(Get(reg, kHkeyCurrentUser, key, "Multi"), Bytes("a\0b\0\0", 5));
    EXPECT_EQ(Get(reg, kHkeyCurrentUser, key, "Sz"), "x");  // no zero was stored
    EXPECT_EQ(Get(reg, kHkeyCurrentUser, key, "Bin"), Bytes("C\0", 2));
    EXPECT_EQ(Get(reg, kHkeyCurrentUser, key, "Nom"), Bytes("cr\xC3\xA8me\0", 7));
}

// What Wine's "regedit /e" wrote for a key holding one value of each kind
// (it lists values by name), in UTF-16LE with a byte-order mark.
const char* const kEditorExport =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\BxExport]\r\n"
    "@=\"default\"\r\n"
    "\"Big\"=hex(5):01,02,03,04\r\n"
    "\"Bin\"=hex:00,07,0e,15,1c,23,2a,31,38,3f,46,4d,54,5b,62,69,70,77,7e,85,8c,93,9a,\\\r\n"
    "  a1,a8,af,b6,bd,c4,cb,d2,d9,e0,e7,ee,f5,fc,03,0a,11,18,1f,26,2d,34,3b,42,49,\\\r\n"
    "  50,57,5e,65,6c,73,7a,81,88,8f,96,9d\r\n"
    "\"Bs\\\\\\\"\"=\"\"\r\n"
    "\"Dw\"=dword:1234abcd\r\n"
    "\"EmptyBin\"=hex:\r\n"
    "\"Exp\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,78,00,00,00\r\n"
    "\"Multi\"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00,00,00\r\n"
    "\"None\"=hex(0):00,07,0e\r\n"
    "\"Odd\"=hex(42):78,79\r\n"
    "\"Qw\"=hex(b):08,07,06,05,04,03,02,01\r\n"
    "\"Str\"=\"C:\\\\Path \\\"q\\\" caf\xC3\xA9\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\BxExport\\A]\r\n"
    "\"x\"=dword:1234abcd\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\BxExport\\Sub\xC3\xA9]\r\n"
    "\r\n";

std::string Binary60() {
    std::string bin;
    for (int i = 0; i < 60; ++i)
        bin += static_cast<char>(i * 7);
    return bin;
}

TEST(RegFileImport, TheRegistryEditorsUtf16Export) {
    MemoryRegistry reg;
    Import(reg, "\xFF\xFE" + Utf16(kEditorExport));
    const char* key = "Software\\BxExport";
    const HKey cu = kHkeyCurrentUser;
    std::uint32_t type = 0;
    EXPECT_EQ(Get(reg, cu, key, ""), Bytes("default\0", 8));
    EXPECT_EQ(Get(reg, cu, key, "Big", &type), "\x01\x02\x03\x04");
    EXPECT_EQ(type, kRegDwordBigEndian);
    EXPECT_EQ(Get(reg, cu, key, "Bin"), Binary60());
    EXPECT_EQ(Get(reg, cu, key, "Bs\\\""), Bytes("\0", 1));
    EXPECT_EQ(Get(reg, cu, key, "Dw"), "\xcd\xab\x34\x12");
    EXPECT_EQ(Get(reg, cu, key, "EmptyBin", &type), "");
    EXPECT_EQ(type, kRegBinary);
    EXPECT_EQ(Get(reg, cu, key, "Exp"), Bytes("%TEMP%\\x\0", 9));
    EXPECT_EQ(Get(reg, cu, key, "Multi"), Bytes("a\0bc\0\0\0", 7));
    EXPECT_EQ(Get(reg, cu, key, "None"), Bytes("\0\x07\x0e", 3));
    EXPECT_EQ(Get(reg, cu, key, "Odd", &type), "xy");
    EXPECT_EQ(type, 0x42u);
    EXPECT_EQ(Get(reg, cu, key, "Str"), Bytes("C:\\Path \"q\" caf\xC3\xA9\0", 18));
    EXPECT_EQ(Get(reg, cu, "Software\\BxExport\\A", "x"), "\xcd\xab\x34\x12");
    EXPECT_TRUE(Exists(reg, cu, "Software\\BxExport\\Sub\xC3\xA9"));
}

TEST(RegFileExport, Version5MatchesTheRegistryEditorByteForByte) {
    MemoryRegistry reg;
    HKey key = kNullKey;
    ASSERT_EQ(
        reg.CreateKey(kHkeyCurrentUser, "Software\\BxExport", 0, kKeyAllAccess, &key, nullptr),
        kSuccess);
    auto set = [&](const char* name, std::uint32_t type, const std::string& data) {
        ASSERT_EQ(
            reg.SetValue(key, name, type, data.data(), static_cast<std::uint32_t>(data.size())),
            kSuccess);
    };
    set("", kRegSz, Bytes("default\0", 8));
    set("Big", kRegDwordBigEndian, "\x01\x02\x03\x04");
    set("Bin", kRegBinary, Binary60());
    set("Bs\\\"", kRegSz, Bytes("\0", 1));
    set("Dw", kRegDword, "\xcd\xab\x34\x12");
    set("EmptyBin", kRegBinary, "");
    set("Exp", kRegExpandSz, Bytes("%TEMP%\\x\0", 9));
    set("Multi", kRegMultiSz, Bytes("a\0bc\0\0\0", 7));
    set("None", kRegNone, Bytes("\0\x07\x0e", 3));
    set("Odd", 0x42, "xy");
    set("Qw", kRegQword, "\x08\x07\x06\x05\x04\x03\x02\x01");
    set("Str", kRegSz, Bytes("C:\\Path \"q\" caf\xC3\xA9\0", 18));
    HKey sub = kNullKey;
    ASSERT_EQ(reg.CreateKey(key, "Sub\xC3\xA9", 0, kKeyAllAccess, &sub, nullptr), kSuccess);
    reg.CloseKey(sub);
    ASSERT_EQ(reg.CreateKey(key, "A", 0, kKeyAllAccess, &sub, nullptr), kSuccess);
    ASSERT_EQ(reg.SetValue(sub, "x", kRegDword, "\xcd\xab\x34\x12", 4), kSuccess);
    reg.CloseKey(sub);
    reg.CloseKey(key);

    std::string out;
    ASSERT_EQ(
        ExportRegText(reg, kHkeyCurrentUser, "Software\\BxExport", RegFormat::kVersion5, &out),
        kSuccess);
    EXPECT_EQ(out, "\xFF\xFE" + Utf16(kEditorExport));

    ASSERT_EQ(
        ExportRegText(reg, kHkeyCurrentUser, "Software\\BxExport\\A", RegFormat::kRegedit4, &out),
        kSuccess);
    EXPECT_EQ(out,
              "REGEDIT4\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\BxExport\\A]\r\n"
              "\"x\"=dword:1234abcd\r\n\r\n");
    EXPECT_EQ(ExportRegText(reg, kHkeyCurrentUser, "Software\\Missing", RegFormat::kRegedit4, &out),
              kErrorFileNotFound);
}

TEST(RegFileExport, HexLinesBreakWhereTheEditorBreaksThem) {
    MemoryRegistry reg;
    HKey key = kNullKey;
    ASSERT_EQ(reg.CreateKey(kHkeyLocalMachine, "Software\\W", 0, kKeyAllAccess, &key, nullptr),
              kSuccess);
    // A long name leaves room for fewer bytes on the first line.
    std::string data(30, '\x11');
    std::string name(40, 'n');
    ASSERT_EQ(reg.SetValue(key, name, kRegBinary, data.data(), 30), kSuccess);
    reg.CloseKey(key);
    std::string out;
    ASSERT_EQ(ExportRegText(reg, kHkeyLocalMachine, "Software\\W", RegFormat::kRegedit4, &out),
              kSuccess);
    std::string first = "\"" + name + "\"=hex:";  // 47 characters: 10 bytes reach 77
    std::string expected = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\W]\r\n" + first;
    for (int i = 0; i < 10; ++i)
        expected += "11,";
    expected += "\\\r\n  ";
    for (int i = 0; i < 19; ++i)
        expected += "11,";
    expected += "11\r\n\r\n";
    EXPECT_EQ(out, expected);
    for (std::string_view line : text::Split(out, '\n'))
        EXPECT_LE(line.size(), 80u) << line;
}

TEST(RegFileImport, DeletionsRemoveKeysTreesAndValues) {
    MemoryRegistry reg;
    Import(reg,
           "REGEDIT4\n\n"
           "[HKEY_CURRENT_USER\\Software\\Doomed\\Deep\\Deeper]\n"
           "\"v\"=dword:00000001\n"
           "[HKEY_CURRENT_USER\\Software\\Kept]\n"
           "\"gone\"=\"x\"\n"
           "\"stays\"=\"y\"\n");
    Import(reg,
           "REGEDIT4\n\n"
           "[-HKEY_CURRENT_USER\\Software\\Doomed]\n"
           "[-HKEY_CURRENT_USER\\Software\\NeverWasThere]\n"
           "[HKEY_CURRENT_USER\\Software\\Kept]\n"
           "\"gone\"=-\n"
           "\"neverThere\"=-\n");
    EXPECT_FALSE(Exists(reg, kHkeyCurrentUser, "Software\\Doomed"));
    EXPECT_EQ(Get(reg, kHkeyCurrentUser, "Software\\Kept", "gone"), "<no value>");
    EXPECT_EQ(Get(reg, kHkeyCurrentUser, "Software\\Kept", "stays"), Bytes("y\0", 2));
}

TEST(RegFileImport, BadInputNamesTheLine) {
    struct Case {
        std::string text;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"", "line 1: empty file, no header"},
        {"REGEDIT5\n[HKEY_CURRENT_USER\\X]\n", "line 1: not a registry file header"},
        {"REGEDIT4\n\n\"v\"=\"x\"\n", "line 3: value outside a key"},
        {"REGEDIT4\n[HKEY_CURRENT_CONFIG\\X]\n",
         "line 2: unknown root key \"HKEY_CURRENT_CONFIG\""},
        {"REGEDIT4\n[HKCU\\X\n", "line 2: key name without ']'"},
        {"REGEDIT4\n[HKCU\\X]\n\"v\"=\"open\n", "line 3: unterminated string"},
        {"REGEDIT4\n[HKCU\\X]\n\"v=\"x\"\n", "line 3: expected '=' after the value name"},
        {"REGEDIT4\n[HKCU\\X]\n\"v\n", "line 3: unterminated value name"},
        {"REGEDIT4\n[HKCU\\X]\nv=\"x\"\n", "line 3: expected a value name"},
        {"REGEDIT4\n[HKCU\\X]\n\"v\"=\"x\" trailing\n", "line 3: text after the string"},
        {"REGEDIT4\n[HKCU\\X]\n\"v\"=dword:123456789\n", "line 3: bad dword value"},
        {"REGEDIT4\n[HKCU\\X]\n\"v\"=dword:12g4\n", "line 3: bad dword value"},
        {"REGEDIT4\n[HKCU\\X]\n\"v\"=dword:\n", "line 3: bad dword value"},
        {"REGEDIT4\n[HKCU\\X]\n\"v\"=hex:01,zz\n", "line 3: bad hex byte \"zz\""},
        {"REGEDIT4\n[HKCU\\X]\n\"v\"=hex:01,,02\n", "line 3: bad hex byte \"\""},
        {"REGEDIT4\n[HKCU\\X]\n\"v\"=hex:123\n", "line 3: bad hex byte \"123\""},
        {"REGEDIT4\n[HKCU\\X]\n\"v\"=hex(2:00\n", "line 3: bad hex value type"},
        {"REGEDIT4\n[HKCU\\X]\n\"v\"=hex(123456789):00\n", "line 3: bad hex value type"},
        {"REGEDIT4\n[HKCU\\X]\n\"v\"=hex 00\n", "line 3: expected ':' after hex"},
        {"REGEDIT4\n[HKCU\\X]\n\"v\"=hex:00,\\\n", "line 3: hex data continued past the end"},
        {"REGEDIT4\n[HKCU\\X]\n\"v\"=word:1\n", "line 3: unrecognised value data"},
        {"REGEDIT4\n[HKCU" +
             [] {
                 std::string deep;
                 for (int i = 0; i < 600; ++i)
                     deep += "\\k";
                 return deep;
             }() +
             "]\n",
         "line 2: key path deeper than the registry allows"},
        {std::string("\xFF\xFE"
                     "R\0E\0G",
                     7),
         "line 1: truncated UTF-16 text"},
    };
    for (const Case& c : cases) {
        MemoryRegistry reg;
        std::string error;
        EXPECT_EQ(ImportRegText(reg, c.text, &error), kErrorInvalidParameter) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}

TEST(RegFileImport, RegistryFailuresStopTheImportWithTheirCode) {
    MemoryRegistry reg;
    reg.DenyAccess(kHkeyCurrentUser, "Software\\Locked", kKeyAllAccess);
    std::string error;
    EXPECT_EQ(ImportRegText(reg,
                            "REGEDIT4\n[HKCU\\Software\\Before]\n\n[HKCU\\Software\\Locked]\n"
                            "[HKCU\\Software\\After]\n",
                            &error),
              kErrorAccessDenied);
    EXPECT_EQ(error, "line 4: cannot create key HKCU\\Software\\Locked (error 5)");
    EXPECT_TRUE(Exists(reg, kHkeyCurrentUser, "Software\\Before"));
    EXPECT_FALSE(Exists(reg, kHkeyCurrentUser, "Software\\After"));
}

TEST(RegFileImport, TruncatedAndMangledFilesNeverCrash) {
    const std::string valid = "\xFF\xFE" + Utf16(kEditorExport);
    for (std::size_t n = 0; n <= valid.size(); ++n) {
        MemoryRegistry reg;
        std::string error;
        Status s = ImportRegText(reg, std::string_view(valid).substr(0, n), &error);
        EXPECT_TRUE(s == kSuccess || !error.empty()) << n;
    }
    std::string text = kEditorExport;
    for (std::size_t i = 0; i < text.size(); i += 7) {
        std::string mangled = text;
        mangled[i] = "\\\"[]=,:\n"[i % 8];
        MemoryRegistry reg;
        std::string error;
        Status s = ImportRegText(reg, mangled, &error);
        EXPECT_TRUE(s == kSuccess || error.rfind("line ", 0) == 0) << i;
    }
}

// Values whose bytes only hex form can carry exactly, and the plain ones.
void FillEveryKind(MemoryRegistry& reg, bool asciiSafeOnly) {
    HKey key = kNullKey;
    ASSERT_EQ(
        reg.CreateKey(kHkeyCurrentUser, "Software\\Round\\Trip", 0, kKeyAllAccess, &key, nullptr),
        kSuccess);
    struct V {
        const char* name;
        std::uint32_t type;
        std::string data;
    };
    std::vector<V> values = {
        {"", kRegSz, Bytes("default\0", 8)},
        {"sz", kRegSz, Bytes("with \"quotes\" and \\slashes\\\0", 28)},
        {"szNoZero", kRegSz, "abc"},
        {"szEmpty", kRegSz, ""},
        {"szInnerZero", kRegSz, Bytes("a\0b\0", 4)},
        {"szNewline", kRegSz, Bytes("line1\r\nline2\0", 13)},
        {"szCafe", kRegSz, Bytes("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\0", 15)},
        {"expand", kRegExpandSz, Bytes("%SystemRoot%\\x\0", 15)},
        {"expandNoZero", kRegExpandSz, "%A%"},
        {"multi", kRegMultiSz, Bytes("one\0tw\xC3\xB6\0\0", 10)},
        {"binary", kRegBinary, Binary60() + Binary60()},
        {"emptyBinary", kRegBinary, ""},
        {"dword", kRegDword, "\x01\x02\x03\x04"},
        {"shortDword", kRegDword, "\x01\x02"},
        {"bigEndian", kRegDwordBigEndian, "\x01\x02\x03\x04"},
        {"qword", kRegQword, "\x01\x02\x03\x04\x05\x06\x07\x08"},
        {"none", kRegNone, Bytes("\0\x01", 2)},
        {"custom", 0x7FFFFFFF, "zz"},
        {"Caf\xC3\xA9 name \"q\" \\", kRegSz, Bytes("x\0", 2)},
    };
    if (!asciiSafeOnly) {
        // Bytes that are not UTF-8 survive only the single-byte layout.
        values.push_back({"notUtf8", kRegSz, Bytes("\xFF\xFE\x80\0", 4)});
        values.push_back({"notUtf8Expand", kRegExpandSz, Bytes("\xC3(\0", 3)});
    }
    for (const V& v : values) {
        ASSERT_EQ(reg.SetValue(key, v.name, v.type, v.data.data(),
                               static_cast<std::uint32_t>(v.data.size())),
                  kSuccess)
            << v.name;
    }
    HKey sub = kNullKey;
    ASSERT_EQ(reg.CreateKey(key, "Empty Sub [x]", 0, kKeyAllAccess, &sub, nullptr), kSuccess);
    reg.CloseKey(sub);
    reg.CloseKey(key);
}

// Compares two registries below a key: names, order, types and bytes.
void ExpectSameTree(MemoryRegistry& a, MemoryRegistry& b, const char* path) {
    std::string left;
    std::string right;
    ASSERT_EQ(ExportRegText(a, kHkeyCurrentUser, path, RegFormat::kRegedit4, &left), kSuccess);
    ASSERT_EQ(ExportRegText(b, kHkeyCurrentUser, path, RegFormat::kRegedit4, &right), kSuccess);
    EXPECT_EQ(left, right);
}

TEST(RegFileRoundTrip, EveryTypeSurvivesBothLayouts) {
    for (RegFormat format : {RegFormat::kRegedit4, RegFormat::kVersion5}) {
        MemoryRegistry original;
        FillEveryKind(original, format == RegFormat::kVersion5);
        std::string text;
        ASSERT_EQ(ExportRegText(original, kHkeyCurrentUser, "Software\\Round", format, &text),
                  kSuccess);
        MemoryRegistry copy;
        Import(copy, text);
        ExpectSameTree(original, copy, "Software\\Round");
        // Spot checks on the stored bytes: text comes back with its
        // terminating zero, as the registry editor imports it.
        EXPECT_EQ(Get(copy, kHkeyCurrentUser, "Software\\Round\\Trip", "szNoZero"),
                  Bytes("abc\0", 4));
        EXPECT_EQ(Get(copy, kHkeyCurrentUser, "Software\\Round\\Trip", "szCafe"),
                  Bytes("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\0", 15));
        std::string again;
        ASSERT_EQ(ExportRegText(copy, kHkeyCurrentUser, "Software\\Round", format, &again),
                  kSuccess);
        EXPECT_EQ(again, text);
    }
}

TEST(RegFileRoundTrip, SaveAllSkipsVolatileKeysAndAliases) {
    MemoryRegistry reg;
    reg.LinkCurrentUser("S-1-5-21-0-0-0-1000");
    Import(reg,
           "REGEDIT4\n\n"
           "[HKEY_CLASSES_ROOT\\CLSID\\{1}]\n@=\"class\"\n"
           "[HKEY_CURRENT_USER\\Software\\Durable]\n\"v\"=dword:00000001\n"
           "[HKEY_USERS\\.DEFAULT\\Software]\n");
    HKey vol = kNullKey;
    ASSERT_EQ(reg.CreateKey(kHkeyCurrentUser, "Software\\Durable\\Transient", kRegOptionVolatile,
                            kKeyAllAccess, &vol, nullptr),
              kSuccess);
    ASSERT_EQ(reg.SetValue(vol, "secret", kRegDword, "\1\0\0\0", 4), kSuccess);
    reg.CloseKey(vol);

    std::string saved;
    ASSERT_EQ(SaveAll(reg, RegFormat::kRegedit4, &saved), kSuccess);
    EXPECT_NE(saved.find("[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{1}]\r\n@=\"class\"\r\n"),
              std::string::npos);
    EXPECT_NE(saved.find("[HKEY_CURRENT_USER\\Software\\Durable]\r\n\"v\"=dword:00000001\r\n"),
              std::string::npos);
    EXPECT_NE(saved.find("[HKEY_USERS\\.DEFAULT\\Software]"), std::string::npos);
    EXPECT_EQ(saved.find("Transient"), std::string::npos);
    EXPECT_EQ(saved.find("S-1-5-21"), std::string::npos);
    EXPECT_EQ(saved.find("HKEY_CLASSES_ROOT"), std::string::npos);

    MemoryRegistry copy;
    Import(copy, saved);
    EXPECT_EQ(Get(copy, kHkeyClassesRoot, "CLSID\\{1}", ""), Bytes("class\0", 6));
    std::string again;
    ASSERT_EQ(SaveAll(copy, RegFormat::kVersion5, &again), kSuccess);
    std::string savedV5;
    ASSERT_EQ(SaveAll(reg, RegFormat::kVersion5, &savedV5), kSuccess);
    EXPECT_EQ(again, savedV5);
}

TEST(RegFileImport, RootsAcceptShortNamesInAnyCaseAndPlainLineFeeds) {
    EXPECT_EQ(platform::host::RootFromName("hkey_local_machine"), kHkeyLocalMachine);
    EXPECT_EQ(platform::host::RootFromName("HKU"), kHkeyUsers);
    EXPECT_EQ(platform::host::RootFromName("HKCC"), kNullKey);
    EXPECT_EQ(platform::RootName(kHkeyClassesRoot), "HKEY_CLASSES_ROOT");
    EXPECT_EQ(platform::RootName(kNullKey), "");
    MemoryRegistry reg;
    Import(reg, "Windows Registry Editor Version 5.00\n[hku\\.DEFAULT]\n\"a\"=\"b\"\n");
    EXPECT_EQ(Get(reg, kHkeyUsers, ".DEFAULT", "a"), Bytes("b\0", 2));
}

}  // namespace
