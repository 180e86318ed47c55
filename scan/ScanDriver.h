#pragma once
// The three scans (smart, full, chosen folder) over one shared ScanContext.
// Each runs its checks in a fixed order on a worker thread and ends with
// exactly one ScanObserver::OnFinished, whether it completed or was stopped.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "scan/ScanContext.h"

namespace scan {

// The progress text of the step between the listed files and the cache.
inline constexpr const char* kKnownLocationsText = "Scanning Known Spyware Locations ";

// What the scan objects share: starting a worker, refusing a second one
// while any scan of the context runs, stopping it, and reaping old threads.
class ScanObject {
  public:
    // The context must outlive the object.
    explicit ScanObject(ScanContext& context) : context_(context) {}
    // Stops a running scan of this object and waits for its thread.
    virtual ~ScanObject();
    ScanObject(const ScanObject&) = delete;
    ScanObject& operator=(const ScanObject&) = delete;

    // Asks the running scan to end at its next poll; returns at once.
    void Stop();
    bool IsScanning() const { return context_.scanning.load(); }
    // Waits until every thread this object started has ended. Must not be
    // called from inside an observer callback of this object's scan.
    void Wait();

  protected:
    // Refused (false) while a scan of the context runs; otherwise clears the
    // stop request and runs `body` on a new thread. False too when the thread
    // cannot be created.
    bool Launch(std::function<void()> body);
    ScanContext& context() { return context_; }

  private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    // Joins the threads that have returned. A thread still inside
    // OnFinished is kept: the observer may be starting the next scan from
    // that very callback, and joining it there would never return.
    void ReapFinished();

    ScanContext& context_;
    std::vector<Worker> workers_;
};

class SmartScan : public ScanObject {
  public:
    using ScanObject::ScanObject;
    ~SmartScan() override = default;
    bool Start();
};

class FullScan : public ScanObject {
  public:
    using ScanObject::ScanObject;
    ~FullScan() override = default;
    bool Start();
};

class FolderScan : public ScanObject {
  public:
    using ScanObject::ScanObject;
    ~FolderScan() override = default;
    bool Start(std::string folder);
};

// The scan bodies, run on the calling thread; each ends with OnFinished.
// The scan objects run them on their worker.
void RunSmartScan(ScanContext& context);
void RunFullScan(ScanContext& context);
void RunFolderScan(ScanContext& context, std::string_view folder);

// Before a new scan: every item of every entry and every entry is no longer
// detected, and the copies that earlier scans made of found files are freed.
// Names and paths that scans wrote into items stay.
void ResetDetections(refdb::ReferenceDatabase& database);

}  // namespace scan
