#include "scan/ScanDriver.h"

#include <new>
#include <system_error>
#include <utility>

#include "scan/BrowserChecks.h"
#include "scan/FileChecks.h"
#include "scan/RegistryChecks.h"

namespace scan {

namespace {

// Every loop over entries polls the stop request before each element; the
// steps after a stop still run but find their own loops stopped at once, so
// the scan always reaches its end.
template <typename Check>
void ForEachEntry(ScanContext& context, Check check) {
    for (refdb::SpywareEntry& entry : context.database.entries()) {
        if (context.Stopped())
            break;
        check(entry);
    }
}

void BeginScan(ScanContext& context) {
    context.scannedCount.store(0);
    context.scanning.store(true);
}

void EndScan(ScanContext& context) {
    context.scanning.store(false);
    context.observer.OnFinished();
}

// Registry items, cookies and the files at their listed places: the first
// steps of both system scans. Fills the two work lists.
void ScanListedTraces(ScanContext& context, ChecksumRefs& checksumWork,
                      std::vector<NameWork>& nameWork) {
    ForEachEntry(context, [&](refdb::SpywareEntry& entry) {
        CheckRegistryKeys(context, entry);
        CheckRegistryValues(context, entry);
        CheckRegistryData(context, entry);
    });
    CheckCookies(context);
    ForEachEntry(context, [&](refdb::SpywareEntry& entry) {
        CheckListedFiles(context, entry, checksumWork, nameWork);
    });
}

ChecksumRefs WithoutPath(const ChecksumRefs& checksumWork) {
    ChecksumRefs pathless;
    for (const refdb::ChecksumRef& ref : checksumWork) {
        if (ref.file->path.empty())
            pathless.push_back(ref);
    }
    return pathless;
}

void ResetFile(refdb::FileItem& file) {
    file.detected = false;
    file.copies.clear();
}

}  // namespace

ScanObject::~ScanObject() {
    for (const Worker& worker : workers_) {
        if (!worker.done->load()) {
            Stop();
            break;
        }
    }
    Wait();
}

void ScanObject::Stop() {
    context_.stopRequested.store(true);
}

void ScanObject::Wait() {
    for (Worker& worker : workers_) {
        if (!worker.thread.joinable())
            continue;
        // A scan object dropped from its own observer cannot wait for itself.
        if (worker.thread.get_id() == std::this_thread::get_id()) {
            worker.thread.detach();
        } else {
            worker.thread.join();
        }
    }
    workers_.clear();
}

void ScanObject::ReapFinished() {
    std::erase_if(workers_, [](Worker& worker) {
        if (!worker.done->load())
            return false;
        if (worker.thread.joinable())
            worker.thread.join();
        return true;
    });
}

bool ScanObject::Launch(std::function<void()> body) {
    bool idle = false;
    if (!context_.scanning.compare_exchange_strong(idle, true))
        return false;
    context_.stopRequested.store(false);
    ReapFinished();
    try {
        workers_.reserve(workers_.size() + 1);
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([work = std::move(body), done] {
            work();
            done->store(true);
        });
        workers_.push_back({std::move(thread), std::move(done)});
    } catch (const std::system_error&) {
        context_.scanning.store(false);
        return false;
    } catch (const std::bad_alloc&) {
        context_.scanning.store(false);
        return false;
    }
    return true;
}

bool SmartScan::Start() {
    ScanContext& scanContext = context();
    return Launch([&scanContext] { RunSmartScan(scanContext); });
}

bool FullScan::Start() {
    ScanContext& scanContext = context();
    return Launch([&scanContext] { RunFullScan(scanContext); });
}

bool FolderScan::Start(std::string folder) {
    ScanContext& scanContext = context();
    return Launch(
        [&scanContext, chosen = std::move(folder)] { RunFolderScan(scanContext, chosen); });
}

void RunSmartScan(ScanContext& context) {
    BeginScan(context);
    ChecksumRefs checksumWork;
    std::vector<NameWork> nameWork;
    ScanListedTraces(context, checksumWork, nameWork);
    context.ReportProgress(kKnownLocationsText);
    CheckCacheFiles(context);
    ForEachEntry(context, [&](refdb::SpywareEntry& entry) { CheckFolders(context, entry); });

    // A file listed with its folder is looked for by content in that folder
    // only, and only as itself.
    for (const refdb::ChecksumRef& ref : checksumWork) {
        if (context.Stopped())
            break;
        if (ref.file->path.empty())
            continue;
        ScanVariableFiles(context, ref.file->path, ChecksumRefs{ref}, false);
    }
    // Files without a folder are renamed at will: look where such programs
    // settle and where Windows keeps references to them.
    ChecksumRefs pathless = WithoutPath(checksumWork);
    if (!pathless.empty()) {
        const refdb::FolderTable& folders = context.database.pathFolders();
        ScanVariableFiles(context, folders[refdb::kFolderDesktop], context.database.checksums(),
                          true);
        CheckKnownLocations(context, pathless);
        ScanVariableFiles(context, folders[refdb::kFolderWindows], pathless, false);
        ScanVariableFiles(context, folders[refdb::kFolderSystem], pathless, false);
    }
    CheckBrowserSettings(context);
    SearchSystemDrive(context, nameWork);

    checksumWork.clear();
    nameWork.clear();
    EndScan(context);
}

void RunFullScan(ScanContext& context) {
    BeginScan(context);
    ChecksumRefs checksumWork;
    std::vector<NameWork> nameWork;
    ScanListedTraces(context, checksumWork, nameWork);
    CheckCacheFiles(context);

    // Every pass below compares with the whole index: build it once.
    const ChecksumIndex allChecksums(context.database.checksums());
    for (const refdb::ChecksumRef& ref : checksumWork) {
        if (context.Stopped())
            break;
        if (ref.file->path.empty())
            continue;
        ScanVariableFiles(context, ref.file->path, allChecksums, false);
    }
    // Whole drives are walked only for files that no listed folder pins down.
    if (!WithoutPath(checksumWork).empty() || !nameWork.empty()) {
        const NameIndex names(nameWork);
        for (const platform::Drive& drive : context.system.files.LogicalDrives()) {
            if (context.Stopped())
                break;
            if (drive.type != platform::DriveType::kFixed)
                continue;
            if (!DeepScan(context, drive.root, allChecksums, names))
                break;
        }
    }

    checksumWork.clear();
    nameWork.clear();
    EndScan(context);
}

void RunFolderScan(ScanContext& context, std::string_view folder) {
    BeginScan(context);
    ScanChosenFolder(context, folder);
    EndScan(context);
}

void ResetDetections(refdb::ReferenceDatabase& database) {
    for (refdb::SpywareEntry& entry : database.entries()) {
        for (refdb::DirectoryItem& item : entry.directories)
            item.detected = false;
        for (refdb::FileItem& item : entry.files)
            ResetFile(item);
        for (refdb::CookieItem& item : entry.cookies)
            item.detected = false;
        for (refdb::RegKeyItem& item : entry.regKeys)
            item.detected = false;
        for (refdb::RegValueItem& item : entry.regValues)
            item.detected = false;
        for (refdb::RegDataItem& item : entry.regData)
            item.detected = false;
        entry.policyValues.clear();
        entry.prefsLines.clear();
        entry.detected = false;
    }
    for (refdb::SpywareEntry& entry : database.builtInEntries()) {
        entry.policyValues.clear();
        entry.prefsLines.clear();
        entry.detected = false;
    }
    for (const refdb::CacheFileRef& ref : database.cacheFiles()) {
        ResetFile(*ref.file);
        ref.entry->detected = false;
    }
}

}  // namespace scan
