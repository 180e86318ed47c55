#pragma once
// Registry editor (.reg) text: import into and export from any Registry, in
// both layouts the registry editor knows.
//
// Import accepts UTF-16LE with a byte-order mark (what the editor writes) and
// UTF-8 with or without one, under either header. Export writes the editor's
// layout: REGEDIT4 as UTF-8 text, version 5 as UTF-16LE with a byte-order
// mark. String data in hex(1), hex(2) and hex(7) form is UTF-16LE in the
// version 5 layout and single bytes (taken as UTF-8) in REGEDIT4.
#include <string>
#include <string_view>

#include "platform/Registry.h"

namespace platform::host {

class MemoryRegistry;

enum class RegFormat {
    kRegedit4,  // "REGEDIT4", UTF-8 text
    kVersion5,  // "Windows Registry Editor Version 5.00", UTF-16LE with BOM
};

// Applies a .reg file: [KEY] creates the key, [-KEY] deletes it with its
// subtree, "name"=data and @=data set values, "name"=- deletes one. Stops at
// the first bad line or failing registry call (what came before stays
// applied); `error` (may be null) then gets "line N: why". Returns kSuccess,
// kErrorInvalidParameter for bad text, or the registry's code.
Status ImportRegText(Registry& registry, std::string_view fileBytes, std::string* error);

// Writes root\path and its whole subtree (an empty path: the whole root) as
// the registry editor exports it; the top key is named as `path` spells it,
// the keys below it as stored. String data that "text" cannot carry exactly
// (no terminating zero, inner zeros, line breaks) is written as hex(1).
// Returns kSuccess or the registry's code (kErrorFileNotFound when the key is
// missing).
Status ExportRegText(Registry& registry, HKey root, std::string_view path, RegFormat format,
                     std::string* out);

// The whole in-memory registry as one .reg file: HKEY_LOCAL_MACHINE (which
// holds HKEY_CLASSES_ROOT), HKEY_CURRENT_USER and HKEY_USERS, without volatile
// keys and without aliases of other keys. Returns kSuccess or the code of a
// failing registry call (a denied read, an injected fault).
Status SaveAll(MemoryRegistry& registry, RegFormat format, std::string* out);

// The root a .reg file names by a full or short name ("HKEY_CURRENT_USER",
// "HKCU", ...; any case), or kNullKey.
HKey RootFromName(std::string_view name);

}  // namespace platform::host
