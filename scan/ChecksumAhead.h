#pragma once
// Checksums of the files a walk meets, computed a few files ahead on two
// threads: the scan thread and one helper. Hashing is most of a scan's work
// and these machines have more than one core. Files are still handed back one
// at a time, on the scan thread and in walk order, so detections and progress
// steps keep their order; only the reading and hashing run ahead.
//
// The helper thread only opens and reads files (FileSystem::OpenRead and the
// reader it gives); everything else stays on the scan thread.
#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "scan/FileChecks.h"
#include "scan/ScanContext.h"

namespace scan {

class ChecksumAhead {
  public:
    // A file the walk met, as it is handed back.
    struct File {
        std::string path;
        // As FileChecksum gives it; empty when it was not asked for.
        std::string checksum;
    };

    explicit ChecksumAhead(ScanContext& context) : context_(context) {}
    // Waits for the helper to finish the file it is reading.
    ~ChecksumAhead();
    ChecksumAhead(const ChecksumAhead&) = delete;
    ChecksumAhead& operator=(const ChecksumAhead&) = delete;

    // Queues a file, with its checksum to compute when `wantChecksum`. When
    // the window is full the oldest file is finished first: handle(file),
    // unless a stop was requested.
    template <typename Handle>
    void Add(std::string_view path, bool wantChecksum, Handle& handle) {
        while (tail_ - head_ == kWindow)
            FinishOldest(handle);
        Slot& slot = slots_[tail_ % kWindow];
        // The slot is free, so the helper does not look at it; taking the
        // lock below publishes these writes to it.
        slot.file.path.assign(path);
        slot.file.checksum.clear();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            slot.state = wantChecksum ? State::kQueued : State::kReady;
            ++tail_;
        }
        if (wantChecksum) {
            StartHelper();
            changed_.notify_all();
        }
    }

    // Finishes every queued file in order; after a stop they are dropped.
    template <typename Handle>
    void Finish(Handle& handle) {
        while (head_ != tail_)
            FinishOldest(handle);
    }

  private:
    enum class State { kFree, kQueued, kHashing, kReady };
    struct Slot {
        File file;
        State state = State::kFree;
    };
    static constexpr std::uint64_t kWindow = 32;

    template <typename Handle>
    void FinishOldest(Handle& handle) {
        Slot& slot = slots_[head_ % kWindow];
        bool ready = false;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            while (slot.state != State::kReady) {
                // After a stop nobody starts on a queued file.
                if (slot.state == State::kQueued && context_.Stopped())
                    break;
                // Rather than wait for the helper, hash the next file too.
                if (Slot* next = ClaimNext()) {
                    lock.unlock();
                    Hash(*next, md5_, context_.checksumBuffer);
                    lock.lock();
                    continue;
                }
                changed_.wait(lock);
            }
            ready = slot.state == State::kReady;
        }
        if (ready && !context_.Stopped())
            handle(std::as_const(slot.file));
        std::lock_guard<std::mutex> lock(mutex_);
        slot.state = State::kFree;
        ++head_;
        if (claim_ < head_)
            claim_ = head_;
    }

    // The next queued file, marked as being hashed; null when there is none
    // or a stop was requested. The lock must be held.
    Slot* ClaimNext();
    // Computes the checksum of a claimed file and marks it ready.
    void Hash(Slot& slot, Md5& md5, std::vector<unsigned char>& buffer);
    void StartHelper();
    void HelperLoop();

    ScanContext& context_;
    Md5 md5_;  // the scan thread's
    std::array<Slot, kWindow> slots_;
    // Sequence numbers of files: head_ is the oldest not yet finished, tail_
    // the next to be added (both changed by the scan thread only, tail_ under
    // the lock); claim_ is where the search for a file to hash goes on.
    std::uint64_t head_ = 0;
    std::uint64_t tail_ = 0;
    std::uint64_t claim_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool quit_ = false;
    bool helperTried_ = false;
    std::thread helper_;
};

}  // namespace scan
