#pragma once
// The state one scan shares with all its checks, and the observer that
// receives what it finds. The engine never talks to the user: the window and
// the console each implement the observer.
#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "platform/System.h"
#include "refdb/ReferenceDatabase.h"

namespace scan {

// Called on the scan thread, one call at a time; each call returns when the
// receiver has handled it, so the items passed stay valid and unchanged.
class ScanObserver {
  public:
    virtual ~ScanObserver() = default;
    // One thing was checked; `text` says what, `scannedCount` counts them.
    virtual void OnProgress(std::string_view text, int scannedCount) = 0;
    virtual void OnFile(refdb::SpywareEntry& entry, refdb::FileItem& item) = 0;
    virtual void OnCookie(refdb::SpywareEntry& entry, refdb::CookieItem& item) = 0;
    virtual void OnDirectory(refdb::SpywareEntry& entry, refdb::DirectoryItem& item) = 0;
    virtual void OnRegKey(refdb::SpywareEntry& entry, refdb::RegKeyItem& item) = 0;
    virtual void OnRegValue(refdb::SpywareEntry& entry, refdb::RegValueItem& item) = 0;
    virtual void OnRegData(refdb::SpywareEntry& entry, refdb::RegDataItem& item) = 0;
    // A browser preference line; receivers that list no such rows keep this.
    virtual void OnPrefsLine(refdb::SpywareEntry&, refdb::PrefsLineItem&) {}
    // The scan ended (finished or stopped); sent exactly once per scan.
    virtual void OnFinished() = 0;
};

// The size of the one checksum read buffer a scan uses.
inline constexpr std::size_t kChecksumBlockSize = 524288;

struct ScanContext {
    ScanContext(platform::System& sys, refdb::ReferenceDatabase& db, ScanObserver& obs)
        : system(sys), database(db), observer(obs) {}

    platform::System& system;
    refdb::ReferenceDatabase& database;
    ScanObserver& observer;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> scanning{false};
    std::atomic<int> scannedCount{0};
    // Reused by every checksum of the scan.
    std::vector<unsigned char> checksumBuffer;

    bool Stopped() const { return stopRequested.load(std::memory_order_relaxed); }
    // One progress step: counts the thing checked and tells the observer.
    void ReportProgress(std::string_view text);
};

// A file item that has no path but a name: looked for by name.
struct NameWork {
    std::string name;
    refdb::SpywareEntry* entry = nullptr;
    refdb::FileItem* file = nullptr;
};

// Marks an item and its entry detected and tells the observer.
void ReportFile(ScanContext& context, refdb::SpywareEntry& entry, refdb::FileItem& item);

// A file found by name or through a known location: the listed item itself
// takes the found name and folder (and version strings) and is reported,
// each time it is matched.
void ReportFoundAtPlace(ScanContext& context, refdb::SpywareEntry& entry, refdb::FileItem& item,
                        std::string_view foundPath);

// A file found by its checksum: the listed item itself when it is not yet
// detected and has a listed path; otherwise a copy with the found name and
// folder, kept in the item's copies and reported on its own.
void ReportFoundByChecksum(ScanContext& context, refdb::SpywareEntry& entry, refdb::FileItem& item,
                           std::string_view foundPath);
// The same with the found folder and name given apart, for names that hold
// separators of their own (an archive member "setup.zip?bin/tool.exe").
void ReportFoundByChecksum(ScanContext& context, refdb::SpywareEntry& entry, refdb::FileItem& item,
                           std::string_view folder, std::string_view name);

}  // namespace scan
