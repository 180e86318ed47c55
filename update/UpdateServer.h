#pragma once
// Where updates come from: the update page, whose body names the newest
// archive, and the definitions folder that holds the archives and their
// signatures. Both lie below one base address: the built-in one (string
// table entry 103 names its update page) or the one the "updsrv" setting
// names, an organisation's own mirror for example.
#include <string>
#include <string_view>

#include "settings/SettingsStore.h"

namespace update {

// The setting that names another base address.
inline constexpr const char* kServerSetting = "updsrv";
// Below the base address.
inline constexpr const char* kDefinitionsFolder = "def";
inline constexpr const char* kUpdatePageName = "def_zip.html";

struct UpdateAddresses {
    std::string page;         // ".../def/def_zip.html"
    std::string definitions;  // ".../def", no trailing slash
};

// The addresses below `base` ("http://mirror.example/updates" or the same
// with a trailing slash); the built-in ones when `base` is empty or blank.
UpdateAddresses AddressesFor(std::string_view base);

// The addresses in force: `overrideBase` when given, else "updsrv" when set,
// else the built-in ones.
UpdateAddresses ConfiguredAddresses(const settings::SettingsStore& settings,
                                    std::string_view overrideBase = {});

}  // namespace update
