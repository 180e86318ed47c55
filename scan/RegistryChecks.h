#pragma once
// The registry items of every entry, and the places where Windows keeps
// references to programs that start with the system or the browser.
#include <string>
#include <string_view>
#include <vector>

#include "scan/ScanContext.h"

namespace scan {

using ChecksumRefs = std::vector<refdb::ChecksumRef>;

bool CheckRegistryKeys(ScanContext& context, refdb::SpywareEntry& entry);
bool CheckRegistryValues(ScanContext& context, refdb::SpywareEntry& entry);
bool CheckRegistryData(ScanContext& context, refdb::SpywareEntry& entry);

// The known-location checks report every listed file whose checksum equals
// that of the program a location names, each time it is named.
// Each is false when the key cannot be opened.
bool CheckKnownValueNames(ScanContext& context, platform::HKey root, std::string_view keyPath,
                          bool namesArePaths, const ChecksumRefs& checksums);
bool CheckKnownSubkeys(ScanContext& context, platform::HKey root, std::string_view keyPath,
                       const ChecksumRefs& checksums);
bool CheckRunKey(ScanContext& context, platform::HKey root, std::string_view keyPath,
                 const ChecksumRefs& checksums);
// The InprocServer32, then the LocalServer32 program of the class; the
// first listed file matching each is reported.
void CheckClassServer(ScanContext& context, std::string_view classId,
                      const ChecksumRefs& checksums);
// Every known location of the smart scan, in order, read in the 64-bit
// registry view; then, where the 32-bit view of HKEY_LOCAL_MACHINE\SOFTWARE
// is a key of its own (Wow6432Node), its machine-wide locations again in
// that view, class registrations included.
void CheckKnownLocations(ScanContext& context, const ChecksumRefs& checksums);

// The file a registry text names: the text with environment strings
// expanded when that exists, else the text below the Windows folder, else
// below the system folder, else the expanded text. Quotes and arguments are
// kept, so a command line is never found.
std::string ResolveProgramPath(platform::System& system, std::string_view text);

}  // namespace scan
