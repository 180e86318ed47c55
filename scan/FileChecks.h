#pragma once
// The file-system traces of every entry: listed files and folders, cookies,
// the browser cache, and files anywhere by name or checksum, also inside zip
// archives.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Text.h"
#include "scan/RegistryChecks.h"
#include "scan/ScanContext.h"

struct gcry_md_handle;

namespace scan {

// An MD5 hash (libgcrypt) that is reused from one input to the next.
class Md5 {
  public:
    Md5();
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    // False when the hash could not be set up; then every result is empty.
    bool Ready() const { return handle_ != nullptr; }
    void Update(const void* data, std::size_t size);
    // Replaces `hex` with the digest of everything since the last Finish or
    // Reset, as 32 upper-case hex digits, and starts over.
    void Finish(std::string& hex);
    void Reset();

  private:
    gcry_md_handle* handle_ = nullptr;
};

// Checksum references by md5 (compared ignoring case), each list in the order
// given. Built once per pass, so looking up a file costs the same however
// many references there are.
class ChecksumIndex {
  public:
    ChecksumIndex() = default;
    explicit ChecksumIndex(const ChecksumRefs& refs);

    bool Empty() const { return byMd5_.empty(); }
    // The references whose md5 equals `md5` ignoring case, in order.
    std::span<const refdb::ChecksumRef> Find(std::string_view md5) const;

  private:
    std::unordered_map<std::string, std::vector<refdb::ChecksumRef>, text::HashNoCase,
                       text::EqualNoCase>
        byMd5_;
};

// Name work records by file name (ignoring case), each list in the order
// given. The records must outlive the index.
class NameIndex {
  public:
    NameIndex() = default;
    explicit NameIndex(const std::vector<NameWork>& work);

    bool Empty() const { return byName_.empty(); }
    std::span<const NameWork* const> Find(std::string_view name) const;

  private:
    std::unordered_map<std::string, std::vector<const NameWork*>, text::HashNoCase,
                       text::EqualNoCase>
        byName_;
};

// MD5 of the whole file as 32 upper-case hex digits; "z" for files of 6 MiB
// or more; empty when the file cannot be read. `buffer` is reused.
std::string FileChecksum(platform::FileSystem& files, std::string_view path,
                         std::vector<unsigned char>& buffer);

bool CheckCookies(ScanContext& context);
bool CheckListedFiles(ScanContext& context, refdb::SpywareEntry& entry, ChecksumRefs& checksumWork,
                      std::vector<NameWork>& nameWork);
bool CheckFolders(ScanContext& context, refdb::SpywareEntry& entry);
bool CheckCacheFiles(ScanContext& context);

// The passes that compare checksums also read and hash files on a helper
// thread (ChecksumAhead.h); detections and progress steps still come on the
// calling thread, in walk order.
void ScanVariableFiles(ScanContext& context, std::string_view folder, const ChecksumRefs& refs,
                       bool recurse);
void SearchSystemDrive(ScanContext& context, const std::vector<NameWork>& nameWork);
// `folder` is a drive root ("C:\" or "C:") or any folder; a trailing "\*"
// is accepted too. False only when stopped.
bool DeepScan(ScanContext& context, std::string_view folder, const ChecksumRefs& checksums,
              const std::vector<NameWork>& nameWork);
void ScanChosenFolder(ScanContext& context, std::string_view folder);
// Does nothing unless the "zipfiles" setting is nonzero.
void ScanZipMembers(ScanContext& context, std::string_view archivePath, const ChecksumRefs& refs);

// The same passes over indexes the caller builds once, for callers that run
// a pass many times with the same references (the full scan does, once per
// listed folder).
void ScanVariableFiles(ScanContext& context, std::string_view folder, const ChecksumIndex& refs,
                       bool recurse);
bool DeepScan(ScanContext& context, std::string_view folder, const ChecksumIndex& checksums,
              const NameIndex& names);
void ScanZipMembers(ScanContext& context, std::string_view archivePath, const ChecksumIndex& refs);

// A file name of the browser cache as the cache check compares it: URL
// escapes decoded and a "[...]" part removed.
std::string DecodeCacheName(std::string_view fileName);
// The site a cookie file belongs to: the path after its last '@', up to the
// last '[' ("user@site[1].txt" gives "site"); empty without a '['.
std::string CookieSiteName(std::string_view path);

}  // namespace scan
