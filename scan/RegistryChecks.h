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

// False when the key cannot be opened.
bool CheckKnownValueNames(ScanContext& context, platform::HKey root, std::string_view keyPath,
                          bool namesArePaths, const ChecksumRefs& checksums);
bool CheckKnownSubkeys(ScanContext& context, platform::HKey root, std::string_view keyPath,
                       const ChecksumRefs& checksums);
bool CheckRunKey(ScanContext& context, platform::HKey root, std::string_view keyPath,
                 const ChecksumRefs& checksums);
void CheckClassServer(ScanContext& context, std::string_view classId,
                      const ChecksumRefs& checksums);
// Every known location of the smart scan, in order.
void CheckKnownLocations(ScanContext& context, const ChecksumRefs& checksums);

std::string ResolveProgramPath(platform::System& system, std::string_view text);

}  // namespace scan
