#include "scan/FileChecks.h"

#include <gcrypt.h>

#include <memory>
#include <utility>

#include "platform/Text.h"
#include "registry/RegistryHelper.h"
#include "scan/FileWalk.h"

namespace scan {

namespace {

constexpr std::string_view kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// libgcrypt wants gcry_check_version before anything else, once per process;
// another part of the process may have done it already.
bool GcryptReady() {
    static const bool ready = [] {
        if (gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P))
            return true;
        if (gcry_check_version(GCRYPT_VERSION) == nullptr)
            return false;
        // Only public data is hashed: no secure memory needed.
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    return ready;
}

}  // namespace

void ReportListedFile(ScanContext& context, refdb::SpywareEntry& entry, refdb::FileItem& item,
                      std::string_view fullPath) {
    auto strings = std::make_unique<refdb::VersionInfo>();
    if (context.system.files.ReadVersionStrings(fullPath, strings.get())) {
        item.versionInfo = std::move(strings);
    } else {
        item.versionInfo.reset();
    }
    ReportFile(context, entry, item);
}

Md5::Md5() {
    if (!GcryptReady() || gcry_md_open(&handle_, GCRY_MD_MD5, 0) != 0)
        handle_ = nullptr;
}

Md5::~Md5() {
    if (handle_ != nullptr)
        gcry_md_close(handle_);
}

void Md5::Update(const void* data, std::size_t size) {
    if (handle_ != nullptr)
        gcry_md_write(handle_, data, size);
}

void Md5::Finish(std::string& hex) {
    if (handle_ == nullptr) {
        hex.clear();
        return;
    }
    constexpr char kDigits[] = "0123456789ABCDEF";
    const unsigned char* digest = gcry_md_read(handle_, GCRY_MD_MD5);
    hex.resize(32);
    for (std::size_t i = 0; i < 16; ++i) {
        hex[2 * i] = kDigits[digest[i] >> 4];
        hex[2 * i + 1] = kDigits[digest[i] & 0xF];
    }
    gcry_md_reset(handle_);
}

void Md5::Reset() {
    if (handle_ != nullptr)
        gcry_md_reset(handle_);
}

void ChecksumInto(platform::FileSystem& files, std::string_view path,
                  std::vector<unsigned char>& buffer, Md5& md5, std::string& hex) {
    hex.clear();
    if (!md5.Ready())
        return;
    platform::Status status = platform::kSuccess;
    std::unique_ptr<platform::FileReader> reader = files.OpenRead(path, &status);
    if (!reader)
        return;
    if (reader->Size() / kMiB > kLargestChecksummedMiB) {
        hex.push_back(kTooLargeChecksum);
        return;
    }
    if (buffer.size() < kChecksumBlockSize)
        buffer.resize(kChecksumBlockSize);
    for (;;) {
        const std::size_t got = reader->Read(buffer.data(), kChecksumBlockSize);
        if (got == 0) {
            if (reader->Error() != platform::kSuccess) {
                md5.Reset();
                return;
            }
            break;
        }
        md5.Update(buffer.data(), got);
    }
    md5.Finish(hex);
}

std::string_view WalkRoot(std::string_view folder) {
    std::string_view last = text::FileName(folder);
    if (last == "*" || last == "*.*")
        folder.remove_suffix(last.size());
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
        folder.remove_suffix(1);
    return folder;
}

std::string FileChecksum(platform::FileSystem& files, std::string_view path,
                         std::vector<unsigned char>& buffer) {
    Md5 md5;
    std::string hex;
    ChecksumInto(files, path, buffer, md5, hex);
    return hex;
}

ChecksumIndex::ChecksumIndex(const ChecksumRefs& refs) {
    byMd5_.reserve(refs.size());
    for (const refdb::ChecksumRef& ref : refs) {
        if (ref.file != nullptr && !ref.md5().empty())
            byMd5_[ref.md5()].push_back(ref);
    }
}

std::span<const refdb::ChecksumRef> ChecksumIndex::Find(std::string_view md5) const {
    auto it = byMd5_.find(md5);
    if (it == byMd5_.end())
        return {};
    return it->second;
}

NameIndex::NameIndex(const std::vector<NameWork>& work) {
    byName_.reserve(work.size());
    for (const NameWork& record : work)
        byName_[record.name].push_back(&record);
}

std::span<const NameWork* const> NameIndex::Find(std::string_view name) const {
    auto it = byName_.find(name);
    if (it == byName_.end())
        return {};
    return it->second;
}

std::string CookieSiteName(std::string_view path) {
    const std::size_t at = path.rfind('@');
    if (at != std::string_view::npos)
        path.remove_prefix(at + 1);
    const std::size_t bracket = path.rfind('[');
    if (bracket == std::string_view::npos)
        return {};
    return std::string(path.substr(0, bracket));
}

std::string DecodeCacheName(std::string_view fileName) {
    std::string decoded;
    decoded.reserve(fileName.size());
    for (std::size_t i = 0; i < fileName.size(); ++i) {
        if (fileName[i] == '%' && i + 2 < fileName.size()) {
            const int high = text::HexDigit(fileName[i + 1]);
            const int low = text::HexDigit(fileName[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        decoded += fileName[i];
    }
    // "logo[1].gif" is the cache's copy of "logo.gif".
    const std::size_t open = decoded.find('[');
    if (open != std::string::npos) {
        const std::size_t close = decoded.find(']', open + 1);
        if (close != std::string::npos)
            decoded.erase(open, close - open + 1);
    }
    return decoded;
}

bool CheckCookies(ScanContext& context) {
    const std::string folder = context.system.environment.CookiesFolder();
    if (folder.empty())
        return true;
    // Every Cookie item by name, so each file costs one lookup.
    std::unordered_map<std::string,
                       std::vector<std::pair<refdb::SpywareEntry*, refdb::CookieItem*>>,
                       text::HashNoCase, text::EqualNoCase>
        byName;
    for (refdb::SpywareEntry& entry : context.database.entries()) {
        for (refdb::CookieItem& cookie : entry.cookies)
            byName[cookie.name].emplace_back(&entry, &cookie);
    }

    std::string progress;
    FileWalk walk(context, false);
    walk.Run(folder, [&](std::string_view path, const platform::FindData&) {
        const std::string site = CookieSiteName(path);
        if (auto it = byName.find(site); it != byName.end()) {
            for (auto& [entry, cookie] : it->second) {
                cookie->foundPath = std::string(path);
                cookie->detected = true;
                entry->detected = true;
                context.observer.OnCookie(*entry, *cookie);
            }
        }
        progress.assign("Cookie : ");
        progress += site;
        context.ReportProgress(progress);
    });
    return true;
}

bool CheckListedFiles(ScanContext& context, refdb::SpywareEntry& entry, ChecksumRefs& checksumWork,
                      std::vector<NameWork>& nameWork) {
    std::string fullPath;
    for (refdb::FileItem& item : entry.files) {
        if (context.Stopped())
            break;
        if (!item.path.empty() && item.md5.empty()) {
            fullPath = item.path + '\\' + item.name;
            if (context.system.files.Exists(fullPath)) {
                ReportListedFile(context, entry, item, fullPath);
            } else {
                item.detected = false;
            }
            context.ReportProgress(fullPath);
        }
        if (!item.md5.empty())
            checksumWork.push_back({&entry, &item});
        if (item.path.empty() && !item.name.empty())
            nameWork.push_back({item.name, &entry, &item});
    }
    return true;
}

bool CheckFolders(ScanContext& context, refdb::SpywareEntry& entry) {
    std::string fullPath;
    for (refdb::DirectoryItem& item : entry.directories) {
        if (context.Stopped())
            break;
        fullPath = item.path + '\\' + item.name;
        if (context.system.files.Exists(fullPath)) {
            item.detected = true;
            entry.detected = true;
            context.observer.OnDirectory(entry, item);
        }
        context.ReportProgress(fullPath);
    }
    return true;
}

bool CheckCacheFiles(ScanContext& context) {
    const std::vector<refdb::CacheFileRef>& refs = context.database.cacheFiles();
    if (refs.empty())
        return true;
    CRegistryHelper registry(context.system.registry);
    const std::string cache =
        registry.QueryString(platform::kHkeyCurrentUser, kShellFoldersKey, "Cache", "");
    if (text::WithoutTrailingBackslash(cache).empty())
        return true;

    // The cache is listed once, in walk order, and only when some item is
    // still to be found there.
    struct CachedFile {
        std::string decodedName;
        std::string path;
    };
    std::vector<CachedFile> files;
    bool listed = false;
    for (const refdb::CacheFileRef& ref : refs) {
        if (context.Stopped())
            break;
        if (ref.file == nullptr || ref.entry == nullptr || ref.file->detected)
            continue;
        if (!listed) {
            FileWalk walk(context, true);
            walk.Run(cache, [&](std::string_view path, const platform::FindData& data) {
                files.push_back({DecodeCacheName(data.name), std::string(path)});
            });
            listed = true;
            if (context.Stopped())
                break;
        }
        for (const CachedFile& file : files) {
            if (file.decodedName.starts_with(ref.file->name)) {
                ReportFoundAtPlace(context, *ref.entry, *ref.file, file.path);
                break;
            }
        }
    }
    return true;
}

}  // namespace scan
