#pragma once
// The file-system traces of every entry: listed files and folders, cookies,
// the browser cache, and files anywhere by name or checksum, also inside zip
// archives.
#include <string>
#include <string_view>
#include <vector>

#include "scan/RegistryChecks.h"
#include "scan/ScanContext.h"

namespace scan {

// MD5 of the whole file as 32 upper-case hex digits; "z" for files of 6 MiB
// or more; empty when the file cannot be read. `buffer` is reused.
std::string FileChecksum(platform::FileSystem& files, std::string_view path,
                         std::vector<unsigned char>& buffer);

bool CheckCookies(ScanContext& context);
bool CheckListedFiles(ScanContext& context, refdb::SpywareEntry& entry, ChecksumRefs& checksumWork,
                      std::vector<NameWork>& nameWork);
bool CheckFolders(ScanContext& context, refdb::SpywareEntry& entry);
bool CheckCacheFiles(ScanContext& context);

void ScanVariableFiles(ScanContext& context, std::string_view folder, const ChecksumRefs& refs,
                       bool recurse);
void SearchSystemDrive(ScanContext& context, const std::vector<NameWork>& nameWork);
// False only when stopped.
bool DeepScan(ScanContext& context, std::string_view folder, const ChecksumRefs& checksums,
              const std::vector<NameWork>& nameWork);
void ScanChosenFolder(ScanContext& context, std::string_view folder);
void ScanZipMembers(ScanContext& context, std::string_view archivePath, const ChecksumRefs& refs);

}  // namespace scan
